/* The Cox proportional-hazards fit: one Newton iteration a cause over the
** rows ranked by failure time within their stratum groups, with the fixed
** effects of the panels as nuisance coefficients after the regressors, then
** the variance, the hazard lists and the predicted failure times. */
#include "varrow/vrw_fit_internal.h"
#include "varrow/vrw_kernel_names.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

#define MODEL "cox_proportional_hazards"

/* One cause's fit, made afresh for every fitted cause. k + P coefficients:
** the regressors, then the fixed effect of each panel. */
typedef struct {
    VRWFitScratch_s s;             /* variance r x r */
    int64_t regressors;            /* r: free regressors */
    int64_t effects;               /* m: free fixed effects */
    cl_mem residuals;              /* score residuals, padded rows x r */
    cl_mem shifts;                 /* r x P, fixed effects only */
} CauseFit;

/* Everything the whole call makes, released on every path. */
typedef struct {
    VRWRegression_s *r;
    VRWContext_s *context;
    int64_t k, causes, panels, rows;
    bool with_causes;
    double *cause_counts;
    int32_t *fitted;               /* a flag a cause */
    double *constraints;           /* causes x k */
    int64_t free_count;            /* F over every fitted cause */
    double *variance;              /* F x F */
    double *predicted;             /* blocks x 16 */
    VRWCoxBuffers_s *cox;          /* the ranking: the same for every cause */
    int32_t *group_starts, *group_sizes, *rank_rows;
    double *rank_times, *hazards;  /* R each, read after a cause's fit */
    double *list_times, *list_hazards; /* a cause's hazard lists, R at most */
    int32_t *list_counts;          /* a group */
    /* Totals over the fitted causes. */
    double log_likelihood;
    int64_t free_parameters, hazard_offset, variance_offset, observations;
    CauseFit cause;
} CoxFit;

static void release_cause(CauseFit *c)
{
    vrw_release_fit_scratch(&c->s);
    vrw_release_mem(c->residuals);
    vrw_release_mem(c->shifts);
    memset(c, 0, sizeof *c);
}

static void release_cox(CoxFit *f)
{
    release_cause(&f->cause);
    free(f->cause_counts);
    free(f->fitted);
    free(f->constraints);
    free(f->variance);
    free(f->predicted);
    vrw_free_cox_buffers(f->cox);
    free(f->group_starts);
    free(f->group_sizes);
    free(f->rank_rows);
    free(f->rank_times);
    free(f->hazards);
    free(f->list_times);
    free(f->list_hazards);
    free(f->list_counts);
}

static const VRWVectorBuffer_s *frequency(const CoxFit *f)
{
    return f->r->frequency_weights;
}

static double cause_value(const CoxFit *f, int64_t e)
{
    return f->with_causes ? f->r->cause_values[e] : NAN;
}

/* Which causes have rows: each cause value's weighted count, or the single
** fit without causes. */
static VRWStatus count_causes(CoxFit *f)
{
    VRWRegression_s *r = f->r;
    size_t e = vrw_count_of(f->causes);
    f->cause_counts = calloc(e + 1, sizeof(double));
    f->fitted = calloc(e + 1, sizeof(int32_t));
    if (!f->cause_counts || !f->fitted)
        return VRW_OUT_OF_HOST_MEMORY;
    if (!f->with_causes) {
        f->fitted[0] = 1;
        return VRW_SUCCESS;
    }
    VRWStatus status = vrw_count_these_values_in_this_column(
        f->context, r->data, frequency(f), r->causes->data, r->cause_values, (int32_t)e, 0,
        f->cause_counts);
    if (status != VRW_SUCCESS)
        return status;
    for (size_t i = 0; i < e; i++) {
        f->fitted[i] = f->cause_counts[i] > 0;
        if (r->out_per_cause_observation_count)
            r->out_per_cause_observation_count[i] = (int64_t)f->cause_counts[i];
    }
    return VRW_SUCCESS;
}

/* The regressors' constraints of every cause: nothing is estimated for a
** cause without rows; the constant is never estimated (a Cox model has no
** intercept); the caller's constraint (NaN = free) otherwise. */
static VRWStatus constrain_causes(CoxFit *f)
{
    VRWRegression_s *r = f->r;
    size_t n = vrw_count_of(f->causes) * vrw_count_of(f->k);
    f->constraints = malloc(n * sizeof(double) + 1);
    if (!f->constraints)
        return VRW_OUT_OF_HOST_MEMORY;
    for (int64_t e = 0; e < f->causes; e++)
        for (int64_t j = 0; j < f->k; j++) {
            double given = r->constraints ? r->constraints[e * f->k + j] : NAN;
            double *c = &f->constraints[e * f->k + j];
            if (!f->fitted[e])
                *c = 0.0;
            else if (isnan(given))
                *c = r->independent_columns[j] == r->constant_column ? 0.0 : NAN;
            else
                *c = given;
            f->free_count += isnan(*c);
        }
    if (f->free_count > 0) {
        size_t entries = (size_t)f->free_count * (size_t)f->free_count;
        f->variance = calloc(entries, sizeof(double));
        if (!f->variance)
            return VRW_OUT_OF_HOST_MEMORY;
    }
    return VRW_SUCCESS;
}

