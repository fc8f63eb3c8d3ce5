#include "StoreTestSupport.h"

#include "platform/store/DSManagedObjectContext.h"
#include "platform/store/DSManagedObjectModel.h"

#include <QCoreApplication>
#include <QSet>

#include <gtest/gtest.h>

namespace {

QSet<DSManagedObject *> asSet(const DSObjectList &list)
{
    return QSet<DSManagedObject *>(list.begin(), list.end());
}

// A library with two books of two parts each, a film, a tag, a manager and
// a loan, all processed, so later changes stand alone.
class DSManagedObjectContextTest : public ::testing::Test
{
protected:
    DSManagedObjectContextTest() : context(toyModel())
    {
        QObject::connect(&context, &DSManagedObjectContext::objectsDidChange,
                         [this](const DSObjectsDidChange &change) { notes.append(change); });
        lib = context.insertNewObject(QStringLiteral("Library"));
        for (int i = 0; i < 2; ++i) {
            DSManagedObject *book = context.insertNewObject(QStringLiteral("Book"));
            book->setObject(lib, QStringLiteral("library"));
            books.append(book);
            for (int j = 0; j < 2; ++j) {
                DSManagedObject *part = context.insertNewObject(QStringLiteral("Part"));
                part->setObject(book, QStringLiteral("item"));
                parts.append(part);
            }
        }
        film = context.insertNewObject(QStringLiteral("Film"));
        lib->addObject(film, QStringLiteral("items"));
        tag = context.insertNewObject(QStringLiteral("Tag"));
        tag->addObject(lib, QStringLiteral("libraries"));
        manager = context.insertNewObject(QStringLiteral("Person"));
        manager->setObject(lib, QStringLiteral("managed"));
        loan = context.insertNewObject(QStringLiteral("Loan"));
        loan->setObject(lib, QStringLiteral("library"));
        context.processPendingChanges();
        notes.clear();
        hookLog().clear();
    }

    DSManagedObjectContext context;
    QList<DSObjectsDidChange> notes;
    DSManagedObject *lib, *film, *tag, *manager, *loan;
    DSObjectList books, parts;
};

} // namespace

TEST_F(DSManagedObjectContextTest, DeleteCascadesNullifiesAndRunsEachHookOnce)
{
    ASSERT_TRUE(context.deleteObject(lib));
    const DSObjectList cascaded = DSObjectList{lib, film} + books + parts;
    for (DSManagedObject *o : cascaded) {
        EXPECT_TRUE(o->isDeleted());
        EXPECT_EQ(hookCount(QStringLiteral("prepareForDeletion"), o), 1);
        EXPECT_FALSE(o->isFault()) << "a deletion turns into a fault when it is saved";
    }
    // The library's hook ran before its items were touched.
    EXPECT_EQ(hookLog().first().object, lib);
    EXPECT_TRUE(tag->objectsForKey(QStringLiteral("libraries")).isEmpty()) << "nullify";
    EXPECT_EQ(manager->objectForKey(QStringLiteral("managed")), nullptr) << "nullify";
    EXPECT_EQ(loan->objectForKey(QStringLiteral("library")), lib) << "none leaves the loan pointing";
    EXPECT_FALSE(loan->isDeleted());

    const int hooks = int(hookLog().size());
    EXPECT_TRUE(context.deleteObject(lib)) << "a second delete is a no-op";
    EXPECT_TRUE(context.deleteObject(books[0]));
    EXPECT_EQ(hookLog().size(), hooks);

    context.processPendingChanges();
    ASSERT_EQ(notes.size(), 1) << "one notification per processing";
    EXPECT_TRUE(notes[0].inserted.isEmpty());
    EXPECT_EQ(asSet(notes[0].deleted), asSet(cascaded));
    EXPECT_EQ(asSet(notes[0].updated), (QSet<DSManagedObject *>{tag, manager}));
    EXPECT_TRUE(context.objectsOfEntity(QStringLiteral("Item")).isEmpty());
    EXPECT_EQ(context.objectsOfEntity(QStringLiteral("Library")).size(), 0);
}

TEST_F(DSManagedObjectContextTest, DenyRefusesTheWholeDeletion)
{
    DSManagedObject *seal = context.insertNewObject(QStringLiteral("Seal"));
    seal->setObject(lib, QStringLiteral("library"));
    hookLog().clear();
    DSStoreError error;
    EXPECT_FALSE(context.deleteObject(lib, &error));
    EXPECT_EQ(error.code(), DSStoreError::DeleteDenied);
    EXPECT_TRUE(error.message().contains(QStringLiteral("seals"))) << error.message().toStdString();
    EXPECT_FALSE(lib->isDeleted());
    EXPECT_TRUE(hookLog().isEmpty()) << "no hook ran";
    EXPECT_EQ(lib->objectsForKey(QStringLiteral("items")).size(), 3);
    // Once the seal is gone the deletion goes through.
    ASSERT_TRUE(context.deleteObject(seal));
    EXPECT_TRUE(context.deleteObject(lib, &error));
}

