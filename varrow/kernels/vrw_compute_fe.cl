// Fixed effects estimated with the coefficients: one intercept a panel that
// the Newton system of the coefficients absorbs.
//
// With s and w the first and second derivatives of a row's log likelihood in
// its linear predictor, f its frequency weight and x its regressors, panel g
// has the gradient entry sum f s, the Hessian entry h = sum f w and the cross
// Hessian c = sum f w x. Eliminating the panel effects leaves the gradient
// and Hessian of the coefficients taken about the panels' means
// xbar = c / h: sum f s (x - xbar) and sum f w (x - xbar)(x - xbar)'. The
// kernels of the single-equation fits sum those directly, which keeps the
// digits a subtraction of the absorbed part would cancel; the kernels of the
// fits with nuisance parameters subtract the absorbed part instead
// ("delta" kernels). After the coefficient step d each panel's own step is
// sum f s / h - xbar' d.
//
// Layouts: columns of 4 x quads rows, each panel padded to whole quads of 4
// rows; a cluster is a non-empty panel, clusters[g] its panel number. The
// per-panel coefficient arrays fe_cross_solved (c) and fe_cross_hessian
// (xbar) hold coefficient i of cluster g at i x G + g, so a fit whose
// coefficients end in nuisance parameters can add their entries with kernels
// of its own. Values of rows of weight 0 (padding, rows left out, which may
// hold NaN) are replaced by 0 before they are multiplied; sums carry their
// rounding errors.
#pragma OPENCL EXTENSION cl_khr_fp64 : enable

// Entries of the gradient, and rows and columns of a matrix tile, a tile.
#define JACOBIAN_TILE 8
#define MATRIX_TILE 8

inline global const double *free_column(global const double *data, global const int *columns,
                                        global const int *free_columns, int i, int quads)
{
    return data + (size_t)columns[free_columns[i]] * (size_t)quads * 4;
}

// Global size G: output[g] = sum of f x input over the rows of cluster g.
kernel void vrw_compute_fixed_effects_prefix_sum(global const double *input,
                                                 global const double *frequency,
                                                 global const int *clusters,
                                                 global const int *panel_quad_counts,
                                                 global const int *panel_quad_starts,
                                                 global double *output)
{
    int g = get_global_id(0);
    output[g] = cluster_sum(frequency, input, clusters, panel_quad_counts, panel_quad_starts, g);
}

// Global size k x G: for free coefficient i and cluster g the cross Hessian
// c = sum f w x_i into fe_cross_solved and the panel mean c / h into
// fe_cross_hessian.
kernel void vrw_compute_fixed_effects_mean(global const double *data,
                                           global const double *frequency,
                                           global const int *columns, int quads,
                                           global const int *free_columns,
                                           global const double *weights,
                                           global const int *clusters,
                                           global const int *panel_quad_counts,
                                           global const int *panel_quad_starts,
                                           global const double *fe_hessian,
                                           global double *fe_cross_solved,
                                           global double *fe_cross_hessian)
{
    int i = get_global_id(0), g = get_global_id(1);
    size_t at = (size_t)i * get_global_size(1) + g;
    global const double *x = free_column(data, columns, free_columns, i, quads);
    int panel = clusters[g];
    int first = panel_quad_starts[panel], end = first + panel_quad_counts[panel];
    double4 s = 0.0, c = 0.0;
    for (int q = first; q < end; q++) {
        double4 f = vload4(q, frequency);
        double4 term = kept4(f, f * vload4(q, weights)) * kept4(f, vload4(q, x));
        TWO_SUM(double4, s, c, term);
    }
    double cross = lanes_total4(s, c);
    fe_cross_solved[at] = cross;
    fe_cross_hessian[at] = cross / fe_hessian[g];
}

// Gradient entries first .. first + JACOBIAN_TILE - 1 (those below k) about
// the panel means.
inline void jacobian_tile(global const double *data, global const double *frequency,
                          global const int *columns, int quads, global const int *free_columns,
                          global const double *scores, global double *jacobian,
                          global const int *clusters, int cluster_count,
                          global const int *panel_quad_counts,
                          global const int *panel_quad_starts,
                          global const double *fe_cross_hessian, int first, int k)
{
    global const double *x[JACOBIAN_TILE];
    int entry[JACOBIAN_TILE];
    for (int a = 0; a < JACOBIAN_TILE; a++) {
        entry[a] = min(first + a, k - 1);
        x[a] = free_column(data, columns, free_columns, entry[a], quads);
    }
    double4 s[JACOBIAN_TILE], c[JACOBIAN_TILE];
    for (int a = 0; a < JACOBIAN_TILE; a++)
        s[a] = c[a] = 0.0;
    for (int g = 0; g < cluster_count; g++) {
        double mean[JACOBIAN_TILE];
        for (int a = 0; a < JACOBIAN_TILE; a++)
            mean[a] = fe_cross_hessian[(size_t)entry[a] * cluster_count + g];
        int panel = clusters[g];
        int start = panel_quad_starts[panel], end = start + panel_quad_counts[panel];
        for (int q = start; q < end; q++) {
            double4 f = vload4(q, frequency);
            double4 fs = kept4(f, f * vload4(q, scores));
            for (int a = 0; a < JACOBIAN_TILE; a++) {
                double4 term = fs * kept4(f, vload4(q, x[a]) - mean[a]);
                TWO_SUM(double4, s[a], c[a], term);
            }
        }
    }
    for (int a = 0; a < JACOBIAN_TILE && first + a < k; a++)
        jacobian[first + a] = lanes_total4(s[a], c[a]);
}