/* The constraints and guesses of cause e's k + P coefficients; with fixed
** effects the last panel whose effect is free is held at 0, the baseline
** the others are measured from. */
static VRWStatus cause_starts(CoxFit *f, int64_t e)
{
    VRWRegression_s *r = f->r;
    CauseFit *c = &f->cause;
    size_t n = vrw_count_of(f->k + f->panels);
    c->s.constraints = malloc(n * sizeof(double) + 1);
    c->s.guesses = malloc(n * sizeof(double) + 1);
    c->s.estimates = malloc(n * sizeof(double) + 1);
    c->s.sets = malloc(n * sizeof(int64_t) + 1);
    if (!c->s.constraints || !c->s.guesses || !c->s.estimates || !c->s.sets)
        return VRW_OUT_OF_HOST_MEMORY;
    for (int64_t j = 0; j < f->k; j++) {
        c->s.constraints[j] = f->constraints[e * f->k + j];
        double guess = r->coefficient_guesses ? r->coefficient_guesses[e * f->k + j] : NAN;
        c->s.guesses[j] = isnan(guess) ? 0.0 : guess;
        c->regressors += isnan(c->s.constraints[j]);
    }
    double *constraints = c->s.constraints + f->k, *guesses = c->s.guesses + f->k;
    int64_t last_free = -1;
    for (int64_t p = 0; p < f->panels; p++) {
        double given = r->fixed_effect_constraints ? r->fixed_effect_constraints[e * f->panels + p]
                                                   : NAN;
        double guess = r->fixed_effect_guesses ? r->fixed_effect_guesses[e * f->panels + p] : NAN;
        constraints[p] = given;
        guesses[p] = isnan(guess) ? 0.0 : guess;
        if (isnan(given))
            last_free = p;
    }
    if (last_free >= 0)
        constraints[last_free] = 0.0;
    for (int64_t p = 0; p < f->panels; p++)
        c->effects += isnan(constraints[p]);
    return VRW_SUCCESS;
}

/* The host copies of the ranking that the hazard lists and the predicted
** failure times walk. */
static VRWStatus read_ranking(CoxFit *f)
{
    VRWCoxBuffers_s *cox = f->cox;
    size_t ranks = vrw_count_of(cox->ranked_count), groups = vrw_count_of(cox->group_count);
    f->group_starts = malloc(groups * sizeof(int32_t) + 1);
    f->group_sizes = malloc(groups * sizeof(int32_t) + 1);
    f->list_counts = calloc(groups + 1, sizeof(int32_t));
    f->rank_rows = malloc(ranks * sizeof(int32_t) + 1);
    f->rank_times = malloc(ranks * sizeof(double) + 1);
    f->hazards = malloc(ranks * sizeof(double) + 1);
    f->list_times = malloc(ranks * sizeof(double) + 1);
    f->list_hazards = malloc(ranks * sizeof(double) + 1);
    if (!f->group_starts || !f->group_sizes || !f->list_counts || !f->rank_rows
        || !f->rank_times || !f->hazards || !f->list_times || !f->list_hazards)
        return VRW_OUT_OF_HOST_MEMORY;
    VRWStatus status = vrw_read_bytes(f->context, cox->group_starts, 0,
                                      groups * sizeof(int32_t), f->group_starts);
    if (status == VRW_SUCCESS)
        status = vrw_read_bytes(f->context, cox->group_sizes, 0, groups * sizeof(int32_t),
                                f->group_sizes);
    if (status == VRW_SUCCESS)
        status = vrw_read_bytes(f->context, cox->rank_rows, 0, ranks * sizeof(int32_t),
                                f->rank_rows);
    if (status == VRW_SUCCESS)
        status = vrw_read_fp_buffer(f->context, cox->rank_times, ranks, f->rank_times);
    return status;
}

/* The ranking once for every cause, its work buffers sized for the cause
** with the most free coefficients. */
static VRWStatus rank_rows(CoxFit *f)
{
    VRWRegression_s *r = f->r;
    int64_t most = 0;
    for (int64_t e = 0; e < f->causes; e++) {
        int64_t free_regressors = 0;
        for (int64_t j = 0; j < f->k; j++)
            free_regressors += isnan(f->constraints[e * f->k + j]);
        if (f->fitted[e] && free_regressors > most)
            most = free_regressors;
    }
    int64_t nominal = most + (f->panels > 0 ? f->panels - 1 : 0);
    int32_t status = VRW_SUCCESS;
    f->cox = vrw_create_cox_buffers(f->context, r->data, frequency(f), r->dependent_column,
                                    r->strata, f->with_causes ? r->causes : NULL,
                                    (int32_t)nominal, (int32_t)f->panels, &status);
    if (!f->cox)
        return status;
    status = read_ranking(f);
    if (status != VRW_SUCCESS)
        return status;
    /* A NaN time or stratum is ordered against no other, so the sort leaves
    ** its row wherever it happens to: in arbitrary risk sets, or splitting a
    ** stratum into two groups (more groups than the caller sized the
    ** stratum outputs for). Like a NaN in any other model's data, it gives
    ** 2000; rows of weight 0 are not ranked and may hold anything. */
    for (int32_t i = 0; i < f->cox->ranked_count; i++)
        if (isnan(f->rank_times[i]))
            return VRW_ESTIMATE_NAN;
    for (int32_t g = 0; r->strata && g < f->cox->group_count; g++)
        if (isnan(f->cox->stratum_values[g]))
            return VRW_ESTIMATE_NAN;
    return VRW_SUCCESS;
}

