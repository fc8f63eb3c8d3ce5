#include "bench_data.h"
#include "model/util/ds_quantiles.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int64_t n = 10000000;

// Quartiles reorder their input, so each run works on a fresh copy (untimed).
void quartiles(benchmark::State &state, bool weighted)
{
    static const std::vector<double> data = bench_values(n);
    static const std::vector<int32_t> data_weights = bench_weights(n);
    std::vector<double> values;
    std::vector<int32_t> weights;
    double cut[5];
    for (auto _ : state) {
        state.PauseTiming();
        values = data;
        if (weighted)
            weights = data_weights;
        state.ResumeTiming();
        ds_quantiles(values.data(), weighted ? weights.data() : nullptr, n, cut, 4, false);
        benchmark::DoNotOptimize(cut);
    }
    state.counters["q1"] = cut[1];
    state.counters["q2"] = cut[2];
    state.counters["q3"] = cut[3];
}

void BM_ds_quantiles_quartiles(benchmark::State &state)
{
    quartiles(state, false);
}

void BM_ds_quantiles_weighted_quartiles(benchmark::State &state)
{
    quartiles(state, true);
}

}  // namespace

BENCHMARK(BM_ds_quantiles_quartiles)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ds_quantiles_weighted_quartiles)->Unit(benchmark::kMillisecond)->UseRealTime();
