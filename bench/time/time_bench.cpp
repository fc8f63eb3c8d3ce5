// Flooring, statistics and period counts of 10^7 times; pandas_peers.py
// times pandas on the same times: 6 x 10^8 + 100 x the shared values
// (bench/util/bench_data.h), about three years of times around 2020.

#include "bench_data.h"
#include "model/ds_time_stats.h"
#include "model/ds_time_units.h"

#include <benchmark/benchmark.h>
#include <tbb/task_arena.h>

#include <vector>

namespace {

constexpr int64_t n = 10000000;

const std::vector<double> &times()
{
    static const std::vector<double> data = [] {
        std::vector<double> v = bench_values(n);
        for (double &x : v)
            x = 6e8 + 100 * x;
        return v;
    }();
    return data;
}

ds_time_rows_s rows()
{
    return ds_time_rows_s{times().data(), nullptr, n, nullptr, 0, nullptr, 0};
}

// One thread: seconds to days by arithmetic, weeks by arithmetic, months
// and years through the calendar.
void BM_floor(benchmark::State &state)
{
    const int64_t unit = state.range(0);
    const std::vector<double> &t = times();
    std::vector<double> out(t.size());
    for (auto _ : state) {
        for (size_t i = 0; i < t.size(); ++i)
            out[i] = ds_time_floor(unit, nullptr, t[i]);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_floor)->Arg(5)->Arg(9)->Arg(10)->Arg(11)->Arg(14)->Unit(benchmark::kMillisecond);

// Extremes and counts (1), and with quartiles and MAD (255); argument 1:
// worker threads.
void BM_stats(benchmark::State &state)
{
    tbb::task_arena arena(int(state.range(1)));
    for (auto _ : state)
        arena.execute([&] { benchmark::DoNotOptimize(ds_time_stats(rows(), nullptr, 0, uint64_t(state.range(0)))); });
}
BENCHMARK(BM_stats)->Args({1, 1})->Args({1, 8})->Args({255, 1})->Args({255, 8})->Unit(benchmark::kMillisecond);

// Counts per hour, day and month; argument 1: worker threads.
void BM_period_counts(benchmark::State &state)
{
    const ds_time_stats_s stats = ds_time_stats(rows(), nullptr, 0, 1);
    const int64_t unit = state.range(0);
    std::vector<double> counts(size_t(ds_time_bucket_count(stats, unit)));
    tbb::task_arena arena(int(state.range(1)));
    for (auto _ : state)
        arena.execute([&] {
            ds_time_period_counts(rows(), nullptr, 0, stats, unit, nullptr, 1, counts.data(), nullptr);
            benchmark::DoNotOptimize(counts.data());
        });
}
BENCHMARK(BM_period_counts)->Args({5, 1})->Args({9, 1})->Args({11, 1})->Args({9, 8})->Unit(benchmark::kMillisecond);

} // namespace
