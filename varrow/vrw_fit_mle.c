/* The single-equation maximum-likelihood fits: logit, probit, linear
** probability, Poisson, geometric and the four least-squares models, which
** share one driver and differ in their prefix kernels and start values. */
#include "varrow/vrw_fit_internal.h"
#include "varrow/vrw_kernel_names.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* Everything one run of the driver makes, released on every path. */
typedef struct {
    const VRWRegression_s *r;
    const char *model;
    VRWContext_s *context;
    int64_t n;                     /* coefficients */
    int64_t panels;                /* P: with fixed effects, the matrix's panels */
    VRWMatrixBuffer_s analytic_view;
    VRWFitScratch_s s;             /* its estimates when the caller takes none */
    double *estimates;             /* out_coefficients or s.estimates */
    double rss, tss;
    int64_t observations;
} Fit;

/* The model's kernel of a naming pattern ("vrw_residuals_%s"), or NULL. */
static cl_kernel find_model_kernel(const Fit *f, const char *pattern)
{
    char name[128];
    int length = snprintf(name, sizeof name, pattern, f->model);
    return length > 0 && (size_t)length < sizeof name ? vrw_find_kernel(f->context, name) : NULL;
}

/* A run of one of the model's row kernels over every padded row with the
** prefix arguments and the model's extras. */
static void set_row_run(const Fit *f, VRWKernelRun_s *run, cl_kernel kernel)
{
    const VRWRegression_s *r = f->r;
    run->kernel = kernel;
    vrw_set_kernel_dim1(run, vrw_padded_rows(r->data->blocks));
    vrw_set_mle_prefix_kernel_args(run, r->data, f->s.buffers, r->dependent_column);
    if (vrw_appends_value_of_interest(f->model))
        vrw_set_kernel_arg_double(run, r->dependent_value_of_interest);
    else if (vrw_is_weighted_least_squares(f->model))
        vrw_set_kernel_arg_mem(run, r->analytic_weights ? r->analytic_weights->data : NULL);
}

/* The iteration of a fit without fixed effects: fitted values and the
** model's prefix, then one Jacobian and one Hessian run. */
static VRWStatus plain_iteration(Fit *f)
{
    const VRWRegression_s *r = f->r;
    const VRWMatrixBuffer_s *matrix = r->data;
    VRWIterationCtx_s *it = calloc(1, sizeof *it);
    if (!it)
        return VRW_OUT_OF_HOST_MEMORY;
    f->s.iteration = it;
    cl_kernel jacobian = vrw_find_jacobian_kernel(f->context, f->model);
    cl_kernel hessian = vrw_find_hessian_kernel(f->context, f->model);
    cl_kernel prefix = vrw_find_prefix_kernel(f->context, f->model);
    if (!jacobian || !hessian || !prefix)
        return VRW_KERNEL_NOT_LOADED;
    it->jacobian_runs = vrw_new_runs(1, &it->jacobian_run_count);
    it->hessian_runs = vrw_new_runs(1, &it->hessian_run_count);
    it->prefix_runs = vrw_new_runs(2, &it->prefix_run_count);
    if (!it->jacobian_runs || !it->hessian_runs || !it->prefix_runs)
        return VRW_OUT_OF_HOST_MEMORY;
    size_t k = (size_t)f->s.buffers->free_count;
    VRWKernelRun_s *run = &it->jacobian_runs[0];
    run->kernel = jacobian;
    vrw_set_kernel_dim1(run, k);
    vrw_set_mle_jacobian_kernel_args(run, matrix, r->frequency_weights, f->s.buffers);
    run = &it->hessian_runs[0];
    run->kernel = hessian;
    vrw_set_kernel_dim2(run, k, k);
    vrw_set_mle_hessian_kernel_args(run, matrix, r->frequency_weights, f->s.buffers);
    VRWStatus status = vrw_fitted_kernel_run_init(&it->prefix_runs[0], f->context, matrix,
                                                  r->exposures, f->s.buffers, f->s.buffers->fitted);
    if (status != VRW_SUCCESS)
        return status;
    set_row_run(f, &it->prefix_runs[1], prefix);
    return VRW_SUCCESS;
}