static cl_kernel find(const CoxFit *f, VRWKernelName name)
{
    return vrw_kernel(f->context, name);
}

/* The kernels of the fit; NULL entries make the fit fail with -46. */
typedef struct {
    cl_kernel censoring, prefix, accumulate, work, jacobian, hessian, hazards;
    cl_kernel nuisance_jacobian, cross_hessian, diagonal_hessian, offdiagonal_hessian;
} CoxKernels;

static bool find_kernels(const CoxFit *f, CoxKernels *k)
{
    VRWContext_s *c = f->context;
    bool effects = f->panels > 0;
    k->censoring = find(f, VRWK_APPLY_CENSORING_COX_PROPORTIONAL_HAZARDS);
    k->prefix = effects ? vrw_find_prefix_fe_kernel(c, MODEL) : vrw_find_prefix_kernel(c, MODEL);
    k->accumulate = find(f, VRWK_ACCUMULATE_COX_PROPORTIONAL_HAZARDS_PREFIX);
    k->work = find(f, VRWK_COMPUTE_COX_PROPORTIONAL_HAZARDS_WORK);
    k->jacobian = find(f, VRWK_COMPUTE_JACOBIAN_COX_PRORTIONAL_HAZARDS);
    k->hessian = find(f, VRWK_COMPUTE_HESSIAN_COX_PROPORTIONAL_HAZARDS);
    k->hazards = find(f, VRWK_ACCUMULATE_COX_PROPORTIONAL_HAZARDS);
    bool found = k->censoring && k->prefix && k->accumulate && k->work && k->jacobian
                 && k->hessian && k->hazards;
    if (!effects)
        return found;
    k->nuisance_jacobian =
        find(f, VRWK_COMPUTE_FIXED_EFFECTS_NUISANCE_JACOBIAN_COX_PROPORTIONAL_HAZARDS);
    k->cross_hessian = find(f, VRWK_COMPUTE_FIXED_EFFECTS_CROSS_HESSIAN_COX_PROPORTIONAL_HAZARDS);
    k->diagonal_hessian =
        find(f, VRWK_COMPUTE_FIXED_EFFECTS_DIAGONAL_HESSIAN_COX_PROPORTIONAL_HAZARDS);
    k->offdiagonal_hessian =
        find(f, VRWK_COMPUTE_FIXED_EFFECTS_OFFDIAGONAL_HESSIAN_COX_PROPORTIONAL_HAZARDS);
    return found && k->nuisance_jacobian && k->cross_hessian && k->diagonal_hessian
           && k->offdiagonal_hessian;
}

static cl_mem censoring_buffer(const CoxFit *f)
{
    return f->r->censoring ? f->r->censoring->data : NULL;
}

static const VRWVectorBuffer_s *causes_vector(const CoxFit *f)
{
    return f->with_causes ? f->r->causes : NULL;
}

/* Censoring once before the first pass; the hazards once after the last. */
static VRWStatus once_runs(CoxFit *f, const CoxKernels *k, double value)
{
    VRWIterationCtx_s *it = f->cause.s.iteration;
    VRWCoxBuffers_s *cox = f->cox;
    bool effects = f->panels > 0;
    it->initial_runs = vrw_new_runs(effects ? 2 : 1, &it->initial_run_count);
    it->final_runs = vrw_new_runs(1, &it->final_run_count);
    if (!it->initial_runs || !it->final_runs)
        return VRW_OUT_OF_HOST_MEMORY;
    size_t ranks = vrw_count_of(cox->ranked_count);
    VRWKernelRun_s *run = it->initial_runs;
    run[0].kernel = k->censoring;
    vrw_set_kernel_dim1(&run[0], ranks);
    vrw_set_mle_cox_censoring_kernel_args(&run[0], causes_vector(f), censoring_buffer(f), cox,
                                          value);
    if (effects) {
        run[1].kernel = k->censoring;
        vrw_set_kernel_dim1(&run[1], ranks);
        vrw_set_mle_fe_cox_censoring_kernel_args(&run[1], causes_vector(f), censoring_buffer(f),
                                                 cox, value);
    }
    run = it->final_runs;
    run[0].kernel = k->hazards;
    vrw_set_kernel_dim1(&run[0], vrw_count_of(cox->group_count));
    vrw_set_mle_cox_accumulate_hazards_kernel_args(&run[0], f->cause.s.buffers, cox);
    return VRW_SUCCESS;
}

