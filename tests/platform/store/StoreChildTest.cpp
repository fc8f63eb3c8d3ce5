// The child side of the tests that need a second process: a fresh process
// reading a store, and saves killed halfway. The parent (runChild and the
// crash tests) starts this program again with the mode in
// OSTREL_STORE_CHILD_MODE; the child does its part before main() and exits,
// so it never shows up among the tests.
#include "StoreTestSupport.h"

#include "platform/store/DSManagedObjectContext.h"
#include "platform/store/DSManagedObjectModel.h"
#include "platform/store/DSPersistentStore.h"

#include <QThread>

#include <cstdio>
#include <cstdlib>

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

[[noreturn]] void fail(const char *what, const DSStoreError &error)
{
    std::fprintf(stderr, "child: %s: %s\n", what, qPrintable(error.message()));
    std::_Exit(1);
}

int runChildMode(const QString &mode, const QStringList &args)
{
    DSManagedObjectContext context(toyModel());
    DSStoreError error;
    DSStoreOptions options;
    if (mode == QLatin1String("dump")) {
        options.readOnly = true;
        if (!context.addPersistentStore(args.value(0), options, &error))
            fail("open", error);
        print(dumpGraph(context));
        return 0;
    }
    if (mode == QLatin1String("hang-in-save")) {
        // A tiny page cache makes SQLite write into the file long before
        // the commit, so the kill finds the file itself half changed.
        options.pragmas = {{QStringLiteral("cache_size"), QStringLiteral("8")}};
        if (!context.addPersistentStore(args.value(0), options, &error))
            fail("open", error);
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
        if (!context.addPersistentStore(args.value(0), options, &error))
            fail("open", error);
        DSPersistentStore::setSaveProgressHook(hangHalfway);
        context.migratePersistentStore(args.value(1), &error);
    } else if (mode == QLatin1String("hang-in-first-save")) {
        buildRichGraph(context, 8 << 20);
        if (!context.addPersistentStore(args.value(0), options, &error))
            fail("add", error);
        DSPersistentStore::setSaveProgressHook(hangHalfway);
        context.save(&error);
    } else {
        std::fprintf(stderr, "child: unknown mode %s\n", qPrintable(mode));
        return 1;
    }
    std::fputs("child: the save was not stopped halfway\n", stderr);
    return 2;
}

const bool s_childRan = [] {
    const QString mode = qEnvironmentVariable("OSTREL_STORE_CHILD_MODE");
    if (mode.isEmpty())
        return false;
    std::exit(runChildMode(mode, qEnvironmentVariable("OSTREL_STORE_CHILD_ARGS").split(QLatin1Char('\n'))));
}();

} // namespace
