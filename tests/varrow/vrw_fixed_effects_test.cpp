// One effect a panel estimated with the coefficients, against R's fits with
// one indicator a panel (fixtures/make_fixed_effects.R): slopes, standard
// errors, robust variances, log likelihoods, R squared, the effects and the
// predicted values; and the callbacks that carry the effects between host
// and device.
#include "vrw_fit_support.h"
#include "vrw_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

namespace {

const std::string kFixtures = std::string(OSTREL_TEST_SOURCE_DIR) + "/fixtures/";

class FixedEffectsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        context = vrw_test_context(kVrwTestSingleEquationFamilies);
        expected = vrw_test_read_expected(kFixtures + "fe_expected.csv");
        for (const char *name : {"fe_linear", "fe_glm"})
            tables[name] = vrw_test_read_table(kFixtures + name + ".csv");
    }
    static void TearDownTestSuite() { vrw_context_free(context); }

    static inline VRWContext_s *context;
    static inline VRWTestExpected expected;
    static inline std::map<std::string, VRWTestTable> tables;
};

VRWTestFitSetup panel_setup(VRWRegressionModel model, std::string dependent, uint32_t options)
{
    VRWTestFitSetup s;
    s.model = model;
    s.regressors = {"x1", "x2"};
    s.dependent = std::move(dependent);
    s.options = VRW_OPTION_FIXED_EFFECTS | options;
    s.panels = "g";
    return s;
}

VRWTestFitSetup linear(VRWRegressionModel model, uint32_t options)
{
    VRWTestFitSetup s = panel_setup(model, "y", options);
    s.frequency_weights = "fw";
    if (model == VRW_MODEL_WEIGHTED_LINEAR)
        s.analytic_weights = "w";
    return s;
}

VRWTestFitSetup binary(VRWRegressionModel model, uint32_t options)
{
    VRWTestFitSetup s = panel_setup(model, "b", options);
    s.value_of_interest = 1;
    return s;
}

VRWTestFitSetup poisson()
{
    VRWTestFitSetup s = panel_setup(VRW_MODEL_POISSON, "counts", 0);
    s.exposures = "exposure";
    return s;
}

struct FixedEffectsCase {
    const char *fixture;
    const char *data;
    VRWTestFitSetup setup;
    double tolerance;
    std::vector<std::string> quantities;
};

const std::vector<std::string> kLinear = {"coefficients", "standard_errors",    "log_likelihood",
                                          "r_squared",    "adjusted_r_squared", "fixed_effects",
                                          "predicted"};
const std::vector<std::string> kGeneralised = {"coefficients", "standard_errors",
                                               "log_likelihood"};

const FixedEffectsCase kCases[] = {
    {"linear", "fe_linear", linear(VRW_MODEL_LINEAR, 1), 1e-10, kLinear},
    {"linear_hc1", "fe_linear", linear(VRW_MODEL_LINEAR, 4 | 1), 1e-8, {"variance"}},
    {"weighted_linear", "fe_linear", linear(VRW_MODEL_WEIGHTED_LINEAR, 1), 1e-8, kLinear},
    {"weighted_linear_hc1", "fe_linear", linear(VRW_MODEL_WEIGHTED_LINEAR, 4 | 1), 1e-8,
     {"variance"}},
    {"logit", "fe_glm", binary(VRW_MODEL_LOGIT, 0), 1e-8, kGeneralised},
    {"logit_hc0", "fe_glm", binary(VRW_MODEL_LOGIT, 4), 1e-8, {"variance"}},
    {"probit", "fe_glm", binary(VRW_MODEL_PROBIT, 0), 1e-8, kGeneralised},
    {"poisson", "fe_glm", poisson(), 1e-8, kGeneralised},
};

// The predicted values of the rows of positive frequency weight.
std::vector<double> weighted_rows(const std::vector<double> &values, const VRWTestTable &data)
{
    std::vector<double> kept;
    for (size_t i = 0; i < data.rows; i++)
        if (data["fw"][i] > 0)
            kept.push_back(values[i]);
    return kept;
}

