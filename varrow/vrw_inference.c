/* What a fit needs after its iteration: the log likelihood, the variance of
** the free coefficients (plain, robust or clustered) and the sums of squares
** of the least-squares models. */
#include "varrow/vrw_fit_internal.h"
#include "varrow/vrw_kernel_names.h"

#include <cblas.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>

static bool has_value_of_interest(const char *model)
{
    return vrw_model_is(model, "logit") || vrw_model_is(model, "probit");
}

VRWLogLikelihoodCtx_s *vrw_log_likelihood_ctx_init(VRWContext_s *context, const char *model,
                                                   const VRWMatrixBuffer_s *matrix,
                                                   const VRWVectorBuffer_s *weights,
                                                   VRWMleBuffers_s *buffers, int32_t dependent,
                                                   int32_t *status, double value)
{
    if (vrw_is_least_squares(model))
        return NULL;
    VRWLogLikelihoodCtx_s *ll = calloc(1, sizeof *ll);
    if (!ll) {
        vrw_set_status(status, VRW_OUT_OF_HOST_MEMORY);
        return NULL;
    }
    cl_kernel kernel = vrw_find_log_likelihood_kernel(context, model);
    if (kernel) {
        VRWKernelRun_s *run = &ll->model_run;
        run->kernel = kernel;
        vrw_set_mle_log_likelihood_kernel_args(run, matrix, dependent, buffers);
        size_t rows = vrw_padded_rows(matrix->blocks);
        if (has_value_of_interest(model)) {
            vrw_set_kernel_arg_double(run, value);
        } else if (vrw_model_is(model, "multinomial_logit")) {
            vrw_set_kernel_arg_mem(run, buffers->row_choice_values);
            vrw_set_kernel_arg_mem(run, buffers->choice_values);
            vrw_set_kernel_arg_int(run, (int32_t)buffers->choice_count);
            rows = (size_t)matrix->blocks;
        } else if (vrw_model_is(model, "negbin2")) {
            vrw_set_kernel_arg_mem(run, buffers->estimates);
            vrw_set_kernel_arg_int(run, (int32_t)buffers->variable_count);
        }
        vrw_set_kernel_dim1(run, rows);
    }
    cl_kernel sum = vrw_kernel(context, VRWK_COMPUTE_SUM);
    if (!sum) {
        free(ll);
        return NULL;
    }
    VRWKernelRun_s *run = &ll->sum_run;
    run->kernel = sum;
    vrw_set_kernel_dim1(run, 1);
    vrw_set_kernel_arg_mem(run, buffers->row_values);
    vrw_set_kernel_arg_mem(run, weights->data);
    vrw_set_kernel_arg_int(run, 0);
    vrw_set_kernel_arg_int(run, matrix->blocks);
    vrw_set_kernel_arg_mem(run, buffers->sum);
    vrw_set_status(status, VRW_SUCCESS);
    return ll;
}

double vrw_compute_log_likelihood(VRWContext_s *context, VRWLogLikelihoodCtx_s *ll,
                                  VRWMleBuffers_s *buffers, double *per_choice, int32_t count,
                                  int32_t *status)
{
    if (!ll)
        return NAN;
    double value = 0.0;
    VRWStatus err = VRW_SUCCESS;
    if (ll->model_run.kernel)
        err = vrw_run_kernels(context, &ll->model_run, 1);
    if (err == VRW_SUCCESS)
        err = vrw_run_kernels(context, &ll->sum_run, 1);
    if (err == VRW_SUCCESS)
        err = vrw_read_fp_buffer(context, buffers->sum, 1, &value);
    if (err == VRW_SUCCESS && per_choice && ll->per_choice_run.kernel) {
        err = vrw_run_kernels(context, &ll->per_choice_run, 1);
        if (err == VRW_SUCCESS)
            err = vrw_read_fp_buffer(context, buffers->choice_sums,
                                     (size_t)(count > 0 ? count : 0), per_choice);
    }
    vrw_set_status(status, err);
    return value;
}

