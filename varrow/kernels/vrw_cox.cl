// Kernels of the Cox proportional-hazards fit over the ranks: the rows of
// positive weight ordered by stratum group, then by failure time descending
// (tied times next to each other), each group a run of ranks
// group_starts[g] .. group_starts[g] + group_sizes[g] - 1. A fixed-effect cell
// (a panel within a group) is laid out the same way over its own ranks.
//
// Ties follow Breslow: the risk set of a failure at time t holds every rank of
// the group whose time is not below t, so all ranks of a run of equal times
// share the risk sums taken at the run's end.
//
// What the per-rank buffers hold between the kernels:
//   rank_prefix        the linear predictor eta of the rank's row;
//   accumulated_prefix log S0(t) = log sum of w exp(eta) over the risk set at
//                      the rank's time, written for the ranks that fail (the
//                      others keep the +infinity they are made with, which
//                      marks them as censored for the kernels that have no
//                      event buffer); a cell's is written for every rank.
// Risks are formed as exp(eta - c), c the largest eta of the group, so no sum
// overflows whatever the scale of the covariates; the logarithms carry c back.
#pragma OPENCL EXTENSION cl_khr_fp64 : enable

// Global size R. events[i] is 1 when rank i's row fails of the cause (a
// row of another cause or marked in the censoring vector is censored), else
// 0. Without causes every uncensored row fails; without a censoring vector no
// row is censored by it.
kernel void vrw_apply_censoring_cox_proportional_hazards(double cause_value,
                                                         global const double *causes,
                                                         global const int *censoring,
                                                         global const int *rank_rows,
                                                         global double *events)
{
    int i = get_global_id(0);
    int row = rank_rows[i];
    bool fails = (!censoring || censoring[row] == 0) && (!causes || causes[row] == cause_value);
    events[i] = fails ? 1.0 : 0.0;
}

// Global size R: the linear predictor of each rank's row.
kernel void vrw_prefix_cox_proportional_hazards(global const double *fitted,
                                                global const int *rank_rows,
                                                global double *rank_prefix)
{
    int i = get_global_id(0);
    rank_prefix[i] = fitted[rank_rows[i]];
}

// Global size G (groups or cells): log S0 at each rank's time, for the ranks
// that fail, or for every rank when no event buffer is given.
kernel void vrw_accumulate_cox_proportional_hazards_prefix(global const double *rank_weights,
                                                           global const double *rank_times,
                                                           global const double *rank_prefix,
                                                           global const double *events,
                                                           global const int *rank_rows,
                                                           global const int *group_starts,
                                                           global const int *group_sizes,
                                                           global double *accumulated_prefix)
{
    (void)rank_rows;
    int g = get_global_id(0);
    int start = group_starts[g], end = start + group_sizes[g];
    double c = largest(rank_prefix, start, end);
    double s = 0.0, error = 0.0;
    for (int i = start; i < end;) {
        int j = run_end(rank_times, i, end);
        for (int k = i; k < j; k++) {
            double risk = rank_weights[k] * exp(rank_prefix[k] - c);
            TWO_SUM(double, s, error, risk);
        }
        double log_sum = c + log(s + error);
        for (int k = i; k < j; k++)
            if (!events || events[k] > 0.0)
                accumulated_prefix[k] = log_sum;
        i = j;
    }
}

// Global size R: each failing rank's log-likelihood term eta - log S0 at
// its row (the sum weighs it by the row's frequency).
kernel void vrw_log_likelihood_cox_proportional_hazards(global const double *rank_prefix,
                                                        global const double *accumulated_prefix,
                                                        global const double *events,
                                                        global const int *rank_rows,
                                                        global double *row_values)
{
    int i = get_global_id(0);
    row_values[rank_rows[i]] = events[i] > 0.0 ? rank_prefix[i] - accumulated_prefix[i] : 0.0;
}

// Global size G, after the last pass. hazards[i] = Breslow's cumulative
// baseline hazard at rank i's time (the sum over the failure times up to it
// of the failures' weight over S0); scores at the rank's row = the martingale
// residual, failed - exp(eta) x that hazard.
kernel void vrw_accumulate_cox_proportional_hazards(global const double *rank_weights,
                                                    global const double *rank_times,
                                                    global const double *rank_prefix,
                                                    global const double *accumulated_prefix,
                                                    global const int *rank_rows,
                                                    global const int *group_starts,
                                                    global const int *group_sizes,
                                                    global double *hazards,
                                                    global double *scores)
{
    int g = get_global_id(0);
    int start = group_starts[g], end = start + group_sizes[g];
    double c = largest(rank_prefix, start, end);
    double hazard = 0.0, hazard_error = 0.0, scaled = 0.0, scaled_error = 0.0;
    for (int j = end; j > start;) {
        int i = run_start(rank_times, j, start);
        double failed = 0.0, log_sum = 0.0;
        for (int k = i; k < j; k++)
            if (isfinite(accumulated_prefix[k])) {
                failed += rank_weights[k];
                log_sum = accumulated_prefix[k];
            }
        if (failed > 0.0) {
            double step = failed * exp(-log_sum), scaled_step = failed * exp(c - log_sum);
            TWO_SUM(double, hazard, hazard_error, step);
            TWO_SUM(double, scaled, scaled_error, scaled_step);
        }
        for (int k = i; k < j; k++) {
            double fails = isfinite(accumulated_prefix[k]) ? 1.0 : 0.0;
            hazards[k] = hazard + hazard_error;
            scores[rank_rows[k]] = fails - exp(rank_prefix[k] - c) * (scaled + scaled_error);
        }
        j = i;
    }
}

// Global size blocks: the target of the search for the predicted failure
// time, the baseline cumulative hazard at which the row's survival falls to
// one half: ln 2 / exp(eta).
kernel void vrw_predict_cox_proportional_hazards(global const double *fitted,
                                                 global double *predicted)
{
    int b = get_global_id(0);
    vstore16(M_LN2 * exp(-vload16(b, fitted)), b, predicted);
}

// Global size blocks: the linear predictor with the fixed effect of the
// row's panel, which the Cox fit estimates as coefficients after the
// regressors' (estimates[variable_count + panel]).
kernel void vrw_compute_fitted_fe_cox_proportional_hazards(global const double *data,
                                                           global const int *columns,
                                                           int variable_count,
                                                           global const double *estimates,
                                                           global double *output,
                                                           global const int *quad_panels)
{
    int b = get_global_id(0);
    size_t rows = get_global_size(0) * 16;
    double16 sum = 0.0;
    for (int j = 0; j < variable_count; j++)
        sum = fma(vload16(b, data + (size_t)columns[j] * rows), (double16)estimates[j], sum);
    global const double *effects = estimates + variable_count;
    int q = 4 * b;
    sum += (double16)((double4)(effects[quad_panels[q]]), (double4)(effects[quad_panels[q + 1]]),
                      (double4)(effects[quad_panels[q + 2]]),
                      (double4)(effects[quad_panels[q + 3]]));
    vstore16(sum, b, output);
}