/* Every pass: the linear predictors, their ranks' risk sums and the
** regressors' values and risk-set means, over the groups and, with fixed
** effects, over the cells. */
static VRWStatus prefix_runs(CoxFit *f, const CoxKernels *k)
{
    VRWIterationCtx_s *it = f->cause.s.iteration;
    VRWMleBuffers_s *b = f->cause.s.buffers;
    VRWCoxBuffers_s *cox = f->cox;
    const VRWMatrixBuffer_s *m = f->r->data;
    bool effects = f->panels > 0;
    it->prefix_runs = vrw_new_runs(effects ? 7 : 4, &it->prefix_run_count);
    if (!it->prefix_runs)
        return VRW_OUT_OF_HOST_MEMORY;
    VRWKernelRun_s *run = it->prefix_runs;
    VRWStatus status =
        effects ? vrw_fitted_kernel_run_init_fe_cox_proportional_hazards(run, f->context, m, b,
                                                                          b->fitted)
                : vrw_fitted_kernel_run_init(run, f->context, m, NULL, b, b->fitted);
    if (status != VRW_SUCCESS)
        return status;
    size_t ranks = vrw_count_of(cox->ranked_count), groups = vrw_count_of(cox->group_count);
    size_t cells = vrw_count_of(cox->cell_count), regressors = vrw_count_of(f->cause.regressors);
    run++;
    run->kernel = k->prefix;
    vrw_set_kernel_dim1(run, ranks);
    vrw_set_mle_cox_prefix_kernel_args(run, b, cox);
    if (effects) {
        run++;
        run->kernel = k->prefix;
        vrw_set_kernel_dim1(run, ranks);
        vrw_set_mle_fe_cox_prefix_kernel_args(run, b, cox);
    }
    run++;
    run->kernel = k->accumulate;
    vrw_set_kernel_dim1(run, groups);
    vrw_set_mle_cox_accumulate_prefix_kernel_args(run, cox);
    if (effects) {
        run++;
        run->kernel = k->accumulate;
        vrw_set_kernel_dim1(run, cells);
        vrw_set_mle_fe_cox_accumulate_prefix_kernel_args(run, cox);
    }
    /* Only the regressors' columns are walked: the effects' values are the
    ** cells themselves. */
    run++;
    run->kernel = k->work;
    vrw_set_kernel_dim2(run, groups, regressors);
    vrw_set_mle_cox_work_kernel_args(run, m, b, cox);
    if (effects) {
        run++;
        run->kernel = k->work;
        vrw_set_kernel_dim2(run, cells, regressors);
        vrw_set_mle_fe_cox_work_kernel_args(run, m, b, cox);
    }
    return VRW_SUCCESS;
}

static VRWStatus derivative_runs(CoxFit *f, const CoxKernels *k)
{
    VRWIterationCtx_s *it = f->cause.s.iteration;
    VRWMleBuffers_s *b = f->cause.s.buffers;
    VRWCoxBuffers_s *cox = f->cox;
    bool effects = f->panels > 0;
    size_t r = vrw_count_of(f->cause.regressors), m = vrw_count_of(f->cause.effects);
    it->jacobian_runs = vrw_new_runs(effects ? 2 : 1, &it->jacobian_run_count);
    it->hessian_runs = vrw_new_runs(effects ? 4 : 1, &it->hessian_run_count);
    if (!it->jacobian_runs || !it->hessian_runs)
        return VRW_OUT_OF_HOST_MEMORY;
    VRWKernelRun_s *run = it->jacobian_runs;
    run[0].kernel = k->jacobian;
    vrw_set_kernel_dim1(&run[0], r);
    vrw_set_mle_cox_jacobian_kernel_args(&run[0], b, cox);
    run = it->hessian_runs;
    run[0].kernel = k->hessian;
    vrw_set_kernel_dim2(&run[0], r, r);
    vrw_set_mle_cox_hessian_kernel_args(&run[0], b, cox);
    if (!effects)
        return VRW_SUCCESS;
    run = it->jacobian_runs;
    run[1].kernel = k->nuisance_jacobian;
    vrw_set_kernel_dim1(&run[1], m);
    vrw_set_mle_fe_cox_jacobian_nuisance_kernel_args(&run[1], b, cox);
    run = it->hessian_runs;
    run[1].kernel = k->cross_hessian;
    vrw_set_kernel_dim2(&run[1], r, m);
    vrw_set_mle_fe_cox_hessian_cross_kernel_args(&run[1], b, cox);
    run[2].kernel = k->diagonal_hessian;
    vrw_set_kernel_dim1(&run[2], m);
    vrw_set_mle_fe_cox_hessian_nuisance_kernel_args(&run[2], b, cox);
    run[3].kernel = k->offdiagonal_hessian;
    vrw_set_kernel_dim2(&run[3], m, m);
    vrw_set_mle_fe_cox_hessian_nuisance_kernel_args(&run[3], b, cox);
    return VRW_SUCCESS;
}

static VRWStatus cox_iteration(CoxFit *f, double value)
{
    CoxKernels kernels = {0};
    if (!find_kernels(f, &kernels))
        return VRW_KERNEL_NOT_LOADED;
    f->cause.s.iteration = calloc(1, sizeof *f->cause.s.iteration);
    if (!f->cause.s.iteration)
        return VRW_OUT_OF_HOST_MEMORY;
    VRWStatus status = once_runs(f, &kernels, value);
    if (status == VRW_SUCCESS)
        status = prefix_runs(f, &kernels);
    if (status == VRW_SUCCESS)
        status = derivative_runs(f, &kernels);
    return status;
}

/* The log likelihood's runs: the failing ranks' terms, then their sum. */
static VRWStatus log_likelihood_runs(CoxFit *f)
{
    const VRWRegression_s *r = f->r;
    CauseFit *c = &f->cause;
    int32_t status = VRW_SUCCESS;
    c->s.log_likelihood = vrw_log_likelihood_ctx_init(f->context, MODEL, r->data, frequency(f),
                                                    c->s.buffers, r->dependent_column, &status, NAN);
    if (status != VRW_SUCCESS || !c->s.log_likelihood)
        return status;
    VRWKernelRun_s *run = &c->s.log_likelihood->model_run;
    vrw_set_mle_cox_log_likelihood_kernel_args(run, c->s.buffers, f->cox);
    vrw_set_kernel_dim1(run, vrw_count_of(f->cox->ranked_count));
    return vrw_initialize_fp_buffer(f->context, c->s.buffers->row_values, (size_t)f->rows, 0.0);
}

