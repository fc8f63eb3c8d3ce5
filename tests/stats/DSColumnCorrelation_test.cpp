// Indicator columns (index, statistics, summary) and the correlations of
// numeric and indicator columns, weighted and not, against R
// (fixtures/make_contingency.R).

#include "../model/ColumnsTestSupport.h"
#include "../model/TestColumns.h"
#include "contingency_oracle.h"

#include "model/DSColumnSummary.h"
#include "model/DSNumericColumnCategory.h"
#include "model/DSTable.h"
#include "model/DSTextColumnCategory.h"
#include "model/util/ds_colors.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Value bits of rows, '1' TRUE, '0' FALSE, 'm' missing.
void setRows(TestIndicatorColumn *column, const std::string &rows)
{
    column->bits.assign((rows.size() + 7) / 8, 0);
    column->missing.assign((rows.size() + 7) / 8, 0);
    for (size_t r = 0; r < rows.size(); ++r) {
        if (rows[r] == '1')
            column->bits[r / 8] |= uint8_t(1u << (r % 8));
        if (rows[r] == 'm')
            column->missing[r / 8] |= uint8_t(1u << (r % 8));
    }
}

class DSColumnCorrelationTest : public ::testing::Test, public ColumnsFixture
{
protected:
    void SetUp() override
    {
        DSObjectFactory::registerClass<TestIndicatorColumn>(QStringLiteral("DSIndicatorLocalColumn"));
    }

    TestIndicatorColumn *indicator(const std::string &rows, const char *name = "i")
    {
        if (table()->num_records() < qint64(rows.size()))
            table()->setNum_records(qint64(rows.size()));
        auto *column = addColumnOfEntity<TestIndicatorColumn>("DSIndicatorLocalColumn", QString::fromLatin1(name));
        setRows(column, rows);
        return column;
    }

    static void expectNear(double value, const char *name, double tolerance = 1e-12)
    {
        const double expected = ds_contingency_oracle(name);
        EXPECT_NEAR(value, expected, tolerance * std::max(1.0, std::fabs(expected))) << name;
    }
};

TEST_F(DSColumnCorrelationTest, IndicatorIndexAndStatistics)
{
    TestIndicatorColumn *column = indicator("110m");
    const float *index = nullptr;
    ASSERT_EQ(column->getIndex(&index), 3);
    EXPECT_EQ(index[0], 0);
    EXPECT_EQ(index[1], 1);
    EXPECT_TRUE(std::isnan(index[2]));
    EXPECT_EQ(column->numberOfUniqueValues(), 3);
    const int32_t *positions = nullptr;
    qint64 bins = 0;
    ASSERT_EQ(column->getIndexedValues(&positions, &bins), 4);
    EXPECT_EQ(std::vector<int32_t>(positions, positions + 4), (std::vector<int32_t>{1, 1, 0, 2}));
    EXPECT_EQ(bins, 3);
    EXPECT_TRUE(column->treat_as_categories());
    EXPECT_EQ(column->category_labels().value(QStringLiteral("1")).toString(), QStringLiteral("TRUE"));
    // Hues follow the labels, or the keys without labels.
    const QList<double> hues = column->hueIndex();
    ASSERT_EQ(hues.size(), 3);
    EXPECT_EQ(hues[0], ds_hue_for_text("FALSE"));
    EXPECT_EQ(hues[1], ds_hue_for_text("TRUE"));
    EXPECT_TRUE(std::isnan(hues[2]));
    column->setCategory_labels({});
    EXPECT_EQ(column->hueIndex()[1], ds_hue_for_text("1"));

    setRows(column, "1101");
    EXPECT_EQ(column->numberOfBins(), 2);
    struct Case
    {
        const char *rows;
        double min, max, avg, var_biased, var_unbiased, q1, med, q3;
        qint64 count;
    } cases[] = {
        {"1101", 0, 1, 0.75, 0.1875, 0.25, 0.5, 1, 1, 4},
        {"1100", 0, 1, 0.5, 0.25, 1.0 / 3, 0, 0.5, 1, 4},
        {"m111", 1, 1, 1, 0, 0, 1, 1, 1, 3},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.rows);
        setRows(column, c.rows);
        const ds_stats_s s = column->calculateStatsWithMask(nullptr, 0);
        EXPECT_EQ(s.min, c.min);
        EXPECT_EQ(s.max, c.max);
        EXPECT_DOUBLE_EQ(s.avg, c.avg);
        EXPECT_DOUBLE_EQ(s.var_biased, c.var_biased);
        EXPECT_DOUBLE_EQ(s.var_unbiased, c.var_unbiased);
        EXPECT_EQ(s.q1, c.q1);
        EXPECT_EQ(s.med, c.med);
        EXPECT_EQ(s.q3, c.q3);
        EXPECT_EQ(s.count, c.count);
    }
    // No bit can be read: every row FALSE, none missing.
    column->bits.clear();
    column->missing.clear();
    EXPECT_EQ(column->getIndex(&index), 1);
    EXPECT_EQ(column->calculateStatsWithMask(nullptr, 0).avg, 0);
}

