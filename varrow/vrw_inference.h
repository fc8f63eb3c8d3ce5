/*
** Inference and predictions after a fit: log likelihoods, variances,
** sums of squares and predicted values.
*/
#ifndef VARROW_VRW_INFERENCE_H
#define VARROW_VRW_INFERENCE_H

#include "varrow/vrw_loaders.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ------------------------- log likelihood, variances, sums of squares */

/* The runs that give the log likelihood: the model's per-row terms (kernel
** NULL when the model has none), their sum, and a per-choice sum that a fit
** may fill. Freed with free(). */
typedef struct VRWLogLikelihoodCtx_s {
    VRWKernelRun_s model_run;
    VRWKernelRun_s sum_run;
    VRWKernelRun_s per_choice_run;
} VRWLogLikelihoodCtx_s;

/* The outer-product runs of the robust (1 run) and cluster (2 runs)
** variances, and the records they read (not owned). */
typedef struct VRWInferenceCtx_s {
    VRWKernelRun_s *robust_runs;
    unsigned long robust_run_count;
    VRWKernelRun_s *cluster_runs;
    unsigned long cluster_run_count;
    VRWMleBuffers_s *buffers;
    const VRWMatrixBuffer_s *matrix;
    const VRWVectorBuffer_s *frequency_weights;
    const VRWVectorBuffer_s *analytic_weights;
} VRWInferenceCtx_s;

/*
** The log-likelihood runs of the model, or NULL: for the least-squares models
** (whose log likelihood is the normal one of their residual sum of squares)
** with *status untouched; without "vrw_compute_sum" likewise; -6 when the
** record cannot be allocated. A missing per-row kernel leaves model_run
** empty. value is the dependent value of interest of logit and probit.
*/
VRW_EXPORT VRWLogLikelihoodCtx_s *vrw_log_likelihood_ctx_init(VRWContext_s *context,
                                                              const char *model,
                                                              const VRWMatrixBuffer_s *matrix,
                                                              const VRWVectorBuffer_s *weights,
                                                              VRWMleBuffers_s *buffers,
                                                              int32_t dependent, int32_t *status,
                                                              double value);
/* The log likelihood at the estimates of the last prefix stage (NaN without
** a context); per_choice (may be NULL) receives count per-choice sums when
** the context has a per-choice run. */
VRW_EXPORT double vrw_compute_log_likelihood(VRWContext_s *context,
                                             VRWLogLikelihoodCtx_s *log_likelihood,
                                             VRWMleBuffers_s *buffers, double *per_choice,
                                             int32_t count, int32_t *status);

/* NULL with -46 when a robust or cluster kernel is missing, -6 when memory
** runs out. Free with vrw_inference_ctx_free (NULL ignored). */
VRW_EXPORT VRWInferenceCtx_s *vrw_inference_ctx_init(VRWContext_s *context, const char *model,
                                                     const VRWMatrixBuffer_s *matrix,
                                                     const VRWVectorBuffer_s *weights,
                                                     const VRWVectorBuffer_s *analytic_weights,
                                                     VRWMleBuffers_s *buffers, int32_t *status);
VRW_EXPORT void vrw_inference_ctx_free(VRWInferenceCtx_s *inference);

/*
** The k x k variance of the free coefficients after vrw_iterate_mle, as a
** new array the caller frees: -H^-1 (times RSS / N for the least-squares
** models), the sandwich H^-1 M H^-1 with the outer products of the scores
** (options 4) or of the cluster sums (options 8; times G / (G - 1) with
** option 2), times N / (N - p) with option 1, p counting the free
** coefficients and, with fixed effects, the effects of the non-empty panels
** (as a fit with one indicator a panel counts them). The sums of squares and the
** observation count are written where asked for (NULL = not wanted). NULL
** with -6 when the matrix cannot be allocated, with -38 without an inference
** context (it holds the buffers); any other failure is in *status while the
** partly written matrix is still returned.
*/
VRW_EXPORT double *vrw_estimate_asymptotic_variance_mle(VRWContext_s *context, const char *model,
                                                       VRWInferenceCtx_s *inference,
                                                       int32_t dependent, uint32_t options,
                                                       double *residual_sum_of_squares,
                                                       double *total_sum_of_squares,
                                                       int64_t *observation_count,
                                                       int32_t *status);

/* Frequency-weighted sum of squares of the dependent column about its mean
** (or about 0 when uncentered), of its logarithm for the log-linear models. */
VRW_EXPORT double vrw_total_sum_of_squares(VRWContext_s *context, const char *model,
                                           const VRWMatrixBuffer_s *matrix,
                                           const VRWVectorBuffer_s *weights, int32_t dependent,
                                           int32_t uncentered, int32_t *status);
