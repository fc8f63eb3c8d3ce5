/* The linear model with instruments by the generalised method of moments:
** the device gives the residuals, the instrument moments m and the cross
** products Q of regressors and instruments; the host steps the coefficients
** by (Q W Q')^-1 Q W m until m' W m stops falling. */
#include "varrow/vrw_fit_internal.h"
#include "varrow/vrw_kernel_names.h"

#include <cblas.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>

#define GMM_MAX_ITERATIONS VRW_ITERATION_LOG_MAX_ITERATIONS
#define GMM_CONVERGENCE 1e-6

/* The host arrays of the loop. */
typedef struct {
    double *step, *rhs, *moments, *weighted, *cross, *inverse_workspace, *scales;
    int *pivots;
    int inverse_length;
} GmmWorkspace;

static void free_gmm_workspace(GmmWorkspace *w)
{
    free(w->step);
    free(w->rhs);
    free(w->moments);
    free(w->weighted);
    free(w->cross);
    free(w->pivots);
    free(w->inverse_workspace);
    free(w->scales);
}

static bool make_gmm_workspace(GmmWorkspace *w, size_t k, size_t l)
{
    w->inverse_length = vrw_optimal_iwork_dim((int)k);
    if (w->inverse_length < 1)
        w->inverse_length = 1;
    w->step = malloc(k * sizeof(double) + 1);
    w->rhs = malloc(k * sizeof(double) + 1);
    w->moments = malloc(l * sizeof(double) + 1);
    w->weighted = malloc(l * sizeof(double) + 1);
    w->cross = malloc(k * l * sizeof(double) + 1);
    w->pivots = malloc(k * k * sizeof(int) + 1);
    w->inverse_workspace = malloc((size_t)w->inverse_length * sizeof(double));
    w->scales = malloc(k * sizeof(double) + 1);
    return w->step && w->rhs && w->moments && w->weighted && w->cross && w->pivots
           && w->inverse_workspace && w->scales;
}

/* Q from the device, Q W into host_cross_products and the inverse of
** Q W Q' into host_hessian. */
static VRWStatus normal_matrix(VRWContext_s *context, VRWIterationCtx_s *iteration,
                               VRWGmmBuffers_s *b, const double *weighting, GmmWorkspace *w)
{
    int k = (int)b->free_count, l = (int)b->instrument_count;
    VRWStatus status = vrw_run_kernels(context, iteration->hessian_runs,
                                       (int64_t)iteration->hessian_run_count);
    if (status == VRW_SUCCESS)
        status = vrw_read_fp_buffer(context, b->cross_products, (size_t)k * (size_t)l, w->cross);
    if (status != VRW_SUCCESS)
        return status;
    cblas_dsymm(CblasColMajor, CblasRight, CblasUpper, k, l, 1.0, weighting, l, w->cross, k, 0.0,
                b->host_cross_products, k);
    cblas_dgemm(CblasColMajor, CblasNoTrans, CblasTrans, k, k, l, 1.0, b->host_cross_products, k,
                w->cross, k, 0.0, b->host_hessian, k);
    int info = vrw_invert_equilibrated(b->host_hessian, k, w->scales, w->pivots,
                                       w->inverse_workspace, w->inverse_length);
    return info == 0 ? VRW_SUCCESS : VRW_HESSIAN_NOT_INVERTIBLE + info;
}

