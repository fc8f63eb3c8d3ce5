// Stacked tables: row order by the input tables' index, ranges across
// tables, the source columns, tables without an input column, and pooled
// statistics against R (fixtures/make_stacked_stats.R) and against the
// row-by-row computation under weights.

#include "DerivedTestSupport.h"

#include "derived/DSIndicatorStackedColumn.h"
#include "derived/DSNumericSourceIndexColumn.h"
#include "derived/DSNumericStackedColumn.h"
#include "derived/DSStackedTable.h"
#include "derived/DSTextSourceNameColumn.h"
#include "derived/DSTextStackedColumn.h"
#include "model/DSDataTable.h"
#include "model/DSTextDataColumn.h"
#include "model/ds_row_mask.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
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
    auto *x = stackedColumn<DSNumericStackedColumn>(stacked, "DSNumericStackedColumn", {px, rx});
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
    const ds_stats_s rows = x->calculateStatsWithMask(all, 2, options);
    EXPECT_EQ(pooled.count, rows.count);
    EXPECT_EQ(pooled.missing, rows.missing);
    EXPECT_EQ(pooled.min, rows.min);
    EXPECT_EQ(pooled.max, rows.max);
    EXPECT_NEAR(pooled.avg, rows.avg, 1e-12);
    EXPECT_NEAR(pooled.var_biased, rows.var_biased, 1e-12);
    EXPECT_NEAR(pooled.var_unbiased, rows.var_unbiased, 1e-12);
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

} // namespace
