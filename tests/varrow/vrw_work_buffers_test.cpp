// Work buffers of the fits: ranking of rows, the Cox ranks, groups and
// cells, the buffer records and the fitted-value runs.
#include "vrw_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>

namespace {

using ContextPtr = std::unique_ptr<VRWContext_s, VRWContextFree>;
using MatrixPtr = std::unique_ptr<VRWMatrixBuffer_s, VRWMatrixUnload>;
using VectorPtr = std::unique_ptr<VRWVectorBuffer_s, VRWVectorUnload>;

struct Ranked {
    double value, weight;
    int32_t row;
    bool operator==(const Ranked &o) const
    {
        return value == o.value && weight == o.weight && row == o.row;
    }
};

std::ostream &operator<<(std::ostream &out, const Ranked &r)
{
    return out << "(" << r.value << ", " << r.weight << ", row " << r.row << ")";
}

class WorkBuffersTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        context = vrw_test_context(0x80);
        ASSERT_TRUE(context);
    }
    static void TearDownTestSuite() { vrw_context_free(context); }

    std::vector<Ranked> ranked(const VRWMatrixBuffer_s *m, const VRWVectorBuffer_s *w,
                               const std::vector<double> &values, int32_t direction)
    {
        VRWRankedValue_s *records = nullptr;
        int64_t count = -1;
        EXPECT_EQ(vrw_read_ranked_values(context, m, w, values.data(), &records, &count,
                                         direction),
                  0);
        std::vector<Ranked> out;
        for (int64_t i = 0; i < count; i++)
            out.push_back({records[i].value, records[i].weight, records[i].row});
        free(records);
        return out;
    }
    template <typename T>
    std::vector<T> read_all(cl_mem buffer, size_t n)
    {
        std::vector<T> values(n);
        if (n) {
            EXPECT_EQ(clEnqueueReadBuffer(context->queue, buffer, CL_TRUE, 0, n * sizeof(T),
                                          values.data(), 0, nullptr, nullptr),
                      0);
        }
        return values;
    }
    static size_t bytes_of(cl_mem buffer)
    {
        size_t size = 0;
        if (buffer)
            clGetMemObjectInfo(buffer, CL_MEM_SIZE, sizeof size, &size, nullptr);
        return size;
    }
    static inline VRWContext_s *context;
};

TEST_F(WorkBuffersTest, RanksRowsOfPositiveWeightStably)
{
    int32_t status = 0;
    std::vector<double> column(3, 0.0), weights = {2, 0, 1};
    MatrixPtr m(vrw_load_matrix(context, column.data(), 3, 1, &status));
    VectorPtr w(vrw_load_float_vector(context, weights.data(), 3, &status));
    std::vector<double> values(16, 0.0);
    values[0] = 3, values[1] = 5, values[2] = 1;
    EXPECT_EQ(ranked(m.get(), w.get(), values, 0),
              (std::vector<Ranked>{{3, 2, 0}, {1, 1, 2}}));
    EXPECT_EQ(ranked(m.get(), w.get(), values, 1),
              (std::vector<Ranked>{{1, 1, 2}, {3, 2, 0}}));

    // Ties keep row order both ways; rows live at their padded positions.
    std::vector<double> tied_column(6, 0.0), ones(6, 1.0);
    int32_t sizes[] = {2, 4};
    MatrixPtr panels(vrw_load_unbalanced_panel_matrix(context, tied_column.data(), 6, 1, sizes, 2,
                                                      0, &status));
    VectorPtr pw(vrw_load_unbalanced_panel_float_vector(context, ones.data(), 6, sizes, 2,
                                                        &status));
    std::vector<double> tied(16, 0.0);
    int positions[] = {0, 1, 4, 5, 6, 7};
    double tied_values[] = {2, 1, 2, 1, NAN, 2};
    for (int r = 0; r < 6; r++)
        tied[positions[r]] = tied_values[r];
    std::vector<Ranked> down = ranked(panels.get(), pw.get(), tied, 0);
    std::vector<int32_t> rows;
    for (const Ranked &r : down)
        rows.push_back(r.row);
    EXPECT_EQ(rows, (std::vector<int32_t>{0, 4, 1, 5, 6, 7})) << "NaN compares equal, in place";
}

