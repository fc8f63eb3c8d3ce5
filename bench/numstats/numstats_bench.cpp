// The numeric index and the descriptive statistics of 10^7 rows; numpy_peers.py
// times numpy on the same data (bench_data.h and the derived sets below).

#include "bench_data.h"
#include "model/ds_numeric_index.h"
#include "model/util/ds_stats.h"

#include <benchmark/benchmark.h>
#include <tbb/task_arena.h>

#include <cmath>

namespace {

constexpr int64_t n = 10000000;

// The block an index is written into, kept from run to run as a column
// keeps its own.
struct index_block {
    std::vector<double> entries;
    double *operator()(int64_t k)
    {
        entries.resize(size_t(k));
        return entries.data();
    }
};

const std::vector<double> &values()
{
    static const std::vector<double> data = bench_values(n);
    return data;
}

// The sets the index is timed on, each a function of the values.
enum index_set { distinct, whole_1000, decimals_2000, whole_1e6 };

const std::vector<double> &index_values(index_set set)
{
    static std::vector<double> sets[4];
    std::vector<double> &out = sets[set];
    if (out.empty()) {
        out = values();
        for (double &x : out)
            x = set == whole_1000      ? std::floor(x / 1000)   // 1,000 whole numbers: presence table
                : set == decimals_2000 ? std::floor(x / 500) / 4  // 2,000 decimals: hash sets
                : set == whole_1e6     ? std::floor(x)          // 10^6 whole numbers, wide span: sorting
                                       : x;                     // 10^7 distinct: sorting
    }
    return out;
}

// Rows taken by the mask: draw(i + 2^41) mod 10 < 7.
const std::vector<uint8_t> &mask()
{
    static const std::vector<uint8_t> bits = [] {
        std::vector<uint8_t> out(size_t((n + 7) / 8), 0);
        for (int64_t i = 0; i < n; ++i)
            if (bench_splitmix64(uint64_t(i) + (uint64_t(1) << 41)) % 10 < 7)
                out[size_t(i / 8)] |= uint8_t(1u << (i % 8));
        return out;
    }();
    return bits;
}

// The argument is the number of worker threads (a tbb::task_arena of that
// size); numpy works on one.
void index_and_positions(benchmark::State &state, index_set set)
{
    const std::vector<double> &v = index_values(set);
    std::vector<int32_t> positions(v.size());
    index_block index;
    int64_t length = 0;
    tbb::task_arena(int(state.range(0))).execute([&] {
        for (auto _ : state) {
            length = ds_numeric_index_build(v.data(), n, index, positions.data());
            benchmark::DoNotOptimize(positions.data());
        }
    });
    state.counters["entries"] = double(length);
}

void BM_index_positions_distinct(benchmark::State &s) { index_and_positions(s, distinct); }
void BM_index_positions_whole_1e6(benchmark::State &s) { index_and_positions(s, whole_1e6); }
void BM_index_positions_decimals_2000(benchmark::State &s) { index_and_positions(s, decimals_2000); }
void BM_index_positions_whole_1000(benchmark::State &s) { index_and_positions(s, whole_1000); }

// The index alone, then positions over a kept index (how a stored column
// answers a second request).
void BM_index_only_distinct(benchmark::State &state)
{
    const std::vector<double> &v = index_values(distinct);
    index_block index;
    for (auto _ : state)
        benchmark::DoNotOptimize(ds_numeric_index_build(v.data(), n, index, nullptr));
}

void positions_of_kept_index(benchmark::State &state, index_set set)
{
    const std::vector<double> &v = index_values(set);
    index_block index;
    const int64_t length = ds_numeric_index_build(v.data(), n, index, nullptr);
    std::vector<int32_t> positions(v.size());
    for (auto _ : state) {
        ds_numeric_index_positions(index.entries.data(), length, v.data(), n, positions.data());
        benchmark::DoNotOptimize(positions.data());
    }
}

void BM_positions_kept_distinct(benchmark::State &s) { positions_of_kept_index(s, distinct); }
void BM_positions_kept_decimals_2000(benchmark::State &s) { positions_of_kept_index(s, decimals_2000); }

void BM_weighted_counts_decimals_2000(benchmark::State &state)
{
    const std::vector<double> &v = index_values(decimals_2000);
    static const std::vector<int32_t> weights = bench_weights(n);
    index_block index;
    std::vector<int32_t> positions(v.size());
    const int64_t length = ds_numeric_index_build(v.data(), n, index, positions.data());
    std::vector<ds_num_counts_s> counts(static_cast<size_t>(length));
    const ds_numeric_rows_s rows = {v.data(), n, nullptr, 0, weights.data(), n};
    for (auto _ : state) {
        ds_numeric_index_counts(index.entries.data(), length, positions.data(), &rows, mask().data(),
                                int64_t(mask().size()), counts.data());
        benchmark::DoNotOptimize(counts.data());
    }
}

const uint64_t all_options = ds_stats_extremes | ds_stats_moments | ds_stats_quartiles;

void stats(benchmark::State &state, bool weighted_and_masked, uint64_t options)
{
    static const std::vector<int32_t> weights = bench_weights(n);
    const ds_numeric_rows_s rows = {values().data(), n, nullptr, 0,
                                    weighted_and_masked ? weights.data() : nullptr, weighted_and_masked ? n : 0};
    const uint8_t *m = weighted_and_masked ? mask().data() : nullptr;
    ds_stats_s s{};
    tbb::task_arena(int(state.range(0))).execute([&] {
        for (auto _ : state) {
            s = ds_calculate_stats(&rows, m, weighted_and_masked ? int64_t(mask().size()) : 0, options);
            benchmark::DoNotOptimize(s);
        }
    });
    state.counters["avg"] = s.avg;
    state.counters["var"] = s.var_unbiased;
    state.counters["q1"] = s.q1;
    state.counters["med"] = s.med;
    state.counters["q3"] = s.q3;
    state.counters["mad"] = s.mad;
}

void BM_stats_all_options(benchmark::State &s) { stats(s, false, all_options); }
void BM_stats_all_options_weighted_masked(benchmark::State &s) { stats(s, true, all_options); }
void BM_stats_moments_only(benchmark::State &s) { stats(s, false, ds_stats_extremes | ds_stats_moments); }
void BM_stats_quartiles_without_mad(benchmark::State &s) { stats(s, false, 0x10 | ds_stats_moments | ds_stats_extremes); }

}  // namespace

BENCHMARK(BM_index_positions_distinct)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_index_positions_whole_1e6)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_index_positions_decimals_2000)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_index_positions_whole_1000)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_index_only_distinct)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_positions_kept_distinct)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_positions_kept_decimals_2000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_weighted_counts_decimals_2000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_stats_all_options)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_stats_all_options_weighted_masked)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_stats_moments_only)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_stats_quartiles_without_mad)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();
