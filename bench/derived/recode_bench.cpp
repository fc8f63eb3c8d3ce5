// Indicator and tuple columns over 1,000,000 rows of stored columns: an
// indicator of three conditions (a >= 500 AND b < 0.8 AND c != 3) against
// numpy's (a >= 500) & (b < 0.8) & (c != 3) (indicator_numpy.py), and the
// categories of a tuple of three inputs (a text of 26 letters, whole
// numbers 1 to 20 and 0 to 9) against R's interaction(x, y, z, lex.order =
// TRUE) (tuple_r.R): each row's category, with the inputs' indexes kept,
// and with the inputs purged before each run, as R builds its factors
// afresh.
//
// Prints the load average: the machine is shared.
#include "../columns/ColumnsBenchFixture.h"
#include "../ds_bench_main.h"

#include "derived/DSIndicatorLocalColumn.h"
#include "derived/DSTextTupleColumn.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTextDataColumn.h"
#include "platform/predicate/DSComparisonPredicate.h"
#include "platform/predicate/DSCompoundPredicate.h"

#include <algorithm>
#include <string>

namespace {

constexpr int64_t k_rows = 1'000'000;

// (i x a) mod m; the peers compute the same.
int64_t hashed(int64_t i, int64_t a, int64_t m)
{
    return int64_t((uint64_t(i) * uint64_t(a)) % uint64_t(m));
}

DSPredicatePtr comparison(const char *column, DSPredicateOperatorType type, double value)
{
    return DSComparisonPredicate::make(
        DSExpression::forConstantValue(DSPredicateValue::fromString(QString::fromLatin1(column))), type,
        DSExpression::forConstantValue(DSPredicateValue::fromNumber(value)));
}

struct Fixture
{
    ColumnsBenchFixture f{k_rows};
    DSNumericDataColumn *a = nullptr, *b = nullptr, *c = nullptr, *y = nullptr, *z = nullptr;
    DSTextDataColumn *x = nullptr;
    DSIndicatorLocalColumn *indicator = nullptr;
    DSTextTupleColumn *tuple = nullptr;

    DSNumericDataColumn *numbers(const char *name, double (*value)(int64_t))
    {
        auto *column = f.insertColumn<DSNumericDataColumn>("DSNumericDataColumn");
        column->setName(QString::fromLatin1(name));
        for (int64_t i = 0; i < k_rows; ++i)
            column->appendValue(value(i));
        column->saveAfterImport();
        return column;
    }

    Fixture()
    {
        a = numbers("a", [](int64_t i) { return double(hashed(i, 2654435761, 1000)); });
        b = numbers("b", [](int64_t i) { return double(hashed(i, 40503, 65537)) / 65537; });
        c = numbers("c", [](int64_t i) { return double(hashed(i, 97, 7)); });
        y = numbers("y", [](int64_t i) { return double(1 + hashed(i, 31, 20)); });
        z = numbers("z", [](int64_t i) { return double(hashed(i, 7919, 10)); });
        x = f.insertColumn<DSTextDataColumn>("DSTextDataColumn");
        x->setName(QStringLiteral("x"));
        for (int64_t i = 0; i < k_rows; ++i)
            x->appendTextValue(std::string(1, char('A' + hashed(i, 2654435761, 26))).c_str());
        x->saveAfterImport();

        indicator = f.insertColumn<DSIndicatorLocalColumn>("DSIndicatorLocalColumn");
        indicator->setPredicate(DSCompoundPredicate::andPredicate(
            {comparison("a", DSPredicateOperatorType::GreaterThanOrEqualTo, 500),
             comparison("b", DSPredicateOperatorType::LessThan, 0.8),
             comparison("c", DSPredicateOperatorType::NotEqualTo, 3)}));
        tuple = f.insertColumn<DSTextTupleColumn>("DSTextTupleColumn");
        tuple->addInputColumn(x);
        tuple->addInputColumn(y);
        tuple->addInputColumn(z);
    }
};

Fixture &fixture()
{
    static Fixture f;
    return f;
}

void BM_IndicatorOfThreeConditions(benchmark::State &state)
{
    DSIndicatorLocalColumn *column = fixture().indicator;
    const uint8_t *values = nullptr, *missing = nullptr;
    if (column->sortedConditions().size() != 3)
        state.SkipWithError("the conditions were not made");
    for (auto _ : state)
        benchmark::DoNotOptimize(column->getBytes(&values, &missing));
    state.SetItemsProcessed(state.iterations() * k_rows);
}

void tupleCategories(benchmark::State &state, bool purgeInputs)
{
    Fixture &f = fixture();
    const int32_t *positions = nullptr;
    qint64 bins = 0;
    for (auto _ : state) {
        if (purgeInputs) {
            state.PauseTiming();
            for (DSColumn *input : {static_cast<DSColumn *>(f.x), static_cast<DSColumn *>(f.y),
                                    static_cast<DSColumn *>(f.z)})
                input->recursivePurge();
            state.ResumeTiming();
        }
        benchmark::DoNotOptimize(f.tuple->getIndexedValues(&positions, &bins));
    }
    if (bins != 26 * 20 * 10)
        state.SkipWithError("unexpected number of categories");
    state.SetItemsProcessed(state.iterations() * k_rows);
}

void BM_TupleCategoriesKept(benchmark::State &state)
{
    tupleCategories(state, false);
}

void BM_TupleCategoriesFresh(benchmark::State &state)
{
    tupleCategories(state, true);
}

double minimum(const std::vector<double> &v)
{
    return *std::min_element(v.begin(), v.end());
}

#define DS_TIMED(bench) \
    BENCHMARK(bench)->Unit(benchmark::kMillisecond)->Repetitions(9)->ComputeStatistics("min", minimum)->ReportAggregatesOnly()

DS_TIMED(BM_IndicatorOfThreeConditions);
DS_TIMED(BM_TupleCategoriesKept);
DS_TIMED(BM_TupleCategoriesFresh);

} // namespace

int main(int argc, char **argv)
{
    return ds_bench_main(argc, argv);
}