// Global size k: jacobian[i] = sum f s (x_i - xbar_i) over the rows of
// every cluster.
kernel void vrw_compute_fixed_effects_jacobian(global const double *data,
                                               global const double *frequency,
                                               global const int *columns, int quads,
                                               global const int *free_columns,
                                               global const double *scores,
                                               global double *jacobian,
                                               global const int *clusters, int cluster_count,
                                               global const int *panel_quad_counts,
                                               global const int *panel_quad_starts,
                                               global const double *fe_cross_hessian)
{
    int worker = tile_worker();
    if (worker < 0)
        return;
    int k = (int)get_global_size(0);
    for (int first = worker * JACOBIAN_TILE; first < k; first += tile_workers() * JACOBIAN_TILE)
        jacobian_tile(data, frequency, columns, quads, free_columns, scores, jacobian, clusters,
                      cluster_count, panel_quad_counts, panel_quad_starts, fe_cross_hessian,
                      first, k);
}

// The panel layout a product walks: the clusters and their quads, and the
// panel means of every free coefficient.
typedef struct {
    global const int *clusters;
    int cluster_count;
    global const int *quad_counts;
    global const int *quad_starts;
    global const double *means;
} Panels;

// One tile of the symmetric m x m matrix sum f v (x_i - xbar_i)(x_j - xbar_j)
// (v squared when square is set), written to both halves of the leading
// m x m block of result (leading dimension k).
inline void panel_product_tile(global const double *data, global const double *frequency,
                               global const int *columns, int quads,
                               global const int *free_columns, global const double *values,
                               int square, global double *result, int m, int k, Panels p,
                               int2 tile)
{
    int i0 = tile.x * MATRIX_TILE, j0 = tile.y * MATRIX_TILE;
    global const double *xi[MATRIX_TILE], *xj[MATRIX_TILE];
    int ei[MATRIX_TILE], ej[MATRIX_TILE];
    for (int a = 0; a < MATRIX_TILE; a++) {
        ei[a] = min(i0 + a, m - 1);
        ej[a] = min(j0 + a, m - 1);
        xi[a] = free_column(data, columns, free_columns, ei[a], quads);
        xj[a] = free_column(data, columns, free_columns, ej[a], quads);
    }
    double4 sum[MATRIX_TILE][MATRIX_TILE];
    for (int a = 0; a < MATRIX_TILE; a++)
        for (int c = 0; c < MATRIX_TILE; c++)
            sum[a][c] = 0.0;
    for (int g = 0; g < p.cluster_count; g++) {
        double mi[MATRIX_TILE], mj[MATRIX_TILE];
        for (int a = 0; a < MATRIX_TILE; a++) {
            mi[a] = p.means[(size_t)ei[a] * p.cluster_count + g];
            mj[a] = p.means[(size_t)ej[a] * p.cluster_count + g];
        }
        int panel = p.clusters[g];
        int start = p.quad_starts[panel], end = start + p.quad_counts[panel];
        for (int q = start; q < end; q++) {
            double4 f = vload4(q, frequency);
            double4 v = vload4(q, values);
            double4 w = kept4(f, square ? f * v * v : f * v);
            double4 wxi[MATRIX_TILE], xjv[MATRIX_TILE];
            for (int a = 0; a < MATRIX_TILE; a++) {
                wxi[a] = w * kept4(f, vload4(q, xi[a]) - mi[a]);
                xjv[a] = kept4(f, vload4(q, xj[a]) - mj[a]);
            }
            for (int a = 0; a < MATRIX_TILE; a++)
                for (int c = 0; c < MATRIX_TILE; c++)
                    sum[a][c] = fma(wxi[a], xjv[c], sum[a][c]);
        }
    }
    for (int a = 0; a < MATRIX_TILE; a++)
        for (int c = 0; c < MATRIX_TILE; c++) {
            int i = i0 + a, j = j0 + c;
            if (i >= m || j >= m || i > j)
                continue;
            double total = lanes_total4(sum[a][c], (double4)0.0);
            result[(size_t)j * k + i] = total;
            result[(size_t)i * k + j] = total;
        }
}

