// Ordered logit and probit against MASS's polr on MASS::housing with its
// cell counts as frequency weights (fixtures/make_ordered_choice.R): slopes,
// the constant and cut point as polr's cuts map to them, standard errors
// (plain and robust), log likelihoods, chances of each category; and the
// categories without rows.
#include "vrw_fit_support.h"
#include "vrw_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>

namespace {

const std::string kFixtures = std::string(OSTREL_TEST_SOURCE_DIR) + "/fixtures/";

class OrderedChoiceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        context = vrw_test_context(VRW_FAMILY_COMMON | VRW_FAMILY_ORDERED_CHOICE);
        housing = vrw_test_read_table(kFixtures + "housing.csv");
        expected = vrw_test_read_expected(kFixtures + "ordered_expected.csv");
    }
    static void TearDownTestSuite() { vrw_context_free(context); }

    static inline VRWContext_s *context;
    static inline VRWTestTable housing;
    static inline VRWTestExpected expected;
};

VRWTestFitSetup ordered(VRWRegressionModel model, uint32_t options,
                       std::vector<double> values = {0, 1, 2})
{
    VRWTestFitSetup s;
    s.model = model;
    s.regressors = {"1", "d1", "d2", "d3", "d4", "d5", "d6"};
    s.dependent = "sat";
    s.frequency_weights = "freq";
    s.dependent_values = std::move(values);
    s.options = options;
    return s;
}

std::vector<double> as_doubles(const std::vector<int64_t> &values)
{
    return std::vector<double>(values.begin(), values.end());
}

// polr's optimiser stops some 1e-9 from the maximum and its numerical
// Hessian leaves the standard errors some 1e-8 off. The log likelihood,
// flat at the maximum, agrees more closely than its parts by category.
constexpr double kTolerance = 1e-7;

TEST_F(OrderedChoiceTest, EqualsPolr)
{
    ASSERT_TRUE(context);
    for (auto [model, name] : {std::pair{VRW_MODEL_ORDERED_LOGIT, "logit"},
                               std::pair{VRW_MODEL_ORDERED_PROBIT, "probit"}}) {
        SCOPED_TRACE(name);
        VRWTestFitResult fit = vrw_test_fit(context, housing, ordered(model, 0));
        ASSERT_EQ(fit.status, 0);
        EXPECT_LT(fit.iterations(), 20);
        vrw_test_expect_near(fit.coefficients, expected(name, "coefficients"), kTolerance,
                             "coefficients");
        vrw_test_expect_near(fit.standard_errors, expected(name, "standard_errors"), kTolerance,
                             "standard errors");
        double cut = expected(name, "cut")[0], error = expected(name, "cut_standard_error")[0];
        EXPECT_EQ(fit.nuisance[0], -INFINITY);
        EXPECT_EQ(fit.nuisance[1], 0.0);
        EXPECT_NEAR(fit.nuisance[2], cut, kTolerance * cut);
        EXPECT_EQ(fit.nuisance[3], INFINITY);
        EXPECT_EQ(fit.nuisance_standard_errors[0], 0.0);
        EXPECT_EQ(fit.nuisance_standard_errors[1], 0.0);
        EXPECT_NEAR(fit.nuisance_standard_errors[2], error, kTolerance * error);
        EXPECT_EQ(fit.nuisance_standard_errors[3], 0.0);
        vrw_test_expect_near({fit.log_likelihood}, expected(name, "log_likelihood"), 1e-10,
                             "log likelihood");
        vrw_test_expect_near(fit.per_choice_log_likelihood,
                             expected(name, "per_choice_log_likelihood"), 1e-8, "per category");
        EXPECT_EQ(as_doubles(fit.choice_counts), expected(name, "per_choice_counts"));
        vrw_test_expect_near(fit.predicted, expected(name, "predicted"), kTolerance, "chances");
        EXPECT_EQ(fit.observations, 1681);
        EXPECT_EQ(fit.free_parameters, 8);

        VRWTestFitResult robust =
            vrw_test_fit(context, housing, ordered(model, VRW_OPTION_ROBUST));
        ASSERT_EQ(robust.status, 0);
        std::string hc0 = std::string(name) + "_hc0";
        vrw_test_expect_near(robust.standard_errors, expected(hc0, "standard_errors"), kTolerance,
                             "robust standard errors");
        vrw_test_expect_near({robust.nuisance_standard_errors[2]},
                             expected(hc0, "cut_standard_error"), kTolerance, "robust cut");
    }
}

