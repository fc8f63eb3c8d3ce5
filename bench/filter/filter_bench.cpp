// The row mask of 1,000,000 records under three date components (years,
// months, days of month), a category selection and a numeric bin, the
// filters of one set applied in slot order. Warm: the columns' indexes and
// calendar caches kept from the last run; cold: purged before each run, so
// the calendar dates, the category index and the column's range are
// computed again. filter_peers.py times numpy (warm, on precomputed
// components) and pandas (cold, with .dt extraction) on the same rows.
//
// Prints the load average: the machine is shared.
#include "../ds_bench_main.h"
#include "app/ds_register_model_classes.h"
#include "filter/DSTableFilter.h"
#include "filter/DSTableFilterSet.h"
#include "model/DSDataTable.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSNumericPartition.h"
#include "model/DSTimeDataColumn.h"
#include "model/ds_application_defaults.h"
#include "model/ds_row_mask.h"
#include "platform/store/DSManagedObjectContext.h"
#include "platform/store/DSManagedObjectModel.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <bit>
#include <cmath>

namespace {

constexpr int64_t k_rows = 1'000'000;

// (i x a) mod m; filter_peers.py computes the same.
int64_t hashed(int64_t i, int64_t a, int64_t m)
{
    return int64_t((uint64_t(i) * uint64_t(a)) % uint64_t(m));
}

struct Fixture
{
    std::unique_ptr<DSManagedObjectContext> context;
    DSTimeDataColumn *dates = nullptr;
    DSNumericDataColumn *category = nullptr, *x = nullptr;
    std::vector<DSTableFilter *> filters;

    Fixture()
    {
        ds_register_application_defaults();
        ds_register_model_classes();
        context = std::make_unique<DSManagedObjectContext>(DSManagedObjectModel::modelNamed(QStringLiteral("DSDataModel006")));
        context->setUndoManager(nullptr);
        auto *table = context->insertNewObject<DSDataTable>(QStringLiteral("DSDataTable"));
        table->makeDependencies();
        dates = context->insertNewObject<DSTimeDataColumn>(QStringLiteral("DSTimeDataColumn"));
        category = context->insertNewObject<DSNumericDataColumn>(QStringLiteral("DSNumericDataColumn"));
        x = context->insertNewObject<DSNumericDataColumn>(QStringLiteral("DSNumericDataColumn"));
        table->insertNewColumns({dates, category, x}, 0);
        table->setNum_records(k_rows);
        for (int64_t i = 0; i < k_rows; ++i) {
            dates->appendTimeValue(i % 97 == 0 ? NAN : -3e8 + double(hashed(i, 2654435761, 4294967296)) * 0.25, 60);
            category->appendValue(double(hashed(i, 40503, 7)));
            x->appendValue(i % 101 == 0 ? NAN : double(hashed(i, 7919, 1000)) / 10);
        }
        dates->saveAfterImport();
        category->saveAfterImport();
        x->saveAfterImport();
        category->setTreat_as_categories(true);
        auto *bins = ds_object_cast<DSNumericPartition>(x->filter_partition());
        bins->setPartition_type(2);
        bins->setCustom_interval_cutoffs({20, 40, 60, 80});

        auto *set = ds_object_cast<DSTableFilterSet>(table->filterSetAtIndex(0));
        DSTableFilter *date = set->replaceTableFilterAtIndex(0, dates);
        date->setIndexSet(DSIndexSet{2005, 2006, 2010}, QStringLiteral("yearIndexSet"));
        date->setIndexSet(DSIndexSet{3, 4, 5, 12}, QStringLiteral("monthIndexSet"));
        date->setIndexSet(DSIndexSet{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 20}, QStringLiteral("dayOfMonthIndexSet"));
        DSTableFilter *categories = set->replaceTableFilterAtIndex(1, category);
        categories->setIndexSet(DSIndexSet{1, 3, 4}, QStringLiteral("categoryIndexSet"));
        DSTableFilter *top = set->replaceTableFilterAtIndex(2, x);
        top->setIndexSet(DSIndexSet{0, 1}, QStringLiteral("categoryIndexSet"));
        filters = {date, categories, top};
    }

    int64_t mask(std::vector<uint8_t> &buffer) const
    {
        std::fill(buffer.begin(), buffer.end(), uint8_t(0xFF));
        for (const DSTableFilter *filter : filters)
            filter->clearUnmatchingBitsFromMask(buffer.data(), int64_t(buffer.size()), false,
                                                ds_filter_exclude_everything);
        return int64_t(buffer.size());
    }
};

Fixture &fixture()
{
    static Fixture f;
    return f;
}

void BM_MaskWarm(benchmark::State &state)
{
    Fixture &f = fixture();
    std::vector<uint8_t> buffer(size_t(ds_mask_bytes(k_rows)));
    f.mask(buffer);
    for (auto _ : state)
        benchmark::DoNotOptimize(f.mask(buffer));
    state.SetItemsProcessed(state.iterations() * k_rows);
    // The records kept, as filter_peers.py prints them.
    int64_t kept = 0;
    for (uint8_t byte : buffer)
        kept += std::popcount(byte);
    state.counters["kept"] = double(kept);
}

void BM_MaskCold(benchmark::State &state)
{
    Fixture &f = fixture();
    std::vector<uint8_t> buffer(size_t(ds_mask_bytes(k_rows)));
    for (auto _ : state) {
        state.PauseTiming();
        for (DSColumn *column : {static_cast<DSColumn *>(f.dates), static_cast<DSColumn *>(f.category),
                                 static_cast<DSColumn *>(f.x)})
            column->recursivePurge();
        state.ResumeTiming();
        benchmark::DoNotOptimize(f.mask(buffer));
    }
    state.SetItemsProcessed(state.iterations() * k_rows);
}

double minimum(const std::vector<double> &v)
{
    return *std::min_element(v.begin(), v.end());
}

BENCHMARK(BM_MaskWarm)->Unit(benchmark::kMillisecond)->Repetitions(9)->ComputeStatistics("min", minimum)->ReportAggregatesOnly();
BENCHMARK(BM_MaskCold)->Unit(benchmark::kMillisecond)->Repetitions(9)->ComputeStatistics("min", minimum)->ReportAggregatesOnly();

} // namespace

int main(int argc, char **argv)
{
    return ds_bench_main(argc, argv);
}