/*
** The variance belongs to the estimates reported: the Hessian is evaluated
** once more at them (the least-squares Hessian never changes). A model
** whose family has an information kernel ("vrw_information_%s") iterates
** with its observed Hessian, whose Newton steps converge quadratically,
** while its variance is the inverse of the expected information (as glm
** reports it for links that are not canonical): the kernel puts the
** expected weights in place first and, with fixed effects, the per-panel
** sums and means of the weights (the prefix runs after the row kernel) are
** taken again, so the effects are absorbed with the same weights.
*/
static VRWStatus final_information(Fit *f)
{
    if (vrw_is_least_squares(f->model))
        return VRW_SUCCESS;
    VRWKernelRun_s information = {0};
    cl_kernel kernel = find_model_kernel(f, VRW_KERNEL_PATTERN_INFORMATION);
    VRWKernelRun_s *refresh = NULL;
    int64_t refresh_count = 0;
    if (kernel) {
        set_row_run(f, &information, kernel);
        if (f->panels > 0) {
            refresh = f->s.iteration->prefix_runs + 2;
            refresh_count = (int64_t)f->s.iteration->prefix_run_count - 2;
        }
    }
    return vrw_final_hessian(f->context, f->s.iteration, f->s.buffers, &information, refresh,
                             refresh_count);
}

/* The iteration with one effect a panel; the effects land in the caller's
** out_fixed_effects, or in an array of the fit's own. */
static VRWStatus fixed_effects_iteration(Fit *f)
{
    const VRWRegression_s *r = f->r;
    double *effects = r->out_fixed_effects;
    if (!effects) {
        f->s.own_fixed_effects = malloc((size_t)f->panels * sizeof(double));
        if (!f->s.own_fixed_effects)
            return VRW_OUT_OF_HOST_MEMORY;
        effects = f->s.own_fixed_effects;
    }
    int32_t status = VRW_SUCCESS;
    f->s.iteration = vrw_iteration_ctx_init_fe(
        f->context, f->model, r->data, r->frequency_weights, r->analytic_weights, r->exposures,
        f->s.buffers, r->fixed_effect_guesses, effects, r->dependent_column, &status,
        r->dependent_value_of_interest);
    return status;
}

static VRWStatus prepare(Fit *f)
{
    const VRWRegression_s *r = f->r;
    f->estimates = r->out_coefficients;
    if (!f->estimates) {
        f->s.estimates = malloc((size_t)f->n * sizeof(double) + 1);
        if (!f->s.estimates)
            return VRW_OUT_OF_HOST_MEMORY;
        f->estimates = f->s.estimates;
    }
    int32_t status = VRW_SUCCESS;
    f->s.buffers = vrw_create_mle_buffers(
        f->context, r->independent_columns, f->n, r->constraints, f->n,
        r->fixed_effect_constraints, f->panels, r->nonempty_panels, r->nonempty_panel_count,
        (r->options & VRW_OPTION_CLUSTER) != 0, 0, NULL, 0, r->data->blocks, &status);
    if (!f->s.buffers)
        return status;
    status = f->panels > 0 ? fixed_effects_iteration(f) : plain_iteration(f);
    if (status != VRW_SUCCESS)
        return status;
    f->s.log_likelihood = vrw_log_likelihood_ctx_init(f->context, f->model, r->data,
                                                    r->frequency_weights, f->s.buffers,
                                                    r->dependent_column, &status,
                                                    r->dependent_value_of_interest);
    return status;
}

/* The residual of every observation: the buffers' scores, or for the models
** with analytic weights (whose scores carry the weight) the plain residual. */
static VRWStatus write_residuals(Fit *f)
{
    const VRWRegression_s *r = f->r;
    cl_mem source = f->s.buffers->scores;
    if (vrw_is_weighted_least_squares(f->model)) {
        VRWKernelRun_s run = {0};
        run.kernel = find_model_kernel(f, VRW_KERNEL_PATTERN_RESIDUALS);
        if (!run.kernel)
            return VRW_KERNEL_NOT_LOADED;
        vrw_set_kernel_dim1(&run, vrw_padded_rows(r->data->blocks));
        vrw_set_kernel_arg_mem(&run, r->data->data);
        vrw_set_kernel_arg_int(&run, r->dependent_column);
        vrw_set_kernel_arg_mem(&run, f->s.buffers->fitted);
        vrw_set_kernel_arg_mem(&run, f->s.buffers->row_values);
        VRWStatus status = vrw_run_kernels(f->context, &run, 1);
        if (status != VRW_SUCCESS)
            return status;
        source = f->s.buffers->row_values;
    }
    return vrw_read_data_buffer(f->context, r->data, source, 0, r->out_residuals);
}