static VRWStatus make_cause_buffers(CoxFit *f)
{
    const VRWRegression_s *r = f->r;
    CauseFit *c = &f->cause;
    int32_t status = VRW_SUCCESS;
    c->s.buffers = vrw_create_mle_buffers(
        f->context, r->independent_columns, f->k, c->s.constraints, f->k + f->panels, NULL, 0,
        r->nonempty_panels, r->nonempty_panel_count, (r->options & VRW_OPTION_CLUSTER) != 0, 0,
        NULL, 0, r->data->blocks, &status);
    if (!c->s.buffers)
        return status;
    if (r->out_residuals)
        status = vrw_initialize_fp_buffer(f->context, c->s.buffers->scores, (size_t)f->rows, NAN);
    /* A cause fitted before this one left its failures' risk sums. */
    if (status == VRW_SUCCESS)
        status = vrw_initialize_fp_buffer(f->context, f->cox->accumulated_prefix,
                                          vrw_count_of(f->cox->ranked_count), INFINITY);
    return status;
}

/*
** The regressors' part of the projection of the fixed effects out of each
** row's score residual: C = H_ba H_aa^-1 = -(V_bb)^-1 V_ba, V the inverse of
** the n x n Hessian. Regressor a's residuals are then those of the
** covariate x_a less C[a, j] on the rows of the j-th non-empty panel, and
** their outer products give the regressors' block of the full sandwich, as a
** fit with one indicator a panel reports it.
*/
static VRWStatus effect_shifts(CoxFit *f)
{
    CauseFit *c = &f->cause;
    int r = (int)c->regressors, n = (int)c->s.buffers->free_count, m = n - r;
    if (r == 0 || m == 0)
        return VRW_SUCCESS;
    const double *inverse = c->s.buffers->host_hessian;
    size_t panels = vrw_count_of(f->panels);
    double *block = malloc((size_t)r * (size_t)r * sizeof(double));
    double *shifts = calloc((size_t)r * panels, sizeof(double));
    int *pivots = malloc((size_t)r * sizeof(int));
    int length = vrw_optimal_iwork_dim(r);
    double *workspace = malloc((size_t)(length > 0 ? length : 1) * sizeof(double));
    VRWStatus status = block && shifts && pivots && workspace ? VRW_SUCCESS
                                                              : VRW_OUT_OF_HOST_MEMORY;
    if (status == VRW_SUCCESS) {
        for (int j = 0; j < r; j++)
            for (int i = 0; i < r; i++)
                block[(size_t)j * r + i] = inverse[(size_t)j * n + i];
        int info = vrw_invert_matrix(block, r, pivots, workspace, length > 0 ? length : 1);
        if (info != 0)
            status = VRW_HESSIAN_NOT_INVERTIBLE + info;
    }
    for (int j = 0; status == VRW_SUCCESS && j < m; j++) {
        size_t panel = f->r->nonempty_panels[j];
        for (int a = 0; a < r; a++) {
            double sum = 0.0;
            for (int b = 0; b < r; b++)
                sum += block[(size_t)b * r + a] * inverse[(size_t)(r + j) * n + b];
            shifts[(size_t)a * panels + panel] = -sum;
        }
    }
    if (status == VRW_SUCCESS) {
        int32_t err = VRW_SUCCESS;
        c->shifts = vrw_make_real_buffer(f->context, (size_t)r * panels, shifts, &err);
        status = err;
    }
    free(block);
    free(shifts);
    free(pivots);
    free(workspace);
    return status;
}

/* The regressors' leading block of the inverse Hessian of all n free
** parameters, moved to the front as an r x r matrix. */
static void keep_regressors_block(CauseFit *c)
{
    VRWMleBuffers_s *b = c->s.buffers;
    int64_t r = c->regressors, n = b->free_count;
    for (int64_t j = 0; j < r; j++)
        for (int64_t i = 0; i < r; i++)
            b->host_hessian[j * r + i] = b->host_hessian[j * n + i];
    b->free_count = r;
}

