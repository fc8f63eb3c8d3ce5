// Device aggregates against R (fixtures/make_aggregates.R), and the host
// helpers around coefficient sets.
#include "vrw_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>

namespace {

using ContextPtr = std::unique_ptr<VRWContext_s, VRWContextFree>;
using MatrixPtr = std::unique_ptr<VRWMatrixBuffer_s, VRWMatrixUnload>;
using VectorPtr = std::unique_ptr<VRWVectorBuffer_s, VRWVectorUnload>;

const std::string kFixtures = std::string(OSTREL_TEST_SOURCE_DIR) + "/fixtures/";

void expect_close(double actual, double expected, const std::string &what)
{
    if (std::isnan(expected)) {
        EXPECT_TRUE(std::isnan(actual)) << what << ": " << actual;
        return;
    }
    EXPECT_NEAR(actual, expected, 1e-12 * std::max(1.0, std::fabs(expected))) << what;
}

// The fixture's data: rows in panel order, loaded plain and with panels.
class AggregatesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        context = vrw_test_context(0x80 | 0x100);
        ASSERT_TRUE(context);
        for (const auto &row : vrw_test_read_csv(kFixtures + "aggregates_data.csv")) {
            x.push_back(std::stod(row.at("x")));
            y.push_back(std::stod(row.at("y")));
            fw.push_back(std::stod(row.at("fw")));
            aw.push_back(std::stod(row.at("aw")));
            ints.push_back(std::stoi(row.at("i")));
        }
        for (const auto &row : vrw_test_read_csv(kFixtures + "aggregates_panels.csv")) {
            sizes.push_back(std::stoi(row.at("size")));
            panel_aw.push_back(std::stod(row.at("panel_aw")));
            real_sizes.push_back(std::stod(row.at("real_size")));
            panel_means.push_back(std::stod(row.at("mean_x")));
        }
        for (const auto &row : vrw_test_read_csv(kFixtures + "aggregates_expected.csv"))
            expected[row.at("name")] = std::stod(row.at("value"));
        uint32_t n = (uint32_t)x.size();
        int32_t p = (int32_t)sizes.size(), status = 0;
        std::vector<double> columns = x;
        columns.insert(columns.end(), y.begin(), y.end());
        columns.insert(columns.end(), ints.begin(), ints.end());
        plain = vrw_load_matrix(context, columns.data(), (int32_t)n, 3, &status);
        panels = vrw_load_unbalanced_panel_matrix(context, columns.data(), (int32_t)n, 3,
                                                  sizes.data(), p, 0, &status);
        weights = vrw_load_float_vector(context, fw.data(), n, &status);
        panel_weights = vrw_load_unbalanced_panel_float_vector(context, fw.data(), n,
                                                               sizes.data(), p, &status);
        analytic = vrw_load_float_vector(context, aw.data(), n, &status);
        analytic_per_panel = vrw_load_float_vector(context, panel_aw.data(), (uint32_t)p, &status);
        integers = vrw_load_integer_vector(context, ints.data(), n, &status);
        x_vector = vrw_load_float_vector(context, x.data(), n, &status);
        x_panel_vector = vrw_load_unbalanced_panel_float_vector(context, x.data(), n,
                                                                sizes.data(), p, &status);
        ASSERT_EQ(status, 0);
    }
    static void TearDownTestSuite()
    {
        for (VRWVectorBuffer_s *v : {weights, panel_weights, analytic, analytic_per_panel,
                                     integers, x_vector, x_panel_vector})
            vrw_unload_vector(v);
        vrw_unload_matrix(plain);
        vrw_unload_matrix(panels);
        vrw_context_free(context);
    }
    static inline VRWContext_s *context;
    static inline std::vector<double> x, y, fw, aw, panel_aw, real_sizes, panel_means;
    static inline std::vector<int32_t> ints, sizes;
    static inline std::map<std::string, double> expected;
    static inline VRWMatrixBuffer_s *plain, *panels;
    static inline VRWVectorBuffer_s *weights, *panel_weights, *analytic, *analytic_per_panel,
        *integers, *x_vector, *x_panel_vector;
};

