// Cox proportional hazards against survival's coxph with Breslow's ties on
// lung and veteran (fixtures/make_cox.R): coefficients, standard errors
// (plain, robust, clustered), log likelihoods, basehaz(centered = FALSE),
// martingale residuals and median failure times; strata, frequency weights,
// competing causes, and fixed effects against indicators of the panels.
#include "vrw_fit_support.h"
#include "vrw_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

namespace {

const std::string kFixtures = std::string(OSTREL_TEST_SOURCE_DIR) + "/fixtures/";

class CoxTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        context = vrw_test_context(VRW_FAMILY_COMMON | VRW_FAMILY_COX);
        lung = vrw_test_read_table(kFixtures + "lung.csv");
        veteran = vrw_test_read_table(kFixtures + "veteran.csv");
        expected = vrw_test_read_expected(kFixtures + "cox_expected.csv");
    }
    static void TearDownTestSuite() { vrw_context_free(context); }

    static inline VRWContext_s *context;
    static inline VRWTestTable lung, veteran;
    static inline VRWTestExpected expected;
};

VRWTestFitSetup cox(std::vector<std::string> regressors, std::string strata = "",
                   uint32_t options = 0)
{
    VRWTestFitSetup s;
    s.model = VRW_MODEL_COX_PROPORTIONAL_HAZARDS;
    s.regressors = std::move(regressors);
    s.dependent = "time";
    s.censoring = "censored";
    s.strata = std::move(strata);
    s.options = options;
    return s;
}

std::vector<double> slice(const std::vector<double> &v, size_t from, size_t count)
{
    return std::vector<double>(v.begin() + (long)from, v.begin() + (long)(from + count));
}

// coxph, run to its tightest tolerance, and the library agree to some 1e-10.
constexpr double kTolerance = 1e-8;

struct Case {
    const char *name;
    const VRWTestTable *table;
    VRWTestFitSetup setup;
    size_t first;                  // the first coefficient coxph reports
};

