// The child side of the tests that need a second process: a fresh process
// reading a store, and saves killed halfway. The parent (runChild and the
// crash tests) starts this program again with only this test enabled and
// the mode in OSTREL_STORE_CHILD_MODE.
#include "StoreTestSupport.h"

#include "platform/store/DSManagedObjectContext.h"
#include "platform/store/DSManagedObjectModel.h"
#include "platform/store/DSPersistentStore.h"

#include <QThread>

#include <gtest/gtest.h>

#include <cstdio>

namespace {

qint64 s_hangAt = 2;

// Tells the parent the save is halfway and waits there for its kill -9.
void hangHalfway(qint64 step)
{
    if (step != s_hangAt)
        return;
    std::fputs("HALFWAY\n", stdout);
    std::fflush(stdout);
    QThread::sleep(120);
    std::_Exit(3); // never reached when the parent does its part
}

void print(const QString &text)
{
    std::fputs("BEGIN-OUTPUT\n", stdout);
    std::fputs(text.toUtf8().constData(), stdout);
    std::fputs("\nEND-OUTPUT\n", stdout);
    std::fflush(stdout);
}

} // namespace

TEST(StoreChild, DISABLED_Run)
{
    const QString mode = qEnvironmentVariable("OSTREL_STORE_CHILD_MODE");
    const QStringList args = qEnvironmentVariable("OSTREL_STORE_CHILD_ARGS").split(QLatin1Char('\n'));
    DSManagedObjectContext context(toyModel());
    DSStoreError error;
    DSStoreOptions options;
    if (mode == QLatin1String("dump")) {
        options.readOnly = true;
        ASSERT_TRUE(context.addPersistentStore(args.value(0), options, &error)) << error.message().toStdString();
        print(dumpGraph(context));
    } else if (mode == QLatin1String("hang-in-save")) {
        // A tiny page cache makes SQLite write into the file long before
        // the commit, so the kill finds the file itself half changed.
        options.pragmas = {{QStringLiteral("cache_size"), QStringLiteral("8")}};
        ASSERT_TRUE(context.addPersistentStore(args.value(0), options, &error)) << error.message().toStdString();
        quint32 seed = 100;
        const DSObjectList books = context.objectsOfEntity(QStringLiteral("Book"));
        for (DSManagedObject *book : books) {
            book->setPrimitiveValue(patternBytes(1 << 20, seed++), QStringLiteral("scan"));
            book->setPrimitiveValue(QStringLiteral("rewritten"), QStringLiteral("name"));
        }
        // Every row is rewritten and half the books' data.
        s_hangAt = books.size() + books.size() / 2;
        DSPersistentStore::setSaveProgressHook(hangHalfway);
        context.save(&error);
    } else if (mode == QLatin1String("hang-in-move")) {
        ASSERT_TRUE(context.addPersistentStore(args.value(0), options, &error)) << error.message().toStdString();
        DSPersistentStore::setSaveProgressHook(hangHalfway);
        context.migratePersistentStore(args.value(1), &error);
    } else if (mode == QLatin1String("hang-in-first-save")) {
        buildRichGraph(context, 8 << 20);
        ASSERT_TRUE(context.addPersistentStore(args.value(0), options, &error));
        DSPersistentStore::setSaveProgressHook(hangHalfway);
        context.save(&error);
    } else {
        FAIL() << "unknown child mode " << mode.toStdString();
    }
}
