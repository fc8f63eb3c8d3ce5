/* The negative binomial count model (variance mu + mu^2 / theta): theta is
** one more coefficient after the regressors, stepped with them in the
** Newton loop and reported as its reciprocal. Two loops: the first on a
** shaped Hessian (a bounded step on log theta, theta's cross entries at
** their expectation 0; the kernels say why), which gets near the maximum
** from a poor start but only linearly, then Newton's on the observed one,
** which finishes there. */
#include "varrow/vrw_fit_internal.h"
#include "varrow/vrw_kernel_names.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

/* Everything one fit makes, released on every path. */
typedef struct {
    VRWRegression_s *r;
    VRWContext_s *context;
    int64_t k;                     /* regressors; theta is coefficient k */
    int64_t panels;
    VRWFitScratch_s s;
    VRWStartValues start;
    VRWNegbin2Buffers_s *negbin2;
} Negbin2Fit;

static void release_negbin2(Negbin2Fit *f)
{
    vrw_release_fit_scratch(&f->s);
    vrw_free_start_values(&f->start);
    vrw_free_negbin2_buffers(f->negbin2);
}

/* Constraints and guesses of the k + 1 coefficients: theta always free,
** starting at 1; the constant at its log mean unless guesses are given. */
static VRWStatus coefficient_starts(Negbin2Fit *f)
{
    VRWRegression_s *r = f->r;
    size_t n = (size_t)f->k + 1;
    f->s.constraints = malloc(n * sizeof(double));
    f->s.guesses = malloc(n * sizeof(double));
    f->s.estimates = malloc(n * sizeof(double));
    f->s.sets = malloc(n * sizeof(int64_t));
    if (!f->s.constraints || !f->s.guesses || !f->s.estimates || !f->s.sets)
        return VRW_OUT_OF_HOST_MEMORY;
    VRWRegression_s copy = *r;
    VRWStatus status = vrw_make_start_values(&copy, "negbin2", r->exposures, &f->start);
    if (status != VRW_SUCCESS)
        return status;
    for (int64_t j = 0; j < f->k; j++) {
        f->s.constraints[j] = r->constraints ? r->constraints[j] : NAN;
        f->s.guesses[j] = copy.coefficient_guesses ? copy.coefficient_guesses[j] : NAN;
    }
    f->s.constraints[f->k] = NAN;
    f->s.guesses[f->k] = 1.0;
    return VRW_SUCCESS;
}

static const VRWVectorBuffer_s *frequency(const Negbin2Fit *f)
{
    return f->r->frequency_weights;
}

/* The regressors' gradient and theta's entry; with fixed effects the
** effects' part taken out. */
static VRWStatus jacobian_runs(Negbin2Fit *f, cl_kernel jacobian, cl_kernel nuisance)
{
    VRWIterationCtx_s *it = f->s.iteration;
    const VRWMatrixBuffer_s *m = f->r->data;
    VRWMleBuffers_s *b = f->s.buffers;
    size_t n = (size_t)b->free_count;
    it->jacobian_runs = vrw_new_runs(f->panels > 0 ? 3 : 2, &it->jacobian_run_count);
    if (!it->jacobian_runs)
        return VRW_OUT_OF_HOST_MEMORY;
    VRWKernelRun_s *run = it->jacobian_runs;
    run[0].kernel = jacobian;
    vrw_set_kernel_dim1(&run[0], n - 1);
    vrw_set_mle_jacobian_kernel_args(&run[0], m, frequency(f), b);
    run[1].kernel = nuisance;
    vrw_set_kernel_dim1(&run[1], 1);
    vrw_set_mle_negative_binomial_jacobian_nuisance_kernel_args(&run[1], m, frequency(f), b,
                                                                f->negbin2, (int32_t)n - 1);
    return f->panels > 0 ? vrw_fixed_effects_delta_run(f->context, &run[2], b, 0) : VRW_SUCCESS;
}

