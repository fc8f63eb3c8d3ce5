// The regression record and the frame of a run: setters by model,
// regressors without data, too few observations, Wald tests on more
// coefficients than a fit reports, multicollinear regressors,
// the iteration log of a fit that does not converge, missing kernels.
#include "vrw_fit_support.h"
#include "vrw_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>

namespace {

const std::string kFixtures = std::string(OSTREL_TEST_SOURCE_DIR) + "/fixtures/";

struct RegressionFree {
    void operator()(VRWRegression_s *r) const { vrw_free_regression(r); }
};
using RegressionPtr = std::unique_ptr<VRWRegression_s, RegressionFree>;

TEST(RegressionRecordTest, StartsWithDefaultsAndTheModelsFamilies)
{
    const std::pair<VRWRegressionModel, uint32_t> families[] = {
        {0, 0x88},  {1, 0x88},  {2, 0x88},  {3, 0x88},  {4, 0x180}, {5, 0x81},
        {6, 0x81},  {7, 0x81},  {8, 0x90},  {9, 0xA0},  {10, 0x90}, {11, 0xC0},
        {12, 0x84}, {13, 0x82}, {14, 0x82}, {15, 0x80}, {-1, 0x80}};
    for (auto [model, mask] : families) {
        RegressionPtr r(vrw_init_regression(nullptr, model));
        ASSERT_TRUE(r);
        EXPECT_EQ(r->family_mask, mask) << "model " << model;
        EXPECT_EQ(r->dependent_column, -1);
        EXPECT_EQ(r->constant_column, -1);
        EXPECT_EQ(r->independent_column_count, -1);
        EXPECT_TRUE(std::isnan(r->dependent_value_of_interest));
        EXPECT_EQ(r->out_coefficients, nullptr);
    }
}

// A setter refused by the model returns 1 and stores nothing.
TEST(RegressionRecordTest, SettersApplyToTheirModels)
{
    double value = 0;
    int64_t count = 0;
    VRWVectorBuffer_s vector = {};
    using Setter = std::function<int32_t(VRWRegression_s *)>;
    struct Case {
        const char *setter;
        Setter set;
        std::function<bool(const VRWRegression_s *)> stored;
        std::vector<VRWRegressionModel> models;
    } cases[] = {
        {"exposures", [&](VRWRegression_s *r) { return vrw_set_reg_exposures(r, &vector); },
         [&](const VRWRegression_s *r) { return r->exposures == &vector; }, {8, 9}},
        {"analytic weights",
         [&](VRWRegression_s *r) { return vrw_set_reg_analytic_weights(r, &vector); },
         [&](const VRWRegression_s *r) { return r->analytic_weights == &vector; }, {2, 3}},
        {"value of interest",
         [&](VRWRegression_s *r) { return vrw_set_reg_dependent_value_of_interest(r, 2.0); },
         [&](const VRWRegression_s *r) { return r->dependent_value_of_interest == 2.0; },
         {5, 6, 7}},
        {"per-choice counts",
         [&](VRWRegression_s *r) {
             return vrw_set_reg_out_per_choice_observation_count(r, &count);
         },
         [&](const VRWRegression_s *r) { return r->out_per_choice_observation_count == &count; },
         {5, 6, 7, 12, 13, 14}},
        {"per-choice log likelihoods",
         [&](VRWRegression_s *r) { return vrw_set_reg_out_per_choice_log_likelihood(r, &value); },
         [&](const VRWRegression_s *r) { return r->out_per_choice_log_likelihood == &value; },
         {5, 6, 12, 13, 14}},
        {"censoring", [&](VRWRegression_s *r) { return vrw_set_reg_censoring(r, &vector); },
         [&](const VRWRegression_s *r) { return r->censoring == &vector; }, {11}},
        {"objective function",
         [&](VRWRegression_s *r) { return vrw_set_reg_out_objective_function(r, &value); },
         [&](const VRWRegression_s *r) { return r->out_objective_function == &value; },
         {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}},
    };
    for (const Case &c : cases) {
        for (VRWRegressionModel model = 0; model <= 15; model++) {
            RegressionPtr r(vrw_init_regression(nullptr, model));
            bool applies = std::find(c.models.begin(), c.models.end(), model) != c.models.end();
            EXPECT_EQ(c.set(r.get()), applies ? 0 : 1) << c.setter << ", model " << model;
            EXPECT_EQ(c.stored(r.get()), applies) << c.setter << ", model " << model;
        }
    }
}

class RegressionRunTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        context = vrw_test_context(kVrwTestSingleEquationFamilies);
        data = vrw_test_read_table(kFixtures + "models_data.csv");
        for (const auto &row : vrw_test_read_csv(kFixtures + "models_expected.csv"))
            if (row.at("case") == "linear" && row.at("what") == "coefficients")
                linear_coefficients.push_back(std::stod(row.at("value")));
    }
    static void TearDownTestSuite() { vrw_context_free(context); }

    static VRWTestFitSetup linear(std::vector<std::string> regressors)
    {
        VRWTestFitSetup s;
        s.regressors = std::move(regressors);
        s.dependent = "y";
        s.options = 1;
        return s;
    }

    static inline VRWContext_s *context;
    static inline VRWTestTable data;
    static inline std::vector<double> linear_coefficients;
};

