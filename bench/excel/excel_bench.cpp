// A whole Excel 2007 import (unzip, XML parse and the columns'
// compression) of the workbook make_xlsx.py writes; run_excel_bench.sh
// makes it and times R's readxl::read_xlsx on it in the same run.
//
//   OSTREL_EXCEL_BENCH_XLSX=/tmp/ostrel-bench-200000.xlsx excel_bench
#include "bench/ds_import_file_bench.h"
#include "import/DSDataImporterXLSX.h"

namespace {

void ImportXLSX(benchmark::State &state)
{
    ds_bench_import_file<DSDataImporterXLSX>(state, "OSTREL_EXCEL_BENCH_XLSX");
}
BENCHMARK(ImportXLSX)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

BENCHMARK_MAIN();
