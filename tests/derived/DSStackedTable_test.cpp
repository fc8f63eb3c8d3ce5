// Stacked tables: row order by the input tables' index, ranges across
// tables, the source columns, tables without an input column, pooled
// statistics against R (fixtures/make_stacked_stats.R), and the merged
// index, counts, bins and statistics against the answers over the stacked
// rows under weights.

#include "DerivedTestSupport.h"

#include "derived/DSIndicatorStackedColumn.h"
#include "derived/DSNumericRecodeColumn.h"
#include "derived/DSNumericSourceIndexColumn.h"
#include "derived/DSNumericStackedColumn.h"
#include "derived/DSStackedTable.h"
#include "derived/DSTextSourceNameColumn.h"
#include "derived/DSTextStackedColumn.h"
#include "model/DSDataTable.h"
#include "model/DSTextDataColumn.h"
#include "model/ds_row_mask.h"
#include "platform/store/DSUndoManager.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

class DSStackedTableTest : public ::testing::Test, public ColumnsFixture
{
protected:
    static void SetUpTestSuite() { ds_derived_test_setup(); }

public:
    DSDataTable *newTable(const char *name, qint64 index, qint64 rows)
    {
        auto *t = context().insertNewObject<DSDataTable>(QStringLiteral("DSDataTable"));
        t->setName(QString::fromLatin1(name));
        t->setIndex(index);
        t->setNum_records(rows);
        return t;
    }
    template <class T>
    T *columnIn(DSTable *t, const char *entity, const char *name)
    {
        auto *column = context().insertNewObject<T>(QString::fromLatin1(entity));
        column->setName(QString::fromLatin1(name));
        t->insertNewColumns({column}, t->columns().size());
        return column;
    }
    DSNumericColumn *numbers(DSTable *t, const std::vector<double> &values, const char *name = "x")
    {
        auto *column = columnIn<ProbedDataColumn>(t, "DSNumericDataColumn", name);
        for (double x : values)
            column->appendValue(x);
        column->save();
        return column;
    }
    DSStackedTable *stack(std::initializer_list<DSTable *> inputs)
    {
        auto *stacked = context().insertNewObject<DSStackedTable>(QStringLiteral("DSStackedTable"));
        for (DSTable *t : inputs)
            stacked->addInputTable(t);
        return stacked;
    }
    // A stacked column of the entity fed by the given columns.
    template <class T>
    T *stackedColumn(DSStackedTable *stacked, const char *entity, std::initializer_list<DSColumn *> inputs)
    {
        T *column = columnIn<T>(stacked, entity, "s");
        for (DSColumn *input : inputs)
            column->addInputColumn(input);
        return column;
    }
};

std::vector<double> values(DSNumericColumn *column, qint64 offset, qint64 limit)
{
    return valuesOf(column, offset, limit);
}

// Index entries by their bits, so that 0 and -0 differ.
std::vector<uint64_t> bitsOf(const double *index, qint64 length)
{
    std::vector<uint64_t> bits;
    for (qint64 p = 0; index && p < length; ++p)
        bits.push_back(std::bit_cast<uint64_t>(std::isnan(index[p]) ? NaN : index[p]));
    return bits;
}

std::vector<std::tuple<uint64_t, int64_t, int64_t>> entriesOf(const ds_num_counts_s *counts, qint64 n)
{
    std::vector<std::tuple<uint64_t, int64_t, int64_t>> entries;
    for (qint64 k = 0; counts && k < n; ++k)
        entries.emplace_back(bitsOf(&counts[k].value, 1)[0], counts[k].count, counts[k].missing);
    return entries;
}

std::vector<std::tuple<std::string, int64_t, int64_t>> entriesOf(const ds_txt_counts_s *counts, qint64 n)
{
    std::vector<std::tuple<std::string, int64_t, int64_t>> entries;
    for (qint64 k = 0; counts && k < n; ++k)
        entries.emplace_back(counts[k].text ? counts[k].text : "<blank>", counts[k].count, counts[k].missing);
    return entries;
}