TEST_F(FixedEffectsTest, FitsEqualRWithOneIndicatorAPanel)
{
    ASSERT_TRUE(context);
    for (const FixedEffectsCase &c : kCases) {
        SCOPED_TRACE(c.fixture);
        const VRWTestTable &data = tables[c.data];
        VRWTestFitResult fit = vrw_test_fit(context, data, c.setup);
        ASSERT_EQ(fit.status, 0);
        EXPECT_LT(fit.iterations(), 20);
        for (const std::string &what : c.quantities) {
            const std::vector<double> &want = expected(c.fixture, what);
            if (what == "coefficients")
                vrw_test_expect_near(fit.coefficients, want, c.tolerance, what);
            else if (what == "standard_errors")
                vrw_test_expect_near(fit.standard_errors, want, c.tolerance, what);
            else if (what == "variance")
                vrw_test_expect_near(fit.variance, want, c.tolerance, what);
            else if (what == "fixed_effects")
                vrw_test_expect_near(fit.fixed_effects, want, c.tolerance, what);
            else if (what == "predicted")
                vrw_test_expect_near(weighted_rows(fit.predicted, data), want, c.tolerance, what);
            else
                vrw_test_expect_near({vrw_test_fit_statistic(fit, what)}, want, c.tolerance, what);
        }
    }
}

// The empty panel (every row of weight 0) is no cluster: its effect is fixed
// at 0 during the fit and comes back NaN; the free parameters count the
// other panels' effects, as the residual degrees of freedom of R's fit do.
// A least-squares fit is solved by its first step.
TEST_F(FixedEffectsTest, EmptyPanelIsNaNAndEveryOtherPanelCounts)
{
    const VRWTestTable &data = tables["fe_linear"];
    VRWTestFitResult fit = vrw_test_fit(context, data, linear(VRW_MODEL_LINEAR, 1));
    ASSERT_EQ(fit.status, 0);
    EXPECT_TRUE(std::isnan(fit.fixed_effects[17]));
    EXPECT_EQ(fit.free_parameters, 2 + 499);
    EXPECT_EQ(fit.iterations(), 2);
    double observations = 0;
    for (double w : data["fw"])
        observations += w;
    EXPECT_EQ(fit.observations, (int64_t)observations);
}

// Each panel carries the mean of its rows' analytic weights for the fit; the
// record holds the caller's vector again afterwards.
TEST_F(FixedEffectsTest, WeightedFitRestoresTheCallersWeights)
{
    VRWTestFitResult fit =
        vrw_test_fit(context, tables["fe_linear"], linear(VRW_MODEL_WEIGHTED_LINEAR, 1));
    ASSERT_EQ(fit.status, 0);
    EXPECT_TRUE(fit.record_restored);
    vrw_test_expect_near(fit.coefficients, expected("weighted_linear", "coefficients"), 1e-8,
                         "coefficients");
}

// Given start values of the effects change where the iteration starts, not
// where it ends.
TEST_F(FixedEffectsTest, EffectGuessesOnlyMoveTheStart)
{
    const VRWTestTable &data = tables["fe_glm"];
    VRWTestFitSetup s = binary(VRW_MODEL_LOGIT, 0);
    VRWTestFitResult plain = vrw_test_fit(context, data, s);
    size_t panels = (size_t)data["g"].back() + 1;
    s.fixed_effect_guesses.assign(panels, 0.5);
    VRWTestFitResult guessed = vrw_test_fit(context, data, s);
    ASSERT_EQ(plain.status, 0);
    ASSERT_EQ(guessed.status, 0);
    vrw_test_expect_near(guessed.coefficients, plain.coefficients, 1e-9, "coefficients");
    vrw_test_expect_near(guessed.fixed_effects, plain.fixed_effects, 1e-8, "effects");
}

