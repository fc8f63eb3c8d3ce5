/* Kernel lookup by name, the runner of prepared kernel runs and the run arrays
** the fits fill, and the model names the lookups are keyed by. */
#include "varrow/vrw_internal.h"
#include "varrow/vrw_kernel_names.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define VRW_KERNEL_NAME_CAPACITY 128
#define VRW_RUN_NAME_CAPACITY 1024

cl_kernel vrw_find_kernel(const VRWContext_s *context, const char *name)
{
    if (!context || !name)
        return NULL;
    size_t wanted = strlen(name) + 1;
    char found[VRW_KERNEL_NAME_CAPACITY];
    for (uint32_t i = 0; i < context->kernel_count; i++) {
        size_t size = 0;
        /* A name too long for the buffer fails the query; such a kernel can
        ** never be the one asked for. */
        if (clGetKernelInfo(context->kernels[i], CL_KERNEL_FUNCTION_NAME, sizeof found, found,
                            &size) != CL_SUCCESS)
            continue;
        if (size == wanted && memcmp(found, name, size) == 0)
            return context->kernels[i];
    }
    return NULL;
}

static const char *const kernel_names[VRWK_COUNT] = {
#define VRW_KERNEL_NAME(id, name) [id] = name,
    VRW_KERNEL_TABLE(VRW_KERNEL_NAME)
#undef VRW_KERNEL_NAME
};

const char *vrw_kernel_name(VRWKernelName kernel)
{
    return (unsigned)kernel < VRWK_COUNT ? kernel_names[kernel] : NULL;
}

cl_kernel vrw_kernel(const VRWContext_s *context, VRWKernelName kernel)
{
    return vrw_find_kernel(context, vrw_kernel_name(kernel));
}

static cl_kernel find_formatted(const VRWContext_s *context, const char *pattern,
                                const char *model)
{
    char name[VRW_KERNEL_NAME_CAPACITY];
    int length = snprintf(name, sizeof name, pattern, model ? model : "");
    if (length < 0 || (size_t)length >= sizeof name)
        return NULL;
    return vrw_find_kernel(context, name);
}

static bool is_multinomial_logit(const char *model)
{
    return model && strcmp(model, "multinomial_logit") == 0;
}

/* The model's own kernel for the multinomial logit, else the shared one. */
static cl_kernel find_shared(const VRWContext_s *context, VRWKernelName shared,
                             const char *model)
{
    if (!is_multinomial_logit(model))
        return vrw_kernel(context, shared);
    return find_formatted(context, VRW_KERNEL_PATTERN_MULTINOMIAL_LOGIT, vrw_kernel_name(shared));
}

cl_kernel vrw_find_prefix_kernel(const VRWContext_s *context, const char *model)
{
    return find_formatted(context, VRW_KERNEL_PATTERN_PREFIX, model);
}

cl_kernel vrw_find_prefix_fe_kernel(const VRWContext_s *context, const char *model)
{
    cl_kernel kernel = find_formatted(context, VRW_KERNEL_PATTERN_PREFIX_FE, model);
    return kernel ? kernel : vrw_find_prefix_kernel(context, model);
}

cl_kernel vrw_find_predict_kernel(const VRWContext_s *context, const char *model)
{
    return find_formatted(context, VRW_KERNEL_PATTERN_PREDICT, model);
}

cl_kernel vrw_find_predict_fe_kernel(const VRWContext_s *context, const char *model)
{
    cl_kernel kernel = find_formatted(context, VRW_KERNEL_PATTERN_PREDICT_FE, model);
    return kernel ? kernel : vrw_find_predict_kernel(context, model);
}

cl_kernel vrw_find_log_likelihood_kernel(const VRWContext_s *context, const char *model)
{
    return find_formatted(context, VRW_KERNEL_PATTERN_LOG_LIKELIHOOD, model);
}

cl_kernel vrw_find_log_likelihood_fe_kernel(const VRWContext_s *context, const char *model)
{
    return find_formatted(context, VRW_KERNEL_PATTERN_LOG_LIKELIHOOD_FE, model);
}

