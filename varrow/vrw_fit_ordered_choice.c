/* Ordered logit and probit: the regressors and the cut points between the
** categories that rows take, in one Newton iteration. The categories without
** rows are left out of the fit and put back, as repeated cut points and NaN
** figures, in the outputs. */
#include "varrow/vrw_fit_internal.h"
#include "varrow/vrw_kernel_names.h"

#include <math.h>
#include <stdlib.h>

/* Everything one fit makes, released on every path. k regressors, J
** categories of which J' have rows; coefficient k + u is cut point c_u,
** u = 0 .. J'. */
typedef struct {
    VRWRegression_s *r;
    const char *model;
    VRWContext_s *context;
    int64_t k, j, present_count, panels;
    double *counts, *values;
    int32_t *present;
    VRWFitScratch_s s;
    VRWOrderedChoiceBuffers_s *ordered;
} OrderedFit;

static void release_ordered(OrderedFit *f)
{
    free(f->counts);
    free(f->values);
    free(f->present);
    vrw_release_fit_scratch(&f->s);
    vrw_free_ordered_choice_buffers(f->ordered);
}

static int64_t free_cuts(const OrderedFit *f)
{
    return f->present_count - 2;
}

static int32_t free_regressors(const OrderedFit *f)
{
    return (int32_t)(f->s.buffers->free_count - free_cuts(f));
}

/*
** The kernels find a row's category through the integer part of its value,
** and read a value without one as the first category. So every present value
** must be a nonnegative number of an integer part of its own, and every row
** of positive weight must hold one of the values: else rows would be fitted
** in a category they are not counted in. 5000 when not, as for categories
** that cannot be fitted at all.
*/
static VRWStatus categories_cover_the_rows(OrderedFit *f)
{
    for (int64_t u = 0; u < f->present_count; u++) {
        double v = f->values[u];
        if (!(v >= 0.0))
            return VRW_TOO_FEW_CATEGORIES;
        for (int64_t w = 0; w < u; w++)
            if (floor(f->values[w]) == floor(v))
                return VRW_TOO_FEW_CATEGORIES;
    }
    return vrw_values_cover_the_rows(f->context, f->r->frequency_weights, f->counts, f->j);
}

/* The categories that rows of positive weight take, compacted in order. */
static VRWStatus find_categories(OrderedFit *f)
{
    VRWRegression_s *r = f->r;
    if (f->j < 1)
        return VRW_TOO_FEW_CATEGORIES;
    size_t j = (size_t)f->j;
    f->counts = malloc(j * sizeof(double) + 1);
    f->present = calloc(j + 1, sizeof(int32_t));
    f->values = malloc(j * sizeof(double) + 1);
    if (!f->counts || !f->present || !f->values)
        return VRW_OUT_OF_HOST_MEMORY;
    for (size_t v = 0; v < j; v++)
        f->values[v] = r->dependent_values ? r->dependent_values[v] : (double)v;
    VRWStatus status = vrw_count_these_values_in_this_column(
        f->context, r->data, r->frequency_weights, r->data->data, f->values, (int32_t)j,
        r->dependent_column, f->counts);
    if (status != VRW_SUCCESS)
        return status;
    for (size_t v = 0; v < j; v++) {
        f->present[v] = f->counts[v] > 0;
        f->present_count += f->present[v];
    }
    if (f->present_count < 2)
        return VRW_TOO_FEW_CATEGORIES;
    collapse_double_buffer(f->values, 1, f->j, f->present);
    return categories_cover_the_rows(f);
}

