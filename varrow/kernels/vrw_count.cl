// Kernels of the Poisson and geometric fits, run over every padded row
// (global size blocks x 16): y is the row's count, eta its linear predictor
// with the log exposure, mu = exp(eta) its expected count.
//
// The prefix kernels leave d log L / d eta in scores and d2 log L / d eta2 in
// weights. The geometric model is the negative binomial of dispersion 1
// (variance mu + mu^2): its terms use mu / (1 + mu), formed from
// exp(-|eta|), so a large eta neither overflows nor rounds the score away.
//
// The work item of every 16th row computes its block of 16 rows in vector
// lanes and the others have nothing to do: the vector forms of exp, log and
// lgamma are several times faster than their scalar forms called row by row.
#pragma OPENCL EXTENSION cl_khr_fp64 : enable

inline double16 counts16(global const double *data, int dependent, int b)
{
    return vload16(b, data + (size_t)dependent * get_global_size(0));
}

// mu / (1 + mu), the logistic function of eta.
inline double16 odds_share16(double16 eta)
{
    double16 e = exp(-fabs(eta));
    return select(e, (double16)1.0, isgreaterequal(eta, (double16)0.0)) / (1.0 + e);
}

// y eta, with a count of 0 contributing 0 even where eta is infinite.
inline double16 count_times16(double16 y, double16 eta)
{
    return select(y * eta, (double16)0.0, isequal(y, (double16)0.0));
}

kernel void vrw_prefix_poisson(global const double *data, int dependent,
                               global const double *fitted, global double *scores,
                               global double *weights)
{
    int b = block_of_item();
    if (b < 0)
        return;
    double16 mu = exp(vload16(b, fitted));
    vstore16(counts16(data, dependent, b) - mu, b, scores);
    vstore16(-mu, b, weights);
}

// log L = y eta - (y + 1) log(1 + mu); the weight is the observed second
// derivative -(y + 1) mu / (1 + mu)^2, so the Newton steps converge
// quadratically.
kernel void vrw_prefix_geometric(global const double *data, int dependent,
                                 global const double *fitted, global double *scores,
                                 global double *weights)
{
    int b = block_of_item();
    if (b < 0)
        return;
    double16 y = counts16(data, dependent, b);
    double16 share = odds_share16(vload16(b, fitted));
    vstore16(y * (1.0 - share) - share, b, scores);
    vstore16(-((y + 1.0) * share * (1.0 - share)), b, weights);
}

// The expected information mu / (1 + mu) in weights: its inverse at the
// estimates is the variance glm reports.
kernel void vrw_information_geometric(global const double *data, int dependent,
                                      global const double *fitted, global double *scores,
                                      global double *weights)
{
    int b = block_of_item();
    if (b < 0)
        return;
    vstore16(-odds_share16(vload16(b, fitted)), b, weights);
}

kernel void vrw_log_likelihood_poisson(global const double *data, int dependent,
                                       global const double *fitted,
                                       global const double *scores, global double *row_values)
{
    int b = block_of_item();
    if (b < 0)
        return;
    double16 y = counts16(data, dependent, b), eta = vload16(b, fitted);
    vstore16(count_times16(y, eta) - exp(eta) - lgamma(y + 1.0), b, row_values);
}

kernel void vrw_log_likelihood_geometric(global const double *data, int dependent,
                                         global const double *fitted,
                                         global const double *scores, global double *row_values)
{
    int b = block_of_item();
    if (b < 0)
        return;
    double16 y = counts16(data, dependent, b), eta = vload16(b, fitted);
    vstore16(count_times16(y, eta) - (y + 1.0) * softplus16(eta), b, row_values);
}

kernel void vrw_predict_count(global const double *fitted, global double *predicted)
{
    int b = block_of_item();
    if (b < 0)
        return;
    vstore16(exp(vload16(b, fitted)), b, predicted);
}
