// Computed columns over 1,000,000 rows of two stored columns: a quotient and
// a base-10 logarithm of the whole column (numpy_peers.py times a / b and
// np.log10 on the same rows), a decile column of the whole column from
// fresh cut-offs (time_r.R times findInterval over R's type-1 deciles), and
// a 100-row range of it with the cut-offs kept, and purged before each run.
//
// Prints the load average: the machine is shared.
#include "../columns/ColumnsBenchFixture.h"
#include "../ds_bench_main.h"

#include "derived/DSComputeDivisionColumn.h"
#include "derived/DSComputeLogarithmColumn.h"
#include "derived/DSComputeQuantileColumn.h"
#include "model/DSNumericDataColumn.h"

#include <algorithm>

namespace {

constexpr int64_t k_rows = 1'000'000;

// (i x a) mod m; the peers compute the same.
double hashed(int64_t i, int64_t a, int64_t m)
{
    return double((uint64_t(i) * uint64_t(a)) % uint64_t(m));
}

struct Fixture
{
    ColumnsBenchFixture f{k_rows};
    DSNumericDataColumn *a = nullptr, *b = nullptr;
    DSComputeDivisionColumn *quotient = nullptr;
    DSComputeLogarithmColumn *logarithm = nullptr;
    DSComputeQuantileColumn *deciles = nullptr;

    Fixture()
    {
        a = f.insertColumn<DSNumericDataColumn>("DSNumericDataColumn");
        b = f.insertColumn<DSNumericDataColumn>("DSNumericDataColumn");
        for (int64_t i = 0; i < k_rows; ++i) {
            a->appendValue(1 + hashed(i, 2654435761, 1000003) / 10000);
            b->appendValue(0.5 + hashed(i, 40503, 65537) / 65537);
        }
        a->saveAfterImport();
        b->saveAfterImport();
        quotient = f.insertColumn<DSComputeDivisionColumn>("DSComputeDivisionColumn");
        quotient->setDividend(a);
        quotient->setDivisor(b);
        logarithm = f.insertColumn<DSComputeLogarithmColumn>("DSComputeLogarithmColumn");
        logarithm->setInput(a);
        logarithm->setBase(10);
        deciles = f.insertColumn<DSComputeQuantileColumn>("DSComputeQuantileColumn");
        deciles->setInput(a);
        deciles->setQuantile_count(10);
    }
};

Fixture &fixture()
{
    static Fixture f;
    return f;
}

void wholeColumn(benchmark::State &state, DSNumericColumn *column, bool purge)
{
    const double *values = nullptr;
    for (auto _ : state) {
        if (purge) {
            state.PauseTiming();
            column->recursivePurge();
            state.ResumeTiming();
        }
        benchmark::DoNotOptimize(column->getValues(&values));
    }
    state.SetItemsProcessed(state.iterations() * k_rows);
}

void BM_Quotient(benchmark::State &state)
{
    wholeColumn(state, fixture().quotient, false);
}

void BM_Log10(benchmark::State &state)
{
    wholeColumn(state, fixture().logarithm, false);
}

void BM_DecilesWhole(benchmark::State &state)
{
    wholeColumn(state, fixture().deciles, true);
}

void decileRange(benchmark::State &state, bool purge)
{
    DSComputeQuantileColumn *column = fixture().deciles;
    const double *values = nullptr;
    column->getValues(&values, 0, 1);
    for (auto _ : state) {
        if (purge) {
            state.PauseTiming();
            column->recursivePurge();
            state.ResumeTiming();
        }
        benchmark::DoNotOptimize(column->getValues(&values, 500'000, 100));
    }
}

void BM_DecilesRangeKept(benchmark::State &state)
{
    decileRange(state, false);
}

void BM_DecilesRangePurged(benchmark::State &state)
{
    decileRange(state, true);
}

double minimum(const std::vector<double> &v)
{
    return *std::min_element(v.begin(), v.end());
}

#define DS_TIMED(bench, unit) \
    BENCHMARK(bench)->Unit(unit)->Repetitions(9)->ComputeStatistics("min", minimum)->ReportAggregatesOnly()

DS_TIMED(BM_Quotient, benchmark::kMillisecond);
DS_TIMED(BM_Log10, benchmark::kMillisecond);
DS_TIMED(BM_DecilesWhole, benchmark::kMillisecond);
DS_TIMED(BM_DecilesRangeKept, benchmark::kMicrosecond);
DS_TIMED(BM_DecilesRangePurged, benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    return ds_bench_main(argc, argv);
}
