/* Multinomial logit: one set of coefficients a choice with rows, the base
** choice's held at 0, in one Newton iteration; with fixed effects one effect
** a choice but the base and a panel, eliminated from the Newton system panel
** by panel. Choices without rows are left out of the fit and come back in
** the outputs with fill values. */
#include "varrow/vrw_fit_internal.h"
#include "varrow/vrw_kernel_names.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

#define MODEL "multinomial_logit"

/* Everything one fit makes, released on every path. J choices of which J'
** have rows (choice-major coefficients, J' x k of them in the fit), base b
** among those J'. */
typedef struct {
    VRWRegression_s *r;
    VRWContext_s *context;
    int64_t k, j, present_count, base, panels, constant;
    double *counts, *values;
    int32_t *present;
    VRWFitScratch_s s;             /* constraints and guesses J' x k (guesses may be
                                      NULL), estimates when the caller takes none */
    double *effect_constraints;    /* J' x P */
    double *fixed_effects;         /* J' x P, the iteration's host copy */
    VRWFixedEffectsMlogitCtx_s *blocks;
    double *all_constraints;       /* J x k */
} MlogitFit;

static void release_mlogit(MlogitFit *f)
{
    free(f->counts);
    free(f->values);
    free(f->present);
    vrw_release_fit_scratch(&f->s);
    free(f->effect_constraints);
    free(f->fixed_effects);
    vrw_fixed_effects_mlogit_ctx_free(f->blocks);
    free(f->all_constraints);
}

static const VRWVectorBuffer_s *frequency(const MlogitFit *f)
{
    return f->r->frequency_weights;
}

static int64_t equations(const MlogitFit *f)
{
    return f->present_count - 1;
}

/* The choices that rows of positive weight take, compacted in order, and
** the base among them. The kernels match a row's value to the present
** choices exactly and fit a row that matches none as the base, so every row
** of positive weight must hold one of the choices, and no choice be listed
** twice: 5000 when not. */
static VRWStatus find_choices(MlogitFit *f)
{
    VRWRegression_s *r = f->r;
    if (f->j < 1)
        return VRW_TOO_FEW_CATEGORIES;
    size_t j = (size_t)f->j;
    f->present = calloc(j, sizeof(int32_t));
    f->counts = malloc(j * sizeof(double));
    f->values = malloc(j * sizeof(double));
    if (!f->present || !f->counts || !f->values)
        return VRW_OUT_OF_HOST_MEMORY;
    for (size_t c = 0; c < j; c++)
        f->values[c] = r->dependent_values ? r->dependent_values[c] : (double)c;
    VRWStatus status = vrw_count_these_values_in_this_column(
        f->context, r->data, frequency(f), r->data->data, f->values, (int32_t)j,
        r->dependent_column, f->counts);
    if (status != VRW_SUCCESS)
        return status;
    for (size_t c = 0; c < j; c++) {
        if (!(f->counts[c] > 0))
            continue;
        f->present[c] = 1;
        f->values[f->present_count] = f->values[c];
        if (f->values[c] == r->omitted_dependent_value)
            f->base = f->present_count;
        f->present_count++;
    }
    if (f->present_count < 2)
        return VRW_TOO_FEW_CATEGORIES;
    return vrw_values_cover_the_rows(f->context, frequency(f), f->counts, f->j);
}

/* The present choices' rows of an array of J rows of n values, or NaN when
** the caller gave none; the base's row then 0. */
static double *present_rows(const MlogitFit *f, const double *rows, int64_t n)
{
    size_t all = vrw_count_of(f->present_count) * vrw_count_of(n);
    double *out = malloc(all * sizeof(double) + 1);
    if (!out)
        return NULL;
    if (rows)
        collapse_double_buffer2(out, rows, n, f->j, f->present);
    else
        for (size_t i = 0; i < all; i++)
            out[i] = NAN;
    for (int64_t i = 0; i < n; i++)
        out[f->base * n + i] = 0.0;
    return out;
}