/* c_0 = -infinity, c_1 = 0 and c_J' = +infinity fixed; the free cuts start
** at (u - 1) / (J' + 1), strictly increasing. */
static VRWStatus coefficient_starts(OrderedFit *f)
{
    VRWRegression_s *r = f->r;
    int64_t cuts = f->present_count, n = f->k + cuts + 1;
    f->s.constraints = malloc((size_t)n * sizeof(double));
    f->s.guesses = malloc((size_t)n * sizeof(double));
    f->s.estimates = malloc((size_t)n * sizeof(double));
    f->s.sets = malloc((size_t)n * sizeof(int64_t));
    if (!f->s.constraints || !f->s.guesses || !f->s.estimates || !f->s.sets)
        return VRW_OUT_OF_HOST_MEMORY;
    for (int64_t i = 0; i < f->k; i++) {
        f->s.constraints[i] = r->constraints ? r->constraints[i] : NAN;
        f->s.guesses[i] = r->coefficient_guesses ? r->coefficient_guesses[i] : NAN;
    }
    double *c = f->s.constraints + f->k, *g = f->s.guesses + f->k;
    for (int64_t u = 0; u <= cuts; u++) {
        c[u] = u == 0 ? -INFINITY : u == 1 ? 0.0 : u == cuts ? INFINITY : NAN;
        g[u] = u >= 2 && u < cuts ? (double)(u - 1) / (double)(cuts + 1) : NAN;
    }
    return VRW_SUCCESS;
}

static const VRWVectorBuffer_s *frequency(const OrderedFit *f)
{
    return f->r->frequency_weights;
}

static size_t at_least_0(int64_t n)
{
    return n > 0 ? (size_t)n : 0;
}

static VRWStatus prefix_runs(OrderedFit *f, cl_kernel prefix)
{
    VRWIterationCtx_s *it = f->s.iteration;
    const VRWMatrixBuffer_s *m = f->r->data;
    VRWMleBuffers_s *b = f->s.buffers;
    it->prefix_runs = vrw_new_runs(f->panels > 0 ? 6 : 2, &it->prefix_run_count);
    if (!it->prefix_runs)
        return VRW_OUT_OF_HOST_MEMORY;
    VRWKernelRun_s *run = it->prefix_runs;
    VRWStatus status = f->panels > 0
                           ? vrw_fitted_kernel_run_init_fe(&run[0], f->context, m, NULL, b,
                                                           b->fitted)
                           : vrw_fitted_kernel_run_init(&run[0], f->context, m, NULL, b,
                                                        b->fitted);
    if (status != VRW_SUCCESS)
        return status;
    run[1].kernel = prefix;
    vrw_set_kernel_dim1(&run[1], vrw_padded_rows(m->blocks));
    vrw_set_mle_ordered_choice_prefix_kernel_args(&run[1], m, f->r->dependent_column,
                                                  f->ordered, b);
    if (f->panels == 0)
        return VRW_SUCCESS;
    status = vrw_fixed_effects_panel_runs(f->context, run + 2, m, frequency(f), b,
                                          (size_t)free_regressors(f));
    if (status != VRW_SUCCESS)
        return status;
    run[5].kernel = vrw_kernel(
        f->context, VRWK_COMPUTE_FIXED_EFFECTS_NUISANCE_CROSS_HESSIAN_ORDERED_CHOICE);
    vrw_set_kernel_dim2(&run[5], at_least_0(free_cuts(f)), (size_t)b->cluster_count);
    vrw_set_mle_fe_ordered_choice_hessian_cross_kernel_args(
        &run[5], m, frequency(f), b, f->ordered, f->r->dependent_column, free_regressors(f));
    return run[5].kernel ? VRW_SUCCESS : VRW_KERNEL_NOT_LOADED;
}

/* The regressors' gradient and the free cuts' entries (a run without cuts
** has an empty range and does nothing). */
static VRWStatus jacobian_runs(OrderedFit *f, cl_kernel jacobian, cl_kernel nuisance)
{
    VRWIterationCtx_s *it = f->s.iteration;
    const VRWMatrixBuffer_s *m = f->r->data;
    VRWMleBuffers_s *b = f->s.buffers;
    it->jacobian_runs = vrw_new_runs(f->panels > 0 ? 3 : 2, &it->jacobian_run_count);
    if (!it->jacobian_runs)
        return VRW_OUT_OF_HOST_MEMORY;
    VRWKernelRun_s *run = it->jacobian_runs;
    run[0].kernel = jacobian;
    vrw_set_kernel_dim1(&run[0], (size_t)free_regressors(f));
    vrw_set_mle_jacobian_kernel_args(&run[0], m, frequency(f), b);
    run[1].kernel = nuisance;
    vrw_set_kernel_dim1(&run[1], at_least_0(free_cuts(f)));
    vrw_set_mle_ordered_choice_jacobian_nuisance_kernel_args(
        &run[1], m, frequency(f), b, f->r->dependent_column, f->ordered, free_regressors(f));
    return f->panels > 0 ? vrw_fixed_effects_delta_run(f->context, &run[2], b, 0) : VRW_SUCCESS;
}

