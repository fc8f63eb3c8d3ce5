#include "bench_data.h"
#include "model/util/ds_sort.h"

#include <benchmark/benchmark.h>
#include <tbb/parallel_sort.h>
#include <tbb/task_arena.h>

#include <algorithm>
#include <numeric>

namespace {

constexpr int64_t n = 10000000;

const std::vector<double> &data()
{
    static const std::vector<double> values = bench_values(n);
    return values;
}

// Each run sorts a fresh copy; the copy is not timed. The argument is the
// number of worker threads both parallel sorts may use.
template <class Sort>
void run(benchmark::State &state, Sort sort)
{
    tbb::task_arena arena(int(state.range(0)));
    std::vector<double> values;
    for (auto _ : state) {
        state.PauseTiming();
        values = data();
        state.ResumeTiming();
        arena.execute([&] { sort(values); });
        benchmark::DoNotOptimize(values.data());
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_ds_sort(benchmark::State &state)
{
    run(state, [](std::vector<double> &v) { ds_sort(v.data(), nullptr, n); });
}

void BM_ds_sort_with_companions(benchmark::State &state)
{
    std::vector<int32_t> rows(n);
    run(state, [&](std::vector<double> &v) {
        std::iota(rows.begin(), rows.end(), 0);
        ds_sort(v.data(), rows.data(), n);
    });
}

void BM_tbb_parallel_sort(benchmark::State &state)
{
    run(state, [](std::vector<double> &v) { tbb::parallel_sort(v.begin(), v.end()); });
}

void BM_std_sort(benchmark::State &state)
{
    run(state, [](std::vector<double> &v) { std::sort(v.begin(), v.end()); });
}

}  // namespace

BENCHMARK(BM_ds_sort)->Arg(1)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ds_sort_with_companions)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_tbb_parallel_sort)->Arg(1)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_std_sort)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