TEST_F(DSColumnCorrelationTest, IndicatorSummary)
{
    TestIndicatorColumn *column = indicator("0001m");
    auto summary = column->summaryForMask(nullptr, 0, 0.05);
    ASSERT_TRUE(summary);
    EXPECT_DOUBLE_EQ(summary->equal_counts_chi_square(), 1.0);
    EXPECT_EQ(summary->total_count(), 5);
    EXPECT_EQ(summary->nonmissing_count(), 4);
    ASSERT_EQ(summary->categories().size(), 3);
    EXPECT_EQ(summary->median_category(), summary->categories()[0]);
    const auto &missing = static_cast<const DSTextColumnCategory &>(*summary->categories()[2]);
    EXPECT_TRUE(missing.is_missing());
    EXPECT_EQ(missing.value(), QStringLiteral("Missing"));
    EXPECT_NEAR(summary->categories()[0]->proportion_lower_ci() + summary->categories()[1]->proportion_upper_ci(), 1,
                1e-15);

    setRows(column, "001");
    const uint8_t firstThree = 0x07;
    summary = column->summaryForMask(&firstThree, 1, NAN);
    EXPECT_DOUBLE_EQ(summary->equal_counts_chi_square(), 1.0 / 3);
    EXPECT_EQ(summary->categories().size(), 2);
    EXPECT_TRUE(std::isnan(summary->proportion_lower_ci_total()));
}

// Ten rows: two indicators, values, values near 7 x 10^8, groups and weights.
class CorrelationTable : public DSColumnCorrelationTest
{
protected:
    void SetUp() override
    {
        DSColumnCorrelationTest::SetUp();
        I = indicator("1011010011", "I");
        J = indicator("1001011010", "J");
        y = addColumn({2.5, 1.0, 3.7, 4.1, 0.5, 2.2, 1.9, 0.3, 3.3, 2.8}, QStringLiteral("y"));
        std::vector<double> xs;
        for (double d : {3, 1, 4, 1, 5, 9, 2, 6, 5, 3})
            xs.push_back(7e8 + d * 1e3);
        x = addColumn(xs, QStringLiteral("x"));
        g = addColumn({1, 2, 2, 3, 1, 2, 3, 3, 2, 1}, QStringLiteral("g"));
        g->setTreat_as_categories(true);
        w = addColumn({1, 2, 1, 3, 1, 1, 2, 1, 1, 2}, QStringLiteral("w"));
        table()->setFrequency_weights_column(w);
    }

    void weighted(bool on) { table()->setApply_frequency_weights(on); }

    // The category of g's second index entry (the value 2).
    std::shared_ptr<DSColumnCategory> gEquals2() const
    {
        auto category = std::make_shared<DSNumericColumnCategory>(nullptr);
        category->setColumn(g);
        category->setIndex(1);
        category->setValue(2);
        return category;
    }

    TestIndicatorColumn *I = nullptr, *J = nullptr;
    DSNumericColumn *y = nullptr, *x = nullptr, *g = nullptr, *w = nullptr;
};

TEST_F(CorrelationTable, PhiAndPointBiserialEqualR)
{
    weighted(false);
    const ds_corr_s phi = I->calculateCorrelation(J, nullptr, 0);
    expectNear(phi.correlation, "phi");
    expectNear(phi.z_score, "phi_z");
    expectNear(phi.p_value, "phi_p", 1e-9);
    EXPECT_EQ(phi.count, 10);
    const ds_corr_s pb = I->calculateCorrelation(y, nullptr, 0);
    expectNear(pb.correlation, "point_biserial");
    expectNear(pb.covariance, "point_biserial_cov");
    // Asked from the numeric side, the indicator answers.
    const ds_corr_s other = y->calculateCorrelation(I, nullptr, 0);
    EXPECT_EQ(ds_bits(other.correlation), ds_bits(pb.correlation));
    EXPECT_EQ(ds_bits(other.covariance), ds_bits(pb.covariance));
    // Equal indicators correlate perfectly.
    EXPECT_DOUBLE_EQ(I->calculateCorrelation(I, nullptr, 0).correlation, 1);
}