static VRWStatus gmm_loop(VRWContext_s *context, VRWIterationCtx_s *iteration, VRWGmmBuffers_s *b,
                          double *estimates, int reuse, const double *weighting,
                          VRWIterationLogWord *log, GmmWorkspace *w, int64_t *completed)
{
    int k = (int)b->free_count, l = (int)b->instrument_count;
    double previous = 0.0;
    for (;;) {
        int64_t started = log ? vrw_microseconds() : 0;
        VRWStatus status = vrw_write_fp_buffer(context, b->estimates, (size_t)k, estimates);
        if (status == VRW_SUCCESS)
            status = vrw_run_kernels(context, iteration->prefix_runs,
                                     (int64_t)iteration->prefix_run_count);
        if (status == VRW_SUCCESS && (*completed == 0 || !reuse))
            status = normal_matrix(context, iteration, b, weighting, w);
        if (status == VRW_SUCCESS)
            status = vrw_run_kernels(context, iteration->jacobian_runs,
                                     (int64_t)iteration->jacobian_run_count);
        if (status == VRW_SUCCESS)
            status = vrw_read_fp_buffer(context, b->moments, (size_t)l, w->moments);
        if (status != VRW_SUCCESS)
            return status;
        cblas_dgemv(CblasColMajor, CblasNoTrans, k, l, 1.0, b->host_cross_products, k,
                    w->moments, 1, 0.0, w->rhs, 1);
        cblas_dgemv(CblasColMajor, CblasNoTrans, k, k, 1.0, b->host_hessian, k, w->rhs, 1, 0.0,
                    w->step, 1);
        for (int i = 0; i < k; i++)
            estimates[i] -= w->step[i];
        double measure = cblas_ddot(k, w->rhs, 1, w->step, 1);
        double change = fabs(measure - previous);
        double relative = cblas_dnrm2(k, w->step, 1) / cblas_dnrm2(k, estimates, 1);
        int64_t i = *completed;
        if (log) {
            log[VRW_ITERATION_LOG_TIMES + i].count = vrw_microseconds() - started;
            log[VRW_ITERATION_LOG_CHANGES + i].value = change;
            log[VRW_ITERATION_LOG_STEPS + i].value = relative;
        }
        *completed = i + 1;
        if (!(*completed < GMM_MAX_ITERATIONS && change > GMM_CONVERGENCE
              && relative > GMM_CONVERGENCE))
            return VRW_SUCCESS;
        previous = measure;
    }
}

VRWStatus vrw_iterate_gmm(VRWContext_s *context, VRWIterationCtx_s *iteration,
                          VRWGmmBuffers_s *buffers, const double *guesses, double *estimates,
                          double *objective, int reuse, const double *weighting_matrix,
                          VRWIterationLogWord *log)
{
    size_t k = (size_t)buffers->free_count, l = (size_t)buffers->instrument_count;
    int64_t completed = 0;
    GmmWorkspace w = {0};
    VRWStatus status = make_gmm_workspace(&w, k, l) ? VRW_SUCCESS : VRW_OUT_OF_HOST_MEMORY;
    for (size_t i = 0; status == VRW_SUCCESS && i < k; i++)
        estimates[i] = guesses && !isnan(guesses[i]) ? guesses[i] : 0.0;
    if (status == VRW_SUCCESS)
        status = gmm_loop(context, iteration, buffers, estimates, reuse, weighting_matrix, log,
                          &w, &completed);
    if (status == VRW_SUCCESS && objective) {
        cblas_dsymv(CblasColMajor, CblasUpper, (int)l, 1.0, weighting_matrix, (int)l, w.moments,
                    1, 0.0, w.weighted, 1);
        *objective = cblas_ddot((int)l, w.moments, 1, w.weighted, 1);
    }
    free_gmm_workspace(&w);
    if (log)
        log[VRW_ITERATION_LOG_COUNT].count = completed;
    return status;
}

/* The GMM sandwich (Q W Q')^-1 Q W M W Q' (Q W Q')^-1 with M the L x L outer
** products on the device, scaled by factor. */
static VRWStatus gmm_sandwich(VRWContext_s *context, double *variance, VRWGmmBuffers_s *b,
                              double factor)
{
    int k = (int)b->free_count, l = (int)b->instrument_count;
    size_t kl = (size_t)k * (size_t)l;
    double *meat = malloc((size_t)l * (size_t)l * sizeof(double) + 1);
    double *bread = malloc(kl * sizeof(double) + 1);
    double *half = malloc(kl * sizeof(double) + 1);
    VRWStatus status = meat && bread && half ? VRW_SUCCESS : VRW_OUT_OF_HOST_MEMORY;
    if (status == VRW_SUCCESS)
        status = vrw_read_fp_buffer(context, b->opg, (size_t)l * (size_t)l, meat);
    if (status == VRW_SUCCESS) {
        if (factor != 1.0)
            for (size_t i = 0; i < (size_t)l * (size_t)l; i++)
                meat[i] *= factor;
        cblas_dsymm(CblasColMajor, CblasLeft, CblasUpper, k, l, 1.0, b->host_hessian, k,
                    b->host_cross_products, k, 0.0, bread, k);
        cblas_dgemm(CblasColMajor, CblasNoTrans, CblasNoTrans, k, l, l, 1.0, bread, k, meat, l,
                    0.0, half, k);
        cblas_dgemm(CblasColMajor, CblasNoTrans, CblasTrans, k, k, l, 1.0, half, k, bread, k, 0.0,
                    variance, k);
    }
    free(meat);
    free(bread);
    free(half);
    return status;
}