static VRWStatus coefficient_starts(MlogitFit *f)
{
    VRWRegression_s *r = f->r;
    f->s.constraints = present_rows(f, r->constraints, f->k);
    if (!f->s.constraints)
        return VRW_OUT_OF_HOST_MEMORY;
    if (f->panels > 0) {
        f->effect_constraints = present_rows(f, r->fixed_effect_constraints, f->panels);
        if (!f->effect_constraints)
            return VRW_OUT_OF_HOST_MEMORY;
    }
    if (r->coefficient_guesses) {
        f->s.guesses = malloc(vrw_count_of(f->present_count * f->k) * sizeof(double) + 1);
        if (!f->s.guesses)
            return VRW_OUT_OF_HOST_MEMORY;
        collapse_double_buffer2(f->s.guesses, r->coefficient_guesses, f->k, f->j, f->present);
    }
    return VRW_SUCCESS;
}

/* The work buffers for the J' present choices, and each equation's choice
** (the base skipped). */
static VRWStatus make_buffers(MlogitFit *f)
{
    VRWRegression_s *r = f->r;
    int32_t status = VRW_SUCCESS;
    f->s.buffers = vrw_create_mle_buffers(
        f->context, r->independent_columns, f->k, f->s.constraints, f->present_count * f->k,
        f->effect_constraints, f->panels, r->nonempty_panels, r->nonempty_panel_count,
        (r->options & VRW_OPTION_CLUSTER) != 0, f->present_count, f->values, f->present_count,
        r->data->blocks, &status);
    if (!f->s.buffers)
        return status;
    size_t e = vrw_count_of(equations(f));
    int32_t *choices = malloc(e * sizeof(int32_t) + 1);
    if (!choices)
        return VRW_OUT_OF_HOST_MEMORY;
    for (size_t i = 0; i < e; i++)
        choices[i] = (int32_t)((int64_t)i < f->base ? i : i + 1);
    f->s.buffers->equation_choices = vrw_make_int_buffer(f->context, e, choices, &status);
    free(choices);
    return status;
}

/*
** Inverts each panel's E x E block of the effects' Hessian in place between
** two kernel runs: 1000 + the LAPACK info of the first block that cannot be
** inverted (the later ones left as they are), a transfer's status, else 0.
*/
static VRWStatus vrw_invert_fixed_effect_hessian_diagonal_blocks_callback(VRWContext_s *context,
                                                                         void *data)
{
    VRWFixedEffectsMlogitCtx_s *w = data;
    int e = (int)w->buffers->equation_count;
    size_t block = (size_t)e * (size_t)e, blocks = vrw_count_of(w->buffers->cluster_count);
    VRWStatus status = vrw_read_fp_buffer(context, w->buffers->fe_hessian, blocks * block,
                                          w->blocks);
    if (status != VRW_SUCCESS)
        return status;
    for (size_t g = 0; g < blocks; g++) {
        int info = vrw_invert_matrix(w->blocks + g * block, e, w->pivots, w->workspace,
                                     w->workspace_length);
        if (info != 0)
            return VRW_HESSIAN_NOT_INVERTIBLE + info;
    }
    return vrw_write_fp_buffer(context, w->buffers->fe_hessian, blocks * block, w->blocks);
}

static cl_kernel find(const MlogitFit *f, VRWKernelName name)
{
    return vrw_kernel(f->context, name);
}

/* The effects' runs of the prefix stage: their Hessian blocks (inverted on
** the host), the cross derivatives, those solved by the blocks, and the
** effects' gradient. */
static VRWStatus effect_prefix_runs(MlogitFit *f, VRWKernelRun_s *run)
{
    const VRWMatrixBuffer_s *m = f->r->data;
    VRWMleBuffers_s *b = f->s.buffers;
    size_t e = vrw_count_of(equations(f)), g = vrw_count_of(b->cluster_count);
    size_t n = vrw_count_of(b->free_count);
    run[0].kernel = find(f, VRWK_COMPUTE_FIXED_EFFECTS_DIAGONAL_HESSIAN_MULTINOMIAL_LOGIT);
    vrw_set_kernel_dim3(&run[0], e, e, g);
    vrw_set_mle_fe_mlogit_hessian_diagonal_kernel_args(&run[0], m, frequency(f), b);
    f->blocks = vrw_fixed_effects_mlogit_ctx_init(f->context, b);
    if (!f->blocks)
        return VRW_OUT_OF_HOST_MEMORY;
    run[0].post_run = vrw_invert_fixed_effect_hessian_diagonal_blocks_callback;
    run[0].post_run_data = f->blocks;
    run[1].kernel = find(f, VRWK_COMPUTE_FIXED_EFFECTS_CROSS_HESSIAN_MULTINOMIAL_LOGIT);
    vrw_set_kernel_dim3(&run[1], n, e, g);
    vrw_set_mle_fe_mlogit_hessian_cross_kernel_args(&run[1], m, frequency(f), b);
    run[2].kernel =
        find(f, VRWK_COMPUTE_FIXED_EFFECTS_MULTIPLY_CROSS_BY_DIAGONAL_MULTINOMIAL_LOGIT);
    vrw_set_kernel_dim2(&run[2], n, g);
    vrw_set_mle_fe_mlogit_hessian_multiply_cross_by_diagonal_kernel_args(&run[2], b);
    run[3].kernel = find(f, VRWK_COMPUTE_FIXED_EFFECTS_JACOBIAN_PREFIX_SUM_MULTINOMIAL_LOGIT);
    vrw_set_kernel_dim2(&run[3], g, e);
    vrw_set_mle_fe_sum_kernel_args(&run[3], m, frequency(f), b, b->scores, b->fe_jacobian);
    vrw_set_kernel_arg_int(&run[3], (int32_t)b->choice_count);
    vrw_set_kernel_arg_mem(&run[3], b->equation_choices);
    for (int i = 0; i < 4; i++)
        if (!run[i].kernel)
            return VRW_KERNEL_NOT_LOADED;
    return VRW_SUCCESS;
}

