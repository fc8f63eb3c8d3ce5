// The rank, distribution and variance tests of numeric columns, on stored
// columns of a table: against R (fixtures/make_column_tests.R, weighted rows
// repeated as R sees them) and the hand-worked cases.
#include "ColumnsTestSupport.h"
#include "../stats/fixture_lines.h"

#include "model/DSNumericPartition.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();

class DSNumericColumnTestsTest : public ::testing::Test, public ColumnsFixture
{
protected:
    using Columns = DSNumericColumn::Columns;

    // Category columns holding the groups.
    DSNumericColumn *covariate(const std::vector<double> &groups, const QString &name)
    {
        DSNumericColumn *column = addColumn(groups, name);
        column->setTreat_as_categories(true);
        return column;
    }
    void weigh(const std::vector<double> &weights)
    {
        DSColumn *column = addColumn(weights, QStringLiteral("w"));
        table()->setFrequency_weights_column(column);
        table()->setApply_frequency_weights(true);
    }
};

// One fixture line: test;statistic;df1;df2;k;values row by row;a;b;weights.
struct FixtureCase
{
    std::string test;
    double statistic;
    qint64 df1, df2;
    std::vector<std::vector<double>> columns;
    std::vector<double> a, b, weights;
};

std::vector<FixtureCase> readCases()
{
    std::vector<FixtureCase> cases;
    for (const auto &f : ds_fixture_lines("column_tests.txt")) {
        FixtureCase c;
        c.test = f.at(0);
        c.statistic = std::stod(f.at(1));
        c.df1 = std::stoll(f.at(2));
        c.df2 = std::stoll(f.at(3));
        c.columns = ds_fixture_columns(ds_fixture_list<double>(f.at(5)), std::stoll(f.at(4)));
        c.a = ds_fixture_list<double>(f.at(6));
        c.b = ds_fixture_list<double>(f.at(7));
        c.weights = ds_fixture_list<double>(f.at(8));
        cases.push_back(std::move(c));
    }
    return cases;
}

TEST(DSNumericColumnTests, EqualR)
{
    ds_columns_test_setup();
    const std::vector<FixtureCase> cases = readCases();
    ASSERT_GT(cases.size(), 400u);
    int line = 0;
    for (const FixtureCase &c : cases) {
        ++line;
        ColumnsFixture f;
        DSNumericColumn::Columns columns;
        for (size_t j = 0; j < c.columns.size(); ++j)
            columns.append(f.addColumn(c.columns[j], QStringLiteral("y%1").arg(j)));
        DSNumericColumn *y = columns.first();
        DSNumericColumn *a = nullptr, *b = nullptr;
        if (!c.a.empty()) {
            a = f.addColumn(c.a, QStringLiteral("a"));
            a->setTreat_as_categories(true);
        }
        if (!c.b.empty()) {
            b = f.addColumn(c.b, QStringLiteral("b"));
            b->setTreat_as_categories(true);
        }
        DSColumn *w = f.addColumn(c.weights, QStringLiteral("w"));
        f.table()->setFrequency_weights_column(w);
        f.table()->setApply_frequency_weights(true);

        qint64 df1 = -7, df2 = -7;
        double statistic = nan;
        bool secondDf = true;
        if (c.test == "kw_covariate") {
            statistic = y->calculateKruskalWallis(a, {}, &df1, nullptr, 0);
            secondDf = false;
        } else if (c.test == "kw_columns") {
            statistic = DSNumericColumn::calculateKruskalWallis(columns, &df1, nullptr, 0);
            secondDf = false;
        } else if (c.test == "ks_covariate") {
            statistic = y->calculateKolmogorovSmirnov(a, {}, &df1, nullptr, 0);
            secondDf = false;
        } else if (c.test == "ks_columns") {
            statistic = DSNumericColumn::calculateKolmogorovSmirnov(columns, &df1, nullptr, 0);
            secondDf = false;
        } else if (c.test == "anova_covariate") {
            statistic = y->calculateANOVA(a, {}, &df1, &df2, nullptr, 0);
        } else if (c.test == "anova_columns") {
            statistic = DSNumericColumn::calculateNonRepeatedMeasuresANOVA(columns, &df1, &df2, nullptr, 0);
        } else if (c.test == "two_way") {
            statistic = y->calculateTwoWayANOVA(a, {}, b, {}, &df1, &df2, nullptr, 0);
        } else if (c.test == "friedman") {
            statistic = DSNumericColumn::calculateFriedmanTest(columns, &df1, &df2, nullptr, 0);
        } else if (c.test == "repeated") {
            statistic = DSNumericColumn::calculateRepeatedMeasuresANOVA(columns, &df1, &df2, nullptr, 0);
        } else if (c.test == "wilcoxon") {
            statistic = DSNumericColumn::calculateWilcoxonSignedRank(columns, &df1, nullptr, 0);
            secondDf = false;
        } else {
            ADD_FAILURE() << "unknown test " << c.test;
            continue;
        }
        if (std::isnan(c.statistic)) {
            EXPECT_TRUE(std::isnan(statistic)) << c.test;
        } else if (std::isinf(c.statistic)) {
            EXPECT_EQ(statistic, c.statistic) << c.test << " on line " << line;
        } else {
            EXPECT_NEAR(statistic, c.statistic, 1e-9 * std::max(1.0, std::fabs(c.statistic)))
                << c.test << " on line " << line;
        }
        EXPECT_EQ(df1, c.df1) << c.test;
        if (secondDf) {
            EXPECT_EQ(df2, c.df2) << c.test;
        }
    }
}

