// Gradients, Hessians and outer products of the Newton fits: sums over the
// rows of positive frequency weight of per-row terms times regressor values.
//
// Layouts: columns of blocks x 16 rows (read here as 2 x blocks runs of 8);
// panels padded to quads of 4 rows. A row takes part only when its frequency
// weight is positive: every value read from other rows (padding, rows left
// out, which may hold NaN) is replaced by 0 before it is multiplied.
//
// The gradient and the k x k matrices each need every row. On the CPU device
// a work group runs its items one after the other, so a work item a matrix
// entry would stream the whole data once an entry. Instead the first item of
// every work group computes tiles of entries, reading each row once a tile,
// and the groups share the tiles among them round robin; the other items of a
// group have nothing to do. Any grouping the runtime picks gives the same sums.
#pragma OPENCL EXTENSION cl_khr_fp64 : enable

// Entries of the gradient, and rows and columns of a matrix tile, a tile.
#define JACOBIAN_TILE 8
#define MATRIX_TILE 8

inline double lanes_sum8(double8 s)
{
    return lanes_total8(s, (double8)0.0);
}

// The data column of free coefficient i.
inline global const double *free_column(global const double *data, global const int *columns,
                                        global const int *free_columns, int i, int blocks)
{
    return data + (size_t)columns[free_columns[i]] * (size_t)blocks * 16;
}

// Gradient entries first .. first + JACOBIAN_TILE - 1 (those below k): the
// sum of f x score x value, each carried with its rounding error, since the
// gradient near the optimum is a sum of terms that cancel.
inline void jacobian_tile(global const double *data, global const double *frequency,
                          global const int *columns, int blocks, global const int *free_columns,
                          global const double *scores, global double *jacobian, int first, int k)
{
    global const double *x[JACOBIAN_TILE];
    for (int a = 0; a < JACOBIAN_TILE; a++)
        x[a] = free_column(data, columns, free_columns, min(first + a, k - 1), blocks);
    double8 s[JACOBIAN_TILE], c[JACOBIAN_TILE];
    for (int a = 0; a < JACOBIAN_TILE; a++)
        s[a] = c[a] = 0.0;
    for (int b = 0; b < 2 * blocks; b++) {
        double8 f = vload8(b, frequency);
        double8 g = kept8(f, f * vload8(b, scores));
        for (int a = 0; a < JACOBIAN_TILE; a++) {
            double8 term = g * kept8(f, vload8(b, x[a]));
            TWO_SUM(double8, s[a], c[a], term);
        }
    }
    for (int a = 0; a < JACOBIAN_TILE && first + a < k; a++)
        jacobian[first + a] = lanes_total8(s[a], c[a]);
}

// Global size k. jacobian[i] = sum over rows of f x scores x the row's value
// of free coefficient i.
kernel void vrw_compute_jacobian(global const double *data, global const double *frequency,
                                 global const int *columns, int blocks,
                                 global const int *free_columns, global const double *scores,
                                 global double *jacobian)
{
    int worker = tile_worker();
    if (worker < 0)
        return;
    int k = (int)get_global_size(0);
    for (int first = worker * JACOBIAN_TILE; first < k; first += tile_workers() * JACOBIAN_TILE)
        jacobian_tile(data, frequency, columns, blocks, free_columns, scores, jacobian, first, k);
}

// One tile of the symmetric m x m matrix sum over rows of w x x_i x x_j,
// w being f x values (squared when square is set), written to both halves of
// the leading m x m block of result (leading dimension k).
inline void product_tile(global const double *data, global const double *frequency,
                         global const int *columns, int blocks, global const int *free_columns,
                         global const double *values, int square, global double *result, int m,
                         int k, int2 tile)
{
    int i0 = tile.x * MATRIX_TILE, j0 = tile.y * MATRIX_TILE;
    global const double *xi[MATRIX_TILE], *xj[MATRIX_TILE];
    for (int a = 0; a < MATRIX_TILE; a++) {
        xi[a] = free_column(data, columns, free_columns, min(i0 + a, m - 1), blocks);
        xj[a] = free_column(data, columns, free_columns, min(j0 + a, m - 1), blocks);
    }
    double8 sum[MATRIX_TILE][MATRIX_TILE];
    for (int a = 0; a < MATRIX_TILE; a++)
        for (int c = 0; c < MATRIX_TILE; c++)
            sum[a][c] = 0.0;
    for (int b = 0; b < 2 * blocks; b++) {
        double8 f = vload8(b, frequency);
        double8 v = vload8(b, values);
        double8 w = kept8(f, square ? f * v * v : f * v);
        double8 wxi[MATRIX_TILE], xjv[MATRIX_TILE];
        for (int a = 0; a < MATRIX_TILE; a++) {
            wxi[a] = w * kept8(f, vload8(b, xi[a]));
            xjv[a] = kept8(f, vload8(b, xj[a]));
        }
        for (int a = 0; a < MATRIX_TILE; a++)
            for (int c = 0; c < MATRIX_TILE; c++)
                sum[a][c] = fma(wxi[a], xjv[c], sum[a][c]);
    }
    for (int a = 0; a < MATRIX_TILE; a++)
        for (int c = 0; c < MATRIX_TILE; c++) {
            int i = i0 + a, j = j0 + c;
            if (i >= m || j >= m || i > j)
                continue;
            double total = lanes_sum8(sum[a][c]);
            result[(size_t)j * k + i] = total;
            result[(size_t)i * k + j] = total;
        }
}

