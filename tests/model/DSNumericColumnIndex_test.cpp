// The index, counts, categories, bins, sorted values and descriptive
// statistics as numeric columns answer them: a stored column (which keeps
// its index and positions until purged) and a derived one (which computes
// them afresh), with the table's frequency weights and the missing-values
// predicate.

#include "ColumnsTestSupport.h"

#include "model/DSColumnSummary.h"
#include "model/DSNumericColumnCategory.h"
#include "model/util/ds_colors.h"
#include "platform/store/DSUndoManager.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

const double nan = std::numeric_limits<double>::quiet_NaN();

std::vector<double> indexOf(DSNumericColumn *column)
{
    const double *index = nullptr;
    const qint64 n = column->getIndex(&index);
    return std::vector<double>(index, index + n);
}

std::vector<int32_t> positionsOf(DSNumericColumn *column, qint64 *bins = nullptr)
{
    const int32_t *positions = nullptr;
    const qint64 n = column->getIndexedValues(&positions, bins);
    return n ? std::vector<int32_t>(positions, positions + n) : std::vector<int32_t>();
}

// Values compared with NaN equal to NaN.
void expectValues(const std::vector<double> &got, const std::vector<double> &want, const char *what)
{
    ASSERT_EQ(got.size(), want.size()) << what;
    for (size_t i = 0; i < got.size(); ++i)
        EXPECT_TRUE(got[i] == want[i] || (std::isnan(got[i]) && std::isnan(want[i])))
            << what << " at " << i << ": " << got[i] << " for " << want[i];
}

class DSNumericColumnIndexTest : public ::testing::Test, public ColumnsFixture
{
protected:
    // The table weighs its rows by a column of these values.
    void weighBy(const std::vector<double> &weights)
    {
        DSNumericColumn *w = addColumn(weights, QStringLiteral("w"));
        table()->setFrequency_weights_column(w);
        table()->setApply_frequency_weights(true);
    }

    // d = x / 1, a derived column that computes its values at each request.
    TestDivisionColumn *derivedFrom(DSNumericColumn *x)
    {
        std::vector<double> ones(size_t(table()->num_records()), 1.0);
        DSNumericColumn *one = addColumn(ones, QStringLiteral("one"));
        auto *d = addColumnOfEntity<TestDivisionColumn>("DSTestDivisionColumn", QStringLiteral("d"));
        d->addInputColumn(x);
        d->addInputColumn(one);
        return d;
    }
};

TEST_F(DSNumericColumnIndexTest, IndexAndPositions)
{
    ProbedDataColumn *x = addColumn({3, 1, nan, 3, 2});
    TestDivisionColumn *d = derivedFrom(x);
    for (DSNumericColumn *column : {static_cast<DSNumericColumn *>(x), static_cast<DSNumericColumn *>(d)}) {
        expectValues(indexOf(column), {1, 2, 3, nan}, "index");
        qint64 bins = 0;
        EXPECT_EQ(positionsOf(column, &bins), (std::vector<int32_t>{2, 0, 3, 2, 1}));
        EXPECT_EQ(bins, 4);
        EXPECT_EQ(column->numberOfBins(), 4);
        EXPECT_EQ(column->numberOfUniqueValues(), 4);
    }
}

TEST_F(DSNumericColumnIndexTest, AColumnWithoutValues)
{
    table()->setNum_records(3);
    auto *x = addColumnOfEntity<ProbedDataColumn>("DSNumericDataColumn", QStringLiteral("empty"));
    expectValues(indexOf(x), {nan}, "index");
    EXPECT_EQ(x->numberOfUniqueValues(), 1);
    qint64 bins = 7;
    EXPECT_TRUE(positionsOf(x, &bins).empty());
    EXPECT_EQ(bins, 0);
    const double *sorted = nullptr;
    EXPECT_EQ(x->getSortedValues(&sorted, nullptr), 0);
    EXPECT_EQ(sorted, nullptr);
    EXPECT_FALSE(x->calculateQuantiles(4).has_value());
    const ds_stats_s s = x->calculateStatsWithMask(nullptr, 0, 0xF3);
    EXPECT_EQ(s.count, 0);
    EXPECT_TRUE(std::isnan(s.avg));
}

