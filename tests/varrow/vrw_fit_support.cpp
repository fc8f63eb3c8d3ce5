#include "vrw_fit_support.h"

#include "vrw_test_support.h"

#include <gtest/gtest.h>

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
    VectorPtr frequency, analytic, exposures;
};

Loaded load(VRWContext_s *context, const VRWTestTable &data, const VRWTestFitSpec &spec,
            std::vector<int32_t> &columns)
{
    uint32_t n = (uint32_t)data.rows;
    std::vector<double> host(n, 1.0);
    int32_t next = 1;
    for (const std::string &name : spec.regressors) {
        if (name == "1") {
            columns.push_back(0);
            continue;
        }
        const std::vector<double> &column = data[name];
        host.insert(host.end(), column.begin(), column.end());
        columns.push_back(next++);
    }
    const std::vector<double> &dependent = data[spec.dependent];
    host.insert(host.end(), dependent.begin(), dependent.end());
    std::vector<int32_t> sizes;
    if (!spec.panels.empty())
        sizes = panel_sizes(data[spec.panels]);
    int32_t status = 0, p = (int32_t)sizes.size();
    auto vector = [&](const std::vector<double> &values) {
        return VectorPtr(sizes.empty() ? vrw_load_float_vector(context, values.data(), n, &status)
                                       : vrw_load_unbalanced_panel_float_vector(
                                             context, values.data(), n, sizes.data(), p, &status));
    };
    Loaded loaded;
    loaded.matrix.reset(sizes.empty() ? vrw_load_matrix(context, host.data(), (int32_t)n,
                                                        next + 1, &status)
                                      : vrw_load_unbalanced_panel_matrix(
                                            context, host.data(), (int32_t)n, next + 1,
                                            sizes.data(), p, 0, &status));
    std::vector<double> ones(n, 1.0);
    loaded.frequency = vector(spec.frequency_weights.empty() ? ones : data[spec.frequency_weights]);
    if (!spec.analytic_weights.empty())
        loaded.analytic = vector(data[spec.analytic_weights]);
    if (!spec.exposures.empty())
        loaded.exposures = vector(data[spec.exposures]);
    EXPECT_EQ(status, 0) << "loading the data";
    return loaded;
}

} // namespace

VRWTestFitResult vrw_test_fit(VRWContext_s *context, const VRWTestTable &data,
                              const VRWTestFitSpec &spec)
{
    VRWTestFitResult result;
    std::vector<int32_t> columns;
    Loaded loaded = load(context, data, spec, columns);
    if (!loaded.matrix)
        return result;
    size_t k = columns.size(), n = data.rows;
    result.coefficients.assign(k, -1.0);
    result.standard_errors.assign(k, -1.0);
    result.variance.assign(k * k, -1.0);
    result.predicted.assign(n, -1.0);
    result.residuals.assign(n, -1.0);
    result.multicollinear_sets.assign(k, -1);
    result.choice_counts.assign(2, -1);
    int64_t tests = spec.restrictions ? spec.restrictions->test_count : 0;
    result.wald_statistics.assign((size_t)tests, -1.0);
    result.wald_degrees_of_freedom.assign((size_t)tests, -1);

    VRWRegression_s *r = vrw_init_regression(context, spec.model);
    vrw_set_reg_data(r, loaded.matrix.get());
    vrw_set_reg_frequency_weights(r, loaded.frequency.get());
    vrw_set_reg_analytic_weights(r, loaded.analytic.get());
    vrw_set_reg_exposures(r, loaded.exposures.get());
    vrw_set_reg_dependent_column(r, loaded.matrix->columns - 1);
    vrw_set_reg_dependent_value_of_interest(r, spec.value_of_interest);
    vrw_set_reg_constant_column(r, 0);
    vrw_set_reg_independent_columns(r, columns.data(), (int64_t)k);
    vrw_set_reg_options(r, spec.options);
    if (!spec.constraints.empty())
        vrw_set_reg_constraints(r, spec.constraints.data());
    if (!spec.guesses.empty())
        vrw_set_reg_coefficient_guesses(r, spec.guesses.data());
    if (spec.restrictions)
        vrw_set_reg_restrictions(r, spec.restrictions, result.wald_statistics.data(),
                                 result.wald_degrees_of_freedom.data());
    vrw_set_reg_out_coefficients(r, result.coefficients.data());
    vrw_set_reg_out_standard_errors(r, result.standard_errors.data());
    vrw_set_reg_out_variance_matrix(r, result.variance.data());
    vrw_set_reg_out_free_parameter_count(r, &result.free_parameters);
    vrw_set_reg_out_residuals(r, result.residuals.data());
    vrw_set_reg_out_predicted_values(r, result.predicted.data());
    vrw_set_reg_out_residual_sum_of_squares(r, &result.rss);
    vrw_set_reg_out_total_sum_of_squares(r, &result.tss);
    vrw_set_reg_out_observation_count(r, &result.observations);
    vrw_set_reg_out_log_likelihood(r, &result.log_likelihood);
    vrw_set_reg_out_multicollinear_sets(r, result.multicollinear_sets.data());
    vrw_set_reg_out_per_choice_observation_count(r, result.choice_counts.data());
    result.status = vrw_run_regression(r, result.log);
    vrw_free_regression(r);
    return result;
}