TEST_F(DSNumericColumnTestsTest, RankTestsWorkedCases)
{
    DSNumericColumn *x = addColumn({1, 2, 3, 4, 5, 6}, QStringLiteral("x"));
    DSNumericColumn *g = covariate({0, 0, 0, 1, 1, 1}, QStringLiteral("g"));
    DSNumericColumn *first = addColumn({1, 2, 3, nan, nan, nan}, QStringLiteral("first"));
    DSNumericColumn *second = addColumn({4, 5, 6, nan, nan, nan}, QStringLiteral("second"));
    qint64 df = -1;
    EXPECT_NEAR(x->calculateKruskalWallis(g, {}, &df, nullptr, 0), 3.857142857, 1e-9);
    EXPECT_EQ(df, 1);
    EXPECT_NEAR(DSNumericColumn::calculateKruskalWallis({first, second}, &df, nullptr, 0), 3.857142857, 1e-9);
    EXPECT_EQ(df, 1);

    // No row used: NaN with df 0 (the class operation) or df untouched.
    const uint8_t none = 0;
    df = -1;
    EXPECT_TRUE(std::isnan(DSNumericColumn::calculateKruskalWallis({first, second}, &df, &none, 0)));
    EXPECT_EQ(df, 0);
    df = -1;
    EXPECT_TRUE(std::isnan(x->calculateKruskalWallis(g, {}, &df, &none, 0)));
    EXPECT_EQ(df, -1);

    // Every row of weight 2.
    weigh({2, 2, 2, 2, 2, 2});
    EXPECT_NEAR(x->calculateKruskalWallis(g, {}, &df, nullptr, 0), 8.485714286, 1e-9);
    EXPECT_NEAR(DSNumericColumn::calculateKruskalWallis({first, second}, &df, nullptr, 0), 8.485714286, 1e-9);
}

TEST_F(DSNumericColumnTestsTest, KruskalWallisOfTiedValuesIsNaN)
{
    DSNumericColumn *x = addColumn({4, 4, 4, 4}, QStringLiteral("x"));
    DSNumericColumn *g = covariate({0, 1, 0, 1}, QStringLiteral("g"));
    EXPECT_TRUE(std::isnan(x->calculateKruskalWallis(g, {}, nullptr, nullptr, 0)));
}