// A regressor that is 0 in every row of positive weight (here also NaN in
// rows of weight 0) is fixed at 0, whatever the caller asked, and comes back
// NaN; the rest is the fit without it.
TEST_F(RegressionRunTest, RegressorWithoutDataComesBackNaN)
{
    VRWTestTable table = data;
    std::vector<double> zero(table.rows, 0.0);
    zero[3] = NAN;
    table.columns["zero"] = zero;
    table.columns["fw_zero_row"] = std::vector<double>(table.rows, 1.0);
    table.columns["fw_zero_row"][3] = 0.0;
    VRWTestFitSetup s = linear({"1", "x1", "zero", "x2"});
    s.frequency_weights = "fw_zero_row";
    s.constraints = {NAN, NAN, 7.0, NAN};
    VRWTestFitResult fit = vrw_test_fit(context, table, s);
    ASSERT_EQ(fit.status, 0);
    EXPECT_TRUE(std::isnan(fit.coefficients[2]));
    EXPECT_TRUE(std::isnan(fit.standard_errors[2]));
    EXPECT_EQ(fit.free_parameters, 3);
    VRWTestFitResult without = vrw_test_fit(context, table, [&] {
        VRWTestFitSetup w = linear({"1", "x1", "x2"});
        w.frequency_weights = "fw_zero_row";
        return w;
    }());
    ASSERT_EQ(without.status, 0);
    for (int i : {0, 1})
        EXPECT_NEAR(fit.coefficients[i], without.coefficients[i], 1e-12);
    EXPECT_NEAR(fit.coefficients[3], without.coefficients[2], 1e-12);
}

// With a constant alone the start value of each model (the mean of the
// outcome on the model's scale, less the log mean exposure) is already the
// estimate: the first iteration finds nothing to do.
TEST_F(RegressionRunTest, ConstantStartsAtTheMeanOnTheModelsScale)
{
    VRWTestTable table = data;
    std::vector<double> counts(table.rows), exposures(table.rows);
    double count_sum = 0, exposure_sum = 0;
    for (size_t i = 0; i < table.rows; i++) {
        counts[i] = (double)(i % 5);
        exposures[i] = 0.5 + (double)(i % 3);
        count_sum += counts[i];
        exposure_sum += exposures[i];
    }
    table.columns["counts"] = counts;
    table.columns["exposures"] = exposures;
    struct Case {
        VRWRegressionModel model;
        const char *dependent, *analytic, *exposures;
        double estimate;
    } cases[] = {
        {VRW_MODEL_LINEAR, "y", "", "", NAN},
        {VRW_MODEL_LOG_LINEAR, "ly", "", "", NAN},
        {VRW_MODEL_WEIGHTED_LINEAR, "y", "w", "", NAN},
        {VRW_MODEL_WEIGHTED_LOG_LINEAR, "ly", "w", "", NAN},
        {VRW_MODEL_POISSON, "counts", "", "exposures", std::log(count_sum / exposure_sum)},
        {VRW_MODEL_GEOMETRIC, "counts", "", "", std::log(count_sum / (double)table.rows)},
    };
    for (const Case &c : cases) {
        VRWTestFitSetup s;
        s.model = c.model;
        s.regressors = {"1"};
        s.dependent = c.dependent;
        s.analytic_weights = c.analytic;
        s.exposures = c.exposures;
        VRWTestFitResult fit = vrw_test_fit(context, table, s);
        EXPECT_EQ(fit.status, 0) << "model " << c.model;
        EXPECT_EQ(fit.iterations(), 1) << "model " << c.model;
        if (!std::isnan(c.estimate)) {
            EXPECT_NEAR(fit.coefficients[0], c.estimate, 1e-13) << "model " << c.model;
        }
    }
}

