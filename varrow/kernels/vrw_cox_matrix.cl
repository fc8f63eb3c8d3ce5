// Derivatives of the Cox proportional-hazards log likelihood (Breslow ties)
// over the ranks laid out as in vrw_cox.cl: rank_prefix holds each rank's
// linear predictor eta, accumulated_prefix log S0 at the rank's time for the
// ranks that fail and +infinity for the others (a cell's for every rank).
//
// With w the frequency weights, D the failed weight of a run of tied times
// and S0, S1 the sums of w exp(eta) and w exp(eta) x over its risk set, the
// gradient of coefficient a is sum over failures of w (x_a - xbar_a) and
// the Hessian -sum over runs of D (S2_ab / S0 - xbar_a xbar_b), xbar = S1 / S0.
// A fixed effect of panel p enters as a covariate 1 on the panel's rows: its
// risk share pi = S0_cell / S0 at each failure gives its derivatives.
//
// work_1[a R + i] holds the value of free coefficient a's column at rank i,
// work_2[a R + i] xbar_a at the rank's time; fe_work_2 the same mean within
// the rank's cell. Risks are formed as exp(eta - c), c the group's largest
// eta, and second moments about the group's first value, so neither
// overflows nor cancels whatever the scale of the covariates.
#pragma OPENCL EXTENSION cl_khr_fp64 : enable

// Rows and columns of a Hessian tile; regressors of a work tile.
#define MATRIX_TILE 8
#define WORK_TILE 8

// The failed weight of ranks i .. j - 1 (a run of tied times) and, when it
// is positive, log S0 of the run in *log_sum.
inline double failed_weight(global const double *rank_weights,
                            global const double *accumulated_prefix, int i, int j,
                            double *log_sum)
{
    double failed = 0.0;
    for (int k = i; k < j; k++)
        if (isfinite(accumulated_prefix[k])) {
            failed += rank_weights[k];
            *log_sum = accumulated_prefix[k];
        }
    return failed;
}

// The last rank of a cell, searching on from *q, whose time is not below t
// (the cell's ranks at risk at t end there), or -1 when none is.
inline int at_risk_end(global const double *cell_times, int *q, int cell_start, int cell_end,
                       double t)
{
    while (*q < cell_end && cell_times[*q] >= t)
        (*q)++;
    return *q > cell_start ? *q - 1 : -1;
}

// Global size groups (or cells) x the free regressors: the column's value at
// each rank into work_1 and its risk-weighted mean over the risk set at the
// rank's time into work_2. The item of every WORK_TILE-th regressor walks the
// group for its tile of regressors, each rank's risk formed once for them.
kernel void vrw_compute_cox_proportional_hazards_work(
    global const double *data, global const double *rank_weights, global const double *rank_times,
    global const int *columns, int blocks, global const int *free_columns,
    global const double *rank_prefix, global const int *rank_rows, global const int *group_starts,
    global const int *group_sizes, int ranked_count, global double *work_1, global double *work_2)
{
    int g = get_global_id(0), first = get_global_id(1), m = (int)get_global_size(1);
    int start = group_starts[g], end = start + group_sizes[g];
    if (first % WORK_TILE != 0 || start >= end)
        return;
    global const double *x[WORK_TILE];
    global double *values[WORK_TILE], *means[WORK_TILE];
    double x0[WORK_TILE], s1[WORK_TILE];
    for (int u = 0; u < WORK_TILE; u++) {
        size_t a = (size_t)min(first + u, m - 1);
        x[u] = data + (size_t)columns[free_columns[a]] * (size_t)blocks * 16;
        values[u] = work_1 + a * ranked_count;
        means[u] = work_2 + a * ranked_count;
        x0[u] = x[u][rank_rows[start]];
        s1[u] = 0.0;
    }
    double c = largest(rank_prefix, start, end), s0 = 0.0;
    for (int i = start; i < end;) {
        int j = run_end(rank_times, i, end);
        for (int k = i; k < j; k++) {
            int row = rank_rows[k];
            double risk = rank_weights[k] * exp(rank_prefix[k] - c);
            s0 += risk;
            for (int u = 0; u < WORK_TILE; u++) {
                double v = x[u][row];
                s1[u] += risk * (v - x0[u]);
                values[u][k] = v;
            }
        }
        for (int u = 0; u < WORK_TILE; u++) {
            double mean = x0[u] + s1[u] / s0;
            for (int k = i; k < j; k++)
                means[u][k] = mean;
        }
        i = j;
    }
}

