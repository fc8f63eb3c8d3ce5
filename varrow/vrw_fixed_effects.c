/* One effect a panel estimated with the coefficients: the callbacks that
** carry the effects between host and device around every iteration, and the
** iteration of the single-equation fits with the effects absorbed. */
#include "varrow/vrw_fit_internal.h"
#include "varrow/vrw_kernel_names.h"

#include <math.h>
#include <stdlib.h>

VRWFixedEffectsCtx_s *vrw_fixed_effects_ctx_init(void *ignored, int64_t step_count)
{
    (void)ignored;
    VRWFixedEffectsCtx_s *context = calloc(1, sizeof *context);
    if (!context)
        return NULL;
    context->steps = calloc(step_count > 0 ? (size_t)step_count : 1, sizeof(double));
    if (!context->steps) {
        free(context);
        return NULL;
    }
    return context;
}

void vrw_fixed_effects_ctx_free(VRWFixedEffectsCtx_s *context)
{
    if (!context)
        return;
    free(context->steps);
    if (context->owns_estimates)
        free(context->estimates);
    free(context);
}

static size_t effect_count(const VRWMleBuffers_s *buffers)
{
    return (size_t)(buffers->choice_count * buffers->panel_count);
}

static size_t step_count(const VRWMleBuffers_s *buffers)
{
    return (size_t)(buffers->equation_count * buffers->cluster_count);
}

VRWStatus vrw_pre_iteration_fixed_effects_callback(VRWContext_s *context, VRWMleBuffers_s *buffers,
                                                   void *data)
{
    const VRWFixedEffectsCtx_s *fe = data;
    return vrw_write_fp_buffer(context, buffers->fixed_effects, effect_count(buffers),
                               fe->estimates);
}

VRWStatus vrw_post_iteration_fixed_effects_callback(VRWContext_s *context,
                                                    VRWMleBuffers_s *buffers, void *data)
{
    VRWFixedEffectsCtx_s *fe = data;
    size_t steps = step_count(buffers);
    VRWStatus status = vrw_read_fp_buffer(context, buffers->fe_delta, steps, fe->steps);
    if (status != VRW_SUCCESS)
        return status;
    /* A constrained effect (an empty panel) has no step; the steps of the
    ** free ones follow in panel order. */
    const double *constraints = buffers->fixed_effect_constraints;
    size_t next = 0, effects = effect_count(buffers);
    for (size_t e = 0; e < effects && next < steps; e++) {
        if (constraints && !isnan(constraints[e]))
            continue;
        fe->estimates[e] -= fe->steps[next++];
    }
    return VRW_SUCCESS;
}

void vrw_fixed_effects_mlogit_ctx_free(VRWFixedEffectsMlogitCtx_s *workspace)
{
    if (!workspace)
        return;
    free(workspace->workspace);
    free(workspace->pivots);
    free(workspace->blocks);
    free(workspace);
}

VRWFixedEffectsMlogitCtx_s *vrw_fixed_effects_mlogit_ctx_init(VRWContext_s *context,
                                                              VRWMleBuffers_s *buffers)
{
    (void)context;
    VRWFixedEffectsMlogitCtx_s *w = calloc(1, sizeof *w);
    if (!w)
        return NULL;
    size_t e = (size_t)(buffers->equation_count > 0 ? buffers->equation_count : 0);
    size_t g = (size_t)(buffers->cluster_count > 0 ? buffers->cluster_count : 0);
    w->buffers = buffers;
    w->workspace_length = vrw_optimal_iwork_dim((int)e);
    if (w->workspace_length < 1)
        w->workspace_length = 1;
    w->workspace = malloc((size_t)w->workspace_length * sizeof(double));
    w->pivots = w->workspace ? malloc(e * e * sizeof(int) + 1) : NULL;
    w->blocks = w->pivots ? malloc(g * e * e * sizeof(double) + 1) : NULL;
    if (!w->blocks) {
        vrw_fixed_effects_mlogit_ctx_free(w);
        return NULL;
    }
    return w;
}

VRWStatus vrw_attach_fixed_effects(VRWIterationCtx_s *iteration, const VRWMleBuffers_s *buffers,
                                   const double *guesses, double *fixed_effects)
{
    size_t effects = effect_count(buffers);
    const double *constraints = buffers->fixed_effect_constraints;
    for (size_t e = 0; e < effects; e++) {
        if (constraints && !isnan(constraints[e]))
            fixed_effects[e] = constraints[e];
        else
            fixed_effects[e] = guesses ? guesses[e] : 0.0;
    }
    VRWFixedEffectsCtx_s *fe = vrw_fixed_effects_ctx_init(NULL, (int64_t)step_count(buffers));
    iteration->pre_prefix_callbacks = calloc(1, sizeof(VRWIterationCallback_s));
    iteration->post_step_callbacks = calloc(1, sizeof(VRWIterationCallback_s));
    if (!fe || !iteration->pre_prefix_callbacks || !iteration->post_step_callbacks) {
        vrw_fixed_effects_ctx_free(fe);
        return VRW_OUT_OF_HOST_MEMORY;
    }
    fe->estimates = fixed_effects;
    iteration->pre_prefix_callbacks[0] = (VRWIterationCallback_s){
        vrw_pre_iteration_fixed_effects_callback, fe};
    iteration->pre_prefix_callback_count = 1;
    iteration->post_step_callbacks[0] = (VRWIterationCallback_s){
        vrw_post_iteration_fixed_effects_callback, fe};
    iteration->post_step_callback_count = 1;
    return VRW_SUCCESS;
}