VRWStatus vrw_write_choice_figures(VRWRegression_s *r, VRWLogLikelihoodCtx_s *ll,
                                   VRWMleBuffers_s *buffers, int64_t observations,
                                   int64_t choices, const double *counts, const int32_t *present,
                                   int64_t present_count)
{
    if (r->out_free_parameter_count)
        *r->out_free_parameter_count = vrw_free_parameter_count(buffers);
    if (r->out_observation_count)
        *r->out_observation_count = observations;
    for (int64_t c = 0; r->out_per_choice_observation_count && c < choices; c++)
        r->out_per_choice_observation_count[c] = (int64_t)counts[c];
    if (!r->out_log_likelihood && !r->out_per_choice_log_likelihood)
        return VRW_SUCCESS;
    int32_t status = VRW_SUCCESS;
    double *per_choice = r->out_per_choice_log_likelihood;
    double value = vrw_compute_log_likelihood(r->context, ll, buffers, per_choice,
                                              (int32_t)present_count, &status);
    if (status != VRW_SUCCESS)
        return status;
    if (per_choice)
        expand_double_buffer(per_choice, 1, choices, present, NAN);
    if (r->out_log_likelihood)
        *r->out_log_likelihood = value;
    return VRW_SUCCESS;
}

void vrw_inference_ctx_free(VRWInferenceCtx_s *inference)
{
    if (!inference)
        return;
    free(inference->robust_runs);
    free(inference->cluster_runs);
    free(inference);
}

VRWInferenceCtx_s *vrw_inference_ctx_make(unsigned long robust_count, unsigned long cluster_count,
                                          const VRWMatrixBuffer_s *matrix,
                                          const VRWVectorBuffer_s *weights,
                                          VRWMleBuffers_s *buffers)
{
    VRWInferenceCtx_s *inference = calloc(1, sizeof *inference);
    if (inference) {
        inference->robust_runs = vrw_new_runs(robust_count, &inference->robust_run_count);
        inference->cluster_runs = vrw_new_runs(cluster_count, &inference->cluster_run_count);
    }
    if (!inference || !inference->robust_runs || !inference->cluster_runs) {
        vrw_inference_ctx_free(inference);
        return NULL;
    }
    inference->buffers = buffers;
    inference->matrix = matrix;
    inference->frequency_weights = weights;
    return inference;
}

VRWInferenceCtx_s *vrw_inference_ctx_init(VRWContext_s *context, const char *model,
                                          const VRWMatrixBuffer_s *matrix,
                                          const VRWVectorBuffer_s *weights,
                                          const VRWVectorBuffer_s *analytic_weights,
                                          VRWMleBuffers_s *buffers, int32_t *status)
{
    cl_kernel robust = vrw_find_robust_kernel(context, model);
    cl_kernel pass1 = vrw_find_cluster_pass1_kernel(context, model);
    cl_kernel pass2 = vrw_find_cluster_pass2_kernel(context, model);
    if (!robust || !pass1 || !pass2) {
        vrw_set_status(status, VRW_KERNEL_NOT_LOADED);
        return NULL;
    }
    VRWInferenceCtx_s *inference = vrw_inference_ctx_make(1, 2, matrix, weights, buffers);
    if (!inference) {
        vrw_set_status(status, VRW_OUT_OF_HOST_MEMORY);
        return NULL;
    }
    size_t k = (size_t)buffers->free_count, g = (size_t)buffers->cluster_count;
    VRWKernelRun_s *run = &inference->robust_runs[0];
    run->kernel = robust;
    vrw_set_kernel_dim2(run, k, k);
    vrw_set_mle_robust_kernel_args(run, matrix, weights, buffers);
    run = &inference->cluster_runs[0];
    run->kernel = pass1;
    vrw_set_kernel_dim2(run, k, g);
    vrw_set_mle_cluster_pass1_kernel_args(run, matrix, weights, buffers);
    run = &inference->cluster_runs[1];
    run->kernel = pass2;
    vrw_set_kernel_dim2(run, k, k);
    vrw_set_mle_cluster_pass2_kernel_args(run, buffers);
    inference->analytic_weights = analytic_weights;
    vrw_set_status(status, VRW_SUCCESS);
    return inference;
}