static VRWStatus hessian_runs(OrderedFit *f, const cl_kernel *kernels)
{
    VRWIterationCtx_s *it = f->s.iteration;
    const VRWMatrixBuffer_s *m = f->r->data;
    VRWMleBuffers_s *b = f->s.buffers;
    int32_t d = f->r->dependent_column, regressors = free_regressors(f);
    size_t cuts = at_least_0(free_cuts(f)), neighbours = at_least_0(free_cuts(f) - 1);
    it->hessian_runs = vrw_new_runs(f->panels > 0 ? 5 : 4, &it->hessian_run_count);
    if (!it->hessian_runs)
        return VRW_OUT_OF_HOST_MEMORY;
    VRWKernelRun_s *run = it->hessian_runs;
    for (int i = 0; i < 4; i++)
        run[i].kernel = kernels[i];
    vrw_set_kernel_dim2(&run[0], (size_t)regressors, (size_t)regressors);
    vrw_set_mle_hessian_kernel_args(&run[0], m, frequency(f), b);
    vrw_set_kernel_dim2(&run[1], (size_t)regressors, cuts);
    vrw_set_mle_ordered_choice_hessian_cross_kernel_args(&run[1], m, frequency(f), b, f->ordered,
                                                         d, regressors);
    vrw_set_kernel_dim1(&run[2], cuts);
    vrw_set_mle_ordered_choice_hessian_diagonal_nuisance_kernel_args(&run[2], m, frequency(f), b,
                                                                     f->ordered, d, regressors);
    vrw_set_kernel_dim1(&run[3], neighbours);
    vrw_set_mle_ordered_choice_hessian_offdiagonal_nuisance_kernel_args(
        &run[3], m, frequency(f), b, f->ordered, d, regressors);
    return f->panels > 0 ? vrw_fixed_effects_delta_run(f->context, &run[4], b, 1) : VRW_SUCCESS;
}

static VRWStatus ordered_iteration(OrderedFit *f)
{
    f->s.iteration = calloc(1, sizeof *f->s.iteration);
    if (!f->s.iteration)
        return VRW_OUT_OF_HOST_MEMORY;
    VRWContext_s *c = f->context;
    cl_kernel prefix = f->panels > 0 ? vrw_find_prefix_fe_kernel(c, f->model)
                                     : vrw_find_prefix_kernel(c, f->model);
    cl_kernel jacobian = vrw_find_jacobian_kernel(c, f->model);
    cl_kernel nuisance = vrw_kernel(c, VRWK_COMPUTE_NUISANCE_JACOBIAN_ORDERED_CHOICE);
    cl_kernel hessians[4] = {
        vrw_kernel(c, VRWK_COMPUTE_HESSIAN),
        vrw_kernel(c, VRWK_COMPUTE_CROSS_HESSIAN_ORDERED_CHOICE),
        vrw_kernel(c, VRWK_COMPUTE_DIAGONAL_NUISANCE_HESSIAN_ORDERED_CHOICE),
        vrw_kernel(c, VRWK_COMPUTE_OFFDIAGONAL_NUISANCE_HESSIAN_ORDERED_CHOICE),
    };
    if (!prefix || !jacobian || !nuisance || !hessians[0] || !hessians[1] || !hessians[2]
        || !hessians[3])
        return VRW_KERNEL_NOT_LOADED;
    VRWStatus status = prefix_runs(f, prefix);
    if (status == VRW_SUCCESS)
        status = jacobian_runs(f, jacobian, nuisance);
    if (status == VRW_SUCCESS)
        status = hessian_runs(f, hessians);
    if (status != VRW_SUCCESS || f->panels == 0)
        return status;
    return vrw_fixed_effects_for_fit(c, f->s.iteration, f->s.buffers, f->r->out_fixed_effects,
                                     f->r->fixed_effect_guesses, &f->s.own_fixed_effects);
}

