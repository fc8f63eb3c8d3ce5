// The index and counts of a stored text column of 10,000,000 rows holding
// 100,000 distinct texts (and 1 % blank rows), as pandas_peers.py times
// Series.value_counts on the same texts: row i holds bench_text(i).
//
// Timed from a decoded column whose index was purged: the index (hash sets
// per chunk, merged), the per-row positions and the weighted counts in 16
// chunks, as DSTextColumn::getCounts runs them after an edit. The argument
// is the number of worker threads (a tbb::task_arena of that size).
#include "bench_data.h"

#include "app/ds_register_model_classes.h"
#include "model/DSDataTable.h"
#include "model/DSTextDataColumn.h"
#include "model/ds_application_defaults.h"
#include "platform/store/DSManagedObjectContext.h"
#include "platform/store/DSManagedObjectModel.h"

#include <benchmark/benchmark.h>
#include <tbb/task_arena.h>

#include <cstdio>
#include <ctime>
#include <memory>
#include <string>

namespace {

constexpr int64_t rows = 10'000'000;
constexpr uint64_t distinct = 100'000;

// The text of row i: empty (blank) for 1 row in 100, else one of 100,000
// texts of 10 to 17 bytes, "t" and the text's number, "-" and a hex tag.
std::string bench_text(int64_t i)
{
    const uint64_t h = bench_splitmix64(uint64_t(i) + (uint64_t(3) << 40));
    if (h % 100 == 0)
        return std::string();
    const uint64_t k = (h >> 8) % distinct;
    char text[32];
    std::snprintf(text, sizeof text, "t%05llu-%llx", (unsigned long long)k,
                  (unsigned long long)(bench_splitmix64(k) & 0xffffff));
    return text;
}

struct Fixture
{
    std::unique_ptr<DSManagedObjectContext> context;
    DSDataTable *table = nullptr;
    DSTextDataColumn *column = nullptr;

    Fixture()
    {
        ds_register_application_defaults();
        ds_register_model_classes();
        context = std::make_unique<DSManagedObjectContext>(DSManagedObjectModel::modelNamed(QStringLiteral("DSDataModel006")));
        context->setUndoManager(nullptr);
        table = context->insertNewObject<DSDataTable>(QStringLiteral("DSDataTable"));
        column = context->insertNewObject<DSTextDataColumn>(QStringLiteral("DSTextDataColumn"));
        table->insertNewColumns({column}, 0);
        for (int64_t i = 0; i < rows; ++i)
            column->appendTextValue(bench_text(i).c_str());
        table->setNum_records(rows);
        column->saveAfterImport();
    }
};

Fixture &fixture()
{
    static Fixture f;
    return f;
}

// CPU seconds of every thread of the process so far: on a machine shared
// with other jobs, the work done tells more than the time it took.
double processSeconds()
{
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

void BM_index_and_counts(benchmark::State &state)
{
    DSTextDataColumn *column = fixture().column;
    qint64 entries = 0;
    double work = 0;
    tbb::task_arena(int(state.range(0))).execute([&] {
        for (auto _ : state) {
            state.PauseTiming();
            column->purgeIndex();
            const char *const *texts = nullptr;
            column->getTextValues(&texts);  // decoded before the clock runs
            const double before = processSeconds();
            state.ResumeTiming();
            const ds_txt_counts_s *counts = nullptr;
            entries = column->getCounts(&counts, nullptr, 0);
            benchmark::DoNotOptimize(counts);
            state.PauseTiming();
            work += processSeconds() - before;
            state.ResumeTiming();
        }
    });
    state.counters["entries"] = double(entries);
    state.counters["all_threads_cpu_ms"] = 1000 * work / double(state.iterations());
}

// The first read after a save: inflating both attributes and the blank mask.
void BM_decode(benchmark::State &state)
{
    DSTextDataColumn *column = fixture().column;
    for (auto _ : state) {
        column->teardown();
        const char *const *texts = nullptr;
        benchmark::DoNotOptimize(column->getTextValues(&texts));
    }
}

} // namespace

BENCHMARK(BM_index_and_counts)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_decode)->Unit(benchmark::kMillisecond)->UseRealTime();