static VRWStatus hessian_runs(Negbin2Fit *f, cl_kernel hessian, cl_kernel cross,
                              cl_kernel nuisance)
{
    VRWIterationCtx_s *it = f->s.iteration;
    const VRWMatrixBuffer_s *m = f->r->data;
    VRWMleBuffers_s *b = f->s.buffers;
    size_t n = (size_t)b->free_count;
    int32_t last = (int32_t)n - 1;
    it->hessian_runs = vrw_new_runs(f->panels > 0 ? 4 : 3, &it->hessian_run_count);
    if (!it->hessian_runs)
        return VRW_OUT_OF_HOST_MEMORY;
    VRWKernelRun_s *run = it->hessian_runs;
    run[0].kernel = hessian;
    vrw_set_kernel_dim2(&run[0], n - 1, n - 1);
    vrw_set_mle_hessian_kernel_args(&run[0], m, frequency(f), b);
    run[1].kernel = cross;
    vrw_set_kernel_dim1(&run[1], n - 1);
    vrw_set_mle_negative_binomial_hessian_cross_kernel_args(&run[1], m, frequency(f), b,
                                                            f->negbin2, last);
    run[2].kernel = nuisance;
    vrw_set_kernel_dim1(&run[2], 1);
    vrw_set_mle_negative_binomial_hessian_nuisance_kernel_args(&run[2], m, frequency(f), b,
                                                               f->negbin2, last, 1);
    return f->panels > 0 ? vrw_fixed_effects_delta_run(f->context, &run[3], b, 1) : VRW_SUCCESS;
}

/* The fitted values and the row kernel; with fixed effects then the
** per-panel sums and means of the regressors and of theta. */
static VRWStatus prefix_runs(Negbin2Fit *f, cl_kernel prefix)
{
    VRWIterationCtx_s *it = f->s.iteration;
    const VRWMatrixBuffer_s *m = f->r->data;
    VRWMleBuffers_s *b = f->s.buffers;
    it->prefix_runs = vrw_new_runs(f->panels > 0 ? 6 : 2, &it->prefix_run_count);
    if (!it->prefix_runs)
        return VRW_OUT_OF_HOST_MEMORY;
    VRWKernelRun_s *run = it->prefix_runs;
    VRWStatus status = f->panels > 0 ? vrw_fitted_kernel_run_init_fe(&run[0], f->context, m,
                                                                     f->r->exposures, b, b->fitted)
                                     : vrw_fitted_kernel_run_init(&run[0], f->context, m,
                                                                  f->r->exposures, b, b->fitted);
    if (status != VRW_SUCCESS)
        return status;
    run[1].kernel = prefix;
    vrw_set_kernel_dim1(&run[1], (size_t)m->blocks);
    vrw_set_mle_negative_binomial_prefix_kernel_args(&run[1], m, f->r->dependent_column, b,
                                                     f->negbin2);
    if (f->panels == 0)
        return VRW_SUCCESS;
    vrw_set_kernel_arg_mem(&run[1], m->quad_panels);
    vrw_set_kernel_arg_mem(&run[1], m->panel_sizes);
    vrw_set_kernel_arg_mem(&run[1], m->panel_quad_counts);
    vrw_set_kernel_arg_mem(&run[1], m->panel_quad_starts);
    size_t n = (size_t)b->free_count;
    status = vrw_fixed_effects_panel_runs(f->context, run + 2, m, frequency(f), b, n - 1);
    if (status != VRW_SUCCESS)
        return status;
    run[5].kernel = vrw_kernel(f->context,
                               VRWK_COMPUTE_FIXED_EFFECTS_NUISANCE_CROSS_HESSIAN_NEGBIN2);
    vrw_set_kernel_dim1(&run[5], (size_t)b->cluster_count);
    vrw_set_mle_fe_negative_binomial_hessian_cross_kernel_args(&run[5], m, frequency(f), b,
                                                               f->negbin2, (int32_t)n - 1);
    return run[5].kernel ? VRW_SUCCESS : VRW_KERNEL_NOT_LOADED;
}

