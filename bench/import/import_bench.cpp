// A whole delimited-text import (parse and the columns' compression) of the
// file data.table::fwrite writes in ../../tests/import/fread_oracle.R;
// run_import_bench.sh makes the file and times R's fread and read.csv on it
// in the same run.
//
//   OSTREL_IMPORT_BENCH_CSV=/tmp/fwrite-1e6.csv import_bench
#include "app/ds_register_model_classes.h"
#include "import/DSDataImporterCSV.h"
#include "model/ds_application_defaults.h"
#include "platform/store/DSManagedObjectModel.h"
#include "platform/store/DSObjectPool.h"

#include <QFileInfo>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

void ImportCSV(benchmark::State &state)
{
    const char *path = std::getenv("OSTREL_IMPORT_BENCH_CSV");
    if (!path || !QFileInfo::exists(QString::fromLocal8Bit(path))) {
        state.SkipWithError("set OSTREL_IMPORT_BENCH_CSV to a file (run_import_bench.sh makes one)");
        return;
    }
    ds_register_application_defaults();
    ds_register_model_classes();
    const auto model = DSManagedObjectModel::modelNamed(QStringLiteral("DSDataModel006"));
    const QUrl url = QUrl::fromLocalFile(QString::fromLocal8Bit(path));
    for (auto _ : state) {
        DSDataImporterCSV importer({url});
        importer.asyncParse(model);
        if (!importer.asyncResult()) {
            state.SkipWithError("the import failed");
            return;
        }
        benchmark::DoNotOptimize(importer.asyncResult()->objects().size());
    }
    state.SetBytesProcessed(state.iterations() * QFileInfo(QString::fromLocal8Bit(path)).size());
}
BENCHMARK(ImportCSV)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

BENCHMARK_MAIN();
