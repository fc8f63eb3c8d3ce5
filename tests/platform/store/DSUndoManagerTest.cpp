#include "StoreTestSupport.h"

#include "platform/store/DSManagedObjectContext.h"
#include "platform/store/DSManagedObjectModel.h"
#include "platform/store/DSUndoManager.h"

#include <gtest/gtest.h>

namespace {

class DSUndoManagerTest : public ::testing::Test
{
protected:
    DSUndoManagerTest() : context(toyModel()), undo(context.undoManager())
    {
        lib = context.insertNewObject(QStringLiteral("Library"));
        lib->setPrimitiveValue(QStringLiteral("Central"), QStringLiteral("name"));
        book = context.insertNewObject(QStringLiteral("Book"));
        book->setObject(lib, QStringLiteral("library"));
        book->setPrimitiveValue(patternBytes(1 << 20, 1), QStringLiteral("scan"));
        tag = context.insertNewObject(QStringLiteral("Tag"));
        tag->addObject(lib, QStringLiteral("libraries"));
        context.processPendingChanges();
        undo->removeAllActions();
        hookLog().clear();
    }

    DSManagedObjectContext context;
    DSUndoManager *undo;
    DSManagedObject *lib, *book, *tag;
};

} // namespace

TEST_F(DSUndoManagerTest, OneGroupOfInsertEditAndDeleteUndoesAndRedoesExactly)
{
    const QString before = dumpGraph(context);
    const QByteArray oldScan = book->dataForKey(QStringLiteral("scan"));
    int undos = 0, redos = 0;
    QObject::connect(undo, &DSUndoManager::didUndo, [&] { ++undos; });
    QObject::connect(undo, &DSUndoManager::didRedo, [&] { ++redos; });

    undo->beginUndoGrouping();
    DSManagedObject *film = context.insertNewObject(QStringLiteral("Film"));
    film->setObject(lib, QStringLiteral("library"));
    film->setPrimitiveValue(95.5, QStringLiteral("minutes"));
    DSManagedObject *part = context.insertNewObject(QStringLiteral("Part"));
    part->setObject(film, QStringLiteral("item"));
    lib->setPrimitiveValue(QStringLiteral("Main"), QStringLiteral("name"));
    lib->setPrimitiveValue(patternBytes(3 << 20, 2), QStringLiteral("archive"));
    book->setPrimitiveValue(patternBytes(2 << 20, 3), QStringLiteral("scan"));
    context.processPendingChanges(); // two cycles inside one group
    ASSERT_TRUE(context.deleteObject(book));
    ASSERT_TRUE(context.deleteObject(tag));
    undo->endUndoGrouping();
    const QString after = dumpGraph(context);
    ASSERT_NE(before, after);

    undo->undo();
    EXPECT_EQ(dumpGraph(context), before);
    EXPECT_EQ(undos, 1);
    EXPECT_FALSE(book->isDeleted());
    EXPECT_EQ(book->dataForKey(QStringLiteral("scan")).constData(), oldScan.constData()) << "undo shares blob data";
    EXPECT_TRUE(film->isDeleted() && film->isFault() && part->isFault()) << "undone inserts turn into faults";
    EXPECT_EQ(hookCount(QStringLiteral("didTurnIntoFault"), film), 1);
    EXPECT_TRUE(lib->objectsForKey(QStringLiteral("items")).contains(book));
    EXPECT_EQ(tag->objectsForKey(QStringLiteral("libraries")), DSObjectList{lib});

    undo->redo();
    EXPECT_EQ(dumpGraph(context), after);
    EXPECT_EQ(redos, 1);
    EXPECT_FALSE(film->isFault());
    EXPECT_EQ(hookCount(QStringLiteral("awakeFromFetch"), film), 1) << "revived from a fault";
    EXPECT_EQ(part->objectForKey(QStringLiteral("item")), film);

    undo->undo();
    EXPECT_EQ(dumpGraph(context), before);
    undo->redo();
    EXPECT_EQ(dumpGraph(context), after);
    EXPECT_FALSE(undo->canRedo());
}

TEST_F(DSUndoManagerTest, ChangesAreCoalescedPerProcessing)
{
    for (int i = 0; i < 50; ++i)
        lib->setPrimitiveValue(QStringLiteral("name %1").arg(i), QStringLiteral("name"));
    book->setObject(nullptr, QStringLiteral("library"));
    book->setObject(lib, QStringLiteral("library"));
    context.processPendingChanges();
    undo->undo();
    EXPECT_EQ(lib->stringForKey(QStringLiteral("name")), QStringLiteral("Central")) << "one step undoes all fifty";
    EXPECT_FALSE(undo->canUndo());
}

