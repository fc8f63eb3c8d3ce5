// The negative binomial fit against MASS's glm.nb (fixtures/make_negbin2.R):
// coefficients, standard errors, 1 / theta with its standard error, the log
// likelihood, predictions and the robust variance on MASS::quine, the fit
// with one effect a panel, and fits that start far from their maximum.
#include "vrw_fit_support.h"
#include "vrw_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>

namespace {

const std::string kFixtures = std::string(OSTREL_TEST_SOURCE_DIR) + "/fixtures/";

class NegativeBinomialTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        context = vrw_test_context(VRW_FAMILY_COMMON | VRW_FAMILY_NEGATIVE_BINOMIAL);
        quine = vrw_test_read_table(kFixtures + "quine.csv");
        panels = vrw_test_read_table(kFixtures + "negbin2_panels.csv");
        slopes = vrw_test_read_table(kFixtures + "negbin2_slopes.csv");
        expected = vrw_test_read_expected(kFixtures + "negbin2_expected.csv");
    }
    static void TearDownTestSuite() { vrw_context_free(context); }

    // What glm.nb reports of the fit.
    static void expect_glm_nb(const VRWTestFitResult &fit, const std::string &name,
                              double tolerance)
    {
        vrw_test_expect_near(fit.coefficients, expected(name, "coefficients"), tolerance,
                             "coefficients");
        vrw_test_expect_near(fit.standard_errors, expected(name, "standard_errors"), tolerance,
                             "standard errors");
        vrw_test_expect_near(fit.nuisance, expected(name, "nuisance"), tolerance, "1 / theta");
        vrw_test_expect_near(fit.nuisance_standard_errors,
                             expected(name, "nuisance_standard_error"), tolerance,
                             "its standard error");
        vrw_test_expect_near({fit.log_likelihood}, expected(name, "log_likelihood"), tolerance,
                             "log likelihood");
    }

    static inline VRWContext_s *context;
    static inline VRWTestTable quine, panels, slopes;
    static inline VRWTestExpected expected;
};

VRWTestFitSetup quine_setup(uint32_t options)
{
    VRWTestFitSetup s;
    s.model = VRW_MODEL_NEGATIVE_BINOMIAL;
    s.regressors = {"1", "d1", "d2", "d3", "d4", "d5", "d6"};
    s.dependent = "days";
    s.options = options;
    return s;
}

// The leading k x k block of a (k + 1) x (k + 1) matrix.
std::vector<double> regressor_block(const std::vector<double> &matrix, size_t k)
{
    std::vector<double> block;
    for (size_t j = 0; j < k; j++)
        for (size_t i = 0; i < k; i++)
            block.push_back(matrix[j * (k + 1) + i]);
    return block;
}

TEST_F(NegativeBinomialTest, QuineEqualsGlmNb)
{
    ASSERT_TRUE(context);
    VRWTestFitResult fit = vrw_test_fit(context, quine, quine_setup(0));
    ASSERT_EQ(fit.status, 0);
    EXPECT_LT(fit.iterations(), 20);
    expect_glm_nb(fit, "quine", 1e-8);
    vrw_test_expect_near(fit.predicted, expected("quine", "predicted"), 1e-8, "predicted");
    EXPECT_EQ(fit.free_parameters, 8);
    EXPECT_EQ(fit.observations, 146);
    // The variance keeps theta's own scale: its standard error is
    // se(1 / theta) theta^2.
    double theta = 1 / fit.nuisance[0];
    EXPECT_NEAR(std::sqrt(fit.variance[8 * 8 - 1]),
                fit.nuisance_standard_errors[0] * theta * theta, 1e-12);
}

// Continuous regressors, theta of 0.3, 1 and 5 against the start of 1: the
// first steps, from the log mean alone, meet an indefinite observed Hessian
// and a Newton step on theta that lands below 0.
TEST_F(NegativeBinomialTest, FitsFarFromTheStartEqualGlmNb)
{
    for (const char *size : {"small", "one", "large"}) {
        SCOPED_TRACE(size);
        VRWTestFitSetup s;
        s.model = VRW_MODEL_NEGATIVE_BINOMIAL;
        s.regressors = {"1", "x1", "x2"};
        s.dependent = size;
        VRWTestFitResult fit = vrw_test_fit(context, slopes, s);
        ASSERT_EQ(fit.status, 0);
        EXPECT_LT(fit.iterations(), 20);
        expect_glm_nb(fit, std::string("slopes_") + size, 1e-7);
    }
}

TEST_F(NegativeBinomialTest, RobustVarianceEqualsSandwich)
{
    VRWTestFitResult fit = vrw_test_fit(context, quine, quine_setup(VRW_OPTION_ROBUST));
    ASSERT_EQ(fit.status, 0);
    vrw_test_expect_near(regressor_block(fit.variance, 7), expected("quine_hc0", "variance"), 1e-7,
                         "variance");
}

// Every regressor fixed at glm.nb's estimates: theta alone is estimated,
// and lands where glm.nb has it.
TEST_F(NegativeBinomialTest, ThetaAloneWhenEveryRegressorIsFixed)
{
    VRWTestFitSetup s = quine_setup(0);
    s.constraints = expected("quine", "coefficients");
    VRWTestFitResult fit = vrw_test_fit(context, quine, s);
    ASSERT_EQ(fit.status, 0);
    EXPECT_EQ(fit.free_parameters, 1);
    EXPECT_EQ(fit.standard_errors, std::vector<double>(7, 0.0));
    vrw_test_expect_near(fit.nuisance, expected("quine", "nuisance"), 1e-9, "1 / theta");
    vrw_test_expect_near(fit.nuisance_standard_errors,
                         expected("quine", "nuisance_standard_error"), 1e-9, "its standard error");
}

TEST_F(NegativeBinomialTest, FixedEffectsEqualGlmNbWithOneIndicatorAPanel)
{
    VRWTestFitSetup s;
    s.model = VRW_MODEL_NEGATIVE_BINOMIAL;
    s.regressors = {"x1", "x2"};
    s.dependent = "counts";
    s.exposures = "exposure";
    s.panels = "g";
    s.options = VRW_OPTION_FIXED_EFFECTS;
    VRWTestFitResult fit = vrw_test_fit(context, panels, s);
    ASSERT_EQ(fit.status, 0);
    EXPECT_LT(fit.iterations(), 20);
    expect_glm_nb(fit, "panels", 1e-8);
    EXPECT_EQ(fit.free_parameters, 3 + (int64_t)panels["g"].back() + 1);

    // Robust: each row's scores less the effects' part, as sandwich's
    // variance of the fit with the indicators has them.
    s.options |= VRW_OPTION_ROBUST;
    VRWTestFitResult robust = vrw_test_fit(context, panels, s);
    ASSERT_EQ(robust.status, 0);
    vrw_test_expect_near(regressor_block(robust.variance, 2), expected("panels_hc0", "variance"),
                         1e-7, "robust variance");
}

} // namespace