VRWStatus vrw_fixed_effects_panel_runs(VRWContext_s *context, VRWKernelRun_s *runs,
                                       const VRWMatrixBuffer_s *matrix,
                                       const VRWVectorBuffer_s *weights,
                                       const VRWMleBuffers_s *buffers, size_t coefficients)
{
    cl_kernel sum = vrw_kernel(context, VRWK_COMPUTE_FIXED_EFFECTS_PREFIX_SUM);
    cl_kernel mean = vrw_kernel(context, VRWK_COMPUTE_FIXED_EFFECTS_MEAN);
    if (!sum || !mean)
        return VRW_KERNEL_NOT_LOADED;
    size_t g = (size_t)buffers->cluster_count;
    runs[0].kernel = sum;
    vrw_set_kernel_dim1(&runs[0], g);
    vrw_set_mle_fe_sum_kernel_args(&runs[0], matrix, weights, buffers, buffers->scores,
                                   buffers->fe_jacobian);
    runs[1].kernel = sum;
    vrw_set_kernel_dim1(&runs[1], g);
    vrw_set_mle_fe_sum_kernel_args(&runs[1], matrix, weights, buffers, buffers->weights,
                                   buffers->fe_hessian);
    runs[2].kernel = mean;
    vrw_set_kernel_dim2(&runs[2], coefficients, g);
    vrw_set_mle_fe_mean_kernel_args(&runs[2], matrix, weights, buffers);
    return VRW_SUCCESS;
}

VRWStatus vrw_fixed_effects_step_run(VRWContext_s *context, VRWIterationCtx_s *iteration,
                                     const VRWMleBuffers_s *buffers)
{
    cl_kernel delta = vrw_kernel(context, VRWK_COMPUTE_FIXED_EFFECTS_DELTA);
    if (!delta)
        return VRW_KERNEL_NOT_LOADED;
    iteration->step_runs = vrw_new_runs(1, &iteration->step_run_count);
    if (!iteration->step_runs)
        return VRW_OUT_OF_HOST_MEMORY;
    iteration->step_runs[0].kernel = delta;
    vrw_set_kernel_dim1(&iteration->step_runs[0], (size_t)buffers->cluster_count);
    vrw_set_mle_fe_delta_kernel_args(&iteration->step_runs[0], buffers);
    return VRW_SUCCESS;
}

VRWStatus vrw_fixed_effects_delta_run(VRWContext_s *context, VRWKernelRun_s *run,
                                      const VRWMleBuffers_s *buffers, int hessian)
{
    size_t n = (size_t)buffers->free_count;
    run->kernel = vrw_kernel(context, hessian ? VRWK_COMPUTE_FIXED_EFFECTS_DELTA_HESSIAN
                                                   : VRWK_COMPUTE_FIXED_EFFECTS_DELTA_JACOBIAN);
    if (hessian) {
        vrw_set_kernel_dim2(run, n, n);
        vrw_set_mle_fe_delta_hessian_kernel_args(run, buffers);
    } else {
        vrw_set_kernel_dim1(run, n);
        vrw_set_mle_fe_delta_jacobian_kernel_args(run, buffers);
    }
    return run->kernel ? VRW_SUCCESS : VRW_KERNEL_NOT_LOADED;
}

VRWStatus vrw_fixed_effects_for_fit(VRWContext_s *context, VRWIterationCtx_s *iteration,
                                    const VRWMleBuffers_s *buffers, double *out,
                                    const double *guesses, double **own)
{
    if (!out) {
        out = *own = malloc((size_t)buffers->panel_count * sizeof(double));
        if (!out)
            return VRW_OUT_OF_HOST_MEMORY;
    }
    VRWStatus status = vrw_fixed_effects_step_run(context, iteration, buffers);
    if (status == VRW_SUCCESS)
        status = vrw_attach_fixed_effects(iteration, buffers, guesses, out);
    return status;
}

