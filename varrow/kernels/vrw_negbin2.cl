// Row kernels of the negative binomial fit (variance mu + mu^2 / theta): y
// is the row's count, eta its linear predictor with the log exposure,
// mu = exp(eta), and theta the nuisance parameter, the last estimate
// (estimates[variable_count]).
//
// The prefix leaves d log L / d eta in scores, d2 log L / d eta2 in weights,
// d log L / d theta in nuisance_scores, d2 log L / d eta d theta in
// cross_weights and d2 log L / d theta2 in nuisance_weights. mu / (theta +
// mu) and theta / (theta + mu) come from exp(-|eta - log theta|), so a large
// eta neither overflows nor rounds the terms away. The differences of the
// digamma and trigamma functions at y + theta and theta are sums of y terms
// for whole counts below 64, which keeps their digits when theta is large;
// beyond, they are differences of the asymptotic series.
//
// The prefix kernels run one work item a block of 16 rows (global size
// blocks); the others one a padded row, the item of every 16th row
// computing its block in vector lanes.
#pragma OPENCL EXTENSION cl_khr_fp64 : enable

#define DIRECT_SUM_LIMIT 64
#define SERIES_START 10.0

// The digamma function for x > 0: the recurrence up to SERIES_START, then
// the asymptotic series, whose next term there is below 1e-16. The steps are
// bounded, so a lane outside the domain (a row left out) cannot hold the
// block up.
inline double16 digamma16(double16 x)
{
    double16 shift = 0.0;
    for (int step = 0; step < (int)SERIES_START && any(isless(x, (double16)SERIES_START));
         step++) {
        long16 low = isless(x, (double16)SERIES_START);
        shift -= select((double16)0.0, 1.0 / x, low);
        x = select(x, x + 1.0, low);
    }
    double16 r = 1.0 / (x * x);
    double16 series = r * (1.0 / 12 - r * (1.0 / 120 - r * (1.0 / 252 - r * (1.0 / 240
                      - r * (1.0 / 132 - r * (691.0 / 32760 - r * (1.0 / 12)))))));
    return shift + log(x) - 0.5 / x - series;
}

inline double16 trigamma16(double16 x)
{
    double16 shift = 0.0;
    for (int step = 0; step < (int)SERIES_START && any(isless(x, (double16)SERIES_START));
         step++) {
        long16 low = isless(x, (double16)SERIES_START);
        shift += select((double16)0.0, 1.0 / (x * x), low);
        x = select(x, x + 1.0, low);
    }
    double16 r = 1.0 / (x * x);
    double16 series = (1.0 + r * (1.0 / 6 - r * (1.0 / 30 - r * (1.0 / 42 - r * (1.0 / 30
                      - r * (5.0 / 66 - r * (691.0 / 2730 - r * (7.0 / 6)))))))) / x;
    return shift + series + 0.5 * r;
}

// digamma(y + theta) - digamma(theta) and trigamma(y + theta) -
// trigamma(theta).
typedef struct {
    double16 digamma;
    double16 trigamma;
} GammaDifferences;

inline GammaDifferences gamma_differences(double16 y, double16 theta)
{
    long16 whole = isequal(y, floor(y)) & isgreaterequal(y, (double16)0.0)
                   & isless(y, (double16)DIRECT_SUM_LIMIT);
    double16 counted = select((double16)0.0, y, whole);
    double largest = 0.0;
    double lanes[16];
    vstore16(counted, 0, lanes);
    for (int i = 0; i < 16; i++)
        largest = fmax(largest, lanes[i]);
    double16 d1 = 0.0, d2 = 0.0;
    for (int j = 0; j < (int)largest; j++) {
        double16 t = select((double16)0.0, 1.0 / (theta + j), isless((double16)j, counted));
        d1 += t;
        d2 -= t * t;
    }
    GammaDifferences d;
    d.digamma = select(digamma16(y + theta) - digamma16(theta), d1, whole);
    d.trigamma = select(trigamma16(y + theta) - trigamma16(theta), d2, whole);
    return d;
}

// The terms every kernel of the row shares.
typedef struct {
    double16 y, theta;
    double16 t;          // eta - log theta
    double16 share;      // mu / (theta + mu)
    double16 complement; // theta / (theta + mu)
} Row;

inline Row row_terms(global const double *data, int dependent, global const double *fitted,
                     global const double *estimates, int variable_count, int b, size_t rows)
{
    Row r;
    r.y = vload16(b, data + (size_t)dependent * rows);
    r.theta = (double16)estimates[variable_count];
    r.t = vload16(b, fitted) - log(r.theta);
    r.share = logistic16(r.t);
    r.complement = logistic16(-r.t);
    return r;
}