static VRWStatus estimate_variance(Fit *f)
{
    const VRWRegression_s *r = f->r;
    int32_t status = VRW_SUCCESS;
    const VRWVectorBuffer_s *analytic = vrw_is_weighted_least_squares(f->model)
                                            ? r->analytic_weights
                                            : NULL;
    const VRWMatrixBuffer_s *matrix = analytic ? vrw_analytic_matrix(r, &f->analytic_view)
                                               : r->data;
    f->s.inference = vrw_inference_ctx_init(f->context, f->model, matrix, r->frequency_weights,
                                          analytic, f->s.buffers, &status);
    if (!f->s.inference)
        return status;
    /* The coefficients' rows of the full sandwich see each row's regressors
    ** about its panel's means. */
    if (f->panels > 0) {
        VRWKernelRun_s *run = &f->s.inference->robust_runs[0];
        run->kernel = vrw_kernel(f->context, VRWK_COMPUTE_FIXED_EFFECTS_OPG_ROBUST);
        if (!run->kernel)
            return VRW_KERNEL_NOT_LOADED;
        vrw_set_mle_fe_robust_kernel_args(run, r->data, r->frequency_weights, f->s.buffers);
    }
    f->s.variance = vrw_estimate_asymptotic_variance_mle(f->context, f->model, f->s.inference,
                                                       r->dependent_column, r->options, &f->rss,
                                                       &f->tss, &f->observations, &status);
    return status;
}

static VRWStatus count_choices(Fit *f)
{
    const VRWRegression_s *r = f->r;
    double value = r->dependent_value_of_interest, chosen = 0.0;
    VRWStatus status = vrw_count_these_values_in_this_column(
        f->context, r->data, r->frequency_weights, r->data->data, &value, 1,
        r->dependent_column, &chosen);
    if (status != VRW_SUCCESS)
        return status;
    r->out_per_choice_observation_count[0] = (int64_t)((double)f->observations - chosen);
    r->out_per_choice_observation_count[1] = (int64_t)chosen;
    return VRW_SUCCESS;
}

/* Half the sum of w log a over the n pairs of positive w and a, by
** Neumaier's sum: a million terms of either sign keep their digits. */
static double half_log_sum(const double *w, const double *a, size_t n)
{
    double sum = 0.0, carry = 0.0;
    for (size_t i = 0; i < n; i++) {
        if (!(w[i] > 0.0 && a[i] > 0.0))
            continue;
        double term = w[i] * log(a[i]), t = sum + term;
        carry += fabs(sum) >= fabs(term) ? (sum - t) + term : (term - t) + sum;
        sum = t;
    }
    return 0.5 * (sum + carry);
}

/*
** Half the sum of f log a over the rows of positive f and a: the part of the
** normal log likelihood of a weighted least-squares fit that the residual
** sum of squares does not carry (each row's variance is sigma^2 / a). The
** weights are one a row, in the frequency weights' layout, or with fixed
** effects one a panel, each counting its panel's total frequency weight.
*/
static VRWStatus half_log_weight_sum(Fit *f, double *result)
{
    const VRWVectorBuffer_s *fw = f->r->frequency_weights, *aw = f->r->analytic_weights;
    size_t n = f->panels > 0 ? (size_t)f->panels
                             : vrw_padded_rows(fw->blocks < aw->blocks ? fw->blocks : aw->blocks);
    double *values = malloc(2 * n * sizeof(double) + 1);
    if (!values)
        return VRW_OUT_OF_HOST_MEMORY;
    VRWStatus status = f->panels > 0
                           ? vrw_compute_panel_real_sizes(f->context, f->r->data, fw, values)
                           : vrw_read_bytes(f->context, fw->data, 0, n * sizeof(double), values);
    if (status == VRW_SUCCESS)
        status = vrw_read_bytes(f->context, aw->data, 0, n * sizeof(double), values + n);
    if (status == VRW_SUCCESS)
        *result = half_log_sum(values, values + n, n);
    free(values);
    return status;
}