/* The log likelihood of every row (left by the prefix), its sum and its sum
** by category. */
static VRWStatus log_likelihood_runs(OrderedFit *f)
{
    VRWRegression_s *r = f->r;
    int32_t status = VRW_SUCCESS;
    f->s.log_likelihood = vrw_log_likelihood_ctx_init(f->context, f->model, r->data,
                                                    frequency(f), f->s.buffers,
                                                    r->dependent_column, &status, NAN);
    if (status != VRW_SUCCESS)
        return status;
    if (!f->s.log_likelihood)
        return VRW_KERNEL_NOT_LOADED;
    VRWKernelRun_s *run = &f->s.log_likelihood->per_choice_run;
    run->kernel = vrw_kernel(f->context, VRWK_SUM_LOG_LIKELIHOOD_ORDERED_CHOICE);
    if (!run->kernel)
        return VRW_KERNEL_NOT_LOADED;
    vrw_set_kernel_dim1(run, (size_t)f->present_count);
    vrw_set_kernel_arg_mem(run, r->data->data);
    vrw_set_kernel_arg_mem(run, frequency(f)->data);
    vrw_set_kernel_arg_int(run, r->data->blocks);
    vrw_set_kernel_arg_int(run, r->dependent_column);
    vrw_set_kernel_arg_mem(run, f->ordered->category_map);
    vrw_set_kernel_arg_mem(run, f->s.buffers->row_values);
    vrw_set_kernel_arg_mem(run, f->s.buffers->choice_sums);
    return VRW_SUCCESS;
}

static VRWStatus ordered_inference(OrderedFit *f)
{
    VRWContext_s *c = f->context;
    const VRWMatrixBuffer_s *m = f->r->data;
    VRWMleBuffers_s *b = f->s.buffers;
    int32_t d = f->r->dependent_column, regressors = free_regressors(f);
    size_t cuts = at_least_0(free_cuts(f)), neighbours = at_least_0(free_cuts(f) - 1);
    size_t n = (size_t)b->free_count, g = (size_t)b->cluster_count;
    /* With fixed effects each row's scores lose the effects' part (the
    ** clusters' sums do not: the effects' scores sum to 0 in each panel). */
    static const VRWKernelName robust_names[2][3] = {
        {VRWK_COMPUTE_CROSS_OPG_ROBUST_ORDERED_CHOICE,
         VRWK_COMPUTE_DIAGONAL_NUISANCE_OPG_ROBUST_ORDERED_CHOICE,
         VRWK_COMPUTE_OFFDIAGONAL_NUISANCE_OPG_ROBUST_ORDERED_CHOICE},
        {VRWK_COMPUTE_FIXED_EFFECTS_CROSS_OPG_ROBUST_ORDERED_CHOICE,
         VRWK_COMPUTE_FIXED_EFFECTS_DIAGONAL_NUISANCE_OPG_ROBUST_ORDERED_CHOICE,
         VRWK_COMPUTE_FIXED_EFFECTS_OFFDIAGONAL_NUISANCE_OPG_ROBUST_ORDERED_CHOICE}};
    bool panels = f->panels > 0;
    cl_kernel kernels[7] = {
        panels ? vrw_kernel(c, VRWK_COMPUTE_FIXED_EFFECTS_OPG_ROBUST)
               : vrw_find_robust_kernel(c, ""),
        vrw_kernel(c, robust_names[panels][0]),
        vrw_kernel(c, robust_names[panels][1]),
        vrw_kernel(c, robust_names[panels][2]),
        vrw_find_cluster_pass1_kernel(c, ""),
        vrw_kernel(c, VRWK_COMPUTE_NUISANCE_OPG_CLUSTER_PASS1_ORDERED_CHOICE),
        vrw_find_cluster_pass2_kernel(c, ""),
    };
    for (int i = 0; i < 7; i++)
        if (!kernels[i])
            return VRW_KERNEL_NOT_LOADED;
    f->s.inference = vrw_inference_ctx_make(4, 3, m, frequency(f), b);
    if (!f->s.inference)
        return VRW_OUT_OF_HOST_MEMORY;
    VRWKernelRun_s *robust = f->s.inference->robust_runs, *cluster = f->s.inference->cluster_runs;
    robust[0].kernel = kernels[0];
    vrw_set_kernel_dim2(&robust[0], (size_t)regressors, (size_t)regressors);
    if (panels)
        vrw_set_mle_fe_robust_kernel_args(&robust[0], m, frequency(f), b);
    else
        vrw_set_mle_robust_kernel_args(&robust[0], m, frequency(f), b);
    for (int i = 1; i < 4; i++) {
        robust[i].kernel = kernels[i];
        if (panels)
            vrw_set_mle_fe_ordered_choice_robust_kernel_args(&robust[i], m, frequency(f), b,
                                                             f->ordered, d, regressors);
        else
            vrw_set_mle_ordered_choice_robust_kernel_args(&robust[i], m, frequency(f), b,
                                                          f->ordered, d, regressors);
    }
    vrw_set_kernel_dim2(&robust[1], (size_t)regressors, cuts);
    vrw_set_kernel_dim1(&robust[2], cuts);
    vrw_set_kernel_dim1(&robust[3], neighbours);
    for (int i = 0; i < 2; i++) {
        cluster[i].kernel = kernels[4 + i];
        vrw_set_mle_cluster_pass1_kernel_args(&cluster[i], m, frequency(f), b);
    }
    vrw_set_kernel_dim2(&cluster[0], (size_t)regressors, g);
    vrw_set_kernel_dim2(&cluster[1], cuts, g);
    vrw_set_kernel_arg_mem(&cluster[1], f->ordered->nuisance_scores_upper);
    vrw_set_kernel_arg_mem(&cluster[1], f->ordered->nuisance_scores_lower);
    vrw_set_kernel_arg_int(&cluster[1], regressors);
    vrw_set_kernel_arg_int(&cluster[1], d);
    vrw_set_kernel_arg_mem(&cluster[1], f->ordered->category_map);
    cluster[2].kernel = kernels[6];
    vrw_set_kernel_dim2(&cluster[2], n, n);
    vrw_set_mle_cluster_pass2_kernel_args(&cluster[2], b);
    return VRW_SUCCESS;
}

