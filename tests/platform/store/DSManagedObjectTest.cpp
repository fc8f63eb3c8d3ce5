#include "StoreTestSupport.h"

#include "platform/store/DSEntityDescription.h"
#include "platform/store/DSFetchRequest.h"
#include "platform/store/DSManagedObjectContext.h"
#include "platform/store/DSManagedObjectModel.h"
#include "platform/store/DSUndoManager.h"

#include <QCborArray>
#include <QCborMap>

#include <gtest/gtest.h>

namespace {

class DSManagedObjectTest : public ::testing::Test
{
protected:
    DSManagedObjectTest() : context(toyModel()) {}

    DSManagedObject *insert(const char *entity, const char *name = nullptr)
    {
        DSManagedObject *o = context.insertNewObject(QString::fromLatin1(entity));
        if (name)
            o->setPrimitiveValue(QString::fromLatin1(name), QStringLiteral("name"));
        return o;
    }
    ToyLibrary *library(const char *name) { return ds_object_cast<ToyLibrary>(insert("Library", name)); }

    DSManagedObjectContext context;
};

} // namespace

TEST_F(DSManagedObjectTest, ValuesAreNormalisedOrRefused)
{
    ToyLibrary *lib = library("L");
    const QCborMap labels{{1, QStringLiteral("one")}, {2.5, QStringLiteral("two and a half")}};
    struct Case {
        const char *key;
        QVariant input;
        QVariant stored; // invalid: refused, the old value stays
    } cases[] = {
        {"shelves", QVariant(int(12)), QVariant(qlonglong(12))},
        {"shelves", QVariant(32767.0), QVariant(qlonglong(32767))},
        {"shelves", QVariant(int(40000)), QVariant()},
        {"shelves", QVariant(2.5), QVariant()},
        {"shelves", QVariant(QStringLiteral("7")), QVariant()},
        {"visitors", QVariant(qlonglong(-2147483648LL)), QVariant(qlonglong(-2147483648LL))},
        {"visitors", QVariant(qlonglong(2147483648LL)), QVariant()},
        {"budget", QVariant(qulonglong(1) << 62), QVariant(qlonglong(1) << 62)},
        {"budget", QVariant(qulonglong(1) << 63), QVariant()},
        {"ratio", QVariant(int(3)), QVariant(3.0)},
        {"open", QVariant(int(0)), QVariant(false)},
        {"founded", QVariant(7.25e8), QVariant(7.25e8)},
        {"name", QVariant(QString()), QVariant(QString())},
        {"name", QVariant(12), QVariant()},
        {"archive", QVariant(QByteArray("abc")), QVariant(QByteArray("abc"))},
        {"archive", QVariant(QStringLiteral("abc")), QVariant()},
        {"labels", QVariant::fromValue(labels), QVariant::fromValue(QCborValue(labels))},
        {"labels", QVariant::fromValue(QCborValue(QCborValue::fromVariant(QVariantList{1, 2}))), QVariant::fromValue(QCborValue(QCborArray{1, 2}))},
        {"rule", QVariant::fromValue(QCborValue(QCborTag(40000), QCborArray{1, QStringLiteral("a")})),
         QVariant::fromValue(QCborValue(QCborTag(40000), QCborArray{1, QStringLiteral("a")}))},
        {"rule", QVariant::fromValue(QCborValue(QDateTime::fromSecsSinceEpoch(0, Qt::UTC))), QVariant()},
        {"rule", QVariant::fromValue(QCborValue(QCborMap{{QCborArray{1}, 2}})), QVariant()},
    };
    for (const Case &c : cases) {
        const QString key = QString::fromLatin1(c.key);
        lib->setPrimitiveValue(QVariant(), key);
        lib->setPrimitiveValue(c.input, key);
        const QVariant stored = lib->primitiveValueForKey(key);
        if (!c.stored.isValid()) {
            EXPECT_TRUE(stored.isNull()) << c.key << " should refuse " << c.input.toString().toStdString();
            continue;
        }
        EXPECT_EQ(stored.metaType(), c.stored.metaType()) << c.key;
        EXPECT_TRUE(stored == c.stored) << c.key << ": " << stored.toString().toStdString();
    }
    lib->setPrimitiveValue(QVariant(), QStringLiteral("shelves"));
    EXPECT_TRUE(lib->primitiveValueForKey(QStringLiteral("shelves")).isNull()) << "every attribute is nullable";
    EXPECT_TRUE(lib->primitiveValueForKey(QStringLiteral("no_such_key")).isNull());
}

TEST_F(DSManagedObjectTest, NewObjectsStartWithDefaultsAndAwakeOnce)
{
    hookLog().clear();
    ToyLibrary *lib = library(nullptr);
    EXPECT_EQ(lib->integerForKey(QStringLiteral("shelves")), 4);
    EXPECT_EQ(lib->doubleForKey(QStringLiteral("ratio")), 0.5);
    EXPECT_TRUE(lib->boolForKey(QStringLiteral("open")));
    EXPECT_TRUE(lib->primitiveValueForKey(QStringLiteral("name")).isNull());
    EXPECT_EQ(hookCount(QStringLiteral("awakeFromInsert"), lib), 1);
    EXPECT_TRUE(lib->isInserted());
    EXPECT_FALSE(lib->isDeleted() || lib->isFault() || lib->isUpdated());
}