TEST_F(DSUndoManagerTest, NothingIsUndoableWithRegistrationOff)
{
    undo->disableUndoRegistration();
    DSManagedObject *film = context.insertNewObject(QStringLiteral("Film"));
    lib->setPrimitiveValue(QStringLiteral("Quiet"), QStringLiteral("name"));
    context.processPendingChanges();
    undo->beginUndoGrouping();
    context.deleteObject(tag);
    undo->endUndoGrouping();
    undo->enableUndoRegistration();
    EXPECT_FALSE(undo->canUndo());
    undo->undo();
    EXPECT_FALSE(film->isDeleted());
    EXPECT_TRUE(tag->isDeleted());
    EXPECT_EQ(lib->stringForKey(QStringLiteral("name")), QStringLiteral("Quiet"));
}

TEST_F(DSUndoManagerTest, AnEmptyGroupNeverUndoesAnEarlierStep)
{
    lib->setPrimitiveValue(QStringLiteral("Earlier"), QStringLiteral("name"));
    context.processPendingChanges();
    // A sheet opened and cancelled without a change: close its group, undo it.
    undo->beginUndoGrouping();
    undo->endUndoGrouping();
    undo->undo();
    EXPECT_EQ(lib->stringForKey(QStringLiteral("name")), QStringLiteral("Earlier"));
    EXPECT_FALSE(undo->canRedo()) << "undoing nothing leaves nothing to redo";
    undo->undo();
    EXPECT_EQ(lib->stringForKey(QStringLiteral("name")), QStringLiteral("Central"));
    undo->redo();
    EXPECT_EQ(lib->stringForKey(QStringLiteral("name")), QStringLiteral("Earlier"));
}

TEST_F(DSUndoManagerTest, NestedGroupsUndoAsTheirOutermostGroup)
{
    undo->beginUndoGrouping();
    lib->setPrimitiveValue(QStringLiteral("Outer"), QStringLiteral("name"));
    undo->beginUndoGrouping();
    tag->setPrimitiveValue(QStringLiteral("inner"), QStringLiteral("name"));
    undo->endUndoGrouping();
    EXPECT_EQ(undo->groupingLevel(), 1);
    EXPECT_FALSE(undo->canUndo()) << "not while a group is open";
    book->setPrimitiveValue(qlonglong(300), QStringLiteral("pages"));
    undo->endUndoGrouping();
    undo->undo();
    EXPECT_EQ(lib->stringForKey(QStringLiteral("name")), QStringLiteral("Central"));
    EXPECT_TRUE(tag->primitiveValueForKey(QStringLiteral("name")).isNull());
    EXPECT_TRUE(book->primitiveValueForKey(QStringLiteral("pages")).isNull());
    EXPECT_FALSE(undo->canUndo());
}

TEST_F(DSUndoManagerTest, ChangesPendingBeforeAGroupStayOutOfIt)
{
    lib->setPrimitiveValue(QStringLiteral("Before"), QStringLiteral("name"));
    undo->beginUndoGrouping();
    tag->setPrimitiveValue(QStringLiteral("during"), QStringLiteral("name"));
    undo->endUndoGrouping();
    undo->undo();
    EXPECT_EQ(lib->stringForKey(QStringLiteral("name")), QStringLiteral("Before"));
    EXPECT_TRUE(tag->primitiveValueForKey(QStringLiteral("name")).isNull());
}

TEST_F(DSUndoManagerTest, UndoAndRedoPostChangeNotifications)
{
    DSManagedObject *film = context.insertNewObject(QStringLiteral("Film"));
    film->setObject(lib, QStringLiteral("library"));
    context.processPendingChanges();
    QList<DSObjectsDidChange> notes;
    QObject::connect(&context, &DSManagedObjectContext::objectsDidChange,
                     [&](const DSObjectsDidChange &c) { notes.append(c); });
    undo->undo();
    ASSERT_EQ(notes.size(), 1);
    EXPECT_EQ(notes[0].deleted, DSObjectList{film});
    EXPECT_EQ(notes[0].updated, DSObjectList{lib});
    undo->redo();
    ASSERT_EQ(notes.size(), 2);
    EXPECT_EQ(notes[1].inserted, DSObjectList{film});
}