/* The outer products of the instruments' score sums of every panel (empty
** ones included) into opg. */
static VRWStatus cluster_products(VRWContext_s *context, const VRWMatrixBuffer_s *matrix,
                                  const VRWVectorBuffer_s *weights, VRWGmmBuffers_s *b)
{
    size_t l = (size_t)b->instrument_count, g = (size_t)matrix->panel_count;
    cl_kernel pass1 = vrw_kernel(context, VRWK_COMPUTE_OPG_CLUSTER_PASS1_GMM);
    cl_kernel pass2 = vrw_find_cluster_pass2_kernel(context, "linear");
    if (!pass1 || !pass2)
        return VRW_KERNEL_NOT_LOADED;
    int32_t status = VRW_SUCCESS;
    cl_mem sums = vrw_make_real_buffer(context, g * l, NULL, &status);
    if (status != VRW_SUCCESS)
        return status;
    VRWKernelRun_s runs[2] = {{0}};
    runs[0].kernel = pass1;
    vrw_set_kernel_dim1(&runs[0], l);
    vrw_set_gmm_cluster_pass1_kernel_args(&runs[0], matrix, weights, b, sums);
    runs[1].kernel = pass2;
    vrw_set_kernel_dim2(&runs[1], l, l);
    vrw_set_gmm_cluster_pass2_kernel_args(&runs[1], b, sums, (int32_t)g);
    status = vrw_run_kernels(context, runs, 2);
    if (status == VRW_SUCCESS)
        status = clFinish(context->queue);
    vrw_release_mem(sums);
    return status;
}

static VRWStatus robust_products(VRWContext_s *context, const char *model,
                                 const VRWMatrixBuffer_s *matrix,
                                 const VRWVectorBuffer_s *weights, VRWGmmBuffers_s *b)
{
    VRWKernelRun_s run = {0};
    run.kernel = vrw_find_robust_kernel(context, model);
    if (!run.kernel)
        return VRW_KERNEL_NOT_LOADED;
    size_t l = (size_t)b->instrument_count;
    vrw_set_kernel_dim2(&run, l, l);
    vrw_set_gmm_robust_kernel_args(&run, matrix, weights, b);
    return vrw_run_kernels(context, &run, 1);
}

double *vrw_estimate_asymptotic_variance_gmm(VRWContext_s *context, const char *model,
                                             const VRWMatrixBuffer_s *matrix,
                                             const VRWVectorBuffer_s *weights,
                                             VRWGmmBuffers_s *buffers, uint32_t options,
                                             double *residual_sum_of_squares,
                                             int64_t *observation_count, int32_t *status)
{
    size_t entries = (size_t)buffers->free_count * (size_t)buffers->free_count;
    double *variance = malloc(entries * sizeof(double) + 1);
    if (!variance) {
        vrw_set_status(status, VRW_OUT_OF_HOST_MEMORY);
        return NULL;
    }
    if (residual_sum_of_squares)
        *residual_sum_of_squares = NAN;
    int32_t err = VRW_SUCCESS;
    double n = vrw_compute_fweight_sum(context, weights, &err);
    if (err == VRW_SUCCESS && observation_count)
        *observation_count = (int64_t)n;
    if (err == VRW_SUCCESS && (options & VRW_OPTION_CLUSTER) && matrix->panel_count >= 1) {
        double g = (double)matrix->panel_count;
        double factor = options & VRW_OPTION_CLUSTER_SMALL_SAMPLE ? g / (g - 1.0) : 1.0;
        err = cluster_products(context, matrix, weights, buffers);
        if (err == VRW_SUCCESS)
            err = gmm_sandwich(context, variance, buffers, factor);
    } else if (err == VRW_SUCCESS && (options & VRW_OPTION_ROBUST)) {
        err = robust_products(context, model, matrix, weights, buffers);
        if (err == VRW_SUCCESS)
            err = gmm_sandwich(context, variance, buffers, 1.0);
    } else if (err == VRW_SUCCESS) {
        memcpy(variance, buffers->host_hessian, entries * sizeof(double));
        if (vrw_model_is(model, "linear") || vrw_model_is(model, "weighted_linear")) {
            double rss = vrw_compute_buffer_sum_of_squares(context, buffers->scores, weights,
                                                           &err);
            if (residual_sum_of_squares)
                *residual_sum_of_squares = rss;
            for (size_t i = 0; i < entries; i++)
                variance[i] *= rss;
        }
    }
    vrw_set_status(status, err);
    return variance;
}