TEST_F(CoxTest, EqualsCoxph)
{
    ASSERT_TRUE(context);
    const Case cases[] = {
        {"lung", &lung, cox({"1", "age", "sex", "ph_ecog"}), 1},
        {"lung_strata", &lung, cox({"age", "ph_ecog"}, "sex"), 0},
        {"veteran", &veteran, cox({"trt", "karno", "diagtime", "age", "prior"}), 0},
        {"veteran_strata", &veteran, cox({"trt", "karno", "age"}, "cell"), 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        VRWTestFitResult fit = vrw_test_fit(context, *c.table, c.setup);
        ASSERT_EQ(fit.status, 0);
        EXPECT_LT(fit.iterations(), 10);
        size_t k = c.setup.regressors.size() - c.first, n = c.table->rows;
        if (c.first > 0) {
            EXPECT_EQ(fit.coefficients[0], 0.0) << "the constant is never estimated";
            EXPECT_EQ(fit.standard_errors[0], 0.0);
        }
        vrw_test_expect_near(slice(fit.coefficients, c.first, k),
                             expected(c.name, "coefficients"), kTolerance, "coefficients");
        vrw_test_expect_near(slice(fit.standard_errors, c.first, k),
                             expected(c.name, "standard_errors"), kTolerance, "standard errors");
        vrw_test_expect_near({fit.log_likelihood}, expected(c.name, "log_likelihood"), 1e-12,
                             "log likelihood");
        EXPECT_EQ(fit.free_parameters, (int64_t)k);
        EXPECT_EQ(fit.observations, (int64_t)n);

        // The hazard lists, stratum after stratum.
        const std::vector<double> &counts = expected(c.name, "stratum_counts");
        size_t entries = 0;
        for (size_t g = 0; g < counts.size(); g++) {
            EXPECT_EQ(fit.stratum_counts[g], (int32_t)counts[g]) << "stratum " << g;
            entries += (size_t)counts[g];
        }
        EXPECT_EQ(fit.stratum_value_count, (int32_t)counts.size());
        EXPECT_EQ(slice(fit.failure_times, 0, entries), expected(c.name, "failure_times"));
        vrw_test_expect_near(slice(fit.hazards, 0, entries), expected(c.name, "hazards"),
                             kTolerance, "cumulative hazards");
        if (c.setup.strata.empty())
            EXPECT_TRUE(std::isnan(fit.stratum_values[0]));
        else
            EXPECT_EQ(fit.stratum_values[0], 0.0 + (c.setup.strata == "sex"));

        vrw_test_expect_near(slice(fit.residuals, 0, n), expected(c.name, "martingale"),
                             kTolerance, "martingale residuals");
        EXPECT_EQ(slice(fit.predicted, 0, n), expected(c.name, "median")) << "median times";
        int64_t censored = 0;
        for (double v : (*c.table)["censored"])
            censored += (int64_t)v;
        EXPECT_EQ(fit.censored, censored);

        VRWTestFitSetup robust = c.setup;
        robust.options |= VRW_OPTION_ROBUST;
        VRWTestFitResult sandwich = vrw_test_fit(context, *c.table, robust);
        ASSERT_EQ(sandwich.status, 0);
        vrw_test_expect_near(slice(sandwich.standard_errors, c.first, k),
                             expected(std::string(c.name) + "_robust", "standard_errors"),
                             kTolerance, "robust standard errors");
    }
}

// A row of frequency weight w counts as w rows.
TEST_F(CoxTest, FrequencyWeightsCountRows)
{
    VRWTestFitSetup s = cox({"age", "sex", "ph_ecog"});
    s.frequency_weights = "freq";
    VRWTestFitResult fit = vrw_test_fit(context, lung, s);
    ASSERT_EQ(fit.status, 0);
    vrw_test_expect_near(fit.coefficients, expected("lung_weights", "coefficients"), kTolerance,
                         "coefficients");
    vrw_test_expect_near(fit.standard_errors, expected("lung_weights", "standard_errors"),
                         kTolerance, "standard errors");
    vrw_test_expect_near({fit.log_likelihood}, expected("lung_weights", "log_likelihood"), 1e-12,
                         "log likelihood");
    double total = 0;
    for (double w : lung["freq"])
        total += w;
    EXPECT_EQ(fit.observations, (int64_t)total);
}

// One fit a cause, each with the other causes' failures censored; a cause
// value without rows keeps its place with nothing fitted.
TEST_F(CoxTest, CompetingCauses)
{
    VRWTestFitSetup s = cox({"trt", "karno", "age"});
    s.causes = "cause";
    s.cause_values = {1, 5, 2, 3};
    VRWTestFitResult fit = vrw_test_fit(context, veteran, s);
    ASSERT_EQ(fit.status, 0);
    const size_t k = 3, n = veteran.rows;
    const int set_of_cause[] = {0, 2, 3};
    double total = 0;
    size_t offset = 0;
    for (int cause = 1; cause <= 3; cause++) {
        std::string name = "cause" + std::to_string(cause);
        SCOPED_TRACE(name);
        size_t e = (size_t)set_of_cause[cause - 1];
        vrw_test_expect_near(slice(fit.coefficients, e * k, k), expected(name, "coefficients"),
                             kTolerance, "coefficients");
        vrw_test_expect_near(slice(fit.standard_errors, e * k, k),
                             expected(name, "standard_errors"), kTolerance, "standard errors");
        vrw_test_expect_near({fit.per_cause_log_likelihood[e]}, expected(name, "log_likelihood"),
                             1e-12, "log likelihood");
        total += fit.per_cause_log_likelihood[e];
        size_t entries = (size_t)expected(name, "stratum_counts")[0];
        EXPECT_EQ(fit.stratum_counts[e], (int32_t)entries);
        EXPECT_EQ(slice(fit.failure_times, offset, entries), expected(name, "failure_times"));
        vrw_test_expect_near(slice(fit.hazards, offset, entries), expected(name, "hazards"),
                             kTolerance, "hazards");
        offset += entries;
        vrw_test_expect_near(slice(fit.residuals, e * n, n), expected(name, "martingale"),
                             kTolerance, "martingale residuals");
        EXPECT_EQ(slice(fit.predicted, e * n, n), expected(name, "median"));
    }
    EXPECT_NEAR(fit.log_likelihood, total, 1e-9);
    EXPECT_EQ(fit.free_parameters, 9);
    EXPECT_EQ(fit.cause_counts, (std::vector<int64_t>{43, 0, 43, 42}));
    // The cause without rows.
    for (size_t j = 0; j < k; j++) {
        EXPECT_EQ(fit.coefficients[k + j], 0.0);
        EXPECT_TRUE(std::isnan(fit.standard_errors[k + j]));
        EXPECT_EQ(fit.multicollinear_sets[k + j], 0);
    }
    EXPECT_EQ(fit.stratum_counts[1], 0);
    EXPECT_TRUE(std::isnan(fit.per_cause_log_likelihood[1]));
    EXPECT_TRUE(std::isnan(fit.predicted[n]) && std::isnan(fit.residuals[n]));
    // Its rows and columns of the variance are 0, and the causes' blocks
    // do not meet.
    size_t all = 4 * k;
    for (size_t i = 0; i < all; i++) {
        EXPECT_EQ(fit.variance[i * all + k], 0.0);
        EXPECT_EQ(fit.variance[i * all + 2 * k], i / k == 2 ? fit.variance[i * all + 2 * k] : 0.0);
    }
    EXPECT_NEAR(std::sqrt(fit.variance[0]), expected("cause1", "standard_errors")[0],
                kTolerance * expected("cause1", "standard_errors")[0]);
}

// Fixed effects of the cell types: the slopes, their standard errors (plain
// and robust) and the log likelihood of coxph with indicators of them.
TEST_F(CoxTest, FixedEffectsEqualIndicators)
{
    for (auto [name, strata] : {std::pair{"fixed_effects", ""},
                                std::pair{"fixed_effects_strata", "prior"}}) {
        SCOPED_TRACE(name);
        VRWTestFitSetup s = cox({"trt", "karno", "age"}, strata, VRW_OPTION_FIXED_EFFECTS);
        s.panels = "cell";
        VRWTestFitResult fit = vrw_test_fit(context, veteran, s);
        ASSERT_EQ(fit.status, 0);
        EXPECT_LT(fit.iterations(), 10);
        vrw_test_expect_near(fit.coefficients, expected(name, "coefficients"), kTolerance,
                             "coefficients");
        vrw_test_expect_near(fit.standard_errors, expected(name, "standard_errors"), kTolerance,
                             "standard errors");
        vrw_test_expect_near(fit.fixed_effects, expected(name, "fixed_effects"), kTolerance,
                             "fixed effects");
        vrw_test_expect_near({fit.log_likelihood}, expected(name, "log_likelihood"), 1e-12,
                             "log likelihood");
        EXPECT_EQ(fit.free_parameters, 3 + 3);

        s.options |= VRW_OPTION_ROBUST;
        VRWTestFitResult robust = vrw_test_fit(context, veteran, s);
        ASSERT_EQ(robust.status, 0);
        vrw_test_expect_near(robust.standard_errors,
                             expected(std::string(name) + "_robust", "standard_errors"),
                             kTolerance, "robust standard errors");
    }
}

// Clusters of the cell types: the sums of the rows' score residuals by
// cluster.
TEST_F(CoxTest, ClusteredStandardErrors)
{
    VRWTestFitSetup s = cox({"trt", "karno", "age"}, "", VRW_OPTION_CLUSTER);
    s.panels = "cell";
    VRWTestFitResult fit = vrw_test_fit(context, veteran, s);
    ASSERT_EQ(fit.status, 0);
    vrw_test_expect_near(fit.standard_errors, expected("veteran_cluster", "standard_errors"),
                         kTolerance, "clustered standard errors");
}

// Every coefficient fixed at coxph's estimates: nothing to iterate, the
// standard errors 0, and the hazards and log likelihood those of coxph.
TEST_F(CoxTest, EveryCoefficientFixed)
{
    VRWTestFitSetup s = cox({"age", "sex", "ph_ecog"});
    s.constraints = expected("lung", "coefficients");
    VRWTestFitResult fit = vrw_test_fit(context, lung, s);
    ASSERT_EQ(fit.status, 0);
    EXPECT_EQ(fit.iterations(), 0);
    EXPECT_EQ(fit.coefficients, s.constraints);
    EXPECT_EQ(fit.standard_errors, std::vector<double>(3, 0.0));
    EXPECT_EQ(fit.free_parameters, 0);
    vrw_test_expect_near({fit.log_likelihood}, expected("lung", "log_likelihood"), 1e-12,
                         "log likelihood");
    vrw_test_expect_near(slice(fit.hazards, 0, 185), expected("lung", "hazards"), kTolerance,
                         "hazards");
}

// A NaN time or stratum orders against nothing: left in the ranking, its
// row sat in arbitrary risk sets, or split a stratum into two groups and
// wrote the stratum outputs past the groups there are. A row that holds one
// is refused (2000) before anything is written; left out by its weight it
// may hold anything.
TEST_F(CoxTest, NaNTimesAndStrataAreRefused)
{
    VRWTestTable table = veteran;
    table.columns["w"] = std::vector<double>(table.rows, 1.0);
    const VRWTestFitSetup strata = [] {
        VRWTestFitSetup s = cox({"trt", "karno", "age"}, "cell");
        s.frequency_weights = "w";
        return s;
    }();
    const struct {
        const char *name;
        std::map<std::string, double> row;
    } cases[] = {
        {"a failure at no time", {{"time", NAN}, {"cell", 1}, {"censored", 0}}},
        {"a censored row at no time", {{"time", NAN}, {"cell", 1}, {"censored", 1}}},
        {"a failure in no stratum", {{"time", 50}, {"cell", NAN}, {"censored", 0}}},
        {"a time and stratum between others", {{"time", NAN}, {"cell", NAN}, {"censored", 1}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::map<std::string, double> row = c.row;
        row["w"] = 1;
        VRWTestFitResult fit = vrw_test_fit(context, vrw_test_with_row(table, row), strata);
        EXPECT_EQ(fit.status, VRW_ESTIMATE_NAN);
        EXPECT_EQ(fit.coefficients, std::vector<double>(3, -1.0));
        EXPECT_EQ(fit.stratum_counts[0], -1);
        EXPECT_EQ(fit.stratum_value_count, -1);

        row["w"] = 0;
        fit = vrw_test_fit(context, vrw_test_with_row(table, row), strata);
        ASSERT_EQ(fit.status, 0);
        vrw_test_expect_near(fit.coefficients, expected("veteran_strata", "coefficients"),
                             kTolerance, "coefficients");
        EXPECT_EQ(fit.stratum_value_count, 4);
    }
}

// One non-empty panel leaves no free effect: the fit without effects.
TEST_F(CoxTest, SinglePanelHasNoFreeEffect)
{
    VRWTestTable table = veteran;
    table.columns["one"] = std::vector<double>(table.rows, 0.0);
    VRWTestFitSetup s = cox({"trt", "karno", "age"}, "", VRW_OPTION_FIXED_EFFECTS);
    s.panels = "one";
    VRWTestFitResult fit = vrw_test_fit(context, table, s);
    VRWTestFitResult plain = vrw_test_fit(context, veteran, cox({"trt", "karno", "age"}));
    ASSERT_EQ(fit.status, 0);
    ASSERT_EQ(plain.status, 0);
    vrw_test_expect_near(fit.coefficients, plain.coefficients, 1e-12, "coefficients");
    vrw_test_expect_near(fit.standard_errors, plain.standard_errors, 1e-12, "standard errors");
    EXPECT_EQ(fit.fixed_effects, std::vector<double>{0.0});
    EXPECT_EQ(fit.free_parameters, 3);
}

struct RegressionFree {
    void operator()(VRWRegression_s *r) const { vrw_free_regression(r); }
};

// A fit called on data without rows of positive weight has no failure
// time: the hazard lists are left unwritten and no search reads them. Asked
// for failure times, every row's is NaN; without the lists the rows keep
// the predict kernel's targets.
TEST_F(CoxTest, NoFailureTimesPredictNone)
{
    std::vector<double> host = {1, 1, 1, 2, 3, 4, 5, 6, 7};
    std::vector<double> zero(3, 0.0);
    int32_t status = 0;
    std::unique_ptr<VRWMatrixBuffer_s, VRWMatrixUnload> m(
        vrw_load_matrix(context, host.data(), 3, 3, &status));
    std::unique_ptr<VRWVectorBuffer_s, VRWVectorUnload> w(
        vrw_load_float_vector(context, zero.data(), 3, &status));
    ASSERT_EQ(status, 0);
    for (bool lists : {true, false}) {
        SCOPED_TRACE(lists ? "with the hazard lists" : "without them");
        int32_t columns[] = {1};
        double constraints[] = {0.5};
        std::vector<double> times(3, -1.0), hazards(3, -1.0), predicted(3, -1.0);
        std::vector<int32_t> counts(3, -1);
        std::unique_ptr<VRWRegression_s, RegressionFree> r(
            vrw_init_regression(context, VRW_MODEL_COX_PROPORTIONAL_HAZARDS));
        vrw_set_reg_data(r.get(), m.get());
        vrw_set_reg_frequency_weights(r.get(), w.get());
        vrw_set_reg_dependent_column(r.get(), 2);
        vrw_set_reg_constant_column(r.get(), 0);
        vrw_set_reg_independent_columns(r.get(), columns, 1);
        vrw_set_reg_constraints(r.get(), constraints);
        if (lists) {
            vrw_set_reg_out_hazard_function(r.get(), times.data(), hazards.data());
            vrw_set_reg_out_failure_time_stratum_counts(r.get(), counts.data());
        }
        vrw_set_reg_out_predicted_values(r.get(), predicted.data());
        EXPECT_EQ(vrw_fit_cox_proportional_hazards(r.get(), nullptr), 0);
        EXPECT_EQ(times, std::vector<double>(3, -1.0));
        EXPECT_EQ(counts, std::vector<int32_t>(3, -1));
        for (int i = 0; i < 3; i++) {
            if (lists)
                EXPECT_TRUE(std::isnan(predicted[i])) << i;
            else
                EXPECT_NEAR(predicted[i], std::log(2.0) / std::exp(0.5 * host[3 + i]), 1e-15);
        }
    }
}

// The fits a list of cause values asks for: one a value only beside a
// causes vector; without it the values, even an empty list of them, leave
// the single fit. A causes vector with an empty list fits nothing.
TEST_F(CoxTest, CauseValuesFitOnlyBesideTheirVector)
{
    VRWTestFitResult plain = vrw_test_fit(context, veteran, cox({"trt", "karno", "age"}));
    ASSERT_EQ(plain.status, 0);
    struct CauseCase {
        const char *name;
        const char *causes;
        std::vector<double> values;
        bool fits;
    };
    const CauseCase cases[] = {
        {"values alone", "", {1, 2}, true},
        {"an empty list alone", "", {}, true},
        {"a vector with an empty list", "cause", {}, false},
    };
    for (const CauseCase &c : cases) {
        SCOPED_TRACE(c.name);
        VRWTestFitSetup s = cox({"trt", "karno", "age"});
        s.causes = c.causes;
        s.cause_values = c.values;
        s.set_cause_values = true;
        VRWTestFitResult fit = vrw_test_fit(context, veteran, s);
        ASSERT_EQ(fit.status, 0);
        if (c.fits) {
            vrw_test_expect_near(slice(fit.coefficients, 0, 3), plain.coefficients, 1e-12,
                                 "coefficients");
            vrw_test_expect_near({fit.log_likelihood}, {plain.log_likelihood}, 1e-12,
                                 "log likelihood");
            EXPECT_EQ(fit.free_parameters, 3);
        } else {
            EXPECT_EQ(fit.free_parameters, 0);
            EXPECT_EQ(fit.log_likelihood, 0.0);
            EXPECT_EQ(fit.stratum_value_count, -1) << "no cause fitted, no groups written";
        }
    }
}

} // namespace
