// Linear predictors: one work item a block of 16 padded rows, global size
// the matrix's blocks. Row r of output is the sum over the regressors j of
// data[columns[j]][r] x estimates[j], plus the fixed effect of the row's panel
// in the fixed-effects variant, plus log(exposure) where an exposure is given.
#pragma OPENCL EXTENSION cl_khr_fp64 : enable

inline double16 linear_predictor(global const double *data, global const int *columns,
                                 int variable_count, global const double *estimates, int b)
{
    size_t rows = get_global_size(0) * 16;
    double16 sum = 0.0;
    for (int j = 0; j < variable_count; j++)
        sum = fma(vload16(b, data + (size_t)columns[j] * rows), (double16)estimates[j], sum);
    return sum;
}

// Padding rows and rows left out have no positive exposure; they get none
// rather than log(0).
inline double16 log_exposure(global const double *exposures, int b)
{
    if (!exposures)
        return 0.0;
    double16 e = vload16(b, exposures);
    return select((double16)0.0, log(e), isgreater(e, (double16)0.0));
}

// The fixed effect of the panel of each of the block's four quads.
inline double16 panel_effects(global const double *fixed_effects, global const int *quad_panels,
                              int b)
{
    int q = 4 * b;
    return (double16)((double4)(fixed_effects[quad_panels[q]]),
                      (double4)(fixed_effects[quad_panels[q + 1]]),
                      (double4)(fixed_effects[quad_panels[q + 2]]),
                      (double4)(fixed_effects[quad_panels[q + 3]]));
}

kernel void vrw_compute_fitted(global const double *data, global const int *columns,
                               int variable_count, global const double *estimates,
                               global double *output, global const double *exposures)
{
    int b = get_global_id(0);
    double16 eta = linear_predictor(data, columns, variable_count, estimates, b);
    vstore16(eta + log_exposure(exposures, b), b, output);
}

kernel void vrw_compute_fitted_fe(global const double *data, global const int *columns,
                                  int variable_count, global const double *estimates,
                                  global double *output, global const double *fixed_effects,
                                  global const int *quad_panels, global const double *exposures)
{
    int b = get_global_id(0);
    double16 eta = linear_predictor(data, columns, variable_count, estimates, b)
                   + panel_effects(fixed_effects, quad_panels, b);
    vstore16(eta + log_exposure(exposures, b), b, output);
}
