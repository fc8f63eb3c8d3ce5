/* The Newton-Raphson loop shared by every maximum-likelihood fit: the device
** gives the gradient and Hessian over the free coefficients, the host tests,
** inverts and steps. */
#include "varrow/vrw_fit_internal.h"

#include <cblas.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>

#define MAX_ITERATIONS VRW_ITERATION_LOG_MAX_ITERATIONS
/* On the equilibrated Hessian, whose diagonal is near 1: a regressor of mean
** 1e4 and sd 10 beside the constant has an eigenvalue near 5e-7 there, one
** row of analytic weight 1e12 among rows of weight 1 leaves some 4e-12, and
** both fit as well as R's QR fits them (it calls a column collinear when
** less than 1e-7 of its norm is left beside the others, a share of 1e-14 of
** its square), while exactly collinear regressors leave rounding (some
** 1e-16). */
#define EIGENVALUE_THRESHOLD 1e-14
#define EIGENVECTOR_THRESHOLD 1e-6
#define CONVERGENCE_THRESHOLD 1e-6

void vrw_iteration_ctx_free(VRWIterationCtx_s *iteration)
{
    if (!iteration)
        return;
    free(iteration->initial_runs);
    free(iteration->pre_prefix_callbacks);
    free(iteration->prefix_runs);
    free(iteration->post_prefix_callbacks);
    free(iteration->jacobian_runs);
    free(iteration->hessian_runs);
    free(iteration->step_runs);
    free(iteration->post_step_callbacks);
    free(iteration->final_runs);
    free(iteration);
}

static VRWStatus run_callbacks(VRWContext_s *context, VRWMleBuffers_s *buffers,
                               const VRWIterationCallback_s *callbacks, unsigned long count)
{
    for (unsigned long i = 0; i < count; i++) {
        VRWStatus status = callbacks[i].callback(context, buffers, callbacks[i].data);
        if (status != VRW_SUCCESS)
            return status;
    }
    return VRW_SUCCESS;
}

VRWStatus vrw_upload_estimates_and_run_prefix_kernels(VRWContext_s *context,
                                                      VRWIterationCtx_s *iteration,
                                                      VRWMleBuffers_s *buffers,
                                                      const double *estimates)
{
    VRWStatus status = vrw_write_fp_buffer(context, buffers->estimates,
                                           (size_t)buffers->coefficient_count, estimates);
    if (status == VRW_SUCCESS)
        status = run_callbacks(context, buffers, iteration->pre_prefix_callbacks,
                               iteration->pre_prefix_callback_count);
    if (status == VRW_SUCCESS)
        status = vrw_run_kernels(context, iteration->prefix_runs,
                                 (int64_t)iteration->prefix_run_count);
    if (status == VRW_SUCCESS)
        status = run_callbacks(context, buffers, iteration->post_prefix_callbacks,
                               iteration->post_prefix_callback_count);
    return status;
}

/* The host arrays of the loop, made once a call. */
typedef struct {
    int k;
    double *gradient, *step, *inverse_workspace, *eigenvalues, *eigenvectors, *scales;
    int *pivots;
    int inverse_length;
} Workspace;

static void free_workspace(Workspace *w)
{
    free(w->gradient);
    free(w->step);
    free(w->inverse_workspace);
    free(w->eigenvalues);
    free(w->eigenvectors);
    free(w->scales);
    free(w->pivots);
}

static bool make_workspace(Workspace *w, int k)
{
    size_t n = (size_t)k;
    w->k = k;
    w->inverse_length = vrw_optimal_iwork_dim(k);
    if (w->inverse_length < 1)
        w->inverse_length = 1;
    w->gradient = malloc(n * sizeof(double));
    w->step = malloc(n * sizeof(double));
    w->pivots = malloc(n * sizeof(int));
    w->inverse_workspace = malloc((size_t)w->inverse_length * sizeof(double));
    w->eigenvalues = malloc(n * sizeof(double));
    w->eigenvectors = malloc(n * n * sizeof(double));
    w->scales = malloc(n * sizeof(double));
    return w->gradient && w->step && w->pivots && w->inverse_workspace && w->eigenvalues
           && w->eigenvectors && w->scales;
}