/* The robust and cluster variances from each row's score residuals (not
** from one score a row times its regressors, which a Cox residual is not). */
static VRWStatus cox_inference(CoxFit *f)
{
    CauseFit *c = &f->cause;
    const VRWMatrixBuffer_s *m = f->r->data;
    VRWMleBuffers_s *b = c->s.buffers;
    cl_kernel residuals = find(f, VRWK_COMPUTE_COX_PROPORTIONAL_HAZARDS_SCORE_RESIDUALS);
    cl_kernel robust = find(f, VRWK_COMPUTE_OPG_ROBUST_COX_PROPORTIONAL_HAZARDS);
    cl_kernel pass1 = find(f, VRWK_COMPUTE_OPG_CLUSTER_PASS1_COX_PROPORTIONAL_HAZARDS);
    cl_kernel pass2 = vrw_find_cluster_pass2_kernel(f->context, MODEL);
    if (!residuals || !robust || !pass1 || !pass2)
        return VRW_KERNEL_NOT_LOADED;
    size_t r = vrw_count_of(c->regressors), clusters = vrw_count_of(b->cluster_count);
    int32_t status = VRW_SUCCESS;
    c->residuals = vrw_make_filled_real_buffer(f->context, (size_t)f->rows * r, 0.0, &status);
    if (status != VRW_SUCCESS)
        return status;
    c->s.inference = vrw_inference_ctx_make(2, 3, m, frequency(f), b);
    if (!c->s.inference)
        return VRW_OUT_OF_HOST_MEMORY;
    VRWKernelRun_s *list[2] = {c->s.inference->robust_runs, c->s.inference->cluster_runs};
    for (int i = 0; i < 2; i++) {
        list[i][0].kernel = residuals;
        vrw_set_kernel_dim2(&list[i][0], vrw_count_of(f->cox->group_count), r);
        vrw_set_mle_cox_score_residuals_kernel_args(&list[i][0], m, b, f->cox, c->shifts,
                                                    c->residuals);
    }
    VRWKernelRun_s *run = &c->s.inference->robust_runs[1];
    run->kernel = robust;
    vrw_set_kernel_dim2(run, r, r);
    vrw_set_mle_cox_robust_kernel_args(run, m, frequency(f), b, c->residuals);
    run = &c->s.inference->cluster_runs[1];
    run->kernel = pass1;
    vrw_set_kernel_dim2(run, r, clusters);
    vrw_set_mle_cox_cluster_pass1_kernel_args(run, m, frequency(f), b, c->residuals);
    run = &c->s.inference->cluster_runs[2];
    run->kernel = pass2;
    vrw_set_kernel_dim2(run, r, r);
    vrw_set_mle_cluster_pass2_kernel_args(run, b);
    return VRW_SUCCESS;
}

/* The r x r variance of cause e's free regressors; with option 1 scaled by
** N / (N - n), n counting the free fixed effects too. */
static VRWStatus cause_variance(CoxFit *f)
{
    CauseFit *c = &f->cause;
    VRWRegression_s *r = f->r;
    int64_t n = c->s.buffers->free_count;
    VRWStatus status = VRW_SUCCESS;
    if (f->panels > 0 && (r->options & (VRW_OPTION_ROBUST | VRW_OPTION_CLUSTER)))
        status = effect_shifts(f);
    if (status != VRW_SUCCESS)
        return status;
    keep_regressors_block(c);
    status = cox_inference(f);
    if (status != VRW_SUCCESS)
        return status;
    int32_t err = VRW_SUCCESS;
    int64_t observations = 0;
    c->s.variance = vrw_estimate_asymptotic_variance_mle(
        f->context, MODEL, c->s.inference, r->dependent_column,
        r->options & ~(uint32_t)VRW_OPTION_SMALL_SAMPLE, NULL, NULL, &observations, &err);
    if (!c->s.variance || err != VRW_SUCCESS)
        return err;
    f->observations = observations;
    if (r->options & VRW_OPTION_SMALL_SAMPLE) {
        double factor = (double)observations / (double)(observations - n);
        for (int64_t i = 0; i < c->regressors * c->regressors; i++)
            c->s.variance[i] *= factor;
    }
    return VRW_SUCCESS;
}

/* Cause e's block on the diagonal of the variance of every cause (the
** causes' fits are independent) and its standard errors. */
static void write_cause_variance(CoxFit *f, int64_t e)
{
    CauseFit *c = &f->cause;
    int64_t rr = c->regressors, all = f->free_count, at = f->variance_offset;
    for (int64_t j = 0; j < rr; j++)
        for (int64_t i = 0; i < rr; i++)
            f->variance[(at + j) * all + at + i] = c->s.variance[j * rr + i];
    f->variance_offset += rr;
    if (f->r->out_standard_errors)
        vrw_write_standard_errors(f->r->out_standard_errors + e * f->k, c->s.constraints, f->k,
                                  c->s.variance, rr);
}

/* Each group's distinct times in ascending order with the cumulative
** hazard at each: the last rank of every run of tied times. */
static VRWStatus hazard_lists(CoxFit *f, int64_t e)
{
    VRWRegression_s *r = f->r;
    size_t ranks = vrw_count_of(f->cox->ranked_count);
    VRWStatus status = vrw_read_fp_buffer(f->context, f->cox->hazards, ranks, f->hazards);
    if (status != VRW_SUCCESS)
        return status;
    int64_t next = 0;
    for (int32_t g = 0; g < f->cox->group_count; g++) {
        int32_t start = f->group_starts[g], end = start + f->group_sizes[g], count = 0;
        for (int32_t i = end - 1; i >= start; i--) {
            bool last = i == end - 1;
            if (!last && f->rank_times[i] == f->rank_times[i + 1])
                continue;
            f->list_times[next] = f->rank_times[i];
            f->list_hazards[next] = f->hazards[i];
            next++;
            count++;
        }
        f->list_counts[g] = count;
        if (r->out_failure_time_stratum_counts)
            r->out_failure_time_stratum_counts[e * f->cox->group_count + g] = count;
    }
    if (r->out_failure_times)
        memcpy(r->out_failure_times + f->hazard_offset, f->list_times,
               (size_t)next * sizeof(double));
    if (r->out_hazard_function)
        memcpy(r->out_hazard_function + f->hazard_offset, f->list_hazards,
               (size_t)next * sizeof(double));
    f->hazard_offset += next;
    return VRW_SUCCESS;
}