std::vector<std::string> textsOf(const char *const *index, qint64 length)
{
    std::vector<std::string> texts;
    for (qint64 p = 0; index && p < length; ++p)
        texts.push_back(index[p] ? index[p] : "<blank>");
    return texts;
}

// Counts, extremes and moments of a pooled and a row-by-row record.
void expectSameStats(const ds_stats_s &pooled, const ds_stats_s &rows)
{
    EXPECT_EQ(pooled.count, rows.count);
    EXPECT_EQ(pooled.missing, rows.missing);
    EXPECT_EQ(pooled.min, rows.min);
    EXPECT_EQ(pooled.max, rows.max);
    EXPECT_NEAR(pooled.avg, rows.avg, 1e-12);
    EXPECT_NEAR(pooled.var_biased, rows.var_biased, 1e-12);
    EXPECT_NEAR(pooled.var_unbiased, rows.var_unbiased, 1e-12);
}

// The merged index, counts, bins (4, kept and left out when empty) and
// statistics of x against its answers over the stacked rows (the kind
// base's index, an all-rows mask); the merged ones are asked first, so that
// x's value buffer tells whether they read the stacked rows.
void expectMergedEqualsRows(DSNumericStackedColumn *x, qint64 rows, bool merges)
{
    const std::vector<uint8_t> all(size_t(rows + 7) / 8, 0xff);
    const qint64 bytes = qint64(all.size());
    ASSERT_EQ(x->temp_values_capacity(), 0);
    const ds_stats_s extremes = x->calculateStatsWithMask(nullptr, 0, ds_stats_extremes);

    const double *index = nullptr;
    qint64 n = x->getIndex(&index);
    const std::vector<uint64_t> mergedIndex = bitsOf(index, n);
    const ds_num_counts_s *counts = nullptr;
    n = x->getCounts(&counts, nullptr, 0);
    const auto mergedCounts = entriesOf(counts, n);
    std::optional<QVariantList> mergedBins[2];
    for (int empty = 0; empty < 2; ++empty)
        mergedBins[empty] = x->binsForMask(nullptr, 0, 4, (extremes.max - extremes.min) / 4, extremes.min,
                                           extremes.max, empty);
    const uint64_t options = ds_stats_extremes | ds_stats_moments;
    const ds_stats_s mergedStats = x->calculateStatsWithMask(nullptr, 0, options);
    EXPECT_EQ(x->temp_values_capacity() == 0, merges) << "merged answers read the stacked rows";

    n = x->DSNumericColumn::getIndex(&index);
    EXPECT_EQ(mergedIndex, bitsOf(index, n));
    n = x->getCounts(&counts, all.data(), bytes);
    EXPECT_EQ(mergedCounts, entriesOf(counts, n));
    for (int empty = 0; empty < 2; ++empty)
        EXPECT_EQ(mergedBins[empty], x->binsForMask(all.data(), bytes, 4, (extremes.max - extremes.min) / 4,
                                                    extremes.min, extremes.max, empty));
    expectSameStats(mergedStats, x->calculateStatsWithMask(all.data(), bytes, options));
}

