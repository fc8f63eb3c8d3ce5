// Summaries of a stacked table of 1,050,000 rows (four input tables of
// 250,000 rows; a fifth of 50,000 rows has no input column): the counts
// of a numeric column (1,000 or 100,000 distinct values) and of a text
// column (676 two-letter words) merged from the inputs' own, against the
// same counts over the stacked rows (an all-rows mask sends them row by
// row), and the numeric column's histogram bins and moments both ways. The
// inputs keep their indexes, as stored columns do between edits.
//
// Prints the load average: the machine is shared.
#include "../columns/ColumnsBenchFixture.h"
#include "../ds_bench_main.h"

#include "derived/DSNumericStackedColumn.h"
#include "derived/DSStackedTable.h"
#include "derived/DSTextStackedColumn.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTextDataColumn.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr int64_t k_tables = 4;
constexpr int64_t k_rows = 250'000;
constexpr int64_t k_lacking = 50'000;
constexpr int64_t k_stacked = k_tables * k_rows + k_lacking;

// (i x a) mod m.
int64_t hashed(int64_t i, int64_t a, int64_t m)
{
    return int64_t((uint64_t(i) * uint64_t(a)) % uint64_t(m));
}

struct Fixture
{
    ColumnsBenchFixture f{0};
    DSNumericStackedColumn *x = nullptr;
    DSTextStackedColumn *t = nullptr;
    std::vector<uint8_t> all = std::vector<uint8_t>(size_t(k_stacked + 7) / 8, 0xff);
    std::vector<std::string> words;

    template <class T>
    T *insert(DSTable *table, const char *entity)
    {
        auto *column = f.context->insertNewObject<T>(QString::fromLatin1(entity));
        table->insertNewColumns({column}, table->columns().size());
        return column;
    }

    explicit Fixture(int64_t distinct)
    {
        auto *stacked = f.context->insertNewObject<DSStackedTable>(QStringLiteral("DSStackedTable"));
        std::vector<DSNumericColumn *> numbers;
        std::vector<DSTextColumn *> texts;
        // 676 two-letter words
        for (char a = 'a'; a <= 'z'; ++a)
            for (char b = 'a'; b <= 'z'; ++b)
                words.push_back(std::string{a, b});
        for (int64_t k = 0; k <= k_tables; ++k) {
            auto *table = f.context->insertNewObject<DSDataTable>(QStringLiteral("DSDataTable"));
            table->setIndex(k);
            const bool lacking = k == k_tables;
            table->setNum_records(lacking ? k_lacking : k_rows);
            stacked->addInputTable(table);
            if (lacking)
                continue;
            auto *values = insert<DSNumericDataColumn>(table, "DSNumericDataColumn");
            auto *labels = insert<DSTextDataColumn>(table, "DSTextDataColumn");
            for (int64_t i = 0; i < k_rows; ++i) {
                const int64_t row = k * k_rows + i;
                values->appendValue(double(hashed(row, 2654435761, distinct)) * 25'000 / double(distinct));
                labels->appendTextValue(words[size_t(hashed(row, 40503, int64_t(words.size())))].c_str());
            }
            values->saveAfterImport();
            labels->saveAfterImport();
            numbers.push_back(values);
            texts.push_back(labels);
        }
        x = insert<DSNumericStackedColumn>(stacked, "DSNumericStackedColumn");
        t = insert<DSTextStackedColumn>(stacked, "DSTextStackedColumn");
        for (DSNumericColumn *input : numbers)
            x->addInputColumn(input);
        for (DSTextColumn *input : texts)
            t->addInputColumn(input);
        // The inputs build and keep their indexes once.
        for (DSNumericColumn *input : numbers)
            input->getIndexedValues(nullptr, nullptr);
        for (DSTextColumn *input : texts)
            input->getIndexedValues(nullptr, nullptr);
    }
    const uint8_t *mask(bool rowByRow) const { return rowByRow ? all.data() : nullptr; }
    qint64 length(bool rowByRow) const { return rowByRow ? qint64(all.size()) : 0; }
};

// The stack whose numeric column has that many distinct values.
Fixture &fixture(int64_t distinct)
{
    static Fixture few(1'000), many(100'000);
    return distinct <= 1'000 ? few : many;
}

// Arguments: 0 merged from the inputs, 1 over the stacked rows; the
// numeric column's distinct values.
void BM_NumericCounts(benchmark::State &state)
{
    Fixture &f = fixture(state.range(1));
    const bool rows = state.range(0);
    const ds_num_counts_s *counts = nullptr;
    for (auto _ : state)
        benchmark::DoNotOptimize(f.x->getCounts(&counts, f.mask(rows), f.length(rows)));
    state.SetItemsProcessed(state.iterations() * k_stacked);
}

void BM_TextCounts(benchmark::State &state)
{
    Fixture &f = fixture(state.range(1));
    const bool rows = state.range(0);
    const ds_txt_counts_s *counts = nullptr;
    for (auto _ : state)
        benchmark::DoNotOptimize(f.t->getCounts(&counts, f.mask(rows), f.length(rows)));
    state.SetItemsProcessed(state.iterations() * k_stacked);
}

void BM_NumericBins(benchmark::State &state)
{
    Fixture &f = fixture(state.range(1));
    const bool rows = state.range(0);
    for (auto _ : state)
        benchmark::DoNotOptimize(f.x->binsForMask(f.mask(rows), f.length(rows), 50, 500, 0, 25'000, true));
    state.SetItemsProcessed(state.iterations() * k_stacked);
}

void BM_NumericMoments(benchmark::State &state)
{
    Fixture &f = fixture(state.range(1));
    const bool rows = state.range(0);
    for (auto _ : state)
        benchmark::DoNotOptimize(
            f.x->calculateStatsWithMask(f.mask(rows), f.length(rows), ds_stats_extremes | ds_stats_moments));
    state.SetItemsProcessed(state.iterations() * k_stacked);
}

double minimum(const std::vector<double> &v)
{
    return *std::min_element(v.begin(), v.end());
}

#define DS_TIMED(bench)                                                                                       \
    BENCHMARK(bench)                                                                                          \
        ->ArgsProduct({{0, 1}, {1'000, 100'000}})                                                             \
        ->Unit(benchmark::kMillisecond)                                                                       \
        ->Repetitions(9)                                                                                      \
        ->ComputeStatistics("min", minimum)                                                                   \
        ->ReportAggregatesOnly()

DS_TIMED(BM_NumericCounts);
BENCHMARK(BM_TextCounts)
    ->ArgsProduct({{0, 1}, {1'000}})
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->ComputeStatistics("min", minimum)
    ->ReportAggregatesOnly();
DS_TIMED(BM_NumericBins);
DS_TIMED(BM_NumericMoments);

} // namespace

int main(int argc, char **argv)
{
    return ds_bench_main(argc, argv);
}