TEST_F(DSNumericColumnTestsTest, KolmogorovSmirnovTakesSixteenGroupsAtMost)
{
    std::vector<double> values, groups17, groups16;
    for (int i = 0; i < 68; ++i) {
        values.push_back(double((i * 37) % 23));
        groups17.push_back(i % 17);
        groups16.push_back(i % 16);
    }
    DSNumericColumn *x = addColumn(values, QStringLiteral("x"));
    DSNumericColumn *g17 = covariate(groups17, QStringLiteral("g17"));
    DSNumericColumn *g16 = covariate(groups16, QStringLiteral("g16"));
    qint64 df = -1;
    EXPECT_TRUE(std::isnan(x->calculateKolmogorovSmirnov(g17, {}, &df, nullptr, 0)));
    EXPECT_EQ(df, -1) << "df unwritten";
    EXPECT_TRUE(std::isfinite(x->calculateKolmogorovSmirnov(g16, {}, &df, nullptr, 0)));
    EXPECT_EQ(df, 15);
    // The same groups as sixteen columns give the same statistic: the
    // per-row entries in ascending order and the runs in closing order are
    // one multiset.
    DSNumericColumn::Columns columns;
    for (int j = 0; j < 16; ++j) {
        std::vector<double> own(values.size(), nan);
        for (size_t i = 0; i < values.size(); ++i)
            if (int(groups16[i]) == j)
                own[i] = values[i];
        columns.append(addColumn(own, QStringLiteral("c%1").arg(j)));
    }
    EXPECT_NEAR(DSNumericColumn::calculateKolmogorovSmirnov(columns, &df, nullptr, 0),
                x->calculateKolmogorovSmirnov(g16, {}, nullptr, nullptr, 0), 1e-9);
}

// Two rows of weight 2e9 tie within one group: their run weighs more than
// an int32 and still counts whole. T = W0 W1 / (W0 + W1).
TEST_F(DSNumericColumnTestsTest, KolmogorovSmirnovOfAHeavyRun)
{
    DSNumericColumn *x = addColumn({1, 1, 2}, QStringLiteral("x"));
    DSNumericColumn *g = covariate({0, 0, 1}, QStringLiteral("g"));
    weigh({2e9, 2e9, 1});
    EXPECT_NEAR(x->calculateKolmogorovSmirnov(g, {}, nullptr, nullptr, 0), 4e9 / (4e9 + 1), 1e-12);
}

TEST_F(DSNumericColumnTestsTest, WilcoxonRanksEachRowOnce)
{
    DSNumericColumn *x = addColumn({0, 0, 0, 5}, QStringLiteral("x"));
    DSNumericColumn *y = addColumn({1, -2, 3, 5}, QStringLiteral("y"));
    qint64 count = -1;
    EXPECT_DOUBLE_EQ(DSNumericColumn::calculateWilcoxonSignedRank({x, y}, &count, nullptr, 0), 2);
    EXPECT_EQ(count, 3);
    // A weight multiplies the signed rank and leaves the ranking alone:
    // 3 x 1 - 2 + 3 = 4, where three copies of the first row would give
    // ranks 2, 2, 2, -4, 5: |6 - 4 + 5| = 7.
    weigh({3, 1, 1, 1});
    EXPECT_DOUBLE_EQ(DSNumericColumn::calculateWilcoxonSignedRank({x, y}, &count, nullptr, 0), 4);
    EXPECT_EQ(count, 5);

    count = -1;
    EXPECT_TRUE(std::isnan(DSNumericColumn::calculateWilcoxonSignedRank({x, x}, &count, nullptr, 0)));
    EXPECT_EQ(count, -1) << "every pair equal";
    EXPECT_TRUE(std::isnan(DSNumericColumn::calculateWilcoxonSignedRank({x}, &count, nullptr, 0)));
    DSNumericColumn *shorter = addColumn({1, 2}, QStringLiteral("short"));
    EXPECT_TRUE(std::isnan(DSNumericColumn::calculateWilcoxonSignedRank({x, shorter}, &count, nullptr, 0)));
}

