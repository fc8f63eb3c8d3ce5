// The negative binomial's nuisance parameter theta in the gradient, Hessian
// and outer products: its row of each, beside the leading block of the
// regressors that the common kernels fill (leading dimension k, theta at
// index `nuisance`).
//
// Layouts: columns of blocks x 16 rows (read as 2 x blocks runs of 8), or of
// quads of 4 rows when walking panels; cluster and fixed-effect arrays hold
// coefficient i of cluster g at i x G + g. Values of rows of frequency
// weight 0 (padding, rows left out, which may hold NaN) are replaced by 0
// before they are multiplied; sums carry their rounding errors.
#pragma OPENCL EXTENSION cl_khr_fp64 : enable

// Entries a tile of the regressor rows.
#define COLUMN_TILE 8

// The sum over the rows of f x a (x b when b is given).
inline double row_sum(global const double *frequency, global const double *a,
                      global const double *b, int blocks)
{
    double8 s = 0.0, c = 0.0;
    for (int r = 0; r < 2 * blocks; r++) {
        double8 f = vload8(r, frequency);
        double8 v = kept8(f, f * vload8(r, a));
        if (b)
            v *= kept8(f, vload8(r, b));
        TWO_SUM(double8, s, c, v);
    }
    return lanes_total8(s, c);
}

// Global size m (the free regressors): the sums of f x a (x b) x x_i for
// the first m free coefficients, into entries (i, nuisance) and (nuisance, i)
// of result (leading dimension k).
inline void nuisance_column(global const double *data, global const double *frequency,
                            global const int *columns, int blocks,
                            global const int *free_columns, global const double *a,
                            global const double *b, global double *result, int k, int nuisance)
{
    int worker = tile_worker();
    int m = (int)get_global_size(0);
    if (worker < 0)
        return;
    for (int first = worker * COLUMN_TILE; first < m;
         first += tile_workers() * COLUMN_TILE) {
        global const double *x[COLUMN_TILE];
        for (int t = 0; t < COLUMN_TILE; t++)
            x[t] = data + (size_t)columns[free_columns[min(first + t, m - 1)]] * blocks * 16;
        double8 s[COLUMN_TILE], c[COLUMN_TILE];
        for (int t = 0; t < COLUMN_TILE; t++)
            s[t] = c[t] = 0.0;
        for (int r = 0; r < 2 * blocks; r++) {
            double8 f = vload8(r, frequency);
            double8 v = kept8(f, f * vload8(r, a));
            if (b)
                v *= kept8(f, vload8(r, b));
            for (int t = 0; t < COLUMN_TILE; t++) {
                double8 term = v * kept8(f, vload8(r, x[t]));
                TWO_SUM(double8, s[t], c[t], term);
            }
        }
        for (int t = 0; t < COLUMN_TILE && first + t < m; t++) {
            double total = lanes_total8(s[t], c[t]);
            int i = first + t;
            result[(size_t)nuisance * k + i] = total;
            result[(size_t)i * k + nuisance] = total;
        }
    }
}

// Global size 1: jacobian[nuisance] = sum f x d log L / d theta.
kernel void vrw_compute_nuisance_jacobian_negbin2(global const double *data,
                                                  global const double *frequency, int blocks,
                                                  int nuisance, global double *jacobian,
                                                  global const double *nuisance_scores)
{
    jacobian[nuisance] = row_sum(frequency, nuisance_scores, 0, blocks);
}

// Global size (the free regressors): hessian[i, nuisance] = sum f x
// d2 log L / d eta d theta x x_i.
kernel void vrw_compute_cross_hessian_negbin2(global const double *data,
                                              global const double *frequency,
                                              global const int *columns, int blocks,
                                              global const int *free_columns, int k,
                                              int nuisance, global double *hessian,
                                              global const double *cross_weights)
{
    nuisance_column(data, frequency, columns, blocks, free_columns, cross_weights, 0, hessian, k,
                    nuisance);
}

// The farthest a shaped step moves log theta: a factor e^2.
#define LOG_THETA_STEP_LIMIT 2.0