static VRWStatus prefix_runs(MlogitFit *f)
{
    VRWIterationCtx_s *it = f->s.iteration;
    const VRWMatrixBuffer_s *m = f->r->data;
    VRWMleBuffers_s *b = f->s.buffers;
    bool effects = f->panels > 0;
    it->prefix_runs = vrw_new_runs(effects ? 5 : 1, &it->prefix_run_count);
    if (!it->prefix_runs)
        return VRW_OUT_OF_HOST_MEMORY;
    VRWKernelRun_s *run = it->prefix_runs;
    run->kernel = effects ? vrw_find_prefix_fe_kernel(f->context, MODEL)
                          : vrw_find_prefix_kernel(f->context, MODEL);
    if (!run->kernel)
        return VRW_KERNEL_NOT_LOADED;
    vrw_set_kernel_dim1(run, vrw_count_of(m->blocks));
    vrw_set_mle_multinomial_logit_prefix_kernel_args(run, m, b, f->r->dependent_column,
                                                     (int32_t)f->present_count);
    if (!effects)
        return VRW_SUCCESS;
    vrw_set_kernel_arg_mem(run, b->fixed_effects);
    vrw_set_kernel_arg_mem(run, m->quad_panels);
    vrw_set_kernel_arg_int(run, m->panel_count);
    return effect_prefix_runs(f, run + 1);
}

/* The gradient and Hessian of the coefficients, with fixed effects less the
** eliminated effects' part. */
static VRWStatus derivative_runs(MlogitFit *f)
{
    VRWIterationCtx_s *it = f->s.iteration;
    const VRWMatrixBuffer_s *m = f->r->data;
    VRWMleBuffers_s *b = f->s.buffers;
    bool effects = f->panels > 0;
    size_t n = vrw_count_of(b->free_count);
    int32_t choices = (int32_t)f->present_count;
    it->jacobian_runs = vrw_new_runs(effects ? 2 : 1, &it->jacobian_run_count);
    it->hessian_runs = vrw_new_runs(effects ? 2 : 1, &it->hessian_run_count);
    if (!it->jacobian_runs || !it->hessian_runs)
        return VRW_OUT_OF_HOST_MEMORY;
    VRWKernelRun_s *jacobian = it->jacobian_runs, *hessian = it->hessian_runs;
    jacobian[0].kernel = vrw_find_jacobian_kernel(f->context, MODEL);
    vrw_set_kernel_dim1(&jacobian[0], n);
    vrw_set_mle_jacobian_kernel_args(&jacobian[0], m, frequency(f), b);
    vrw_set_kernel_arg_mem(&jacobian[0], b->free_equations);
    vrw_set_kernel_arg_int(&jacobian[0], choices);
    hessian[0].kernel = vrw_find_hessian_kernel(f->context, MODEL);
    vrw_set_kernel_dim2(&hessian[0], n, n);
    vrw_set_mle_hessian_kernel_args(&hessian[0], m, frequency(f), b);
    vrw_set_kernel_arg_mem(&hessian[0], b->free_equations);
    vrw_set_kernel_arg_int(&hessian[0], choices);
    if (!jacobian[0].kernel || !hessian[0].kernel)
        return VRW_KERNEL_NOT_LOADED;
    if (!effects)
        return VRW_SUCCESS;
    jacobian[1].kernel = find(f, VRWK_COMPUTE_FIXED_EFFECTS_DELTA_JACOBIAN_MULTINOMIAL_LOGIT);
    vrw_set_kernel_dim1(&jacobian[1], n);
    vrw_set_mle_fe_mlogit_delta_jacobian_kernel_args(&jacobian[1], b);
    hessian[1].kernel = find(f, VRWK_COMPUTE_FIXED_EFFECTS_DELTA_HESSIAN_MULTINOMIAL_LOGIT);
    vrw_set_kernel_dim2(&hessian[1], n, n);
    vrw_set_mle_fe_mlogit_delta_hessian_kernel_args(&hessian[1], b);
    return jacobian[1].kernel && hessian[1].kernel ? VRW_SUCCESS : VRW_KERNEL_NOT_LOADED;
}