TEST_F(DSNumericColumnTestsTest, FriedmanAndRemainingRows)
{
    DSNumericColumn *a = addColumn({5, 6, 7}, QStringLiteral("a"));
    DSNumericColumn *b = addColumn({1, 2, 3}, QStringLiteral("b"));
    qint64 df1 = -1, df2 = -1;
    EXPECT_TRUE(std::isinf(DSNumericColumn::calculateFriedmanTest({a, b}, &df1, &df2, nullptr, 0)));
    EXPECT_EQ(df1, 1);
    EXPECT_EQ(df2, 2);

    std::unique_ptr<uint8_t[]> remaining;
    EXPECT_EQ(DSNumericColumn::getRemainingMask(&remaining, {a, b}, nullptr, 0), 0);
    EXPECT_EQ(remaining, nullptr) << "every row remains";

    DSNumericColumn *gap = addColumn({1, nan, 3}, QStringLiteral("gap"));
    EXPECT_EQ(DSNumericColumn::getRemainingMask(&remaining, {a, gap}, nullptr, 0), 1);
    ASSERT_NE(remaining, nullptr);
    EXPECT_EQ(remaining[0] & 7, 0b101);
    const uint8_t firstTwo = 0b011;
    EXPECT_EQ(DSNumericColumn::getRemainingMask(&remaining, {a, gap}, &firstTwo, 1), 1);
    EXPECT_EQ(remaining[0] & 7, 0b001);
}

TEST_F(DSNumericColumnTestsTest, AnalysesOfVarianceWorkedCases)
{
    DSNumericColumn *y = addColumn({1, 2, 3, 4, 5, 6}, QStringLiteral("y"));
    DSNumericColumn *g = covariate({0, 0, 0, 1, 1, 1}, QStringLiteral("g"));
    DSNumericColumn *first = addColumn({1, 2, 3, nan, nan, nan}, QStringLiteral("first"));
    DSNumericColumn *second = addColumn({4, 5, 6, nan, nan, nan}, QStringLiteral("second"));
    qint64 df1 = -1, df2 = -1;
    EXPECT_NEAR(y->calculateANOVA(g, {}, &df1, &df2, nullptr, 0), 13.5, 1e-12);
    EXPECT_EQ(df1, 1);
    EXPECT_EQ(df2, 4);
    df1 = df2 = -1;
    EXPECT_NEAR(DSNumericColumn::calculateNonRepeatedMeasuresANOVA({first, second}, &df1, &df2, nullptr, 0), 13.5,
                1e-12);
    EXPECT_EQ(df1, 1);
    EXPECT_EQ(df2, 4);
    EXPECT_TRUE(std::isnan(DSNumericColumn::calculateNonRepeatedMeasuresANOVA({first}, &df1, &df2, nullptr, 0)));

    // Repeated measures: 1, 2, 3 against 2, 4, 6; the fourth row is missing
    // in one column and so left out of both.
    DSNumericColumn *before = addColumn({1, 2, 3, 9, nan, nan}, QStringLiteral("before"));
    DSNumericColumn *after = addColumn({2, 4, 6, nan, nan, nan}, QStringLiteral("after"));
    df1 = df2 = -1;
    EXPECT_NEAR(DSNumericColumn::calculateRepeatedMeasuresANOVA({before, after}, &df1, &df2, nullptr, 0), 12, 1e-12);
    EXPECT_EQ(df1, 1);
    EXPECT_EQ(df2, 2);
    const uint8_t none = 0;
    df1 = -1;
    EXPECT_TRUE(std::isnan(DSNumericColumn::calculateRepeatedMeasuresANOVA({before, after}, &df1, &df2, &none, 0)));
    EXPECT_EQ(df1, -1) << "no row remains: nothing written";
}