// Strata 1 and 2 over two panels; panel 0 has only stratum 1, so its
// stratum-2 cell is empty and panel 1's cells are unaffected.
TEST_F(WorkBuffersTest, CoxRanksGroupsAndCells)
{
    int32_t status = 0;
    std::vector<double> times = {5, 9, 7, 4, 8, 6};
    std::vector<double> strata = {1, 1, 1, 1, 2, 2}, ones(6, 1.0);
    int32_t sizes[] = {3, 3};
    MatrixPtr m(vrw_load_unbalanced_panel_matrix(context, times.data(), 6, 1, sizes, 2, 0,
                                                 &status));
    VectorPtr w(vrw_load_unbalanced_panel_float_vector(context, ones.data(), 6, sizes, 2,
                                                       &status));
    VectorPtr s(vrw_load_unbalanced_panel_float_vector(context, strata.data(), 6, sizes, 2,
                                                       &status));
    // Padded positions of rows 0..5: 0, 1, 2, 4, 5, 6.
    VRWCoxBuffers_s *b = vrw_create_cox_buffers(context, m.get(), w.get(), 0, s.get(), nullptr, 2,
                                                2, &status);
    ASSERT_TRUE(b) << status;
    EXPECT_EQ(b->ranked_count, 6);
    EXPECT_EQ(b->group_count, 2);
    EXPECT_EQ(b->stratum_values[0], 1);
    EXPECT_EQ(b->stratum_values[1], 2);
    // Stratum 1 by time descending: rows 1 (9), 2 (7), 0 (5), 3 (4); stratum
    // 2: rows 4 (8), 5 (6).
    EXPECT_EQ(read_all<int32_t>(b->rank_rows, 6), (std::vector<int32_t>{1, 2, 0, 4, 5, 6}));
    EXPECT_EQ(read_all<double>(b->rank_times, 6), (std::vector<double>{9, 7, 5, 4, 8, 6}));
    EXPECT_EQ(read_all<int32_t>(b->group_starts, 2), (std::vector<int32_t>{0, 4}));
    EXPECT_EQ(read_all<int32_t>(b->group_sizes, 2), (std::vector<int32_t>{4, 2}));
    EXPECT_EQ(b->cell_count, 4);
    EXPECT_EQ(b->free_fixed_effect_count, 1);
    EXPECT_EQ(read_all<int32_t>(b->cell_rank_rows, 6), (std::vector<int32_t>{1, 2, 0, 4, 5, 6}));
    EXPECT_EQ(read_all<int32_t>(b->cell_starts, 4), (std::vector<int32_t>{0, 3, 3, 4}));
    EXPECT_EQ(read_all<int32_t>(b->cell_sizes, 4), (std::vector<int32_t>{3, 0, 1, 2}));
    for (double v : read_all<double>(b->accumulated_prefix, 6))
        EXPECT_EQ(v, INFINITY);
    EXPECT_EQ(read_all<double>(b->work_1, 12), std::vector<double>(12, 0.0));
    EXPECT_EQ(read_all<double>(b->fe_work_2, 12), std::vector<double>(12, 0.0));
    EXPECT_EQ(bytes_of(b->hazards), 6 * sizeof(double));
    vrw_free_cox_buffers(b);

    // Without strata: one group of every rank, stratum NaN; no panel buffers.
    b = vrw_create_cox_buffers(context, m.get(), w.get(), 0, nullptr, nullptr, 0, 0, &status);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->group_count, 1);
    EXPECT_TRUE(std::isnan(b->stratum_values[0]));
    EXPECT_EQ(read_all<int32_t>(b->group_sizes, 1), (std::vector<int32_t>{6}));
    EXPECT_EQ(b->work_1, nullptr);
    EXPECT_EQ(b->cell_rank_rows, nullptr);
    vrw_free_cox_buffers(b);
    vrw_free_cox_buffers(nullptr);
}