// A stored column keeps its index and positions until an edit purges them;
// undo brings back the old index.
TEST_F(DSNumericColumnIndexTest, AStoredColumnKeepsItsIndexUntilPurged)
{
    ProbedDataColumn *x = addColumn({5, 1, 5});
    endEvent();
    const int32_t *positions = nullptr;
    ASSERT_EQ(x->getIndexedValues(&positions, nullptr), 3);  // index and positions in one pass
    const double *index = nullptr;
    ASSERT_EQ(x->getIndex(&index), 2);
    const double *again = nullptr;
    const int32_t *positionsAgain = nullptr;
    x->getIndex(&again);
    x->getIndexedValues(&positionsAgain, nullptr);
    EXPECT_EQ(again, index);
    EXPECT_EQ(positionsAgain, positions);

    x->replaceNumericValueAtIndex(1, 7);
    endEvent();
    expectValues(indexOf(x), {5, 7}, "after the edit");
    EXPECT_EQ(positionsOf(x), (std::vector<int32_t>{0, 1, 0}));
    context().undoManager()->undo();
    expectValues(indexOf(x), {1, 5}, "after undo");
    EXPECT_EQ(positionsOf(x), (std::vector<int32_t>{1, 0, 1}));
}

TEST_F(DSNumericColumnIndexTest, CountsCategoriesAndOrder)
{
    ProbedDataColumn *x = addColumn({1, 5, 5, nan, 7, 9});
    weighBy({1, 2, 3, 4, 5, 0});
    usePredicate(x, "value == 7");
    x->setCategoryLabel(QStringLiteral("five"), QCborValue(5));
    x->setOrdered_values(QCborArray{5.0, 9.0});
    const uint8_t mask[] = {0b111011};  // every row but row 2

    const ds_num_counts_s *counts = nullptr;
    ASSERT_EQ(x->getCounts(&counts, mask, 1), 5);
    const struct {
        double value;
        qint64 count, missing;
    } want[] = {{1, 1, 0}, {5, 2, 0}, {7, 5, 1}, {9, 0, 0}, {nan, 4, 1}};
    for (int k = 0; k < 5; ++k) {
        EXPECT_TRUE(counts[k].value == want[k].value || std::isnan(want[k].value)) << k;
        EXPECT_EQ(counts[k].count, want[k].count) << k;
        EXPECT_EQ(counts[k].missing, want[k].missing) << k;
    }
    const uint8_t none = 0;
    ASSERT_EQ(x->getCounts(&counts, &none, 0), 5);
    EXPECT_EQ(counts[1].count, 0);

    const DSColumn::Categories categories = x->categoriesForMask(mask, 1);
    ASSERT_EQ(categories.size(), 5);
    auto *five = dynamic_cast<DSNumericColumnCategory *>(categories[1].get());
    ASSERT_NE(five, nullptr);
    EXPECT_EQ(five->value(), 5);
    EXPECT_EQ(five->count(), 2);
    EXPECT_EQ(five->index(), 1);
    EXPECT_EQ(five->label(), QStringLiteral("five"));
    EXPECT_TRUE(categories[0]->label().isNull());
    EXPECT_TRUE(categories[2]->is_missing());
    EXPECT_EQ(five->formatter(), static_cast<DSNumericColumnCategory *>(categories[0].get())->formatter());

    const int32_t *order = nullptr;
    ASSERT_EQ(x->getIndexedValueOrder(&order), 5);
    EXPECT_EQ(std::vector<int32_t>(order, order + 5), (std::vector<int32_t>{1, 3, 0, 2, 4}));
    EXPECT_TRUE(x->categoriesCanBeReordered());
}

