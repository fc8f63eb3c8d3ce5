// The single-equation models fitted end to end against R's lm, glm and
// sandwich (fixtures/make_models.R): coefficients, variances (plain, robust,
// clustered), log likelihoods, R squared, predicted values and residuals.
#include "vrw_fit_support.h"
#include "vrw_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

namespace {

const std::string kFixtures = std::string(OSTREL_TEST_SOURCE_DIR) + "/fixtures/";

class ModelsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        context = vrw_test_context(kVrwTestSingleEquationFamilies);
        expected = vrw_test_read_expected(kFixtures + "models_expected.csv");
        for (const char *name : {"models_data", "birthwt", "insurance", "quine"})
            tables[name] = vrw_test_read_table(kFixtures + name + ".csv");
    }
    static void TearDownTestSuite() { vrw_context_free(context); }

    static inline VRWContext_s *context;
    static inline VRWTestExpected expected;
    static inline std::map<std::string, VRWTestTable> tables;
};

const std::vector<std::string> kSimulated = {"1", "x1", "x2"};
const std::vector<std::string> kBirthwt = {"1",     "age", "lwt", "race_black", "race_other",
                                           "smoke", "ptl", "ht",  "ui",         "ftv"};
const std::vector<std::string> kInsurance = {"1",  "d1", "d2", "d3", "d4",
                                             "d5", "d6", "d7", "d8", "d9"};
const std::vector<std::string> kQuine = {"1", "d1", "d2", "d3", "d4", "d5", "d6"};

VRWTestFitSetup setup(VRWRegressionModel model, std::vector<std::string> regressors,
                    std::string dependent, uint32_t options)
{
    VRWTestFitSetup s;
    s.model = model;
    s.regressors = std::move(regressors);
    s.dependent = std::move(dependent);
    s.options = options;
    return s;
}

VRWTestFitSetup weighted(VRWTestFitSetup s, std::string analytic)
{
    s.analytic_weights = std::move(analytic);
    return s;
}

VRWTestFitSetup binary(VRWTestFitSetup s)
{
    s.value_of_interest = 1;
    return s;
}

VRWTestFitSetup clustered(VRWTestFitSetup s)
{
    s.panels = "g";
    return s;
}

// What a case compares, as the fixture names it; R squared and its adjusted
// form are read off the sums of squares as the application does.
struct ModelCase {
    const char *fixture;
    const char *data;
    VRWTestFitSetup setup;
    double tolerance;
    std::vector<std::string> quantities;
};

const std::vector<std::string> kLinear = {"coefficients", "variance", "log_likelihood",
                                          "r_squared",    "adjusted_r_squared",
                                          "predicted",    "residuals"};
const std::vector<std::string> kGeneralised = {"coefficients", "variance",  "standard_errors",
                                               "log_likelihood", "predicted"};

const VRWTestFitSetup kFrequencyLinear = [] {
    VRWTestFitSetup s = setup(VRW_MODEL_LINEAR, {"1", "fx1", "x2"}, "fy", 1);
    s.frequency_weights = "fw";
    return s;
}();

const VRWTestFitSetup kPoisson = [] {
    VRWTestFitSetup s = setup(VRW_MODEL_POISSON, kInsurance, "claims", 0);
    s.exposures = "holders";
    return s;
}();

std::vector<std::string> with(std::vector<std::string> quantities, const char *more)
{
    quantities.push_back(more);
    return quantities;
}