// Global size n: the gradient of the regressors, sum of w (x - xbar) over
// the failures, each addition's rounding error carried (the terms cancel at
// the maximum).
kernel void vrw_compute_jacobian_cox_prortional_hazards(global const double *rank_weights,
                                                        global const double *rank_prefix,
                                                        global const double *accumulated_prefix,
                                                        global const double *events,
                                                        int ranked_count,
                                                        global const double *work_1,
                                                        global const double *work_2,
                                                        global double *jacobian)
{
    (void)rank_prefix;
    (void)accumulated_prefix;
    int a = get_global_id(0);
    global const double *values = work_1 + (size_t)a * ranked_count;
    global const double *means = work_2 + (size_t)a * ranked_count;
    double s = 0.0, c = 0.0;
    for (int i = 0; i < ranked_count; i++)
        if (events[i] > 0.0) {
            double term = rank_weights[i] * (values[i] - means[i]);
            TWO_SUM(double, s, c, term);
        }
    jacobian[a] = s + c;
}

// One tile of the regressors' Hessian: every group is walked once, each
// rank's risk formed once for the tile's entries.
inline void cox_hessian_tile(global const double *rank_weights, global const double *rank_times,
                             global const double *rank_prefix,
                             global const double *accumulated_prefix,
                             global const int *group_starts, global const int *group_sizes,
                             int group_count, int ranked_count, global const double *work_1,
                             global const double *work_2, global double *hessian, int m, int n,
                             int2 tile)
{
    int i0 = tile.x * MATRIX_TILE, j0 = tile.y * MATRIX_TILE;
    global const double *xa[MATRIX_TILE], *xb[MATRIX_TILE], *ma[MATRIX_TILE], *mb[MATRIX_TILE];
    for (int u = 0; u < MATRIX_TILE; u++) {
        size_t a = (size_t)min(i0 + u, m - 1), b = (size_t)min(j0 + u, m - 1);
        xa[u] = work_1 + a * ranked_count;
        xb[u] = work_1 + b * ranked_count;
        ma[u] = work_2 + a * ranked_count;
        mb[u] = work_2 + b * ranked_count;
    }
    double total[MATRIX_TILE][MATRIX_TILE];
    for (int u = 0; u < MATRIX_TILE; u++)
        for (int v = 0; v < MATRIX_TILE; v++)
            total[u][v] = 0.0;
    for (int g = 0; g < group_count; g++) {
        int start = group_starts[g], end = start + group_sizes[g];
        if (start >= end)
            continue;
        double c = largest(rank_prefix, start, end);
        double x0a[MATRIX_TILE], x0b[MATRIX_TILE];
        for (int u = 0; u < MATRIX_TILE; u++) {
            x0a[u] = xa[u][start];
            x0b[u] = xb[u][start];
        }
        double s0 = 0.0, s2[MATRIX_TILE][MATRIX_TILE];
        for (int u = 0; u < MATRIX_TILE; u++)
            for (int v = 0; v < MATRIX_TILE; v++)
                s2[u][v] = 0.0;
        for (int i = start; i < end;) {
            int j = run_end(rank_times, i, end);
            for (int k = i; k < j; k++) {
                double risk = rank_weights[k] * exp(rank_prefix[k] - c);
                s0 += risk;
                double da[MATRIX_TILE], db[MATRIX_TILE];
                for (int u = 0; u < MATRIX_TILE; u++) {
                    da[u] = risk * (xa[u][k] - x0a[u]);
                    db[u] = xb[u][k] - x0b[u];
                }
                for (int u = 0; u < MATRIX_TILE; u++)
                    for (int v = 0; v < MATRIX_TILE; v++)
                        s2[u][v] = fma(da[u], db[v], s2[u][v]);
            }
            double log_sum = 0.0;
            double failed = failed_weight(rank_weights, accumulated_prefix, i, j, &log_sum);
            if (failed > 0.0) {
                double mean_a[MATRIX_TILE], mean_b[MATRIX_TILE];
                for (int u = 0; u < MATRIX_TILE; u++) {
                    mean_a[u] = ma[u][i] - x0a[u];
                    mean_b[u] = mb[u][i] - x0b[u];
                }
                for (int u = 0; u < MATRIX_TILE; u++)
                    for (int v = 0; v < MATRIX_TILE; v++)
                        total[u][v] += failed * (s2[u][v] / s0 - mean_a[u] * mean_b[v]);
            }
            i = j;
        }
    }
    for (int u = 0; u < MATRIX_TILE; u++)
        for (int v = 0; v < MATRIX_TILE; v++) {
            int a = i0 + u, b = j0 + v;
            if (a >= m || b >= m || a > b)
                continue;
            hessian[(size_t)b * n + a] = -total[u][v];
            hessian[(size_t)a * n + b] = -total[u][v];
        }
}

