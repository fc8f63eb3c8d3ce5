// A pivot of 1,000,000 records by five inputs treated as categories (5, 4,
// 10, 8 and 6 levels: up to 9,600 rows) with the mean, sum, count, standard
// deviation and median of one value column, timed in its three stages:
// labels and codes (recomputePivot), rows (the distinct codes) and the five
// aggregations, and whole. pivot_peers.R and pivot_peers.py time
// data.table and pandas grouping the same records (the same formulas).
//
// Prints the load average: the machine is shared.
#include "app/ds_register_model_classes.h"
#include "model/DSDataTable.h"
#include "model/DSNumericDataColumn.h"
#include "model/ds_application_defaults.h"
#include "pivot/DSColumnAggregation.h"
#include "pivot/DSPivot.h"
#include "pivot/DSPivotInput.h"
#include "platform/store/DSManagedObjectContext.h"
#include "platform/store/DSManagedObjectModel.h"

#include <benchmark/benchmark.h>

#include <QFile>

#include <algorithm>

namespace {

constexpr int64_t k_rows = 1'000'000;
constexpr int64_t k_levels[] = {5, 4, 10, 8, 6};
constexpr int64_t k_multipliers[] = {2654435761, 2246822519, 3266489917, 668265263, 374761393};

// k levels from the high bits of (i x a) mod 2^32; the peers compute the same.
int64_t levels(int64_t i, int64_t a, int64_t k)
{
    return int64_t(((uint64_t(i) * uint64_t(a)) % 4294967296ull * uint64_t(k)) >> 32);
}

struct Fixture
{
    std::unique_ptr<DSManagedObjectContext> context;
    DSDataTable *table = nullptr;
    DSPivot *pivot = nullptr;
    std::vector<DSColumnAggregation *> aggregations;

    Fixture()
    {
        ds_register_application_defaults();
        ds_register_model_classes();
        context = std::make_unique<DSManagedObjectContext>(DSManagedObjectModel::modelNamed(QStringLiteral("DSDataModel006")));
        context->setUndoManager(nullptr);
        table = context->insertNewObject<DSDataTable>(QStringLiteral("DSDataTable"));
        table->makeDependencies();
        table->setNum_records(k_rows);
        QList<DSColumn *> inputs;
        for (size_t k = 0; k < std::size(k_levels); ++k) {
            auto *column = context->insertNewObject<DSNumericDataColumn>(QStringLiteral("DSNumericDataColumn"));
            table->insertNewColumns({column}, qint64(k));
            for (int64_t i = 0; i < k_rows; ++i)
                column->appendValue(double(levels(i, k_multipliers[k], k_levels[k])));
            column->saveAfterImport();
            column->setTreat_as_categories(true);
            inputs << column;
        }
        auto *x = context->insertNewObject<DSNumericDataColumn>(QStringLiteral("DSNumericDataColumn"));
        table->insertNewColumns({x}, qint64(std::size(k_levels)));
        for (int64_t i = 0; i < k_rows; ++i)
            x->appendValue(double((uint64_t(i) * 7919u) % 1000u) / 10);
        x->saveAfterImport();

        // The table's own count of rows, then mean, sum, stdev and median.
        aggregations.push_back(ds_object_cast<DSColumnAggregation>(table->aggregationAtIndex(0)));
        for (int64_t tag : {0, 1, 31, 150}) {
            auto *aggregation = context->insertNewObject<DSColumnAggregation>(QStringLiteral("DSColumnAggregation"));
            aggregation->setColumn(x);
            aggregation->setTag(tag);
            aggregation->setIs_enabled(true);
            aggregation->setValue(QVariant::fromValue<DSManagedObject *>(table), QStringLiteral("table"));
            table->insertAggregation(aggregation, table->sortedAggregations().size() - 1);
            aggregations.push_back(aggregation);
        }
        pivot = ds_object_cast<DSPivot>(table->pivotAtIndex(0));
        table->setPrimitiveValue(qlonglong(inputs.size()), QStringLiteral("pivot_input_count"));
        for (qsizetype k = 0; k < inputs.size(); ++k)
            pivot->addInput(k, inputs[k]);
        context->processPendingChanges();
        pivot->recomputePivot();
        pivot->recomputeValuesWithMask(nullptr, 0);
    }
};

Fixture &fixture()
{
    static Fixture f;
    return f;
}

void addLoad(benchmark::State &state)
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (file.open(QIODevice::ReadOnly))
        state.counters["load1"] = file.readAll().split(' ').value(0).toDouble();
    state.counters["rows"] = double(fixture().pivot->numberOfRows());
}

void BM_PivotLabels(benchmark::State &state)
{
    Fixture &f = fixture();
    for (auto _ : state)
        f.pivot->recomputePivot();
    addLoad(state);
}

void BM_PivotRows(benchmark::State &state)
{
    Fixture &f = fixture();
    for (auto _ : state)
        f.pivot->recomputeNonEmptyRowsWithMask(nullptr, 0);
    addLoad(state);
}

void BM_PivotAggregations(benchmark::State &state)
{
    Fixture &f = fixture();
    const std::vector<int32_t> &groups = f.pivot->record2valueIndex();
    for (auto _ : state)
        for (DSColumnAggregation *aggregation : f.aggregations)
            aggregation->recomputeValuesByIndex(groups.data(), k_rows, f.pivot->numberOfRows(), nullptr, nullptr, 0);
    addLoad(state);
}

void BM_PivotWhole(benchmark::State &state)
{
    Fixture &f = fixture();
    for (auto _ : state) {
        f.pivot->recomputePivot();
        f.pivot->recomputeValuesWithMask(nullptr, 0);
    }
    addLoad(state);
}

double smallest(const std::vector<double> &v)
{
    return *std::min_element(v.begin(), v.end());
}

// Min and median of 9 runs, as the peers report them.
#define PIVOT_BENCHMARK(name)                                                                                        \
    BENCHMARK(name)->Unit(benchmark::kMillisecond)->Repetitions(9)->ComputeStatistics("min", smallest)->ReportAggregatesOnly(true)
PIVOT_BENCHMARK(BM_PivotLabels);
PIVOT_BENCHMARK(BM_PivotRows);
PIVOT_BENCHMARK(BM_PivotAggregations);
PIVOT_BENCHMARK(BM_PivotWhole);

} // namespace

BENCHMARK_MAIN();
