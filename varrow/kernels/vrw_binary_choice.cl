// Kernels of the logit, probit and linear-probability fits, run over every
// padded row (global size blocks x 16): y is 1 where the dependent value
// equals the value of interest, else 0; eta is the row's linear predictor.
//
// The prefix kernels leave the first derivative of the row's log likelihood
// with respect to eta in scores and the second in weights. Probabilities
// near 0 and 1 are formed from exp(-|eta|) and from the complementary error
// function of |eta|, so neither the derivatives nor the log likelihood lose
// their digits to 1 - p or overflow.
//
// The work item of every 16th row computes its block of 16 rows in vector
// lanes and the others have nothing to do: the vector forms of exp, log and
// erfc are several times faster than their scalar forms called row by row.
#pragma OPENCL EXTENSION cl_khr_fp64 : enable

// 1 where the block's dependent value equals the value of interest, else 0.
inline double16 indicator16(global const double *data, int dependent, double value, int b)
{
    global const double *y = data + (size_t)dependent * get_global_size(0);
    return select((double16)0.0, (double16)1.0, isequal(vload16(b, y), (double16)value));
}

// The standard normal density.
inline double16 density16(double16 t)
{
    return exp(-0.5 * t * t) * (0.5 * M_2_SQRTPI * M_SQRT1_2);
}

// Whether a lane lies beyond TAIL_LIMIT on either side.
inline bool beyond_tail(double16 t)
{
    return any(isgreater(fabs(t), (double16)TAIL_LIMIT));
}

// The inverse Mills ratio phi(t) / Phi(t).
inline double16 mills16(double16 t)
{
    double16 tail = small_tail16(t);
    double16 lower = select(1.0 - tail, tail, isless(t, (double16)0.0));
    double16 m = density16(t) / lower;
    if (beyond_tail(t))
        m = select(m, tail_fraction16(-t), isless(t, (double16)-TAIL_LIMIT));
    return m;
}

kernel void vrw_prefix_logit(global const double *data, int dependent,
                             global const double *fitted, global double *scores,
                             global double *weights, double value)
{
    int b = block_of_item();
    if (b < 0)
        return;
    double16 y = indicator16(data, dependent, value, b);
    double16 eta = vload16(b, fitted);
    double16 e = exp(-fabs(eta));
    long16 positive = isgreaterequal(eta, (double16)0.0);
    double16 p = select(e, (double16)1.0, positive) / (1.0 + e);
    double16 q = select((double16)1.0, e, positive) / (1.0 + e);
    vstore16(select(-p, q, isgreater(y, (double16)0.0)), b, scores);
    vstore16(-(e / ((1.0 + e) * (1.0 + e))), b, weights);
}

// The probit's weight is the observed second derivative
// -mills(t) (t + mills(t)), t = sign x eta: the Newton steps then converge
// quadratically to the maximum.
kernel void vrw_prefix_probit(global const double *data, int dependent,
                              global const double *fitted, global double *scores,
                              global double *weights, double value)
{
    int b = block_of_item();
    if (b < 0)
        return;
    double16 sign = select((double16)-1.0, (double16)1.0,
                           isgreater(indicator16(data, dependent, value, b), (double16)0.0));
    double16 t = sign * vload16(b, fitted);
    double16 m = mills16(t);
    vstore16(sign * m, b, scores);
    vstore16(-(m * (t + m)), b, weights);
}

// The expected information phi^2 / (Phi (1 - Phi)) in weights: its inverse
// at the estimates is the variance glm reports.
kernel void vrw_information_probit(global const double *data, int dependent,
                                   global const double *fitted, global double *scores,
                                   global double *weights, double value)
{
    int b = block_of_item();
    if (b < 0)
        return;
    double16 eta = vload16(b, fitted);
    double16 tail = small_tail16(eta);
    double16 d = density16(eta);
    double16 w = d / tail * d / (1.0 - tail);
    if (beyond_tail(eta))
        w = select(w, mills16(eta) * mills16(-eta),
                   isgreater(fabs(eta), (double16)TAIL_LIMIT));
    vstore16(-w, b, weights);
}

kernel void vrw_prefix_binary_linear(global const double *data, int dependent,
                                     global const double *fitted, global double *scores,
                                     global double *weights, double value)
{
    int b = block_of_item();
    if (b < 0)
        return;
    vstore16(indicator16(data, dependent, value, b) - vload16(b, fitted), b, scores);
    vstore16((double16)-1.0, b, weights);
}

kernel void vrw_log_likelihood_logit(global const double *data, int dependent,
                                     global const double *fitted, global const double *scores,
                                     global double *row_values, double value)
{
    int b = block_of_item();
    if (b < 0)
        return;
    double16 eta = vload16(b, fitted);
    double16 y = indicator16(data, dependent, value, b);
    vstore16(-softplus16(select(eta, -eta, isgreater(y, (double16)0.0))), b, row_values);
}

kernel void vrw_log_likelihood_probit(global const double *data, int dependent,
                                      global const double *fitted, global const double *scores,
                                      global double *row_values, double value)
{
    int b = block_of_item();
    if (b < 0)
        return;
    double16 sign = select((double16)-1.0, (double16)1.0,
                           isgreater(indicator16(data, dependent, value, b), (double16)0.0));
    vstore16(log_lower16(sign * vload16(b, fitted)), b, row_values);
}

kernel void vrw_predict_logit(global const double *fitted, global double *predicted)
{
    int b = block_of_item();
    if (b < 0)
        return;
    double16 eta = vload16(b, fitted);
    double16 e = exp(-fabs(eta));
    vstore16(select(e, (double16)1.0, isgreaterequal(eta, (double16)0.0)) / (1.0 + e), b,
             predicted);
}

kernel void vrw_predict_probit(global const double *fitted, global double *predicted)
{
    int b = block_of_item();
    if (b < 0)
        return;
    double16 eta = vload16(b, fitted);
    double16 tail = small_tail16(eta);
    vstore16(select(1.0 - tail, tail, isless(eta, (double16)0.0)), b, predicted);
}