TEST_F(AggregatesTest, ScalarsEqualR)
{
    VRWContext_s *c = context;
    using Aggregate = std::function<double(int32_t *)>;
    // Every scalar on the plain layout, and where it makes sense also on the
    // panel layout: padding rows take no part.
    struct Case {
        const char *name;
        Aggregate compute;
    } cases[] = {
        {"fweight_sum", [&](int32_t *s) { return vrw_compute_fweight_sum(c, weights, s); }},
        {"fweight_sum", [&](int32_t *s) { return vrw_compute_fweight_sum(c, panel_weights, s); }},
        {"integer_sum",
         [&](int32_t *s) { return vrw_compute_vector_integer_sum(c, integers, weights, s); }},
        {"mean", [&](int32_t *s) { return vrw_compute_column_mean(c, plain, weights, 0, s); }},
        {"mean",
         [&](int32_t *s) { return vrw_compute_column_mean(c, panels, panel_weights, 0, s); }},
        {"mean", [&](int32_t *s) { return vrw_compute_vector_mean(c, x_vector, weights, s); }},
        {"log_mean",
         [&](int32_t *s) { return vrw_compute_column_log_mean(c, plain, weights, 1, s); }},
        {"sum_of_squares",
         [&](int32_t *s) {
             return vrw_compute_column_uncentered_sum_of_squares(c, plain, weights, 0, s);
         }},
        {"sum_of_squares",
         [&](int32_t *s) { return vrw_compute_buffer_sum_of_squares(c, plain->data, weights, s); }},
        {"log_sum_of_squares",
         [&](int32_t *s) {
             return vrw_compute_column_log_uncentered_sum_of_squares(c, plain, weights, 1, s);
         }},
        {"centered_sum_of_squares",
         [&](int32_t *s) {
             return vrw_compute_column_centered_sum_of_squares(c, plain, weights, 0, s);
         }},
        {"centered_sum_of_squares",
         [&](int32_t *s) {
             return vrw_compute_column_centered_sum_of_squares(c, panels, panel_weights, 0, s);
         }},
        {"log_centered_sum_of_squares",
         [&](int32_t *s) {
             return vrw_compute_column_log_centered_sum_of_squares(c, plain, weights, 1, s);
         }},
        {"weighted_mean",
         [&](int32_t *s) { return vrw_compute_weighted_mean(c, plain, weights, 0, analytic, s); }},
        {"weighted_log_mean",
         [&](int32_t *s) {
             return vrw_compute_weighted_log_mean(c, plain, weights, 1, analytic, s);
         }},
        {"weighted_sum_of_squares",
         [&](int32_t *s) {
             return vrw_compute_buffer_weighted_sum_of_squares(c, plain->data, plain, weights,
                                                               analytic, s);
         }},
        {"panel_weighted_mean",
         [&](int32_t *s) {
             return vrw_compute_weighted_mean(c, panels, panel_weights, 0, analytic_per_panel, s);
         }},
        {"panel_weighted_log_mean",
         [&](int32_t *s) {
             return vrw_compute_weighted_log_mean(c, panels, panel_weights, 1, analytic_per_panel,
                                                  s);
         }},
        {"panel_weighted_sum_of_squares",
         [&](int32_t *s) {
             return vrw_compute_buffer_weighted_sum_of_squares(c, panels->data, panels,
                                                               panel_weights, analytic_per_panel,
                                                               s);
         }},
    };
    for (const Case &k : cases) {
        ASSERT_TRUE(expected.count(k.name)) << k.name;
        int32_t status = 12345;
        expect_close(k.compute(&status), expected[k.name], k.name);
        EXPECT_EQ(status, 0) << k.name;
    }
}

