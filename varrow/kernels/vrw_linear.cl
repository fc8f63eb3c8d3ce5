// Kernels of the least-squares fits, one padded row each (global size
// blocks x 16). The dependent value is y, or log y for the log-linear models;
// eta is the row's fitted value.
//
// The prefix kernels leave the residual in scores and -1 in weights, so the
// Newton step of the common kernels is the least-squares solution. With
// analytic weights a the score is a x residual and the weight -a: the
// gradient and the outer products of the common kernels, which know no
// analytic weights, then come out weighted. The residual kernels give back
// the plain residual of those models.
#pragma OPENCL EXTENSION cl_khr_fp64 : enable

inline double dependent_value(global const double *data, int dependent)
{
    return data[(size_t)dependent * get_global_size(0) + get_global_id(0)];
}

kernel void vrw_prefix_linear(global const double *data, int dependent,
                              global const double *fitted, global double *scores,
                              global double *weights)
{
    size_t r = get_global_id(0);
    scores[r] = dependent_value(data, dependent) - fitted[r];
    weights[r] = -1.0;
}

kernel void vrw_prefix_log_linear(global const double *data, int dependent,
                                  global const double *fitted, global double *scores,
                                  global double *weights)
{
    size_t r = get_global_id(0);
    scores[r] = log(dependent_value(data, dependent)) - fitted[r];
    weights[r] = -1.0;
}

kernel void vrw_prefix_weighted_linear(global const double *data, int dependent,
                                       global const double *fitted, global double *scores,
                                       global double *weights, global const double *analytic)
{
    size_t r = get_global_id(0);
    double a = analytic[r];
    scores[r] = a * (dependent_value(data, dependent) - fitted[r]);
    weights[r] = -a;
}

kernel void vrw_prefix_weighted_log_linear(global const double *data, int dependent,
                                           global const double *fitted, global double *scores,
                                           global double *weights,
                                           global const double *analytic)
{
    size_t r = get_global_id(0);
    double a = analytic[r];
    scores[r] = a * (log(dependent_value(data, dependent)) - fitted[r]);
    weights[r] = -a;
}

kernel void vrw_residuals_weighted_linear(global const double *data, int dependent,
                                          global const double *fitted, global double *residuals)
{
    size_t r = get_global_id(0);
    residuals[r] = dependent_value(data, dependent) - fitted[r];
}

kernel void vrw_residuals_weighted_log_linear(global const double *data, int dependent,
                                              global const double *fitted,
                                              global double *residuals)
{
    size_t r = get_global_id(0);
    residuals[r] = log(dependent_value(data, dependent)) - fitted[r];
}

// The expected outcome of the log-linear models on the outcome's own scale.
kernel void vrw_predict_log_linear(global const double *fitted, global double *predicted)
{
    size_t r = get_global_id(0);
    predicted[r] = exp(fitted[r]);
}
