// Whole imports (parse, then the columns' compression) of a Stata file, an
// SPSS file and a fixed-width text file, each 1,000,000 rows;
// run_stat_bench.sh writes the files with R and times haven, readr and
// pandas on the same ones. Reports each run's peak resident memory.
//
//   OSTREL_BENCH_DTA=x.dta OSTREL_BENCH_SAV=x.sav OSTREL_BENCH_FWF=x.txt stat_bench
#include "app/ds_register_model_classes.h"
#include "import/DSDataImporterDCT.h"
#include "import/DSDataImporterDTA.h"
#include "import/dictionary/dct_read_data.h"
#include "import/dictionary/ds_stata_dct.h"
#include "model/util/ds_parse.h"
#include "model/ds_application_defaults.h"
#include "platform/store/DSManagedObjectModel.h"
#include "platform/store/DSObjectPool.h"

#include <QFile>
#include <QFileInfo>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <cstdlib>
#include <cstring>

namespace {

std::shared_ptr<const DSManagedObjectModel> benchModel()
{
    static const auto model = [] {
        ds_register_application_defaults();
        ds_register_model_classes();
        return DSManagedObjectModel::modelNamed(QStringLiteral("DSDataModel006"));
    }();
    return model;
}

// The file an environment variable names, or an empty string.
QString benchFile(const char *variable)
{
    const char *path = std::getenv(variable);
    return path && QFileInfo::exists(QString::fromLocal8Bit(path)) ? QString::fromLocal8Bit(path) : QString();
}

// The layout of fwf_oracle.R's lines: id 8, x 12, k 10 (numbers), tag 6.
ds_stata_dct_s *fixedWidthLayout()
{
    ds_stata_dct_s *dct = dct_dictionary_new();
    const struct { int32_t start, width, type; const char *name; } k_entries[] = {
        {0, 8, 3, "id"}, {8, 12, 5, "x"}, {20, 10, 3, "k"}, {30, 6, 1, "tag"}};
    for (const auto &e : k_entries) {
        ds_stata_dct_entry_s *entry = dct_append_entry(dct);
        entry->start = e.start, entry->width = e.width, entry->type = e.type, entry->decimal_char = '.';
        std::strcpy(entry->name, e.name);
    }
    return dct;
}

// Runs imports of the file by the importer `make` builds, reporting bytes
// per second and the process's peak resident memory in MB.
template <class Make>
void runImport(benchmark::State &state, const char *variable, Make make)
{
    const QString path = benchFile(variable);
    if (path.isEmpty()) {
        state.SkipWithError("set the file's variable (run_stat_bench.sh makes the files)");
        return;
    }
    for (auto _ : state) {
        auto importer = make(QUrl::fromLocalFile(path));
        importer->asyncParse(benchModel());
        if (!importer->asyncResult()) {
            state.SkipWithError("the import failed");
            return;
        }
        benchmark::DoNotOptimize(importer->asyncResult()->objects().size());
    }
    state.SetBytesProcessed(state.iterations() * QFileInfo(path).size());
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_MB"] = double(usage.ru_maxrss) / 1024;
}

void ImportDTA(benchmark::State &state)
{
    runImport(state, "OSTREL_BENCH_DTA", [](const QUrl &url) { return std::make_unique<DSDataImporterDTA>(QList<QUrl>{url}); });
}
BENCHMARK(ImportDTA)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void ImportSAV(benchmark::State &state)
{
    runImport(state, "OSTREL_BENCH_SAV", [](const QUrl &url) { return std::make_unique<DSDataImporterDTA>(QList<QUrl>{url}); });
}
BENCHMARK(ImportSAV)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void ImportFixedWidth(benchmark::State &state)
{
    runImport(state, "OSTREL_BENCH_FWF", [](const QUrl &url) {
        auto importer = std::make_unique<DSDataImporterDCT>(QList<QUrl>{url});
        importer->setDct(fixedWidthLayout());
        return importer;
    });
}
BENCHMARK(ImportFixedWidth)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The reader alone, every number field read as the importer reads it: what
// the import costs before its columns are stored.
void ReadFixedWidth(benchmark::State &state)
{
    const QString path = benchFile("OSTREL_BENCH_FWF");
    if (path.isEmpty()) {
        state.SkipWithError("set OSTREL_BENCH_FWF (run_stat_bench.sh makes the file)");
        return;
    }
    ds_stata_dct_s *dct = fixedWidthLayout();
    const auto parseCell = [](uint64_t, int32_t k, char *text, uint64_t, void *sum) {
        if (k != 3)
            *static_cast<double *>(sum) += ds_parse_number(text, ", ");
        return 0;
    };
    for (auto _ : state) {
        double sum = 0;
        if (dct_read_data(QFile::encodeName(path).constData(), dct, &sum, parseCell) != 0) {
            state.SkipWithError("the read failed");
            break;
        }
        benchmark::DoNotOptimize(sum);
    }
    dct_dictionary_free(dct);
    state.SetBytesProcessed(state.iterations() * QFileInfo(path).size());
}
BENCHMARK(ReadFixedWidth)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