TEST_F(DSStackedTableTest, RowsFollowTheTablesIndexAcrossRanges)
{
    DSDataTable *p = newTable("P", 1, 3), *q = newTable("Q", 2, 2), *r = newTable("R", 3, 4);
    DSNumericColumn *px = numbers(p, {1, 2, 3}), *rx = numbers(r, {10, NaN, 30, 40});
    DSStackedTable *stacked = stack({r, p, q});
    EXPECT_EQ(stacked->num_records(), 9);
    EXPECT_EQ(stacked->sortedInputTables(), (QList<DSTable *>{p, q, r}));
    EXPECT_EQ(stacked->inputTableAtIndex(2), r);
    EXPECT_EQ(stacked->inputTableAtIndex(3), nullptr);
    EXPECT_TRUE(stacked->is_stacked());

    auto *index = columnIn<DSNumericSourceIndexColumn>(stacked, "DSNumericSourceIndexColumn", "i");
    auto *source = columnIn<DSTextSourceNameColumn>(stacked, "DSTextSourceNameColumn", "n");
    auto *x = stackedColumn<DSNumericStackedColumn>(stacked, "DSNumericStackedColumn", {rx, px});
    EXPECT_EQ(x->sortedInputColumns(), (QList<DSColumn *>{px, rx}));
    EXPECT_EQ(values(index, 0, 9), (std::vector<double>{1, 2, 3, 1, 2, 1, 2, 3, 4}));
    EXPECT_EQ(values(index, 4, 3), (std::vector<double>{2, 1, 2}));
    EXPECT_TRUE(missingRows(index).empty());
    const char *const *names = nullptr;
    ASSERT_EQ(source->getTextValues(&names, 4, 3), 3);
    EXPECT_EQ(std::string(names[0]) + names[1] + names[2], "QRR");

    const std::vector<double> part = values(x, 4, 3);
    ASSERT_EQ(part.size(), 3u);
    EXPECT_TRUE(std::isnan(part[0]));
    EXPECT_EQ(part[1], 10);
    EXPECT_TRUE(std::isnan(part[2]));
    // only the range's bits: Q's row 1 (no input column) and R's row 1
    const uint8_t *mask = nullptr;
    const qint64 length = x->getMissingMask(&mask, 4, 3);
    std::vector<qint64> marked;
    for (qint64 row = 0; mask && row < length * 8; ++row)
        if (ds_mask_test(mask, row))
            marked.push_back(row);
    EXPECT_EQ(marked, (std::vector<qint64>{4, 6}));
    EXPECT_EQ(missingRows(x), (std::vector<qint64>{3, 4, 6}));
    EXPECT_TRUE(valuesOf(x, 9, 1).empty());

    // an edit reaches the stack; leaving a table drops its rows and links
    stacked->removeInputTable(q);
    EXPECT_EQ(stacked->num_records(), 7);
    EXPECT_EQ(values(index, 0, 7), (std::vector<double>{1, 2, 3, 1, 2, 3, 4}));
    stacked->removeInputTable(p);
    EXPECT_EQ(x->inputColumnForTable(p), nullptr);
    EXPECT_EQ(values(x, 0, 1), std::vector<double>{10});
}

TEST_F(DSStackedTableTest, TextAndIndicatorColumnsMarkTablesWithoutInput)
{
    DSDataTable *p = newTable("P", 1, 2), *q = newTable("Q", 2, 1), *r = newTable("R", 3, 2);
    auto *pt = columnIn<DSTextDataColumn>(p, "DSTextDataColumn", "t");
    ASSERT_TRUE(pt->appendTextValue("a") && pt->appendEmptyValue() && pt->saveAfterImport());
    auto *rt = columnIn<DSTextDataColumn>(r, "DSTextDataColumn", "t");
    ASSERT_TRUE(rt->appendTextValue("c") && rt->appendTextValue("d") && rt->saveAfterImport());
    auto *qb = columnIn<BitsColumn>(q, "DSTestIndicatorColumn", "b");
    qb->bits = {1};
    auto *rb = columnIn<BitsColumn>(r, "DSTestIndicatorColumn", "b");
    rb->bits = {2};
    rb->missing = {1};
    DSStackedTable *stacked = stack({p, q, r});
    auto *t = stackedColumn<DSTextStackedColumn>(stacked, "DSTextStackedColumn", {pt, rt});
    const char *const *texts = nullptr;
    ASSERT_EQ(t->getTextValues(&texts, 0, 5), 5);
    EXPECT_STREQ(texts[0], "a");
    EXPECT_EQ(texts[2], nullptr);
    EXPECT_STREQ(texts[4], "d");
    EXPECT_EQ(missingRows(t), (std::vector<qint64>{1, 2}));

    auto *b = stackedColumn<DSIndicatorStackedColumn>(stacked, "DSIndicatorStackedColumn", {qb, rb});
    const uint8_t *bits = nullptr, *missing = nullptr;
    ASSERT_EQ(b->getBytes(&bits, &missing, 0, 5), 1);
    EXPECT_EQ(bits[0], 0x14);    // Q's row 0 and R's row 1
    EXPECT_EQ(missing[0], 0x0b); // P's two rows and R's row 0
}

