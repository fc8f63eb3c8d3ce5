// Explanatory variables: the columns each kind writes and lists for a fit,
// their estimates, what a fit leaves on them and their p-values; and the
// estimate objects themselves.
#include "RegressionTestSupport.h"

#include "model/DSTable.h"
#include "tests/model/ds_test_time.h"

namespace {

using Column = std::vector<double>;
using Listed = std::vector<int32_t>;
constexpr double N = NAN;

class DSExplanatoryVariableTest : public RegressionTest
{
protected:
    // The labels of the estimates a fit has coefficients for.
    static QStringList fittedLabels(DSExplanatoryVariable *variable)
    {
        QStringList labels;
        for (qint64 k = 0; DSRegressionEstimate *e = variable->estimateAtIndex(k, DSEstimateExcludeByDesign); ++k)
            labels << e->longValue();
        return labels;
    }
};

TEST_F(DSExplanatoryVariableTest, NumericPowersWriteZeroWhereTheValueIsMissing)
{
    auto *x = numeric(QStringLiteral("x"), {2, N});
    DSRegressionModel *model = newModel();
    DSExplanatoryColumnVariable *v = addVariable(model, x, false, 2);
    const WrittenMatrix w = ds_written_matrix(model);
    EXPECT_EQ(w.column(1), (Column{2, 0}));
    EXPECT_EQ(w.column(2), (Column{4, 0}));
    EXPECT_EQ(w.column(3), (Column{8, 0}));
    EXPECT_EQ(fittedLabels(v), (QStringList{QStringLiteral("x"), QStringLiteral("(x)²"), QStringLiteral("(x)³")}));
    EXPECT_EQ(v->numberOfRegressors(false), 3);
    EXPECT_FALSE(v->hasCategories());
}

// A time enters in days (hours for times of day) from the start of the day
// (hour) of the earliest time, so that its powers stay well scaled; the
// expected values are the calendar arithmetic done by hand.
TEST_F(DSExplanatoryVariableTest, TimeCountsFromTheStartOfItsEarliestDayOrHour)
{
    constexpr double day = 86400, hour = 3600;
    const struct
    {
        const char *what;
        std::vector<double> times;
        bool timeOfDay;
        Column linear;
        double reference, divisor;
    } cases[] = {
        {"dates", {ds_test_time(2001, 1, 5), ds_test_time(2001, 1, 3, 12), N}, false, {2, 0.5, 0}, 2, day},
        {"dates before 2001",
         {ds_test_time(2000, 1, 1, 6), ds_test_time(1999, 12, 31, 18)}, false, {1.25, 0.75}, -367, day},
        {"times of day", {9.5 * hour, 23 * hour, 11.25 * hour}, true, {0.5, 14, 2.25}, 9, hour},
    };
    for (const auto &c : cases) {
        DSTimeDataColumn *t = times(QStringLiteral("t"), c.times, c.timeOfDay);
        DSRegressionModel *model = newModel();
        DSExplanatoryColumnVariable *v = addVariable(model, t, false, 1);
        const WrittenMatrix w = ds_written_matrix(model);
        EXPECT_EQ(v->kind(), DSExplanatoryColumnVariable::Kind::Time) << c.what;
        EXPECT_EQ(v->temp_matrix_col_range(), (ds_column_range_s{1, 2})) << c.what;
        EXPECT_EQ(w.column(1), c.linear) << c.what;
        Column squares;
        for (double x : c.linear)
            squares.push_back(x * x);
        EXPECT_EQ(w.column(2), squares) << c.what;
        EXPECT_EQ(v->temp_reference_date(), c.reference) << c.what;
        EXPECT_EQ(v->temp_time_divisor(), c.divisor) << c.what;
        EXPECT_EQ(fittedLabels(v), (QStringList{QStringLiteral("t"), QStringLiteral("(t)²")})) << c.what;
        EXPECT_EQ(ds_listed_columns(v), (Listed{1, 2})) << c.what;

        // One value per row for the residual pictures: the raw times.
        std::vector<double> raw(c.times.size());
        ASSERT_TRUE(v->addDataToVector(raw.data(), qint64(raw.size())));
        for (size_t r = 0; r < raw.size(); ++r)
            EXPECT_TRUE(raw[r] == c.times[r] || (std::isnan(raw[r]) && std::isnan(c.times[r]))) << c.what << r;
    }
}

// Time columns refuse categories: a stray flag neither makes the variable
// categorical nor drops its columns from the matrix.
TEST_F(DSExplanatoryVariableTest, TimeIsNeverCategorical)
{
    DSTimeDataColumn *t = times(QStringLiteral("t"), {ds_test_time(2001, 1, 2), ds_test_time(2001, 1, 4)});
    t->setTreat_as_categories(true);
    DSRegressionModel *model = newModel();
    DSExplanatoryColumnVariable *v = model->insertNewExplanatoryVariableWithColumn(t);
    EXPECT_FALSE(v->treat_as_categories());
    v->setTreat_as_categories(true);
    v->setHigher_order_terms(2);
    EXPECT_FALSE(v->hasCategories());
    EXPECT_EQ(v->numberOfRegressors(true), 3);
    const WrittenMatrix w = ds_written_matrix(model);
    EXPECT_EQ(w.column(3), (Column{0, 8}));
    EXPECT_EQ(v->cachedNumberOfRegressors(), 3);
    EXPECT_EQ(model->totalNumberOfRegressors(), 4);
}

// Only the linear column of a time input enters an interaction, in the
// time's own scale.
TEST_F(DSExplanatoryVariableTest, TimeInteractsThroughItsLinearColumn)
{
    auto *c = numeric(QStringLiteral("c"), {1, 2, 1, 2});
    auto *n = numeric(QStringLiteral("n"), {2, 3, 4, N});
    DSTimeDataColumn *t = times(QStringLiteral("t"), {ds_test_time(2001, 1, 1, 6), ds_test_time(2001, 1, 2),
                                                      ds_test_time(2001, 1, 3), ds_test_time(2001, 1, 1, 12)});
    DSRegressionModel *model = newModel();
    DSExplanatoryColumnVariable *vt = addVariable(model, t, false, 2);
    DSExplanatoryColumnVariable *vc = addVariable(model, c, true);
    DSExplanatoryColumnVariable *vn = addVariable(model, n);
    DSExplanatoryInteractionVariable *ct = addInteraction(model, vc, vt);
    DSExplanatoryInteractionVariable *tn = addInteraction(model, vt, vn);
    const WrittenMatrix w = ds_written_matrix(model);
    ASSERT_EQ(ct->input1(), vt);
    EXPECT_EQ(w.column(ct->temp_matrix_col_range().location), (Column{0.25, 0, 2, 0}));
    EXPECT_EQ(w.column(ct->temp_matrix_col_range().location + 1), (Column{0, 1, 0, 0.5}));
    EXPECT_EQ(fittedLabels(ct), (QStringList{QStringLiteral("t × 2")}));
    EXPECT_EQ(w.column(tn->temp_matrix_col_range().location), (Column{0.5, 3, 8, 0}));

    // Its one value per row multiplies the raw times.
    std::vector<double> product(4);
    ASSERT_TRUE(tn->addDataToVector(product.data(), 4));
    EXPECT_EQ(product[1], 3 * ds_test_time(2001, 1, 2));
    EXPECT_TRUE(std::isnan(product[3]));
}

// Two texts and blank rows: the blanks form a third, last category.
TEST_F(DSExplanatoryVariableTest, TextWithTwoValuesAndBlanksGivesThreeDummies)
{
    auto *t = text(QStringLiteral("t"), {"no", "yes", nullptr, "yes", nullptr, "no"});
    t->setCategoryLabel(QStringLiteral("Yes!"), QCborValue(QStringLiteral("yes")));
    DSRegressionModel *model = newModel();
    DSExplanatoryColumnVariable *v = model->insertNewExplanatoryVariableWithColumn(t);
    ASSERT_TRUE(v->treat_as_categories());
    v->setOmitted_category(0);
    const WrittenMatrix w = ds_written_matrix(model);
    EXPECT_EQ(v->temp_matrix_col_range(), (ds_column_range_s{1, 3}));
    EXPECT_EQ(w.column(1), (Column{1, 0, 0, 0, 0, 1}));
    EXPECT_EQ(w.column(2), (Column{0, 1, 0, 1, 0, 0}));
    EXPECT_EQ(w.column(3), (Column{0, 0, 1, 0, 1, 0}));
    EXPECT_EQ(ds_listed_columns(v), (Listed{2, 3}));
    EXPECT_EQ(v->cachedNumberOfRegressors(), 2);
    EXPECT_EQ(v->numberOfRegressors(true), 3);
    ASSERT_EQ(v->numberOfEstimatesExcluding(DSEstimateExcludeByDesign), 2);
    DSRegressionEstimate *second = v->estimateAtIndex(0, DSEstimateExcludeByDesign);
    EXPECT_EQ(second->index, 1) << "the second text";
    EXPECT_EQ(second->value, QStringLiteral("yes"));
    EXPECT_EQ(second->label, QStringLiteral("Yes!"));
    EXPECT_EQ(second->name(), QStringLiteral("[t = Yes!]"));
    EXPECT_EQ(v->estimateAtIndex(1, DSEstimateExcludeByDesign)->value, QStringLiteral("Missing"));
    EXPECT_TRUE(v->estimateAtIndex(1, DSEstimateExcludeByDesign)->label.isNull());
    EXPECT_EQ(v->estimateAtIndex(0)->value, QStringLiteral("no"));
    EXPECT_TRUE(v->estimateAtIndex(0)->is_omitted_category);
}

// A categorical column of numbers: values by "%g", labels from the column.
TEST_F(DSExplanatoryVariableTest, CategoryEstimatesCarryValuesAndLabels)
{
    auto *c = numeric(QStringLiteral("c"), {0.5, 2, N, 2});
    c->setCategoryLabel(QStringLiteral("two"), QCborValue(2));
    DSRegressionModel *model = newModel();
    DSExplanatoryColumnVariable *v = addVariable(model, c, true);
    v->setOmitted_category(7);
    ds_written_matrix(model);
    EXPECT_EQ(v->omitted_category(), 0) << "past the categories";
    ASSERT_EQ(v->number_of_estimates(), 3);
    EXPECT_EQ(v->estimateAtIndex(0)->value, QStringLiteral("0.5"));
    EXPECT_EQ(v->estimateAtIndex(1)->longValue(), QStringLiteral("two"));
    EXPECT_EQ(v->estimateAtIndex(1)->name(), QStringLiteral("[c = two]"));
    EXPECT_EQ(v->estimateAtIndex(2)->value, QStringLiteral("Missing"));

    // A new base shows at once, without rebuilding.
    DSRegressionEstimate *first = v->estimateAtIndex(0);
    v->setOmitted_category(2);
    EXPECT_EQ(v->estimateAtIndex(0), first);
    EXPECT_FALSE(first->is_omitted_category);
    EXPECT_TRUE(v->estimateAtIndex(2)->is_omitted_category);
    EXPECT_EQ(ds_listed_columns(v), (Listed{1, 2}));
}

// Two categorical inputs with 2 and 3 categories and base categories 0, 0.
TEST_F(DSExplanatoryVariableTest, CategoricalInteractionDropsTheCellsOfIncludedInputsBases)
{
    auto *a = numeric(QStringLiteral("a"), {1, 2, 1, 2, 2, 1});
    auto *b = numeric(QStringLiteral("b"), {1, 2, 3, 3, 1, 2});
    DSRegressionModel *model = newModel();
    DSExplanatoryColumnVariable *va = addVariable(model, a, true);
    DSExplanatoryColumnVariable *vb = addVariable(model, b, true);
    DSExplanatoryInteractionVariable *ab = addInteraction(model, va, vb);
    const WrittenMatrix w = ds_written_matrix(model);
    const qint64 start = ab->temp_matrix_col_range().location;
    ASSERT_EQ(ab->temp_matrix_col_range(), (ds_column_range_s{6, 6}));
    EXPECT_EQ(w.column(start + 0 * 3 + 0), (Column{1, 0, 0, 0, 0, 0}));
    EXPECT_EQ(w.column(start + 1 * 3 + 2), (Column{0, 0, 0, 1, 0, 0}));
    EXPECT_EQ(w.column(start + 0 * 3 + 1), (Column{0, 0, 0, 0, 0, 1}));

    const struct
    {
        bool aIncluded, bIncluded;
        Listed listed;
        qint64 regressors;
    } cases[] = {
        {true, true, {10, 11}, 2},              // cells (1, 1) and (1, 2)
        {false, false, {7, 8, 9, 10, 11}, 5},   // all but (0, 0)
        {true, false, {7, 8, 10, 11}, 4},       // b's base row stays out with a in
        {false, true, {9, 10, 11}, 3},          // a's base row stays out with b in
    };
    for (const auto &c : cases) {
        va->setIs_included(c.aIncluded);
        vb->setIs_included(c.bIncluded);
        EXPECT_EQ(ds_listed_columns(ab), c.listed) << c.aIncluded << c.bIncluded;
        EXPECT_EQ(ab->cachedNumberOfRegressors(), c.regressors) << c.aIncluded << c.bIncluded;
        EXPECT_EQ(ab->numberOfRegressors(false), c.regressors) << c.aIncluded << c.bIncluded;
        EXPECT_EQ(ab->numberOfEstimatesExcluding(DSEstimateExcludeByDesign), c.regressors);
    }
    EXPECT_EQ(ab->name(), QStringLiteral("a × b"));
    EXPECT_EQ(ab->estimateAtIndex(5)->label, QStringLiteral("(2, 3)"));
    EXPECT_EQ(ab->estimateAtIndex(5)->lda, 3);
}

TEST_F(DSExplanatoryVariableTest, NumericTimesCategoricalPutsTheCategoricalInputSecond)
{
    auto *c = numeric(QStringLiteral("c"), {1, 2, 3, 1});
    auto *n = numeric(QStringLiteral("n"), {2, 3, 4, 5});
    DSRegressionModel *model = newModel();
    DSExplanatoryColumnVariable *vc = addVariable(model, c, true);
    DSExplanatoryColumnVariable *vn = addVariable(model, n);
    DSExplanatoryInteractionVariable *cn = addInteraction(model, vc, vn);
    EXPECT_EQ(cn->input1(), vn);
    EXPECT_EQ(cn->input2(), vc);
    const WrittenMatrix w = ds_written_matrix(model);
    EXPECT_EQ(w.column(cn->temp_matrix_col_range().location), (Column{2, 0, 0, 5}));
    EXPECT_EQ(ds_listed_columns(cn).size(), 2u);
    EXPECT_EQ(fittedLabels(cn), (QStringList{QStringLiteral("n × 2"), QStringLiteral("n × 3")}));

    // Two numeric inputs: one column, the product.
    auto *m = numeric(QStringLiteral("m"), {1, N, 2, 0.5});
    DSExplanatoryInteractionVariable *nm = addInteraction(model, vn, addVariable(model, m));
    const WrittenMatrix w2 = ds_written_matrix(model);
    EXPECT_EQ(w2.column(nm->temp_matrix_col_range().location), (Column{2, 0, 8, 2.5}));
    EXPECT_EQ(nm->number_of_estimates(), 1);
    EXPECT_EQ(nm->estimateAtIndex(0)->label, QStringLiteral("n × m"));
}

TEST_F(DSExplanatoryVariableTest, InteractionWithoutTwoInputsIsEmpty)
{
    auto *c = numeric(QStringLiteral("c"), {1, 2});
    DSRegressionModel *model = newModel();
    DSExplanatoryColumnVariable *vc = addVariable(model, c);
    DSExplanatoryInteractionVariable *lone = model->insertNewInteractionVariableWithInputs({vc});
    EXPECT_TRUE(lone->name().isNull());
    EXPECT_EQ(lone->number_of_estimates(), 0);
    EXPECT_EQ(lone->numberOfRegressors(true), 0);
    EXPECT_EQ(lone->cachedNumberOfRegressors(), 0);
}

// Results: coefficients per set, the lack-of-data mark, collinearity counts
// and what a purge keeps.
TEST_F(DSExplanatoryVariableTest, FitResultsLandInTheEstimatesBySet)
{
    auto *c = numeric(QStringLiteral("c"), {1, 2, 3});
    DSRegressionModel *model = newModel();
    DSExplanatoryColumnVariable *v = addVariable(model, c, true);
    ds_written_matrix(model);
    const double set0[] = {N, N}, set1[] = {0.5, N};
    v->setTemp_coefficients(set0, 2, 0, 4);
    v->setTemp_coefficients(set1, 2, 1, 4);
    DSRegressionEstimate *second = v->estimateAtIndex(0, DSEstimateExcludeByDesign);
    DSRegressionEstimate *third = v->estimateAtIndex(1, DSEstimateExcludeByDesign);
    EXPECT_FALSE(second->is_omitted_due_to_lack_of_data) << "a number in a later set";
    EXPECT_TRUE(third->is_omitted_due_to_lack_of_data) << "NaN in every set";
    EXPECT_EQ(second->coefficientForCoefficientSet(5), 0.5);
    EXPECT_TRUE(std::isnan(second->coefficientForCoefficientSet(4)));
    EXPECT_TRUE(std::isnan(second->coefficientForCoefficientSet(0))) << "filled with NaN";
    EXPECT_TRUE(std::isnan(second->coefficientForCoefficientSet(-1)));
    EXPECT_EQ(v->estimateAtIndex(0)->coefficientForCoefficientSet(9), 0) << "the omitted category";
    EXPECT_EQ(v->estimateAtIndex(0)->standardErrorForCoefficientSet(9), 0);

    const int64_t sets[] = {0, 3};
    v->setTemp_multicollinear_sets(sets, 2, 1);
    v->setTemp_multicollinearity_count(2, 3);
    EXPECT_EQ(v->multiCollinearityCountForCoefficientSet(1), 1);
    EXPECT_EQ(v->multiCollinearityCountForCoefficientSet(-1), 3);
    EXPECT_EQ(v->multiCollinearityCountForCoefficientSet(7), 0);
    EXPECT_EQ(third->multiCollinearSetForCoefficientSet(1), 3);
    v->setCoefficientIndexes(4, 2);
    EXPECT_EQ(third->coefficient_index, 5);
    v->setTemp_wald_statistic(7.5, 2);
    v->setIndividualWaldStatistics(set1, 2, 1);
    EXPECT_EQ(v->waldStatisticForCoefficientSet(2), 7.5);
    EXPECT_TRUE(std::isnan(v->waldStatisticForCoefficientSet(1)));
    EXPECT_EQ(second->waldStatisticForOutcomeIndex(1), 0.5);

    v->purgeEstimates();
    EXPECT_TRUE(std::isnan(second->coefficientForCoefficientSet(5)));
    EXPECT_TRUE(std::isnan(second->waldStatisticForOutcomeIndex(1)));
    EXPECT_TRUE(std::isnan(v->waldStatisticForCoefficientSet(2)));
    EXPECT_EQ(third->multiCollinearSetForCoefficientSet(1), 3) << "set numbers stay";
    EXPECT_TRUE(third->is_omitted_due_to_lack_of_data) << "flags stay";
    v->purgeDiagnostics();
    EXPECT_EQ(v->multiCollinearityCountForCoefficientSet(-1), 0);
}

// The p-values against SciPy: 2 t.sf(2.5, 10), 2 norm.sf(2.5),
// chi2.sf(7, 3) and f.sf(7 / 3, 3, 10).
TEST_F(DSExplanatoryVariableTest, PValuesFollowTheCoefficientDistribution)
{
    auto *x = numeric(QStringLiteral("x"), {1, 2, 3});
    auto *c = numeric(QStringLiteral("c"), {1, 2, 3});
    DSRegressionModel *model = newModel();
    DSExplanatoryColumnVariable *vx = addVariable(model, x);
    DSExplanatoryColumnVariable *vc = addVariable(model, c, true);
    ds_written_matrix(model);
    const double b[] = {5}, e[] = {2};
    vx->setTemp_coefficients(b, 1, 0, 0);
    vx->setTemp_std_errors(e, 1, 0, 0);
    vc->setTemp_wald_statistic(7.0, 0);
    vc->setTemp_number_of_restrictions(3);
    EXPECT_NEAR(vx->tempPValueForCoefficientSet(0, 1, 10), 0.031446844236608776, 1e-12);
    EXPECT_NEAR(vx->tempPValueForCoefficientSet(0, 2, 10), 0.012419330651552265, 1e-12);
    EXPECT_NEAR(vc->tempPValueForCoefficientSet(0, 2, 10), 0.07189777249646509, 1e-12);
    EXPECT_NEAR(vc->tempPValueForCoefficientSet(0, 1, 10), 0.13571040715000585, 1e-10);
    EXPECT_TRUE(std::isnan(vc->tempPValueForCoefficientSet(1, 2, 10))) << "no statistic";
    vx->setIs_included(false);
    EXPECT_TRUE(std::isnan(vx->tempPValueForCoefficientSet(0, 1, 10)));

    vc->setTemp_multinomial_wald_statistic(7.0, 0);
    vc->setTemp_number_of_restrictions(1);
    EXPECT_NEAR(vc->tempPValueForAllCoefficientSets(0, 3, 2, 10), 0.07189777249646509, 1e-12);
    EXPECT_TRUE(std::isnan(vc->tempPValueForAllCoefficientSets(1, 3, 2, 10)));
}

TEST_F(DSExplanatoryVariableTest, EstimateNamesAndHues)
{
    auto *x = numeric(QStringLiteral("x"), {1, 2});
    DSRegressionModel *model = newModel();
    DSExplanatoryColumnVariable *v = addVariable(model, x);
    DSRegressionEstimate constant;
    constant.label = QStringLiteral("constant");
    constant.is_constant = true;
    EXPECT_EQ(constant.name(), QStringLiteral("constant"));
    DSRegressionEstimate *linear = v->estimateAtIndex(0);
    EXPECT_EQ(linear->name(), QStringLiteral("x"));
    EXPECT_EQ(linear->hue(), linear->hue());
    EXPECT_GE(linear->hue(), 0.0);
    table->replaceHueForLabel(QStringLiteral("x"), 0.25);
    EXPECT_EQ(linear->hue(), 0.25);
    EXPECT_FALSE(linear->is_omitted());
    linear->is_omitted_due_to_fixed_effects = true;
    EXPECT_TRUE(linear->is_omitted());
    EXPECT_FALSE(linear->is_omitted_by_design());
}

} // namespace