// The category summary of a numeric column, in the user's order.
TEST_F(DSNumericColumnIndexTest, CategorySummary)
{
    ProbedDataColumn *x = addColumn({1, 5, 5, nan, 3});
    x->setOrdered_values(QCborArray{5.0});
    const auto summary = x->summaryWithSignificance(0.05);
    EXPECT_EQ(summary->numberOfCategories(), 4);
    EXPECT_EQ(summary->total_count(), 5);
    EXPECT_EQ(summary->nonmissing_count(), 4);
    auto value = [](const auto &category) { return static_cast<DSNumericColumnCategory *>(category.get())->value(); };
    EXPECT_EQ(value(summary->first_category()), 5);
    EXPECT_EQ(value(summary->last_category()), 3);
    EXPECT_EQ(value(summary->median_category()), 5);
}

TEST_F(DSNumericColumnIndexTest, Hues)
{
    ProbedDataColumn *x = addColumn({2, 3, 4, nan});
    x->setCategoryLabel(QStringLiteral("coloured"), QCborValue(3));
    x->setCategoryLabel(QStringLiteral("plain"), QCborValue(4));
    table()->replaceHueForLabel(QStringLiteral("coloured"), 0.625);
    const QList<double> hues = x->hueIndex();
    ASSERT_EQ(hues.size(), 4);
    unsigned char key[kDSDoubleKeyBytes];
    EXPECT_EQ(hues[0], ds_hue_for_number(key, 2));
    EXPECT_EQ(hues[1], 0.625);
    EXPECT_EQ(hues[2], ds_hue_for_text("plain"));
    EXPECT_TRUE(std::isnan(hues[3]));
}

TEST_F(DSNumericColumnIndexTest, Bins)
{
    ProbedDataColumn *x = addColumn({0, 1, 2.5, 9.9, 10, nan});
    const auto bins = x->binsForMask(nullptr, 0, 4, 2.5, 0, 10, false);
    ASSERT_TRUE(bins.has_value());
    ASSERT_EQ(bins->size(), 3);
    const QVariantMap last = bins->last().toMap();
    EXPECT_EQ(last.value("lower").toDouble(), 7.5);
    EXPECT_EQ(last.value("upper").toDouble(), 10);
    EXPECT_EQ(last.value("count").toLongLong(), 2);
    EXPECT_EQ(last.value("index").toLongLong(), 3);
    EXPECT_EQ(x->binsForMask(nullptr, 0, 4, 2.5, 0, 10, true)->size(), 4);
    EXPECT_FALSE(x->binsForMask(nullptr, 0, 4, 2.5, nan, 10, true).has_value());
    EXPECT_EQ(x->binsForDifferencesOverColumn(x, nullptr, 0, 2, 1, 0, 2, true)->first().toMap().value("count").toLongLong(),
              5);
    const int32_t groups[] = {0, 0, 1, 1, 1, 0};
    const QVariantList perGroup = x->multipleBinsForMask(nullptr, 0, groups, 2, 4, 2.5, 0, 10, false);
    ASSERT_EQ(perGroup.size(), 2);
    EXPECT_EQ(perGroup[1].toList().size(), 2);
}

TEST_F(DSNumericColumnIndexTest, SortedValuesWeightsAndDifferences)
{
    ProbedDataColumn *x = addColumn({2, 1, 2, nan});
    ProbedDataColumn *y = addColumn({1, 1, 5, 0}, QStringLiteral("y"));
    weighBy({1, 3, 2, 8});
    const double *sorted = nullptr;
    const int32_t *rows = nullptr;
    ASSERT_EQ(x->getSortedValues(&sorted, &rows), 3);
    EXPECT_EQ(std::vector<double>(sorted, sorted + 3), (std::vector<double>{1, 2, 2}));
    EXPECT_EQ(std::vector<int32_t>(rows, rows + 3), (std::vector<int32_t>{1, 0, 2}));

    double *values = nullptr;
    int32_t *weights = nullptr;
    ASSERT_EQ(x->getSortedValues(&values, &weights, nullptr, 0), 2);
    EXPECT_EQ(std::vector<double>(values, values + 2), (std::vector<double>{1, 2}));
    EXPECT_EQ(std::vector<int32_t>(weights, weights + 2), (std::vector<int32_t>{3, 3}));
    std::free(values);
    std::free(weights);

    ASSERT_EQ(x->getSortedDifferences(&values, &weights, y, nullptr, 0), 3);
    EXPECT_EQ(std::vector<double>(values, values + 3), (std::vector<double>{-3, 0, 1}));
    EXPECT_EQ(std::vector<int32_t>(weights, weights + 3), (std::vector<int32_t>{2, 3, 1}));
    std::free(values);
    std::free(weights);
}

