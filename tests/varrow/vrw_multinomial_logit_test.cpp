// Multinomial logit against statsmodels' MNLogit (fixtures/
// make_multinomial_logit.py) and nnet's multinom (make_multinomial_logit.R)
// on the same data: coefficients, standard errors (plain, robust,
// clustered), log likelihoods, chances and residuals; frequency weights;
// choices without rows; rows of no choice; fixed effects against one
// indicator a panel.
#include "vrw_fit_support.h"
#include "vrw_test_support.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

const std::string kFixtures = std::string(OSTREL_TEST_SOURCE_DIR) + "/fixtures/";

// MNLogit's Newton iteration agrees with the library to some 1e-11; nnet's
// quasi-Newton optimiser, run to its tightest tolerance, to some 1e-7.
constexpr double kStatsmodels = 1e-9;
constexpr double kNnet = 1e-6;

class MultinomialLogitTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        context = vrw_test_context(VRW_FAMILY_COMMON | VRW_FAMILY_MULTINOMIAL_LOGIT);
        choices = vrw_test_read_table(kFixtures + "mlogit.csv");
        panels = vrw_test_read_table(kFixtures + "mlogit_panels.csv");
        statsmodels = vrw_test_read_expected(kFixtures + "mlogit_statsmodels_expected.csv");
        nnet = vrw_test_read_expected(kFixtures + "mlogit_nnet_expected.csv");
    }
    static void TearDownTestSuite() { vrw_context_free(context); }

    // The coefficients, standard errors and log likelihood both oracles
    // report for the case.
    static void expect_oracles(const VRWTestFitResult &fit, const std::string &name)
    {
        for (auto [oracle, tolerance] : {std::pair{&statsmodels, kStatsmodels},
                                         std::pair{&nnet, kNnet}}) {
            SCOPED_TRACE(oracle == &statsmodels ? "MNLogit" : "multinom");
            vrw_test_expect_near(fit.coefficients, (*oracle)(name, "coefficients"), tolerance,
                                 "coefficients");
            vrw_test_expect_near(fit.standard_errors, (*oracle)(name, "standard_errors"),
                                 tolerance, "standard errors");
            vrw_test_expect_near({fit.log_likelihood}, (*oracle)(name, "log_likelihood"),
                                 tolerance, "log likelihood");
        }
    }

    static inline VRWContext_s *context;
    static inline VRWTestTable choices, panels;
    static inline VRWTestExpected statsmodels, nnet;
};

VRWTestFitSetup mlogit(std::vector<std::string> regressors,
                      std::vector<double> values = {0, 1, 2, 3}, uint32_t options = 0)
{
    VRWTestFitSetup s;
    s.model = VRW_MODEL_MULTINOMIAL_LOGIT;
    s.regressors = std::move(regressors);
    s.dependent = "y";
    s.dependent_values = std::move(values);
    s.omitted_value = 0;
    s.options = options;
    return s;
}

template <typename T>
std::vector<T> slice(const std::vector<T> &v, size_t from, size_t count)
{
    return std::vector<T>(v.begin() + (long)from, v.begin() + (long)(from + count));
}

std::vector<double> as_doubles(const std::vector<int64_t> &values)
{
    return std::vector<double>(values.begin(), values.end());
}

const std::vector<std::string> kRegressors = {"1", "x1", "x2", "x3"};

TEST_F(MultinomialLogitTest, EqualsMNLogitAndMultinom)
{
    ASSERT_TRUE(context);
    VRWTestFitResult fit = vrw_test_fit(context, choices, mlogit(kRegressors));
    ASSERT_EQ(fit.status, 0);
    EXPECT_LT(fit.iterations(), 10);
    expect_oracles(fit, "choices");
    vrw_test_expect_near(fit.predicted, statsmodels("choices", "predicted"), kStatsmodels,
                         "chances");
    vrw_test_expect_near(fit.residuals, statsmodels("choices", "residuals"), kStatsmodels,
                         "residuals");
    vrw_test_expect_near(fit.per_choice_log_likelihood,
                         statsmodels("choices", "per_choice_log_likelihood"), kStatsmodels,
                         "per choice");
    EXPECT_EQ(as_doubles(fit.choice_counts), statsmodels("choices", "per_choice_counts"));
    EXPECT_EQ(fit.observations, 600);
    EXPECT_EQ(fit.free_parameters, 12);
    // The variance of every coefficient: the base choice's rows and columns 0.
    const std::vector<double> &variance = statsmodels("choices", "variance");
    for (size_t i = 0; i < 16; i++)
        for (size_t j = 0; j < 16; j++) {
            double expected = i < 4 || j < 4 ? 0.0 : variance[(i - 4) * 12 + j - 4];
            EXPECT_NEAR(fit.variance[i * 16 + j], expected, 1e-9) << i << ", " << j;
        }

    VRWTestFitResult robust = vrw_test_fit(context, choices, mlogit(kRegressors, {0, 1, 2, 3},
                                                                    VRW_OPTION_ROBUST));
    ASSERT_EQ(robust.status, 0);
    vrw_test_expect_near(robust.standard_errors,
                         statsmodels("choices_robust", "standard_errors"), kStatsmodels,
                         "robust standard errors");
}