/* The effects' step after the coefficients' and the callbacks that carry
** the effects of the present choices between host and device. */
static VRWStatus attach_effects(MlogitFit *f)
{
    VRWRegression_s *r = f->r;
    VRWIterationCtx_s *it = f->s.iteration;
    VRWMleBuffers_s *b = f->s.buffers;
    it->step_runs = vrw_new_runs(1, &it->step_run_count);
    if (!it->step_runs)
        return VRW_OUT_OF_HOST_MEMORY;
    it->step_runs[0].kernel = find(f, VRWK_COMPUTE_FIXED_EFFECTS_DELTA_MULTINOMIAL_LOGIT);
    if (!it->step_runs[0].kernel)
        return VRW_KERNEL_NOT_LOADED;
    vrw_set_kernel_dim1(&it->step_runs[0], vrw_count_of(b->cluster_count));
    vrw_set_mle_fe_mlogit_delta_kernel_args(&it->step_runs[0], b);
    size_t effects = vrw_count_of(f->present_count * f->panels);
    f->fixed_effects = malloc(effects * sizeof(double) + 1);
    double *guesses = r->fixed_effect_guesses ? malloc(effects * sizeof(double) + 1) : NULL;
    VRWStatus status = VRW_OUT_OF_HOST_MEMORY;
    if (f->fixed_effects && (guesses || !r->fixed_effect_guesses)) {
        if (guesses)
            collapse_double_buffer2(guesses, r->fixed_effect_guesses, f->panels, f->j,
                                    f->present);
        status = vrw_attach_fixed_effects(it, b, guesses, f->fixed_effects);
    }
    free(guesses);
    return status;
}

static VRWStatus mlogit_iteration(MlogitFit *f)
{
    f->s.iteration = calloc(1, sizeof *f->s.iteration);
    if (!f->s.iteration)
        return VRW_OUT_OF_HOST_MEMORY;
    VRWStatus status = prefix_runs(f);
    if (status == VRW_SUCCESS)
        status = derivative_runs(f);
    if (status == VRW_SUCCESS && f->panels > 0)
        status = attach_effects(f);
    return status;
}

/* The log likelihood of every row's choice, its sum and its sum by choice. */
static VRWStatus log_likelihood_runs(MlogitFit *f)
{
    const VRWRegression_s *r = f->r;
    int32_t status = VRW_SUCCESS;
    f->s.log_likelihood = vrw_log_likelihood_ctx_init(f->context, MODEL, r->data, frequency(f),
                                                    f->s.buffers, r->dependent_column, &status, 0);
    if (status != VRW_SUCCESS)
        return status;
    if (!f->s.log_likelihood)
        return VRW_KERNEL_NOT_LOADED;
    VRWKernelRun_s *run = &f->s.log_likelihood->per_choice_run;
    run->kernel = find(f, VRWK_SUM_LOG_LIKELIHOOD_PER_CHOICE);
    if (!run->kernel)
        return VRW_KERNEL_NOT_LOADED;
    vrw_set_kernel_dim1(run, vrw_count_of(f->present_count));
    vrw_set_kernel_arg_mem(run, f->s.buffers->row_choice_values);
    vrw_set_kernel_arg_mem(run, frequency(f)->data);
    vrw_set_kernel_arg_int(run, r->data->blocks);
    vrw_set_kernel_arg_mem(run, f->s.buffers->choice_sums);
    return VRW_SUCCESS;
}