TEST_F(DSNumericColumnIndexTest, Statistics)
{
    ProbedDataColumn *x = addColumn({1e9 + 1, 1e9 + 2, 1e9 + 3, 1e9 + 4, -5, nan});
    weighBy({2, 1, 1, 0, 3, 4});
    usePredicate(x, "value < 0");
    TestDivisionColumn *d = derivedFrom(x);
    for (DSNumericColumn *column : {static_cast<DSNumericColumn *>(x), static_cast<DSNumericColumn *>(d)}) {
        // Rows 0..2 are used (row 3 weighs 0); row 4 is missing by the
        // predicate only in the stored column, row 5 is NaN in both.
        const ds_stats_s s = column->calculateStatsWithMask(nullptr, 0, 0xF3);
        if (column == x) {
            EXPECT_EQ(s.count, 4);
            EXPECT_EQ(s.missing, 7);
            EXPECT_EQ(s.min, 1e9 + 1);
            EXPECT_EQ(s.max, 1e9 + 3);
            EXPECT_DOUBLE_EQ(s.avg, 1e9 + 1.75);
            EXPECT_DOUBLE_EQ(s.var_biased, 0.6875);
            EXPECT_DOUBLE_EQ(s.var_unbiased, 0.6875 * 4 / 3);
            EXPECT_EQ(s.q1, 1e9 + 1);
            EXPECT_EQ(s.med, 1e9 + 1.5);
            EXPECT_EQ(s.q3, 1e9 + 3);
        } else {
            EXPECT_EQ(s.count, 7);
            EXPECT_EQ(s.missing, 4);
            EXPECT_EQ(s.min, -5);
        }
    }
    // x - x: every used row differs by 0.
    const ds_stats_s same = x->calculateStatsForDifferencesOverColumn(x, nullptr, 0, 0xF3);
    EXPECT_EQ(same.count, 4);
    EXPECT_EQ(same.avg, 0);
    EXPECT_EQ(same.mad, 0);

    ds_stats_s groups[2];
    const int32_t byIndex[] = {0, 1, 1, 0, 0, 9};
    x->calculateMultipleStats(groups, 2, byIndex, nullptr, 0, 0x03);
    EXPECT_EQ(groups[0].count, 2);
    EXPECT_EQ(groups[0].avg, 1e9 + 1);
    EXPECT_EQ(groups[1].count, 2);
    EXPECT_EQ(groups[1].avg, 1e9 + 2.5);
    EXPECT_EQ(groups[1].var_unbiased, 0.5);
}

TEST_F(DSNumericColumnIndexTest, QuantileCutValues)
{
    ProbedDataColumn *ten = addColumn(std::vector<double>(10, 4.5));
    EXPECT_EQ(ten->calculateQuantiles(4), QList<double>{4.5});
    ProbedDataColumn *x = addColumn({1, 1, 2, 2, nan, nan, nan, nan, nan, nan}, QStringLiteral("x"));
    EXPECT_EQ(x->calculateQuantiles(5), (QList<double>{1, 2}));
    weighBy({1, 1, 1, 5, 1, 1, 1, 1, 1, 1});
    EXPECT_EQ(x->calculateQuantiles(2), QList<double>{2});
}

}  // namespace