/* The first of a group's L hazard values above the target, or the last
** when none is (an equal value ends the search where it is found). */
static int64_t search_hazards(const double *hazards, int64_t count, double target)
{
    int64_t lo = 0, hi = count - 1;
    while (lo < hi) {
        int64_t mid = lo + (hi - lo) / 2;
        if (hazards[mid] > target)
            hi = mid;
        else if (hazards[mid] < target)
            lo = mid + 1;
        else
            return mid;
    }
    return lo;
}

/* Every ranked row's predicted failure time: where its group's cumulative
** hazard reaches the row's target. Data without failure times has no
** answer for any row: a target left in place would read as a time. */
static void predict_failure_times(CoxFit *f)
{
    if (f->cox->ranked_count <= 0) {
        for (int64_t i = 0; i < f->rows; i++)
            f->predicted[i] = NAN;
        return;
    }
    int64_t first = 0;
    for (int32_t g = 0; g < f->cox->group_count; g++) {
        int32_t start = f->group_starts[g], end = start + f->group_sizes[g];
        int64_t count = f->list_counts[g];
        for (int32_t i = start; i < end; i++) {
            double *value = &f->predicted[f->rank_rows[i]];
            *value = count > 0 ? f->list_times[first + search_hazards(f->list_hazards + first,
                                                                     count, *value)]
                               : NAN;
        }
        first += count;
    }
}

static bool predicts_failure_times(const VRWRegression_s *r)
{
    return r->out_failure_times && r->out_hazard_function && r->out_failure_time_stratum_counts;
}

/* The predict kernel's targets, read into the padded host column. */
static VRWStatus predict_targets(CoxFit *f)
{
    cl_kernel kernel = vrw_find_predict_kernel(f->context, MODEL);
    if (!kernel)
        return VRW_KERNEL_NOT_LOADED;
    VRWMleBuffers_s *b = f->cause.s.buffers;
    VRWKernelRun_s run = {0};
    run.kernel = kernel;
    vrw_set_kernel_dim1(&run, vrw_count_of(f->r->data->blocks));
    vrw_set_kernel_arg_mem(&run, b->fitted);
    vrw_set_kernel_arg_mem(&run, b->predicted);
    VRWStatus status = vrw_run_kernels(f->context, &run, 1);
    if (status == VRW_SUCCESS)
        status = vrw_read_fp_buffer(f->context, b->predicted, (size_t)f->rows, f->predicted);
    return status;
}

/* The outputs of a cause without rows. */
static void write_unfitted_cause(CoxFit *f, int64_t e)
{
    VRWRegression_s *r = f->r;
    int64_t n = r->data->observations, k = f->k, p = f->panels;
    for (int64_t i = 0; i < n; i++) {
        if (r->out_predicted_values)
            r->out_predicted_values[e * n + i] = NAN;
        if (r->out_residuals)
            r->out_residuals[e * n + i] = NAN;
    }
    for (int64_t j = 0; j < k; j++) {
        if (r->out_coefficients)
            r->out_coefficients[e * k + j] = 0.0;
        if (r->out_standard_errors)
            r->out_standard_errors[e * k + j] = NAN;
        if (r->out_multicollinear_sets)
            r->out_multicollinear_sets[e * k + j] = 0;
    }
    for (int64_t q = 0; r->out_fixed_effects && q < p; q++)
        r->out_fixed_effects[e * p + q] = NAN;
    if (r->out_per_cause_log_likelihood)
        r->out_per_cause_log_likelihood[e] = NAN;
    for (int32_t g = 0; r->out_failure_time_stratum_counts && g < f->cox->group_count; g++)
        r->out_failure_time_stratum_counts[e * f->cox->group_count + g] = 0;
}

/* What the iteration reached: the coefficients, their sets and the fixed
** effects, the predicted targets and the residuals. */
static VRWStatus write_estimates(CoxFit *f, int64_t e)
{
    VRWRegression_s *r = f->r;
    CauseFit *c = &f->cause;
    int64_t n = r->data->observations;
    VRWStatus status = VRW_SUCCESS;
    if (r->out_predicted_values)
        status = predict_targets(f);
    if (status == VRW_SUCCESS && r->out_residuals)
        status = vrw_read_data_buffer(f->context, r->data, c->s.buffers->scores, 0,
                                      r->out_residuals + e * n);
    if (status != VRW_SUCCESS)
        return status;
    for (int64_t j = 0; j < f->k; j++) {
        if (r->out_coefficients)
            r->out_coefficients[e * f->k + j] = c->s.estimates[j];
        if (r->out_multicollinear_sets)
            r->out_multicollinear_sets[e * f->k + j] = c->s.sets[j];
    }
    for (int64_t p = 0; r->out_fixed_effects && p < f->panels; p++)
        r->out_fixed_effects[e * f->panels + p] = c->s.estimates[f->k + p];
    return VRW_SUCCESS;
}

