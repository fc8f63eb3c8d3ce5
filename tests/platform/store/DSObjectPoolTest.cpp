#include "StoreTestSupport.h"

#include "platform/store/DSManagedObjectModel.h"
#include "platform/store/DSObjectPool.h"

#include <gtest/gtest.h>

#include <future>

namespace {

// What an import does on its worker: libraries with books and parts, all
// in a pool of its own.
std::shared_ptr<DSObjectPool> buildOnWorker(int libraries, int booksEach)
{
    auto pool = std::make_shared<DSObjectPool>(toyModel());
    for (int l = 0; l < libraries; ++l) {
        DSManagedObject *lib = pool->insertNewObject(QStringLiteral("Library"));
        lib->setValue(QStringLiteral("library %1").arg(l), QStringLiteral("name"));
        for (int b = 0; b < booksEach; ++b) {
            DSManagedObject *book = pool->insertNewObject(QStringLiteral("Book"));
            book->setPrimitiveValue(qlonglong(b), QStringLiteral("index"));
            book->setPrimitiveValue(patternBytes(4096, quint32(b)), QStringLiteral("scan"));
            book->setObject(lib, QStringLiteral("library"));
            DSManagedObject *part = pool->insertNewObject(QStringLiteral("Part"));
            book->addObject(part, QStringLiteral("parts"));
        }
    }
    return pool;
}

} // namespace

TEST(DSObjectPool, ObjectsBuiltOnAWorkerKeepRelationshipsAndInverses)
{
    toyModel(); // classes registered before the workers start
    std::vector<std::future<std::shared_ptr<DSObjectPool>>> workers;
    for (int w = 0; w < 4; ++w)
        workers.push_back(std::async(std::launch::async, [] { return buildOnWorker(3, 20); }));
    for (auto &worker : workers) {
        std::shared_ptr<DSObjectPool> pool = worker.get();
        const DSObjectList libraries = pool->objectsOfEntity(QStringLiteral("Library"));
        ASSERT_EQ(libraries.size(), 3);
        EXPECT_EQ(pool->objectsOfEntity(QStringLiteral("Item")).size(), 60);
        for (DSManagedObject *lib : libraries) {
            EXPECT_EQ(lib->managedObjectContext(), nullptr);
            EXPECT_EQ(lib->integerForKey(QStringLiteral("temp_visits")), 1) << "entity setters run in a pool too";
            const DSObjectList books = lib->objectsForKey(QStringLiteral("items"));
            ASSERT_EQ(books.size(), 20);
            for (DSManagedObject *book : books) {
                EXPECT_EQ(book->objectForKey(QStringLiteral("library")), lib);
                const DSObjectList parts = book->objectsForKey(QStringLiteral("parts"));
                ASSERT_EQ(parts.size(), 1);
                EXPECT_EQ(parts[0]->objectForKey(QStringLiteral("item")), book);
                EXPECT_EQ(book->dataForKey(QStringLiteral("scan")),
                          patternBytes(4096, quint32(book->integerForKey(QStringLiteral("index")))));
            }
        }
        // Pool objects have temporary identities the pool resolves.
        DSManagedObject *first = libraries.first();
        EXPECT_TRUE(first->objectID().isTemporaryID());
        EXPECT_EQ(pool->objectForURI(first->uri()), first);
        EXPECT_FALSE(first->isInserted() || first->isDeleted() || first->isFault());
    }
}

TEST(DSObjectPool, ObjectsOfTwoPoolsNeverMeetAndDieWithTheirPool)
{
    DSObjectPool a(toyModel());
    hookLog().clear();
    {
        DSObjectPool b(toyModel());
        DSManagedObject *lib = a.insertNewObject(QStringLiteral("Library"));
        DSManagedObject *book = b.insertNewObject(QStringLiteral("Book"));
        book->setObject(lib, QStringLiteral("library"));
        EXPECT_EQ(book->objectForKey(QStringLiteral("library")), nullptr);
        EXPECT_TRUE(lib->objectsForKey(QStringLiteral("items")).isEmpty());
        EXPECT_EQ(hookCount(QStringLiteral("awakeFromInsert"), book), 1);
    }
    EXPECT_EQ(hookLog().last().hook, QStringLiteral("didTurnIntoFault")) << "the book's pool faulted it on the way out";
    EXPECT_EQ(a.objects().size(), 1);
}