// A row of frequency weight w counts as w rows.
TEST_F(MultinomialLogitTest, FrequencyWeightsCountRows)
{
    VRWTestFitSetup s = mlogit(kRegressors);
    s.frequency_weights = "freq";
    VRWTestFitResult fit = vrw_test_fit(context, choices, s);
    ASSERT_EQ(fit.status, 0);
    expect_oracles(fit, "weights");
}

// Choice 1 of 0 .. 4 has no rows: the fit is that of the four others, the
// absent choice keeps its place in every output with the fill values, and
// so it does when the base asked for is the absent one.
TEST_F(MultinomialLogitTest, AbsentChoiceKeepsItsPlace)
{
    VRWTestTable table = choices;
    for (double &v : table.columns["y"])
        v = v == 0 ? 0 : v + 1;
    const std::vector<double> &coefficients = statsmodels("choices", "coefficients");
    const std::vector<double> &errors = statsmodels("choices", "standard_errors");
    for (double base : {0.0, 1.0}) {
        SCOPED_TRACE(base);
        VRWTestFitSetup s = mlogit(kRegressors, {0, 1, 2, 3, 4});
        s.omitted_value = base;
        VRWTestFitResult fit = vrw_test_fit(context, table, s);
        ASSERT_EQ(fit.status, 0);
        size_t n = table.rows;
        for (size_t c : {0, 2, 3, 4}) {
            size_t from = c == 0 ? 0 : c - 1;
            vrw_test_expect_near(slice(fit.coefficients, 4 * c, 4), slice(coefficients, 4 * from, 4),
                                 kStatsmodels, "coefficients");
            vrw_test_expect_near(slice(fit.standard_errors, 4 * c, 4), slice(errors, 4 * from, 4),
                                 kStatsmodels, "standard errors");
            vrw_test_expect_near(slice(fit.predicted, n * c, n),
                                 slice(statsmodels("choices", "predicted"), n * from, n),
                                 kStatsmodels, "chances");
        }
        EXPECT_EQ(fit.coefficients[4], -INFINITY) << "the constant";
        for (size_t j = 1; j < 4; j++)
            EXPECT_TRUE(std::isnan(fit.coefficients[4 + j]));
        EXPECT_EQ(slice(fit.standard_errors, 4, 4), std::vector<double>(4, 0.0));
        EXPECT_EQ(slice(fit.multicollinear_sets, 4, 4), std::vector<int64_t>(4, 0));
        EXPECT_TRUE(std::isnan(fit.predicted[n]) && std::isnan(fit.residuals[n]));
        EXPECT_TRUE(std::isnan(fit.per_choice_log_likelihood[1]));
        EXPECT_EQ(fit.choice_counts, (std::vector<int64_t>{90, 0, 205, 187, 118}));
        for (size_t i = 0; i < 20; i++)
            EXPECT_EQ(fit.variance[i * 20 + 5], 0.0);
        EXPECT_EQ(fit.free_parameters, 12);
    }
    // Without the constant an absent choice's coefficients are 0 and their
    // standard errors NaN.
    VRWTestFitResult bare = vrw_test_fit(context, table, mlogit({"x1", "x2"}, {0, 1, 2, 3, 4}));
    ASSERT_EQ(bare.status, 0);
    EXPECT_EQ(slice(bare.coefficients, 2, 2), std::vector<double>(2, 0.0));
    EXPECT_TRUE(std::isnan(bare.standard_errors[2]) && std::isnan(bare.standard_errors[3]));
}

TEST_F(MultinomialLogitTest, FewerThanTwoChoicesWithRows)
{
    VRWTestTable table = choices;
    for (double &v : table.columns["y"])
        v = 2;
    EXPECT_EQ(vrw_test_fit(context, table, mlogit(kRegressors)).status, VRW_TOO_FEW_CATEGORIES);
    EXPECT_EQ(vrw_test_fit(context, choices, mlogit(kRegressors, {})).status,
              VRW_TOO_FEW_CATEGORIES);
    // The rows of the other choices left out by their weight.
    VRWTestTable ones_and_twos = choices;
    for (double y : ones_and_twos["y"])
        ones_and_twos.columns["w"].push_back(y == 1 || y == 2 ? 1.0 : 0.0);
    VRWTestFitSetup s = mlogit(kRegressors, {1, 2});
    s.frequency_weights = "w";
    VRWTestFitResult two = vrw_test_fit(context, ones_and_twos, s);
    EXPECT_EQ(two.status, 0) << "two choices: one equation";
    EXPECT_EQ(two.free_parameters, 4);
}