cl_kernel vrw_find_jacobian_kernel(const VRWContext_s *context, const char *model)
{
    return find_shared(context, VRWK_COMPUTE_JACOBIAN, model);
}

cl_kernel vrw_find_hessian_kernel(const VRWContext_s *context, const char *model)
{
    return find_shared(context, VRWK_COMPUTE_HESSIAN, model);
}

cl_kernel vrw_find_robust_kernel(const VRWContext_s *context, const char *model)
{
    return find_shared(context, VRWK_COMPUTE_OPG_ROBUST, model);
}

cl_kernel vrw_find_cluster_pass1_kernel(const VRWContext_s *context, const char *model)
{
    return find_shared(context, VRWK_COMPUTE_OPG_CLUSTER_PASS1, model);
}

cl_kernel vrw_find_cluster_pass2_kernel(const VRWContext_s *context, const char *model)
{
    (void)model;
    return vrw_kernel(context, VRWK_COMPUTE_OPG_CLUSTER_PASS2);
}

cl_kernel vrw_find_jacobian_fe_kernel(const VRWContext_s *context, const char *model)
{
    (void)model;
    return vrw_kernel(context, VRWK_COMPUTE_FIXED_EFFECTS_JACOBIAN);
}

cl_kernel vrw_find_hessian_fe_kernel(const VRWContext_s *context, const char *model)
{
    (void)model;
    return vrw_kernel(context, VRWK_COMPUTE_FIXED_EFFECTS_HESSIAN);
}

/* OpenCL refuses an empty range; such a run has nothing to compute. */
static bool has_work(const VRWKernelRun_s *run)
{
    for (uint32_t d = 0; d < run->work_dim && d < 3; d++)
        if (run->global_size[d] == 0)
            return false;
    return true;
}

static VRWStatus bind_arguments(const VRWKernelRun_s *run, const char *name)
{
    for (int64_t i = 0; i < run->arg_count; i++) {
        const VRWKernelArg_s *arg = &run->args[i];
        /* A buffer argument of 0 is bound with no value: the kernel sees a
        ** null buffer. */
        const void *value = arg->kind == VRW_ARG_MEM && !arg->value.mem ? NULL : &arg->value;
        cl_int err = clSetKernelArg(run->kernel, (cl_uint)i, (size_t)arg->size, value);
        if (err != CL_SUCCESS) {
            vrw_log_note("Error setting arg #%d/%lu for kernel `%s`: %d\n", (int)(i + 1),
                         (unsigned long)run->arg_count, name, err);
            return err;
        }
    }
    return VRW_SUCCESS;
}

/*
** The work-group size of a run. Left to it, PoCL picks one from the global
** size and compiles the kernel anew for every size it picks, so each new
** row count cost a compile even with a warm kernel cache. A run over rows
** (one item a padded row, a multiple of 16, or one a block) takes a fixed
** size: 16 items when its size allows, else 1; so the cache holds at most
** two variants of a row kernel whatever the row count. Runs of more
** dimensions span coefficients, clusters or choices, which no row count
** changes, and keep PoCL's choice (NULL).
*/
static const size_t *local_sizes(const VRWKernelRun_s *run, size_t *local)
{
    if (run->work_dim != 1)
        return NULL;
    local[0] = run->global_size[0] % VRW_BLOCK_ROWS == 0 ? VRW_BLOCK_ROWS : 1;
    return local;
}