// No observation left, or no more observations than free parameters: the
// run ends with 2 and writes nothing.
TEST_F(RegressionRunTest, TooFewObservationsEndWithTwo)
{
    struct Case {
        const char *name;
        std::vector<double> weights;
        int32_t status;
    } cases[] = {
        {"every row filtered out", std::vector<double>(data.rows, 0.0), 2},
        {"as many observations as parameters", {1, 1, 1}, 2},
        {"weights summing to the parameters", {0.5, 2.5}, 2},
        {"one more observation", {1, 1, 1, 1}, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        VRWTestTable table = data;
        std::vector<double> weights(table.rows, 0.0);
        std::copy(c.weights.begin(), c.weights.end(), weights.begin());
        table.columns["some"] = weights;
        VRWTestFitSetup s = linear({"1", "x1", "x2"});
        s.frequency_weights = "some";
        VRWTestFitResult fit = vrw_test_fit(context, table, s);
        EXPECT_EQ(fit.status, c.status);
        if (c.status != 0) {
            EXPECT_EQ(fit.coefficients, std::vector<double>(3, -1.0));
            EXPECT_EQ(fit.observations, -1);
        }
    }
}

// Nothing free: the fit is its constraints, with the normal log likelihood of
// their residuals.
TEST_F(RegressionRunTest, EveryCoefficientFixed)
{
    VRWTestFitSetup s = linear({"1", "x1", "x2"});
    s.constraints = {1.0, 0.5, -0.8};
    VRWTestFitResult fit = vrw_test_fit(context, data, s);
    ASSERT_EQ(fit.status, 0);
    EXPECT_EQ(fit.coefficients, s.constraints);
    EXPECT_EQ(fit.standard_errors, std::vector<double>(3, 0.0));
    EXPECT_EQ(fit.free_parameters, 0);
    EXPECT_EQ(fit.iterations(), 0);
    double rss = 0;
    for (size_t i = 0; i < data.rows; i++) {
        double r = data["y"][i] - (1.0 + 0.5 * data["x1"][i] - 0.8 * data["x2"][i]);
        rss += r * r;
    }
    double n = (double)data.rows;
    EXPECT_NEAR(fit.rss, rss, 1e-10 * rss);
    EXPECT_NEAR(fit.log_likelihood, -0.5 * n * (std::log(rss / n) + 1 + std::log(2 * M_PI)),
                1e-9);
}

TEST_F(RegressionRunTest, DependentRegressorsFormOneMulticollinearSet)
{
    VRWTestTable table = data;
    std::vector<double> x3(table.rows);
    for (size_t i = 0; i < table.rows; i++)
        x3[i] = table["x1"][i] + table["x2"][i];
    table.columns["x3"] = x3;
    VRWTestFitResult fit = vrw_test_fit(context, table, linear({"1", "x1", "x2", "x3"}));
    EXPECT_EQ(fit.status, 4000);
    EXPECT_EQ(fit.multicollinear_sets, (std::vector<int64_t>{0, 1, 1, 1}));
}

// Started far above its maximum, a Poisson constant comes down about 1 an
// iteration: after 40 the run stops without error, and its log says so.
TEST_F(RegressionRunTest, FitThatDoesNotConvergeKeepsItsLog)
{
    VRWTestTable table = data;
    std::vector<double> counts(table.rows);
    for (size_t i = 0; i < table.rows; i++)
        counts[i] = (double)(i % 4);
    table.columns["counts"] = counts;
    VRWTestFitSetup s;
    s.model = VRW_MODEL_POISSON;
    s.regressors = {"1"};
    s.dependent = "counts";
    s.guesses = {60.0};
    VRWTestFitResult fit = vrw_test_fit(context, table, s);
    EXPECT_EQ(fit.status, 0);
    EXPECT_EQ(fit.iterations(), 40);
    for (int i = 0; i < 40; i++) {
        EXPECT_GE(fit.log[VRW_ITERATION_LOG_TIMES + i].count, 0);
        EXPECT_GT(fit.log[VRW_ITERATION_LOG_CHANGES + i].value, 1e-6) << "iteration " << i;
        EXPECT_GT(fit.log[VRW_ITERATION_LOG_STEPS + i].value, 1e-6) << "iteration " << i;
    }
    EXPECT_NEAR(fit.coefficients[0], 60.0 - 40.0, 0.5);

    s.guesses = {};
    VRWTestFitResult converged = vrw_test_fit(context, table, s);
    EXPECT_EQ(converged.status, 0);
    EXPECT_LT(converged.iterations(), 10);
    EXPECT_NEAR(converged.coefficients[0], std::log(1.5), 1e-12);
}

// The least-squares fits reuse their first Hessian: one step reaches the
// solution and the second finds nothing left to do.
TEST_F(RegressionRunTest, LinearFitTakesTwoIterations)
{
    VRWTestFitResult fit = vrw_test_fit(context, data, linear({"1", "x1", "x2"}));
    ASSERT_EQ(fit.status, 0);
    EXPECT_EQ(fit.iterations(), 2);
    for (int i = 0; i < 3; i++)
        EXPECT_NEAR(fit.coefficients[i], linear_coefficients[i], 1e-12);
}

TEST_F(RegressionRunTest, RunLeavesTheRecordAsFound)
{
    std::vector<double> host(2 * 32);
    for (int i = 0; i < 32; i++) {
        host[i] = 1;
        host[32 + i] = i % 5;
    }
    int32_t status = 0, columns[] = {0};
    double constraints[] = {NAN}, coefficient = -1;
    std::unique_ptr<VRWMatrixBuffer_s, VRWMatrixUnload> matrix(
        vrw_load_matrix(context, host.data(), 32, 2, &status));
    std::unique_ptr<VRWVectorBuffer_s, VRWVectorUnload> weights(
        vrw_load_ones_vector(context, 32, &status));
    for (VRWRegressionModel model : {VRWRegressionModel(VRW_MODEL_LINEAR), 15}) {
        RegressionPtr r(vrw_init_regression(context, model));
        vrw_set_reg_data(r.get(), matrix.get());
        vrw_set_reg_frequency_weights(r.get(), weights.get());
        vrw_set_reg_dependent_column(r.get(), 1);
        vrw_set_reg_independent_columns(r.get(), columns, 1);
        vrw_set_reg_constraints(r.get(), constraints);
        vrw_set_reg_out_coefficients(r.get(), &coefficient);
        EXPECT_EQ(vrw_run_regression(r.get(), nullptr), 0) << "model " << model;
        EXPECT_EQ(r->constraints, constraints);
        EXPECT_EQ(r->nonempty_panels, nullptr);
        EXPECT_EQ(r->fixed_effect_constraints, nullptr);
    }
    EXPECT_NEAR(coefficient, 61.0 / 32, 1e-12) << "the linear fit's mean, left by model 15";
}

// The fits test restrictions on the S x k coefficients they report (S sets:
// the multinomial logit's choices, the Cox model's causes, else 1), with the
// run's S x k constraints. A record on S x k of them tests the last one; a
// record on one more would read past both arrays, and the run refuses it
// with -30 before writing anything.
TEST(RegressionRestrictionsTest, TestsOnMoreThanTheCoefficientsAreRefused)
{
    std::unique_ptr<VRWContext_s, VRWContextFree> context(vrw_test_context(
        VRW_FAMILY_COMMON | VRW_FAMILY_LINEAR | VRW_FAMILY_NEGATIVE_BINOMIAL |
        VRW_FAMILY_ORDERED_CHOICE | VRW_FAMILY_MULTINOMIAL_LOGIT | VRW_FAMILY_COX));
    ASSERT_TRUE(context);
    auto setup = [](VRWRegressionModel model, std::vector<std::string> regressors,
                   std::string dependent) {
        VRWTestFitSetup s;
        s.model = model;
        s.regressors = std::move(regressors);
        s.dependent = std::move(dependent);
        return s;
    };
    VRWTestFitSetup ordered = setup(VRW_MODEL_ORDERED_LOGIT,
                                  {"1", "d1", "d2", "d3", "d4", "d5", "d6"}, "sat");
    ordered.frequency_weights = "freq";
    ordered.dependent_values = {0, 1, 2};
    VRWTestFitSetup mlogit = setup(VRW_MODEL_MULTINOMIAL_LOGIT, {"1", "x1", "x2", "x3"}, "y");
    mlogit.dependent_values = {0, 1, 2, 3};
    mlogit.omitted_value = 0;
    VRWTestFitSetup cox = setup(VRW_MODEL_COX_PROPORTIONAL_HAZARDS, {"trt", "karno", "age"}, "time");
    cox.censoring = "censored";
    cox.causes = "cause";
    cox.cause_values = {1, 5, 2, 3};
    const struct {
        const char *name, *table;
        VRWTestFitSetup setup;
        int64_t coefficients;
    } cases[] = {
        {"linear", "models_data.csv", setup(VRW_MODEL_LINEAR, {"1", "x1", "x2"}, "y"), 3},
        {"negative binomial, theta past the coefficients", "quine.csv",
         setup(VRW_MODEL_NEGATIVE_BINOMIAL, {"1", "d1", "d2", "d3", "d4", "d5", "d6"}, "days"),
         7},
        {"ordered logit, cut points past the coefficients", "housing.csv", ordered, 7},
        {"multinomial logit, four choices", "mlogit.csv", mlogit, 16},
        {"Cox, four causes", "veteran.csv", cox, 12},
    };
    for (const auto &c : cases) {
        VRWTestTable table = vrw_test_read_table(kFixtures + c.table);
        for (int64_t variables : {c.coefficients, c.coefficients + 1}) {
            SCOPED_TRACE(std::string(c.name) + ", " + std::to_string(variables) + " columns");
            // One restriction: the last coefficient the fit reports is 0.
            std::vector<double> R((size_t)variables, 0.0), r = {0.0};
            size_t last = (size_t)c.coefficients - 1;
            R[last] = 1.0;
            VRWTestRestrictions_s *restrictions = vrw_init_restrictions(variables, 1);
            ASSERT_TRUE(restrictions);
            restrictions->R[0] = R.data();
            restrictions->q[0] = 1;
            restrictions->r[0] = r.data();
            VRWTestFitSetup s = c.setup;
            s.restrictions = restrictions;
            VRWTestFitResult fit = vrw_test_fit(context.get(), table, s);
            vrw_free_restrictions(restrictions);
            if (variables > c.coefficients) {
                EXPECT_EQ(fit.status, CL_INVALID_VALUE);
                EXPECT_EQ(fit.coefficients, std::vector<double>(fit.coefficients.size(), -1.0));
                EXPECT_EQ(fit.wald_statistics, std::vector<double>{-1.0});
                EXPECT_EQ(fit.observations, -1);
                continue;
            }
            ASSERT_EQ(fit.status, 0);
            double z = fit.coefficients[last] / fit.standard_errors[last];
            EXPECT_NEAR(fit.wald_statistics[0], z * z, 1e-9 * z * z);
            EXPECT_EQ(fit.wald_degrees_of_freedom[0], 1);
        }
    }
}

TEST(RegressionKernelsTest, FitWithoutItsFamilyReportsAMissingKernel)
{
    std::unique_ptr<VRWContext_s, VRWContextFree> context(vrw_test_context(0x80));
    ASSERT_TRUE(context);
    VRWTestTable table = vrw_test_read_table(kFixtures + "models_data.csv");
    for (int model : {VRW_MODEL_LINEAR, VRW_MODEL_LOGIT, VRW_MODEL_POISSON,
                      VRW_MODEL_NEGATIVE_BINOMIAL, VRW_MODEL_COX_PROPORTIONAL_HAZARDS,
                      VRW_MODEL_MULTINOMIAL_LOGIT}) {
        VRWTestFitSetup s;
        s.model = model;
        s.regressors = {"1", "x1"};
        s.dependent = "b";
        s.value_of_interest = 1;
        s.dependent_values = {0, 1};
        EXPECT_EQ(vrw_test_fit(context.get(), table, s).status, -46) << "model " << model;
    }
}

} // namespace