TEST_F(AggregatesTest, PanelSizesAndMeansEqualR)
{
    size_t p = sizes.size();
    std::vector<double> sizes_found(p, -1), column_means(p, -1), vector_means(p, -1);
    ASSERT_EQ(vrw_compute_panel_real_sizes(context, panels, panel_weights, sizes_found.data()), 0);
    ASSERT_EQ(vrw_compute_panel_column_means(context, panels, panel_weights, 0,
                                             column_means.data()),
              0);
    ASSERT_EQ(vrw_compute_panel_vector_means(context, panels, panel_weights, x_panel_vector,
                                             vector_means.data()),
              0);
    for (size_t i = 0; i < p; i++) {
        std::string panel = "panel " + std::to_string(i);
        EXPECT_EQ(sizes_found[i], real_sizes[i]) << panel;
        expect_close(column_means[i], panel_means[i], panel + " column mean");
        expect_close(vector_means[i], panel_means[i], panel + " vector mean");
    }
    EXPECT_EQ(real_sizes[5], 0.0) << "the fixture's panel of zero weights";
    EXPECT_EQ(sizes[3], 0) << "the fixture's panel without rows";
}

TEST_F(AggregatesTest, CountsTheWeightOfEachValue)
{
    std::vector<double> values = {-5, 0, 3, 99}, counts(4, -1);
    ASSERT_EQ(vrw_count_these_values_in_this_column(context, plain, weights, plain->data,
                                                    values.data(), 4, 2, counts.data()),
              0);
    for (size_t i = 0; i < values.size(); i++) {
        std::string name = "count_" + std::to_string((int)values[i]);
        EXPECT_EQ(counts[i], expected.at(name)) << name;
    }
}

TEST_F(AggregatesTest, FixedEffectsFromPanelMeansAndEstimates)
{
    // Columns dependent, a, b in two panels, loaded demeaned.
    std::vector<double> data = {1, 2, 3, 10, 20, 0, 1, 2, 3, 4, 5, 5, 5, 6, 6};
    int32_t panel_sizes[] = {2, 3}, columns[] = {1, 2}, status = 0;
    MatrixPtr m(vrw_load_unbalanced_panel_matrix(context, data.data(), 5, 3, panel_sizes, 2, 1,
                                                 &status));
    ASSERT_TRUE(m);
    VRWGmmBuffers_s *b = vrw_create_gmm_buffers(context, columns, 2, columns, 2, 2, m->blocks,
                                                &status);
    ASSERT_TRUE(b);
    double estimates[] = {0.5, -2};
    ASSERT_EQ(vrw_write_fp_buffer(context, b->estimates, 2, estimates), 0);
    std::vector<double> effects(2);
    ASSERT_EQ(vrw_compute_fixed_effects(context, m.get(), 0, b, effects.data()), 0);
    // Panel means: dependent 1.5 and 11, a 0.5 and 3, b 5 and 5.667.
    EXPECT_DOUBLE_EQ(effects[0], 1.5 - 0.5 * 0.5 + 2 * 5);
    EXPECT_DOUBLE_EQ(effects[1], 11 - 0.5 * 3 + 2 * (17.0 / 3));
    vrw_free_gmm_buffers(b);
}

TEST_F(AggregatesTest, ColumnsWithoutDataAreFound)
{
    // Columns: data, zeros, NaN in weighted rows, data only in a row of
    // weight 0, and one value in the last (padded) block.
    const int n = 20;
    std::vector<double> data(5 * n, 0.0), w(n, 1.0);
    w[4] = 0;
    for (int r = 0; r < n; r++) {
        data[r] = r + 1;
        data[2 * n + r] = r == 4 ? 1.0 : NAN;
    }
    data[3 * n + 4] = 7.0;
    data[4 * n + 19] = -1.0;
    int32_t status = 0;
    MatrixPtr m(vrw_load_matrix(context, data.data(), n, 5, &status));
    VectorPtr weights_20(vrw_load_float_vector(context, w.data(), n, &status));
    int32_t columns[] = {0, 1, 2, 3, 4, 0}, flags[6];
    std::fill(flags, flags + 6, -1);
    ASSERT_EQ(vrw_which_matrix_columns_have_data(context, m.get(), weights_20.get(), columns, 6,
                                                 flags),
              0);
    EXPECT_EQ(std::vector<int32_t>(flags, flags + 6), (std::vector<int32_t>{1, 0, 0, 0, 1, 1}));
    EXPECT_EQ(vrw_which_matrix_columns_have_data(context, m.get(), weights_20.get(), columns, 0,
                                                 flags),
              0);
}

