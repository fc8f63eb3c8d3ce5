// Opening a store of 10,000 objects, once with no binary data and once with
// 1 GB of it (100 KB per object). Binary data stays in the file until it is
// read, so both opens should cost about the same; the third benchmark reads
// every blob after opening, for the cost the laziness saves.
#include "platform/store/DSManagedObjectContext.h"
#include "platform/store/DSManagedObjectModel.h"
#include "platform/store/DSPersistentStore.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int k_columns = 9999; // plus one table: 10,000 objects
constexpr qint64 k_blobSize = 100 * 1024;

const char *k_model = R"({"name": "BenchModel", "version": 1, "entities": [
  {"name": "Table",
   "attributes": [{"name": "name", "type": "string"}, {"name": "num_records", "type": "integer64"}],
   "relationships": [{"name": "columns", "destination": "Column", "toMany": true, "inverse": "table", "deleteRule": "cascade"}]},
  {"name": "Column",
   "attributes": [{"name": "name", "type": "string"}, {"name": "index", "type": "integer64"},
                  {"name": "treat_as_categories", "type": "boolean"}, {"name": "width", "type": "double"},
                  {"name": "values", "type": "binary"}],
   "relationships": [{"name": "table", "destination": "Table", "inverse": "columns"}]}]})";

std::shared_ptr<const DSManagedObjectModel> model()
{
    static const auto m = DSManagedObjectModel::fromJson(k_model);
    return m;
}

QTemporaryDir &folder()
{
    static QTemporaryDir dir;
    return dir;
}

// Writes the store once per process; answers its path.
QString storeWithBlobs(bool blobs)
{
    const QString path = folder().filePath(blobs ? QStringLiteral("blobs.sqlite") : QStringLiteral("plain.sqlite"));
    if (QFileInfo::exists(path))
        return path;
    DSManagedObjectContext context(model());
    context.setUndoManager(nullptr);
    // One array shared by every column: 1 GB in the file, 100 KB in memory.
    QByteArray data(k_blobSize, 'v');
    DSManagedObject *table = context.insertNewObject(QStringLiteral("Table"));
    table->setPrimitiveValue(QStringLiteral("bench"), QStringLiteral("name"));
    for (int i = 0; i < k_columns; ++i) {
        DSManagedObject *column = context.insertNewObject(QStringLiteral("Column"));
        column->setPrimitiveValue(QStringLiteral("column %1").arg(i), QStringLiteral("name"));
        column->setPrimitiveValue(i, QStringLiteral("index"));
        column->setPrimitiveValue(i * 0.5, QStringLiteral("width"));
        if (blobs)
            column->setPrimitiveValue(data, QStringLiteral("values"));
        column->setObject(table, QStringLiteral("table"));
    }
    DSStoreError error;
    if (!context.addPersistentStore(path, DSStoreOptions(), &error) || !context.save(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error.message()));
        std::abort();
    }
    return path;
}

// Drops the file's pages from the page cache, so the next open reads the disk.
void evict(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd >= 0) {
        ::fdatasync(fd);
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        ::close(fd);
    }
}

void openStore(benchmark::State &state, bool blobs, bool readBlobs, bool cold = false)
{
    const QString path = storeWithBlobs(blobs);
    DSStoreOptions options;
    options.readOnly = true;
    qint64 bytes = 0;
    for (auto _ : state) {
        if (cold) {
            state.PauseTiming();
            evict(path);
            state.ResumeTiming();
        }
        DSManagedObjectContext context(model());
        context.setUndoManager(nullptr);
        if (!context.addPersistentStore(path, options)) {
            state.SkipWithError("could not open the store");
            return;
        }
        const DSObjectList columns = context.objectsOfEntity(QStringLiteral("Column"));
        if (readBlobs)
            for (DSManagedObject *c : columns)
                bytes += c->dataForKey(QStringLiteral("values")).size();
        benchmark::DoNotOptimize(columns.size());
    }
    state.counters["file_MB"] = double(QFileInfo(path).size()) / (1 << 20);
    state.counters["objects"] = k_columns + 1;
    if (readBlobs)
        state.SetBytesProcessed(bytes);
}

void BM_OpenStoreWithoutBlobs(benchmark::State &state) { openStore(state, false, false); }
void BM_OpenStoreWith1GBOfBlobs(benchmark::State &state) { openStore(state, true, false); }
void BM_OpenStoreAndReadEvery1GBOfBlobs(benchmark::State &state) { openStore(state, true, true); }
void BM_ColdOpenStoreWithoutBlobs(benchmark::State &state) { openStore(state, false, false, true); }
void BM_ColdOpenStoreWith1GBOfBlobs(benchmark::State &state) { openStore(state, true, false, true); }

} // namespace

BENCHMARK(BM_OpenStoreWithoutBlobs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenStoreWith1GBOfBlobs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenStoreAndReadEvery1GBOfBlobs)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ColdOpenStoreWithoutBlobs)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_ColdOpenStoreWith1GBOfBlobs)->Unit(benchmark::kMillisecond)->Iterations(10);

BENCHMARK_MAIN();
