// The whole chain of store-version steps on a version-1 package of 20
// numeric columns of a million rows, against saving the same document at
// the current version. Each benchmark reports the process's peak resident
// memory; run them one per process for a peak of their own:
//   migration_bench --benchmark_filter=Chain
//   migration_bench --benchmark_filter=Save
#include "app/ds_register_model_classes.h"
#include "migration/ds_register_migration_policies.h"
#include "model/DSStatDocument.h"
#include "model/ds_application_defaults.h"
#include "model/ds_compression.h"
#include "platform/store/DSManagedObjectContext.h"
#include "platform/store/DSManagedObjectModel.h"
#include "platform/store/DSPersistentStore.h"

#include <QDir>
#include <QTemporaryDir>
#include <QUrl>
#include <QtEndian>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <random>

namespace {

constexpr int k_columns = 20;
constexpr qint64 k_rows = 1000000;

void setUp()
{
    static const bool done = [] {
        ds_register_application_defaults();
        ds_register_model_classes();
        ds_register_migration_policies();
        return true;
    }();
    (void)done;
}

double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

// A version-1 package: one table of k_columns numeric columns of k_rows
// 4-byte values each (about one in ten missing).
QString writeVersionOnePackage(const QTemporaryDir &dir)
{
    DSManagedObjectContext context(DSManagedObjectModel::modelNamed(QStringLiteral("DSDataModel")));
    DSManagedObject *root = context.insertNewObject(QStringLiteral("DSDataRoot"));
    DSManagedObject *table = context.insertNewObject(QStringLiteral("DSDataTable"));
    table->setPrimitiveValue(QStringLiteral("Wide"), QStringLiteral("name"));
    table->setPrimitiveValue(k_rows, QStringLiteral("num_records"));
    table->setObject(root, QStringLiteral("data_root"));
    std::mt19937 random(11);
    std::uniform_real_distribution<float> value(0, 100);
    QByteArray raw(k_rows * 4, Qt::Uninitialized);
    for (int c = 0; c < k_columns; ++c) {
        for (qint64 r = 0; r < k_rows; ++r) {
            const float v = value(random);
            qToLittleEndian(v < 10 ? NAN : v, raw.data() + 4 * r);
        }
        DSManagedObject *column = context.insertNewObject(QStringLiteral("DSNumericDataColumn"));
        column->setPrimitiveValue(QStringLiteral("column %1").arg(c), QStringLiteral("name"));
        column->setPrimitiveValue(qint64(c), QStringLiteral("index"));
        column->setPrimitiveValue(*zlibDeflate(raw), QStringLiteral("values"));
        column->setObject(table, QStringLiteral("table"));
    }
    const QString package = dir.filePath(QStringLiteral("Wide.ostrel"));
    QDir().mkpath(package);
    DSStoreError error;
    context.addPersistentStore(QDir(package).filePath(QStringLiteral("Storage.innerostrel")), DSStoreOptions(), &error);
    context.save(&error);
    return package;
}

void BM_ChainFromVersionOne(benchmark::State &state)
{
    setUp();
    QTemporaryDir dir;
    const QUrl package = QUrl::fromLocalFile(writeVersionOnePackage(dir));
    for (auto _ : state) {
        QTemporaryDir into;
        DSError error;
        if (!DSStatDocument::migrateStoresFromURL(package, 0, 5, QUrl::fromLocalFile(into.path()), &error))
            state.SkipWithError(error.localizedDescription.toUtf8().constData());
    }
    state.counters["peak_MB"] = peakMegabytes();
}
BENCHMARK(BM_ChainFromVersionOne)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_SaveAtVersionSix(benchmark::State &state)
{
    setUp();
    QTemporaryDir dir;
    const QString package = writeVersionOnePackage(dir);
    DSStatDocument document;
    DSError error;
    if (!document.readFromURL(QUrl::fromLocalFile(package), DSStatDocument::nativeType, &error)) {
        state.SkipWithError(error.localizedDescription.toUtf8().constData());
        return;
    }
    int n = 0;
    for (auto _ : state) {
        const QUrl to = QUrl::fromLocalFile(dir.filePath(QStringLiteral("Saved%1.ostrel").arg(n++)));
        if (!document.writeSafelyToURL(to, DSStatDocument::nativeType, DSSaveOperation::SaveAs, &error))
            state.SkipWithError(error.localizedDescription.toUtf8().constData());
    }
    state.counters["peak_MB"] = peakMegabytes();
}
BENCHMARK(BM_SaveAtVersionSix)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
