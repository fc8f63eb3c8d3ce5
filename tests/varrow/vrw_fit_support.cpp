#include "vrw_fit_support.h"

#include "vrw_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>

const std::vector<double> &VRWTestTable::operator[](const std::string &name) const
{
    auto found = columns.find(name);
    if (found == columns.end()) {
        ADD_FAILURE() << "no column " << name;
        static const std::vector<double> none;
        return none;
    }
    return found->second;
}

VRWTestTable vrw_test_read_table(const std::string &path)
{
    VRWTestTable table;
    for (const auto &row : vrw_test_read_csv(path)) {
        for (const auto &[name, text] : row)
            table.columns[name].push_back(std::stod(text));
        table.rows++;
    }
    return table;
}

VRWTestTable vrw_test_with_row(VRWTestTable table, const std::map<std::string, double> &values)
{
    for (auto &[name, column] : table.columns) {
        auto given = values.find(name);
        column.push_back(given == values.end() ? 0.0 : given->second);
    }
    table.rows++;
    return table;
}

const std::vector<double> &VRWTestExpected::operator()(const std::string &name,
                                                      const std::string &what) const
{
    auto found = values.find({name, what});
    if (found == values.end()) {
        ADD_FAILURE() << "no fixture " << name << "/" << what;
        static const std::vector<double> none;
        return none;
    }
    return found->second;
}

VRWTestExpected vrw_test_read_expected(const std::string &path)
{
    VRWTestExpected expected;
    for (const auto &row : vrw_test_read_csv(path))
        expected.values[{row.at("case"), row.at("what")}].push_back(std::stod(row.at("value")));
    return expected;
}

void vrw_test_expect_near(const std::vector<double> &actual, const std::vector<double> &expected,
                          double tolerance, const std::string &what)
{
    ASSERT_EQ(actual.size(), expected.size()) << what;
    double largest = 0;
    for (double e : expected)
        if (!std::isnan(e))
            largest = std::max(largest, std::fabs(e));
    for (size_t i = 0; i < expected.size(); i++) {
        if (std::isnan(expected[i])) {
            EXPECT_TRUE(std::isnan(actual[i])) << what << " [" << i << "]";
            continue;
        }
        double scale = std::max(std::fabs(expected[i]), 1e-3 * largest);
        EXPECT_NEAR(actual[i], expected[i], tolerance * scale) << what << " [" << i << "]";
    }
}

namespace {

using MatrixPtr = std::unique_ptr<VRWMatrixBuffer_s, VRWMatrixUnload>;
using VectorPtr = std::unique_ptr<VRWVectorBuffer_s, VRWVectorUnload>;

// Rows a panel from a sorted panel number a row.
std::vector<int32_t> panel_sizes(const std::vector<double> &panel)
{
    std::vector<int32_t> sizes;
    for (size_t r = 0; r < panel.size(); r++) {
        if (r == 0 || panel[r] != panel[r - 1])
            sizes.push_back(0);
        sizes.back()++;
    }
    return sizes;
}

struct Loaded {
    MatrixPtr matrix;
    VectorPtr frequency, analytic, exposures, censoring, strata, causes;
};

Loaded load(VRWContext_s *context, const VRWTestTable &data, const VRWTestFitSetup &setup,
            std::vector<int32_t> &columns, std::vector<int32_t> &instruments)
{
    uint32_t n = (uint32_t)data.rows;
    std::vector<double> host(n, 1.0);
    std::map<std::string, int32_t> placed = {{"1", 0}};
    auto column_of = [&](const std::string &name) {
        auto found = placed.find(name);
        if (found != placed.end())
            return found->second;
        const std::vector<double> &column = data[name];
        host.insert(host.end(), column.begin(), column.end());
        int32_t next = (int32_t)placed.size();
        placed[name] = next;
        return next;
    };
    for (const std::string &name : setup.regressors)
        columns.push_back(column_of(name));
    for (const std::string &name : setup.instruments)
        instruments.push_back(column_of(name));
    const std::vector<double> &dependent = data[setup.dependent];
    host.insert(host.end(), dependent.begin(), dependent.end());
    int32_t matrix_columns = (int32_t)placed.size() + 1;
    std::vector<int32_t> sizes;
    if (!setup.panels.empty())
        sizes = panel_sizes(data[setup.panels]);
    int32_t status = 0, p = (int32_t)sizes.size();
    auto vector = [&](const std::vector<double> &values) {
        return VectorPtr(sizes.empty() ? vrw_load_float_vector(context, values.data(), n, &status)
                                       : vrw_load_unbalanced_panel_float_vector(
                                             context, values.data(), n, sizes.data(), p, &status));
    };
    Loaded loaded;
    loaded.matrix.reset(sizes.empty() ? vrw_load_matrix(context, host.data(), (int32_t)n,
                                                        matrix_columns, &status)
                                      : vrw_load_unbalanced_panel_matrix(
                                            context, host.data(), (int32_t)n, matrix_columns,
                                            sizes.data(), p, 0, &status));
    std::vector<double> ones(n, 1.0);
    loaded.frequency = vector(setup.frequency_weights.empty() ? ones : data[setup.frequency_weights]);
    if (!setup.analytic_weights.empty())
        loaded.analytic = vector(data[setup.analytic_weights]);
    if (!setup.exposures.empty())
        loaded.exposures = vector(data[setup.exposures]);
    if (!setup.strata.empty())
        loaded.strata = vector(data[setup.strata]);
    if (!setup.causes.empty())
        loaded.causes = vector(data[setup.causes]);
    if (!setup.censoring.empty()) {
        const std::vector<double> &marks = data[setup.censoring];
        std::vector<int32_t> censored(marks.begin(), marks.end());
        loaded.censoring.reset(
            sizes.empty() ? vrw_load_integer_vector(context, censored.data(), n, &status)
                          : vrw_load_unbalanced_panel_integer_vector(context, censored.data(), n,
                                                                     sizes.data(), p, &status));
    }
    EXPECT_EQ(status, 0) << "loading the data";
    return loaded;
}

bool ordered(VRWRegressionModel model)
{
    return model == VRW_MODEL_ORDERED_LOGIT || model == VRW_MODEL_ORDERED_PROBIT;
}

// The Cox model's ranks (rows of positive weight) and stratum groups (runs
// of equal strata among them; a NaN stratum is a group of its own; one
// group without strata), at least 1 each so that every output is set. Its
// outputs are sized by them exactly, so a write past them shows under ASan.
std::pair<size_t, size_t> ranks_and_groups(const VRWTestTable &data, const VRWTestFitSetup &setup)
{
    size_t ranks = 0, nan_strata = 0;
    std::vector<double> strata;
    for (size_t r = 0; r < data.rows; r++) {
        if (!setup.frequency_weights.empty() && !(data[setup.frequency_weights][r] > 0))
            continue;
        ranks++;
        if (setup.strata.empty())
            continue;
        double s = data[setup.strata][r];
        if (std::isnan(s))
            nan_strata++;
        else if (std::find(strata.begin(), strata.end(), s) == strata.end())
            strata.push_back(s);
    }
    size_t groups = setup.strata.empty() ? 1 : strata.size() + nan_strata;
    return {std::max(ranks, (size_t)1), std::max(groups, (size_t)1)};
}

} // namespace