inline void prefix(global const double *data, int dependent, global const double *fitted,
                   global double *scores, global double *weights,
                   global double *nuisance_scores, global double *cross_weights,
                   global double *nuisance_weights, global const double *estimates,
                   int variable_count)
{
    int b = get_global_id(0);
    Row r = row_terms(data, dependent, fitted, estimates, variable_count, b,
                      get_global_size(0) * 16);
    double16 y = r.y, theta = r.theta, p = r.share, q = r.complement;
    // (y - mu) / (theta + mu) = y q / theta - p.
    double16 excess = y * q / theta - p;
    GammaDifferences d = gamma_differences(y, theta);
    vstore16(theta * excess, b, scores);
    vstore16(-(theta + y) * q * p, b, weights);
    // d/d theta: digamma(y + theta) - digamma(theta) + log q + (mu - y) / (theta + mu).
    vstore16(d.digamma - softplus16(r.t) - excess, b, nuisance_scores);
    vstore16(p * excess, b, cross_weights);
    // trigamma(y + theta) - trigamma(theta) + 1 / theta - 1 / (theta + mu)
    // - (mu - y) / (theta + mu)^2.
    vstore16(d.trigamma + p / theta + excess * q / theta, b, nuisance_weights);
}

kernel void vrw_prefix_negbin2(global const double *data, int dependent,
                               global const double *fitted, global double *scores,
                               global double *weights, global double *nuisance_scores,
                               global double *cross_weights, global double *nuisance_weights,
                               global const double *estimates, int variable_count,
                               int observations)
{
    prefix(data, dependent, fitted, scores, weights, nuisance_scores, cross_weights,
           nuisance_weights, estimates, variable_count);
}

// The fitted values already hold the panel effects.
kernel void vrw_prefix_negbin2_fe(global const double *data, int dependent,
                                  global const double *fitted, global double *scores,
                                  global double *weights, global double *nuisance_scores,
                                  global double *cross_weights, global double *nuisance_weights,
                                  global const double *estimates, int variable_count,
                                  int observations, global const int *quad_panels,
                                  global const int *panel_sizes,
                                  global const int *panel_quad_counts,
                                  global const int *panel_quad_starts)
{
    prefix(data, dependent, fitted, scores, weights, nuisance_scores, cross_weights,
           nuisance_weights, estimates, variable_count);
}

// The expected information in place of the observed: the coefficients'
// weight -theta mu / (theta + mu) and no cross term (its expectation is 0);
// theta keeps its observed second derivative. Its inverse at the estimates
// is the variance glm.nb reports.
kernel void vrw_information_negbin2(global const double *data, int dependent,
                                    global const double *fitted, global double *scores,
                                    global double *weights, global double *nuisance_scores,
                                    global double *cross_weights,
                                    global double *nuisance_weights,
                                    global const double *estimates, int variable_count,
                                    int observations)
{
    int b = get_global_id(0);
    Row r = row_terms(data, dependent, fitted, estimates, variable_count, b,
                      get_global_size(0) * 16);
    vstore16(-r.theta * r.share, b, weights);
    vstore16((double16)0.0, b, cross_weights);
}

// lgamma(y + theta) - lgamma(theta) - lgamma(y + 1) + theta log q + y log p;
// a count of 0 adds nothing for its y log p, even where p is 0.
kernel void vrw_log_likelihood_negbin2(global const double *data, int dependent,
                                       global const double *fitted,
                                       global const double *scores, global double *row_values,
                                       global const double *estimates, int variable_count)
{
    int b = block_of_item();
    if (b < 0)
        return;
    size_t rows = get_global_size(0);
    double16 y = vload16(b, data + (size_t)dependent * rows);
    double16 theta = (double16)estimates[variable_count];
    double16 t = vload16(b, fitted) - log(theta);
    double16 log_q = -softplus16(t), log_p = -softplus16(-t);
    double16 counted = select(y * log_p, (double16)0.0, isequal(y, (double16)0.0));
    vstore16(lgamma(y + theta) - lgamma(theta) - lgamma(y + 1.0) + theta * log_q + counted, b,
             row_values);
}

kernel void vrw_predict_negbin2(global const double *fitted, global double *predicted)
{
    int b = block_of_item();
    if (b < 0)
        return;
    vstore16(exp(vload16(b, fitted)), b, predicted);
}