/* c_0, then each category's upper cut point: a category with rows moves to
** the next cut, one without repeats the entry before (and its standard
** error). A free cut's standard error is its diagonal element's root. */
static void write_cut_points(const OrderedFit *f)
{
    VRWRegression_s *r = f->r;
    int64_t n = f->s.buffers->free_count, first_free = n - free_cuts(f);
    const double *cuts = f->s.estimates + f->k;
    if (r->out_nuisance_coefficients)
        r->out_nuisance_coefficients[0] = cuts[0];
    if (r->out_nuisance_standard_errors)
        r->out_nuisance_standard_errors[0] = 0.0;
    int64_t next = 1;
    for (int64_t v = 0; v < f->j; v++) {
        double value = NAN, error = 0.0;
        if (f->present[v]) {
            value = cuts[next];
            if (next >= 2 && next < f->present_count) {
                int64_t i = first_free + next - 2;
                error = sqrt(f->s.variance[i * n + i]);
            }
            next++;
        }
        if (r->out_nuisance_coefficients)
            r->out_nuisance_coefficients[v + 1] = f->present[v] ? value
                                                                : r->out_nuisance_coefficients[v];
        if (r->out_nuisance_standard_errors)
            r->out_nuisance_standard_errors[v + 1] =
                f->present[v] ? error : r->out_nuisance_standard_errors[v];
    }
}