static VRWStatus negbin2_iteration(Negbin2Fit *f)
{
    f->s.iteration = calloc(1, sizeof *f->s.iteration);
    if (!f->s.iteration)
        return VRW_OUT_OF_HOST_MEMORY;
    VRWContext_s *c = f->context;
    cl_kernel prefix = f->panels > 0 ? vrw_find_prefix_fe_kernel(c, "negbin2")
                                     : vrw_find_prefix_kernel(c, "negbin2");
    cl_kernel jacobian = vrw_find_jacobian_kernel(c, "negbin2");
    cl_kernel nuisance_jacobian = vrw_kernel(c, VRWK_COMPUTE_NUISANCE_JACOBIAN_NEGBIN2);
    cl_kernel hessian = vrw_kernel(c, VRWK_COMPUTE_HESSIAN);
    cl_kernel nuisance_hessian = vrw_kernel(c, VRWK_COMPUTE_NUISANCE_HESSIAN_NEGBIN2);
    cl_kernel cross = vrw_kernel(c, VRWK_COMPUTE_CROSS_HESSIAN_NEGBIN2);
    if (!prefix || !jacobian || !nuisance_jacobian || !hessian || !nuisance_hessian || !cross) {
        if (f->panels == 0)
            vrw_log_note("Missing kernel! Prefix: %p Jacobians: (%p, %p) Hessians: (%p, %p, %p)\n",
                         (void *)prefix, (void *)jacobian, (void *)nuisance_jacobian,
                         (void *)hessian, (void *)nuisance_hessian, (void *)cross);
        return VRW_KERNEL_NOT_LOADED;
    }
    VRWStatus status = prefix_runs(f, prefix);
    if (status == VRW_SUCCESS)
        status = jacobian_runs(f, jacobian, nuisance_jacobian);
    if (status == VRW_SUCCESS)
        status = hessian_runs(f, hessian, cross, nuisance_hessian);
    if (status != VRW_SUCCESS || f->panels == 0)
        return status;
    const double *guesses = f->start.fixed_effects ? f->start.fixed_effects
                                                   : f->r->fixed_effect_guesses;
    return vrw_fixed_effects_for_fit(c, f->s.iteration, f->s.buffers, f->r->out_fixed_effects,
                                     guesses, &f->s.own_fixed_effects);
}

/* Whether the Hessian runs shape theta's steps (1) or take the observed
** Hessian (0). */
static void shape_theta_curvature(Negbin2Fit *f, int32_t shaped)
{
    VRWKernelRun_s *run = &f->s.iteration->hessian_runs[2];
    vrw_reset_kernel_args(run);
    vrw_set_mle_negative_binomial_hessian_nuisance_kernel_args(
        run, f->r->data, frequency(f), f->s.buffers, f->negbin2,
        (int32_t)f->s.buffers->free_count - 1, shaped);
}

/* The shaped loop's iterations, then the observed loop's, in one log;
** the count is capped at the maximum, which reads as not converged. */
static void append_log(VRWIterationLogWord *log, const VRWIterationLogWord *more)
{
    int64_t first = log[VRW_ITERATION_LOG_COUNT].count;
    int64_t total = first + more[VRW_ITERATION_LOG_COUNT].count;
    for (int64_t i = first; i < total && i < VRW_ITERATION_LOG_MAX_ITERATIONS; i++)
        for (int64_t word = 0; word < VRW_ITERATION_LOG_COUNT; word += VRW_ITERATION_LOG_MAX_ITERATIONS)
            log[word + i] = more[word + i - first];
    log[VRW_ITERATION_LOG_COUNT].count = total < VRW_ITERATION_LOG_MAX_ITERATIONS
                                             ? total
                                             : VRW_ITERATION_LOG_MAX_ITERATIONS;
}

/* Newton's steps on the observed Hessian from the shaped loop's end (not
** after a shaped loop that used every iteration). Where they fail, that
** end stands: the estimates and the row buffers are put back. */
static VRWStatus finish_on_observed_hessian(Negbin2Fit *f, VRWIterationLogWord *log)
{
    if (log && log[VRW_ITERATION_LOG_COUNT].count >= VRW_ITERATION_LOG_MAX_ITERATIONS)
        return VRW_SUCCESS;
    size_t n = (size_t)f->k + 1;
    double *start = malloc(n * sizeof(double));
    if (!start)
        return VRW_OUT_OF_HOST_MEMORY;
    memcpy(start, f->s.estimates, n * sizeof(double));
    shape_theta_curvature(f, 0);
    VRWIterationLog more = {0};
    VRWStatus status = vrw_iterate_mle(f->context, f->s.iteration, f->s.buffers, start,
                                       f->s.estimates, 0, NULL, log ? more : NULL);
    if (status == VRW_SUCCESS && log)
        append_log(log, more);
    if (status != VRW_SUCCESS && status != VRW_OUT_OF_HOST_MEMORY) {
        memcpy(f->s.estimates, start, n * sizeof(double));
        status = vrw_upload_estimates_and_run_prefix_kernels(f->context, f->s.iteration,
                                                             f->s.buffers, start);
    }
    free(start);
    return status;
}