/* The model's row kernel with the fixed effects in place: the weighted
** least-squares models run one item a block with their per-panel weights,
** the others every padded row as without fixed effects. */
static void set_prefix_run(VRWKernelRun_s *run, cl_kernel kernel, const char *model,
                           const VRWMatrixBuffer_s *matrix,
                           const VRWVectorBuffer_s *analytic_weights,
                           const VRWMleBuffers_s *buffers, int32_t dependent, double value)
{
    run->kernel = kernel;
    vrw_set_mle_prefix_kernel_args(run, matrix, buffers, dependent);
    if (vrw_is_weighted_least_squares(model)) {
        vrw_set_kernel_dim1(run, (size_t)matrix->blocks);
        vrw_set_kernel_arg_mem(run, buffers->fixed_effects);
        vrw_set_kernel_arg_mem(run, matrix->quad_panels);
        vrw_set_kernel_arg_mem(run, analytic_weights ? analytic_weights->data : NULL);
        return;
    }
    vrw_set_kernel_dim1(run, vrw_padded_rows(matrix->blocks));
    if (vrw_appends_value_of_interest(model))
        vrw_set_kernel_arg_double(run, value);
}

static VRWStatus build_fe_iteration(VRWIterationCtx_s *it, VRWContext_s *context,
                                    const char *model, const VRWMatrixBuffer_s *matrix,
                                    const VRWVectorBuffer_s *frequency_weights,
                                    const VRWVectorBuffer_s *analytic_weights,
                                    const VRWVectorBuffer_s *exposures, VRWMleBuffers_s *buffers,
                                    const double *guesses, double *fixed_effects,
                                    int32_t dependent, double value)
{
    cl_kernel jacobian = vrw_find_jacobian_fe_kernel(context, model);
    cl_kernel hessian = vrw_find_hessian_fe_kernel(context, model);
    if (!jacobian || !hessian)
        return VRW_KERNEL_NOT_LOADED;
    if (!buffers->fixed_effects) {
        /* Made whenever there are panels: no caller of the library gets here. */
        vrw_log_note("Null fe_estimates_buf\n");
        return VRW_NO_PANELS;
    }
    it->jacobian_runs = vrw_new_runs(1, &it->jacobian_run_count);
    it->hessian_runs = vrw_new_runs(1, &it->hessian_run_count);
    it->prefix_runs = vrw_new_runs(5, &it->prefix_run_count);
    if (!it->jacobian_runs || !it->hessian_runs || !it->prefix_runs)
        return VRW_OUT_OF_HOST_MEMORY;
    size_t k = (size_t)buffers->free_count;
    it->jacobian_runs[0].kernel = jacobian;
    vrw_set_kernel_dim1(&it->jacobian_runs[0], k);
    vrw_set_mle_fe_jacobian_kernel_args(&it->jacobian_runs[0], matrix, frequency_weights,
                                        buffers);
    it->hessian_runs[0].kernel = hessian;
    vrw_set_kernel_dim2(&it->hessian_runs[0], k, k);
    vrw_set_mle_fe_hessian_kernel_args(&it->hessian_runs[0], matrix, frequency_weights, buffers);
    cl_kernel prefix = vrw_find_prefix_fe_kernel(context, model);
    if (!prefix)
        return VRW_KERNEL_NOT_LOADED;
    VRWStatus status = vrw_fixed_effects_panel_runs(context, it->prefix_runs + 2, matrix,
                                                    frequency_weights, buffers, k);
    if (status != VRW_SUCCESS)
        return status;
    status = vrw_fitted_kernel_run_init_fe(&it->prefix_runs[0], context, matrix, exposures,
                                           buffers, buffers->fitted);
    if (status != VRW_SUCCESS)
        return status;
    set_prefix_run(&it->prefix_runs[1], prefix, model, matrix, analytic_weights, buffers,
                   dependent, value);
    status = vrw_fixed_effects_step_run(context, it, buffers);
    if (status != VRW_SUCCESS)
        return status;
    return vrw_attach_fixed_effects(it, buffers, guesses, fixed_effects);
}

VRWIterationCtx_s *vrw_iteration_ctx_init_fe(VRWContext_s *context, const char *model,
                                             const VRWMatrixBuffer_s *matrix,
                                             const VRWVectorBuffer_s *frequency_weights,
                                             const VRWVectorBuffer_s *analytic_weights,
                                             const VRWVectorBuffer_s *exposures,
                                             VRWMleBuffers_s *buffers, const double *guesses,
                                             double *fixed_effects, int32_t dependent,
                                             int32_t *status, double value)
{
    VRWIterationCtx_s *it = calloc(1, sizeof *it);
    if (!it) {
        vrw_set_status(status, VRW_OUT_OF_HOST_MEMORY);
        return NULL;
    }
    VRWStatus err = build_fe_iteration(it, context, model, matrix, frequency_weights,
                                       analytic_weights, exposures, buffers, guesses,
                                       fixed_effects, dependent, value);
    vrw_set_status(status, err);
    if (err == VRW_SUCCESS)
        return it;
    vrw_iteration_ctx_fe_free(it);
    return NULL;
}

void vrw_iteration_ctx_fe_free(VRWIterationCtx_s *iteration)
{
    if (iteration && iteration->pre_prefix_callback_count > 0)
        vrw_fixed_effects_ctx_free(iteration->pre_prefix_callbacks[0].data);
    vrw_iteration_ctx_free(iteration);
}