static VRWStatus log_likelihood(Fit *f, double *result)
{
    if (!vrw_is_least_squares(f->model)) {
        int32_t status = VRW_SUCCESS;
        *result = vrw_compute_log_likelihood(f->context, f->s.log_likelihood, f->s.buffers, NULL, 0,
                                             &status);
        return status;
    }
    /* The normal log likelihood at the estimated variance RSS / N; 1 + log 2 pi. */
    double n = (double)f->observations;
    *result = -0.5 * n * (log(f->rss / n) + 2.8378770664093453);
    if (!vrw_is_weighted_least_squares(f->model) || !f->r->analytic_weights)
        return VRW_SUCCESS;
    double half = 0.0;
    VRWStatus status = half_log_weight_sum(f, &half);
    *result += half;
    return status;
}

/* The outputs after a successful iteration, in order; a failure leaves the
** earlier ones written. */
static VRWStatus write_outputs(Fit *f)
{
    const VRWRegression_s *r = f->r;
    VRWStatus status = VRW_SUCCESS;
    if (r->out_predicted_values)
        status = vrw_compute_predicted(f->context, f->model, r->data, r->exposures, f->s.buffers, 0,
                                       f->panels > 0, r->out_predicted_values);
    if (status == VRW_SUCCESS && r->out_residuals)
        status = write_residuals(f);
    if (status == VRW_SUCCESS)
        status = estimate_variance(f);
    if (status != VRW_SUCCESS)
        return status;
    int64_t k = f->s.buffers->free_count;
    if (r->out_variance_matrix)
        expand_constrained_matrix(r->out_variance_matrix, r->constraints, f->n, f->s.variance, k);
    if (r->out_free_parameter_count)
        *r->out_free_parameter_count = vrw_free_parameter_count(f->s.buffers);
    if (r->out_per_choice_observation_count && !isnan(r->dependent_value_of_interest))
        status = count_choices(f);
    if (status != VRW_SUCCESS)
        return status;
    if (r->out_standard_errors)
        vrw_write_standard_errors(r->out_standard_errors, r->constraints, f->n, f->s.variance, k);
    status = vrw_write_wald_tests(r, f->s.variance, k, f->estimates, r->constraints);
    if (status != VRW_SUCCESS)
        return status;
    if (r->out_residual_sum_of_squares)
        *r->out_residual_sum_of_squares = f->rss;
    if (r->out_total_sum_of_squares)
        *r->out_total_sum_of_squares = f->tss;
    if (r->out_observation_count)
        *r->out_observation_count = f->observations;
    if (!r->out_log_likelihood)
        return VRW_SUCCESS;
    double value = NAN;
    status = log_likelihood(f, &value);
    if (status == VRW_SUCCESS)
        *r->out_log_likelihood = value;
    return status;
}

VRWStatus vrw_fit_mle(const VRWRegression_s *r, const char *model, VRWIterationLogWord *log)
{
    Fit f = {.r = r, .model = model, .context = r->context, .rss = NAN, .tss = NAN};
    f.n = r->independent_column_count;
    f.panels = vrw_fixed_effects_asked(r) && r->data->panel_count > 0 ? r->data->panel_count : 0;
    VRWStatus status = prepare(&f);
    if (status == VRW_SUCCESS)
        status = vrw_iterate_mle(f.context, f.s.iteration, f.s.buffers, r->coefficient_guesses,
                                 f.estimates, vrw_is_least_squares(model),
                                 r->out_multicollinear_sets, log);
    if (status == VRW_SUCCESS)
        status = final_information(&f);
    if (status == VRW_SUCCESS)
        status = write_outputs(&f);
    vrw_release_fit_scratch(&f.s);
    return status;
}

static VRWStatus fit_with_start_values(VRWRegression_s *copy, const char *model,
                                       const VRWVectorBuffer_s *exposures,
                                       VRWIterationLogWord *log)
{
    VRWStartValues s = {0};
    VRWStatus status = vrw_make_start_values(copy, model, exposures, &s);
    if (status == VRW_SUCCESS)
        status = vrw_fit_mle(copy, model, log);
    vrw_free_start_values(&s);
    return status;
}