// P = 5 panels, of which 1 and 3 are empty: each iteration reads G = 3 steps
// and subtracts them from panels 0, 2 and 4 in order.
TEST_F(FixedEffectsTest, PostStepCallbackAppliesOneStepANonEmptyPanel)
{
    int32_t status = 0, columns[] = {0};
    uint32_t clusters[] = {0, 2, 4};
    double constraints[] = {NAN, 0.0, NAN, 0.0, NAN};
    std::unique_ptr<VRWMleBuffers_s, void (*)(VRWMleBuffers_s *)> buffers(
        vrw_create_mle_buffers(context, columns, 1, nullptr, 1, constraints, 5, clusters, 3, 0, 0,
                               nullptr, 0, 1, &status),
        vrw_free_mle_buffers);
    ASSERT_TRUE(buffers);
    std::vector<double> effects = {1.0, 0.0, 3.0, 0.0, 5.0};
    VRWFixedEffectsCtx_s *fe = vrw_fixed_effects_ctx_init(nullptr, 3);
    ASSERT_TRUE(fe);
    fe->estimates = effects.data();
    std::vector<double> steps = {0.5, -1.0, 2.0};
    ASSERT_EQ(vrw_write_fp_buffer(context, buffers->fe_delta, 3, steps.data()), 0);
    ASSERT_EQ(vrw_post_iteration_fixed_effects_callback(context, buffers.get(), fe), 0);
    EXPECT_EQ(effects, (std::vector<double>{0.5, 0.0, 4.0, 0.0, 3.0}));
    ASSERT_EQ(vrw_pre_iteration_fixed_effects_callback(context, buffers.get(), fe), 0);
    std::vector<double> device(5);
    ASSERT_EQ(vrw_read_fp_buffer(context, buffers->fixed_effects, 5, device.data()), 0);
    EXPECT_EQ(device, effects);
    vrw_fixed_effects_ctx_free(fe);
}

// The iteration context starts the effects at the constraint, else the
// guess (a NaN guess stands), else 0, and frees its effects context with it.
TEST_F(FixedEffectsTest, IterationContextStartsTheEffects)
{
    const VRWTestTable &data = tables["fe_glm"];
    int32_t status = 0;
    std::vector<double> host(3 * data.rows);
    std::copy(data["x1"].begin(), data["x1"].end(), host.begin());
    std::copy(data["x2"].begin(), data["x2"].end(), host.begin() + data.rows);
    std::copy(data["b"].begin(), data["b"].end(), host.begin() + 2 * data.rows);
    int32_t sizes[] = {8, 9, (int32_t)data.rows - 17};
    std::unique_ptr<VRWMatrixBuffer_s, VRWMatrixUnload> matrix(vrw_load_unbalanced_panel_matrix(
        context, host.data(), (int32_t)data.rows, 3, sizes, 3, 0, &status));
    std::unique_ptr<VRWVectorBuffer_s, VRWVectorUnload> weights(
        vrw_load_unbalanced_panel_ones_vector(context, (uint32_t)data.rows, sizes, 3, &status));
    ASSERT_EQ(status, 0);
    int32_t columns[] = {0, 1};
    uint32_t clusters[] = {0, 2};
    double constraints[] = {NAN, 0.0, NAN};
    std::unique_ptr<VRWMleBuffers_s, void (*)(VRWMleBuffers_s *)> buffers(
        vrw_create_mle_buffers(context, columns, 2, nullptr, 2, constraints, 3, clusters, 2, 0, 0,
                               nullptr, 0, matrix->blocks, &status),
        vrw_free_mle_buffers);
    ASSERT_TRUE(buffers);
    std::vector<double> effects(3, -1.0), guesses = {NAN, 7.0, 2.0};
    VRWIterationCtx_s *iteration =
        vrw_iteration_ctx_init_fe(context, "logit", matrix.get(), weights.get(), nullptr, nullptr,
                                  buffers.get(), guesses.data(), effects.data(), 2, &status, 1.0);
    ASSERT_TRUE(iteration);
    EXPECT_TRUE(std::isnan(effects[0]));
    EXPECT_EQ(effects[1], 0.0);
    EXPECT_EQ(effects[2], 2.0);
    EXPECT_EQ(iteration->prefix_run_count, 5u);
    EXPECT_EQ(iteration->step_run_count, 1u);
    EXPECT_EQ(iteration->step_runs[0].global_size[0], 2u) << "one step a non-empty panel";
    EXPECT_EQ(iteration->pre_prefix_callback_count, 1u);
    EXPECT_EQ(iteration->post_step_callback_count, 1u);
    vrw_iteration_ctx_fe_free(iteration);

    std::fill(effects.begin(), effects.end(), -1.0);
    iteration =
        vrw_iteration_ctx_init_fe(context, "logit", matrix.get(), weights.get(), nullptr, nullptr,
                                  buffers.get(), nullptr, effects.data(), 2, &status, 1.0);
    ASSERT_TRUE(iteration);
    EXPECT_EQ(effects, (std::vector<double>{0.0, 0.0, 0.0}));
    vrw_iteration_ctx_fe_free(iteration);
}

} // namespace