/* The same under frequency and analytic weights together (a row counts f x a
** times), about the weighted mean: the total of a weighted least-squares fit. */
VRW_EXPORT double vrw_total_weighted_sum_of_squares(VRWContext_s *context, const char *model,
                                                    const VRWMatrixBuffer_s *matrix,
                                                    const VRWVectorBuffer_s *weights,
                                                    const VRWVectorBuffer_s *analytic_weights,
                                                    int32_t dependent, int32_t uncentered,
                                                    int32_t *status);
/* The residual sum of squares of the buffers' scores after a least-squares
** fit: with analytic weights a, whose scores carry a, the sum of f a r^2. */
VRW_EXPORT double vrw_residual_sum_of_squares(VRWContext_s *context, const VRWMatrixBuffer_s *matrix,
                                              const VRWVectorBuffer_s *weights,
                                              const VRWVectorBuffer_s *analytic_weights,
                                              VRWMleBuffers_s *buffers, int32_t *status);

/* ------------------------------------------------------ predicted values */

/* The fitted-value run and the model's predict run (kernel NULL = skipped).
** Freed with free(). */
typedef struct VRWPredictedCtx_s {
    VRWKernelRun_s fitted_run;
    VRWKernelRun_s predict_run;
} VRWPredictedCtx_s;

/* The runs of the model's family, or NULL: -46 when a kernel is missing, -6
** when memory runs out, the status untouched for a model without a family.
** columns is J, the categories or choices of the multi-column families. */
VRW_EXPORT VRWPredictedCtx_s *vrw_predicted_ctx_init(VRWContext_s *context, const char *model,
                                                     const VRWMatrixBuffer_s *matrix,
                                                     const VRWVectorBuffer_s *exposures,
                                                     VRWMleBuffers_s *buffers, int32_t columns,
                                                     int32_t fixed_effects, int32_t *status);
VRW_EXPORT VRWPredictedCtx_s *vrw_predicted_ctx_count_init(VRWContext_s *context,
                                                           const VRWMatrixBuffer_s *matrix,
                                                           const VRWVectorBuffer_s *exposures,
                                                           VRWMleBuffers_s *buffers,
                                                           int32_t fixed_effects, int32_t *status);
VRW_EXPORT VRWPredictedCtx_s *vrw_predicted_ctx_negbin2_init(VRWContext_s *context,
                                                             const VRWMatrixBuffer_s *matrix,
                                                             const VRWVectorBuffer_s *exposures,
                                                             VRWMleBuffers_s *buffers,
                                                             int32_t fixed_effects,
                                                             int32_t *status);
VRW_EXPORT VRWPredictedCtx_s *vrw_predicted_ctx_binary_init(VRWContext_s *context, const char *model,
                                                            const VRWMatrixBuffer_s *matrix,
                                                            VRWMleBuffers_s *buffers,
                                                            int32_t fixed_effects, int32_t *status);
VRW_EXPORT VRWPredictedCtx_s *vrw_predicted_ctx_linear_init(VRWContext_s *context,
                                                            const VRWMatrixBuffer_s *matrix,
                                                            VRWMleBuffers_s *buffers,
                                                            int32_t fixed_effects, int32_t *status);
VRW_EXPORT VRWPredictedCtx_s *vrw_predicted_ctx_log_linear_init(VRWContext_s *context,
                                                                const VRWMatrixBuffer_s *matrix,
                                                                VRWMleBuffers_s *buffers,
                                                                int32_t fixed_effects,
                                                                int32_t *status);
VRW_EXPORT VRWPredictedCtx_s *vrw_predicted_ctx_ordered_choice_init(
    VRWContext_s *context, const char *model, const VRWMatrixBuffer_s *matrix,
    VRWMleBuffers_s *buffers, int32_t columns, int32_t fixed_effects, int32_t *status);
VRW_EXPORT VRWPredictedCtx_s *vrw_predicted_ctx_multinomial_logit_init(
    VRWContext_s *context, const VRWMatrixBuffer_s *matrix, VRWMleBuffers_s *buffers,
    int32_t columns, int32_t fixed_effects, int32_t *status);

/*
** Predicted values of every observation at the buffers' estimates into
** output (caller-owned): observations values in row order when columns is 0,
** column after column when it is positive. A model without a family gives
** VRW_NOT_APPLICABLE and writes nothing.
*/
VRW_EXPORT VRWStatus vrw_compute_predicted(VRWContext_s *context, const char *model,
                                           const VRWMatrixBuffer_s *matrix,
                                           const VRWVectorBuffer_s *exposures,
                                           VRWMleBuffers_s *buffers, int32_t columns,
                                           int32_t fixed_effects, double *output);

#ifdef __cplusplus
}
#endif

#endif