TEST(AggregatesWithoutKernels, GiveNaNAndMinus46)
{
    ContextPtr empty(vrw_test_context(0));
    ASSERT_TRUE(empty);
    std::vector<double> values(16, 1.0);
    int32_t status = 0;
    VectorPtr w(vrw_load_float_vector(empty.get(), values.data(), 16, &status));
    MatrixPtr m(vrw_load_balanced_panel_matrix(empty.get(), values.data(), 16, 1, 2, 0, &status));
    status = 0;
    EXPECT_TRUE(std::isnan(vrw_compute_fweight_sum(empty.get(), w.get(), &status)));
    EXPECT_EQ(status, -46);
    double results[2] = {7, 7};
    EXPECT_EQ(vrw_compute_panel_real_sizes(empty.get(), m.get(), w.get(), results), -46);
    EXPECT_EQ(results[0], 7) << "nothing written";

    // The panel variant alone is not enough: both must be loaded.
    std::string dir = vrw_test_program_dir("panel_weighted_mean_only");
    vrw_test_write_file(dir + "/vrw_linear.cl", R"(
#pragma OPENCL EXTENSION cl_khr_fp64 : enable
kernel void vrw_compute_panel_weighted_mean(global const double *data, global const double *w,
    int column, int blocks, global double *result, global const double *a,
    global const int *counts, global const int *starts, int panel_count,
    global const int *quad_panels) { result[0] = 42.0; }
)");
    ASSERT_EQ(vrw_test_load(empty.get(), 0x8, dir), 0);
    status = 0;
    EXPECT_TRUE(std::isnan(vrw_compute_weighted_mean(empty.get(), m.get(), w.get(), 0, w.get(),
                                                     &status)));
    EXPECT_EQ(status, -46);
}

TEST(BlockHelpers, ExpandAndCollapseBlocks)
{
    const double a = 1, b = 2, c = 3, d = 4;
    int32_t flags[] = {1, 0, 1};
    std::vector<double> buffer = {a, b, c, d, -1, -1};
    expand_double_buffer(buffer.data(), 2, 3, flags, NAN);
    EXPECT_EQ(buffer[0], a);
    EXPECT_EQ(buffer[1], b);
    EXPECT_TRUE(std::isnan(buffer[2]) && std::isnan(buffer[3]));
    EXPECT_EQ(buffer[4], c);
    EXPECT_EQ(buffer[5], d);
    collapse_double_buffer(buffer.data(), 2, 3, flags);
    EXPECT_EQ(std::vector<double>(buffer.begin(), buffer.begin() + 4),
              (std::vector<double>{a, b, c, d}));

    std::vector<double> expanded(6);
    expand_double_buffer2(expanded.data(), buffer.data(), 2, 3, flags, 0.0);
    EXPECT_EQ(expanded, (std::vector<double>{a, b, 0, 0, c, d}));
    std::vector<double> collapsed(4);
    collapse_double_buffer2(collapsed.data(), expanded.data(), 2, 3, flags);
    EXPECT_EQ(collapsed, (std::vector<double>{a, b, c, d}));

    int32_t kept_first[] = {1, 1, 0};
    std::vector<int64_t> longs = {5, 6, 7, 8, 9, 9};
    expand_long_buffer(longs.data(), 2, 3, kept_first, -1);
    EXPECT_EQ(longs, (std::vector<int64_t>{5, 6, 7, 8, -1, -1}));
}

TEST(BlockHelpers, ExpandConstrainedMatrix)
{
    double constraints[] = {NAN, 0, NAN};
    double source[] = {1, 2, 3, 4}; // column-major: s00 1, s10 2, s01 3, s11 4
    std::vector<double> out(9, -1);
    expand_constrained_matrix(out.data(), constraints, 3, source, 2);
    EXPECT_EQ(out, (std::vector<double>{1, 0, 2, 0, 0, 0, 3, 0, 4}));
    std::vector<double> copy(4);
    expand_constrained_matrix(copy.data(), nullptr, 2, source, 2);
    EXPECT_EQ(copy, (std::vector<double>{1, 2, 3, 4}));
}

} // namespace
