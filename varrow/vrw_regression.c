/* The regression record, its setters and the frame of a run: regressors and
** panels without data, the fit of the model, and what could not be
** estimated marked NaN. */
#include "varrow/vrw_regression.h"
#include "varrow/vrw_internal.h"

#include <math.h>
#include <stdlib.h>

#define MODEL_COUNT 15

typedef VRWStatus (*Fit)(VRWRegression_s *r, VRWIterationLogWord *log);

/* The fit and kernel families of each model code. */
static const struct {
    Fit fit;
    uint32_t families;
} models[MODEL_COUNT] = {
    {vrw_fit_linear, 0x88},
    {vrw_fit_log_linear, 0x88},
    {vrw_fit_weighted_linear, 0x88},
    {vrw_fit_weighted_log_linear, 0x88},
    {vrw_instrument_linear, 0x180},
    {vrw_fit_logit, 0x81},
    {vrw_fit_probit, 0x81},
    {vrw_fit_binary_linear, 0x81},
    {vrw_fit_poisson, 0x90},
    {vrw_fit_negative_binomial, 0xA0},
    {vrw_fit_geometric, 0x90},
    {vrw_fit_cox_proportional_hazards, 0xC0},
    {vrw_fit_multinomial_logit, 0x84},
    {vrw_fit_ordered_logit, 0x82},
    {vrw_fit_ordered_probit, 0x82},
};

static bool known_model(VRWRegressionModel model)
{
    return model >= 0 && model < MODEL_COUNT;
}

VRWRegression_s *vrw_init_regression(VRWContext_s *context, VRWRegressionModel model)
{
    VRWRegression_s *r = calloc(1, sizeof *r);
    if (!r)
        return NULL;
    r->context = context;
    r->model = model;
    r->family_mask = known_model(model) ? models[model].families : VRW_FAMILY_COMMON;
    r->dependent_column = -1;
    r->constant_column = -1;
    r->independent_column_count = -1;
    r->dependent_value_of_interest = NAN;
    return r;
}

void vrw_free_regression(VRWRegression_s *regression)
{
    free(regression);
}

/* Model sets of the setters: a bit a model code; ALL_MODELS takes codes
** outside the table too. */
#define ALL_MODELS 0xFFFFFFFFu
#define MODELS(...) models_mask((const int[]){__VA_ARGS__, -1})

static uint32_t models_mask(const int *codes)
{
    uint32_t mask = 0;
    for (; *codes >= 0; codes++)
        mask |= 1u << *codes;
    return mask;
}

static bool applies(const VRWRegression_s *r, uint32_t mask)
{
    if (mask == ALL_MODELS)
        return true;
    return r->model >= 0 && r->model < 32 && (mask >> r->model & 1u);
}

#define SETTER(name, type, field, mask)                  \
    VRWStatus name(VRWRegression_s *r, type value)       \
    {                                                    \
        if (!applies(r, mask))                           \
            return VRW_NOT_APPLICABLE;                   \
        r->field = value;                                \
        return VRW_SUCCESS;                              \
    }

SETTER(vrw_set_reg_data, const VRWMatrixBuffer_s *, data, ALL_MODELS)
SETTER(vrw_set_reg_analytic_weights, const VRWVectorBuffer_s *, analytic_weights, MODELS(2, 3))
SETTER(vrw_set_reg_frequency_weights, const VRWVectorBuffer_s *, frequency_weights, ALL_MODELS)
SETTER(vrw_set_reg_exposures, const VRWVectorBuffer_s *, exposures, MODELS(8, 9))
SETTER(vrw_set_reg_censoring, const VRWVectorBuffer_s *, censoring, MODELS(11))
SETTER(vrw_set_reg_strata, const VRWVectorBuffer_s *, strata, MODELS(11))
SETTER(vrw_set_reg_causes, const VRWVectorBuffer_s *, causes, MODELS(11))
SETTER(vrw_set_reg_dependent_column, int32_t, dependent_column, ALL_MODELS)
SETTER(vrw_set_reg_dependent_value_of_interest, double, dependent_value_of_interest,
       MODELS(5, 6, 7))
