// The Newton loop on its own: test kernels hand it a fixed gradient and
// Hessian, so its eigen test, stop rules, reuse of the Hessian, log and
// final stage can be checked case by case.
#include "vrw_fit_support.h"
#include "vrw_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <unistd.h>
#include <memory>
#include <vector>

namespace {

// Copies a fixed gradient and Hessian into the fit's buffers, and counts the
// runs of the Hessian, prefix and final stages.
const char *kProgram = R"(
#pragma OPENCL EXTENSION cl_khr_fp64 : enable
kernel void test_copy(global const double *from, global double *to)
{
    to[get_global_id(0)] = from[get_global_id(0)];
}
kernel void test_count(global int *counters, int which)
{
    counters[which] += 1;
}
)";

enum { kHessianRuns, kPrefixRuns, kFinalRuns, kCounters };

class IterateTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        vrw_test_use_kernel_cache();
        int32_t status = 0;
        context = vrw_context_init(CL_DEVICE_TYPE_CPU, &status);
        ASSERT_TRUE(context);
        // Suite set-up has no test of its own to name the folder after, and
        // ctest runs every test of the suite in a process of its own.
        std::string dir = vrw_test_program_dir("program-" + std::to_string(getpid()));
        vrw_test_write_file(dir + "/vrw_cox.cl", kProgram);
        ASSERT_EQ(vrw_test_load(context, 0x40, dir), 0);
    }
    static void TearDownTestSuite() { vrw_context_free(context); }

    cl_mem buffer(const std::vector<double> &values)
    {
        cl_int err;
        cl_mem b = clCreateBuffer(context->context, CL_MEM_READ_ONLY | CL_MEM_COPY_HOST_PTR,
                                  values.size() * sizeof(double), (void *)values.data(), &err);
        made.push_back(b);
        return b;
    }

    void copy_run(VRWKernelRun_s *run, cl_mem from, cl_mem to, size_t n)
    {
        run->kernel = vrw_find_kernel(context, "test_copy");
        vrw_set_kernel_dim1(run, n);
        vrw_set_kernel_arg_mem(run, from);
        vrw_set_kernel_arg_mem(run, to);
    }

    void count_run(VRWKernelRun_s *run, int which)
    {
        run->kernel = vrw_find_kernel(context, "test_count");
        vrw_set_kernel_dim1(run, 1);
        vrw_set_kernel_arg_mem(run, counters);
        vrw_set_kernel_arg_int(run, which);
    }

    struct Outcome {
        int32_t status;
        std::vector<double> estimates;
        std::vector<int64_t> sets;
        VRWIterationLog log;
        std::vector<int32_t> counts;
    };

    // Iterates over n coefficients with the given gradient and Hessian (of
    // the free ones) from the start values.
    Outcome iterate(const std::vector<double> &gradient, const std::vector<double> &hessian,
                    int n, std::vector<double> constraints = {}, int reuse = 0,
                    std::vector<double> guesses = {})
    {
        int32_t status = 0;
        std::vector<int32_t> columns(n, 0);
        std::vector<int32_t> zero(kCounters, 0);
        cl_int err;
        counters = clCreateBuffer(context->context, CL_MEM_READ_WRITE | CL_MEM_COPY_HOST_PTR,
                                  sizeof(int32_t) * kCounters, zero.data(), &err);
        made.push_back(counters);
        VRWMleBuffers_s *b = vrw_create_mle_buffers(
            context, columns.data(), n, constraints.empty() ? nullptr : constraints.data(), n,
            nullptr, 0, nullptr, 0, 0, 0, nullptr, 0, 1, &status);
        EXPECT_TRUE(b);
        auto *it = (VRWIterationCtx_s *)calloc(1, sizeof(VRWIterationCtx_s));
        size_t k = (size_t)b->free_count;
        it->jacobian_runs = (VRWKernelRun_s *)calloc(1, sizeof(VRWKernelRun_s));
        it->jacobian_run_count = 1;
        copy_run(&it->jacobian_runs[0], buffer(gradient), b->jacobian, k);
        it->hessian_runs = (VRWKernelRun_s *)calloc(2, sizeof(VRWKernelRun_s));
        it->hessian_run_count = 2;
        count_run(&it->hessian_runs[0], kHessianRuns);
        copy_run(&it->hessian_runs[1], buffer(hessian), b->hessian, k * k);
        it->prefix_runs = (VRWKernelRun_s *)calloc(1, sizeof(VRWKernelRun_s));
        it->prefix_run_count = 1;
        count_run(&it->prefix_runs[0], kPrefixRuns);
        it->final_runs = (VRWKernelRun_s *)calloc(1, sizeof(VRWKernelRun_s));
        it->final_run_count = 1;
        count_run(&it->final_runs[0], kFinalRuns);
        Outcome o;
        o.estimates.assign(n, -1.0);
        o.sets.assign(n, -1);
        o.log[VRW_ITERATION_LOG_COUNT].count = -1;
        o.status = vrw_iterate_mle(context, it, b, guesses.empty() ? nullptr : guesses.data(),
                                   o.estimates.data(), reuse, o.sets.data(), o.log);
        o.counts.assign(kCounters, 0);
        clEnqueueReadBuffer(context->queue, counters, CL_TRUE, 0, sizeof(int32_t) * kCounters,
                            o.counts.data(), 0, nullptr, nullptr);
        vrw_iteration_ctx_free(it);
        vrw_free_mle_buffers(b);
        return o;
    }

    void TearDown() override
    {
        for (cl_mem b : made)
            clReleaseMemObject(b);
        made.clear();
    }

    static inline VRWContext_s *context;
    cl_mem counters = nullptr;
    std::vector<cl_mem> made;
};