// theta's curvature for a shaped step, from the sums of d2 log L / d theta2
// (h) and d log L / d theta (g) at theta. A Newton step on theta itself
// overshoots: from theta = 1 a sample of theta 0.3 steps below 0, and away
// from the maximum h turns positive. The step is taken on log theta instead,
// whose curvature is c = theta^2 h + theta g, d = -theta g / c (a step of
// the sign of g, at the limit, where c is not negative), bounded to the
// limit, and the answer is the curvature whose linear step -g / H lands
// where that step does, theta (exp(d) - 1): negative, so theta stays above
// 0, and near the maximum h + g / theta, which tends to h.
inline double shaped_curvature(double h, double g, double theta)
{
    if (g == 0.0)
        return h;
    double c = theta * theta * h + theta * g;
    double d = c < 0.0 ? -theta * g / c : copysign(LOG_THETA_STEP_LIMIT, g);
    d = clamp(d, -LOG_THETA_STEP_LIMIT, LOG_THETA_STEP_LIMIT);
    return -g / (theta * expm1(d));
}

// Global size 1: hessian[nuisance, nuisance] = sum f x d2 log L / d theta2.
// Shaped (shaped != 0), the curvature above, and theta's cross entries
// (the cross kernel's, which runs first) 0, their expectation: observed far
// from the maximum (from the log mean alone) they make the Hessian
// indefinite where both blocks on their own are negative. The shaped steps
// get near the maximum, the observed ones finish there.
kernel void vrw_compute_nuisance_hessian_negbin2(global const double *data,
                                                 global const double *frequency, int blocks,
                                                 int k, int nuisance, global double *hessian,
                                                 global const double *nuisance_weights,
                                                 global const double *nuisance_scores,
                                                 global const double *estimates,
                                                 int variable_count, int shaped)
{
    double h = row_sum(frequency, nuisance_weights, 0, blocks);
    if (shaped) {
        h = shaped_curvature(h, row_sum(frequency, nuisance_scores, 0, blocks),
                             estimates[variable_count]);
        for (int i = 0; i < nuisance; i++)
            hessian[(size_t)nuisance * k + i] = hessian[(size_t)i * k + nuisance] = 0.0;
    }
    hessian[(size_t)nuisance * k + nuisance] = h;
}

// Global size (the free regressors): opg[i, nuisance] = sum f x score x
// theta's score x x_i.
kernel void vrw_compute_cross_opg_robust_negbin2(global const double *data,
                                                 global const double *frequency,
                                                 global const int *columns, int blocks,
                                                 global const int *free_columns,
                                                 global const double *scores,
                                                 global const double *nuisance_scores,
                                                 global double *opg, int k, int nuisance)
{
    nuisance_column(data, frequency, columns, blocks, free_columns, scores, nuisance_scores, opg,
                    k, nuisance);
}

// Global size 1: opg[nuisance, nuisance] = sum f x theta's score squared.
kernel void vrw_compute_nuisance_opg_robust_negbin2(global const double *data,
                                                    global const double *frequency,
                                                    global const int *columns, int blocks,
                                                    global const int *free_columns,
                                                    global const double *scores,
                                                    global const double *nuisance_scores,
                                                    global double *opg, int k, int nuisance)
{
    opg[(size_t)nuisance * k + nuisance] = row_sum(frequency, nuisance_scores, nuisance_scores,
                                                   blocks);
}

// Global size G: theta's score summed over the rows of cluster g, after the
// regressors' sums of the common first pass.
kernel void vrw_compute_nuisance_opg_cluster_pass1_negbin2(
    global const double *data, global const double *frequency, global const int *columns,
    int quads, global const int *free_columns, global const int *clusters,
    global const int *panel_quad_counts, global const int *panel_quad_starts,
    global const double *scores, global double *cluster_scores,
    global const double *nuisance_scores, int nuisance)
{
    int g = get_global_id(0);
    cluster_scores[(size_t)nuisance * get_global_size(0) + g] =
        cluster_sum(frequency, nuisance_scores, clusters, panel_quad_counts, panel_quad_starts,
                    g);
}

