// The per-row kernels of the binary-choice fits at linear predictors far in
// both tails, against R's log-scale distribution functions
// (fixtures/make_row_terms.R): no overflow, no term rounded to 0 or 1 where
// its logarithm still has digits.
#include "vrw_fit_support.h"
#include "vrw_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

const std::string kFixtures = std::string(OSTREL_TEST_SOURCE_DIR) + "/fixtures/";

using MatrixPtr = std::unique_ptr<VRWMatrixBuffer_s, VRWMatrixUnload>;

struct BuffersFree {
    void operator()(VRWMleBuffers_s *b) const { vrw_free_mle_buffers(b); }
};

TEST(RowKernelsTest, BinaryChoiceTermsInTheTails)
{
    std::unique_ptr<VRWContext_s, VRWContextFree> context(
        vrw_test_context(kVrwTestSingleEquationFamilies));
    ASSERT_TRUE(context);
    VRWContext_s *c = context.get();
    VRWTestTable expected = vrw_test_read_table(kFixtures + "row_terms.csv");
    int32_t rows = (int32_t)expected.rows, status = 0, column = 0;
    MatrixPtr matrix(vrw_load_matrix(c, expected["y"].data(), rows, 1, &status));
    std::unique_ptr<VRWMleBuffers_s, BuffersFree> buffers(vrw_create_mle_buffers(
        c, &column, 1, nullptr, 1, nullptr, 0, nullptr, 0, 0, 0, nullptr, 0, matrix->blocks,
        &status));
    ASSERT_EQ(status, 0);
    ASSERT_EQ(vrw_write_fp_buffer(c, buffers->fitted, (size_t)rows, expected["eta"].data()), 0);

    // Each kernel, the buffer it writes, and the fixture column it must equal.
    struct Case {
        const char *kernel;
        cl_mem output;
        const char *fixture;
        double tolerance;
    } cases[] = {
        {"vrw_log_likelihood_logit", buffers->row_values, "logit_log_likelihood", 1e-14},
        {"vrw_predict_logit", buffers->predicted, "logit_predicted", 1e-14},
        {"vrw_log_likelihood_probit", buffers->row_values, "probit_log_likelihood", 1e-12},
        {"vrw_prefix_probit", buffers->scores, "probit_score", 1e-12},
        {"vrw_prefix_probit", buffers->weights, "probit_weight", 1e-9},
        {"vrw_information_probit", buffers->weights, "probit_information", 1e-12},
        {"vrw_predict_probit", buffers->predicted, "probit_predicted", 1e-12},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.kernel);
        VRWKernelRun_s run = {};
        run.kernel = vrw_find_kernel(c, k.kernel);
        ASSERT_TRUE(run.kernel);
        vrw_set_kernel_dim1(&run, 16 * (size_t)matrix->blocks);
        if (std::string(k.kernel).find("predict") != std::string::npos) {
            vrw_set_kernel_arg_mem(&run, buffers->fitted);
            vrw_set_kernel_arg_mem(&run, buffers->predicted);
        } else {
            if (std::string(k.kernel).find("likelihood") != std::string::npos)
                vrw_set_mle_log_likelihood_kernel_args(&run, matrix.get(), 0, buffers.get());
            else
                vrw_set_mle_prefix_kernel_args(&run, matrix.get(), buffers.get(), 0);
            vrw_set_kernel_arg_double(&run, 1.0);
        }
        ASSERT_EQ(vrw_run_kernels(c, &run, 1), 0);
        std::vector<double> values(rows);
        ASSERT_EQ(vrw_read_data_buffer(c, matrix.get(), k.output, 0, values.data()), 0);
        const std::vector<double> &want = expected[k.fixture];
        for (int32_t i = 0; i < rows; i++) {
            EXPECT_TRUE(std::isfinite(values[i])) << "eta " << expected["eta"][i];
            EXPECT_NEAR(values[i], want[i], k.tolerance * std::fabs(want[i]) + 1e-300)
                << k.fixture << " at eta " << expected["eta"][i] << ", y "
                << expected["y"][i];
        }
    }
}

} // namespace