TEST_F(CorrelationTable, WeightedCorrelationsEqualROnRepeatedRows)
{
    weighted(true);
    expectNear(I->calculateCorrelation(J, nullptr, 0).correlation, "phi_weighted");
    expectNear(I->calculateCorrelation(y, nullptr, 0).correlation, "point_biserial_weighted");
    const ds_corr_s r = x->calculateCorrelation(y, nullptr, 0);
    expectNear(r.correlation, "pearson_weighted", 1e-10);
    expectNear(r.covariance, "pearson_weighted_cov", 1e-9);
    expectNear(r.p_value, "pearson_weighted_p", 1e-9);
    EXPECT_EQ(r.count, 15);
    const ds_corr_s c = y->calculateCategoryCorrelation(gEquals2().get(), nullptr, 0);
    expectNear(c.correlation, "category_weighted");
    expectNear(c.covariance, "category_weighted_cov");

    const int32_t *groups = nullptr;
    ASSERT_EQ(g->getIndexedValues(&groups, nullptr), 10);
    ds_corr_s each[3];
    ASSERT_TRUE(y->calculateMultipleCorrelations(each, 3, groups, nullptr, 0));
    expectNear(each[0].correlation, "group_1_weighted");
    expectNear(each[1].correlation, "group_2_weighted");
    expectNear(each[2].correlation, "group_3_weighted");
    EXPECT_FALSE(y->calculateMultipleCorrelations(each, 0, groups, nullptr, 0));
    expectNear(I->calculateCategoryCorrelation(gEquals2().get(), nullptr, 0).correlation, "indicator_group_2_weighted");
    ASSERT_TRUE(I->calculateMultipleCorrelations(each, 3, groups, nullptr, 0));
    expectNear(each[1].correlation, "indicator_group_2_weighted");
}

TEST_F(CorrelationTable, ColumnsWithoutACorrelation)
{
    weighted(false);
    DSColumn *text = addTextColumn({"a", "b"});
    for (DSColumn *column : std::initializer_list<DSColumn *>{I, y}) {
        const ds_corr_s none = column->calculateCorrelation(text, nullptr, 0);
        EXPECT_TRUE(std::isnan(none.correlation));
        EXPECT_EQ(none.covariance, 0);
        EXPECT_EQ(none.count, 0);
    }
    // A receiver treated as categories.
    const ds_corr_s asCategories = g->calculateCorrelation(y, nullptr, 0);
    EXPECT_TRUE(std::isnan(asCategories.correlation) && std::isnan(asCategories.p_value));
    EXPECT_EQ(asCategories.count, 0);
    const ds_corr_s category = g->calculateCategoryCorrelation(gEquals2().get(), nullptr, 0);
    EXPECT_TRUE(std::isnan(category.correlation));
    EXPECT_EQ(category.p_value, 0);
    // Every used row in the category: r NaN.
    std::vector<uint8_t> mask = {0x26};  // rows 1, 2, 5: all g = 2
    EXPECT_TRUE(std::isnan(y->calculateCategoryCorrelation(gEquals2().get(), mask.data(), 1).correlation));
}

TEST_F(DSColumnCorrelationTest, SmallExamples)
{
    DSNumericColumn *x = addColumn({1, 2, 3, 4}, QStringLiteral("x"));
    DSNumericColumn *y = addColumn({2, 4, 6, 8}, QStringLiteral("y"));
    const ds_corr_s r = x->calculateCorrelation(y, nullptr, 0);
    EXPECT_DOUBLE_EQ(r.correlation, 1);
    EXPECT_NEAR(r.covariance, 10.0 / 3, 1e-12);
    EXPECT_EQ(r.count, 4);
    EXPECT_DOUBLE_EQ(r.r_squared, 1);
    DSNumericColumn *half = addColumn({0, 0, 1, 1}, QStringLiteral("h"));
    half->setTreat_as_categories(true);
    auto last = std::make_shared<DSNumericColumnCategory>(nullptr);
    last->setColumn(half);
    last->setIndex(1);
    const ds_corr_s c = x->calculateCategoryCorrelation(last.get(), nullptr, 0);
    EXPECT_NEAR(c.correlation, 0.894427191, 1e-9);
    EXPECT_NEAR(c.covariance, 2.0 / 3, 1e-12);
}

}  // namespace