TEST_F(DSStackedTableTest, PooledStatisticsEqualROnShiftedData)
{
    const auto rows = readCsvRows(QStringLiteral("fixtures/stacked_stats.csv"), 5);
    ASSERT_EQ(rows.size(), 2u);
    for (const auto &row : rows) {
        const double shift = row[0] == "shifted" ? 1e9 : 0;
        SCOPED_TRACE(row[0].constData());
        DSDataTable *p = newTable("P", 1, 3), *q = newTable("Q", 2, 1);
        DSStackedTable *stacked = stack({p, q});
        auto *x = stackedColumn<DSNumericStackedColumn>(
            stacked, "DSNumericStackedColumn", {numbers(p, {shift + 1, shift + 2, shift + 3}), numbers(q, {shift + 5})});
        const ds_stats_s stats = x->calculateStatsWithMask(nullptr, 0, ds_stats_extremes | ds_stats_moments);
        EXPECT_EQ(stats.count, row[1].toLongLong());
        EXPECT_EQ(stats.avg, row[2].toDouble());
        EXPECT_NEAR(stats.var_biased, row[3].toDouble(), 1e-15 * (1 + shift));
        EXPECT_NEAR(stats.var_unbiased, row[4].toDouble(), 1e-15 * (1 + shift));
        EXPECT_EQ(stats.min, shift + 1);
        EXPECT_EQ(stats.max, shift + 5);
        EXPECT_TRUE(std::isnan(stats.med));
    }
}

TEST_F(DSStackedTableTest, PooledAndRowByRowAgreeUnderWeightsAndALackingTable)
{
    DSDataTable *p = newTable("P", 1, 4), *q = newTable("Q", 2, 3), *r = newTable("R", 3, 2);
    DSNumericColumn *px = numbers(p, {1.5, 2, NaN, 7});
    DSNumericColumn *weights = numbers(p, {2, 1, 3, 4}, "w");
    p->setFrequency_weights_column(weights);
    p->setApply_frequency_weights(true);
    DSNumericColumn *rx = numbers(r, {-3, 11.25});
    DSStackedTable *stacked = stack({p, q, r});
    auto *x = stackedColumn<DSNumericStackedColumn>(stacked, "DSNumericStackedColumn", {px, rx});
    EXPECT_TRUE(stacked->isFrequencyWeighted());
    const int32_t *w = nullptr;
    ASSERT_EQ(stacked->getFrequencyWeights(&w), 9);
    EXPECT_EQ(std::vector<int32_t>(w, w + 9), (std::vector<int32_t>{2, 1, 3, 4, 1, 1, 1, 1, 1}));

    const uint8_t all[2] = {0xff, 0x01};
    const uint64_t options = ds_stats_extremes | ds_stats_moments;
    const ds_stats_s pooled = x->calculateStatsWithMask(nullptr, 0, options);
    expectSameStats(pooled, x->calculateStatsWithMask(all, 2, options));
    EXPECT_EQ(pooled.count, 2 + 1 + 4 + 1 + 1);
    EXPECT_EQ(pooled.missing, 3 + 3);

    // the stacked table's own weights (here its source index) apply row by
    // row, and the pooled answer follows them
    p->setApply_frequency_weights(false);
    auto *index = columnIn<DSNumericSourceIndexColumn>(stacked, "DSNumericSourceIndexColumn", "i");
    stacked->setFrequency_weights_column(index);
    stacked->setApply_frequency_weights(true);
    x->recursivePurge();
    EXPECT_TRUE(stacked->weighsByOwnSettings());
    const ds_stats_s own = x->calculateStatsWithMask(nullptr, 0, options);
    const ds_stats_s ownRows = x->calculateStatsWithMask(all, 2, options);
    EXPECT_EQ(own.count, 1 + 2 + 4 + 1 + 2);
    EXPECT_EQ(own.count, ownRows.count);
    EXPECT_EQ(own.avg, ownRows.avg);
}