static VRWStatus fit_binary(const VRWRegression_s *r, const char *model,
                            VRWIterationLogWord *log)
{
    VRWRegression_s copy = *r;
    copy.analytic_weights = NULL;
    if (!vrw_model_is(model, "binary_linear"))
        copy.out_residual_sum_of_squares = NULL;
    return vrw_fit_mle(&copy, model, log);
}

VRWStatus vrw_fit_logit(VRWRegression_s *r, VRWIterationLogWord *log)
{
    return fit_binary(r, "logit", log);
}

VRWStatus vrw_fit_probit(VRWRegression_s *r, VRWIterationLogWord *log)
{
    return fit_binary(r, "probit", log);
}

VRWStatus vrw_fit_binary_linear(VRWRegression_s *r, VRWIterationLogWord *log)
{
    return fit_binary(r, "binary_linear", log);
}

static VRWStatus fit_count(const VRWRegression_s *r, const char *model,
                           const VRWVectorBuffer_s *exposures, VRWIterationLogWord *log)
{
    VRWRegression_s copy = *r;
    copy.dependent_value_of_interest = NAN;
    copy.out_residual_sum_of_squares = NULL;
    if (vrw_model_is(model, "geometric"))
        copy.analytic_weights = NULL;
    return fit_with_start_values(&copy, model, exposures, log);
}

VRWStatus vrw_fit_poisson(VRWRegression_s *r, VRWIterationLogWord *log)
{
    return fit_count(r, "poisson", r->exposures, log);
}

VRWStatus vrw_fit_geometric(VRWRegression_s *r, VRWIterationLogWord *log)
{
    return fit_count(r, "geometric", NULL, log);
}

VRWStatus vrw_fit_linear_model(const VRWRegression_s *r, const char *model,
                               VRWIterationLogWord *log)
{
    VRWRegression_s copy = *r;
    if (!vrw_is_weighted_least_squares(model))
        copy.analytic_weights = NULL;
    copy.dependent_value_of_interest = NAN;
    return fit_with_start_values(&copy, model, NULL, log);
}

/*
** With fixed effects each panel carries one analytic weight, the mean of its
** rows' weights under the frequency weights, loaded for the fit and unloaded
** after it. Without fixed effects the weights stay one a row even on panel
** data (clusters): the panels must not change the estimates.
*/
VRWStatus vrw_fit_weighted_linear_model(VRWRegression_s *r, const char *model,
                                        VRWIterationLogWord *log)
{
    if (!vrw_fixed_effects_asked(r) || r->data->panel_count <= 0 || !r->analytic_weights)
        return vrw_fit_linear_model(r, model, log);
    size_t panels = (size_t)r->data->panel_count;
    double *means = malloc(panels * sizeof(double));
    if (!means)
        return VRW_OUT_OF_HOST_MEMORY;
    int32_t status = vrw_compute_panel_vector_means(r->context, r->data, r->frequency_weights,
                                                    r->analytic_weights, means);
    VRWVectorBuffer_s *per_panel = NULL;
    if (status == VRW_SUCCESS)
        per_panel = vrw_load_float_vector(r->context, means, (uint32_t)panels, &status);
    free(means);
    if (!per_panel)
        return status;
    const VRWVectorBuffer_s *callers = r->analytic_weights;
    r->analytic_weights = per_panel;
    status = vrw_fit_linear_model(r, model, log);
    r->analytic_weights = callers;
    vrw_unload_vector(per_panel);
    return status;
}

VRWStatus vrw_fit_linear(VRWRegression_s *r, VRWIterationLogWord *log)
{
    return vrw_fit_linear_model(r, "linear", log);
}

VRWStatus vrw_fit_log_linear(VRWRegression_s *r, VRWIterationLogWord *log)
{
    return vrw_fit_linear_model(r, "log_linear", log);
}

VRWStatus vrw_fit_weighted_linear(VRWRegression_s *r, VRWIterationLogWord *log)
{
    return vrw_fit_weighted_linear_model(r, "weighted_linear", log);
}

VRWStatus vrw_fit_weighted_log_linear(VRWRegression_s *r, VRWIterationLogWord *log)
{
    return vrw_fit_weighted_linear_model(r, "weighted_log_linear", log);
}
