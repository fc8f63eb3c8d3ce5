// Kruskal-Wallis of 10,000,000 rows in 10 groups, the data of
// scipy_peers.py: floor of bench_values (ties on purpose), row i in group
// i mod 10, with and without the shared frequency weights.
#include "bench_data.h"
#include "model/util/ds_rank_tests.h"

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

constexpr int64_t rows = 10'000'000;

struct Data
{
    std::vector<double> values = bench_values(rows);
    std::vector<int32_t> groups = std::vector<int32_t>(rows);
    std::vector<int32_t> weights = bench_weights(rows);
    Data()
    {
        for (int64_t i = 0; i < rows; ++i) {
            values[size_t(i)] = std::floor(values[size_t(i)]);
            groups[size_t(i)] = int32_t(i % 10);
        }
    }
};

const Data &data()
{
    static const Data d;
    return d;
}

void BM_kruskal_wallis(benchmark::State &state)
{
    const Data &d = data();
    const int32_t *weights = state.range(0) ? d.weights.data() : nullptr;
    double h = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(h = ds_kruskal_wallis(d.values.data(), d.groups.data(), weights, rows, 10, nullptr));
    state.counters["H"] = h;
}

}  // namespace

BENCHMARK(BM_kruskal_wallis)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
