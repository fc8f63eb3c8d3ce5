// Row kernels of the ordered logit and probit fits. A row of category u
// (its position among the categories present) falls between the cut points
// c_u and c_u+1, the estimates variable_count + u and variable_count + u + 1
// (c_0 is minus and the last plus infinity): with eta its linear predictor
// and F the logistic or normal distribution, its chance is
// P = F(c_u+1 - eta) - F(c_u - eta).
//
// The prefix leaves in scores, weights and the seven row buffers the first
// and second derivatives of log P in eta and in the two cut points, and
// log P itself in row_values, which the log-likelihood sums read. P is never
// formed as a difference of two chances near 1: the logistic chance is
// F(z1) (1 - F(z0)) (1 - exp(c_u - c_u+1)), the normal one the difference in
// the tail the interval lies in, taken in logarithms, so neither the terms
// nor their ratios lose their digits far out.
//
// The category map holds the number M of whole values it covers, then the
// category of each; a value it does not cover (a row left out, or padding)
// is read as category 0, whose terms the sums weigh by 0.
//
// One work item a padded row (global size blocks x 16); the item of every
// 16th row computes its block in vector lanes, the others have nothing to do.
#pragma OPENCL EXTENSION cl_khr_fp64 : enable

#define LOGIT 0
#define PROBIT 1

// The block of the calling item, or -1 when it is not a block's first row.
inline int block_of_row(size_t item)
{
    return item % 16 == 0 ? (int)(item / 16) : -1;
}

// log P of the interval (lower, upper) about eta, and for each of its two
// ends the density and its derivative over P (0 at an infinite end).
typedef struct {
    double16 log_p;
    double16 r_lower, r_upper;
    double16 g_lower, g_upper;
} Interval;

inline Interval interval16(double16 lower, double16 upper, double16 eta, int link)
{
    double16 z0 = lower - eta, z1 = upper - eta;
    Interval v;
    if (link == LOGIT) {
        double16 f0 = logistic16(z0), s0 = logistic16(-z0);
        double16 f1 = logistic16(z1), s1 = logistic16(-z1);
        double16 width = -expm1(lower - upper);
        v.log_p = -softplus16(-z1) - softplus16(z0) + log(width);
        v.r_upper = s1 / (s0 * width);
        v.r_lower = f0 / (f1 * width);
        v.g_upper = v.r_upper * (s1 - f1);
        v.g_lower = v.r_lower * (s0 - f0);
        return v;
    }
    // The difference in the lower tail when the interval lies below 0, else
    // in the upper one.
    long16 below = islessequal(z0 + z1, (double16)0.0);
    double16 near = select(log_lower16(-z0), log_lower16(z1), below);
    double16 far = select(log_lower16(-z1), log_lower16(z0), below);
    v.log_p = near + log1p(-exp(far - near));
    double16 half_log_2pi = 0.5 * log(2.0 * M_PI);
    v.r_upper = exp(-0.5 * z1 * z1 - half_log_2pi - v.log_p);
    v.r_lower = exp(-0.5 * z0 * z0 - half_log_2pi - v.log_p);
    v.g_upper = select(-z1 * v.r_upper, (double16)0.0, isinf(z1));
    v.g_lower = select(-z0 * v.r_lower, (double16)0.0, isinf(z0));
    return v;
}

// The categories of the block's rows (0 for a value the map does not cover)
// and their lower and upper cut points.
typedef struct {
    double16 lower, upper;
} Cuts;

inline Cuts cuts16(global const double *y, global const int *category_map,
                   global const double *estimates, int variable_count, int b)
{
    double values[16], lower[16], upper[16];
    vstore16(vload16(b, y), 0, values);
    int covered = category_map[0];
    for (int i = 0; i < 16; i++) {
        double v = values[i];
        int u = v >= 0.0 && v < covered ? category_map[1 + (int)v] : 0;
        lower[i] = estimates[variable_count + u];
        upper[i] = estimates[variable_count + u + 1];
    }
    Cuts c = {vload16(0, lower), vload16(0, upper)};
    return c;
}