/* The outer products of the rows' scores (with fixed effects less the
** effects' part) and their sums by cluster. */
static VRWStatus mlogit_inference(MlogitFit *f)
{
    const VRWMatrixBuffer_s *m = f->r->data;
    VRWMleBuffers_s *b = f->s.buffers;
    bool effects = f->panels > 0;
    cl_kernel robust = effects ? find(f, VRWK_COMPUTE_FIXED_EFFECTS_OPG_ROBUST_MULTINOMIAL_LOGIT)
                               : vrw_find_robust_kernel(f->context, MODEL);
    cl_kernel pass1 = vrw_find_cluster_pass1_kernel(f->context, MODEL);
    cl_kernel pass2 = vrw_find_cluster_pass2_kernel(f->context, MODEL);
    if (!robust || !pass1 || !pass2)
        return VRW_KERNEL_NOT_LOADED;
    f->s.inference = vrw_inference_ctx_make(1, 2, m, frequency(f), b);
    if (!f->s.inference)
        return VRW_OUT_OF_HOST_MEMORY;
    size_t n = vrw_count_of(b->free_count), g = vrw_count_of(b->cluster_count);
    int32_t choices = (int32_t)f->present_count;
    VRWKernelRun_s *run = &f->s.inference->robust_runs[0];
    run->kernel = robust;
    vrw_set_kernel_dim2(run, n, n);
    if (effects) {
        vrw_set_mle_fe_mlogit_robust_kernel_args(run, m, frequency(f), b);
    } else {
        vrw_set_mle_robust_kernel_args(run, m, frequency(f), b);
        vrw_set_kernel_arg_mem(run, b->free_equations);
        vrw_set_kernel_arg_int(run, choices);
    }
    run = &f->s.inference->cluster_runs[0];
    run->kernel = pass1;
    vrw_set_kernel_dim2(run, n, g);
    vrw_set_mle_cluster_pass1_kernel_args(run, m, frequency(f), b);
    vrw_set_kernel_arg_mem(run, b->free_equations);
    vrw_set_kernel_arg_int(run, choices);
    run = &f->s.inference->cluster_runs[1];
    run->kernel = pass2;
    vrw_set_kernel_dim2(run, n, n);
    vrw_set_mle_cluster_pass2_kernel_args(run, b);
    return VRW_SUCCESS;
}

/* The position of the constant among the regressors (the last one), or -1. */
static int64_t constant_position(const VRWRegression_s *r)
{
    int64_t at = -1;
    for (int64_t j = 0; j < r->independent_column_count; j++)
        if (r->independent_columns[j] == r->constant_column)
            at = j;
    return at;
}

/* Predicted chances and residuals of the J' choices, put back to J rows. */
static VRWStatus write_rows(MlogitFit *f)
{
    VRWRegression_s *r = f->r;
    int64_t n = r->data->observations;
    VRWStatus status = VRW_SUCCESS;
    if (r->out_predicted_values) {
        status = vrw_compute_predicted(f->context, MODEL, r->data, NULL, f->s.buffers,
                                       (int32_t)f->present_count, f->panels > 0,
                                       r->out_predicted_values);
        if (status != VRW_SUCCESS)
            return status;
        expand_double_buffer(r->out_predicted_values, n, f->j, f->present, NAN);
    }
    if (r->out_residuals) {
        status = vrw_read_vectorized_data_buffer(f->context, r->data, f->s.buffers->scores,
                                                 (int32_t)f->present_count, r->out_residuals);
        if (status != VRW_SUCCESS)
            return status;
        expand_double_buffer(r->out_residuals, n, f->j, f->present, NAN);
    }
    return VRW_SUCCESS;
}

/* An absent choice's coefficients, standard errors and effects. */
static void fill_absent_choices(MlogitFit *f, double *coefficients, double *errors)
{
    VRWRegression_s *r = f->r;
    bool constant = f->constant >= 0;
    if (coefficients) {
        expand_double_buffer(coefficients, f->k, f->j, f->present,
                             constant && f->panels == 0 ? NAN : 0.0);
        for (int64_t c = 0; constant && c < f->j; c++)
            if (!f->present[c])
                coefficients[c * f->k + f->constant] = -INFINITY;
    }
    if (errors)
        expand_double_buffer(errors, f->k, f->j, f->present, constant ? 0.0 : NAN);
    for (int64_t c = 0; r->out_fixed_effects && !constant && c < f->j; c++)
        for (int64_t p = 0; !f->present[c] && p < f->panels; p++)
            r->out_fixed_effects[c * f->panels + p] = -INFINITY;
}