const ModelCase kCases[] = {
    {"linear", "models_data", setup(VRW_MODEL_LINEAR, kSimulated, "y", 1), 1e-8, kLinear},
    // Without a constant R adjusts R squared by n rather than n - 1.
    {"linear_no_constant", "models_data", setup(VRW_MODEL_LINEAR, {"x1", "x2"}, "y", 1 | 32),
     1e-8, {"coefficients", "variance", "log_likelihood", "r_squared", "predicted"}},
    {"log_linear", "models_data", setup(VRW_MODEL_LOG_LINEAR, kSimulated, "ly", 1), 1e-8,
     kLinear},
    {"weighted_linear", "models_data",
     weighted(setup(VRW_MODEL_WEIGHTED_LINEAR, kSimulated, "y", 1), "w"), 1e-8, kLinear},
    {"weighted_log_linear", "models_data",
     weighted(setup(VRW_MODEL_WEIGHTED_LOG_LINEAR, kSimulated, "ly", 1), "w"), 1e-8, kLinear},
    {"frequency_linear", "models_data", kFrequencyLinear, 1e-8,
     {"coefficients", "variance", "log_likelihood", "r_squared", "adjusted_r_squared"}},
    {"binary_linear", "models_data", binary(setup(VRW_MODEL_BINARY_LINEAR, kSimulated, "b", 1)),
     1e-8, kLinear},
    {"linear_hc1", "models_data", setup(VRW_MODEL_LINEAR, kSimulated, "y", 4 | 1), 1e-8,
     {"variance"}},
    {"weighted_linear_hc1", "models_data",
     weighted(setup(VRW_MODEL_WEIGHTED_LINEAR, kSimulated, "y", 4 | 1), "w"), 1e-8, {"variance"}},
    {"weighted_linear_cluster", "models_data",
     clustered(weighted(setup(VRW_MODEL_WEIGHTED_LINEAR, kSimulated, "y", 8 | 1), "w")), 1e-8,
     {"coefficients", "variance"}},
    {"linear_cluster", "models_data", clustered(setup(VRW_MODEL_LINEAR, kSimulated, "y", 8 | 1)),
     1e-8, {"variance"}},
    {"linear_cluster_adjusted", "models_data",
     clustered(setup(VRW_MODEL_LINEAR, kSimulated, "y", 8 | 2 | 1)), 1e-8, {"variance"}},
    {"sim_logit", "models_data", binary(setup(VRW_MODEL_LOGIT, kSimulated, "b", 0)), 1e-7,
     with(kGeneralised, "residuals")},
    {"sim_logit_cluster", "models_data",
     clustered(binary(setup(VRW_MODEL_LOGIT, kSimulated, "b", 8))), 1e-6, {"variance"}},
    {"logit", "birthwt", binary(setup(VRW_MODEL_LOGIT, kBirthwt, "low", 0)), 1e-7,
     with(kGeneralised, "residuals")},
    {"logit_hc0", "birthwt", binary(setup(VRW_MODEL_LOGIT, kBirthwt, "low", 4)), 1e-6,
     {"variance"}},
    {"probit", "birthwt", binary(setup(VRW_MODEL_PROBIT, kBirthwt, "low", 0)), 1e-7,
     kGeneralised},
    {"probit_hc0", "birthwt", binary(setup(VRW_MODEL_PROBIT, kBirthwt, "low", 4)), 1e-6,
     {"variance"}},
    {"poisson", "insurance", kPoisson, 1e-7, with(kGeneralised, "residuals")},
    {"poisson_hc0", "insurance", [] {
         VRWTestFitSetup s = kPoisson;
         s.options = 4;
         return s;
     }(),
     1e-6, {"variance"}},
    {"geometric", "quine", setup(VRW_MODEL_GEOMETRIC, kQuine, "days", 0), 1e-7, kGeneralised},
    {"geometric_hc0", "quine", setup(VRW_MODEL_GEOMETRIC, kQuine, "days", 4), 1e-6,
     {"variance"}},
};