TEST_F(DSNumericColumnTestsTest, TwoWayInteraction)
{
    DSNumericColumn *y = addColumn({1, 3, 5, 7, 2, 4, 10, 12}, QStringLiteral("y"));
    DSNumericColumn *a = covariate({0, 0, 1, 1, 0, 0, 1, 1}, QStringLiteral("a"));
    DSNumericColumn *b = covariate({0, 0, 0, 0, 1, 1, 1, 1}, QStringLiteral("b"));
    qint64 df1 = -1, df2 = -1;
    EXPECT_NEAR(y->calculateTwoWayANOVA(a, {}, b, {}, &df1, &df2, nullptr, 0), 4, 1e-12);
    EXPECT_EQ(df1, 1);
    EXPECT_EQ(df2, 4);
    // One row per cell.
    const uint8_t oddRows = 0b01010101;
    EXPECT_TRUE(std::isnan(y->calculateTwoWayANOVA(a, {}, b, {}, &df1, &df2, &oddRows, 1)));
}

// A numeric covariate not treated as categories groups its rows by its
// covariate partition: fixed widths of 2 over [0, 10] cut at 2, 4, 6, 8.
TEST_F(DSNumericColumnTestsTest, CovariateGroupsComeFromThePartition)
{
    DSNumericColumn *x = addColumn({0, 1, 2, 3, 5, 7, 9, 10, nan}, QStringLiteral("x"));
    x->makeDependencies();
    auto *partition = ds_object_cast<DSNumericPartition>(x->covariate_partition());
    ASSERT_NE(partition, nullptr);
    partition->setPartition_type(1);
    partition->setFixed_width_resolution_level(2);
    const int32_t *groups = nullptr;
    qint64 bins = 0;
    ASSERT_EQ(x->getCovariateIndexedValues(&groups, &bins, {}, nullptr, 0), 9);
    EXPECT_EQ(bins, 5);
    EXPECT_EQ(std::vector<int32_t>(groups, groups + 9), (std::vector<int32_t>{0, 0, 1, 1, 2, 3, 4, 4, 5}));
    // Under a mask, rows outside it get the group past the last.
    const uint8_t firstRows[] = {0b00001111, 0};
    x->getCovariateIndexedValues(&groups, &bins, {}, firstRows, 2);
    EXPECT_EQ(groups[4], 5);
    EXPECT_EQ(groups[3], 1);

    // The descriptive statistics per group through the partition.
    DSNumericColumn *y = addColumn({10, 20, 30, 40, 50, 60, 70, 80, 90}, QStringLiteral("y"));
    x->getCovariateIndexedValues(&groups, &bins, {}, nullptr, 0);
    std::vector<ds_stats_s> stats(static_cast<size_t>(bins));
    y->calculateMultipleStats(stats.data(), bins, groups, nullptr, 0, 2);
    EXPECT_EQ(stats[0].count, 2);
    EXPECT_DOUBLE_EQ(stats[0].avg, 15);
    EXPECT_EQ(stats[4].count, 2);
    EXPECT_DOUBLE_EQ(stats[4].avg, 75);

    // The tests through the same groups: Kruskal-Wallis of y by the five
    // intervals equals the test of y by the interval numbers as categories.
    DSNumericColumn *intervals = covariate({0, 0, 1, 1, 2, 3, 4, 4, nan}, QStringLiteral("i"));
    qint64 df = -1, categoryDf = -2;
    EXPECT_DOUBLE_EQ(y->calculateKruskalWallis(x, {}, &df, nullptr, 0),
                     y->calculateKruskalWallis(intervals, {}, &categoryDf, nullptr, 0));
    EXPECT_EQ(df, categoryDf);
}

}  // namespace