SETTER(vrw_set_reg_omitted_dependent_value, double, omitted_dependent_value, ALL_MODELS)
SETTER(vrw_set_reg_constant_column, int32_t, constant_column, ALL_MODELS)
SETTER(vrw_set_reg_weighting_matrix, const double *, weighting_matrix, MODELS(4))
SETTER(vrw_set_reg_options, uint32_t, options, ALL_MODELS)
SETTER(vrw_set_reg_constraints, const double *, constraints, ALL_MODELS)
SETTER(vrw_set_reg_coefficient_guesses, const double *, coefficient_guesses, ALL_MODELS)
SETTER(vrw_set_reg_fixed_effect_guesses, const double *, fixed_effect_guesses, ALL_MODELS)
SETTER(vrw_set_reg_out_coefficients, double *, out_coefficients, ALL_MODELS)
SETTER(vrw_set_reg_out_standard_errors, double *, out_standard_errors, ALL_MODELS)
SETTER(vrw_set_reg_out_variance_matrix, double *, out_variance_matrix, ALL_MODELS)
SETTER(vrw_set_reg_out_free_parameter_count, int64_t *, out_free_parameter_count, ALL_MODELS)
SETTER(vrw_set_reg_out_fixed_effects, double *, out_fixed_effects, ALL_MODELS)
SETTER(vrw_set_reg_out_nuisance_coefficients, double *, out_nuisance_coefficients, ALL_MODELS)
SETTER(vrw_set_reg_out_nuisance_standard_errors, double *, out_nuisance_standard_errors,
       ALL_MODELS)
SETTER(vrw_set_reg_out_residuals, double *, out_residuals, ALL_MODELS)
SETTER(vrw_set_reg_out_residual_sum_of_squares, double *, out_residual_sum_of_squares,
       ALL_MODELS)
SETTER(vrw_set_reg_out_total_sum_of_squares, double *, out_total_sum_of_squares, ALL_MODELS)
SETTER(vrw_set_reg_out_observation_count, int64_t *, out_observation_count, ALL_MODELS)
SETTER(vrw_set_reg_out_per_cause_observation_count, int64_t *, out_per_cause_observation_count,
       MODELS(11))
SETTER(vrw_set_reg_out_per_choice_observation_count, int64_t *, out_per_choice_observation_count,
       MODELS(5, 6, 7, 12, 13, 14))
SETTER(vrw_set_reg_out_log_likelihood, double *, out_log_likelihood, ALL_MODELS)
SETTER(vrw_set_reg_out_per_cause_log_likelihood, double *, out_per_cause_log_likelihood,
       MODELS(11))
SETTER(vrw_set_reg_out_per_choice_log_likelihood, double *, out_per_choice_log_likelihood,
       MODELS(5, 6, 12, 13, 14))
SETTER(vrw_set_reg_out_predicted_values, double *, out_predicted_values, ALL_MODELS)
SETTER(vrw_set_reg_out_objective_function, double *, out_objective_function, ALL_MODELS)
SETTER(vrw_set_reg_out_multicollinear_sets, int64_t *, out_multicollinear_sets, ALL_MODELS)
SETTER(vrw_set_reg_out_failure_time_stratum_counts, int32_t *, out_failure_time_stratum_counts,
       MODELS(11))
SETTER(vrw_set_reg_out_censored_count, int64_t *, out_censored_count, MODELS(11))

VRWStatus vrw_set_reg_dependent_values(VRWRegression_s *r, const double *values, uint32_t count)
{
    r->dependent_values = values;
    r->dependent_value_count = count;
    return VRW_SUCCESS;
}

VRWStatus vrw_set_reg_cause_values(VRWRegression_s *r, const double *values, uint32_t count)
{
    if (!applies(r, MODELS(11)))
        return VRW_NOT_APPLICABLE;
    r->cause_values = values;
    r->cause_value_count = count;
    return VRW_SUCCESS;
}

VRWStatus vrw_set_reg_independent_columns(VRWRegression_s *r, const int32_t *columns,
                                          int64_t count)
{
    r->independent_columns = columns;
    r->independent_column_count = count;
    return VRW_SUCCESS;
}

VRWStatus vrw_set_reg_instrument_columns(VRWRegression_s *r, const int32_t *columns,
                                         int64_t count)
{
    if (!applies(r, MODELS(4)))
        return VRW_NOT_APPLICABLE;
    r->instrument_columns = columns;
    r->instrument_column_count = count;
    return VRW_SUCCESS;
}