// Global size m x m (the free regressors, leading block of the n x n
// Hessian): -sum over runs of D (S2 / S0 - xbar xbar'), both halves.
kernel void vrw_compute_hessian_cox_proportional_hazards(
    global const double *rank_weights, global const double *rank_times,
    global const double *rank_prefix, global const double *accumulated_prefix,
    global const int *group_starts, global const int *group_sizes, int group_count,
    int ranked_count, global const double *work_1, global const double *work_2,
    global double *hessian, int n)
{
    int worker = tile_worker();
    int m = (int)get_global_size(0);
    if (worker < 0 || m <= 0)
        return;
    int tiles = (m + MATRIX_TILE - 1) / MATRIX_TILE;
    for (int t = worker; t < tiles * (tiles + 1) / 2; t += tile_workers())
        cox_hessian_tile(rank_weights, rank_times, rank_prefix, accumulated_prefix, group_starts,
                         group_sizes, group_count, ranked_count, work_1, work_2, hessian, m, n,
                         upper_tile(t, tiles));
}

// Global size m, the free fixed effects (effect j of the j-th non-empty
// panel, cells j G .. j G + G - 1) after the n - m regressors: the panel's
// failed weight less sum over failures of D pi, pi = S0_cell / S0.
kernel void vrw_compute_fixed_effects_nuisance_jacobian_cox_proportional_hazards(
    global const double *rank_weights, global const double *rank_times,
    global const double *accumulated_prefix, global const int *group_starts,
    global const int *group_sizes, int group_count, global const double *cell_rank_weights,
    global const double *cell_rank_times, global const double *fe_accumulated_prefix,
    global const int *cell_starts, global const int *cell_sizes, global const double *fe_events,
    int n, global double *jacobian)
{
    int j = get_global_id(0), m = (int)get_global_size(0);
    double s = 0.0, error = 0.0;
    for (int g = 0; g < group_count; g++) {
        int cell = j * group_count + g;
        int cs = cell_starts[cell], ce = cs + cell_sizes[cell], q = cs;
        for (int k = cs; k < ce; k++) {
            double term = cell_rank_weights[k] * fe_events[k];
            TWO_SUM(double, s, error, term);
        }
        int start = group_starts[g], end = start + group_sizes[g];
        for (int i = start; i < end;) {
            int e = run_end(rank_times, i, end);
            double log_sum = 0.0;
            double failed = failed_weight(rank_weights, accumulated_prefix, i, e, &log_sum);
            int last = at_risk_end(cell_rank_times, &q, cs, ce, rank_times[i]);
            if (failed > 0.0 && last >= 0) {
                double term = -failed * exp(fe_accumulated_prefix[last] - log_sum);
                TWO_SUM(double, s, error, term);
            }
            i = e;
        }
    }
    jacobian[n - m + j] = s + error;
}

// Global size (n - m) x m: the regressors' cross derivatives with the fixed
// effects, -sum over failures of D pi (xbar_cell - xbar).
kernel void vrw_compute_fixed_effects_cross_hessian_cox_proportional_hazards(
    global const double *rank_weights, global const double *rank_times,
    global const double *accumulated_prefix, global const int *group_starts,
    global const int *group_sizes, int group_count, global const double *cell_rank_times,
    global const double *fe_accumulated_prefix, global const int *cell_starts,
    global const int *cell_sizes, int ranked_count, global const double *work_2,
    global const double *fe_work_2, global double *hessian)
{
    int a = get_global_id(0), j = get_global_id(1);
    int r = (int)get_global_size(0), n = r + (int)get_global_size(1);
    global const double *means = work_2 + (size_t)a * ranked_count;
    global const double *cell_means = fe_work_2 + (size_t)a * ranked_count;
    double h = 0.0;
    for (int g = 0; g < group_count; g++) {
        int cell = j * group_count + g;
        int cs = cell_starts[cell], ce = cs + cell_sizes[cell], q = cs;
        int start = group_starts[g], end = start + group_sizes[g];
        for (int i = start; i < end;) {
            int e = run_end(rank_times, i, end);
            double log_sum = 0.0;
            double failed = failed_weight(rank_weights, accumulated_prefix, i, e, &log_sum);
            int last = at_risk_end(cell_rank_times, &q, cs, ce, rank_times[i]);
            if (failed > 0.0 && last >= 0)
                h += failed * exp(fe_accumulated_prefix[last] - log_sum)
                     * (cell_means[last] - means[i]);
            i = e;
        }
    }
    hessian[(size_t)(r + j) * n + a] = -h;
    hessian[(size_t)a * n + r + j] = -h;
}