TEST_F(ModelsTest, FitsEqualR)
{
    ASSERT_TRUE(context);
    for (const ModelCase &c : kCases) {
        SCOPED_TRACE(c.fixture);
        VRWTestFitResult fit = vrw_test_fit(context, tables[c.data], c.setup);
        ASSERT_EQ(fit.status, 0);
        EXPECT_LT(fit.iterations(), VRW_ITERATION_LOG_MAX_ITERATIONS);
        for (const std::string &what : c.quantities) {
            const std::vector<double> &want = expected(c.fixture, what);
            if (what == "coefficients")
                vrw_test_expect_near(fit.coefficients, want, c.tolerance, what);
            else if (what == "variance")
                vrw_test_expect_near(fit.variance, want, c.tolerance, what);
            else if (what == "standard_errors")
                vrw_test_expect_near(fit.standard_errors, want, c.tolerance, what);
            else if (what == "predicted")
                vrw_test_expect_near(fit.predicted, want, c.tolerance, what);
            else if (what == "residuals")
                vrw_test_expect_near(fit.residuals, want, c.tolerance, what);
            else
                vrw_test_expect_near({vrw_test_fit_statistic(fit, what)}, want, c.tolerance, what);
        }
    }
}

// A coefficient fixed by a constraint: R's fit with that term as an offset.
TEST_F(ModelsTest, ConstrainedCoefficientHasStandardErrorZero)
{
    VRWTestFitSetup s = setup(VRW_MODEL_LINEAR, kSimulated, "y", 1);
    s.constraints = {NAN, NAN, 0.5};
    VRWTestFitResult fit = vrw_test_fit(context, tables["models_data"], s);
    ASSERT_EQ(fit.status, 0);
    vrw_test_expect_near(fit.coefficients, expected("constrained", "coefficients"), 1e-8,
                         "coefficients");
    vrw_test_expect_near(fit.standard_errors, expected("constrained", "standard_errors"), 1e-8,
                         "standard errors");
    EXPECT_EQ(fit.standard_errors[2], 0.0);
    EXPECT_EQ(fit.free_parameters, 2);
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(fit.variance[2 * 3 + i], 0.0);
        EXPECT_EQ(fit.variance[i * 3 + 2], 0.0);
    }
}

TEST_F(ModelsTest, LogitCountsChoicesAndTestsRestrictions)
{
    // Both race coefficients 0: rows of R pick coefficients 3 and 4.
    std::vector<double> R(2 * kBirthwt.size(), 0.0), r(2, 0.0);
    R[3 * 2 + 0] = 1;
    R[4 * 2 + 1] = 1;
    VRWTestRestrictions_s *restrictions = vrw_init_restrictions((int64_t)kBirthwt.size(), 1);
    restrictions->R[0] = R.data();
    restrictions->q[0] = 2;
    restrictions->r[0] = r.data();
    VRWTestFitSetup s = binary(setup(VRW_MODEL_LOGIT, kBirthwt, "low", 0));
    s.restrictions = restrictions;
    VRWTestFitResult fit = vrw_test_fit(context, tables["birthwt"], s);
    vrw_free_restrictions(restrictions);
    ASSERT_EQ(fit.status, 0);
    vrw_test_expect_near(fit.wald_statistics, expected("logit", "race_wald"), 1e-6,
                         "Wald statistic");
    EXPECT_EQ(fit.wald_degrees_of_freedom[0], 2);
    EXPECT_EQ(fit.choice_counts, (std::vector<int64_t>{130, 59}));
    EXPECT_EQ(fit.observations, 189);
}

// Logit, Poisson and geometric fits never report a residual sum of squares;
// the linear probability model does.
TEST_F(ModelsTest, ResidualSumOfSquaresOnlyForLeastSquares)
{
    VRWTestFitResult logit = vrw_test_fit(context, tables["birthwt"],
                                          binary(setup(VRW_MODEL_LOGIT, kBirthwt, "low", 0)));
    VRWTestFitResult poisson = vrw_test_fit(context, tables["insurance"], kPoisson);
    VRWTestFitResult linear = vrw_test_fit(
        context, tables["models_data"], binary(setup(VRW_MODEL_BINARY_LINEAR, kSimulated, "b", 1)));
    EXPECT_TRUE(std::isnan(logit.rss));
    EXPECT_TRUE(std::isnan(poisson.rss));
    EXPECT_EQ(poisson.choice_counts, (std::vector<int64_t>{-1, -1}));
    EXPECT_GT(linear.rss, 0);
}

} // namespace