/* The outputs after the iteration, in order; a failure leaves the earlier
** ones written. */
static VRWStatus write_ordered_outputs(OrderedFit *f)
{
    VRWRegression_s *r = f->r;
    VRWMleBuffers_s *b = f->s.buffers;
    VRWStatus status = VRW_SUCCESS;
    if (r->out_predicted_values) {
        status = vrw_compute_predicted(f->context, f->model, r->data, NULL, b,
                                       (int32_t)f->present_count, f->panels > 0,
                                       r->out_predicted_values);
        if (status == VRW_SUCCESS)
            expand_double_buffer(r->out_predicted_values, r->data->observations, f->j,
                                 f->present, NAN);
    }
    if (status == VRW_SUCCESS && r->out_residuals)
        status = vrw_read_data_buffer(f->context, r->data, b->scores, 0, r->out_residuals);
    if (status == VRW_SUCCESS)
        status = ordered_inference(f);
    if (status != VRW_SUCCESS)
        return status;
    int64_t observations = 0;
    int32_t err = VRW_SUCCESS;
    f->s.variance = vrw_estimate_asymptotic_variance_mle(f->context, f->model, f->s.inference,
                                                       r->dependent_column, r->options, NULL,
                                                       NULL, &observations, &err);
    if (!f->s.variance || err != VRW_SUCCESS)
        return err;
    int64_t n = b->free_count;
    status = vrw_write_choice_figures(r, f->s.log_likelihood, b, observations, f->j, f->counts,
                                      f->present, f->present_count);
    if (status != VRW_SUCCESS)
        return status;
    if (r->out_standard_errors)
        vrw_write_standard_errors(r->out_standard_errors, f->s.constraints, f->k, f->s.variance, n);
    if (r->out_variance_matrix)
        expand_constrained_matrix(r->out_variance_matrix, f->s.constraints,
                                  f->k + f->present_count + 1, f->s.variance, n);
    write_cut_points(f);
    return vrw_write_wald_tests(r, f->s.variance, n, f->s.estimates, r->constraints);
}

static VRWStatus fit_ordered_choice(OrderedFit *f, VRWIterationLogWord *log)
{
    VRWRegression_s *r = f->r;
    int32_t status = find_categories(f);
    if (status == VRW_SUCCESS)
        status = coefficient_starts(f);
    int64_t cuts = f->present_count;
    if (status == VRW_SUCCESS)
        f->s.buffers = vrw_create_mle_buffers(
            f->context, r->independent_columns, f->k, f->s.constraints, f->k + cuts + 1,
            r->fixed_effect_constraints, f->panels, r->nonempty_panels, r->nonempty_panel_count,
            (r->options & VRW_OPTION_CLUSTER) != 0, cuts, NULL, 0, r->data->blocks, &status);
    if (status == VRW_SUCCESS)
        f->ordered = vrw_create_ordered_choice_buffers(f->context, r->data->blocks, f->values,
                                                       cuts, &status);
    if (status == VRW_SUCCESS)
        status = ordered_iteration(f);
    if (status == VRW_SUCCESS)
        status = log_likelihood_runs(f);
    if (status != VRW_SUCCESS)
        return status;
    status = vrw_iterate_mle(f->context, f->s.iteration, f->s.buffers, f->s.guesses, f->s.estimates, 0,
                             f->s.sets, log);
    /* Whatever the iteration reached, and which regressors were collinear. */
    for (int64_t i = 0; i < f->k; i++) {
        if (r->out_coefficients)
            r->out_coefficients[i] = f->s.estimates[i];
        if (r->out_multicollinear_sets)
            r->out_multicollinear_sets[i] = f->s.sets[i];
    }
    if (status == VRW_SUCCESS)
        status = vrw_final_hessian(f->context, f->s.iteration, f->s.buffers, NULL, NULL, 0);
    if (status == VRW_SUCCESS)
        status = write_ordered_outputs(f);
    return status;
}

VRWStatus vrw_fit_ordered_choice(VRWRegression_s *r, const char *model,
                                 VRWIterationLogWord *log)
{
    OrderedFit f = {.r = r, .model = model, .context = r->context};
    f.k = r->independent_column_count;
    f.j = r->dependent_value_count;
    f.panels = vrw_fixed_effects_asked(r) && r->data->panel_count > 0 ? r->data->panel_count : 0;
    VRWStatus status = fit_ordered_choice(&f, log);
    release_ordered(&f);
    return status;
}

VRWStatus vrw_fit_ordered_logit(VRWRegression_s *r, VRWIterationLogWord *log)
{
    return vrw_fit_ordered_choice(r, "ordered_logit", log);
}

VRWStatus vrw_fit_ordered_probit(VRWRegression_s *r, VRWIterationLogWord *log)
{
    return vrw_fit_ordered_choice(r, "ordered_probit", log);
}
