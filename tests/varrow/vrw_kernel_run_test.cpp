// Kernel lookup by name and pattern, and the runner of prepared runs.
#include "vrw_test_support.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using ContextPtr = std::unique_ptr<VRWContext_s, VRWContextFree>;

const char *kProgram = R"(
#pragma OPENCL EXTENSION cl_khr_fp64 : enable
kernel void six(global double *a, global double *b, int c, int d, float e, double f) { }
// Records what it was given: whether the buffer is null, the int, the float
// and the double.
kernel void echo(global double *out, global double *maybe, int i, float f, double d)
{
    out[0] = maybe ? 1.0 : 0.0;
    out[1] = i;
    out[2] = f;
    out[3] = d;
}
kernel void count_items(global double *out) { out[get_global_id(0)] += 1.0; }
kernel void vrw_prefix_probit(global double *x) { }
kernel void vrw_prefix_logit_fe(global double *x) { }
kernel void vrw_prefix_logit(global double *x) { }
kernel void vrw_predict_count(global double *x) { }
kernel void vrw_log_likelihood_probit(global double *x) { }
kernel void vrw_compute_jacobian(global double *x) { }
kernel void vrw_compute_jacobian_multinomial_logit(global double *x) { }
kernel void vrw_compute_hessian(global double *x) { }
kernel void vrw_compute_opg_robust_multinomial_logit(global double *x) { }
kernel void vrw_compute_opg_cluster_pass1(global double *x) { }
kernel void vrw_compute_opg_cluster_pass2(global double *x) { }
kernel void vrw_compute_fixed_effects_jacobian(global double *x) { }
)";

class KernelRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        context.reset(vrw_test_context(0));
        ASSERT_TRUE(context);
        std::string dir = vrw_test_program_dir("kernel_run");
        vrw_test_write_file(dir + "/vrw_linear.cl", kProgram);
        ASSERT_EQ(vrw_test_load(context.get(), 0x8, dir), 0);
        int32_t status;
        out = clCreateBuffer(context->context, CL_MEM_READ_WRITE, 4 * sizeof(double), nullptr,
                             &status);
        ASSERT_EQ(status, 0);
        clear_out();
    }
    void TearDown() override
    {
        if (out)
            clReleaseMemObject(out);
    }
    void clear_out()
    {
        double zeros[4] = {0, 0, 0, 0};
        ASSERT_EQ(vrw_write_fp_buffer(context.get(), out, 4, zeros), 0);
    }
    std::vector<double> read_out()
    {
        std::vector<double> values(4);
        EXPECT_EQ(vrw_read_fp_buffer(context.get(), out, 4, values.data()), 0);
        return values;
    }
    VRWKernelRun_s run_of(const char *name)
    {
        VRWKernelRun_s run{};
        run.kernel = vrw_find_kernel(context.get(), name);
        EXPECT_NE(run.kernel, nullptr) << name;
        vrw_set_kernel_dim1(&run, 1);
        return run;
    }
    ContextPtr context;
    cl_mem out = nullptr;
};

VRWStatus count_call(VRWContext_s *, void *data)
{
    ++*static_cast<int *>(data);
    return 0;
}

VRWStatus refuse(VRWContext_s *, void *data)
{
    return *static_cast<int *>(data);
}

TEST_F(KernelRunTest, WrongArgumentCountIsRefusedBeforeAnythingRuns)
{
    VRWKernelRun_s run = run_of("six");
    int calls = 0;
    run.pre_run = count_call;
    run.pre_run_data = &calls;
    vrw_set_kernel_arg_mem(&run, out);
    vrw_set_kernel_arg_mem(&run, out);
    vrw_set_kernel_arg_int(&run, 1);
    vrw_set_kernel_arg_int(&run, 2);
    vrw_set_kernel_arg_float(&run, 3.0f);

    testing::internal::CaptureStdout();
    VRWStatus status = vrw_run_kernels(context.get(), &run, 1);
    std::string printed = testing::internal::GetCapturedStdout();

    EXPECT_EQ(status, -52);
    EXPECT_EQ(printed, "Wrong number of arguments for kernel `six` (expected 6, got 5)\n");
    EXPECT_EQ(calls, 0);
}

TEST_F(KernelRunTest, BindsNullBuffersAndValuesOfEveryKind)
{
    VRWKernelRun_s run = run_of("echo");
    vrw_set_kernel_arg_mem(&run, out);
    vrw_set_kernel_arg_mem(&run, nullptr);
    vrw_set_kernel_arg_int(&run, 0);
    vrw_set_kernel_arg_float(&run, 0.5f);
    vrw_set_kernel_arg_double(&run, 1.0 / 3.0);
    EXPECT_EQ(run.args[1].kind, (uint32_t)VRW_ARG_MEM);
    EXPECT_EQ(run.args[1].size, 8);
    EXPECT_EQ(run.args[2].size, 4);
    EXPECT_EQ(run.args[3].size, 4);
    EXPECT_EQ(run.args[4].size, 8);
    ASSERT_EQ(vrw_run_kernels(context.get(), &run, 1), 0);
    EXPECT_EQ(read_out(), (std::vector<double>{0.0, 0.0, 0.5, 1.0 / 3.0}));

    // A run keeps its buffer handles and its values; resetting rebinds.
    vrw_reset_kernel_args(&run);
    EXPECT_EQ(run.arg_count, 0);
    vrw_set_kernel_arg_mem(&run, out);
    vrw_set_kernel_arg_mem(&run, out);
    vrw_set_kernel_arg_int(&run, -7);
    vrw_set_kernel_arg_float(&run, 2.0f);
    vrw_set_kernel_arg_double(&run, 4.0);
    ASSERT_EQ(vrw_run_kernels(context.get(), &run, 1), 0);
    EXPECT_EQ(read_out(), (std::vector<double>{1.0, -7.0, 2.0, 4.0}));
}