// The leading block of the global size's extent: the Hessian of a model
// with nuisance parameters leaves their rows and columns to its own kernels.
inline void symmetric_products(global const double *data, global const double *frequency,
                               global const int *columns, int blocks,
                               global const int *free_columns, global const double *values,
                               int square, global double *result, int k)
{
    int worker = tile_worker();
    int m = (int)get_global_size(0);
    if (worker < 0 || m <= 0)
        return;
    int tiles = (m + MATRIX_TILE - 1) / MATRIX_TILE;
    for (int t = worker; t < tiles * (tiles + 1) / 2; t += tile_workers())
        product_tile(data, frequency, columns, blocks, free_columns, values, square, result, m, k,
                     upper_tile(t, tiles));
}

// Global size k x k (or the leading block of the coefficients before a
// model's nuisance parameters). The Hessian of the log likelihood over the
// free coefficients: sum over rows of f x weights x x_i x x_j, both halves.
kernel void vrw_compute_hessian(global const double *data, global const double *frequency,
                                global const int *columns, int blocks,
                                global const int *free_columns, global const double *weights,
                                global double *hessian, int k)
{
    symmetric_products(data, frequency, columns, blocks, free_columns, weights, 0, hessian, k);
}

// Global size k x k. The outer product of the per-row scores, each row
// counted f times: sum over rows of f x scores^2 x x_i x x_j.
kernel void vrw_compute_opg_robust(global const double *data, global const double *frequency,
                                   global const int *columns, int blocks,
                                   global const int *free_columns, int k,
                                   global const double *scores, global double *opg)
{
    symmetric_products(data, frequency, columns, blocks, free_columns, scores, 1, opg, k);
}

// Global size k x G. cluster_scores[i G + g]: the sum of f x scores x the
// value of free coefficient i over the rows of cluster g (panel clusters[g]).
// Coefficient after coefficient, so a fit with nuisance parameters adds
// their sums after those of the first k coefficients.
kernel void vrw_compute_opg_cluster_pass1(global const double *data,
                                          global const double *frequency,
                                          global const int *columns, int quads,
                                          global const int *free_columns,
                                          global const int *clusters,
                                          global const int *panel_quad_counts,
                                          global const int *panel_quad_starts,
                                          global const double *scores,
                                          global double *cluster_scores)
{
    int i = get_global_id(0), g = get_global_id(1);
    size_t count = get_global_size(1);
    int panel = clusters[g];
    global const double *x = data + (size_t)columns[free_columns[i]] * (size_t)quads * 4;
    int first = panel_quad_starts[panel], end = first + panel_quad_counts[panel];
    double4 s = 0.0, c = 0.0;
    for (int q = first; q < end; q++) {
        double4 f = vload4(q, frequency);
        double4 term = kept4(f, f * vload4(q, scores)) * kept4(f, vload4(q, x));
        TWO_SUM(double4, s, c, term);
    }
    double lanes[4], errors[4];
    vstore4(s, 0, lanes);
    vstore4(c, 0, errors);
    cluster_scores[(size_t)i * count + g] = lanes_total(lanes, errors, 4);
}

// Global size k x k. opg[i, j]: the sum over clusters of the products of
// their score sums.
kernel void vrw_compute_opg_cluster_pass2(global const double *cluster_scores, int clusters,
                                          global double *opg)
{
    int i = get_global_id(0), j = get_global_id(1);
    int k = (int)get_global_size(0);
    global const double *si = cluster_scores + (size_t)i * clusters;
    global const double *sj = cluster_scores + (size_t)j * clusters;
    double s = 0.0, c = 0.0;
    for (int g = 0; g < clusters; g++) {
        double term = si[g] * sj[g];
        TWO_SUM(double, s, c, term);
    }
    opg[(size_t)j * k + i] = isfinite(s) ? s + c : s;
}