// A row of positive weight must hold one of the choices, each listed once:
// the rows are matched to the choices exactly, and a row of no choice would
// be fitted as the base without being counted in it. A row left out (weight
// 0) may hold anything, and a choice may be any number.
TEST_F(MultinomialLogitTest, RowsOutsideTheChoicesAreRefused)
{
    auto with_row = [](double y, double weight) {
        VRWTestTable table = choices;
        table.columns["w"] = std::vector<double>(table.rows, 1.0);
        return vrw_test_with_row(table, {{"y", y}, {"w", weight}});
    };
    auto weighted = [](std::vector<double> values) {
        VRWTestFitSetup s = mlogit(kRegressors, std::move(values));
        s.frequency_weights = "w";
        return s;
    };
    const struct {
        const char *name;
        VRWTestTable table;
        std::vector<double> values;
    } refused[] = {
        {"a value of no choice", with_row(7, 5), {0, 1, 2, 3}},
        {"a fraction of choice 1", with_row(1.5, 5), {0, 1, 2, 3}},
        {"no value", with_row(NAN, 5), {0, 1, 2, 3}},
        {"a choice listed twice", with_row(1, 1), {0, 1, 2, 1, 3}},
        {"choices 0 and 3 not listed", with_row(1, 1), {1, 2}},
    };
    for (const auto &c : refused) {
        SCOPED_TRACE(c.name);
        VRWTestFitResult fit = vrw_test_fit(context, c.table, weighted(c.values));
        EXPECT_EQ(fit.status, VRW_TOO_FEW_CATEGORIES);
        EXPECT_EQ(fit.coefficients, std::vector<double>(fit.coefficients.size(), -1.0));
    }
    for (double stray : {7.0, 1.5, (double)NAN, -1.0}) {
        SCOPED_TRACE(stray);
        VRWTestFitResult fit = vrw_test_fit(context, with_row(stray, 0), weighted({0, 1, 2, 3}));
        ASSERT_EQ(fit.status, 0);
        expect_oracles(fit, "choices");
        EXPECT_EQ(fit.observations, 600);
    }
    // Negative and fractional choices are matched as they are.
    VRWTestTable relabelled = with_row(0, 0);
    for (double &y : relabelled.columns["y"])
        y = y == 0 ? -1 : y == 1 ? 0.5 : y;
    VRWTestFitSetup s = weighted({-1, 0.5, 2, 3});
    s.omitted_value = -1;
    VRWTestFitResult fit = vrw_test_fit(context, relabelled, s);
    ASSERT_EQ(fit.status, 0);
    expect_oracles(fit, "choices");
}

// One effect a choice and panel: the slopes, their standard errors (plain
// and robust), the effects and the log likelihood of the fit with one
// indicator a panel.
TEST_F(MultinomialLogitTest, FixedEffectsEqualIndicators)
{
    VRWTestFitSetup s = mlogit({"z1", "z2"}, {0, 1, 2}, VRW_OPTION_FIXED_EFFECTS);
    s.panels = "g";
    VRWTestFitResult fit = vrw_test_fit(context, panels, s);
    ASSERT_EQ(fit.status, 0);
    EXPECT_LT(fit.iterations(), 10);
    expect_oracles(fit, "panels");
    vrw_test_expect_near(fit.fixed_effects, statsmodels("panels", "fixed_effects"), kStatsmodels,
                         "fixed effects");
    EXPECT_EQ(fit.free_parameters, 4 + 2 * 30);

    s.options |= VRW_OPTION_ROBUST;
    VRWTestFitResult robust = vrw_test_fit(context, panels, s);
    ASSERT_EQ(robust.status, 0);
    vrw_test_expect_near(robust.standard_errors, statsmodels("panels_robust", "standard_errors"),
                         kStatsmodels, "robust standard errors");
}

TEST_F(MultinomialLogitTest, ClusteredStandardErrors)
{
    VRWTestFitSetup s = mlogit({"1", "z1", "z2"}, {0, 1, 2}, VRW_OPTION_CLUSTER);
    s.panels = "g";
    VRWTestFitResult fit = vrw_test_fit(context, panels, s);
    ASSERT_EQ(fit.status, 0);
    vrw_test_expect_near(fit.standard_errors, statsmodels("clusters", "standard_errors"),
                         kStatsmodels, "clustered standard errors");
}

} // namespace