static VRWStatus run_one(VRWContext_s *context, VRWKernelRun_s *run)
{
    char name[VRW_RUN_NAME_CAPACITY] = "";
    cl_uint declared = 0;
    clGetKernelInfo(run->kernel, CL_KERNEL_FUNCTION_NAME, sizeof name, name, NULL);
    cl_int err = clGetKernelInfo(run->kernel, CL_KERNEL_NUM_ARGS, sizeof declared, &declared,
                                 NULL);
    if (err != CL_SUCCESS)
        return err;
    if ((int64_t)declared != run->arg_count) {
        vrw_log_note("Wrong number of arguments for kernel `%s` (expected %u, got %lu)\n", name,
                     declared, (unsigned long)run->arg_count);
        return VRW_WRONG_ARGUMENT_COUNT;
    }
    if (run->pre_run) {
        VRWStatus status = run->pre_run(context, run->pre_run_data);
        if (status != VRW_SUCCESS)
            return status;
    }
    VRWStatus status = bind_arguments(run, name);
    if (status != VRW_SUCCESS)
        return status;
    if (has_work(run)) {
        size_t local[3];
        err = clEnqueueNDRangeKernel(context->queue, run->kernel, run->work_dim, NULL,
                                     run->global_size, local_sizes(run, local), 0, NULL, NULL);
        if (err != CL_SUCCESS)
            return err;
    }
    if (run->post_run)
        return run->post_run(context, run->post_run_data);
    return VRW_SUCCESS;
}

VRWStatus vrw_run_kernels(VRWContext_s *context, VRWKernelRun_s *runs, int64_t count)
{
    for (int64_t i = 0; i < count; i++) {
        VRWStatus status = run_one(context, &runs[i]);
        if (status != VRW_SUCCESS)
            return status;
    }
    return VRW_SUCCESS;
}

void vrw_reset_kernel_args(VRWKernelRun_s *run)
{
    run->arg_count = 0;
}

static VRWKernelArg_s *next_arg(VRWKernelRun_s *run, uint32_t kind, int64_t size)
{
    VRWKernelArg_s *arg = &run->args[run->arg_count++];
    arg->kind = kind;
    arg->size = size;
    arg->value.bits = 0;
    return arg;
}

void vrw_set_kernel_arg_mem(VRWKernelRun_s *run, cl_mem buffer)
{
    next_arg(run, VRW_ARG_MEM, sizeof(cl_mem))->value.mem = buffer;
}

void vrw_set_kernel_arg_int(VRWKernelRun_s *run, int32_t value)
{
    next_arg(run, VRW_ARG_INT, sizeof(int32_t))->value.i = value;
}

void vrw_set_kernel_arg_float(VRWKernelRun_s *run, float value)
{
    next_arg(run, VRW_ARG_FLOAT, sizeof(float))->value.f = value;
}

void vrw_set_kernel_arg_double(VRWKernelRun_s *run, double value)
{
    next_arg(run, VRW_ARG_DOUBLE, sizeof(double))->value.d = value;
}

void vrw_set_kernel_dim1(VRWKernelRun_s *run, size_t x)
{
    run->work_dim = 1;
    run->global_size[0] = x;
}

void vrw_set_kernel_dim2(VRWKernelRun_s *run, size_t x, size_t y)
{
    run->work_dim = 2;
    run->global_size[0] = x;
    run->global_size[1] = y;
}

void vrw_set_kernel_dim3(VRWKernelRun_s *run, size_t x, size_t y, size_t z)
{
    run->work_dim = 3;
    run->global_size[0] = x;
    run->global_size[1] = y;
    run->global_size[2] = z;
}

VRWKernelRun_s *vrw_new_runs(unsigned long n, unsigned long *count)
{
    VRWKernelRun_s *runs = calloc(n ? n : 1, sizeof *runs);
    *count = runs ? n : 0;
    return runs;
}

/* Model names, which the kernel lookups above are keyed by. */
bool vrw_model_is(const char *model, const char *name)
{
    return model && strcmp(model, name) == 0;
}

bool vrw_appends_value_of_interest(const char *model)
{
    return vrw_model_is(model, "logit") || vrw_model_is(model, "probit")
           || vrw_model_is(model, "binary_linear");
}

bool vrw_is_weighted_least_squares(const char *model)
{
    return vrw_model_is(model, "weighted_linear") || vrw_model_is(model, "weighted_log_linear");
}

bool vrw_is_least_squares(const char *model)
{
    return vrw_model_is(model, "linear") || vrw_model_is(model, "log_linear")
           || vrw_model_is(model, "binary_linear") || vrw_is_weighted_least_squares(model);
}
