// Joined columns over 1,000,000 local rows and 100,000 foreign rows whose
// keys repeat (the last 20,000 foreign rows repeat the keys of the first
// 20,000, and a fifth of the local keys find nothing): the foreign index
// built afresh plus 1,000,000 lookups, by a text key of mixed case and by a
// number key, against pandas' left merge of the same rows
// (pandas_join_peers.py). Both print a checksum of the joined values, so
// the two agree at full size.
//
// Prints the load average: the machine is shared.
#include "../columns/ColumnsBenchFixture.h"
#include "../ds_bench_main.h"

#include "derived/DSNumericJoinedColumn.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTextDataColumn.h"
#include "platform/predicate/DSComparisonPredicate.h"
#include "platform/predicate/DSCompoundPredicate.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace {

constexpr int64_t k_local = 1'000'000, k_foreign = 100'000;

// (i x a) mod m; the peers compute the same.
int64_t hashed(int64_t i, int64_t a, int64_t m)
{
    return int64_t((uint64_t(i) * uint64_t(a)) % uint64_t(m));
}

int64_t localKey(int64_t i) { return hashed(i, 2654435761, 100'000); }
int64_t foreignKey(int64_t i) { return hashed(i, 69069, 80'000); }

struct Fixture
{
    ColumnsBenchFixture f{k_local};
    DSDataTable *products = nullptr;
    DSNumericJoinedColumn *byText = nullptr, *byNumber = nullptr;

    Fixture()
    {
        products = f.context->insertNewObject<DSDataTable>(QStringLiteral("DSDataTable"));
        products->setName(QStringLiteral("Products"));
        products->setNum_records(k_foreign);
        auto *price = foreignColumn<DSNumericDataColumn>("DSNumericDataColumn", "Price");
        auto *foreignText = foreignColumn<DSTextDataColumn>("DSTextDataColumn", "Code");
        auto *foreignNumber = foreignColumn<DSNumericDataColumn>("DSNumericDataColumn", "Number");
        for (int64_t i = 0; i < k_foreign; ++i) {
            price->appendValue(double(hashed(i, 40503, 1000)) / 10);
            foreignText->appendTextValue(("k" + std::to_string(foreignKey(i))).c_str());
            foreignNumber->appendValue(double(foreignKey(i)));
        }
        auto *localText = f.insertColumn<DSTextDataColumn>("DSTextDataColumn");
        auto *localNumber = f.insertColumn<DSNumericDataColumn>("DSNumericDataColumn");
        localText->setName(QStringLiteral("Code"));
        localNumber->setName(QStringLiteral("Number"));
        for (int64_t i = 0; i < k_local; ++i) {
            localText->appendTextValue(((i % 2 ? "K" : "k") + std::to_string(localKey(i))).c_str());
            localNumber->appendValue(double(localKey(i)));
        }
        price->saveAfterImport();
        foreignText->saveAfterImport();
        foreignNumber->saveAfterImport();
        localText->saveAfterImport();
        localNumber->saveAfterImport();
        byText = join(price, localText, foreignText);
        byNumber = join(price, localNumber, foreignNumber);
    }

    template <class T>
    T *foreignColumn(const char *entity, const char *name)
    {
        auto *column = f.context->insertNewObject<T>(QString::fromLatin1(entity));
        column->setName(QString::fromLatin1(name));
        products->insertNewColumns({column}, products->columns().size());
        return column;
    }

    DSNumericJoinedColumn *join(DSColumn *input, DSColumn *local, DSColumn *foreign)
    {
        auto *joined = f.insertColumn<DSNumericJoinedColumn>("DSNumericJoinedColumn");
        joined->setInput(input);
        joined->setJoinPredicate(DSComparisonPredicate::make(
            DSExpression::forConstantValue(DSPredicateValue::fromString(local->joinName())),
            DSPredicateOperatorType::EqualTo,
            DSExpression::forConstantValue(DSPredicateValue::fromString(foreign->joinName()))));
        return joined;
    }
};

Fixture &fixture()
{
    static Fixture f;
    return f;
}

// The sum of (row + 1) x 10 x value over the rows with a value, modulo 2^64,
// and the rows without one; the peer prints the same.
void addChecksum(benchmark::State &state, const double *values, qint64 count)
{
    uint64_t sum = 0;
    int64_t misses = 0;
    for (qint64 j = 0; j < count; ++j) {
        if (std::isnan(values[j]))
            ++misses;
        else
            sum += uint64_t(j + 1) * uint64_t(std::llround(values[j] * 10));
    }
    state.counters["checksum"] = double(sum % 1'000'000'007);
    state.counters["misses"] = double(misses + k_local - count);
}

// The index built afresh, then every local row looked up.
void runJoin(benchmark::State &state, DSNumericJoinedColumn *joined)
{
    const double *values = nullptr;
    qint64 count = 0;
    for (auto _ : state) {
        joined->purgeIndex();
        count = joined->getValues(&values);
        benchmark::DoNotOptimize(values);
    }
    addChecksum(state, values, count);
    state.SetItemsProcessed(state.iterations() * k_local);
}

void BM_JoinByTextKey(benchmark::State &state)
{
    runJoin(state, fixture().byText);
}

void BM_JoinByNumberKey(benchmark::State &state)
{
    runJoin(state, fixture().byNumber);
}

// The values and the missing mask, both indexes built afresh.
void BM_JoinByTextKeyWithMask(benchmark::State &state)
{
    DSNumericJoinedColumn *joined = fixture().byText;
    const double *values = nullptr;
    const uint8_t *mask = nullptr;
    for (auto _ : state) {
        joined->purgeIndex();
        benchmark::DoNotOptimize(joined->getValues(&values));
        benchmark::DoNotOptimize(joined->getMissingMask(&mask));
    }
    state.SetItemsProcessed(state.iterations() * k_local);
}

double minimum(const std::vector<double> &v)
{
    return *std::min_element(v.begin(), v.end());
}

#define DS_TIMED(bench) \
    BENCHMARK(bench) \
        ->Unit(benchmark::kMillisecond) \
        ->Repetitions(9) \
        ->ComputeStatistics("min", minimum) \
        ->ReportAggregatesOnly()

DS_TIMED(BM_JoinByTextKey);
DS_TIMED(BM_JoinByNumberKey);
DS_TIMED(BM_JoinByTextKeyWithMask);

} // namespace

int main(int argc, char **argv)
{
    return ds_bench_main(argc, argv);
}