static bool is_free(const VRWMleBuffers_s *buffers, int64_t i)
{
    return !buffers->constraints || isnan(buffers->constraints[i]);
}

static void start_values(const VRWMleBuffers_s *buffers, const double *guesses, double *estimates)
{
    for (int64_t i = 0; i < buffers->coefficient_count; i++) {
        if (!is_free(buffers, i))
            estimates[i] = buffers->constraints[i];
        else if (guesses && !isnan(guesses[i]))
            estimates[i] = guesses[i];
        else
            estimates[i] = 0.0;
    }
}

/* The members of the set of near-zero eigenvalue number `set`: the free
** coefficients with a noticeable part in its eigenvector. */
static void mark_set(const VRWMleBuffers_s *buffers, const double *eigenvector, int64_t set,
                     int64_t *sets)
{
    int64_t f = 0;
    for (int64_t i = 0; i < buffers->coefficient_count; i++) {
        if (!is_free(buffers, i)) {
            sets[i] = 0;
            continue;
        }
        sets[i] = fabs(eigenvector[f++]) > EIGENVECTOR_THRESHOLD ? set : 0;
    }
}

/* A maximum has a negative definite Hessian: a positive eigenvalue of the
** equilibrated Hessian means the estimates are not near one (3000); one near
** zero means regressors that are (nearly) linearly dependent (4000, after
** naming the members of the last such set). */
static VRWStatus eigen_test(const VRWMleBuffers_s *buffers, Workspace *w, int64_t *sets)
{
    int info = vrw_matrix_eigenvectors(buffers->host_hessian, w->k, w->eigenvalues,
                                       w->eigenvectors);
    if (info == VRW_OUT_OF_HOST_MEMORY)
        return info;
    if (info != 0)
        return VRW_HESSIAN_NOT_NEGATIVE + info;
    int64_t near_zero = 0;
    for (int j = 0; j < w->k; j++) {
        double value = w->eigenvalues[j];
        if (fabs(value) < EIGENVALUE_THRESHOLD) {
            near_zero++;
            if (sets)
                mark_set(buffers, w->eigenvectors + (size_t)j * (size_t)w->k, near_zero, sets);
        } else if (value > 0.0) {
            return VRW_HESSIAN_NOT_NEGATIVE;
        }
    }
    return near_zero > 0 ? VRW_MULTICOLLINEAR : VRW_SUCCESS;
}

/* Evaluates the Hessian on the device into host_hessian, tests and inverts
** it equilibrated (the unscaled one of a regressor x 1e6 has eigenvalues
** beyond the reach of double precision) and leaves the inverse of the
** unscaled one in place. */
static VRWStatus evaluate_hessian(VRWContext_s *context, VRWIterationCtx_s *iteration,
                                  VRWMleBuffers_s *buffers, Workspace *w, int64_t *sets)
{
    size_t entries = (size_t)w->k * (size_t)w->k;
    memset(buffers->host_hessian, 0, entries * sizeof(double));
    VRWStatus status = vrw_write_fp_buffer(context, buffers->hessian, entries,
                                           buffers->host_hessian);
    if (status == VRW_SUCCESS)
        status = vrw_run_kernels(context, iteration->hessian_runs,
                                 (int64_t)iteration->hessian_run_count);
    if (status == VRW_SUCCESS)
        status = vrw_read_fp_buffer(context, buffers->hessian, entries, buffers->host_hessian);
    if (status == VRW_SUCCESS) {
        vrw_equilibrate(buffers->host_hessian, w->k, w->scales);
        status = eigen_test(buffers, w, sets);
    }
    if (status != VRW_SUCCESS)
        return status;
    int info = vrw_invert_matrix(buffers->host_hessian, w->k, w->pivots, w->inverse_workspace,
                                 w->inverse_length);
    if (info != 0)
        return VRW_HESSIAN_NOT_INVERTIBLE + info;
    vrw_rescale(buffers->host_hessian, w->k, w->scales);
    return VRW_SUCCESS;
}