/* V = H^-1 M H^-1 with M the k x k outer products on the device (scaled by
** factor), H^-1 the iteration's inverse Hessian. */
static VRWStatus sandwich(VRWContext_s *context, double *variance, VRWMleBuffers_s *buffers,
                          double factor)
{
    int k = (int)buffers->free_count;
    size_t entries = (size_t)k * (size_t)k;
    double *meat = malloc(entries * sizeof(double) + 1);
    double *half = malloc(entries * sizeof(double) + 1);
    VRWStatus status = meat && half ? VRW_SUCCESS : VRW_OUT_OF_HOST_MEMORY;
    if (status == VRW_SUCCESS)
        status = vrw_read_fp_buffer(context, buffers->opg, entries, meat);
    if (status == VRW_SUCCESS) {
        if (factor != 1.0)
            for (size_t i = 0; i < entries; i++)
                meat[i] *= factor;
        cblas_dsymm(CblasColMajor, CblasLeft, CblasUpper, k, k, 1.0, buffers->host_hessian, k,
                    meat, k, 0.0, half, k);
        cblas_dsymm(CblasColMajor, CblasRight, CblasUpper, k, k, 1.0, buffers->host_hessian, k,
                    half, k, 0.0, variance, k);
    }
    free(meat);
    free(half);
    return status;
}

/* The variance of a fit whose options ask for no robust form: the negated
** inverse Hessian, scaled by the residual variance RSS / N for the
** least-squares models. */
static void plain_variance(double *variance, const VRWMleBuffers_s *buffers, const char *model,
                           double rss, double n)
{
    size_t entries = (size_t)buffers->free_count * (size_t)buffers->free_count;
    double scale = vrw_is_least_squares(model) ? rss / n : 1.0;
    for (size_t i = 0; i < entries; i++)
        variance[i] = -buffers->host_hessian[i] * scale;
}

static double total_sum_of_squares(VRWContext_s *context, const char *model,
                                   const VRWInferenceCtx_s *inference, int32_t dependent,
                                   uint32_t options, int32_t *status)
{
    int32_t uncentered = (options & VRW_OPTION_NO_CONSTANT) != 0;
    if (vrw_is_weighted_least_squares(model) && inference->analytic_weights)
        return vrw_total_weighted_sum_of_squares(context, model, inference->matrix,
                                                 inference->frequency_weights,
                                                 inference->analytic_weights, dependent,
                                                 uncentered, status);
    return vrw_total_sum_of_squares(context, model, inference->matrix,
                                    inference->frequency_weights, dependent, uncentered, status);
}

