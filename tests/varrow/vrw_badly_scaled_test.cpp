// Every model on a badly scaled design (fixtures/make_badly_scaled.R): one
// regressor x 1e6, one x 1e-6, one of mean 1e4 and sd 10 and a pair
// correlated at 0.97. The estimates equal R's on the same data, and those of
// the design with the three rescaled to unit size once mapped back: a fit
// tests and inverts its Hessian equilibrated, so the units of a regressor
// change neither whether it converges nor where.
#include "vrw_fit_support.h"
#include "vrw_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string kFixtures = std::string(OSTREL_TEST_SOURCE_DIR) + "/fixtures/";
const std::vector<std::string> kRegressors = {"1", "x1", "x2", "x3", "x4", "x5"};
// What the rescaled design multiplies each regressor by.
const std::vector<double> kRescale = {1, 1e-6, 1e6, 0.1, 1, 1};

// R's optimisers behind polr and multinom stop some 1e-7 short of the
// maximum even at their tightest tolerances; the others converge fully.
constexpr double kR = 1e-8;
constexpr double kQuasiNewton = 1e-6;
constexpr double kRescaled = 1e-8;

struct ScaledCase {
    const char *name;
    VRWTestFitSetup setup;
    double tolerance;              // against R
};

VRWTestFitSetup setup(VRWRegressionModel model, const char *dependent)
{
    VRWTestFitSetup s;
    s.model = model;
    s.regressors = kRegressors;
    s.dependent = dependent;
    return s;
}

VRWTestFitSetup with(VRWTestFitSetup s, void (*change)(VRWTestFitSetup &))
{
    change(s);
    return s;
}

const ScaledCase kCases[] = {
    {"linear", setup(VRW_MODEL_LINEAR, "y"), kR},
    {"log_linear", setup(VRW_MODEL_LOG_LINEAR, "ly"), kR},
    {"weighted_linear",
     with(setup(VRW_MODEL_WEIGHTED_LINEAR, "y"), [](VRWTestFitSetup &s) { s.analytic_weights = "w"; }),
     kR},
    {"weighted_log_linear",
     with(setup(VRW_MODEL_WEIGHTED_LOG_LINEAR, "ly"),
          [](VRWTestFitSetup &s) { s.analytic_weights = "w"; }),
     kR},
    {"instrumental_variables",
     with(setup(VRW_MODEL_INSTRUMENTAL_VARIABLES, "yiv"),
          [](VRWTestFitSetup &s) { s.instruments = {"1", "x1", "x2", "x3", "x4", "z"}; }),
     kR},
    {"logit",
     with(setup(VRW_MODEL_LOGIT, "b"), [](VRWTestFitSetup &s) { s.value_of_interest = 1; }), kR},
    {"probit",
     with(setup(VRW_MODEL_PROBIT, "b"), [](VRWTestFitSetup &s) { s.value_of_interest = 1; }), kR},
    {"binary_linear",
     with(setup(VRW_MODEL_BINARY_LINEAR, "b"), [](VRWTestFitSetup &s) { s.value_of_interest = 1; }),
     kR},
    {"poisson", setup(VRW_MODEL_POISSON, "counts"), kR},
    {"negative_binomial", setup(VRW_MODEL_NEGATIVE_BINOMIAL, "nb"), kR},
    {"geometric", setup(VRW_MODEL_GEOMETRIC, "nb"), kR},
    {"cox",
     with(setup(VRW_MODEL_COX_PROPORTIONAL_HAZARDS, "time"),
          [](VRWTestFitSetup &s) { s.censoring = "censored"; }),
     kR},
    {"multinomial_logit",
     with(setup(VRW_MODEL_MULTINOMIAL_LOGIT, "choice"),
          [](VRWTestFitSetup &s) {
              s.dependent_values = {0, 1, 2};
              s.omitted_value = 0;
          }),
     kQuasiNewton},
    {"ordered_logit",
     with(setup(VRW_MODEL_ORDERED_LOGIT, "ord"),
          [](VRWTestFitSetup &s) { s.dependent_values = {0, 1, 2, 3}; }),
     kQuasiNewton},
    {"ordered_probit",
     with(setup(VRW_MODEL_ORDERED_PROBIT, "ord"),
          [](VRWTestFitSetup &s) { s.dependent_values = {0, 1, 2, 3}; }),
     kQuasiNewton},
};

// The coefficients the model reports: one set of regressors, J for the
// multinomial logit.
std::vector<double> reported(const VRWTestFitResult &fit, const VRWTestFitSetup &setup)
{
    size_t sets = setup.model == VRW_MODEL_MULTINOMIAL_LOGIT ? setup.dependent_values.size() : 1;
    return std::vector<double>(fit.coefficients.begin(),
                               fit.coefficients.begin() + (long)(sets * kRegressors.size()));
}

// The nuisance parameters the model estimates: 1 / theta of the negative
// binomial, the free cuts of the ordered models, none of the others.
std::vector<double> nuisance(const VRWTestFitResult &fit, const VRWTestFitSetup &setup)
{
    if (setup.model == VRW_MODEL_NEGATIVE_BINOMIAL)
        return {fit.nuisance[0]};
    if (setup.model == VRW_MODEL_ORDERED_LOGIT || setup.model == VRW_MODEL_ORDERED_PROBIT)
        return {fit.nuisance[2], fit.nuisance[3]};
    return {};
}

// The rescaled fit's coefficients on the raw regressors' scale.
std::vector<double> mapped_back(std::vector<double> coefficients)
{
    for (size_t i = 0; i < coefficients.size(); i++)
        coefficients[i] *= kRescale[i % kRescale.size()];
    return coefficients;
}

class BadlyScaledTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        context = vrw_test_context(0x1ff);
        data = vrw_test_read_table(kFixtures + "badly_scaled.csv");
        rescaled = data;
        for (size_t j = 1; j < kRegressors.size(); j++)
            for (double &v : rescaled.columns[kRegressors[j]])
                v *= kRescale[j];
        expected = vrw_test_read_expected(kFixtures + "badly_scaled_expected.csv");
    }
    static void TearDownTestSuite() { vrw_context_free(context); }

    static inline VRWContext_s *context;
    static inline VRWTestTable data, rescaled;
    static inline VRWTestExpected expected;
};

TEST_F(BadlyScaledTest, EveryModelEqualsROnTheRawAndTheRescaledDesign)
{
    ASSERT_TRUE(context);
    for (const ScaledCase &c : kCases) {
        SCOPED_TRACE(c.name);
        VRWTestFitResult raw = vrw_test_fit(context, data, c.setup);
        ASSERT_EQ(raw.status, 0);
        std::vector<double> coefficients = reported(raw, c.setup);
        vrw_test_expect_near(coefficients, expected(c.name, "coefficients"), c.tolerance,
                             "coefficients against R");
        std::vector<double> extra = nuisance(raw, c.setup);
        if (!extra.empty())
            vrw_test_expect_near(extra, expected(c.name, "nuisance"), c.tolerance,
                                 "nuisance parameters against R");

        VRWTestFitResult small = vrw_test_fit(context, rescaled, c.setup);
        ASSERT_EQ(small.status, 0);
        vrw_test_expect_near(mapped_back(reported(small, c.setup)), coefficients, kRescaled,
                             "coefficients of the rescaled design");
        vrw_test_expect_near(nuisance(small, c.setup), extra, kRescaled, "nuisance parameters");
    }
}

} // namespace
