/*
** The regression record and its fits: the record and its setters, the
** fits, Wald tests, the Newton and GMM iterations with their fixed
** effects, the dense algebra they use and the kernel-argument setters.
*/
#ifndef VARROW_VRW_REGRESSION_H
#define VARROW_VRW_REGRESSION_H

#include "varrow/vrw_loaders.h"

#ifdef __cplusplus
extern "C" {
#endif

/* -------------------------------------------------------- dense algebra */

/* Optimal workspace length of dgetri_ for an n x n matrix. */
VRW_EXPORT int vrw_optimal_iwork_dim(int n);
/* Inverts the n x n matrix in place by LU; returns the LAPACK info (the
** factorisation's when it fails, leaving the matrix factorised). */
VRW_EXPORT int vrw_invert_matrix(double *matrix, int n, int *pivots, double *workspace,
                                 int workspace_length);
/* Eigenvalues (ascending) and optionally eigenvectors (column j for value j)
** of the symmetric matrix, upper triangle read, input unchanged. Returns 1
** for a NaN element, -6 when memory runs out, else the LAPACK info. */
VRW_EXPORT int vrw_matrix_eigenvectors(const double *matrix, int n, double *eigenvalues,
                                       double *eigenvectors);
VRW_EXPORT int vrw_matrix_eigenvalues(const double *matrix, int n, double *eigenvalues);


/* ------------------------------------------------- tests and regressions */

/* Linear restrictions R b = r of test_count Wald tests. The record owns its
** three arrays; the matrices and vectors they point to are the caller's. */
typedef struct VRWTestRestrictions_s {
    double **R;                    /* q[t] x variable_count, column-major */
    int64_t *q;
    double **r;                    /* q[t] */
    int64_t test_count;
    int64_t variable_count;
} VRWTestRestrictions_s;

/* One fit. Every pointer refers to something the caller owns, except
** nonempty_panels and fixed_effect_constraints, which a run fills and
** empties. k is independent_column_count, S the coefficient sets, P the
** panel count. */
typedef struct VRWRegression_s {
    VRWContext_s *context;
    VRWRegressionModel model;
    uint32_t family_mask;
    const VRWMatrixBuffer_s *data;
    const VRWVectorBuffer_s *analytic_weights;
    const VRWVectorBuffer_s *frequency_weights;
    const VRWVectorBuffer_s *exposures;
    const VRWVectorBuffer_s *censoring;
    const VRWVectorBuffer_s *strata;
    const VRWVectorBuffer_s *causes;
    int32_t dependent_column;
    double dependent_value_of_interest;
    const double *dependent_values;
    uint32_t dependent_value_count;
    double omitted_dependent_value;
    const double *cause_values;
    uint32_t cause_value_count;
    int32_t constant_column;
    const int32_t *independent_columns;
    int64_t independent_column_count;
    const int32_t *instrument_columns;
    int64_t instrument_column_count;
    uint32_t *nonempty_panels;
    int64_t nonempty_panel_count;
    const double *weighting_matrix;
    uint32_t options;
    const double *constraints;     /* k, or S x k during a run */
    const double *coefficient_guesses;
    const double *fixed_effect_guesses;
    double *fixed_effect_constraints; /* S x P during a run */
    const VRWTestRestrictions_s *restrictions;
    double *out_coefficients;
    double *out_standard_errors;
    double *out_variance_matrix;
    int64_t *out_free_parameter_count;
    double *out_fixed_effects;
    double *out_nuisance_coefficients;
    double *out_nuisance_standard_errors;
    double *out_residuals;
    double *out_residual_sum_of_squares;
    double *out_total_sum_of_squares;
    int64_t *out_observation_count;
    int64_t *out_per_cause_observation_count;
    int64_t *out_per_choice_observation_count;
    double *out_log_likelihood;
    double *out_per_cause_log_likelihood;
    double *out_per_choice_log_likelihood;
    double *out_predicted_values;
    double *out_objective_function;
    double *out_wald_statistics;
    int64_t *out_wald_degrees_of_freedom;
    int64_t *out_multicollinear_sets;
    double *out_failure_times;
    double *out_hazard_function;
    int32_t *out_failure_time_stratum_counts;
    double *out_stratum_values;
    int32_t *out_stratum_value_count;
    int64_t *out_censored_count;
} VRWRegression_s;

/*
** A new record for one fit of the model on the context: every field zero,
** dependent_column, constant_column and independent_column_count -1,
** dependent_value_of_interest NaN, family_mask the kernel families the model
** needs (the common family alone for an unknown model). NULL when it cannot
** be allocated. Release with vrw_free_regression, which frees the record
** alone: the matrix, vectors, restrictions and arrays it refers to stay the
** caller's.
*/
VRW_EXPORT VRWRegression_s *vrw_init_regression(VRWContext_s *context, VRWRegressionModel model);
VRW_EXPORT void vrw_free_regression(VRWRegression_s *regression);

/*
** Setters store their arguments and return 0, or store nothing and return 1
** when the input does not apply to the record's model, so a caller may set
** every input unconditionally. Arrays and records are referred to, not
** copied: they must outlive the run.
*/
VRW_EXPORT VRWStatus vrw_set_reg_data(VRWRegression_s *r, const VRWMatrixBuffer_s *matrix);
VRW_EXPORT VRWStatus vrw_set_reg_analytic_weights(VRWRegression_s *r,
                                                  const VRWVectorBuffer_s *vector); /* 2, 3 */
VRW_EXPORT VRWStatus vrw_set_reg_frequency_weights(VRWRegression_s *r,
                                                   const VRWVectorBuffer_s *vector);
VRW_EXPORT VRWStatus vrw_set_reg_exposures(VRWRegression_s *r,
                                           const VRWVectorBuffer_s *vector); /* 8, 9 */
VRW_EXPORT VRWStatus vrw_set_reg_censoring(VRWRegression_s *r, const VRWVectorBuffer_s *vector);
VRW_EXPORT VRWStatus vrw_set_reg_strata(VRWRegression_s *r, const VRWVectorBuffer_s *vector);
VRW_EXPORT VRWStatus vrw_set_reg_causes(VRWRegression_s *r, const VRWVectorBuffer_s *vector);
VRW_EXPORT VRWStatus vrw_set_reg_dependent_column(VRWRegression_s *r, int32_t column);
VRW_EXPORT VRWStatus vrw_set_reg_dependent_values(VRWRegression_s *r, const double *values,
                                                  uint32_t count);
VRW_EXPORT VRWStatus vrw_set_reg_dependent_value_of_interest(VRWRegression_s *r,
                                                             double value); /* 5, 6, 7 */
VRW_EXPORT VRWStatus vrw_set_reg_omitted_dependent_value(VRWRegression_s *r, double value);
VRW_EXPORT VRWStatus vrw_set_reg_cause_values(VRWRegression_s *r, const double *values,
                                              uint32_t count); /* 11 */
VRW_EXPORT VRWStatus vrw_set_reg_constant_column(VRWRegression_s *r, int32_t column);
VRW_EXPORT VRWStatus vrw_set_reg_independent_columns(VRWRegression_s *r, const int32_t *columns,
                                                     int64_t count);
VRW_EXPORT VRWStatus vrw_set_reg_instrument_columns(VRWRegression_s *r, const int32_t *columns,
                                                    int64_t count); /* 4 */
VRW_EXPORT VRWStatus vrw_set_reg_weighting_matrix(VRWRegression_s *r,
                                                  const double *matrix); /* 4 */
VRW_EXPORT VRWStatus vrw_set_reg_options(VRWRegression_s *r, uint32_t options);
/* k values: a number fixes that coefficient in every set, NaN leaves it free. */
VRW_EXPORT VRWStatus vrw_set_reg_constraints(VRWRegression_s *r, const double *constraints);
VRW_EXPORT VRWStatus vrw_set_reg_coefficient_guesses(VRWRegression_s *r, const double *guesses);
VRW_EXPORT VRWStatus vrw_set_reg_fixed_effect_guesses(VRWRegression_s *r, const double *guesses);
/* The tests to run after the fit, with one statistic and one degrees of
** freedom a test written into the two arrays (the second may be NULL). The
** restrictions refer to the S x k coefficients of out_coefficients (S = 1
** but for the multinomial logit's choices and the Cox model's causes); a
** record on more of them fails the run (below). */
VRW_EXPORT VRWStatus vrw_set_reg_restrictions(VRWRegression_s *r,
                                              const VRWTestRestrictions_s *restrictions,
                                              double *statistics, int64_t *degrees_of_freedom);
VRW_EXPORT VRWStatus vrw_set_reg_out_coefficients(VRWRegression_s *r, double *out);
VRW_EXPORT VRWStatus vrw_set_reg_out_standard_errors(VRWRegression_s *r, double *out);
VRW_EXPORT VRWStatus vrw_set_reg_out_variance_matrix(VRWRegression_s *r, double *out);
VRW_EXPORT VRWStatus vrw_set_reg_out_free_parameter_count(VRWRegression_s *r, int64_t *out);
VRW_EXPORT VRWStatus vrw_set_reg_out_fixed_effects(VRWRegression_s *r, double *out);
VRW_EXPORT VRWStatus vrw_set_reg_out_nuisance_coefficients(VRWRegression_s *r, double *out);
VRW_EXPORT VRWStatus vrw_set_reg_out_nuisance_standard_errors(VRWRegression_s *r, double *out);
VRW_EXPORT VRWStatus vrw_set_reg_out_residuals(VRWRegression_s *r, double *out);
VRW_EXPORT VRWStatus vrw_set_reg_out_residual_sum_of_squares(VRWRegression_s *r, double *out);
VRW_EXPORT VRWStatus vrw_set_reg_out_total_sum_of_squares(VRWRegression_s *r, double *out);
VRW_EXPORT VRWStatus vrw_set_reg_out_observation_count(VRWRegression_s *r, int64_t *out);
VRW_EXPORT VRWStatus vrw_set_reg_out_per_cause_observation_count(VRWRegression_s *r,
                                                                 int64_t *out); /* 11 */
/* 5, 6, 7, 12, 13, 14 */
VRW_EXPORT VRWStatus vrw_set_reg_out_per_choice_observation_count(VRWRegression_s *r, int64_t *out);
VRW_EXPORT VRWStatus vrw_set_reg_out_log_likelihood(VRWRegression_s *r, double *out);
VRW_EXPORT VRWStatus vrw_set_reg_out_per_cause_log_likelihood(VRWRegression_s *r,
                                                              double *out); /* 11 */
/* 5, 6, 12, 13, 14 */
VRW_EXPORT VRWStatus vrw_set_reg_out_per_choice_log_likelihood(VRWRegression_s *r, double *out);
VRW_EXPORT VRWStatus vrw_set_reg_out_predicted_values(VRWRegression_s *r, double *out);
VRW_EXPORT VRWStatus vrw_set_reg_out_objective_function(VRWRegression_s *r, double *out);
VRW_EXPORT VRWStatus vrw_set_reg_out_multicollinear_sets(VRWRegression_s *r, int64_t *out);
/* 11 */
VRW_EXPORT VRWStatus vrw_set_reg_out_hazard_function(VRWRegression_s *r, double *failure_times,
                                                     double *hazards);
VRW_EXPORT VRWStatus vrw_set_reg_out_failure_time_stratum_counts(VRWRegression_s *r,
                                                                 int32_t *out);
VRW_EXPORT VRWStatus vrw_set_reg_out_stratum_values(VRWRegression_s *r, double *values,
                                                    int32_t *count);
VRW_EXPORT VRWStatus vrw_set_reg_out_censored_count(VRWRegression_s *r, int64_t *out);

/*
** Runs the fit once on the calling thread and returns its status; log (121
** words, may be NULL) receives the iteration log. Regressors without data in
** rows of positive frequency weight are fixed at 0, and come back NaN in
** out_coefficients and out_standard_errors whatever the status; so do the
** fixed effects of panels without weight. A run with no more observations
** (total frequency weight) than free parameters returns
** VRW_TOO_FEW_OBSERVATIONS and writes nothing; so does, with
** CL_INVALID_VALUE, a run whose Wald tests (restrictions with tests and
** their statistics registered) refer to more than the S x k coefficients.
** The record is left as found.
*/
VRW_EXPORT VRWStatus vrw_run_regression(VRWRegression_s *regression, VRWIterationLogWord *log);

/* The fits, each (record, log or NULL), as vrw_run_regression calls them by
** model code. */
VRW_EXPORT VRWStatus vrw_fit_linear(VRWRegression_s *r, VRWIterationLogWord *log);
VRW_EXPORT VRWStatus vrw_fit_log_linear(VRWRegression_s *r, VRWIterationLogWord *log);
VRW_EXPORT VRWStatus vrw_fit_weighted_linear(VRWRegression_s *r, VRWIterationLogWord *log);
VRW_EXPORT VRWStatus vrw_fit_weighted_log_linear(VRWRegression_s *r,
                                                 VRWIterationLogWord *log);
VRW_EXPORT VRWStatus vrw_fit_logit(VRWRegression_s *r, VRWIterationLogWord *log);
VRW_EXPORT VRWStatus vrw_fit_probit(VRWRegression_s *r, VRWIterationLogWord *log);
VRW_EXPORT VRWStatus vrw_fit_binary_linear(VRWRegression_s *r, VRWIterationLogWord *log);
VRW_EXPORT VRWStatus vrw_fit_poisson(VRWRegression_s *r, VRWIterationLogWord *log);
VRW_EXPORT VRWStatus vrw_fit_geometric(VRWRegression_s *r, VRWIterationLogWord *log);
/* Negative binomial (variance mu + mu^2 / theta): out_nuisance_coefficients
** receives 1 / theta and out_nuisance_standard_errors its standard error,
** se(theta) / theta^2; out_variance_matrix is (k + 1) x (k + 1) with theta's
** own scale in its last row and column. The variance is the inverse of the
** expected information of the coefficients beside theta's observed one, as
** glm.nb reports it. */
VRW_EXPORT VRWStatus vrw_fit_negative_binomial(VRWRegression_s *r, VRWIterationLogWord *log);
/*
** Ordered logit and probit over the categories dependent_values (0 .. J - 1
** when none), whole numbers from 0; those without rows of positive weight
** are left out (fewer than two with rows: 5000). With J' categories present
** the cut points are c_0 = -infinity, c_1 = 0 (the constant, a regressor like
** any other, takes the first cut's place), c_2 .. c_J'-1 free and
** c_J' = +infinity, so a fit without the constant's cut at 0 has its cuts at
** c_u - b_0. out_nuisance_coefficients (J + 1) holds c_0 and then each
** category's upper cut point, a category without rows repeating the one
** before; out_nuisance_standard_errors likewise (0 for fixed cuts);
** out_predicted_values holds J columns of chances (NaN for a category
** without rows), out_per_choice_log_likelihood and
** out_per_choice_observation_count one entry a category.
*/
VRW_EXPORT VRWStatus vrw_fit_ordered_logit(VRWRegression_s *r, VRWIterationLogWord *log);
VRW_EXPORT VRWStatus vrw_fit_ordered_probit(VRWRegression_s *r, VRWIterationLogWord *log);
/*
** Cox proportional hazards on the failure times of the dependent column
** (ties after Breslow), the constant never estimated. censoring (integers,
** non-zero = censored), strata (reals: one baseline hazard a stratum) and
** causes with cause_values (one fit a cause value, rows of other causes
** censored) are optional; sets, per-cause outputs and hazard lists are one
** a cause, E = cause_value_count with causes, else 1. With option 16 each
** non-empty panel but the last gets a fixed effect in the linear predictor
** (out_fixed_effects, E x P). Outputs beside the common ones:
**  - out_failure_times / out_hazard_function: each cause's, each stratum's
**    distinct times ascending with the cumulative baseline hazard (at a
**    linear predictor of 0) there; out_failure_time_stratum_counts (E x G)
**    their numbers, out_stratum_values (G; NaN without strata) the strata;
**  - out_residuals: martingale residuals; out_predicted_values: the median
**    failure time, the first time whose hazard exceeds ln 2 / exp(eta), or
**    the last one when none does (NaN when the row's stratum has no times);
**    without the hazard arrays the target ln 2 / exp(eta) itself;
**  - robust and cluster variances from each row's score residuals, with
**    fixed effects the regressors' block of the sandwich of all parameters
**    (as a fit with one indicator a panel gives it); option 1 scales by
**    N / (N - free parameters, the effects' included).
*/
VRW_EXPORT VRWStatus vrw_fit_cox_proportional_hazards(VRWRegression_s *r,
                                                      VRWIterationLogWord *log);
/*
** Multinomial logit over the J choices dependent_values (0 .. J - 1 when
** none), the base the choice equal to omitted_dependent_value (the first
** choice with rows when none is): one set of k coefficients a choice, the
** base's held at 0. Choices without rows of positive weight are left out
** (fewer than two with rows: 5000) and come back in every J-row output
** with fill values: coefficients NaN (0 with fixed effects or without the
** constant) and the constant minus infinity, standard errors 0 (NaN without
** the constant), fixed effects NaN (minus infinity without the constant),
** predicted chances, residuals and per-choice log likelihoods NaN, counts 0.
** With option 16 each choice but the base gets one effect a panel.
*/
VRW_EXPORT VRWStatus vrw_fit_multinomial_logit(VRWRegression_s *r, VRWIterationLogWord *log);
/* The weighted least-squares fits of a record whose data may have panels:
** with fixed effects each panel carries the mean of its rows' analytic
** weights for the fit; the caller's vector is the record's again after it. */
VRW_EXPORT VRWStatus vrw_fit_weighted_linear_model(VRWRegression_s *r, const char *model,
                                                   VRWIterationLogWord *log);

/* ----------------------------------------------- restrictions and tests */

/* A record of test_count tests on variable_count coefficients, every test
** empty (q 0, no matrix); NULL when it cannot be allocated. The caller sets
** R[t], q[t] and r[t] of each test; the matrices stay the caller's. */
VRW_EXPORT VRWTestRestrictions_s *vrw_init_restrictions(int64_t variable_count,
                                                        int64_t test_count);
VRW_EXPORT void vrw_free_restrictions(VRWTestRestrictions_s *restrictions);

/*
** Wald statistics of R b = r for every test into statistics (and their
** degrees of freedom, when given). variance is dimension x dimension, upper
** triangle read; with constraints (variable_count values, NaN = estimated) it
** is the variance of the estimated coefficients only, and restrictions on
** fixed coefficients alone are dropped. A test without rows left, or whose
** R V R' cannot be inverted, gets NaN and 0. Returns 0, or -6 when memory
** runs out (later tests then stay unwritten). The caller's r is not changed.
*/
VRW_EXPORT VRWStatus vrw_wald_test(const double *variance, int64_t dimension,
                                   const double *estimates, const double *constraints,
                                   const VRWTestRestrictions_s *restrictions, double *statistics,
                                   int64_t *degrees_of_freedom);

/* ------------------------------------------------------ Newton iteration */

/* A host step of the iteration; non-zero stops it with that status. */
typedef VRWStatus (*VRWIterationCallback)(VRWContext_s *context, VRWMleBuffers_s *buffers,
                                          void *data);
typedef struct VRWIterationCallback_s {
    VRWIterationCallback callback;
    void *data;
} VRWIterationCallback_s;

/*
** The runs and callbacks a fit hands to vrw_iterate_mle, in the order they
** run: initial runs once; every upload of estimates the pre-prefix
** callbacks, the prefix runs and the post-prefix callbacks; every iteration
** the Jacobian runs (they leave the gradient in jacobian), the Hessian runs
** (they add into the zeroed hessian; the eigen test reads its upper triangle
** and the inversion all of it), then after the step is on the device the
** step runs and the post-step callbacks; final runs once at the end. Arrays
** are malloc'ed and freed by vrw_iteration_ctx_free.
*/
typedef struct VRWIterationCtx_s {
    VRWKernelRun_s *initial_runs;
    unsigned long initial_run_count;
    VRWIterationCallback_s *pre_prefix_callbacks;
    unsigned long pre_prefix_callback_count;
    VRWKernelRun_s *prefix_runs;
    unsigned long prefix_run_count;
    VRWIterationCallback_s *post_prefix_callbacks;
    unsigned long post_prefix_callback_count;
    VRWKernelRun_s *jacobian_runs;
    unsigned long jacobian_run_count;
    VRWKernelRun_s *hessian_runs;
    unsigned long hessian_run_count;
    VRWKernelRun_s *step_runs;
    unsigned long step_run_count;
    VRWIterationCallback_s *post_step_callbacks;
    unsigned long post_step_callback_count;
    VRWKernelRun_s *final_runs;
    unsigned long final_run_count;
} VRWIterationCtx_s;

/* The fixed effects riding along a fit's iteration: the data of its
** callbacks. estimates is the host fixed-effect array (owned only when
** owns_estimates is set). */
typedef struct VRWFixedEffectsCtx_s {
    double *steps;
    double *estimates;
    int32_t owns_estimates;
} VRWFixedEffectsCtx_s;

/* A zeroed record with steps of step_count doubles, or NULL. */
VRW_EXPORT VRWFixedEffectsCtx_s *vrw_fixed_effects_ctx_init(void *ignored, int64_t step_count);
VRW_EXPORT void vrw_fixed_effects_ctx_free(VRWFixedEffectsCtx_s *context);

/*
** Newton-Raphson on the free coefficients of buffers (constraints NaN =
** free). Starts at the constraint, else the guess (guesses may be NULL, a
** NaN guess is none), else 0. Each iteration: upload, prefix, gradient g and
** Hessian H (with reuse_hessian only in the first iteration: the five least-
** squares models), eigen test of H equilibrated (scaled to a diagonal near
** 1: an eigenvalue below 1e-10 in magnitude marks a multicollinear set and
** ends with 4000, a positive one with 3000), LU inverse (1000 + info), step b -= H^-1 g. Stops after 40 iterations or when
** g'H^-1 g changes by at most 1e-6 or the step is at most 1e-6 of the
** coefficients; 2000 when either measure is NaN. On success the final
** estimates are uploaded and the prefix and final runs run once more, and
** buffers->host_hessian holds H^-1. estimates (may be NULL) receives the
** coefficients in every case, multicollinear_sets (may be NULL) the set of
** each coefficient, log (may be NULL) the iteration log.
*/
VRW_EXPORT VRWStatus vrw_iterate_mle(VRWContext_s *context, VRWIterationCtx_s *iteration,
                                     VRWMleBuffers_s *buffers, const double *guesses,
                                     double *estimates, int reuse_hessian,
                                     int64_t *multicollinear_sets, VRWIterationLogWord *log);
VRW_EXPORT VRWStatus vrw_upload_estimates_and_run_prefix_kernels(VRWContext_s *context,
                                                                 VRWIterationCtx_s *iteration,
                                                                 VRWMleBuffers_s *buffers,
                                                                 const double *estimates);
/* Free the nine arrays and the record; the second first frees the fixed-
** effects context that is the data of the first pre-prefix callback. NULL is
** ignored. */
VRW_EXPORT void vrw_iteration_ctx_free(VRWIterationCtx_s *iteration);
VRW_EXPORT void vrw_iteration_ctx_fe_free(VRWIterationCtx_s *iteration);

/* ------------------------------------------------------ fixed effects */

/*
** Fixed effects ride along a fit's iteration: the host array of the
** fixed effects (choice_count x P, choice after choice) is the authority. The
** pre-prefix callback writes it to the device's fixed_effects before every
** prefix stage; the post-step callback reads equation_count x G steps of
** fe_delta into the context's steps and subtracts them, in order, from the
** entries whose fixed-effect constraint is NaN (the non-empty panels), so
** exactly G steps a equation are applied each iteration. Both return the
** status of their transfer; data is the VRWFixedEffectsCtx_s.
*/
VRW_EXPORT VRWStatus vrw_pre_iteration_fixed_effects_callback(VRWContext_s *context,
                                                              VRWMleBuffers_s *buffers,
                                                              void *data);
VRW_EXPORT VRWStatus vrw_post_iteration_fixed_effects_callback(VRWContext_s *context,
                                                               VRWMleBuffers_s *buffers,
                                                               void *data);

/* The workspace of the multinomial logit's inversion of its per-panel
** E x E blocks of the fixed-effect Hessian. */
typedef struct VRWFixedEffectsMlogitCtx_s {
    VRWMleBuffers_s *buffers;      /* not owned */
    double *blocks;                /* G x E x E */
    int *pivots;                   /* E x E */
    double *workspace;             /* dgetri_ workspace */
    int workspace_length;
} VRWFixedEffectsMlogitCtx_s;

/* NULL when an allocation fails (nothing then stays allocated). */
VRW_EXPORT VRWFixedEffectsMlogitCtx_s *vrw_fixed_effects_mlogit_ctx_init(VRWContext_s *context,
                                                                         VRWMleBuffers_s *buffers);
VRW_EXPORT void vrw_fixed_effects_mlogit_ctx_free(VRWFixedEffectsMlogitCtx_s *workspace);

/*
** The iteration of a single-equation fit with one effect a panel (the
** buffers made with P panels and G clusters): the fitted values with the
** panel effects, the model's prefix ("vrw_prefix_<model>_fe", else
** "vrw_prefix_<model>"), the per-panel sums of scores and weights, the panel
** means, the gradient and Hessian of the coefficients with the effects
** absorbed, the effects' steps and the two callbacks. fixed_effects (P
** doubles, the caller's) receives the start values: the constraint where it
** is a number, else the guess (guesses may be NULL; a NaN guess is used as
** it stands), else 0; it holds the estimates after vrw_iterate_mle. NULL
** with -46 when a kernel is missing, -6 when memory runs out, or the status
** of the fitted-value run. Free with vrw_iteration_ctx_fe_free.
*/
VRW_EXPORT VRWIterationCtx_s *vrw_iteration_ctx_init_fe(
    VRWContext_s *context, const char *model, const VRWMatrixBuffer_s *matrix,
    const VRWVectorBuffer_s *frequency_weights, const VRWVectorBuffer_s *analytic_weights,
    const VRWVectorBuffer_s *exposures, VRWMleBuffers_s *buffers, const double *guesses,
    double *fixed_effects, int32_t dependent, int32_t *status, double value);

/* ------------------------------------------- instrumental variables */

/*
** The linear model with instruments by the generalised method of moments:
** with W the caller's weighting_matrix (L x L) or the inverse of the
** instruments' second moments (two-stage least squares), the coefficients
** minimise m' W m, m = sum f z (y - x b). out_coefficients and
** out_standard_errors must be registered. out_objective_function receives
** m' W m / N^2 (N the total frequency weight); the standard errors are the
** variance's (plain RSS (Q W Q')^-1, robust or clustered by panel sandwich)
** times N / (N - k) with option 1. Returns 1000 + info when the instruments'
** moments or the normal matrix cannot be inverted.
*/
VRW_EXPORT VRWStatus vrw_instrument_linear(VRWRegression_s *r, VRWIterationLogWord *log);

/* Newton steps on m' W m from the guesses (NULL or NaN: 0) into estimates
** (k); stops as vrw_iterate_mle does, without its eigen and NaN tests. With
** reuse the cross products and the normal matrix are computed once. The
** objective (may be NULL) is taken at the last iteration's moments, and
** host_hessian holds (Q W Q')^-1 afterwards. */
VRW_EXPORT VRWStatus vrw_iterate_gmm(VRWContext_s *context, VRWIterationCtx_s *iteration,
                                     VRWGmmBuffers_s *buffers, const double *guesses,
                                     double *estimates, double *objective, int reuse,
                                     const double *weighting_matrix, VRWIterationLogWord *log);

/* The k x k variance after vrw_iterate_gmm as a new array the caller frees,
** or NULL with -6: clustered by every panel of the matrix (option 8; times
** G / (G - 1) with option 2), robust (option 4), else RSS (Q W Q')^-1 for
** the least-squares model names. The residual sum of squares (NaN unless
** plain) and the observation count are written where asked for. */
VRW_EXPORT double *vrw_estimate_asymptotic_variance_gmm(
    VRWContext_s *context, const char *model, const VRWMatrixBuffer_s *matrix,
    const VRWVectorBuffer_s *weights, VRWGmmBuffers_s *buffers, uint32_t options,
    double *residual_sum_of_squares, int64_t *observation_count, int32_t *status);

/* ------------------------------------------- kernel-argument setters */

/* Each clears the run's arguments and appends the kernel's arguments in the
** order its kernel declares them; the caller sets kernel and size and
** appends any model extras. */
VRW_EXPORT void vrw_set_mle_prefix_kernel_args(VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix,
                                               const VRWMleBuffers_s *buffers, int32_t dependent);
VRW_EXPORT void vrw_set_mle_jacobian_kernel_args(VRWKernelRun_s *run,
                                                 const VRWMatrixBuffer_s *matrix,
                                                 const VRWVectorBuffer_s *weights,
                                                 const VRWMleBuffers_s *buffers);
VRW_EXPORT void vrw_set_mle_hessian_kernel_args(VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix,
                                                const VRWVectorBuffer_s *weights,
                                                const VRWMleBuffers_s *buffers);
VRW_EXPORT void vrw_set_mle_robust_kernel_args(VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix,
                                               const VRWVectorBuffer_s *weights,
                                               const VRWMleBuffers_s *buffers);
VRW_EXPORT void vrw_set_mle_cluster_pass1_kernel_args(VRWKernelRun_s *run,
                                                      const VRWMatrixBuffer_s *matrix,
                                                      const VRWVectorBuffer_s *weights,
                                                      const VRWMleBuffers_s *buffers);
VRW_EXPORT void vrw_set_mle_cluster_pass2_kernel_args(VRWKernelRun_s *run,
                                                      const VRWMleBuffers_s *buffers);
VRW_EXPORT void vrw_set_mle_log_likelihood_kernel_args(VRWKernelRun_s *run,
                                                       const VRWMatrixBuffer_s *matrix,
                                                       int32_t dependent,
                                                       const VRWMleBuffers_s *buffers);
VRW_EXPORT void vrw_set_mle_negative_binomial_prefix_kernel_args(
    VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix, int32_t dependent,
    const VRWMleBuffers_s *buffers, const VRWNegbin2Buffers_s *negbin2);
VRW_EXPORT void vrw_set_mle_negative_binomial_jacobian_nuisance_kernel_args(
    VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    const VRWMleBuffers_s *buffers, const VRWNegbin2Buffers_s *negbin2, int32_t nuisance);
VRW_EXPORT void vrw_set_mle_negative_binomial_hessian_cross_kernel_args(
    VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    const VRWMleBuffers_s *buffers, const VRWNegbin2Buffers_s *negbin2, int32_t nuisance);
/* shaped 1: theta's entry is the curvature of the iteration's bounded step
** on log theta; 0: its observed second derivative (the variance's). */
VRW_EXPORT void vrw_set_mle_negative_binomial_hessian_nuisance_kernel_args(
    VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    const VRWMleBuffers_s *buffers, const VRWNegbin2Buffers_s *negbin2, int32_t nuisance,
    int32_t shaped);
VRW_EXPORT void vrw_set_mle_negative_binomial_robust_kernel_args(
    VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    const VRWMleBuffers_s *buffers, const VRWNegbin2Buffers_s *negbin2, int32_t nuisance);
VRW_EXPORT void vrw_set_mle_ordered_choice_prefix_kernel_args(
    VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix, int32_t dependent,
    const VRWOrderedChoiceBuffers_s *ordered, const VRWMleBuffers_s *buffers);
VRW_EXPORT void vrw_set_mle_ordered_choice_jacobian_nuisance_kernel_args(
    VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    const VRWMleBuffers_s *buffers, int32_t dependent, const VRWOrderedChoiceBuffers_s *ordered,
    int32_t free_regressors);
VRW_EXPORT void vrw_set_mle_ordered_choice_hessian_diagonal_nuisance_kernel_args(
    VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    const VRWMleBuffers_s *buffers, const VRWOrderedChoiceBuffers_s *ordered, int32_t dependent,
    int32_t free_regressors);
VRW_EXPORT void vrw_set_mle_ordered_choice_hessian_offdiagonal_nuisance_kernel_args(
    VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    const VRWMleBuffers_s *buffers, const VRWOrderedChoiceBuffers_s *ordered, int32_t dependent,
    int32_t free_regressors);
VRW_EXPORT void vrw_set_mle_ordered_choice_hessian_cross_kernel_args(
    VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    const VRWMleBuffers_s *buffers, const VRWOrderedChoiceBuffers_s *ordered, int32_t dependent,
    int32_t free_regressors);
VRW_EXPORT void vrw_set_mle_ordered_choice_robust_kernel_args(
    VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    const VRWMleBuffers_s *buffers, const VRWOrderedChoiceBuffers_s *ordered, int32_t dependent,
    int32_t free_regressors);
VRW_EXPORT void vrw_set_mle_multinomial_logit_prefix_kernel_args(VRWKernelRun_s *run,
                                                                 const VRWMatrixBuffer_s *matrix,
                                                                 const VRWMleBuffers_s *buffers,
                                                                 int32_t dependent,
                                                                 int32_t choice_count);
VRW_EXPORT void vrw_set_mle_cox_censoring_kernel_args(VRWKernelRun_s *run,
                                                      const VRWVectorBuffer_s *causes,
                                                      cl_mem censoring,
                                                      const VRWCoxBuffers_s *cox,
                                                      double cause_value);
VRW_EXPORT void vrw_set_mle_cox_log_likelihood_kernel_args(VRWKernelRun_s *run,
                                                           const VRWMleBuffers_s *buffers,
                                                           const VRWCoxBuffers_s *cox);
VRW_EXPORT void vrw_set_mle_cox_prefix_kernel_args(VRWKernelRun_s *run,
                                                   const VRWMleBuffers_s *buffers,
                                                   const VRWCoxBuffers_s *cox);
VRW_EXPORT void vrw_set_mle_cox_accumulate_prefix_kernel_args(VRWKernelRun_s *run,
                                                              const VRWCoxBuffers_s *cox);
VRW_EXPORT void vrw_set_mle_cox_work_kernel_args(VRWKernelRun_s *run,
                                                 const VRWMatrixBuffer_s *matrix,
                                                 const VRWMleBuffers_s *buffers,
                                                 const VRWCoxBuffers_s *cox);
VRW_EXPORT void vrw_set_mle_cox_jacobian_kernel_args(VRWKernelRun_s *run,
                                                     const VRWMleBuffers_s *buffers,
                                                     const VRWCoxBuffers_s *cox);
VRW_EXPORT void vrw_set_mle_cox_hessian_kernel_args(VRWKernelRun_s *run,
                                                    const VRWMleBuffers_s *buffers,
                                                    const VRWCoxBuffers_s *cox);
VRW_EXPORT void vrw_set_mle_cox_accumulate_hazards_kernel_args(VRWKernelRun_s *run,
                                                               const VRWMleBuffers_s *buffers,
                                                               const VRWCoxBuffers_s *cox);

/*
** The fixed-effects kernels. Per-panel arrays of the coefficients
** (fe_cross_solved, fe_cross_hessian) hold coefficient i of cluster g at
** i x G + g. Each setter clears the run's list; the callers set kernel and
** size.
*/
/* "vrw_compute_fixed_effects_prefix_sum" (G): the per-cluster sum of f x input. */
VRW_EXPORT void vrw_set_mle_fe_sum_kernel_args(VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix,
                                               const VRWVectorBuffer_s *weights,
                                               const VRWMleBuffers_s *buffers, cl_mem input,
                                               cl_mem output);
/* "vrw_compute_fixed_effects_mean" (k x G). */
VRW_EXPORT void vrw_set_mle_fe_mean_kernel_args(VRWKernelRun_s *run,
                                                const VRWMatrixBuffer_s *matrix,
                                                const VRWVectorBuffer_s *weights,
                                                const VRWMleBuffers_s *buffers);
/* "vrw_compute_fixed_effects_jacobian" (k). */
VRW_EXPORT void vrw_set_mle_fe_jacobian_kernel_args(VRWKernelRun_s *run,
                                                    const VRWMatrixBuffer_s *matrix,
                                                    const VRWVectorBuffer_s *weights,
                                                    const VRWMleBuffers_s *buffers);
/* "vrw_compute_fixed_effects_hessian" (k x k). */
VRW_EXPORT void vrw_set_mle_fe_hessian_kernel_args(VRWKernelRun_s *run,
                                                   const VRWMatrixBuffer_s *matrix,
                                                   const VRWVectorBuffer_s *weights,
                                                   const VRWMleBuffers_s *buffers);
/* "vrw_compute_fixed_effects_opg_robust" (k x k): the robust outer product
** of a single-equation fit with the effects absorbed. */
VRW_EXPORT void vrw_set_mle_fe_robust_kernel_args(VRWKernelRun_s *run,
                                                  const VRWMatrixBuffer_s *matrix,
                                                  const VRWVectorBuffer_s *weights,
                                                  const VRWMleBuffers_s *buffers);
/* "vrw_compute_fixed_effects_delta" (G). */
VRW_EXPORT void vrw_set_mle_fe_delta_kernel_args(VRWKernelRun_s *run,
                                                 const VRWMleBuffers_s *buffers);
/* "vrw_compute_fixed_effects_delta_jacobian" (n) and
** "vrw_compute_fixed_effects_delta_hessian" (n x n): the absorbed part taken
** out of a gradient and Hessian summed without the effects. */
VRW_EXPORT void vrw_set_mle_fe_delta_jacobian_kernel_args(VRWKernelRun_s *run,
                                                          const VRWMleBuffers_s *buffers);
VRW_EXPORT void vrw_set_mle_fe_delta_hessian_kernel_args(VRWKernelRun_s *run,
                                                         const VRWMleBuffers_s *buffers);
VRW_EXPORT void vrw_set_mle_fe_log_likelihood_kernel_args(VRWKernelRun_s *run,
                                                          const VRWMatrixBuffer_s *matrix,
                                                          int32_t dependent,
                                                          const VRWMleBuffers_s *buffers);
VRW_EXPORT void vrw_set_mle_fe_mlogit_hessian_diagonal_kernel_args(
    VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    const VRWMleBuffers_s *buffers);
VRW_EXPORT void vrw_set_mle_fe_mlogit_hessian_cross_kernel_args(
    VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    const VRWMleBuffers_s *buffers);
VRW_EXPORT void vrw_set_mle_fe_mlogit_hessian_multiply_cross_by_diagonal_kernel_args(
    VRWKernelRun_s *run, const VRWMleBuffers_s *buffers);
VRW_EXPORT void vrw_set_mle_fe_mlogit_delta_hessian_kernel_args(VRWKernelRun_s *run,
                                                                const VRWMleBuffers_s *buffers);
VRW_EXPORT void vrw_set_mle_fe_mlogit_delta_jacobian_kernel_args(VRWKernelRun_s *run,
                                                                 const VRWMleBuffers_s *buffers);
VRW_EXPORT void vrw_set_mle_fe_mlogit_delta_kernel_args(VRWKernelRun_s *run,
                                                        const VRWMleBuffers_s *buffers);
/* "vrw_compute_fixed_effects_nuisance_cross_hessian_negbin2" (G): the
** nuisance parameter's entries (index nuisance) of the per-panel arrays. */
VRW_EXPORT void vrw_set_mle_fe_negative_binomial_hessian_cross_kernel_args(
    VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    const VRWMleBuffers_s *buffers, const VRWNegbin2Buffers_s *negbin2, int32_t nuisance);
/* "vrw_compute_fixed_effects_nuisance_cross_hessian_ordered_choice" (m x G):
** the free cut points' entries, from index free_regressors on. */
VRW_EXPORT void vrw_set_mle_fe_ordered_choice_hessian_cross_kernel_args(
    VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    const VRWMleBuffers_s *buffers, const VRWOrderedChoiceBuffers_s *ordered, int32_t dependent,
    int32_t free_regressors);
/* The robust outer products of the nuisance parameters with one effect a
** panel, each row's scores with the effects' part taken out:
** "vrw_compute_fixed_effects_cross_opg_robust_negbin2" (free regressors) and
** "vrw_compute_fixed_effects_nuisance_opg_robust_negbin2" (1); the ordered
** fits' "vrw_compute_fixed_effects_cross_opg_robust_ordered_choice"
** ((n - m) x m), "..._diagonal_nuisance_..." (m) and
** "..._offdiagonal_nuisance_..." (m - 1). */
VRW_EXPORT void vrw_set_mle_fe_negative_binomial_robust_kernel_args(
    VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    const VRWMleBuffers_s *buffers, const VRWNegbin2Buffers_s *negbin2, int32_t nuisance);
VRW_EXPORT void vrw_set_mle_fe_ordered_choice_robust_kernel_args(
    VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    const VRWMleBuffers_s *buffers, const VRWOrderedChoiceBuffers_s *ordered, int32_t dependent,
    int32_t free_regressors);
VRW_EXPORT void vrw_set_mle_fe_cox_censoring_kernel_args(VRWKernelRun_s *run,
                                                         const VRWVectorBuffer_s *causes,
                                                         cl_mem censoring,
                                                         const VRWCoxBuffers_s *cox,
                                                         double cause_value);
VRW_EXPORT void vrw_set_mle_fe_cox_prefix_kernel_args(VRWKernelRun_s *run,
                                                      const VRWMleBuffers_s *buffers,
                                                      const VRWCoxBuffers_s *cox);
VRW_EXPORT void vrw_set_mle_fe_cox_accumulate_prefix_kernel_args(VRWKernelRun_s *run,
                                                                 const VRWCoxBuffers_s *cox);
VRW_EXPORT void vrw_set_mle_fe_cox_work_kernel_args(VRWKernelRun_s *run,
                                                    const VRWMatrixBuffer_s *matrix,
                                                    const VRWMleBuffers_s *buffers,
                                                    const VRWCoxBuffers_s *cox);
VRW_EXPORT void vrw_set_mle_fe_cox_jacobian_nuisance_kernel_args(VRWKernelRun_s *run,
                                                                 const VRWMleBuffers_s *buffers,
                                                                 const VRWCoxBuffers_s *cox);
VRW_EXPORT void vrw_set_mle_fe_cox_hessian_cross_kernel_args(VRWKernelRun_s *run,
                                                             const VRWMleBuffers_s *buffers,
                                                             const VRWCoxBuffers_s *cox);
VRW_EXPORT void vrw_set_mle_fe_cox_hessian_nuisance_kernel_args(VRWKernelRun_s *run,
                                                                const VRWMleBuffers_s *buffers,
                                                                const VRWCoxBuffers_s *cox);

/* The instrumental-variables (GMM) kernels; each setter clears the run's
** list. Moments "vrw_compute_jacobian" (L), cross products
** "vrw_compute_hessian_gmm_prefix" (k x L; the fit appends
** instrument_columns), the instruments' second moments
** "vrw_compute_covariance" (L x L), outer products "vrw_compute_opg_robust"
** (L x L) and the per-panel instrument scores
** "vrw_compute_opg_cluster_pass1_gmm" (L) with "vrw_compute_opg_cluster_pass2"
** (L x L). */
VRW_EXPORT void vrw_set_gmm_prefix_kernel_args(VRWKernelRun_s *run,
                                               const VRWMatrixBuffer_s *matrix,
                                               const VRWGmmBuffers_s *buffers, int32_t dependent);
VRW_EXPORT void vrw_set_gmm_moment_kernel_args(VRWKernelRun_s *run,
                                               const VRWMatrixBuffer_s *matrix,
                                               const VRWVectorBuffer_s *weights,
                                               const VRWGmmBuffers_s *buffers);
VRW_EXPORT void vrw_set_gmm_hessian_kernel_args(VRWKernelRun_s *run,
                                                const VRWMatrixBuffer_s *matrix,
                                                const VRWVectorBuffer_s *weights,
                                                const VRWGmmBuffers_s *buffers);
VRW_EXPORT void vrw_set_gmm_covariance_kernel_args(VRWKernelRun_s *run,
                                                   const VRWMatrixBuffer_s *matrix,
                                                   const VRWVectorBuffer_s *weights,
                                                   const VRWGmmBuffers_s *buffers, cl_mem output);
VRW_EXPORT void vrw_set_gmm_robust_kernel_args(VRWKernelRun_s *run,
                                               const VRWMatrixBuffer_s *matrix,
                                               const VRWVectorBuffer_s *weights,
                                               const VRWGmmBuffers_s *buffers);
VRW_EXPORT void vrw_set_gmm_cluster_pass1_kernel_args(VRWKernelRun_s *run,
                                                      const VRWMatrixBuffer_s *matrix,
                                                      const VRWVectorBuffer_s *weights,
                                                      const VRWGmmBuffers_s *buffers,
                                                      cl_mem output);
VRW_EXPORT void vrw_set_gmm_cluster_pass2_kernel_args(VRWKernelRun_s *run,
                                                      const VRWGmmBuffers_s *buffers,
                                                      cl_mem input, int32_t cluster_count);

#ifdef __cplusplus
}
#endif

#endif
