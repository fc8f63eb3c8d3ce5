// Time columns derived from 1,000,000 rows: the ISO week, the ISO
// week-numbering year and the day of the year of a stored time column
// (pandas_time_peers.py times dt.isocalendar() and dt.dayofyear on the same
// times), and dates composed from stored year, month and day columns
// (against pd.to_datetime of the three columns).
//
// Prints the load average: the machine is shared.
#include "../columns/ColumnsBenchFixture.h"
#include "../ds_bench_main.h"

#include "derived/DSComputeDayOfYearColumn.h"
#include "derived/DSComputeISOWeekNumberingYearColumn.h"
#include "derived/DSComputeWeekOfYearColumn.h"
#include "derived/DSTimeCompositionColumn.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTimeDataColumn.h"

#include <algorithm>

namespace {

constexpr int64_t k_rows = 1'000'000;

// (i x a) mod m; the peers compute the same.
int64_t hashed(int64_t i, int64_t a, int64_t m)
{
    return int64_t((uint64_t(i) * uint64_t(a)) % uint64_t(m));
}

struct Fixture
{
    ColumnsBenchFixture f{k_rows};
    DSComputeWeekOfYearColumn *week = nullptr;
    DSComputeISOWeekNumberingYearColumn *isoYear = nullptr;
    DSComputeDayOfYearColumn *dayOfYear = nullptr;
    DSTimeCompositionColumn *composed = nullptr;

    Fixture()
    {
        // seconds since 2001 spread over 1900-2100
        auto *t = f.insertColumn<DSTimeDataColumn>("DSTimeDataColumn");
        for (int64_t i = 0; i < k_rows; ++i)
            t->appendTimeValue(double(hashed(i, 2654435761, 6311390400) - 3187296000), 1);
        t->saveAfterImport();
        week = f.insertColumn<DSComputeWeekOfYearColumn>("DSComputeWeekOfYearColumn");
        week->setInput(t);
        isoYear = f.insertColumn<DSComputeISOWeekNumberingYearColumn>("DSComputeISOWeekNumberingYearColumn");
        isoYear->setInput(t);
        dayOfYear = f.insertColumn<DSComputeDayOfYearColumn>("DSComputeDayOfYearColumn");
        dayOfYear->setInput(t);

        auto *y = f.insertColumn<DSNumericDataColumn>("DSNumericDataColumn");
        auto *m = f.insertColumn<DSNumericDataColumn>("DSNumericDataColumn");
        auto *d = f.insertColumn<DSNumericDataColumn>("DSNumericDataColumn");
        for (int64_t i = 0; i < k_rows; ++i) {
            y->appendValue(double(1900 + hashed(i, 40503, 201)));
            m->appendValue(double(1 + hashed(i, 2654435761, 12)));
            d->appendValue(double(1 + hashed(i, 69069, 28)));
        }
        y->saveAfterImport();
        m->saveAfterImport();
        d->saveAfterImport();
        composed = f.insertColumn<DSTimeCompositionColumn>("DSTimeCompositionColumn");
        composed->setYear_input_type(DSTimeCompositionColumn::FourDigitYear);
        composed->setSubyear_input_type(DSTimeCompositionColumn::MonthAndDay);
        composed->setPartAt(DSTimeCompositionColumn::FourDigitYearSlot, y);
        composed->setPartAt(DSTimeCompositionColumn::MonthSlot, m);
        composed->setPartAt(DSTimeCompositionColumn::DayOfMonthSlot, d);
    }
};

Fixture &fixture()
{
    static Fixture f;
    return f;
}

void BM_IsoWeekYearAndDayOfYear(benchmark::State &state)
{
    Fixture &f = fixture();
    const double *values = nullptr;
    for (auto _ : state) {
        benchmark::DoNotOptimize(f.week->getValues(&values));
        benchmark::DoNotOptimize(f.isoYear->getValues(&values));
        benchmark::DoNotOptimize(f.dayOfYear->getValues(&values));
    }
    state.SetItemsProcessed(state.iterations() * k_rows);
}

void BM_ComposeYearMonthDay(benchmark::State &state)
{
    const double *values = nullptr, *intervals = nullptr;
    for (auto _ : state)
        benchmark::DoNotOptimize(fixture().composed->getTimeValues(&values, &intervals));
    state.SetItemsProcessed(state.iterations() * k_rows);
}

double minimum(const std::vector<double> &v)
{
    return *std::min_element(v.begin(), v.end());
}

#define DS_TIMED(bench, unit) \
    BENCHMARK(bench)->Unit(unit)->Repetitions(9)->ComputeStatistics("min", minimum)->ReportAggregatesOnly()

DS_TIMED(BM_IsoWeekYearAndDayOfYear, benchmark::kMillisecond);
DS_TIMED(BM_ComposeYearMonthDay, benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    return ds_bench_main(argc, argv);
}