inline void prefix(global const double *data, int dependent, global const double *fitted,
                   global double *scores, global double *weights,
                   global const double *estimates, int variable_count,
                   global const int *category_map, global double *nuisance_scores_upper,
                   global double *nuisance_scores_lower, global double *cross_weights_upper,
                   global double *cross_weights_lower, global double *nuisance_weights_upper,
                   global double *nuisance_weights_lower, global double *nuisance_weights_cross,
                   global double *row_values, int link)
{
    int b = block_of_row(get_global_id(0));
    if (b < 0)
        return;
    global const double *y = data + (size_t)dependent * get_global_size(0);
    Cuts c = cuts16(y, category_map, estimates, variable_count, b);
    Interval v = interval16(c.lower, c.upper, vload16(b, fitted), link);
    double16 score = v.r_lower - v.r_upper;
    vstore16(score, b, scores);
    vstore16(v.g_upper - v.g_lower - score * score, b, weights);
    vstore16(v.r_upper, b, nuisance_scores_upper);
    vstore16(-v.r_lower, b, nuisance_scores_lower);
    vstore16(-v.g_upper - score * v.r_upper, b, cross_weights_upper);
    vstore16(v.g_lower + score * v.r_lower, b, cross_weights_lower);
    vstore16(v.g_upper - v.r_upper * v.r_upper, b, nuisance_weights_upper);
    vstore16(-v.g_lower - v.r_lower * v.r_lower, b, nuisance_weights_lower);
    vstore16(v.r_upper * v.r_lower, b, nuisance_weights_cross);
    vstore16(v.log_p, b, row_values);
}

#define PREFIX(name, link)                                                                   \
    kernel void name(global const double *data, int dependent, global const double *fitted,  \
                     global double *scores, global double *weights,                          \
                     global const double *estimates, int variable_count,                     \
                     global const int *category_map, int category_count,                     \
                     global double *nuisance_scores_upper, global double *nuisance_scores_lower, \
                     global double *cross_weights_upper, global double *cross_weights_lower, \
                     global double *nuisance_weights_upper,                                  \
                     global double *nuisance_weights_lower,                                  \
                     global double *nuisance_weights_cross, global double *row_values)       \
    {                                                                                        \
        prefix(data, dependent, fitted, scores, weights, estimates, variable_count,          \
               category_map, nuisance_scores_upper, nuisance_scores_lower,                   \
               cross_weights_upper, cross_weights_lower, nuisance_weights_upper,             \
               nuisance_weights_lower, nuisance_weights_cross, row_values, link);            \
    }

PREFIX(vrw_prefix_ordered_logit, LOGIT)
PREFIX(vrw_prefix_ordered_probit, PROBIT)

// The prefix of the final estimates left each row's log P in row_values.
kernel void vrw_log_likelihood_ordered_logit(global const double *data, int dependent,
                                             global const double *fitted,
                                             global const double *scores,
                                             global double *row_values)
{
}

kernel void vrw_log_likelihood_ordered_probit(global const double *data, int dependent,
                                              global const double *fitted,
                                              global const double *scores,
                                              global double *row_values)
{
}

// Global size J x padded rows: predicted[c R + row] is the chance of
// category c.
inline void predict(int variable_count, global const double *estimates,
                    global const double *fitted, global double *predicted, int link)
{
    int c = get_global_id(0);
    int b = block_of_row(get_global_id(1));
    if (b < 0)
        return;
    double16 lower = estimates[variable_count + c], upper = estimates[variable_count + c + 1];
    Interval v = interval16(lower, upper, vload16(b, fitted), link);
    vstore16(exp(v.log_p), b, predicted + (size_t)c * get_global_size(1));
}

kernel void vrw_predict_ordered_logit(int variable_count, global const double *estimates,
                                      global const double *fitted, global double *predicted)
{
    predict(variable_count, estimates, fitted, predicted, LOGIT);
}

kernel void vrw_predict_ordered_probit(int variable_count, global const double *estimates,
                                       global const double *fitted, global double *predicted)
{
    predict(variable_count, estimates, fitted, predicted, PROBIT);
}