TEST_F(KernelRunTest, AnEmptyRangeEnqueuesNothingButRunsCallbacks)
{
    VRWKernelRun_s run = run_of("count_items");
    vrw_set_kernel_arg_mem(&run, out);
    int calls = 0;
    run.pre_run = count_call;
    run.pre_run_data = &calls;
    run.post_run = count_call;
    run.post_run_data = &calls;
    vrw_set_kernel_dim2(&run, 4, 0);
    EXPECT_EQ(vrw_run_kernels(context.get(), &run, 1), 0);
    EXPECT_EQ(calls, 2);
    // Only the used dimensions count: dim1 after dim2 keeps the second size.
    vrw_set_kernel_dim1(&run, 3);
    EXPECT_EQ(run.global_size[1], 0u);
    EXPECT_EQ(run.work_dim, 1u);
    EXPECT_EQ(vrw_run_kernels(context.get(), &run, 1), 0);
    EXPECT_EQ(read_out(), (std::vector<double>{1.0, 1.0, 1.0, 0.0}));
}

TEST_F(KernelRunTest, AFailureStopsTheList)
{
    VRWKernelRun_s runs[3] = {run_of("count_items"), run_of("echo"), run_of("count_items")};
    vrw_set_kernel_arg_mem(&runs[0], out);
    // An int where the kernel wants a buffer cannot be bound.
    vrw_set_kernel_arg_int(&runs[1], 1);
    for (int i = 0; i < 4; i++)
        vrw_set_kernel_arg_mem(&runs[1], out);
    vrw_set_kernel_arg_mem(&runs[2], out);

    testing::internal::CaptureStdout();
    VRWStatus status = vrw_run_kernels(context.get(), runs, 3);
    std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(status, CL_INVALID_ARG_SIZE);
    EXPECT_EQ(printed, "Error setting arg #1/5 for kernel `echo`: -51\n");
    EXPECT_EQ(read_out()[0], 1.0) << "the run before the failure ran, the one after did not";

    int refusal = 1234;
    runs[0].post_run = refuse;
    runs[0].post_run_data = &refusal;
    EXPECT_EQ(vrw_run_kernels(context.get(), runs, 3), 1234);
    EXPECT_EQ(vrw_run_kernels(context.get(), runs, 0), 0);
    EXPECT_EQ(vrw_run_kernels(context.get(), runs, -1), 0);
}

TEST_F(KernelRunTest, FindersFollowTheirPatterns)
{
    VRWContext_s *c = context.get();
    auto named = [c](const char *name) { return vrw_find_kernel(c, name); };
    struct Case {
        const char *what;
        cl_kernel found;
        cl_kernel expected;
    } cases[] = {
        {"prefix probit", vrw_find_prefix_kernel(c, "probit"), named("vrw_prefix_probit")},
        {"prefix fe falls back", vrw_find_prefix_fe_kernel(c, "probit"),
         named("vrw_prefix_probit")},
        {"prefix fe of its own", vrw_find_prefix_fe_kernel(c, "logit"),
         named("vrw_prefix_logit_fe")},
        {"predict fe falls back", vrw_find_predict_fe_kernel(c, "count"),
         named("vrw_predict_count")},
        {"log likelihood", vrw_find_log_likelihood_kernel(c, "probit"),
         named("vrw_log_likelihood_probit")},
        {"log likelihood fe has no fallback", vrw_find_log_likelihood_fe_kernel(c, "probit"),
         nullptr},
        {"jacobian", vrw_find_jacobian_kernel(c, "logit"), named("vrw_compute_jacobian")},
        {"jacobian multinomial", vrw_find_jacobian_kernel(c, "multinomial_logit"),
         named("vrw_compute_jacobian_multinomial_logit")},
        {"hessian multinomial missing", vrw_find_hessian_kernel(c, "multinomial_logit"),
         nullptr},
        {"robust multinomial", vrw_find_robust_kernel(c, "multinomial_logit"),
         named("vrw_compute_opg_robust_multinomial_logit")},
        {"cluster pass 1", vrw_find_cluster_pass1_kernel(c, "poisson"),
         named("vrw_compute_opg_cluster_pass1")},
        {"cluster pass 2 shared", vrw_find_cluster_pass2_kernel(c, "multinomial_logit"),
         named("vrw_compute_opg_cluster_pass2")},
        {"fe jacobian shared", vrw_find_jacobian_fe_kernel(c, "multinomial_logit"),
         named("vrw_compute_fixed_effects_jacobian")},
        {"fe hessian missing", vrw_find_hessian_fe_kernel(c, "logit"), nullptr},
        {"no partial match", named("vrw_prefix_prob"), nullptr},
    };
    for (const Case &k : cases)
        EXPECT_EQ(k.found, k.expected) << k.what;
    EXPECT_NE(named("vrw_prefix_logit_fe"), nullptr);
}

} // namespace