VRWStatus vrw_set_reg_restrictions(VRWRegression_s *r, const VRWTestRestrictions_s *restrictions,
                                   double *statistics, int64_t *degrees_of_freedom)
{
    r->restrictions = restrictions;
    r->out_wald_statistics = statistics;
    r->out_wald_degrees_of_freedom = degrees_of_freedom;
    return VRW_SUCCESS;
}

VRWStatus vrw_set_reg_out_hazard_function(VRWRegression_s *r, double *failure_times,
                                          double *hazards)
{
    if (!applies(r, MODELS(11)))
        return VRW_NOT_APPLICABLE;
    r->out_failure_times = failure_times;
    r->out_hazard_function = hazards;
    return VRW_SUCCESS;
}

VRWStatus vrw_set_reg_out_stratum_values(VRWRegression_s *r, double *values, int32_t *count)
{
    if (!applies(r, MODELS(11)))
        return VRW_NOT_APPLICABLE;
    r->out_stratum_values = values;
    r->out_stratum_value_count = count;
    return VRW_SUCCESS;
}

/* What a run makes and releases on every path. */
typedef struct {
    int64_t k, sets, panels;
    int32_t *has_data;             /* k flags */
    double *constraints;           /* sets x k */
    double *panel_sizes;           /* the real size of each panel */
} RunFrame;

/* The Cox fit runs one fit a cause value only with the causes vector beside
** the values; the sets counted here must be the ones it reads, or cause
** values without a vector (an empty list above all) would leave it reading
** constraints past the end of those made here. */
static int64_t coefficient_sets(const VRWRegression_s *r)
{
    if (r->model == VRW_MODEL_COX_PROPORTIONAL_HAZARDS && r->causes && r->cause_values)
        return r->cause_value_count;
    if (r->model == VRW_MODEL_MULTINOMIAL_LOGIT)
        return r->dependent_value_count;
    return 1;
}

static void free_frame(VRWRegression_s *r, RunFrame *f)
{
    free(f->has_data);
    free(f->constraints);
    free(f->panel_sizes);
    free(r->nonempty_panels);
    free(r->fixed_effect_constraints);
    r->nonempty_panels = NULL;
    r->fixed_effect_constraints = NULL;
    r->nonempty_panel_count = 0;
}

/* A regressor without data in rows of positive weight is fixed at 0 in every
** set; the others keep the caller's constraint (NaN = free). */
static VRWStatus fix_regressors_without_data(VRWRegression_s *r, RunFrame *f)
{
    size_t k = (size_t)f->k, sets = (size_t)f->sets;
    f->has_data = calloc(k, sizeof(int32_t));
    f->constraints = malloc(sets * k * sizeof(double) + 1);
    if (!f->has_data || !f->constraints)
        return VRW_OUT_OF_HOST_MEMORY;
    VRWStatus status = vrw_which_matrix_columns_have_data(r->context, r->data,
                                                          r->frequency_weights,
                                                          r->independent_columns, (int32_t)k,
                                                          f->has_data);
    if (status != VRW_SUCCESS)
        return status;
    for (size_t s = 0; s < sets; s++)
        for (size_t j = 0; j < k; j++)
            f->constraints[s * k + j] = !f->has_data[j]  ? 0.0
                                        : r->constraints ? r->constraints[j]
                                                         : NAN;
    return VRW_SUCCESS;
}

/* Panels of positive frequency weight are the non-empty ones; the fixed
** effect of every other panel is fixed at 0. */
static VRWStatus list_nonempty_panels(VRWRegression_s *r, RunFrame *f)
{
    size_t panels = (size_t)f->panels, sets = (size_t)f->sets;
    f->panel_sizes = malloc(panels * sizeof(double));
    r->nonempty_panels = malloc(panels * sizeof(uint32_t));
    r->fixed_effect_constraints = malloc(sets * panels * sizeof(double));
    if (!f->panel_sizes || !r->nonempty_panels || !r->fixed_effect_constraints)
        return VRW_OUT_OF_HOST_MEMORY;
    VRWStatus status = vrw_compute_panel_real_sizes(r->context, r->data, r->frequency_weights,
                                                    f->panel_sizes);
    if (status != VRW_SUCCESS)
        return status;
    for (size_t p = 0; p < panels; p++) {
        bool nonempty = f->panel_sizes[p] > 0;
        if (nonempty)
            r->nonempty_panels[r->nonempty_panel_count++] = (uint32_t)p;
        for (size_t s = 0; s < sets; s++)
            r->fixed_effect_constraints[s * panels + p] = nonempty ? NAN : 0.0;
    }
    return VRW_SUCCESS;
}