TEST_F(DSManagedObjectTest, ByKeyReachesTheEntitySetterAndPrimitiveBypassesIt)
{
    ToyLibrary *lib = library(nullptr);
    lib->setValue(QStringLiteral("Central"), QStringLiteral("name"));
    EXPECT_EQ(lib->name(), QStringLiteral("Central"));
    EXPECT_EQ(lib->temp_visits(), 1) << "the setter's side effect ran";
    lib->setPrimitiveValue(QStringLiteral("Branch"), QStringLiteral("name"));
    EXPECT_EQ(lib->valueForKey(QStringLiteral("name")).toString(), QStringLiteral("Branch"));
    EXPECT_EQ(lib->temp_visits(), 1) << "primitive access bypasses the setter";
    lib->setValue(qlonglong(9), QStringLiteral("shelves"));
    EXPECT_EQ(lib->integerForKey(QStringLiteral("shelves")), 9) << "keys without an accessor of their own";
}

TEST_F(DSManagedObjectTest, ToManyAndToOneKeepTheirInversesInStep)
{
    DSManagedObject *a = library("A"), *b = library("B");
    DSManagedObject *book = insert("Book", "Emma"), *film = insert("Film", "Heat");
    book->setObject(a, QStringLiteral("library"));
    EXPECT_EQ(a->objectsForKey(QStringLiteral("items")), DSObjectList{book});
    a->addObject(film, QStringLiteral("items"));
    EXPECT_EQ(film->objectForKey(QStringLiteral("library")), a);
    // Moving a member takes it out of its former owner's set.
    b->addObject(book, QStringLiteral("items"));
    EXPECT_EQ(a->objectsForKey(QStringLiteral("items")), DSObjectList{film});
    EXPECT_EQ(book->objectForKey(QStringLiteral("library")), b);
    a->removeObject(film, QStringLiteral("items"));
    EXPECT_EQ(film->objectForKey(QStringLiteral("library")), nullptr);
    b->setValue(QVariant::fromValue(DSObjectList{film}), QStringLiteral("items"));
    EXPECT_EQ(book->objectForKey(QStringLiteral("library")), nullptr);
    EXPECT_EQ(film->valueForKey(QStringLiteral("library")).value<DSManagedObject *>(), b);
}

TEST_F(DSManagedObjectTest, ManyToManyAndOneToOneKeepTheirInversesInStep)
{
    DSManagedObject *a = library("A"), *b = library("B");
    DSManagedObject *red = insert("Tag", "red"), *blue = insert("Tag", "blue");
    a->addObject(red, QStringLiteral("tags"));
    a->addObject(blue, QStringLiteral("tags"));
    red->addObject(b, QStringLiteral("libraries"));
    EXPECT_EQ(red->objectsForKey(QStringLiteral("libraries")), (DSObjectList{a, b}));
    EXPECT_EQ(b->objectsForKey(QStringLiteral("tags")), DSObjectList{red});
    a->setObjects({blue}, QStringLiteral("tags"));
    EXPECT_EQ(red->objectsForKey(QStringLiteral("libraries")), DSObjectList{b});

    DSManagedObject *ann = insert("Person", "Ann"), *bob = insert("Person", "Bob");
    a->setObject(ann, QStringLiteral("manager"));
    EXPECT_EQ(ann->objectForKey(QStringLiteral("managed")), a);
    // Ann takes over B: A loses her, and Bob, B's manager, loses B.
    b->setObject(bob, QStringLiteral("manager"));
    ann->setObject(b, QStringLiteral("managed"));
    EXPECT_EQ(a->objectForKey(QStringLiteral("manager")), nullptr);
    EXPECT_EQ(b->objectForKey(QStringLiteral("manager")), ann);
    EXPECT_EQ(bob->objectForKey(QStringLiteral("managed")), nullptr);
}

TEST_F(DSManagedObjectTest, RelationshipsRefuseObjectsTheyCannotHold)
{
    DSManagedObject *part = insert("Part", "p");
    DSManagedObject *book = insert("Book"), *film = insert("Film"), *person = insert("Person");
    part->setObject(book, QStringLiteral("item"));
    EXPECT_EQ(part->objectForKey(QStringLiteral("item")), book) << "the abstract destination takes any sub-entity";
    part->setObject(film, QStringLiteral("item"));
    EXPECT_EQ(part->objectForKey(QStringLiteral("item")), film);
    // isEmpty(), not == {}: Qt compares an empty list with a reserved one
    // through memcmp on a null pointer.
    EXPECT_TRUE(book->objectsForKey(QStringLiteral("parts")).isEmpty());
    part->setObject(person, QStringLiteral("item"));
    EXPECT_EQ(part->objectForKey(QStringLiteral("item")), film) << "a person is no item";

    DSManagedObjectContext other(toyModel());
    DSManagedObject *stranger = other.insertNewObject(QStringLiteral("Book"));
    part->setObject(stranger, QStringLiteral("item"));
    EXPECT_EQ(part->objectForKey(QStringLiteral("item")), film) << "objects of two contexts never meet";
    EXPECT_TRUE(stranger->objectsForKey(QStringLiteral("parts")).isEmpty());

    DSManagedObject *gone = insert("Book");
    ASSERT_TRUE(context.deleteObject(gone));
    part->setObject(gone, QStringLiteral("item"));
    EXPECT_EQ(part->objectForKey(QStringLiteral("item")), film) << "nothing points at a deleted object";
}

