// The contingency operations of columns (independence, homogeneity,
// marginal homogeneity) on stored columns under row masks and frequency
// weights, against SciPy, statsmodels and R (fixtures/make_contingency.*).

#include "../model/ColumnsTestSupport.h"
#include "contingency_oracle.h"

#include "model/DSTable.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Values repeated: {{value, times}, ...}.
std::vector<double> repeated(std::initializer_list<std::pair<double, int>> runs)
{
    std::vector<double> values;
    for (const auto &[value, times] : runs)
        values.insert(values.end(), size_t(times), value);
    return values;
}

class DSColumnContingencyTest : public ::testing::Test, public ColumnsFixture
{
protected:
    DSNumericColumn *categories(const std::vector<double> &values, const char *name)
    {
        DSNumericColumn *column = addColumn(values, QString::fromLatin1(name));
        column->setTreat_as_categories(true);
        return column;
    }

    void weighBy(DSColumn *weights)
    {
        table()->setFrequency_weights_column(weights);
        table()->setApply_frequency_weights(true);
    }

    static void expectOracle(double value, qint64 df, const std::string &name)
    {
        const double expected = ds_contingency_oracle(name);
        EXPECT_NEAR(value, expected, 1e-9 * std::fabs(expected)) << name;
        EXPECT_EQ(df, qint64(ds_contingency_oracle(name + "_df"))) << name;
    }
};

TEST_F(DSColumnContingencyTest, IndependenceWithAnEmptyRowUnderTheMask)
{
    // x = 2 lies only in the last five rows, which the mask leaves out.
    std::vector<double> x = repeated({{1, 17}, {3, 21}, {4, 12}, {2, 5}});
    std::vector<double> g = repeated({{1, 12}, {2, 5}, {1, 7}, {2, 14}, {1, 3}, {2, 9}, {1, 3}, {2, 2}});
    DSNumericColumn *column = categories(x, "x");
    DSNumericColumn *covariate = categories(g, "g");
    std::vector<uint8_t> mask((x.size() + 7) / 8, 0);
    for (size_t r = 0; r < 50; ++r)
        mask[r / 8] |= uint8_t(1u << (r % 8));
    qint64 df = -7;
    const double chiSquare = column->calculateIndependence(covariate, {}, &df, mask.data(), qint64(mask.size()));
    expectOracle(chiSquare, df, "chisq_empty_row");

    // A numeric column that is not treated as categories has no such test.
    column->setTreat_as_categories(false);
    df = -7;
    EXPECT_TRUE(std::isnan(column->calculateIndependence(covariate, {}, &df, nullptr, 0)));
    EXPECT_EQ(df, -7);
}

TEST_F(DSColumnContingencyTest, HomogeneityAcrossColumns)
{
    // The counts of the test above, one column a group.
    DSNumericColumn *a = categories(repeated({{1, 12}, {3, 7}, {4, 3}, {NAN, 4}}), "a");
    DSNumericColumn *b = categories(repeated({{1, 5}, {3, 14}, {4, 9}}), "b");
    qint64 df = -7;
    const double chiSquare = DSColumn::calculateIndependence({a, b}, &df, nullptr, 0);
    expectOracle(chiSquare, df, "chisq_empty_row");
    df = -7;
    EXPECT_TRUE(std::isnan(DSColumn::calculateIndependence({}, &df, nullptr, 0)));
    EXPECT_EQ(df, 0);
}

TEST_F(DSColumnContingencyTest, McNemarAndStuartMaxwell)
{
    // McNemar: expanded rows, then the same four cells as weighted rows.
    DSNumericColumn *before = categories(repeated({{1, 45}, {2, 55}}), "before");
    DSNumericColumn *after = categories(repeated({{1, 30}, {2, 15}, {1, 5}, {2, 50}}), "after");
    qint64 df = -7;
    const double statistic = DSColumn::calculateMarginalHomogeneity({before, after}, &df, nullptr, 0);
    expectOracle(statistic, df, "mcnemar");
    EXPECT_DOUBLE_EQ(statistic, 5);
    EXPECT_TRUE(std::isnan(DSColumn::calculateMarginalHomogeneity({before}, &df, nullptr, 0)));
}

TEST_F(DSColumnContingencyTest, WeightedStuartMaxwell)
{
    const std::vector<double> cells = {20, 5, 3, 8, 30, 4, 2, 6, 25};
    std::vector<double> first, second;
    for (int i = 0; i < 9; ++i) {
        first.push_back(i / 3 + 1);
        second.push_back(i % 3 + 1);
    }
    DSNumericColumn *a = categories(first, "a");
    DSNumericColumn *b = categories(second, "b");
    weighBy(addColumn(cells, QStringLiteral("w")));
    qint64 df = -7;
    const double statistic = DSColumn::calculateMarginalHomogeneity({a, b}, &df, nullptr, 0);
    expectOracle(statistic, df, "stuart_maxwell_3");
}

TEST_F(DSColumnContingencyTest, CochransQ)
{
    const int answers[12][4] = {{1, 1, 0, 1}, {1, 0, 0, 0}, {1, 1, 1, 1}, {0, 0, 0, 1}, {1, 1, 0, 0}, {1, 0, 0, 1},
                                {0, 1, 0, 0}, {1, 1, 1, 0}, {1, 0, 0, 0}, {0, 0, 0, 0}, {1, 1, 0, 1}, {1, 0, 1, 0}};
    QList<DSColumn *> items;
    for (int j = 0; j < 4; ++j) {
        std::vector<double> values;
        for (const auto &row : answers)
            values.push_back(row[j]);
        items.append(categories(values, "item"));
    }
    qint64 df = -7;
    const double q = DSColumn::calculateBinaryMarginalHomogeneity(items, &df, nullptr, 0);
    expectOracle(q, df, "cochran_q");

    // Every row answering all items alike: nothing varies, NaN.
    QList<DSColumn *> alike(3, items[0]);
    EXPECT_TRUE(std::isnan(DSColumn::calculateBinaryMarginalHomogeneity(alike, &df, nullptr, 0)));
    // The per-row counter is one byte: 256 columns are refused.
    QList<DSColumn *> many(256, items[0]);
    df = -7;
    EXPECT_TRUE(std::isnan(DSColumn::calculateBinaryMarginalHomogeneity(many, &df, nullptr, 0)));
    EXPECT_EQ(df, -7);
    QList<DSColumn *> most(255, items[0]);
    most[0] = items[1];
    EXPECT_TRUE(std::isfinite(DSColumn::calculateBinaryMarginalHomogeneity(most, &df, nullptr, 0)));
}

}  // namespace