VRWTestFitResult vrw_test_fit(VRWContext_s *context, const VRWTestTable &data,
                              const VRWTestFitSetup &setup)
{
    VRWTestFitResult result;
    std::vector<int32_t> columns, instruments;
    Loaded loaded = load(context, data, setup, columns, instruments);
    if (!loaded.matrix)
        return result;
    size_t k = columns.size(), n = data.rows, j = setup.dependent_values.size();
    size_t sets = setup.model == VRW_MODEL_MULTINOMIAL_LOGIT ? std::max(j, (size_t)1)
                  : setup.model == VRW_MODEL_COX_PROPORTIONAL_HAZARDS
                      ? std::max(setup.cause_values.size(), (size_t)1)
                      : 1;
    size_t nuisance = ordered(setup.model) ? j + 1 : 1;
    size_t all = sets * k + (ordered(setup.model)                         ? j + 1
                             : setup.model == VRW_MODEL_NEGATIVE_BINOMIAL ? 1
                                                                         : 0);
    size_t panels = (size_t)std::max(loaded.matrix->panel_count, 1);
    result.coefficients.assign(sets * k, -1.0);
    result.standard_errors.assign(sets * k, -1.0);
    result.variance.assign(all * all, -1.0);
    result.predicted.assign(n * std::max(j, sets), -1.0);
    result.residuals.assign(n * sets, -1.0);
    result.fixed_effects.assign(panels * sets, -1.0);
    auto [ranks, groups] = setup.model == VRW_MODEL_COX_PROPORTIONAL_HAZARDS
                               ? ranks_and_groups(data, setup)
                               : std::pair{n, n};
    result.failure_times.assign(ranks * sets, -1.0);
    result.hazards.assign(ranks * sets, -1.0);
    result.stratum_values.assign(groups, -1.0);
    result.stratum_counts.assign(groups * sets, -1);
    result.per_cause_log_likelihood.assign(sets, -1.0);
    result.cause_counts.assign(sets, -1);
    result.nuisance.assign(nuisance, -1.0);
    result.nuisance_standard_errors.assign(nuisance, -1.0);
    result.per_choice_log_likelihood.assign(std::max(j, (size_t)2), -1.0);
    result.multicollinear_sets.assign(sets * k, -1);
    result.choice_counts.assign(std::max(j, (size_t)2), -1);
    int64_t tests = setup.restrictions ? setup.restrictions->test_count : 0;
    result.wald_statistics.assign((size_t)tests, -1.0);
    result.wald_degrees_of_freedom.assign((size_t)tests, -1);

    VRWRegression_s *r = vrw_init_regression(context, setup.model);
    vrw_set_reg_data(r, loaded.matrix.get());
    vrw_set_reg_frequency_weights(r, loaded.frequency.get());
    vrw_set_reg_analytic_weights(r, loaded.analytic.get());
    vrw_set_reg_exposures(r, loaded.exposures.get());
    vrw_set_reg_censoring(r, loaded.censoring.get());
    vrw_set_reg_strata(r, loaded.strata.get());
    vrw_set_reg_causes(r, loaded.causes.get());
    if (!setup.cause_values.empty() || setup.set_cause_values) {
        static const double none = NAN; // an empty list is still a list
        const double *values = setup.cause_values.empty() ? &none : setup.cause_values.data();
        vrw_set_reg_cause_values(r, values, (uint32_t)setup.cause_values.size());
    }
    vrw_set_reg_omitted_dependent_value(r, setup.omitted_value);
    vrw_set_reg_dependent_column(r, loaded.matrix->columns - 1);
    vrw_set_reg_dependent_value_of_interest(r, setup.value_of_interest);
    if (!setup.dependent_values.empty())
        vrw_set_reg_dependent_values(r, setup.dependent_values.data(), (uint32_t)j);
    vrw_set_reg_constant_column(r, 0);
    vrw_set_reg_independent_columns(r, columns.data(), (int64_t)k);
    vrw_set_reg_instrument_columns(r, instruments.data(), (int64_t)instruments.size());
    if (!setup.weighting_matrix.empty())
        vrw_set_reg_weighting_matrix(r, setup.weighting_matrix.data());
    vrw_set_reg_options(r, setup.options);
    if (!setup.constraints.empty())
        vrw_set_reg_constraints(r, setup.constraints.data());
    if (!setup.guesses.empty())
        vrw_set_reg_coefficient_guesses(r, setup.guesses.data());
    if (!setup.fixed_effect_guesses.empty())
        vrw_set_reg_fixed_effect_guesses(r, setup.fixed_effect_guesses.data());
    if (setup.restrictions)
        vrw_set_reg_restrictions(r, setup.restrictions, result.wald_statistics.data(),
                                 result.wald_degrees_of_freedom.data());
    vrw_set_reg_out_coefficients(r, result.coefficients.data());
    vrw_set_reg_out_standard_errors(r, result.standard_errors.data());
    vrw_set_reg_out_variance_matrix(r, result.variance.data());
    vrw_set_reg_out_free_parameter_count(r, &result.free_parameters);
    vrw_set_reg_out_residuals(r, result.residuals.data());
    vrw_set_reg_out_predicted_values(r, result.predicted.data());
    vrw_set_reg_out_fixed_effects(r, result.fixed_effects.data());
    vrw_set_reg_out_nuisance_coefficients(r, result.nuisance.data());
    vrw_set_reg_out_nuisance_standard_errors(r, result.nuisance_standard_errors.data());
    vrw_set_reg_out_residual_sum_of_squares(r, &result.rss);
    vrw_set_reg_out_total_sum_of_squares(r, &result.tss);
    vrw_set_reg_out_observation_count(r, &result.observations);
    vrw_set_reg_out_log_likelihood(r, &result.log_likelihood);
    vrw_set_reg_out_per_choice_log_likelihood(r, result.per_choice_log_likelihood.data());
    vrw_set_reg_out_objective_function(r, &result.objective);
    vrw_set_reg_out_multicollinear_sets(r, result.multicollinear_sets.data());
    vrw_set_reg_out_per_choice_observation_count(r, result.choice_counts.data());
    vrw_set_reg_out_hazard_function(r, result.failure_times.data(), result.hazards.data());
    vrw_set_reg_out_failure_time_stratum_counts(r, result.stratum_counts.data());
    vrw_set_reg_out_stratum_values(r, result.stratum_values.data(), &result.stratum_value_count);
    vrw_set_reg_out_censored_count(r, &result.censored);
    vrw_set_reg_out_per_cause_log_likelihood(r, result.per_cause_log_likelihood.data());
    vrw_set_reg_out_per_cause_observation_count(r, result.cause_counts.data());
    result.status = vrw_run_regression(r, result.log);
    result.record_restored = r->analytic_weights == loaded.analytic.get()
                             && r->frequency_weights == loaded.frequency.get()
                             && r->data == loaded.matrix.get();
    vrw_free_regression(r);
    return result;
}

double vrw_test_fit_statistic(const VRWTestFitResult &fit, const std::string &what)
{
    double n = (double)fit.observations, df = n - (double)fit.free_parameters;
    if (what == "log_likelihood")
        return fit.log_likelihood;
    if (what == "r_squared")
        return 1 - fit.rss / fit.tss;
    return 1 - (n - 1) * fit.rss / (df * fit.tss);
}