// Category 1 of 0 .. 3 has no rows: the fit is that of the three others,
// and the outputs keep a place for it.
TEST_F(OrderedChoiceTest, CategoryWithoutRowsKeepsItsPlace)
{
    VRWTestTable table = housing;
    for (double &v : table.columns["sat"])
        v = v == 0 ? 0 : v + 1;
    VRWTestFitResult fit =
        vrw_test_fit(context, table, ordered(VRW_MODEL_ORDERED_LOGIT, 0, {0, 1, 2, 3}));
    ASSERT_EQ(fit.status, 0);
    vrw_test_expect_near(fit.coefficients, expected("logit", "coefficients"), kTolerance,
                         "coefficients");
    double cut = expected("logit", "cut")[0];
    EXPECT_EQ(fit.nuisance[0], -INFINITY);
    EXPECT_EQ(fit.nuisance[1], 0.0);
    EXPECT_EQ(fit.nuisance[2], 0.0) << "an empty interval";
    EXPECT_NEAR(fit.nuisance[3], cut, kTolerance * cut);
    EXPECT_EQ(fit.nuisance[4], INFINITY);
    EXPECT_EQ(fit.nuisance_standard_errors[2], 0.0);
    EXPECT_GT(fit.nuisance_standard_errors[3], 0.0);
    EXPECT_EQ(fit.choice_counts, (std::vector<int64_t>{567, 0, 446, 668}));
    EXPECT_TRUE(std::isnan(fit.per_choice_log_likelihood[1]));
    vrw_test_expect_near({fit.per_choice_log_likelihood[3]},
                         {expected("logit", "per_choice_log_likelihood")[2]}, 1e-8,
                         "per category");
    size_t n = table.rows;
    const std::vector<double> &chances = expected("logit", "predicted");
    for (size_t i = 0; i < n; i++) {
        EXPECT_TRUE(std::isnan(fit.predicted[n + i]));
        EXPECT_NEAR(fit.predicted[3 * n + i], chances[2 * n + i], 1e-7);
    }
}

// One effect a panel: the slopes, the cut points' differences and the log
// likelihood of polr with one indicator a panel.
TEST_F(OrderedChoiceTest, FixedEffectsEqualPolrWithOneIndicatorAPanel)
{
    VRWTestTable panels = vrw_test_read_table(kFixtures + "ordered_panels.csv");
    VRWTestFitSetup s;
    s.model = VRW_MODEL_ORDERED_LOGIT;
    s.regressors = {"x1", "x2"};
    s.dependent = "y";
    s.dependent_values = {0, 1, 2, 3};
    s.panels = "g";
    s.options = VRW_OPTION_FIXED_EFFECTS;
    VRWTestFitResult fit = vrw_test_fit(context, panels, s);
    ASSERT_EQ(fit.status, 0);
    EXPECT_LT(fit.iterations(), 20);
    vrw_test_expect_near(fit.coefficients, expected("panels", "coefficients"), 1e-7,
                         "coefficients");
    vrw_test_expect_near(fit.standard_errors, expected("panels", "standard_errors"), 1e-7,
                         "standard errors");
    vrw_test_expect_near({fit.nuisance[2], fit.nuisance[3]}, expected("panels", "cuts"), 1e-7,
                         "cuts");
    vrw_test_expect_near({fit.nuisance_standard_errors[2], fit.nuisance_standard_errors[3]},
                         expected("panels", "cut_standard_errors"), 1e-7, "their standard errors");
    vrw_test_expect_near({fit.log_likelihood}, expected("panels", "log_likelihood"), 1e-9,
                         "log likelihood");

    // Robust: each row's scores less the effects' part.
    s.options |= VRW_OPTION_ROBUST;
    VRWTestFitResult robust = vrw_test_fit(context, panels, s);
    ASSERT_EQ(robust.status, 0);
    vrw_test_expect_near(robust.standard_errors, expected("panels_hc0", "standard_errors"), 1e-7,
                         "robust standard errors");
    vrw_test_expect_near({robust.nuisance_standard_errors[2], robust.nuisance_standard_errors[3]},
                         expected("panels_hc0", "cut_standard_errors"), 1e-7, "robust cuts");
}

