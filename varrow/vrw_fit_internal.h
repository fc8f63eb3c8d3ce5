/* Helpers shared by the fits and the iterations; not exported. */
#ifndef VARROW_VRW_FIT_INTERNAL_H
#define VARROW_VRW_FIT_INTERNAL_H

#include "varrow/vrw_inference.h"
#include "varrow/vrw_internal.h"
#include "varrow/vrw_regression.h"

/*
** What every Newton fit makes for one iteration: the host arrays of its
** coefficients and the records of its iteration, log likelihood and
** variance. A fit embeds one and releases it with vrw_release_fit_scratch on
** every path; what else it makes it frees itself.
*/
typedef struct VRWFitScratch_s {
    double *constraints;           /* the fit's coefficients: NaN free */
    double *guesses;
    double *estimates;             /* the fit's own, when not the caller's */
    int64_t *sets;                 /* the multicollinear set of each coefficient */
    double *own_fixed_effects;     /* when the caller registered none */
    VRWMleBuffers_s *buffers;
    VRWIterationCtx_s *iteration;  /* with or without fixed effects */
    VRWLogLikelihoodCtx_s *log_likelihood;
    VRWInferenceCtx_s *inference;
    double *variance;
} VRWFitScratch_s;

/* Frees everything the scratch holds and zeroes it, so it may be released
** again or refilled. */
void vrw_release_fit_scratch(VRWFitScratch_s *scratch);

/* Pieces of the fixed-effects iterations. vrw_attach_fixed_effects writes
** the start values of the P effects of every choice (the constraint where it
** is a number, else the guess, else 0) and installs a context with E x G
** steps and the two callbacks. vrw_fixed_effects_panel_runs fills three runs: the per-cluster
** sums of scores and of weights and the panel means of the first
** `coefficients` free coefficients. vrw_fixed_effects_step_run makes the
** step run of the effects. Each returns -46 for a missing kernel, -6 when
** memory runs out. */
VRWStatus vrw_attach_fixed_effects(VRWIterationCtx_s *iteration, const VRWMleBuffers_s *buffers,
                                   const double *guesses, double *fixed_effects);
VRWStatus vrw_fixed_effects_panel_runs(VRWContext_s *context, VRWKernelRun_s *runs,
                                       const VRWMatrixBuffer_s *matrix,
                                       const VRWVectorBuffer_s *weights,
                                       const VRWMleBuffers_s *buffers, size_t coefficients);
VRWStatus vrw_fixed_effects_step_run(VRWContext_s *context, VRWIterationCtx_s *iteration,
                                     const VRWMleBuffers_s *buffers);
/* The run that takes the effects' part out of a gradient (hessian 0, global
** size n) or a Hessian (hessian 1, n x n) summed without them. */
VRWStatus vrw_fixed_effects_delta_run(VRWContext_s *context, VRWKernelRun_s *run,
                                      const VRWMleBuffers_s *buffers, int hessian);
/* The effects of a fit with nuisance parameters: the step run and the
** callbacks over out, or over an array made here (*own, which the fit
** frees) when out is NULL. */
VRWStatus vrw_fixed_effects_for_fit(VRWContext_s *context, VRWIterationCtx_s *iteration,
                                    const VRWMleBuffers_s *buffers, double *out,
                                    const double *guesses, double **own);

/*
** Evaluates the Hessian runs of the iteration once more at the estimates of
** its final prefix stage and leaves the inverse in host_hessian, so a
** variance belongs to the estimates reported rather than to those the last
** step started from. information (its kernel may be NULL: none) first puts
** other per-row weights in place; the refresh runs (may be none) then
** recompute what derives from them. 1000 + info when the inversion fails.
*/
VRWStatus vrw_final_hessian(VRWContext_s *context, VRWIterationCtx_s *iteration,
                            VRWMleBuffers_s *buffers, VRWKernelRun_s *information,
                            VRWKernelRun_s *refresh, int64_t refresh_count);

static inline bool vrw_fixed_effects_asked(const VRWRegression_s *r)
{
    return (r->options & VRW_OPTION_FIXED_EFFECTS) != 0;
}

/*
** The matrix the analytic-weight aggregates see. With fixed effects each
** panel carries one analytic weight; otherwise the weights are one a row, in
** the matrix's (possibly panel-padded) row layout, and the panels play no
** part: a view without panels reads them row by row.
*/
static inline const VRWMatrixBuffer_s *vrw_analytic_matrix(const VRWRegression_s *r,
                                                           VRWMatrixBuffer_s *view)
{
    if (vrw_fixed_effects_asked(r))
        return r->data;
    *view = *r->data;
    view->panel_count = 0;
    return view;
}

