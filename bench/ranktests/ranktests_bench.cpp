// Kruskal-Wallis of 10,000,000 rows in 10 groups, the data of
// scipy_peers.py: floor of bench_values (ties on purpose), row i in group
// i mod 10, with and without the shared frequency weights; as an array
// routine, and as the column operation a refresh asks of a table's stored
// columns (its sorted values kept from the first call, as they are between
// refreshes), beside the one-way analysis of variance of the same groups.
#include "app/ds_register_model_classes.h"
#include "bench_data.h"
#include "model/DSDataTable.h"
#include "model/DSNumericDataColumn.h"
#include "model/ds_application_defaults.h"
#include "model/util/ds_rank_tests.h"
#include "platform/store/DSManagedObjectContext.h"
#include "platform/store/DSManagedObjectModel.h"

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

// A table of the data: the values, the group of each row as a category
// column and (with weights) the weights column.
struct Table
{
    std::unique_ptr<DSManagedObjectContext> context;
    DSDataTable *table = nullptr;
    DSNumericDataColumn *values = nullptr;
    DSNumericDataColumn *groups = nullptr;

    DSNumericDataColumn *column(const QString &name, const auto &numbers)
    {
        auto *c = context->insertNewObject<DSNumericDataColumn>(QStringLiteral("DSNumericDataColumn"));
        c->setName(name);
        table->insertNewColumns({c}, table->columns().size());
        for (auto x : numbers)
            c->appendValue(double(x));
        c->saveAfterImport();
        return c;
    }

    explicit Table(bool weighted)
    {
        static const bool registered = [] {
            ds_register_application_defaults();
            ds_register_model_classes();
            return true;
        }();
        (void)registered;
        context = std::make_unique<DSManagedObjectContext>(
            DSManagedObjectModel::modelNamed(QStringLiteral("DSDataModel006")));
        context->setUndoManager(nullptr);
        table = context->insertNewObject<DSDataTable>(QStringLiteral("DSDataTable"));
        table->setNum_records(rows);
        const Data &d = data();
        values = column(QStringLiteral("x"), d.values);
        groups = column(QStringLiteral("g"), d.groups);
        groups->setTreat_as_categories(true);
        if (weighted) {
            table->setFrequency_weights_column(column(QStringLiteral("w"), d.weights));
            table->setApply_frequency_weights(true);
        }
    }
};

void BM_column_kruskal_wallis(benchmark::State &state)
{
    Table t(state.range(0));
    double h = t.values->calculateKruskalWallis(t.groups, {}, nullptr, nullptr, 0);
    for (auto _ : state)
        benchmark::DoNotOptimize(h = t.values->calculateKruskalWallis(t.groups, {}, nullptr, nullptr, 0));
    state.counters["H"] = h;
}

void BM_column_anova(benchmark::State &state)
{
    Table t(state.range(0));
    double f = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(f = t.values->calculateANOVA(t.groups, {}, nullptr, nullptr, nullptr, 0));
    state.counters["F"] = f;
}

}  // namespace

BENCHMARK(BM_column_kruskal_wallis)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_column_anova)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_kruskal_wallis)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
