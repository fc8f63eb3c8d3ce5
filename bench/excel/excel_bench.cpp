// A whole Excel 2007 import (unzip, XML parse and the columns'
// compression) of the workbook make_xlsx.py writes; run_excel_bench.sh
// makes it and times R's readxl::read_xlsx on it in the same run.
//
//   OSTREL_EXCEL_BENCH_XLSX=/tmp/ostrel-bench-200000.xlsx excel_bench
#include "app/ds_register_model_classes.h"
#include "import/DSDataImporterXLSX.h"
#include "model/ds_application_defaults.h"
#include "platform/store/DSManagedObjectModel.h"
#include "platform/store/DSObjectPool.h"

#include <QFileInfo>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

void ImportXLSX(benchmark::State &state)
{
    const char *path = std::getenv("OSTREL_EXCEL_BENCH_XLSX");
    if (!path || !QFileInfo::exists(QString::fromLocal8Bit(path))) {
        state.SkipWithError("set OSTREL_EXCEL_BENCH_XLSX to a workbook (run_excel_bench.sh makes one)");
        return;
    }
    ds_register_application_defaults();
    ds_register_model_classes();
    const auto model = DSManagedObjectModel::modelNamed(QStringLiteral("DSDataModel006"));
    const QUrl url = QUrl::fromLocalFile(QString::fromLocal8Bit(path));
    for (auto _ : state) {
        DSDataImporterXLSX importer({url});
        importer.asyncParse(model);
        if (!importer.asyncResult()) {
            state.SkipWithError("the import failed");
            return;
        }
        benchmark::DoNotOptimize(importer.asyncResult()->objects().size());
    }
    state.SetBytesProcessed(state.iterations() * QFileInfo(QString::fromLocal8Bit(path)).size());
}
BENCHMARK(ImportXLSX)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

BENCHMARK_MAIN();