TEST_F(DSStackedTableTest, MergedSummariesEqualTheRowsAnswers)
{
    // P and R give the input columns, Q (2 rows) has none; P is weighted
    // when weights are given, and its column marks missing what pRule picks
    // (a value missing in P alone stays missing, one R has is not).
    struct Case
    {
        const char *name;
        std::vector<double> p, pWeights, r;
        const char *pRule;
        const char *stackedRule;  // the stacked column's own missing values
        bool stackedWeights;      // the stacked table weighs by its source index
        bool recodeP;             // P's input codes its values 1, 2 and 99 (absent)
        bool merges;
        std::vector<double> index;
    };
    const Case cases[] = {
        {"weighted P, Q lacking", {1.5, 2, NaN, 7, 2}, {2, 1, 3, 4, 0}, {-3, 11.25, 2}, "value == 2 OR value == 7",
         nullptr, false, false, true, {-3, 1.5, 2, 7, 11.25, NaN}},
        {"whole values, the first zero negative", {-0.0, 3, 3}, {}, {0, 5, NaN}, nullptr, nullptr, false, false,
         true, {-0.0, 3, 5, NaN}},
        {"zeros told apart, one sign an input", {0, 1, 2}, {1, 2, 3}, {-0.0, 0.5}, nullptr, nullptr, false, false,
         true, {-0.0, 0, 0.5, 1, 2, NaN}},
        {"both zeros behind one entry", {0, -0.0, 1}, {}, {0.5}, nullptr, nullptr, false, false, false,
         {-0.0, 0, 0.5, 1, NaN}},
        {"the stacked table's own weights", {1, 2}, {}, {3, 4}, nullptr, nullptr, true, false, false,
         {1, 2, 3, 4, NaN}},
        {"the stacked column's own rule", {1, 2}, {}, {3, 4}, nullptr, "value == 3", false, false, false,
         {1, 2, 3, 4, NaN}},
        {"a recoded input lists a code no row has", {1, 2, 1}, {}, {3, 4}, nullptr, nullptr, false, true, false,
         {3, 4, 10, 20, NaN}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const qint64 pRows = qint64(c.p.size()), rRows = qint64(c.r.size());
        DSDataTable *p = newTable("P", 1, pRows), *q = newTable("Q", 2, 2), *r = newTable("R", 3, rRows);
        DSNumericColumn *px = numbers(p, c.p), *rx = numbers(r, c.r);
        if (c.pRule)
            usePredicate(px, c.pRule);
        if (c.recodeP) {
            auto *codes = columnIn<DSNumericRecodeColumn>(p, "DSNumericRecodeColumn", "codes");
            codes->addInputColumn(px);
            for (double value : {1, 2, 99})
                codes->setValueMapping(QCborValue(value * 10), QCborValue(value));
            px = codes;
        }
        if (!c.pWeights.empty()) {
            p->setFrequency_weights_column(numbers(p, c.pWeights, "w"));
            p->setApply_frequency_weights(true);
        }
        DSStackedTable *stacked = stack({r, q, p});
        if (c.stackedWeights) {
            stacked->setFrequency_weights_column(
                columnIn<DSNumericSourceIndexColumn>(stacked, "DSNumericSourceIndexColumn", "i"));
            stacked->setApply_frequency_weights(true);
        }
        auto *x = stackedColumn<DSNumericStackedColumn>(stacked, "DSNumericStackedColumn", {px, rx});
        if (c.stackedRule)
            usePredicate(x, c.stackedRule);
        expectMergedEqualsRows(x, pRows + 2 + rRows, c.merges);
        const double *index = nullptr;
        const qint64 n = x->getIndex(&index);
        EXPECT_EQ(bitsOf(index, n), bitsOf(c.index.data(), qint64(c.index.size())));
    }
}

TEST_F(DSStackedTableTest, MergedTextIndexAndCountsEqualTheRowsAnswers)
{
    DSDataTable *p = newTable("P", 1, 4), *q = newTable("Q", 2, 2), *r = newTable("R", 3, 3);
    auto *pt = columnIn<DSTextDataColumn>(p, "DSTextDataColumn", "t");
    ASSERT_TRUE(pt->appendTextValue("b") && pt->appendTextValue("a") && pt->appendEmptyValue() &&
                pt->appendTextValue("\xc3\xa9t\xc3\xa9") && pt->saveAfterImport());
    p->setFrequency_weights_column(numbers(p, {2, 1, 3, 5}, "w"));
    p->setApply_frequency_weights(true);
    auto *rt = columnIn<DSTextDataColumn>(r, "DSTextDataColumn", "t");
    ASSERT_TRUE(rt->appendTextValue("a") && rt->appendTextValue("cc") && rt->appendTextValue("b") &&
                rt->saveAfterImport());
    DSStackedTable *stacked = stack({p, q, r});
    auto *t = stackedColumn<DSTextStackedColumn>(stacked, "DSTextStackedColumn", {pt, rt});

    const char *const *index = nullptr;
    qint64 n = t->getIndex(&index);
    const std::vector<std::string> merged = textsOf(index, n);
    EXPECT_EQ(merged, (std::vector<std::string>{"a", "b", "cc", "\xc3\xa9t\xc3\xa9", "<blank>"}));
    n = t->getUncachedIndex(&index);
    EXPECT_EQ(merged, textsOf(index, n));
    EXPECT_EQ(t->maximumTextValueLength(), 5u);
    EXPECT_EQ(t->maximumTextValueLength(), ds_text_index_max_length(index, n));

    const ds_txt_counts_s *counts = nullptr;
    n = t->getCounts(&counts, nullptr, 0);
    const auto mergedCounts = entriesOf(counts, n);
    using Entry = std::tuple<std::string, int64_t, int64_t>;
    // the blank entry: P's empty text (weight 3) and Q's two rows
    EXPECT_EQ(mergedCounts, (std::vector<Entry>{{"a", 2, 0}, {"b", 3, 0}, {"cc", 1, 0}, {"\xc3\xa9t\xc3\xa9", 5, 0},
                                                {"<blank>", 5, 1}}));
    const uint8_t all[2] = {0xff, 0x01};
    n = t->getCounts(&counts, all, 2);
    EXPECT_EQ(mergedCounts, entriesOf(counts, n));
    const int32_t *positions = nullptr;
    qint64 bins = 0;
    ASSERT_EQ(t->getIndexedValues(&positions, &bins), 9);
    EXPECT_EQ(bins, 5);
    EXPECT_EQ(std::vector<int32_t>(positions, positions + 9), (std::vector<int32_t>{1, 0, 4, 3, 4, 4, 0, 2, 1}));
}

TEST_F(DSStackedTableTest, SourceColumnsIndexTheirTables)
{
    DSDataTable *a = newTable("A", 1, 2), *b = newTable("B", 2, 0), *a2 = newTable("A", 3, 3);
    DSStackedTable *stacked = stack({a2, b, a});
    auto *names = columnIn<DSTextSourceNameColumn>(stacked, "DSTextSourceNameColumn", "n");
    auto *rows = columnIn<DSNumericSourceIndexColumn>(stacked, "DSNumericSourceIndexColumn", "i");

    // one entry a table, in row order, neither sorted nor made unique
    const char *const *texts = nullptr;
    const qint64 entries = names->getIndex(&texts);
    EXPECT_EQ(textsOf(texts, entries), (std::vector<std::string>{"A", "B", "A"}));
    const int32_t *positions = nullptr;
    qint64 bins = 0;
    ASSERT_EQ(names->getIndexedValues(&positions, &bins), 5);
    EXPECT_EQ(bins, 3);
    EXPECT_EQ(std::vector<int32_t>(positions, positions + 5), (std::vector<int32_t>{0, 0, 2, 2, 2}));
    const ds_txt_counts_s *counts = nullptr;
    using Entry = std::tuple<std::string, int64_t, int64_t>;
    const qint64 counted = names->getCounts(&counts, nullptr, 0);
    EXPECT_EQ(entriesOf(counts, counted), (std::vector<Entry>{{"A", 2, 0}, {"B", 0, 0}, {"A", 3, 0}}));

    const double *index = nullptr;
    const qint64 n = rows->getIndex(&index);
    EXPECT_EQ(std::vector<double>(index, index + n), (std::vector<double>{1, 2, 3}));
    ASSERT_EQ(rows->getIndexedValues(&positions, &bins), 5);
    EXPECT_EQ(bins, 3);
    EXPECT_EQ(std::vector<int32_t>(positions, positions + 5), (std::vector<int32_t>{0, 1, 0, 1, 2}));
    const ds_num_counts_s *numbered = nullptr;
    ASSERT_EQ(rows->getCounts(&numbered, nullptr, 0), 3);
    EXPECT_EQ(numbered[0].count, 2);
    EXPECT_EQ(numbered[2].count, 1);

    // without inputs, no entries
    stacked->removeInputTable(a);
    stacked->removeInputTable(b);
    stacked->removeInputTable(a2);
    EXPECT_EQ(names->getIndex(&texts), 0);
    EXPECT_EQ(rows->getIndex(&index), 0);
    EXPECT_EQ(index, nullptr);
}

// Every change of the stacked rows purges the cached statistics of every
// stacked column, the source columns and the columns lacking an input of
// the changed table included: rows added to or dropped from an input
// table, and the undo and redo of an input table's or an input column's
// addition.
TEST_F(DSStackedTableTest, ChangesOfTheStackedRowsPurgeTheColumns)
{
    DSDataTable *p = newTable("P", 1, 3), *q = newTable("Q", 2, 2);
    DSNumericColumn *px = numbers(p, {1, 2, 3});
    DSNumericColumn *qx = numbers(q, {7, 8});
    DSStackedTable *stacked = stack({p, q});
    auto *x = stackedColumn<DSNumericStackedColumn>(stacked, "DSNumericStackedColumn", {px});
    auto *index = columnIn<DSNumericSourceIndexColumn>(stacked, "DSNumericSourceIndexColumn", "i");
    endEvent();
    // Caches x's and the index's statistics; x's count.
    const auto cache = [&] {
        for (DSNumericColumn *column : {static_cast<DSNumericColumn *>(x), static_cast<DSNumericColumn *>(index)})
            column->setTemp_stats_minmax(column->calculateStatsWithMask(nullptr, 0, ds_stats_extremes));
        return x->temp_stats_minmax().count;
    };
    const auto purged = [](DSColumn *column) { return column->temp_stats_minmax().count < 0; };

    EXPECT_EQ(cache(), 3);
    EXPECT_EQ(x->temp_stats_minmax().missing, 2);
    q->addRows(3);
    ASSERT_EQ(stacked->num_records(), 8);
    EXPECT_EQ(x->calculateStatsWithMask(nullptr, 0, ds_stats_extremes).missing, 5);
    EXPECT_TRUE(purged(x)) << "a column without Q's input kept its statistics after Q's rows were added";
    EXPECT_TRUE(purged(index)) << "the source index kept its statistics after Q's rows were added";
    cache();
    q->dropRows({1, 2, 3, 4});
    ASSERT_EQ(stacked->num_records(), 4);
    EXPECT_TRUE(purged(x)) << "after Q's rows were dropped";
    EXPECT_TRUE(purged(index)) << "after Q's rows were dropped";
    endEvent();

    x->addInputColumn(qx);
    endEvent();
    EXPECT_EQ(cache(), 4);
    DSUndoManager *undo = context().undoManager();
    undo->undo();
    EXPECT_TRUE(purged(x)) << "after the input column's addition was undone";
    EXPECT_EQ(cache(), 3);
    undo->redo();
    EXPECT_TRUE(purged(x)) << "after the input column's addition was redone";
    EXPECT_EQ(cache(), 4);

    DSDataTable *r = newTable("R", 3, 2);
    DSNumericColumn *rx = numbers(r, {5, 6});
    endEvent();
    stacked->addInputTable(r);
    x->addInputColumn(rx);
    endEvent();
    EXPECT_EQ(cache(), 6);
    undo->undo();
    ASSERT_EQ(stacked->num_records(), 4);
    EXPECT_TRUE(purged(x)) << "statistics of R's rows kept after undo";
    EXPECT_TRUE(purged(index)) << "the source index kept R's rows after undo";
    EXPECT_EQ(cache(), 4);
    undo->redo();
    ASSERT_EQ(stacked->num_records(), 6);
    EXPECT_TRUE(purged(x)) << "after redo";
    EXPECT_TRUE(purged(index)) << "after redo";
    EXPECT_EQ(cache(), 6);
}

} // namespace

