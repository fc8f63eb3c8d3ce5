// Kernels of the logit, probit and linear-probability fits. Each works on one
// padded row (global size blocks x 16): y is 1 where the dependent value
// equals the value of interest, else 0; eta is the row's linear predictor.
//
// The prefix kernels leave the first derivative of the row's log likelihood
// with respect to eta in scores and the second in weights. Probabilities
// near 0 and 1 are formed from exp(-|eta|) and from the complementary error
// function, so neither the derivatives nor the log likelihood lose their
// digits to 1 - p or overflow.
#pragma OPENCL EXTENSION cl_khr_fp64 : enable

inline double dependent_indicator(global const double *data, int dependent, double value)
{
    size_t r = get_global_id(0);
    return data[(size_t)dependent * get_global_size(0) + r] == value ? 1.0 : 0.0;
}

// log(1 + exp(x)) without overflow.
inline double softplus(double x)
{
    return fmax(x, 0.0) + log1p(exp(-fabs(x)));
}

// The standard normal density and the lower tail at t.
inline double normal_density(double t)
{
    return exp(-0.5 * t * t) * (0.5 * M_2_SQRTPI * M_SQRT1_2);
}

inline double normal_lower(double t)
{
    return 0.5 * erfc(-t * M_SQRT1_2);
}

// Below this the lower tail underflows; the tail ratio then comes from the
// continued fraction Phi(t) / phi(t) = 1 / (x + 1 / (x + 2 / (x + ...))),
// x = -t, which at such x is exact to the last bit after a few terms.
#define TAIL_LIMIT (-37.0)

inline double tail_fraction(double x)
{
    double f = x;
    for (int n = 24; n >= 1; n--)
        f = x + n / f;
    return f;
}

// The inverse Mills ratio phi(t) / Phi(t).
inline double mills(double t)
{
    if (t > TAIL_LIMIT)
        return normal_density(t) / normal_lower(t);
    return tail_fraction(-t);
}

// log Phi(t).
inline double log_normal_lower(double t)
{
    if (t > 0.0)
        return log1p(-normal_lower(-t));
    if (t > TAIL_LIMIT)
        return log(normal_lower(t));
    return -0.5 * t * t - 0.5 * log(2.0 * M_PI) - log(tail_fraction(-t));
}

kernel void vrw_prefix_logit(global const double *data, int dependent,
                             global const double *fitted, global double *scores,
                             global double *weights, double value)
{
    size_t r = get_global_id(0);
    double y = dependent_indicator(data, dependent, value);
    double eta = fitted[r];
    double e = exp(-fabs(eta));
    double p = eta >= 0.0 ? 1.0 / (1.0 + e) : e / (1.0 + e);
    double q = eta >= 0.0 ? e / (1.0 + e) : 1.0 / (1.0 + e);
    scores[r] = y > 0.0 ? q : -p;
    weights[r] = -(e / ((1.0 + e) * (1.0 + e)));
}

// The probit's weight is the observed second derivative
// -mills(t) (t + mills(t)), t = sign x eta: the Newton steps then converge
// quadratically to the maximum.
kernel void vrw_prefix_probit(global const double *data, int dependent,
                              global const double *fitted, global double *scores,
                              global double *weights, double value)
{
    size_t r = get_global_id(0);
    double y = dependent_indicator(data, dependent, value);
    double sign = y > 0.0 ? 1.0 : -1.0;
    double t = sign * fitted[r];
    double m = mills(t);
    scores[r] = sign * m;
    weights[r] = -(m * (t + m));
}

// The expected information phi^2 / (Phi (1 - Phi)) = mills(eta) mills(-eta)
// in weights: its inverse at the estimates is the variance glm reports.
kernel void vrw_information_probit(global const double *data, int dependent,
                                   global const double *fitted, global double *scores,
                                   global double *weights, double value)
{
    size_t r = get_global_id(0);
    double eta = fitted[r];
    weights[r] = -(mills(eta) * mills(-eta));
}

kernel void vrw_prefix_binary_linear(global const double *data, int dependent,
                                     global const double *fitted, global double *scores,
                                     global double *weights, double value)
{
    size_t r = get_global_id(0);
    scores[r] = dependent_indicator(data, dependent, value) - fitted[r];
    weights[r] = -1.0;
}

kernel void vrw_log_likelihood_logit(global const double *data, int dependent,
                                     global const double *fitted, global const double *scores,
                                     global double *row_values, double value)
{
    size_t r = get_global_id(0);
    double eta = fitted[r];
    row_values[r] = dependent_indicator(data, dependent, value) > 0.0 ? -softplus(-eta)
                                                                       : -softplus(eta);
}

kernel void vrw_log_likelihood_probit(global const double *data, int dependent,
                                      global const double *fitted, global const double *scores,
                                      global double *row_values, double value)
{
    size_t r = get_global_id(0);
    double sign = dependent_indicator(data, dependent, value) > 0.0 ? 1.0 : -1.0;
    row_values[r] = log_normal_lower(sign * fitted[r]);
}

kernel void vrw_predict_logit(global const double *fitted, global double *predicted)
{
    size_t r = get_global_id(0);
    double eta = fitted[r];
    double e = exp(-fabs(eta));
    predicted[r] = eta >= 0.0 ? 1.0 / (1.0 + e) : e / (1.0 + e);
}

kernel void vrw_predict_probit(global const double *fitted, global double *predicted)
{
    size_t r = get_global_id(0);
    predicted[r] = normal_lower(fitted[r]);
}