TEST_F(DSManagedObjectTest, FetchFiltersAndSortsLiveObjects)
{
    const char *names[] = {"delta", "alpha", "charlie", "bravo"};
    int shelves = 1;
    for (const char *n : names)
        library(n)->setPrimitiveValue(shelves++ % 2, QStringLiteral("shelves"));
    DSManagedObject *deleted = library("echo");
    context.deleteObject(deleted);
    insert("Book", "not a library");

    DSFetchRequest all(QStringLiteral("Library"));
    EXPECT_EQ(context.executeFetchRequest(all).size(), 4);
    DSFetchRequest sorted(QStringLiteral("Library"));
    sorted.setSortDescriptors({{QStringLiteral("shelves"), false}, {QStringLiteral("name"), true}});
    sorted.setFilter([](const DSManagedObject *o) { return o->stringForKey(QStringLiteral("name")) != QLatin1String("alpha"); });
    QStringList got;
    for (DSManagedObject *o : context.executeFetchRequest(sorted))
        got << o->stringForKey(QStringLiteral("name"));
    EXPECT_EQ(got, (QStringList{QStringLiteral("charlie"), QStringLiteral("delta"), QStringLiteral("bravo")}));

    DSFetchRequest items(QStringLiteral("Item"));
    EXPECT_EQ(context.executeFetchRequest(items).size(), 1) << "sub-entities are included";
    items.setIncludesSubentities(false);
    EXPECT_EQ(context.executeFetchRequest(items).size(), 0);
    DSStoreError error;
    EXPECT_TRUE(context.executeFetchRequest(DSFetchRequest(QStringLiteral("Nope")), &error).isEmpty());
    EXPECT_EQ(error.code(), DSStoreError::InvalidArgument);
}

TEST_F(DSManagedObjectTest, IdentityIsFixedFromInsertion)
{
    DSManagedObject *a = library("A");
    DSManagedObject *book = insert("Book"), *film = insert("Film");
    const QUrl uri = a->uri();
    EXPECT_EQ(uri.scheme(), QStringLiteral("x-ostrel"));
    EXPECT_EQ(uri.host(), context.identifier());
    EXPECT_FALSE(a->objectID().isTemporaryID());
    EXPECT_EQ(context.objectForURI(uri), a);
    EXPECT_EQ(context.objectForURI(book->uri()), book);
    EXPECT_EQ(book->objectID().number() + 1, film->objectID().number()) << "one numbering per root table";
    a->setPrimitiveValue(QStringLiteral("renamed"), QStringLiteral("name"));
    context.processPendingChanges();
    EXPECT_EQ(a->uri(), uri);
    EXPECT_EQ(context.objectForURI(QUrl(QStringLiteral("x-ostrel://nowhere/Library/p1"))), nullptr);
    EXPECT_EQ(context.objectForURI(QUrl(QStringLiteral("https://example.com/Library/p1"))), nullptr);
}

TEST_F(DSManagedObjectTest, KeyObserversRunOnceTheChangeIsComplete)
{
    DSManagedObject *a = library("A"), *b = library("B");
    DSManagedObject *book = insert("Book");
    book->setObject(a, QStringLiteral("library"));
    QStringList seen;
    const int token = context.addObserver(a, QStringLiteral("items"), [&](DSManagedObject *o, const QString &key) {
        // The inverse is already in step when the observer runs.
        seen << QStringLiteral("%1 %2 %3").arg(o == a ? QStringLiteral("A") : QStringLiteral("?"), key)
                    .arg(book->objectForKey(QStringLiteral("library")) == b);
    });
    context.addObserver(a, QStringLiteral("name"), [&](DSManagedObject *, const QString &key) { seen << key; });
    b->addObject(book, QStringLiteral("items"));
    a->setPrimitiveValue(QStringLiteral("A2"), QStringLiteral("name"));
    a->setPrimitiveValue(QStringLiteral("A2"), QStringLiteral("name"));
    EXPECT_EQ(seen, (QStringList{QStringLiteral("A items 1"), QStringLiteral("name")}));
    context.removeObserver(token);
    book->setObject(a, QStringLiteral("library"));
    EXPECT_EQ(seen.size(), 2);
}