/* Nothing can be estimated from no more observations than free parameters:
** the fit would end in a NaN "success" (a zero residual variance, an
** infinite small-sample factor) or fail on empty buffers. The free
** parameters counted are those of one coefficient set and, with fixed
** effects, the non-empty panels; the fits of more sets or of cut points
** refuse what is left. A record of no set (a multinomial logit without
** choices, a Cox model with an empty list of causes) estimates nothing. */
static VRWStatus check_observations(VRWRegression_s *r, const RunFrame *f)
{
    int32_t status = VRW_SUCCESS;
    double observations = vrw_compute_fweight_sum(r->context, r->frequency_weights, &status);
    if (status != VRW_SUCCESS)
        return status;
    int64_t free_parameters = 0;
    for (int64_t j = 0; f->sets > 0 && j < f->k; j++)
        free_parameters += isnan(f->constraints[j]);
    if (r->options & VRW_OPTION_FIXED_EFFECTS)
        free_parameters += r->nonempty_panel_count;
    if (!(observations > 0) || observations <= (double)free_parameters)
        return VRW_TOO_FEW_OBSERVATIONS;
    return VRW_SUCCESS;
}

/* The fits test the restrictions on the S x k coefficients they report,
** with the run's S x k constraints: a record on more coefficients would
** have the tests read past both arrays. */
static bool restrictions_fit_the_coefficients(const VRWRegression_s *r, const RunFrame *f)
{
    const VRWTestRestrictions_s *t = r->restrictions;
    if (!t || t->test_count <= 0 || !r->out_wald_statistics)
        return true;
    return t->variable_count <= f->sets * f->k;
}

static VRWStatus prepare(VRWRegression_s *r, RunFrame *f)
{
    /* No regressor: making the column flags on the device would fail on an
    ** empty buffer, and there is nothing to fit. */
    if (f->k <= 0)
        return CL_INVALID_BUFFER_SIZE;
    if (!restrictions_fit_the_coefficients(r, f))
        return CL_INVALID_VALUE;
    if (!r->data || !r->frequency_weights)
        return VRW_NO_PANELS;
    VRWStatus status = fix_regressors_without_data(r, f);
    if (status == VRW_SUCCESS && f->panels > 0)
        status = list_nonempty_panels(r, f);
    if (status == VRW_SUCCESS && known_model(r->model) && models[r->model].fit)
        status = check_observations(r, f);
    return status;
}

/* Marks what had nothing to be estimated from, whatever the fit's status. */
static void mark_unestimated(VRWRegression_s *r, const RunFrame *f)
{
    for (int64_t s = 0; s < f->sets; s++)
        for (int64_t j = 0; j < f->k; j++) {
            if (f->has_data[j])
                continue;
            if (r->out_coefficients)
                r->out_coefficients[s * f->k + j] = NAN;
            if (r->out_standard_errors)
                r->out_standard_errors[s * f->k + j] = NAN;
        }
    if (!r->out_fixed_effects)
        return;
    for (int64_t s = 0; s < f->sets; s++)
        for (int64_t p = 0; p < f->panels; p++)
            if (!(f->panel_sizes[p] > 0))
                r->out_fixed_effects[s * f->panels + p] = NAN;
}

VRWStatus vrw_run_regression(VRWRegression_s *r, VRWIterationLogWord *log)
{
    RunFrame f = {.k = r->independent_column_count, .sets = coefficient_sets(r)};
    f.panels = r->data && r->data->panel_count > 0 ? r->data->panel_count : 0;
    VRWStatus status = prepare(r, &f);
    if (status != VRW_SUCCESS) {
        free_frame(r, &f);
        return status;
    }
    const double *callers_constraints = r->constraints;
    r->constraints = f.constraints;
    if (known_model(r->model))
        status = models[r->model].fit ? models[r->model].fit(r, log) : VRW_KERNEL_NOT_LOADED;
    r->constraints = callers_constraints;
    mark_unestimated(r, &f);
    free_frame(r, &f);
    return status;
}
