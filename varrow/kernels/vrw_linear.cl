// Kernels of the least-squares fits, run over every padded row (global size
// blocks x 16). The dependent value is y, or log y for the log-linear models;
// eta is the row's fitted value.
//
// The prefix kernels leave the residual in scores and -1 in weights, so the
// Newton step of the common kernels is the least-squares solution. With
// analytic weights a the score is a x residual and the weight -a: the
// gradient and the outer products of the common kernels, which know no
// analytic weights, then come out weighted. The residual kernels give back
// the plain residual of those models.
//
// The work item of every 16th row computes its block of 16 rows in vector
// lanes and the others have nothing to do, as in the other row kernels. The
// fixed-effects variants of the weighted models run one work item a block
// (global size blocks), their analytic weights one a panel.
#pragma OPENCL EXTENSION cl_khr_fp64 : enable

inline double16 residual16(global const double *data, int dependent,
                           global const double *fitted, int transform, int b)
{
    double16 y = vload16(b, data + (size_t)dependent * get_global_size(0));
    return (transform == VALUE_LOG ? log(y) : y) - vload16(b, fitted);
}

inline void least_squares(global const double *data, int dependent, global const double *fitted,
                          global double *scores, global double *weights,
                          global const double *analytic, int transform)
{
    int b = block_of_item();
    if (b < 0)
        return;
    double16 a = analytic ? vload16(b, analytic) : (double16)1.0;
    vstore16(a * residual16(data, dependent, fitted, transform, b), b, scores);
    vstore16(-a, b, weights);
}

kernel void vrw_prefix_linear(global const double *data, int dependent,
                              global const double *fitted, global double *scores,
                              global double *weights)
{
    least_squares(data, dependent, fitted, scores, weights, 0, VALUE_PLAIN);
}

kernel void vrw_prefix_log_linear(global const double *data, int dependent,
                                  global const double *fitted, global double *scores,
                                  global double *weights)
{
    least_squares(data, dependent, fitted, scores, weights, 0, VALUE_LOG);
}

kernel void vrw_prefix_weighted_linear(global const double *data, int dependent,
                                       global const double *fitted, global double *scores,
                                       global double *weights, global const double *analytic)
{
    least_squares(data, dependent, fitted, scores, weights, analytic, VALUE_PLAIN);
}

kernel void vrw_prefix_weighted_log_linear(global const double *data, int dependent,
                                           global const double *fitted, global double *scores,
                                           global double *weights,
                                           global const double *analytic)
{
    least_squares(data, dependent, fitted, scores, weights, analytic, VALUE_LOG);
}

// The analytic weight of every row of block b: the weight of its quad's
// panel.
inline double16 panel_weights16(global const double *analytic, global const int *quad_panels,
                                int b)
{
    int q = 4 * b;
    return (double16)((double4)(analytic[quad_panels[q]]), (double4)(analytic[quad_panels[q + 1]]),
                      (double4)(analytic[quad_panels[q + 2]]),
                      (double4)(analytic[quad_panels[q + 3]]));
}

// The fitted values already hold the panel effects; fixed_effects is part of
// the argument list every fixed-effects prefix of these models takes.
inline void least_squares_fe(global const double *data, int dependent,
                             global const double *fitted, global double *scores,
                             global double *weights, global const int *quad_panels,
                             global const double *analytic, int transform)
{
    int b = get_global_id(0);
    global const double *column = data + (size_t)dependent * get_global_size(0) * 16;
    double16 y = vload16(b, column);
    double16 a = panel_weights16(analytic, quad_panels, b);
    double16 residual = (transform == VALUE_LOG ? log(y) : y) - vload16(b, fitted);
    vstore16(a * residual, b, scores);
    vstore16(-a, b, weights);
}

kernel void vrw_prefix_weighted_linear_fe(global const double *data, int dependent,
                                          global const double *fitted, global double *scores,
                                          global double *weights,
                                          global const double *fixed_effects,
                                          global const int *quad_panels,
                                          global const double *analytic)
{
    least_squares_fe(data, dependent, fitted, scores, weights, quad_panels, analytic,
                     VALUE_PLAIN);
}

kernel void vrw_prefix_weighted_log_linear_fe(global const double *data, int dependent,
                                              global const double *fitted,
                                              global double *scores, global double *weights,
                                              global const double *fixed_effects,
                                              global const int *quad_panels,
                                              global const double *analytic)
{
    least_squares_fe(data, dependent, fitted, scores, weights, quad_panels, analytic, VALUE_LOG);
}

kernel void vrw_residuals_weighted_linear(global const double *data, int dependent,
                                          global const double *fitted, global double *residuals)
{
    int b = block_of_item();
    if (b >= 0)
        vstore16(residual16(data, dependent, fitted, VALUE_PLAIN, b), b, residuals);
}

kernel void vrw_residuals_weighted_log_linear(global const double *data, int dependent,
                                              global const double *fitted,
                                              global double *residuals)
{
    int b = block_of_item();
    if (b >= 0)
        vstore16(residual16(data, dependent, fitted, VALUE_LOG, b), b, residuals);
}

// The expected outcome of the log-linear models on the outcome's own scale.
kernel void vrw_predict_log_linear(global const double *fitted, global double *predicted)
{
    int b = block_of_item();
    if (b >= 0)
        vstore16(exp(vload16(b, fitted)), b, predicted);
}