double *vrw_estimate_asymptotic_variance_mle(VRWContext_s *context, const char *model,
                                            VRWInferenceCtx_s *inference, int32_t dependent,
                                            uint32_t options, double *residual_sum_of_squares,
                                            double *total_sum_of_squares_out,
                                            int64_t *observation_count, int32_t *status)
{
    if (!inference) {
        vrw_set_status(status, VRW_NO_PANELS);
        return NULL;
    }
    VRWMleBuffers_s *buffers = inference->buffers;
    bool cluster = (options & VRW_OPTION_CLUSTER) && buffers->cluster_count >= 1;
    bool robust = (options & VRW_OPTION_ROBUST) != 0;
    bool need_rss = residual_sum_of_squares
                    || (!robust && !cluster && vrw_is_least_squares(model));
    size_t entries = (size_t)buffers->free_count * (size_t)buffers->free_count;
    double *variance = malloc(entries * sizeof(double) + 1);
    if (!variance) {
        vrw_set_status(status, VRW_OUT_OF_HOST_MEMORY);
        return NULL;
    }
    int32_t err = VRW_SUCCESS;
    double n = vrw_compute_fweight_sum(context, inference->frequency_weights, &err);
    double rss = 0.0;
    if (err == VRW_SUCCESS && need_rss) {
        rss = vrw_residual_sum_of_squares(context, inference->matrix,
                                          inference->frequency_weights,
                                          inference->analytic_weights, buffers, &err);
        if (residual_sum_of_squares)
            *residual_sum_of_squares = rss;
    }
    if (err == VRW_SUCCESS && total_sum_of_squares_out)
        *total_sum_of_squares_out = total_sum_of_squares(context, model, inference, dependent,
                                                         options, &err);
    if (err == VRW_SUCCESS && observation_count)
        *observation_count = (int64_t)n;
    if (err == VRW_SUCCESS && cluster) {
        double g = (double)buffers->cluster_count;
        double factor = options & VRW_OPTION_CLUSTER_SMALL_SAMPLE ? g / (g - 1.0) : 1.0;
        err = vrw_run_kernels(context, inference->cluster_runs,
                              (int64_t)inference->cluster_run_count);
        if (err == VRW_SUCCESS)
            err = sandwich(context, variance, buffers, factor);
    } else if (err == VRW_SUCCESS && robust) {
        err = vrw_run_kernels(context, inference->robust_runs,
                              (int64_t)inference->robust_run_count);
        if (err == VRW_SUCCESS)
            err = sandwich(context, variance, buffers, 1.0);
    } else if (err == VRW_SUCCESS) {
        plain_variance(variance, buffers, model, rss, n);
    }
    if (err == VRW_SUCCESS && (options & VRW_OPTION_SMALL_SAMPLE)) {
        double factor = n / (n - (double)vrw_free_parameter_count(buffers));
        for (size_t i = 0; i < entries; i++)
            variance[i] *= factor;
    }
    vrw_set_status(status, err);
    return variance;
}

static bool log_scale(const char *model)
{
    return vrw_model_is(model, "log_linear") || vrw_model_is(model, "weighted_log_linear");
}

double vrw_total_sum_of_squares(VRWContext_s *context, const char *model,
                                const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
                                int32_t dependent, int32_t uncentered, int32_t *status)
{
    if (log_scale(model))
        return uncentered ? vrw_compute_column_log_uncentered_sum_of_squares(
                                context, matrix, weights, dependent, status)
                          : vrw_compute_column_log_centered_sum_of_squares(context, matrix,
                                                                           weights, dependent,
                                                                           status);
    return uncentered ? vrw_compute_column_uncentered_sum_of_squares(context, matrix, weights,
                                                                     dependent, status)
                      : vrw_compute_column_centered_sum_of_squares(context, matrix, weights,
                                                                   dependent, status);
}

double vrw_total_weighted_sum_of_squares(VRWContext_s *context, const char *model,
                                         const VRWMatrixBuffer_s *matrix,
                                         const VRWVectorBuffer_s *weights,
                                         const VRWVectorBuffer_s *analytic_weights,
                                         int32_t dependent, int32_t uncentered, int32_t *status)
{
    const VRWVectorBuffer_s *a = analytic_weights;
    if (log_scale(model))
        return uncentered ? vrw_compute_column_weighted_log_uncentered_sum_of_squares(
                                context, matrix, weights, dependent, a, status)
                          : vrw_compute_column_weighted_log_centered_sum_of_squares(
                                context, matrix, weights, dependent, a, status);
    return uncentered ? vrw_compute_column_weighted_uncentered_sum_of_squares(
                            context, matrix, weights, dependent, a, status)
                      : vrw_compute_column_weighted_centered_sum_of_squares(
                            context, matrix, weights, dependent, a, status);
}

double vrw_residual_sum_of_squares(VRWContext_s *context, const VRWMatrixBuffer_s *matrix,
                                   const VRWVectorBuffer_s *weights,
                                   const VRWVectorBuffer_s *analytic_weights,
                                   VRWMleBuffers_s *buffers, int32_t *status)
{
    if (analytic_weights)
        return vrw_compute_buffer_weighted_score_sum_of_squares(
            context, buffers->scores, matrix, weights, analytic_weights, status);
    return vrw_compute_buffer_sum_of_squares(context, buffers->scores, weights, status);
}