VRWStatus vrw_final_hessian(VRWContext_s *context, VRWIterationCtx_s *iteration,
                            VRWMleBuffers_s *buffers, VRWKernelRun_s *information,
                            VRWKernelRun_s *refresh, int64_t refresh_count)
{
    int k = (int)buffers->free_count;
    if (k == 0)
        return VRW_SUCCESS;
    size_t entries = (size_t)k * (size_t)k;
    double *hessian = buffers->host_hessian;
    memset(hessian, 0, entries * sizeof(double));
    VRWStatus status = VRW_SUCCESS;
    if (information && information->kernel)
        status = vrw_run_kernels(context, information, 1);
    if (status == VRW_SUCCESS && refresh_count > 0)
        status = vrw_run_kernels(context, refresh, refresh_count);
    if (status == VRW_SUCCESS)
        status = vrw_write_fp_buffer(context, buffers->hessian, entries, hessian);
    if (status == VRW_SUCCESS)
        status = vrw_run_kernels(context, iteration->hessian_runs,
                                 (int64_t)iteration->hessian_run_count);
    if (status == VRW_SUCCESS)
        status = vrw_read_fp_buffer(context, buffers->hessian, entries, hessian);
    if (status != VRW_SUCCESS)
        return status;
    Workspace w = {0};
    int info = make_workspace(&w, k) ? vrw_invert_equilibrated(hessian, k, w.scales, w.pivots,
                                                                w.inverse_workspace,
                                                                w.inverse_length)
                                     : VRW_OUT_OF_HOST_MEMORY;
    free_workspace(&w);
    if (info == VRW_OUT_OF_HOST_MEMORY)
        return info;
    return info == 0 ? VRW_SUCCESS : VRW_HESSIAN_NOT_INVERTIBLE + info;
}

/* The step s = H^-1 g goes to the device for the step runs and callbacks,
** then every free coefficient moves by -s. Returns the sum of squares of the
** new free coefficients. */
static VRWStatus take_step(VRWContext_s *context, VRWIterationCtx_s *iteration,
                           VRWMleBuffers_s *buffers, Workspace *w, double *estimates,
                           double *free_squares)
{
    cblas_dgemv(CblasColMajor, CblasNoTrans, w->k, w->k, 1.0, buffers->host_hessian, w->k,
                w->gradient, 1, 0.0, w->step, 1);
    VRWStatus status = vrw_write_fp_buffer(context, buffers->step, (size_t)w->k, w->step);
    if (status == VRW_SUCCESS)
        status = vrw_run_kernels(context, iteration->step_runs,
                                 (int64_t)iteration->step_run_count);
    if (status == VRW_SUCCESS)
        status = run_callbacks(context, buffers, iteration->post_step_callbacks,
                               iteration->post_step_callback_count);
    if (status != VRW_SUCCESS)
        return status;
    double squares = 0.0;
    int f = 0;
    for (int64_t i = 0; i < buffers->coefficient_count; i++) {
        if (!is_free(buffers, i))
            continue;
        estimates[i] -= w->step[f++];
        squares += estimates[i] * estimates[i];
    }
    *free_squares = squares;
    return VRW_SUCCESS;
}