/* Everything one fit makes, released on every path. */
typedef struct {
    VRWRegression_s *r;
    VRWContext_s *context;
    VRWGmmBuffers_s *buffers;
    VRWIterationCtx_s *iteration;
    double *own_weighting;
    double *variance;
    double *own_estimates;
} GmmFit;

static void release_gmm(GmmFit *f)
{
    vrw_free_gmm_buffers(f->buffers);
    vrw_iteration_ctx_free(f->iteration);
    free(f->own_weighting);
    free(f->variance);
    free(f->own_estimates);
}

static VRWStatus gmm_iteration(GmmFit *f)
{
    VRWRegression_s *r = f->r;
    const VRWMatrixBuffer_s *m = r->data;
    VRWGmmBuffers_s *b = f->buffers;
    cl_kernel prefix = vrw_find_prefix_kernel(f->context, "linear");
    cl_kernel moments = vrw_kernel(f->context, VRWK_COMPUTE_JACOBIAN);
    cl_kernel cross = vrw_kernel(f->context, VRWK_COMPUTE_HESSIAN_GMM_PREFIX);
    if (!prefix || !moments || !cross)
        return VRW_KERNEL_NOT_LOADED;
    VRWIterationCtx_s *it = calloc(1, sizeof *it);
    if (!it)
        return VRW_OUT_OF_HOST_MEMORY;
    f->iteration = it;
    it->prefix_runs = vrw_new_runs(2, &it->prefix_run_count);
    it->jacobian_runs = vrw_new_runs(1, &it->jacobian_run_count);
    it->hessian_runs = vrw_new_runs(1, &it->hessian_run_count);
    if (!it->prefix_runs || !it->jacobian_runs || !it->hessian_runs)
        return VRW_OUT_OF_HOST_MEMORY;
    VRWStatus status = vrw_fitted_kernel_run_init_gmm(&it->prefix_runs[0], f->context, m, b,
                                                      b->fitted);
    if (status != VRW_SUCCESS)
        return status;
    it->prefix_runs[1].kernel = prefix;
    vrw_set_kernel_dim1(&it->prefix_runs[1], vrw_padded_rows(m->blocks));
    vrw_set_gmm_prefix_kernel_args(&it->prefix_runs[1], m, b, r->dependent_column);
    it->jacobian_runs[0].kernel = moments;
    vrw_set_kernel_dim1(&it->jacobian_runs[0], (size_t)b->instrument_count);
    vrw_set_gmm_moment_kernel_args(&it->jacobian_runs[0], m, r->frequency_weights, b);
    it->hessian_runs[0].kernel = cross;
    vrw_set_kernel_dim2(&it->hessian_runs[0], (size_t)b->free_count,
                        (size_t)b->instrument_count);
    vrw_set_gmm_hessian_kernel_args(&it->hessian_runs[0], m, r->frequency_weights, b);
    vrw_set_kernel_arg_mem(&it->hessian_runs[0], b->instrument_columns);
    return VRW_SUCCESS;
}

/* Two-stage least squares: W is the inverse of the instruments' second
** moments. */
static VRWStatus instrument_weighting(GmmFit *f)
{
    VRWRegression_s *r = f->r;
    int l = (int)f->buffers->instrument_count;
    size_t entries = (size_t)l * (size_t)l;
    int length = vrw_optimal_iwork_dim(l);
    f->own_weighting = malloc(entries * sizeof(double) + 1);
    int *pivots = malloc(entries * sizeof(int) + 1);
    double *workspace = malloc((size_t)(length > 0 ? length : 1) * sizeof(double));
    double *scales = malloc((size_t)l * sizeof(double) + 1);
    VRWStatus status = f->own_weighting && pivots && workspace && scales
                           ? VRW_SUCCESS
                           : VRW_OUT_OF_HOST_MEMORY;
    cl_mem moments = NULL;
    if (status == VRW_SUCCESS)
        moments = vrw_make_real_buffer(f->context, entries, NULL, &status);
    VRWKernelRun_s run = {0};
    if (status == VRW_SUCCESS) {
        run.kernel = vrw_kernel(f->context, VRWK_COMPUTE_COVARIANCE);
        status = run.kernel ? VRW_SUCCESS : VRW_KERNEL_NOT_LOADED;
    }
    if (status == VRW_SUCCESS) {
        vrw_set_kernel_dim2(&run, (size_t)l, (size_t)l);
        vrw_set_gmm_covariance_kernel_args(&run, r->data, r->frequency_weights, f->buffers,
                                           moments);
        status = vrw_run_kernels(f->context, &run, 1);
    }
    if (status == VRW_SUCCESS)
        status = vrw_read_fp_buffer(f->context, moments, entries, f->own_weighting);
    if (status == VRW_SUCCESS) {
        int info = vrw_invert_equilibrated(f->own_weighting, l, scales, pivots, workspace,
                                           length);
        status = info == 0 ? VRW_SUCCESS : VRW_HESSIAN_NOT_INVERTIBLE + info;
    }
    vrw_release_mem(moments);
    free(pivots);
    free(workspace);
    free(scales);
    return status;
}

