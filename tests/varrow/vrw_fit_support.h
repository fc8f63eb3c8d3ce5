// Runs one fit of the library on a table of named columns, the way the
// application does: a data matrix with a column of ones first, then the
// regressors and the dependent column, and every output registered.
#pragma once

#include "varrow/varrow.h"

#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Numeric columns by name, all of one length.
struct VRWTestTable {
    std::map<std::string, std::vector<double>> columns;
    size_t rows = 0;
    const std::vector<double> &operator[](const std::string &name) const;
};

// Reads a CSV of numbers with a header line; fails the test when it cannot.
VRWTestTable vrw_test_read_table(const std::string &path);

// The table with one more row: the given values in their columns, 0 in the
// others.
VRWTestTable vrw_test_with_row(VRWTestTable table, const std::map<std::string, double> &values);

// What an oracle's script wrote: rows of case, what, index and value, the
// values of each (case, what) in index order.
struct VRWTestExpected {
    std::map<std::pair<std::string, std::string>, std::vector<double>> values;
    // Fails the test (and gives an empty vector) when the fixture lacks it.
    const std::vector<double> &operator()(const std::string &name, const std::string &what) const;
};
VRWTestExpected vrw_test_read_expected(const std::string &path);

// Entries are compared relative to their own size, or for entries near 0 to
// a thousandth of the largest entry of the vector; a NaN expects a NaN.
void vrw_test_expect_near(const std::vector<double> &actual, const std::vector<double> &expected,
                          double tolerance, const std::string &what);

// The constant is the regressor named "1"; an empty name is no vector.
struct VRWTestFitSetup {
    VRWRegressionModel model = VRW_MODEL_LINEAR;
    std::vector<std::string> regressors;
    std::string dependent;
    uint32_t options = 0;
    std::string analytic_weights, frequency_weights, exposures;
    double value_of_interest = NAN;
    std::vector<double> dependent_values;     // the categories or choices
    double omitted_value = NAN;               // the multinomial logit's base choice
    std::string censoring, strata, causes;    // the Cox model's vectors: no names, none
    std::vector<double> cause_values;
    bool set_cause_values = false;       // set them even when the list is empty
    std::vector<std::string> instruments;     // instrumental variables: regressors or not
    std::vector<double> weighting_matrix;     // empty: none
    std::string panels;                  // a sorted panel number a row: panel data
    std::vector<double> constraints;     // empty: none
    std::vector<double> guesses;         // empty: none
    std::vector<double> fixed_effect_guesses; // empty: none
    const VRWTestRestrictions_s *restrictions = nullptr;
};

// Every output, made larger than the model writes and filled with -1, so a
// test sees what was written. The ordered models write J categories of
// predicted values and per-choice figures and J + 1 cut points; negative
// binomial one nuisance parameter. The multinomial logit writes J sets of
// coefficients and J rows of predicted values and residuals, the Cox model
// one set and row a cause, and the hazard lists.
struct VRWTestFitResult {
    int32_t status = -1;
    std::vector<double> coefficients, standard_errors, variance, predicted, residuals;
    std::vector<double> fixed_effects, nuisance, nuisance_standard_errors;
    std::vector<double> per_choice_log_likelihood;
    std::vector<int64_t> multicollinear_sets, choice_counts;
    std::vector<double> failure_times, hazards, stratum_values, per_cause_log_likelihood;
    std::vector<int32_t> stratum_counts;
    std::vector<int64_t> cause_counts;
    int32_t stratum_value_count = -1;
    int64_t censored = -1;
    std::vector<double> wald_statistics;
    std::vector<int64_t> wald_degrees_of_freedom;
    double log_likelihood = NAN, rss = NAN, tss = NAN, objective = NAN;
    int64_t observations = -1, free_parameters = -1;
    bool record_restored = false;        // the record's vectors are the caller's after the run
    VRWIterationLog log = {};
    int64_t iterations() const { return log[VRW_ITERATION_LOG_COUNT].count; }
};

VRWTestFitResult vrw_test_fit(VRWContext_s *context, const VRWTestTable &data,
                              const VRWTestFitSetup &setup);

// "log_likelihood", "r_squared" or "adjusted_r_squared" of a fit, the last
// two read off its sums of squares and free parameters as the application
// reads them.
double vrw_test_fit_statistic(const VRWTestFitResult &fit, const std::string &what);

// The kernel families every single-equation model of the tests needs.
constexpr uint32_t kVrwTestSingleEquationFamilies = 0x80 | 0x1 | 0x8 | 0x10;