/* The figures of cause e after its variance. */
static VRWStatus write_cause_figures(CoxFit *f, int64_t e)
{
    VRWRegression_s *r = f->r;
    CauseFit *c = &f->cause;
    write_cause_variance(f, e);
    VRWStatus status = VRW_SUCCESS;
    if (f->cox->ranked_count > 0)
        status = hazard_lists(f, e);
    if (status != VRW_SUCCESS)
        return status;
    if (r->out_predicted_values) {
        if (predicts_failure_times(r))
            predict_failure_times(f);
        status = vrw_copy_data_buffer(f->context, r->data,
                                      r->out_predicted_values + e * r->data->observations,
                                      f->predicted);
        if (status != VRW_SUCCESS)
            return status;
    }
    if (r->out_log_likelihood || r->out_per_cause_log_likelihood) {
        int32_t err = VRW_SUCCESS;
        double value = vrw_compute_log_likelihood(f->context, c->s.log_likelihood, c->s.buffers,
                                                  NULL, 0, &err);
        if (err != VRW_SUCCESS)
            return err;
        if (r->out_per_cause_log_likelihood)
            r->out_per_cause_log_likelihood[e] = value;
        f->log_likelihood += value;
    }
    f->free_parameters += c->regressors + c->effects;
    return VRW_SUCCESS;
}

static VRWStatus fit_cause(CoxFit *f, int64_t e, VRWIterationLogWord *log)
{
    CauseFit *c = &f->cause;
    VRWStatus status = cause_starts(f, e);
    if (status == VRW_SUCCESS)
        status = make_cause_buffers(f);
    if (status == VRW_SUCCESS)
        status = log_likelihood_runs(f);
    if (status == VRW_SUCCESS)
        status = cox_iteration(f, cause_value(f, e));
    if (status != VRW_SUCCESS)
        return status;
    status = vrw_iterate_mle(f->context, c->s.iteration, c->s.buffers, c->s.guesses, c->s.estimates, 0,
                             c->s.sets, log);
    /* The variance belongs to the estimates reported, not to those the last
    ** step started from. */
    if (status == VRW_SUCCESS)
        status = vrw_final_hessian(f->context, c->s.iteration, c->s.buffers, NULL, NULL, 0);
    if (status == VRW_SUCCESS)
        status = write_estimates(f, e);
    if (status == VRW_SUCCESS)
        status = cause_variance(f);
    if (status == VRW_SUCCESS)
        status = write_cause_figures(f, e);
    return status;
}

/* The totals after the last cause. */
static VRWStatus write_totals(CoxFit *f)
{
    VRWRegression_s *r = f->r;
    bool any = false;
    for (int64_t e = 0; e < f->causes; e++)
        any = any || f->fitted[e];
    if (r->out_free_parameter_count)
        *r->out_free_parameter_count = f->free_parameters;
    if (r->out_log_likelihood)
        *r->out_log_likelihood = f->log_likelihood;
    if (r->out_observation_count)
        *r->out_observation_count = f->observations;
    if (any && r->out_stratum_values) {
        size_t groups = vrw_count_of(f->cox->group_count);
        memcpy(r->out_stratum_values, f->cox->stratum_values, groups * sizeof(double));
    }
    if (any && r->out_stratum_value_count)
        *r->out_stratum_value_count = f->cox->group_count;
    if (r->out_censored_count) {
        int32_t status = VRW_SUCCESS;
        double censored = r->censoring ? vrw_compute_vector_integer_sum(f->context, r->censoring,
                                                                         frequency(f), &status)
                                       : 0.0;
        if (status != VRW_SUCCESS)
            return status;
        *r->out_censored_count = (int64_t)censored;
    }
    int64_t all = f->causes * f->k;
    if (r->out_variance_matrix)
        expand_constrained_matrix(r->out_variance_matrix, f->constraints, all, f->variance,
                                  f->free_count);
    return vrw_write_wald_tests(r, f->variance, f->free_count, r->out_coefficients,
                                f->constraints);
}

static VRWStatus fit_cox(CoxFit *f, VRWIterationLogWord *log)
{
    VRWStatus status = count_causes(f);
    if (status == VRW_SUCCESS)
        status = constrain_causes(f);
    if (status == VRW_SUCCESS && f->r->out_predicted_values) {
        f->predicted = malloc((size_t)f->rows * sizeof(double) + 1);
        if (!f->predicted)
            status = VRW_OUT_OF_HOST_MEMORY;
    }
    if (status == VRW_SUCCESS)
        status = rank_rows(f);
    for (int64_t e = 0; status == VRW_SUCCESS && e < f->causes; e++) {
        if (!f->fitted[e]) {
            write_unfitted_cause(f, e);
            continue;
        }
        status = fit_cause(f, e, log);
        release_cause(&f->cause);
    }
    if (status == VRW_SUCCESS)
        status = write_totals(f);
    return status;
}

VRWStatus vrw_fit_cox_proportional_hazards(VRWRegression_s *r, VRWIterationLogWord *log)
{
    CoxFit f = {.r = r, .context = r->context};
    f.k = r->independent_column_count > 0 ? r->independent_column_count : 0;
    f.with_causes = r->causes && r->cause_values;
    f.causes = f.with_causes ? r->cause_value_count : 1;
    f.panels = vrw_fixed_effects_asked(r) && r->data->panel_count > 0 ? r->data->panel_count : 0;
    f.rows = (int64_t)vrw_padded_rows(r->data->blocks);
    VRWStatus status = fit_cox(&f, log);
    release_cox(&f);
    return status;
}