// Global size G: theta's entries of the per-panel cross Hessian (sum f x
// d2 log L / d eta d theta over the cluster's rows) and of its panel mean.
kernel void vrw_compute_fixed_effects_nuisance_cross_hessian_negbin2(
    global const double *data, global const double *frequency, int quads,
    global const int *clusters, global const int *panel_quad_counts,
    global const int *panel_quad_starts, global const double *fe_hessian,
    global const double *cross_weights, int nuisance, global double *fe_cross_solved,
    global double *fe_cross_hessian)
{
    int g = get_global_id(0);
    size_t at = (size_t)nuisance * get_global_size(0) + g;
    double cross = cluster_sum(frequency, cross_weights, clusters, panel_quad_counts,
                               panel_quad_starts, g);
    fe_cross_solved[at] = cross;
    fe_cross_hessian[at] = cross / fe_hessian[g];
}

// The robust outer products with one effect a panel: each row's scores with
// the panel effects' part taken out, the regressors' x - xbar and theta's
// d log L / d theta - score x xbar_theta (xbar the per-panel means of
// fe_cross_hessian), as the coefficients' rows of the full sandwich see
// them. The regressors' block is the common fixed-effects kernel's.
inline double projected_sum(global const double *data, global const double *frequency,
                            global const int *columns, int quads, global const int *free_columns,
                            global const double *scores, global const double *nuisance_scores,
                            int i, int nuisance, global const int *clusters, int cluster_count,
                            global const int *panel_quad_counts,
                            global const int *panel_quad_starts,
                            global const double *fe_cross_hessian)
{
    global const double *x =
        i >= 0 ? data + (size_t)columns[free_columns[i]] * (size_t)quads * 4 : 0;
    double4 s = 0.0, c = 0.0;
    for (int g = 0; g < cluster_count; g++) {
        double mean = i >= 0 ? fe_cross_hessian[(size_t)i * cluster_count + g] : 0.0;
        double theta_mean = fe_cross_hessian[(size_t)nuisance * cluster_count + g];
        int panel = clusters[g];
        int first = panel_quad_starts[panel], end = first + panel_quad_counts[panel];
        for (int q = first; q < end; q++) {
            double4 f = vload4(q, frequency);
            double4 score = vload4(q, scores);
            double4 theta_score = vload4(q, nuisance_scores) - score * theta_mean;
            double4 other = x ? score * (vload4(q, x) - mean) : theta_score;
            double4 term = kept4(f, f * theta_score * other);
            TWO_SUM(double4, s, c, term);
        }
    }
    return lanes_total4(s, c);
}

// Global size (the free regressors): opg[i, nuisance].
kernel void vrw_compute_fixed_effects_cross_opg_robust_negbin2(
    global const double *data, global const double *frequency, global const int *columns,
    int quads, global const int *free_columns, global const double *scores,
    global const double *nuisance_scores, global double *opg, int k, int nuisance,
    global const int *clusters, int cluster_count, global const int *panel_quad_counts,
    global const int *panel_quad_starts, global const double *fe_cross_hessian)
{
    int i = get_global_id(0);
    double total = projected_sum(data, frequency, columns, quads, free_columns, scores,
                                 nuisance_scores, i, nuisance, clusters, cluster_count,
                                 panel_quad_counts, panel_quad_starts, fe_cross_hessian);
    opg[(size_t)nuisance * k + i] = total;
    opg[(size_t)i * k + nuisance] = total;
}

// Global size 1: opg[nuisance, nuisance].
kernel void vrw_compute_fixed_effects_nuisance_opg_robust_negbin2(
    global const double *data, global const double *frequency, global const int *columns,
    int quads, global const int *free_columns, global const double *scores,
    global const double *nuisance_scores, global double *opg, int k, int nuisance,
    global const int *clusters, int cluster_count, global const int *panel_quad_counts,
    global const int *panel_quad_starts, global const double *fe_cross_hessian)
{
    opg[(size_t)nuisance * k + nuisance] =
        projected_sum(data, frequency, columns, quads, free_columns, scores, nuisance_scores, -1,
                      nuisance, clusters, cluster_count, panel_quad_counts, panel_quad_starts,
                      fe_cross_hessian);
}