/* The variance glm.nb reports: the expected information of the
** coefficients and theta's observed second derivative (not the iteration's
** shaped curvature), at the estimates. */
static VRWStatus final_information(Negbin2Fit *f)
{
    VRWKernelRun_s information = {0};
    information.kernel = vrw_kernel(f->context, VRWK_INFORMATION_NEGBIN2);
    if (!information.kernel)
        return VRW_KERNEL_NOT_LOADED;
    const VRWMatrixBuffer_s *m = f->r->data;
    shape_theta_curvature(f, 0);
    vrw_set_kernel_dim1(&information, (size_t)m->blocks);
    vrw_set_mle_negative_binomial_prefix_kernel_args(&information, m, f->r->dependent_column,
                                                     f->s.buffers, f->negbin2);
    VRWIterationCtx_s *it = f->s.iteration;
    int64_t refresh = f->panels > 0 ? (int64_t)it->prefix_run_count - 2 : 0;
    return vrw_final_hessian(f->context, it, f->s.buffers, &information, it->prefix_runs + 2,
                             refresh);
}

/* The outer products of the regressors, theta's cross products and theta's
** own, per row (robust; with fixed effects each row's scores less the
** effects' part, as the coefficients' rows of the full sandwich see them)
** and per cluster (where the effects' scores sum to 0 in each panel). */
static VRWStatus negbin2_inference(Negbin2Fit *f)
{
    VRWContext_s *c = f->context;
    const VRWMatrixBuffer_s *m = f->r->data;
    VRWMleBuffers_s *b = f->s.buffers;
    bool panels = f->panels > 0;
    cl_kernel kernels[6] = {
        panels ? vrw_kernel(c, VRWK_COMPUTE_FIXED_EFFECTS_OPG_ROBUST)
               : vrw_find_robust_kernel(c, ""),
        vrw_kernel(c, panels ? VRWK_COMPUTE_FIXED_EFFECTS_CROSS_OPG_ROBUST_NEGBIN2
                                  : VRWK_COMPUTE_CROSS_OPG_ROBUST_NEGBIN2),
        vrw_kernel(c, panels ? VRWK_COMPUTE_FIXED_EFFECTS_NUISANCE_OPG_ROBUST_NEGBIN2
                                  : VRWK_COMPUTE_NUISANCE_OPG_ROBUST_NEGBIN2),
        vrw_find_cluster_pass1_kernel(c, ""),
        vrw_kernel(c, VRWK_COMPUTE_NUISANCE_OPG_CLUSTER_PASS1_NEGBIN2),
        vrw_find_cluster_pass2_kernel(c, ""),
    };
    for (int i = 0; i < 6; i++)
        if (!kernels[i])
            return VRW_KERNEL_NOT_LOADED;
    VRWInferenceCtx_s *inference = f->s.inference = vrw_inference_ctx_make(3, 3, m, frequency(f),
                                                                         b);
    if (!inference)
        return VRW_OUT_OF_HOST_MEMORY;
    size_t n = (size_t)b->free_count, g = (size_t)b->cluster_count;
    int32_t last = (int32_t)n - 1;
    VRWKernelRun_s *robust = inference->robust_runs, *cluster = inference->cluster_runs;
    robust[0].kernel = kernels[0];
    vrw_set_kernel_dim2(&robust[0], n - 1, n - 1);
    if (panels)
        vrw_set_mle_fe_robust_kernel_args(&robust[0], m, frequency(f), b);
    else
        vrw_set_mle_robust_kernel_args(&robust[0], m, frequency(f), b);
    for (int i = 1; i < 3; i++) {
        robust[i].kernel = kernels[i];
        vrw_set_kernel_dim1(&robust[i], i == 1 ? n - 1 : 1);
        if (panels)
            vrw_set_mle_fe_negative_binomial_robust_kernel_args(&robust[i], m, frequency(f), b,
                                                                f->negbin2, last);
        else
            vrw_set_mle_negative_binomial_robust_kernel_args(&robust[i], m, frequency(f), b,
                                                             f->negbin2, last);
    }
    cluster[0].kernel = kernels[3];
    vrw_set_kernel_dim2(&cluster[0], n - 1, g);
    vrw_set_mle_cluster_pass1_kernel_args(&cluster[0], m, frequency(f), b);
    cluster[1].kernel = kernels[4];
    vrw_set_kernel_dim1(&cluster[1], g);
    vrw_set_mle_cluster_pass1_kernel_args(&cluster[1], m, frequency(f), b);
    vrw_set_kernel_arg_mem(&cluster[1], f->negbin2->nuisance_scores);
    vrw_set_kernel_arg_int(&cluster[1], last);
    cluster[2].kernel = kernels[5];
    vrw_set_kernel_dim2(&cluster[2], n, n);
    vrw_set_mle_cluster_pass2_kernel_args(&cluster[2], b);
    return VRW_SUCCESS;
}