// The risk share of panel j's cell of group g at each failure time, summed
// against the failed weight: with another panel l (l >= 0) sum D pi_j pi_l,
// else sum D pi_j (1 - pi_j).
inline double panel_shares(global const double *rank_weights, global const double *rank_times,
                           global const double *accumulated_prefix, global const int *group_starts,
                           global const int *group_sizes, int group_count,
                           global const double *cell_rank_times,
                           global const double *fe_accumulated_prefix,
                           global const int *cell_starts, global const int *cell_sizes, int j,
                           int l)
{
    double h = 0.0;
    for (int g = 0; g < group_count; g++) {
        int cj = j * group_count + g, cl = (l >= 0 ? l : j) * group_count + g;
        int sj = cell_starts[cj], ej = sj + cell_sizes[cj], qj = sj;
        int sl = cell_starts[cl], el = sl + cell_sizes[cl], ql = sl;
        int start = group_starts[g], end = start + group_sizes[g];
        for (int i = start; i < end;) {
            int e = run_end(rank_times, i, end);
            double log_sum = 0.0;
            double failed = failed_weight(rank_weights, accumulated_prefix, i, e, &log_sum);
            int last_j = at_risk_end(cell_rank_times, &qj, sj, ej, rank_times[i]);
            int last_l = at_risk_end(cell_rank_times, &ql, sl, el, rank_times[i]);
            if (failed > 0.0 && last_j >= 0) {
                double pi_j = exp(fe_accumulated_prefix[last_j] - log_sum);
                if (l < 0)
                    h += failed * pi_j * (1.0 - pi_j);
                else if (last_l >= 0)
                    h += failed * pi_j * exp(fe_accumulated_prefix[last_l] - log_sum);
            }
            i = e;
        }
    }
    return h;
}

// Global size m: the fixed effects' own second derivatives,
// -sum D pi (1 - pi), on the diagonal after the n - m regressors.
kernel void vrw_compute_fixed_effects_diagonal_hessian_cox_proportional_hazards(
    global const double *rank_weights, global const double *rank_times,
    global const double *accumulated_prefix, global const int *group_starts,
    global const int *group_sizes, int group_count, global const double *cell_rank_times,
    global const double *fe_accumulated_prefix, global const int *cell_starts,
    global const int *cell_sizes, int n, global double *hessian)
{
    int j = get_global_id(0), m = (int)get_global_size(0);
    size_t at = (size_t)(n - m + j);
    hessian[at * n + at] = -panel_shares(rank_weights, rank_times, accumulated_prefix,
                                         group_starts, group_sizes, group_count, cell_rank_times,
                                         fe_accumulated_prefix, cell_starts, cell_sizes, j, -1);
}

// Global size m x m: the cross derivatives of two fixed effects,
// sum D pi_j pi_l, both halves (the items below the diagonal do nothing).
kernel void vrw_compute_fixed_effects_offdiagonal_hessian_cox_proportional_hazards(
    global const double *rank_weights, global const double *rank_times,
    global const double *accumulated_prefix, global const int *group_starts,
    global const int *group_sizes, int group_count, global const double *cell_rank_times,
    global const double *fe_accumulated_prefix, global const int *cell_starts,
    global const int *cell_sizes, int n, global double *hessian)
{
    int j = get_global_id(0), l = get_global_id(1), m = (int)get_global_size(0);
    if (j >= l)
        return;
    double h = panel_shares(rank_weights, rank_times, accumulated_prefix, group_starts,
                            group_sizes, group_count, cell_rank_times, fe_accumulated_prefix,
                            cell_starts, cell_sizes, j, l);
    size_t a = (size_t)(n - m + j), b = (size_t)(n - m + l);
    hessian[a * n + b] = h;
    hessian[b * n + a] = h;
}

