// Kernels of the Poisson and geometric fits, one padded row each (global size
// blocks x 16): y is the row's count, eta its linear predictor with the log
// exposure, mu = exp(eta) its expected count.
//
// The prefix kernels leave d log L / d eta in scores and d2 log L / d eta2 in
// weights. The geometric model is the negative binomial of
// dispersion 1 (variance mu + mu^2): its terms use mu / (1 + mu), formed from
// exp(-|eta|), so a large eta neither overflows nor rounds the score away.
#pragma OPENCL EXTENSION cl_khr_fp64 : enable

inline double count_of(global const double *data, int dependent)
{
    return data[(size_t)dependent * get_global_size(0) + get_global_id(0)];
}

// log(1 + exp(x)) without overflow.
inline double softplus(double x)
{
    return fmax(x, 0.0) + log1p(exp(-fabs(x)));
}

// mu / (1 + mu), the logistic function of eta.
inline double odds_share(double eta)
{
    double e = exp(-fabs(eta));
    return eta >= 0.0 ? 1.0 / (1.0 + e) : e / (1.0 + e);
}

// y eta, with a count of 0 contributing 0 even where eta is infinite.
inline double count_times(double y, double eta)
{
    return y == 0.0 ? 0.0 : y * eta;
}

kernel void vrw_prefix_poisson(global const double *data, int dependent,
                               global const double *fitted, global double *scores,
                               global double *weights)
{
    size_t r = get_global_id(0);
    double mu = exp(fitted[r]);
    scores[r] = count_of(data, dependent) - mu;
    weights[r] = -mu;
}

// log L = y eta - (y + 1) log(1 + mu); the weight is the observed second
// derivative -(y + 1) mu / (1 + mu)^2, so the Newton steps converge
// quadratically.
kernel void vrw_prefix_geometric(global const double *data, int dependent,
                                 global const double *fitted, global double *scores,
                                 global double *weights)
{
    size_t r = get_global_id(0);
    double y = count_of(data, dependent);
    double share = odds_share(fitted[r]);
    scores[r] = y * (1.0 - share) - share;
    weights[r] = -((y + 1.0) * share * (1.0 - share));
}

// The expected information mu / (1 + mu) in weights: its inverse at the
// estimates is the variance glm reports.
kernel void vrw_information_geometric(global const double *data, int dependent,
                                      global const double *fitted, global double *scores,
                                      global double *weights)
{
    size_t r = get_global_id(0);
    weights[r] = -odds_share(fitted[r]);
}

kernel void vrw_log_likelihood_poisson(global const double *data, int dependent,
                                       global const double *fitted,
                                       global const double *scores, global double *row_values)
{
    size_t r = get_global_id(0);
    double y = count_of(data, dependent), eta = fitted[r];
    row_values[r] = count_times(y, eta) - exp(eta) - lgamma(y + 1.0);
}

kernel void vrw_log_likelihood_geometric(global const double *data, int dependent,
                                         global const double *fitted,
                                         global const double *scores, global double *row_values)
{
    size_t r = get_global_id(0);
    double y = count_of(data, dependent), eta = fitted[r];
    row_values[r] = count_times(y, eta) - (y + 1.0) * softplus(eta);
}

kernel void vrw_predict_count(global const double *fitted, global double *predicted)
{
    size_t r = get_global_id(0);
    predicted[r] = exp(fitted[r]);
}