// A row of positive weight must hold one of the category values, each a
// nonnegative number of an integer part of its own: the rows are fitted by
// that integer part, and would otherwise land in a category they are not
// counted in. A row left out (weight 0) may hold anything.
TEST_F(OrderedChoiceTest, RowsOutsideTheCategoriesAreRefused)
{
    auto with_row = [](double sat, double freq) {
        return vrw_test_with_row(housing, {{"sat", sat}, {"freq", freq}});
    };
    const struct {
        const char *name;
        VRWTestTable table;
        std::vector<double> values;
    } refused[] = {
        {"a value of no category", with_row(7, 5), {0, 1, 2}},
        {"a fraction of category 1", with_row(1.5, 5), {0, 1, 2}},
        {"no value", with_row(NAN, 5), {0, 1, 2}},
        {"a value listed twice", housing, {0, 1, 1, 2}},
        {"two values of one integer part", with_row(0.5, 5), {0, 0.5, 1, 2}},
        {"a negative value", with_row(-1, 5), {-1, 0, 1, 2}},
    };
    for (const auto &c : refused) {
        SCOPED_TRACE(c.name);
        VRWTestFitResult fit =
            vrw_test_fit(context, c.table, ordered(VRW_MODEL_ORDERED_LOGIT, 0, c.values));
        EXPECT_EQ(fit.status, VRW_TOO_FEW_CATEGORIES);
        EXPECT_EQ(fit.coefficients, std::vector<double>(7, -1.0));
    }
    for (double stray : {7.0, 1.5, (double)NAN, -1.0}) {
        SCOPED_TRACE(stray);
        VRWTestFitResult fit =
            vrw_test_fit(context, with_row(stray, 0), ordered(VRW_MODEL_ORDERED_LOGIT, 0));
        ASSERT_EQ(fit.status, 0);
        vrw_test_expect_near(fit.coefficients, expected("logit", "coefficients"), kTolerance,
                             "coefficients");
        EXPECT_EQ(fit.observations, 1681);
    }
}

// Two categories with rows leave no free cut point; fewer end with 5000.
TEST_F(OrderedChoiceTest, TwoCategoriesOrFewer)
{
    VRWTestTable table = housing;
    for (double &v : table.columns["sat"])
        v = v > 0 ? 1 : 0;
    VRWTestFitResult two = vrw_test_fit(context, table, ordered(VRW_MODEL_ORDERED_PROBIT, 0));
    ASSERT_EQ(two.status, 0);
    EXPECT_EQ(two.free_parameters, 7);
    EXPECT_EQ(two.nuisance[0], -INFINITY);
    EXPECT_EQ(two.nuisance[1], 0.0);
    EXPECT_EQ(two.nuisance[2], INFINITY);
    EXPECT_EQ(two.nuisance[3], INFINITY) << "the category without rows repeats the last cut";
    for (double &v : table.columns["sat"])
        v = 1;
    VRWTestFitResult one = vrw_test_fit(context, table, ordered(VRW_MODEL_ORDERED_PROBIT, 0));
    EXPECT_EQ(one.status, VRW_TOO_FEW_CATEGORIES);
    VRWTestFitResult none = vrw_test_fit(context, table, ordered(VRW_MODEL_ORDERED_LOGIT, 0, {}));
    EXPECT_EQ(none.status, VRW_TOO_FEW_CATEGORIES);
}

} // namespace