// Global size groups x r: each rank's score residual of free regressor a at
// its row of residuals (column a of blocks x 16 rows),
//   U = failed (x - xbar(t)) - exp(eta) sum over failure times s <= t of
//       dLambda(s) (x - xbar(s)),
// the row's own part of the gradient, whose outer products give the robust
// variance. With fixed effects each row's value is first lessened by the
// shift of its panel (shifts[a P + panel]), which takes the effects' part
// out of the regressors' residuals.
kernel void vrw_compute_cox_proportional_hazards_score_residuals(
    global const double *data, global const double *rank_weights, global const double *rank_times,
    global const int *columns, int blocks, global const int *free_columns,
    global const double *rank_prefix, global const double *accumulated_prefix,
    global const int *rank_rows, global const int *group_starts, global const int *group_sizes,
    global const int *quad_panels, global const double *shifts, int panel_count,
    global double *residuals)
{
    int g = get_global_id(0), a = get_global_id(1);
    int start = group_starts[g], end = start + group_sizes[g];
    if (start >= end)
        return;
    size_t rows = (size_t)blocks * 16;
    global const double *x = data + (size_t)columns[free_columns[a]] * rows;
    global const double *shift = shifts ? shifts + (size_t)a * panel_count : 0;
    global double *out = residuals + (size_t)a * rows;
#define VALUE(row) (x[row] - (shift ? shift[quad_panels[(row) / 4]] : 0.0))
    double c = largest(rank_prefix, start, end), x0 = VALUE(rank_rows[start]);
    // The risk set's mean at each run, about x0, parked in the rows' entries.
    double s0 = 0.0, s1 = 0.0;
    for (int i = start; i < end;) {
        int j = run_end(rank_times, i, end);
        for (int k = i; k < j; k++) {
            double risk = rank_weights[k] * exp(rank_prefix[k] - c);
            s0 += risk;
            s1 += risk * (VALUE(rank_rows[k]) - x0);
        }
        for (int k = i; k < j; k++)
            out[rank_rows[k]] = s1 / s0;
        i = j;
    }
    // From the earliest time on: the hazard so far (scaled by exp(c)) and
    // its sum against the means.
    double hazard = 0.0, moment = 0.0;
    for (int j = end; j > start;) {
        int i = run_start(rank_times, j, start);
        double mean = out[rank_rows[i]], log_sum = 0.0;
        double failed = failed_weight(rank_weights, accumulated_prefix, i, j, &log_sum);
        if (failed > 0.0) {
            double step = failed * exp(c - log_sum);
            hazard += step;
            moment += step * mean;
        }
        for (int k = i; k < j; k++) {
            int row = rank_rows[k];
            double fails = isfinite(accumulated_prefix[k]) ? 1.0 : 0.0;
            double v = VALUE(row) - x0;
            out[row] = fails * (v - mean) - exp(rank_prefix[k] - c) * (v * hazard - moment);
        }
        j = i;
    }
#undef VALUE
}

// Global size r x r: the outer product of the score residuals, each row
// counted f times: opg[a, b] = sum f U_a U_b.
kernel void vrw_compute_opg_robust_cox_proportional_hazards(global const double *frequency,
                                                            int blocks,
                                                            global const double *residuals,
                                                            global double *opg)
{
    int a = get_global_id(0), b = get_global_id(1), r = (int)get_global_size(0);
    size_t rows = (size_t)blocks * 16;
    global const double *ua = residuals + (size_t)a * rows, *ub = residuals + (size_t)b * rows;
    double16 s = 0.0;
    for (int k = 0; k < blocks; k++) {
        double16 f = vload16(k, frequency);
        s = fma(kept16(f, f * vload16(k, ua)), kept16(f, vload16(k, ub)), s);
    }
    double lanes[16];
    vstore16(s, 0, lanes);
    double total = 0.0;
    for (int i = 0; i < 16; i++)
        total += lanes[i];
    opg[(size_t)b * r + a] = total;
}

// Global size r x G: cluster_scores[a G + g], the sum of f U_a over the rows
// of cluster g (panel clusters[g]).
kernel void vrw_compute_opg_cluster_pass1_cox_proportional_hazards(
    global const double *frequency, global const int *clusters,
    global const int *panel_quad_counts, global const int *panel_quad_starts,
    global const double *residuals, int quads, global double *cluster_scores)
{
    int a = get_global_id(0), g = get_global_id(1);
    int panel = clusters[g];
    global const double *u = residuals + (size_t)a * (size_t)quads * 4;
    int first = panel_quad_starts[panel], end = first + panel_quad_counts[panel];
    double4 s = 0.0, c = 0.0;
    for (int q = first; q < end; q++) {
        double4 f = vload4(q, frequency);
        double4 term = kept4(f, f * vload4(q, u));
        TWO_SUM(double4, s, c, term);
    }
    double lanes[4], errors[4];
    vstore4(s, 0, lanes);
    vstore4(c, 0, errors);
    double total = 0.0, error = 0.0;
    for (int i = 0; i < 4; i++) {
        TWO_SUM(double, total, error, lanes[i]);
        error += errors[i];
    }
    cluster_scores[(size_t)a * get_global_size(1) + g] = total + error;
}