TEST_F(WorkBuffersTest, MleBuffersAreSizedByTheFreeCoefficients)
{
    int32_t status = 0, columns[] = {0, 2, 1};
    double constraints[] = {NAN, 0.5, NAN};
    uint32_t clusters[] = {0, 3};
    VRWMleBuffers_s *b = vrw_create_mle_buffers(context, columns, 3, constraints, 3, nullptr, 4,
                                                clusters, 2, 1, 0, nullptr, 0, 2, &status);
    ASSERT_TRUE(b) << status;
    const size_t R = 32, real = 8;
    EXPECT_EQ(b->free_count, 2);
    EXPECT_EQ(b->choice_count, 1);
    EXPECT_EQ(b->equation_count, 1);
    EXPECT_EQ(bytes_of(b->scores), R * real);
    EXPECT_EQ(bytes_of(b->weights), R * real);
    EXPECT_EQ(bytes_of(b->estimates), 3 * real);
    EXPECT_EQ(bytes_of(b->hessian), 4 * real);
    EXPECT_EQ(bytes_of(b->cluster_scores), 4 * real);
    EXPECT_EQ(bytes_of(b->fixed_effects), 4 * real);
    EXPECT_EQ(bytes_of(b->fe_cross_hessian), 4 * real);
    EXPECT_EQ(b->row_choice_values, nullptr);
    EXPECT_EQ(b->choice_values, nullptr);
    EXPECT_EQ(read_all<int32_t>(b->columns, 3), (std::vector<int32_t>{0, 2, 1}));
    EXPECT_EQ(read_all<int32_t>(b->free_columns, 2), (std::vector<int32_t>{0, 2}));
    EXPECT_EQ(read_all<int32_t>(b->free_equations, 2), (std::vector<int32_t>{0, 0}));
    EXPECT_EQ(read_all<int32_t>(b->clusters, 2), (std::vector<int32_t>{0, 3}));
    EXPECT_NE(b->host_hessian, nullptr);
    EXPECT_EQ(b->constraints, constraints);
    vrw_free_mle_buffers(b);

    // Three choices, two equations of two variables, two extra columns.
    double choices[] = {1, 2, 3};
    b = vrw_create_mle_buffers(context, columns, 2, nullptr, 4, nullptr, 0, nullptr, 0, 0, 2,
                               choices, 3, 1, &status);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->choice_count, 3);
    EXPECT_EQ(b->equation_count, 2);
    EXPECT_EQ(bytes_of(b->weights), 16 * 9 * real);
    EXPECT_EQ(bytes_of(b->predicted), 16 * 2 * real);
    EXPECT_EQ(read_all<double>(b->choice_values, 3), (std::vector<double>{1, 2, 3}));
    EXPECT_EQ(read_all<int32_t>(b->free_columns, 4), (std::vector<int32_t>{0, 1, 0, 1}));
    EXPECT_EQ(read_all<int32_t>(b->free_equations, 4), (std::vector<int32_t>{0, 0, 1, 1}));
    EXPECT_EQ(b->cluster_scores, nullptr);
    EXPECT_EQ(b->fe_jacobian, nullptr);
    vrw_free_mle_buffers(b);
    vrw_free_mle_buffers(nullptr);
}

TEST_F(WorkBuffersTest, OtherFitsBuffers)
{
    int32_t status = 0;
    double categories[] = {0, 2};
    VRWOrderedChoiceBuffers_s *o = vrw_create_ordered_choice_buffers(context, 1, categories, 2,
                                                                     &status);
    ASSERT_TRUE(o);
    // The number of values covered, then the category of 0, 1 and 2.
    EXPECT_EQ(read_all<int32_t>(o->category_map, 4), (std::vector<int32_t>{3, 0, 0, 1}));
    EXPECT_EQ(o->category_count, 2);
    EXPECT_EQ(bytes_of(o->nuisance_weights_cross), 16 * sizeof(double));
    vrw_free_ordered_choice_buffers(o);
    o = vrw_create_ordered_choice_buffers(context, 1, nullptr, 0, &status);
    ASSERT_TRUE(o);
    EXPECT_EQ(read_all<int32_t>(o->category_map, 2), (std::vector<int32_t>{1, 0}));
    vrw_free_ordered_choice_buffers(o);

    VRWNegbin2Buffers_s *nb = vrw_create_negbin2_buffers(context, 2, &status);
    ASSERT_TRUE(nb);
    EXPECT_EQ(bytes_of(nb->cross_weights), 32 * sizeof(double));
    vrw_free_negbin2_buffers(nb);

    int32_t columns[] = {1, 2}, instruments[] = {1, 3, 4};
    VRWGmmBuffers_s *g = vrw_create_gmm_buffers(context, columns, 2, instruments, 3, 2, 1,
                                                &status);
    ASSERT_TRUE(g);
    EXPECT_EQ(read_all<int32_t>(g->coefficient_indices, 2), (std::vector<int32_t>{0, 1}));
    EXPECT_EQ(read_all<int32_t>(g->instrument_indices, 3), (std::vector<int32_t>{0, 1, 2}));
    EXPECT_EQ(bytes_of(g->cross_products), 6 * sizeof(double));
    EXPECT_EQ(bytes_of(g->opg), 9 * sizeof(double));
    vrw_free_gmm_buffers(g);
}