/* The outputs after the iteration, in order. */
static VRWStatus write_gmm_outputs(GmmFit *f, const double *estimates)
{
    VRWRegression_s *r = f->r;
    VRWStatus status = VRW_SUCCESS;
    if (r->out_residuals)
        status = vrw_read_data_buffer(f->context, r->data, f->buffers->scores, 0,
                                      r->out_residuals);
    if (status != VRW_SUCCESS)
        return status;
    int64_t observations = 0;
    int32_t err = VRW_SUCCESS;
    f->variance = vrw_estimate_asymptotic_variance_gmm(
        f->context, "linear", r->data, r->frequency_weights, f->buffers, r->options,
        r->out_residual_sum_of_squares, &observations, &err);
    if (!f->variance || err != VRW_SUCCESS)
        return err;
    double n = (double)observations, k = (double)f->buffers->free_count;
    if (r->out_objective_function)
        *r->out_objective_function /= n * n;
    double factor = r->options & VRW_OPTION_SMALL_SAMPLE ? n / (n - k) : 1.0;
    size_t count = (size_t)f->buffers->free_count;
    for (size_t i = 0; r->out_standard_errors && i < count; i++)
        r->out_standard_errors[i] = sqrt(f->variance[i * count + i] * factor);
    if (r->data->panel_means && r->out_fixed_effects)
        status = vrw_compute_fixed_effects(f->context, r->data, r->dependent_column, f->buffers,
                                           r->out_fixed_effects);
    if (status != VRW_SUCCESS)
        return status;
    status = vrw_write_wald_tests(r, f->variance, (int64_t)count, estimates, NULL);
    if (r->out_observation_count)
        *r->out_observation_count = observations;
    return status;
}

VRWStatus vrw_instrument_linear(VRWRegression_s *r, VRWIterationLogWord *log)
{
    GmmFit f = {.r = r, .context = r->context};
    int64_t k = r->independent_column_count;
    double *estimates = r->out_coefficients;
    if (!estimates)
        estimates = f.own_estimates = malloc((size_t)k * sizeof(double) + 1);
    int32_t status = estimates ? VRW_SUCCESS : VRW_OUT_OF_HOST_MEMORY;
    /* Fewer instruments than regressors: Q W Q' has rank L at most, though
    ** rounding may let its factorisation pass and give a NaN variance.
    ** LAPACK would find pivot L + 1 zero. */
    int64_t l = r->instrument_column_count > 0 ? r->instrument_column_count : 0;
    if (status == VRW_SUCCESS && l < k)
        status = VRW_HESSIAN_NOT_INVERTIBLE + (int32_t)l + 1;
    if (status == VRW_SUCCESS)
        f.buffers = vrw_create_gmm_buffers(f.context, r->independent_columns, k,
                                           r->instrument_columns, r->instrument_column_count, k,
                                           r->data->blocks, &status);
    if (status == VRW_SUCCESS)
        status = gmm_iteration(&f);
    if (status == VRW_SUCCESS && !r->weighting_matrix)
        status = instrument_weighting(&f);
    const double *weighting = r->weighting_matrix ? r->weighting_matrix : f.own_weighting;
    if (status == VRW_SUCCESS)
        status = vrw_iterate_gmm(f.context, f.iteration, f.buffers, r->coefficient_guesses,
                                 estimates, r->out_objective_function, 1, weighting, log);
    if (status == VRW_SUCCESS)
        status = write_gmm_outputs(&f, estimates);
    release_gmm(&f);
    return status;
}