TEST_F(DSManagedObjectContextTest, OneNotificationCarriesExactlyTheNetChanges)
{
    DSManagedObject *added = context.insertNewObject(QStringLiteral("Book"));
    added->setObject(lib, QStringLiteral("library"));
    DSManagedObject *transient = context.insertNewObject(QStringLiteral("Film"));
    transient->setObject(lib, QStringLiteral("library"));
    context.deleteObject(transient); // inserted and deleted before processing: in no set
    context.deleteObject(parts[0]);
    manager->setPrimitiveValue(QStringLiteral("Zoe"), QStringLiteral("name"));
    tag->setPrimitiveValue(QStringLiteral("red"), QStringLiteral("name"));
    tag->setPrimitiveValue(QVariant(), QStringLiteral("name")); // back where it was: not updated
    context.processPendingChanges();
    ASSERT_EQ(notes.size(), 1);
    EXPECT_EQ(notes[0].inserted, DSObjectList{added});
    EXPECT_EQ(notes[0].deleted, DSObjectList{parts[0]});
    EXPECT_EQ(asSet(notes[0].updated), (QSet<DSManagedObject *>{lib, books[0], manager}));
    context.processPendingChanges();
    EXPECT_EQ(notes.size(), 1) << "nothing pending, nothing posted";
}

TEST_F(DSManagedObjectContextTest, ChangesMadeByObserversArePostedInTheirOwnNotification)
{
    QObject::connect(&context, &DSManagedObjectContext::objectsDidChange, [this](const DSObjectsDidChange &change) {
        if (change.updated.contains(manager))
            tag->setPrimitiveValue(QStringLiteral("touched"), QStringLiteral("name"));
    });
    manager->setPrimitiveValue(QStringLiteral("Zoe"), QStringLiteral("name"));
    context.processPendingChanges();
    ASSERT_EQ(notes.size(), 2);
    EXPECT_EQ(notes[1].updated, DSObjectList{tag});
}

TEST(DSManagedObjectContextEvents, PendingChangesAreProcessedAtTheEndOfTheEvent)
{
    int argc = 1;
    char name[] = "ostrel_store_tests";
    char *argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    DSManagedObjectContext context(toyModel());
    QList<DSObjectsDidChange> notes;
    QObject::connect(&context, &DSManagedObjectContext::objectsDidChange,
                     [&](const DSObjectsDidChange &change) { notes.append(change); });
    DSManagedObject *tag = context.insertNewObject(QStringLiteral("Tag"));
    tag->setPrimitiveValue(QStringLiteral("new"), QStringLiteral("name"));
    EXPECT_TRUE(notes.isEmpty()) << "nothing is posted in the middle of a change";
    QCoreApplication::processEvents();
    ASSERT_EQ(notes.size(), 1);
    EXPECT_EQ(notes[0].inserted, DSObjectList{tag});
    EXPECT_TRUE(context.undoManager()->canUndo());
}

TEST_F(DSManagedObjectContextTest, DeletionsKeepTheirFormerToOneTargetsInTheNotification)
{
    // Deleted by a cascade, by hand, and by undoing an insertion: the
    // deletion cleared each relationship, yet the notification still says
    // where the object belonged; live objects answer their current value.
    ASSERT_TRUE(context.deleteObject(books[0]));
    context.processPendingChanges();
    ASSERT_EQ(notes.size(), 1);
    EXPECT_EQ(books[0]->objectForKey(QStringLiteral("library")), nullptr);
    EXPECT_EQ(notes[0].formerTarget(books[0], QStringLiteral("library")), lib);
    EXPECT_EQ(notes[0].formerTarget(parts[0], QStringLiteral("item")), books[0]);
    EXPECT_EQ(notes[0].formerTarget(parts[1], QStringLiteral("item")), books[0]);
    EXPECT_EQ(notes[0].formerTarget(manager, QStringLiteral("managed")), lib);
    EXPECT_FALSE(notes[0].formerToOne.contains(manager));

    DSManagedObject *added = context.insertNewObject(QStringLiteral("Part"));
    added->setObject(books[1], QStringLiteral("item"));
    context.processPendingChanges();
    context.undoManager()->undo();
    ASSERT_EQ(notes.size(), 3);
    EXPECT_EQ(notes[2].deleted, DSObjectList{added});
    EXPECT_EQ(notes[2].formerTarget(added, QStringLiteral("item")), books[1]);
}