static VRWStatus iterate(VRWContext_s *context, VRWIterationCtx_s *iteration,
                         VRWMleBuffers_s *buffers, double *estimates, int reuse_hessian,
                         int64_t *sets, VRWIterationLogWord *log, Workspace *w,
                         int64_t *completed)
{
    double previous = 0.0;
    for (;;) {
        int64_t started = log ? vrw_microseconds() : 0;
        VRWStatus status = vrw_upload_estimates_and_run_prefix_kernels(context, iteration,
                                                                       buffers, estimates);
        if (status != VRW_SUCCESS || w->k == 0)
            return status;
        status = vrw_run_kernels(context, iteration->jacobian_runs,
                                 (int64_t)iteration->jacobian_run_count);
        if (status == VRW_SUCCESS)
            status = vrw_read_fp_buffer(context, buffers->jacobian, (size_t)w->k, w->gradient);
        if (status == VRW_SUCCESS && !(reuse_hessian && *completed > 0))
            status = evaluate_hessian(context, iteration, buffers, w, sets);
        double free_squares = 0.0;
        if (status == VRW_SUCCESS)
            status = take_step(context, iteration, buffers, w, estimates, &free_squares);
        if (status != VRW_SUCCESS)
            return status;
        double measure = cblas_ddot(w->k, w->gradient, 1, w->step, 1);
        if (isnan(free_squares) || isnan(measure))
            return VRW_ESTIMATE_NAN;
        double change = fabs(measure - previous);
        previous = measure;
        double relative = cblas_dnrm2(w->k, w->step, 1) / sqrt(free_squares);
        int64_t i = *completed;
        if (log) {
            log[VRW_ITERATION_LOG_TIMES + i].count = vrw_microseconds() - started;
            log[VRW_ITERATION_LOG_CHANGES + i].value = change;
            log[VRW_ITERATION_LOG_STEPS + i].value = relative;
        }
        *completed = i + 1;
        /* A relative step of 0 / 0 (every free coefficient and its step 0)
        ** ends the loop too. */
        if (*completed >= MAX_ITERATIONS || change <= CONVERGENCE_THRESHOLD
            || !(relative > CONVERGENCE_THRESHOLD))
            return VRW_SUCCESS;
    }
}

VRWStatus vrw_iterate_mle(VRWContext_s *context, VRWIterationCtx_s *iteration,
                          VRWMleBuffers_s *buffers, const double *guesses, double *estimates,
                          int reuse_hessian, int64_t *multicollinear_sets,
                          VRWIterationLogWord *log)
{
    size_t n = buffers->coefficient_count > 0 ? (size_t)buffers->coefficient_count : 0;
    double *own = estimates ? NULL : malloc(n * sizeof(double) + 1);
    int64_t completed = 0;
    if (log)
        log[VRW_ITERATION_LOG_COUNT].count = 0;
    if (!estimates && !own)
        return VRW_OUT_OF_HOST_MEMORY;
    if (own)
        estimates = own;
    start_values(buffers, guesses, estimates);
    if (multicollinear_sets)
        memset(multicollinear_sets, 0, n * sizeof(int64_t));
    Workspace w = {0};
    VRWStatus status = VRW_SUCCESS;
    if (buffers->free_count > 0 && !make_workspace(&w, (int)buffers->free_count))
        status = VRW_OUT_OF_HOST_MEMORY;
    if (status == VRW_SUCCESS)
        status = vrw_run_kernels(context, iteration->initial_runs,
                                 (int64_t)iteration->initial_run_count);
    if (status == VRW_SUCCESS)
        status = iterate(context, iteration, buffers, estimates, reuse_hessian,
                         multicollinear_sets, log, &w, &completed);
    /* Every per-row buffer is left describing the returned coefficients. */
    if (status == VRW_SUCCESS)
        status = vrw_upload_estimates_and_run_prefix_kernels(context, iteration, buffers,
                                                             estimates);
    if (status == VRW_SUCCESS)
        status = vrw_run_kernels(context, iteration->final_runs,
                                 (int64_t)iteration->final_run_count);
    free_workspace(&w);
    free(own);
    if (log)
        log[VRW_ITERATION_LOG_COUNT].count = completed;
    return status;
}
