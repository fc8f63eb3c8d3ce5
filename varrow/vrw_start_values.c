/* Start values of the fits from means of the outcome on the model's scale:
** the constant's, or with fixed effects each panel's. */
#include "varrow/vrw_fit_internal.h"

#include <math.h>
#include <stdlib.h>

void vrw_free_start_values(VRWStartValues *s)
{
    free(s->coefficients);
    free(s->fixed_effects);
}

/* Where the model's expected outcome is the exponential of the linear
** predictor, start values are logarithms of means. */
static bool exponential_mean(const char *model)
{
    return vrw_model_is(model, "poisson") || vrw_model_is(model, "geometric")
           || vrw_model_is(model, "negbin2");
}

/* The start of the constant or of a panel effect from the outcome's mean
** (already on the model's scale for the log-linear ones) and, with
** exposures, the exposures' mean. */
static double start_from_means(const char *model, double outcome_mean, double exposure_mean)
{
    if (!exponential_mean(model))
        return outcome_mean;
    double start = log(outcome_mean);
    return isnan(exposure_mean) ? start : start - log(exposure_mean);
}

static double outcome_mean(VRWRegression_s *copy, const char *model, int32_t *status)
{
    VRWMatrixBuffer_s view;
    const VRWMatrixBuffer_s *m = copy->data;
    const VRWVectorBuffer_s *w = copy->frequency_weights;
    int32_t y = copy->dependent_column;
    if (vrw_model_is(model, "log_linear"))
        return vrw_compute_column_log_mean(copy->context, m, w, y, status);
    const VRWMatrixBuffer_s *panels = vrw_analytic_matrix(copy, &view);
    if (vrw_model_is(model, "weighted_linear"))
        return vrw_compute_weighted_mean(copy->context, panels, w, y, copy->analytic_weights,
                                         status);
    if (vrw_model_is(model, "weighted_log_linear"))
        return vrw_compute_weighted_log_mean(copy->context, panels, w, y, copy->analytic_weights,
                                             status);
    return vrw_compute_column_mean(copy->context, m, w, y, status);
}

/* One start value a panel from the panel means of the outcome (and of the
** exposures), for a fixed-effects fit on a matrix not loaded demeaned. */
static VRWStatus panel_start_values(VRWRegression_s *copy, const char *model,
                                    const VRWVectorBuffer_s *exposures, VRWStartValues *s)
{
    size_t panels = (size_t)copy->data->panel_count;
    double *means = malloc(2 * panels * sizeof(double) + 1);
    s->fixed_effects = malloc(panels * sizeof(double) + 1);
    if (!means || !s->fixed_effects) {
        free(means);
        return VRW_OUT_OF_HOST_MEMORY;
    }
    double *exposure_means = means + panels;
    VRWStatus status = vrw_compute_panel_column_means(copy->context, copy->data,
                                                      copy->frequency_weights,
                                                      copy->dependent_column, means);
    if (status == VRW_SUCCESS && exposures)
        status = vrw_compute_panel_vector_means(copy->context, copy->data,
                                                copy->frequency_weights, exposures,
                                                exposure_means);
    bool log_mean = vrw_model_is(model, "log_linear") || vrw_model_is(model, "weighted_log_linear");
    for (size_t p = 0; status == VRW_SUCCESS && p < panels; p++) {
        double mean = log_mean ? log(means[p]) : means[p];
        s->fixed_effects[p] = start_from_means(model, mean, exposures ? exposure_means[p] : NAN);
    }
    free(means);
    copy->fixed_effect_guesses = s->fixed_effects;
    return status;
}

/* Zeros, and the constant at the mean of the outcome on the model's scale. */
static VRWStatus constant_start_values(VRWRegression_s *copy, const char *model,
                                       const VRWVectorBuffer_s *exposures, VRWStartValues *s)
{
    int64_t n = copy->independent_column_count;
    s->coefficients = calloc((size_t)n + 1, sizeof(double));
    if (!s->coefficients)
        return VRW_OUT_OF_HOST_MEMORY;
    copy->coefficient_guesses = s->coefficients;
    int64_t constant = -1;
    for (int64_t i = 0; i < n; i++)
        if (copy->independent_columns[i] == copy->constant_column)
            constant = i;
    if (constant < 0)
        return VRW_SUCCESS;
    int32_t status = VRW_SUCCESS;
    double mean = outcome_mean(copy, model, &status);
    double exposure_mean = NAN;
    if (status == VRW_SUCCESS && exposures)
        exposure_mean = vrw_compute_vector_mean(copy->context, exposures,
                                                copy->frequency_weights, &status);
    s->coefficients[constant] = start_from_means(model, mean, exposure_mean);
    return status;
}

VRWStatus vrw_make_start_values(VRWRegression_s *copy, const char *model,
                                const VRWVectorBuffer_s *exposures, VRWStartValues *s)
{
    if (vrw_fixed_effects_asked(copy) && copy->data->panel_count > 0 && !copy->data->panel_means) {
        if (!copy->fixed_effect_guesses)
            return panel_start_values(copy, model, exposures, s);
        return VRW_SUCCESS;
    }
    if (!copy->coefficient_guesses && copy->constant_column != -1)
        return constant_start_values(copy, model, exposures, s);
    return VRW_SUCCESS;
}