/* The outputs after the iteration, in order; a failure leaves the earlier
** ones written. */
static VRWStatus write_negbin2_outputs(Negbin2Fit *f)
{
    VRWRegression_s *r = f->r;
    VRWMleBuffers_s *b = f->s.buffers;
    VRWStatus status = VRW_SUCCESS;
    if (r->out_predicted_values)
        status = vrw_compute_predicted(f->context, "negbin2", r->data, r->exposures, b, 0,
                                       f->panels > 0, r->out_predicted_values);
    if (status == VRW_SUCCESS && r->out_residuals)
        status = vrw_read_data_buffer(f->context, r->data, b->scores, 0, r->out_residuals);
    if (status == VRW_SUCCESS)
        status = negbin2_inference(f);
    if (status != VRW_SUCCESS)
        return status;
    int64_t observations = 0;
    int32_t err = VRW_SUCCESS;
    f->s.variance = vrw_estimate_asymptotic_variance_mle(f->context, "negbin2", f->s.inference,
                                                       r->dependent_column, r->options, NULL,
                                                       NULL, &observations, &err);
    if (!f->s.variance || err != VRW_SUCCESS)
        return err;
    int64_t n = b->free_count, k = f->k;
    if (r->out_observation_count)
        *r->out_observation_count = observations;
    if (r->out_free_parameter_count)
        *r->out_free_parameter_count = vrw_free_parameter_count(b);
    if (r->out_standard_errors)
        vrw_write_standard_errors(r->out_standard_errors, f->s.constraints, k, f->s.variance, n);
    if (r->out_variance_matrix)
        expand_constrained_matrix(r->out_variance_matrix, f->s.constraints, k + 1, f->s.variance, n);
    double theta = f->s.estimates[k];
    if (r->out_nuisance_coefficients)
        *r->out_nuisance_coefficients = 1.0 / theta;
    if (r->out_nuisance_standard_errors)
        *r->out_nuisance_standard_errors = sqrt(f->s.variance[(n - 1) * n + n - 1]) / theta / theta;
    err = vrw_write_wald_tests(r, f->s.variance, n, f->s.estimates, r->constraints);
    if (err != VRW_SUCCESS || !r->out_log_likelihood)
        return err;
    double value = vrw_compute_log_likelihood(f->context, f->s.log_likelihood, b, NULL, 0, &err);
    if (err == VRW_SUCCESS)
        *r->out_log_likelihood = value;
    return err;
}

VRWStatus vrw_fit_negative_binomial(VRWRegression_s *r, VRWIterationLogWord *log)
{
    Negbin2Fit f = {.r = r, .context = r->context, .k = r->independent_column_count};
    f.panels = vrw_fixed_effects_asked(r) && r->data->panel_count > 0 ? r->data->panel_count : 0;
    int32_t status = coefficient_starts(&f);
    if (status == VRW_SUCCESS)
        f.s.buffers = vrw_create_mle_buffers(
            f.context, r->independent_columns, f.k, f.s.constraints, f.k + 1,
            r->fixed_effect_constraints, f.panels, r->nonempty_panels, r->nonempty_panel_count,
            (r->options & VRW_OPTION_CLUSTER) != 0, 0, NULL, 0, r->data->blocks, &status);
    if (status == VRW_SUCCESS)
        f.negbin2 = vrw_create_negbin2_buffers(f.context, r->data->blocks, &status);
    if (status == VRW_SUCCESS)
        status = negbin2_iteration(&f);
    if (status == VRW_SUCCESS)
        f.s.log_likelihood = vrw_log_likelihood_ctx_init(f.context, "negbin2", r->data,
                                                       r->frequency_weights, f.s.buffers,
                                                       r->dependent_column, &status, NAN);
    if (status == VRW_SUCCESS) {
        status = vrw_iterate_mle(f.context, f.s.iteration, f.s.buffers, f.s.guesses, f.s.estimates, 0,
                                 f.s.sets, log);
        if (status == VRW_SUCCESS)
            status = finish_on_observed_hessian(&f, log);
        /* Whatever the iteration reached, and which regressors were
        ** collinear. */
        for (int64_t j = 0; j < f.k; j++) {
            if (r->out_coefficients)
                r->out_coefficients[j] = f.s.estimates[j];
            if (r->out_multicollinear_sets)
                r->out_multicollinear_sets[j] = f.s.sets[j];
        }
    }
    if (status == VRW_SUCCESS)
        status = final_information(&f);
    if (status == VRW_SUCCESS)
        status = write_negbin2_outputs(&f);
    release_negbin2(&f);
    return status;
}