static VRWStatus write_outputs(MlogitFit *f)
{
    VRWRegression_s *r = f->r;
    VRWMleBuffers_s *b = f->s.buffers;
    int32_t err = VRW_SUCCESS;
    int64_t observations = 0;
    f->s.variance = vrw_estimate_asymptotic_variance_mle(f->context, MODEL, f->s.inference,
                                                       r->dependent_column, r->options, NULL,
                                                       NULL, &observations, &err);
    if (!f->s.variance || err != VRW_SUCCESS)
        return err;
    int64_t n = b->free_count, all = f->j * f->k;
    VRWStatus status = vrw_write_choice_figures(r, f->s.log_likelihood, b, observations, f->j,
                                                f->counts, f->present, f->present_count);
    if (status != VRW_SUCCESS)
        return status;
    if (r->out_fixed_effects && f->panels > 0) {
        memcpy(r->out_fixed_effects, f->fixed_effects,
               vrw_count_of(f->present_count * f->panels) * sizeof(double));
        expand_double_buffer(r->out_fixed_effects, f->panels, f->j, f->present, NAN);
    }
    if (r->out_standard_errors)
        vrw_write_standard_errors(r->out_standard_errors, f->s.constraints,
                                  f->present_count * f->k, f->s.variance, n);
    fill_absent_choices(f, r->out_coefficients, r->out_standard_errors);
    f->all_constraints = malloc(vrw_count_of(all) * sizeof(double) + 1);
    if (!f->all_constraints)
        return VRW_OUT_OF_HOST_MEMORY;
    expand_double_buffer2(f->all_constraints, f->s.constraints, f->k, f->j, f->present, 0.0);
    if (r->out_variance_matrix)
        expand_constrained_matrix(r->out_variance_matrix, f->all_constraints, all, f->s.variance,
                                  n);
    return vrw_write_wald_tests(r, f->s.variance, n, r->out_coefficients, f->all_constraints);
}

static VRWStatus fit_mlogit(MlogitFit *f, VRWIterationLogWord *log)
{
    VRWRegression_s *r = f->r;
    VRWStatus status = find_choices(f);
    if (status == VRW_SUCCESS)
        status = coefficient_starts(f);
    if (status == VRW_SUCCESS)
        status = make_buffers(f);
    if (status == VRW_SUCCESS)
        status = mlogit_iteration(f);
    if (status == VRW_SUCCESS)
        status = log_likelihood_runs(f);
    double *estimates = r->out_coefficients;
    if (status == VRW_SUCCESS && !estimates) {
        estimates = f->s.estimates = malloc(vrw_count_of(f->present_count * f->k) * sizeof(double)
                                              + 1);
        if (!estimates)
            status = VRW_OUT_OF_HOST_MEMORY;
    }
    if (status != VRW_SUCCESS)
        return status;
    status = vrw_iterate_mle(f->context, f->s.iteration, f->s.buffers, f->s.guesses, estimates, 0,
                             r->out_multicollinear_sets, log);
    if (status != VRW_SUCCESS)
        return status;
    if (r->out_multicollinear_sets)
        expand_long_buffer(r->out_multicollinear_sets, f->k, f->j, f->present, 0);
    /* The variance belongs to the estimates reported, not to those the last
    ** step started from. */
    status = vrw_final_hessian(f->context, f->s.iteration, f->s.buffers, NULL, NULL, 0);
    if (status == VRW_SUCCESS)
        status = write_rows(f);
    if (status == VRW_SUCCESS)
        status = mlogit_inference(f);
    if (status == VRW_SUCCESS)
        status = write_outputs(f);
    return status;
}

VRWStatus vrw_fit_multinomial_logit(VRWRegression_s *r, VRWIterationLogWord *log)
{
    MlogitFit f = {.r = r, .context = r->context};
    f.k = r->independent_column_count > 0 ? r->independent_column_count : 0;
    f.j = r->dependent_value_count;
    f.panels = vrw_fixed_effects_asked(r) && r->data->panel_count > 0 ? r->data->panel_count : 0;
    f.constant = constant_position(r);
    VRWStatus status = fit_mlogit(&f, log);
    release_mlogit(&f);
    return status;
}