/*
** Start values a wrapper makes for its copy of the record, from means under
** the frequency weights on the model's scale (logarithms for the models
** with an exponential mean, less the log mean exposure): with fixed effects
** on a matrix not loaded demeaned and no effect guesses, one a panel into
** copy->fixed_effect_guesses; otherwise, without coefficient guesses and
** with a constant column, zeros and the constant's into
** copy->coefficient_guesses. The arrays are s's, freed with
** vrw_free_start_values; a failing mean returns its status.
*/
typedef struct {
    double *coefficients;
    double *fixed_effects;
} VRWStartValues;
VRWStatus vrw_make_start_values(VRWRegression_s *copy, const char *model,
                                const VRWVectorBuffer_s *exposures, VRWStartValues *s);
void vrw_free_start_values(VRWStartValues *s);

/* An inference context with the given numbers of zeroed robust and cluster
** runs over the fit's buffers, matrix and frequency weights (no analytic
** weights), or NULL when memory runs out. */
VRWInferenceCtx_s *vrw_inference_ctx_make(unsigned long robust_count, unsigned long cluster_count,
                                          const VRWMatrixBuffer_s *matrix,
                                          const VRWVectorBuffer_s *weights,
                                          VRWMleBuffers_s *buffers);

/* The figures of a fit over the J' present choices of the record's J
** (flags in present, weighted counts in counts) into the record's outputs
** that are set: the free parameters, the observations, each choice's count
** (truncated), the log likelihood and the per-choice ones (an absent
** choice's NaN). A failing status leaves the log likelihoods unwritten. */
VRWStatus vrw_write_choice_figures(VRWRegression_s *r, VRWLogLikelihoodCtx_s *ll,
                                   VRWMleBuffers_s *buffers, int64_t observations,
                                   int64_t choices, const double *counts, const int32_t *present,
                                   int64_t present_count);

/* The record's Wald tests, when it asks for them and estimates are given,
** on the free coefficients' dimension x dimension variance into its
** statistics outputs. A failing status leaves some tests unwritten. */
VRWStatus vrw_write_wald_tests(const VRWRegression_s *r, const double *variance,
                               int64_t dimension, const double *estimates,
                               const double *constraints);

/* The standard errors of n coefficients into out: 0 for one fixed by its
** constraint (NaN = free), else the square root of the next diagonal element
** of the k x k variance of the free ones. */
void vrw_write_standard_errors(double *out, const double *constraints, int64_t n,
                               const double *variance, int64_t k);

/* The Cox fit's score residuals (groups x r: data, the ranks, the panel of
** each quad and the fixed effects' shifts, which may be NULL, into
** residuals), their outer products (r x r) and their sums by cluster
** (r x G). */
void vrw_set_mle_cox_score_residuals_kernel_args(VRWKernelRun_s *run,
                                                 const VRWMatrixBuffer_s *matrix,
                                                 const VRWMleBuffers_s *buffers,
                                                 const VRWCoxBuffers_s *cox, cl_mem shifts,
                                                 cl_mem residuals);
void vrw_set_mle_cox_robust_kernel_args(VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix,
                                        const VRWVectorBuffer_s *weights,
                                        const VRWMleBuffers_s *buffers, cl_mem residuals);
void vrw_set_mle_cox_cluster_pass1_kernel_args(VRWKernelRun_s *run,
                                               const VRWMatrixBuffer_s *matrix,
                                               const VRWVectorBuffer_s *weights,
                                               const VRWMleBuffers_s *buffers, cl_mem residuals);

/* The multinomial logit's outer products of the rows' scores with the
** fixed effects' part taken out (n x n). */
void vrw_set_mle_fe_mlogit_robust_kernel_args(VRWKernelRun_s *run,
                                              const VRWMatrixBuffer_s *matrix,
                                              const VRWVectorBuffer_s *weights,
                                              const VRWMleBuffers_s *buffers);

/* The single-equation driver and the wrapper of the least-squares models:
** they read the record, never change it. */
VRWStatus vrw_fit_mle(const VRWRegression_s *r, const char *model, VRWIterationLogWord *log);
VRWStatus vrw_fit_linear_model(const VRWRegression_s *r, const char *model,
                               VRWIterationLogWord *log);
/* The ordered logit and probit fits by model name. */
VRWStatus vrw_fit_ordered_choice(VRWRegression_s *r, const char *model,
                                 VRWIterationLogWord *log);
#endif
