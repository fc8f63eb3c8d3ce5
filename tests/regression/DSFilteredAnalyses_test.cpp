// Statistics, a pivot and a least-squares fit under a table's filter set,
// computed with no window: the rows come from the table's own row mask.
// 100,000 generated rows with a year filter and a category filter, against
// R on the same subset (fixtures/make_filtered_analyses.R, which holds the
// same formulas).
#include "RegressionTestSupport.h"

#include "../pivot/PivotTestSupport.h"

#include "filter/DSTableFilter.h"
#include "filter/DSTableFilterSet.h"
#include "model/DSTableRowMasks.h"
#include "regression/DSRegression.h"
#include "tests/varrow/vrw_test_support.h"

#include <map>
#include <string>

namespace {

constexpr int64_t k_rows = 100000;

std::map<std::string, double> rValues()
{
    std::map<std::string, double> values;
    for (const auto &row : vrw_test_read_csv(std::string(OSTREL_TEST_SOURCE_DIR) + "/fixtures/filtered_analyses.csv"))
        values[row.at("what")] = std::stod(row.at("value"));
    return values;
}

class FilteredAnalysesTest : public RegressionTest
{
protected:
    void SetUp() override
    {
        RegressionTest::SetUp();
        DSTableFilterSet::registerRowFilters();
        std::vector<double> t(k_rows), g(k_rows), x(k_rows), y(k_rows);
        for (int64_t i = 0; i < k_rows; ++i) {
            t[size_t(i)] = i % 97 == 0 ? NAN : -3e8 + double(ds_hashed(i, 2654435761, 4294967296)) * 0.25;
            g[size_t(i)] = double(ds_hashed(i, 40503, 7));
            x[size_t(i)] = i % 101 == 0 ? NAN : double(ds_hashed(i, 7919, 1000)) / 10;
            y[size_t(i)] = 2 + 0.5 * x[size_t(i)] + g[size_t(i)] + (double(ds_hashed(i, 104729, 1000)) - 499.5) / 100;
        }
        dates = times(QStringLiteral("t"), t);
        groups = numeric(QStringLiteral("g"), g);
        groups->setTreat_as_categories(true);
        xs = numeric(QStringLiteral("x"), x);
        ys = numeric(QStringLiteral("y"), y);

        auto *set = ds_object_cast<DSTableFilterSet>(table->filterSetAtIndex(0));
        table->setActive_filter_set(set);
        table->show_filters = true;
        set->replaceTableFilterAtIndex(0, dates)->setIndexSet(DSIndexSet{2005, 2006, 2010}, QStringLiteral("yearIndexSet"));
        // Category indexes are the places of the sorted values 0 to 6.
        set->replaceTableFilterAtIndex(1, groups)->setIndexSet(DSIndexSet{1, 3, 4}, QStringLiteral("categoryIndexSet"));
    }

    void TearDown() override { DSTableRowMasks::registerFilterSource(nullptr); }

    DSTimeDataColumn *dates = nullptr;
    TestNumericColumn *groups = nullptr, *xs = nullptr, *ys = nullptr;
};

void expectClose(double got, double want, double tolerance, const char *what)
{
    EXPECT_LE(std::fabs(got - want), tolerance * std::max(1.0, std::fabs(want))) << what << ": " << got << " against " << want;
}

TEST_F(FilteredAnalysesTest, StatisticsPivotAndFitUnderTheTablesMaskEqualR)
{
    const std::map<std::string, double> r = rValues();
    ASSERT_EQ(r.size(), 13u) << "fixtures/filtered_analyses.csv";
    const DSRowMaskRef mask = table->row_masks().tableMask();
    ASSERT_TRUE(mask);
    EXPECT_EQ(mask->rows(), k_rows);
    EXPECT_EQ(mask->count(), int64_t(r.at("rows")));

    const ds_stats_s stats = xs->calculateStatsWithMask(mask->bytes(), mask->length(), ds_stats_moments);
    EXPECT_EQ(stats.count, int64_t(r.at("x_count")));
    expectClose(stats.avg, r.at("x_mean"), 1e-12, "mean of x");

    DSColumnAggregation *count = ds_add_aggregation(table, nullptr, 20);
    DSColumnAggregation *mean = ds_add_aggregation(table, xs, 0);
    DSPivot *pivot = ds_pivot_on(table, {groups});
    pivot->recomputePivot();
    pivot->recomputeValuesWithMask(mask->bytes(), mask->length());
    ASSERT_EQ(pivot->numberOfRows(), 3) << "the categories 1, 3 and 4";
    for (int64_t row = 0; row < pivot->numberOfRows(); ++row) {
        const std::string group = "group_" + pivot->labelForPivot(0, pivot->labelPositionForRow(0, row)).toStdString();
        const int64_t g = pivot->convertRowToValueIndex(row);
        ASSERT_TRUE(r.count(group + "_rows")) << group;
        EXPECT_EQ(count->doubleValueAtIndex(g), r.at(group + "_rows")) << group;
        expectClose(mean->doubleValueAtIndex(g), r.at(group + "_mean"), 1e-12, group.c_str());
    }

    std::unique_ptr<VRWContext_s, VRWContextFree> vrw(vrw_test_context(0));
    ASSERT_TRUE(vrw);
    DSRegressionModel *model = newModel();
    DSExplanatoryColumnVariable *variable = addVariable(model, xs);
    DSOutcomeVariable *outcome = addOutcome(model, ys);
    DSError error;
    ASSERT_TRUE(model->runRegressionIfNeededForMask(mask->bytes(), mask->length(), vrw.get(), &error));
    DSRegression *fit = outcome->temp_regression();
    ASSERT_TRUE(fit);
    const qint64 set = outcome->coefficient_offset();
    const DSRegressionEstimate *slope = variable->estimateAtIndex(0, DSEstimateExcludeByDesign);
    expectClose(fit->constantCoefficientAtIndex(0), r.at("coef_constant"), 1e-9, "constant");
    expectClose(slope->coefficientForCoefficientSet(set), r.at("coef_x"), 1e-9, "slope");
    expectClose(fit->constantStandardErrorAtIndex(0), r.at("se_constant"), 1e-8, "constant's standard error");
    expectClose(slope->standardErrorForCoefficientSet(set), r.at("se_x"), 1e-8, "slope's standard error");
}

} // namespace