inline void panel_products(global const double *data, global const double *frequency,
                           global const int *columns, int quads, global const int *free_columns,
                           global const double *values, int square, global double *result, int k,
                           Panels p)
{
    int worker = tile_worker();
    int m = (int)get_global_size(0);
    if (worker < 0 || m <= 0)
        return;
    int tiles = (m + MATRIX_TILE - 1) / MATRIX_TILE;
    for (int t = worker; t < tiles * (tiles + 1) / 2; t += tile_workers())
        panel_product_tile(data, frequency, columns, quads, free_columns, values, square, result,
                           m, k, p, upper_tile(t, tiles));
}

// Global size k x k: the Hessian of the coefficients with the panel effects
// absorbed, sum f w (x_i - xbar_i)(x_j - xbar_j), both halves.
kernel void vrw_compute_fixed_effects_hessian(global const double *data,
                                              global const double *frequency,
                                              global const int *columns, int quads,
                                              global const int *free_columns,
                                              global const double *weights,
                                              global double *hessian, int k,
                                              global const int *clusters, int cluster_count,
                                              global const int *panel_quad_counts,
                                              global const int *panel_quad_starts,
                                              global const double *fe_cross_hessian)
{
    Panels p = {clusters, cluster_count, panel_quad_counts, panel_quad_starts,
                fe_cross_hessian};
    panel_products(data, frequency, columns, quads, free_columns, weights, 0, hessian, k, p);
}

// Global size k x k: the outer product of the scores of the coefficients
// with the panel effects absorbed, sum f s^2 (x_i - xbar_i)(x_j - xbar_j):
// the part of the robust variance the coefficients' rows of the full
// sandwich keep.
kernel void vrw_compute_fixed_effects_opg_robust(global const double *data,
                                                 global const double *frequency,
                                                 global const int *columns, int quads,
                                                 global const int *free_columns, int k,
                                                 global const double *scores,
                                                 global double *opg,
                                                 global const int *clusters, int cluster_count,
                                                 global const int *panel_quad_counts,
                                                 global const int *panel_quad_starts,
                                                 global const double *fe_cross_hessian)
{
    Panels p = {clusters, cluster_count, panel_quad_counts, panel_quad_starts,
                fe_cross_hessian};
    panel_products(data, frequency, columns, quads, free_columns, scores, 1, opg, k, p);
}

// Global size G: the step of cluster g's effect after the coefficient step,
// fe_jacobian / h - xbar' step.
kernel void vrw_compute_fixed_effects_delta(global const double *fe_jacobian,
                                            global const double *fe_hessian,
                                            global const double *fe_cross_hessian,
                                            global const double *step, int k,
                                            global double *fe_delta)
{
    int g = get_global_id(0);
    size_t clusters = get_global_size(0);
    double delta = fe_jacobian[g] / fe_hessian[g];
    for (int i = 0; i < k; i++)
        delta -= fe_cross_hessian[(size_t)i * clusters + g] * step[i];
    fe_delta[g] = delta;
}

// Global size n: takes the panel effects' part out of the gradient,
// jacobian[i] -= sum over clusters of xbar_i x the cluster's gradient entry.
kernel void vrw_compute_fixed_effects_delta_jacobian(int cluster_count,
                                                     global const double *fe_cross_hessian,
                                                     global const double *fe_jacobian,
                                                     global double *jacobian)
{
    int i = get_global_id(0);
    double s = 0.0, c = 0.0;
    for (int g = 0; g < cluster_count; g++) {
        double term = fe_cross_hessian[(size_t)i * cluster_count + g] * fe_jacobian[g];
        TWO_SUM(double, s, c, term);
    }
    jacobian[i] -= isfinite(s) ? s + c : s;
}

// Global size n x n: hessian[i, j] -= sum over clusters of c_i xbar_j. Both
// halves take the product of the lower index's c and the higher index's
// xbar, so the matrix stays exactly symmetric.
kernel void vrw_compute_fixed_effects_delta_hessian(int cluster_count,
                                                    global const double *fe_cross_solved,
                                                    global const double *fe_cross_hessian,
                                                    global double *hessian, int k)
{
    int i = get_global_id(0), j = get_global_id(1);
    size_t low = (size_t)min(i, j) * cluster_count, high = (size_t)max(i, j) * cluster_count;
    double s = 0.0, c = 0.0;
    for (int g = 0; g < cluster_count; g++) {
        double term = fe_cross_solved[low + g] * fe_cross_hessian[high + g];
        TWO_SUM(double, s, c, term);
    }
    hessian[(size_t)j * k + i] -= isfinite(s) ? s + c : s;
}
