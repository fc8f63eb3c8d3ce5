// A whole delimited-text import (parse and the columns' compression) of the
// file data.table::fwrite writes in ../../tests/import/fread_oracle.R;
// run_import_bench.sh makes the file and times R's fread and read.csv on it
// in the same run.
//
//   OSTREL_IMPORT_BENCH_CSV=/tmp/fwrite-1e6.csv import_bench
#include "bench/ds_import_file_bench.h"
#include "import/DSDataImporterCSV.h"

namespace {

void ImportCSV(benchmark::State &state)
{
    ds_bench_import_file<DSDataImporterCSV>(state, "OSTREL_IMPORT_BENCH_CSV");
}
BENCHMARK(ImportCSV)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

BENCHMARK_MAIN();