TEST_F(WorkBuffersTest, FittedValuesAreLinearPredictors)
{
    // 21 rows (two blocks) of three columns in two panels.
    const int n = 21;
    std::vector<double> data(3 * n), exposure(n);
    for (int r = 0; r < n; r++) {
        data[r] = 1.0;
        data[n + r] = 0.25 * r - 2;
        data[2 * n + r] = std::sin(r);
        exposure[r] = r % 5 == 0 ? 0.0 : 1.0 + r;
    }
    int32_t sizes[] = {9, 12}, columns[] = {2, 1, 0}, status = 0;
    MatrixPtr plain(vrw_load_matrix(context, data.data(), n, 3, &status));
    MatrixPtr panels(vrw_load_unbalanced_panel_matrix(context, data.data(), n, 3, sizes, 2, 0,
                                                      &status));
    VectorPtr e(vrw_load_float_vector(context, exposure.data(), n, &status));
    VectorPtr pe(vrw_load_unbalanced_panel_float_vector(context, exposure.data(), n, sizes, 2,
                                                        &status));
    VRWMleBuffers_s *b = vrw_create_mle_buffers(context, columns, 3, nullptr, 3, nullptr, 2,
                                                nullptr, 0, 0, 0, nullptr, 0, panels->blocks,
                                                &status);
    ASSERT_TRUE(b);
    double estimates[] = {1.5, -0.5, 3.0}, effects[] = {10, -20};
    ASSERT_EQ(vrw_write_fp_buffer(context, b->estimates, 3, estimates), 0);
    ASSERT_EQ(vrw_write_fp_buffer(context, b->fixed_effects, 2, effects), 0);
    auto expected = [&](int r, bool with_exposure, bool with_effects) {
        double eta = 1.5 * data[2 * n + r] - 0.5 * data[n + r] + 3.0 * data[r];
        if (with_exposure && exposure[r] > 0)
            eta += std::log(exposure[r]);
        if (with_effects)
            eta += effects[r < 9 ? 0 : 1];
        return eta;
    };
    struct Case {
        const char *what;
        const VRWMatrixBuffer_s *matrix;
        const VRWVectorBuffer_s *exposures;
        bool effects;
    } cases[] = {{"plain", plain.get(), nullptr, false},
                 {"with exposures", plain.get(), e.get(), false},
                 {"fixed effects", panels.get(), nullptr, true},
                 {"fixed effects with exposures", panels.get(), pe.get(), true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        VRWKernelRun_s run{};
        VRWStatus set_up = c.effects ? vrw_fitted_kernel_run_init_fe(&run, context, c.matrix,
                                                                     c.exposures, b, b->fitted)
                                     : vrw_fitted_kernel_run_init(&run, context, c.matrix,
                                                                  c.exposures, b, b->fitted);
        ASSERT_EQ(set_up, 0);
        EXPECT_EQ(run.global_size[0], (size_t)c.matrix->blocks);
        ASSERT_EQ(vrw_run_kernels(context, &run, 1), 0);
        std::vector<double> fitted(n);
        ASSERT_EQ(vrw_read_data_buffer(context, c.matrix, b->fitted, 0, fitted.data()), 0);
        for (int r = 0; r < n; r++)
            EXPECT_NEAR(fitted[r], expected(r, c.exposures != nullptr, c.effects), 1e-13) << r;
    }
    VRWKernelRun_s cox{};
    EXPECT_EQ(vrw_fitted_kernel_run_init_fe_cox_proportional_hazards(&cox, context, panels.get(),
                                                                     b, b->fitted),
              -46);
    EXPECT_EQ(cox.kernel, nullptr);
    EXPECT_EQ(cox.arg_count, 0);
    vrw_free_mle_buffers(b);
}

} // namespace