// The eigen test reads the equilibrated Hessian: a coefficient without any
// information (a diagonal of 0) is the near-zero eigenvalue here.
TEST_F(IterateTest, PositiveEigenvalueStopsAfterTheNearZeroOneIsMarked)
{
    Outcome o = iterate({1, 1, 1}, {-5, 0, 0, 0, 0, 0, 0, 0, 3}, 3);
    EXPECT_EQ(o.status, 3000);
    EXPECT_EQ(o.sets, (std::vector<int64_t>{0, 1, 0}));
    EXPECT_EQ(o.counts[kFinalRuns], 0) << "no final stage after a failure";
}

TEST_F(IterateTest, TwoNearZeroEigenvaluesKeepTheLastSet)
{
    // Equilibrated, ascending: -2 and -2e-15 (coefficients 1 and 2, nearly
    // collinear), 0 (coefficient 0, no information).
    const double c = 1 - 2e-15;
    Outcome o = iterate({1, 1, 1}, {0, 0, 0, 0, -1, c, 0, c, -1}, 3);
    EXPECT_EQ(o.status, 4000);
    EXPECT_EQ(o.sets, (std::vector<int64_t>{2, 0, 0}));
}

// The Hessian of a regressor x 1e6, one of unit scale correlated with it at
// 0.9 and one x 1e-6 correlated with that at 0.3: negative definite, but
// unscaled its eigenvalues run from -6.7e17 to below the near-zero
// threshold, which marked the x 1e-6 regressor multicollinear (4000).
// Equilibrated, the test passes and the steps are those of the exact
// inverse: with H and g constant, two steps of -H^-1 g (the measure no
// longer changes in the second).
TEST_F(IterateTest, BadlyScaledHessianIsTestedAndInvertedEquilibrated)
{
    const double a = -6.7e17, d = -0.22, e = -2e-10;
    const double c = -0.9 * std::sqrt(a * d), f = -0.3 * std::sqrt(d * e);
    const std::vector<double> h = {a, c, 0, c, d, f, 0, f, e};
    const std::vector<double> g = {3e8, -0.5, 1e-5};
    Outcome o = iterate(g, h, 3);
    ASSERT_EQ(o.status, 0);
    // -2 H^-1 g by Cramer's rule in long double.
    auto det = [](const std::vector<long double> &m) {
        return m[0] * (m[4] * m[8] - m[5] * m[7]) - m[3] * (m[1] * m[8] - m[2] * m[7])
               + m[6] * (m[1] * m[5] - m[2] * m[4]);
    };
    std::vector<long double> full(h.begin(), h.end());
    std::vector<double> expected;
    for (int j = 0; j < 3; j++) {
        std::vector<long double> m = full;
        for (int i = 0; i < 3; i++)
            m[j * 3 + i] = g[i];
        expected.push_back((double)(-2 * det(m) / det(full)));
    }
    vrw_test_expect_near(o.estimates, expected, 1e-10, "estimates");
}

TEST_F(IterateTest, NaNGradientOrHessian)
{
    EXPECT_EQ(iterate({NAN, 1}, {-1, 0, 0, -1}, 2).status, 2000);
    EXPECT_EQ(iterate({1, 1}, {-1, NAN, NAN, -1}, 2).status, 3001);
}

// A constant gradient with H = -I moves every coefficient by the gradient;
// the measure g'H^-1 g does not change after the first iteration, so the
// loop stops in the second.
TEST_F(IterateTest, ReuseEvaluatesTheHessianOnce)
{
    for (int reuse : {0, 1}) {
        Outcome o = iterate({0.5, -2}, {-1, 0, 0, -1}, 2, {}, reuse);
        EXPECT_EQ(o.status, 0);
        EXPECT_EQ(o.log[VRW_ITERATION_LOG_COUNT].count, 2);
        EXPECT_EQ(o.counts[kHessianRuns], reuse ? 1 : 2);
        EXPECT_EQ(o.estimates, (std::vector<double>{1.0, -4.0}));
        EXPECT_DOUBLE_EQ(o.log[VRW_ITERATION_LOG_CHANGES].value, 4.25);
        EXPECT_DOUBLE_EQ(o.log[VRW_ITERATION_LOG_CHANGES + 1].value, 0.0);
        EXPECT_EQ(o.counts[kPrefixRuns], 3) << "two iterations and the final stage";
        EXPECT_EQ(o.counts[kFinalRuns], 1);
    }
}

TEST_F(IterateTest, ConvergedInTheFirstIteration)
{
    Outcome o = iterate({1e-4, 0}, {-1, 0, 0, -1}, 2);
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.log[VRW_ITERATION_LOG_COUNT].count, 1);
    EXPECT_DOUBLE_EQ(o.log[VRW_ITERATION_LOG_CHANGES].value, 1e-8);
}

// Constraints start (and stay) at their value, guesses start the others, a
// NaN guess starts at 0; with nothing free there is no iteration at all.
TEST_F(IterateTest, StartValuesAndNothingFree)
{
    Outcome o = iterate({0, 0}, {-1, 0, 0, -1}, 3, {7, NAN, NAN}, 0, {9, 2, NAN});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.estimates, (std::vector<double>{7, 2, 0}));

    Outcome fixed = iterate({}, {}, 2, {3, 4});
    EXPECT_EQ(fixed.status, 0);
    EXPECT_EQ(fixed.estimates, (std::vector<double>{3, 4}));
    EXPECT_EQ(fixed.log[VRW_ITERATION_LOG_COUNT].count, 0);
    EXPECT_EQ(fixed.counts[kPrefixRuns], 2) << "the loop's first pass and the final stage";
    EXPECT_EQ(fixed.counts[kFinalRuns], 1);
    EXPECT_EQ(fixed.counts[kHessianRuns], 0);
}

} // namespace
