// Gradient, Hessian and outer products of the multinomial logit, and the
// absorption of its fixed effects.
//
// Free coefficient i belongs to choice free_equations[i] and regressor
// column columns[free_columns[i]]; equation e (the choices but the base) is
// choice equation_choices[e]. The per-row scores (Q columns, y_c - p_c) and
// weights (Q x Q columns, -p_c (delta_cd - p_d)) are quad-interleaved: row
// r's column c of n at quad(r) 4n + 4c + r mod 4. The kernels walk quads of
// 4 rows; a row takes part only when its frequency weight is positive, every
// value of other rows being replaced by 0 before it is multiplied.
//
// Fixed effects: one effect a choice but the base and a non-empty panel g.
// With D_g the E x E block of the effects' Hessian of panel g (inverted in
// place on the host), C[i, e, g] = sum f w x_i over the panel's rows (the
// cross derivatives, fe_cross_hessian) and D_g^-1 C (fe_cross_solved), both
// at i E G + e G + g, and the effects' gradient fe_jacobian at e G + g, the
// effects are eliminated from the Newton system: the coefficients' gradient
// loses sum C D^-1 g_effects, their Hessian sum C D^-1 C', and after the
// coefficients' step d each panel's effects step by D^-1 (g - C' d).
#pragma OPENCL EXTENSION cl_khr_fp64 : enable

// Gradient entries, and rows and columns of a matrix tile, a tile.
#define JACOBIAN_TILE 8
#define MATRIX_TILE 6

inline double lanes_sum4(double4 s)
{
    return s.x + s.y + s.z + s.w;
}

// Column c of quad q of a quad-interleaved buffer of n columns.
inline double4 quad_column(global const double *buffer, int n, int q, int c)
{
    return vload4(0, buffer + (size_t)q * 4 * n + 4 * c);
}

inline global const double *free_column(global const double *data, global const int *columns,
                                        global const int *free_columns, int i, int quads)
{
    return data + (size_t)columns[free_columns[i]] * (size_t)quads * 4;
}

// Global size n: jacobian[i] = sum f (y - p) of coefficient i's choice x its
// value, each addition's rounding error carried.
kernel void vrw_compute_jacobian_multinomial_logit(global const double *data,
                                                   global const double *frequency,
                                                   global const int *columns, int blocks,
                                                   global const int *free_columns,
                                                   global const double *scores,
                                                   global double *jacobian,
                                                   global const int *free_equations, int choices)
{
    int worker = tile_worker();
    if (worker < 0)
        return;
    int n = (int)get_global_size(0), quads = 4 * blocks;
    for (int first = worker * JACOBIAN_TILE; first < n;
         first += tile_workers() * JACOBIAN_TILE) {
        global const double *x[JACOBIAN_TILE];
        int e[JACOBIAN_TILE];
        double4 s[JACOBIAN_TILE], c[JACOBIAN_TILE];
        for (int a = 0; a < JACOBIAN_TILE; a++) {
            int i = min(first + a, n - 1);
            x[a] = free_column(data, columns, free_columns, i, quads);
            e[a] = free_equations[i];
            s[a] = c[a] = 0.0;
        }
        for (int q = 0; q < quads; q++) {
            double4 f = vload4(q, frequency);
            for (int a = 0; a < JACOBIAN_TILE; a++) {
                double4 term = kept4(f, f * quad_column(scores, choices, q, e[a]))
                               * kept4(f, vload4(q, x[a]));
                TWO_SUM(double4, s[a], c[a], term);
            }
        }
        for (int a = 0; a < JACOBIAN_TILE && first + a < n; a++)
            jacobian[first + a] = lanes_total4(s[a], c[a]);
    }
}

// The end (exclusive) of the segment that starts at free coefficient i: the
// run of at most MATRIX_TILE coefficients after it of the same choice, a
// choice's run split into near-equal segments.
inline int segment_end(global const int *free_equations, int n, int i)
{
    int run = i + 1;
    while (run < n && free_equations[run] == free_equations[i])
        run++;
    int pieces = (run - i + MATRIX_TILE - 1) / MATRIX_TILE;
    return i + (run - i + pieces - 1) / pieces;
}

inline int segment_count(global const int *free_equations, int n)
{
    int count = 0;
    for (int i = 0; i < n; i = segment_end(free_equations, n, i))
        count++;
    return count;
}

inline int segment_start(global const int *free_equations, int n, int segment)
{
    int i = 0;
    for (; segment > 0; segment--)
        i = segment_end(free_equations, n, i);
    return i;
}

// One tile of the symmetric n x n matrix sum f v x_i x_j over the
// coefficients of two segments (i0 .. i1 - 1 and j0 .. j1 - 1, each of one
// choice), v the weight of the two choices (weighted) or the product of
// their scores (outer products): one value a row for the whole tile. Written
// to both halves.
inline void choice_product_tile(global const double *data, global const double *frequency,
                                global const int *columns, int quads,
                                global const int *free_columns, global const double *values,
                                int weighted, global const int *free_equations, int choices,
                                global double *result, int n, int4 tile)
{
    int i0 = tile.x, i1 = tile.y, j0 = tile.z, j1 = tile.w;
    global const double *xi[MATRIX_TILE], *xj[MATRIX_TILE];
    for (int a = 0; a < MATRIX_TILE; a++) {
        xi[a] = free_column(data, columns, free_columns, min(i0 + a, i1 - 1), quads);
        xj[a] = free_column(data, columns, free_columns, min(j0 + a, j1 - 1), quads);
    }
    int ei = free_equations[i0], ej = free_equations[j0];
    double4 sum[MATRIX_TILE][MATRIX_TILE];
    for (int a = 0; a < MATRIX_TILE; a++)
        for (int c = 0; c < MATRIX_TILE; c++)
            sum[a][c] = 0.0;
    for (int q = 0; q < quads; q++) {
        double4 f = vload4(q, frequency);
        double4 v = weighted ? kept4(f, f * quad_column(values, choices * choices, q,
                                                          ei * choices + ej))
                             : kept4(f, f * quad_column(values, choices, q, ei))
                                   * kept4(f, quad_column(values, choices, q, ej));
        double4 u[MATRIX_TILE], w[MATRIX_TILE];
        for (int a = 0; a < MATRIX_TILE; a++) {
            u[a] = v * kept4(f, vload4(q, xi[a]));
            w[a] = kept4(f, vload4(q, xj[a]));
        }
        for (int a = 0; a < MATRIX_TILE; a++)
            for (int c = 0; c < MATRIX_TILE; c++)
                sum[a][c] = fma(u[a], w[c], sum[a][c]);
    }
    for (int a = 0; a < MATRIX_TILE; a++)
        for (int c = 0; c < MATRIX_TILE; c++) {
            int i = i0 + a, j = j0 + c;
            if (i >= i1 || j >= j1 || i > j)
                continue;
            double total = lanes_sum4(sum[a][c]);
            result[(size_t)j * n + i] = total;
            result[(size_t)i * n + j] = total;
        }
}

// The tiles pair the segments (upper triangle), so a tile's rows share one
// choice and its columns another.
inline void choice_products(global const double *data, global const double *frequency,
                            global const int *columns, int blocks, global const int *free_columns,
                            global const double *values, int weighted,
                            global const int *free_equations, int choices, global double *result)
{
    int worker = tile_worker();
    int n = (int)get_global_size(0);
    if (worker < 0 || n <= 0)
        return;
    int segments = segment_count(free_equations, n);
    for (int t = worker; t < segments * (segments + 1) / 2; t += tile_workers()) {
        int2 pair = upper_tile(t, segments);
        int i0 = segment_start(free_equations, n, pair.x);
        int j0 = segment_start(free_equations, n, pair.y);
        int4 tile = (int4)(i0, segment_end(free_equations, n, i0), j0,
                           segment_end(free_equations, n, j0));
        choice_product_tile(data, frequency, columns, 4 * blocks, free_columns, values, weighted,
                            free_equations, choices, result, n, tile);
    }
}

// Global size n x n: the Hessian, sum f w_(choice i, choice j) x_i x_j.
kernel void vrw_compute_hessian_multinomial_logit(global const double *data,
                                                  global const double *frequency,
                                                  global const int *columns, int blocks,
                                                  global const int *free_columns,
                                                  global const double *weights,
                                                  global double *hessian, int n,
                                                  global const int *free_equations, int choices)
{
    (void)n;
    choice_products(data, frequency, columns, blocks, free_columns, weights, 1, free_equations,
                    choices, hessian);
}

// Global size n x n: the outer product of the rows' scores, each row counted
// f times.
kernel void vrw_compute_opg_robust_multinomial_logit(global const double *data,
                                                     global const double *frequency,
                                                     global const int *columns, int blocks,
                                                     global const int *free_columns, int n,
                                                     global const double *scores,
                                                     global double *opg,
                                                     global const int *free_equations,
                                                     int choices)
{
    (void)n;
    choice_products(data, frequency, columns, blocks, free_columns, scores, 0, free_equations,
                    choices, opg);
}

// Global size n x G: cluster_scores[i G + g], the sum of f x the score of
// coefficient i's choice x its value over the rows of cluster g.
kernel void vrw_compute_opg_cluster_pass1_multinomial_logit(
    global const double *data, global const double *frequency, global const int *columns,
    int quads, global const int *free_columns, global const int *clusters,
    global const int *panel_quad_counts, global const int *panel_quad_starts,
    global const double *scores, global double *cluster_scores, global const int *free_equations,
    int choices)
{
    int i = get_global_id(0), g = get_global_id(1);
    global const double *x = free_column(data, columns, free_columns, i, quads);
    int e = free_equations[i], panel = clusters[g];
    int first = panel_quad_starts[panel], end = first + panel_quad_counts[panel];
    double4 s = 0.0, c = 0.0;
    for (int q = first; q < end; q++) {
        double4 f = vload4(q, frequency);
        double4 term = kept4(f, f * quad_column(scores, choices, q, e)) * kept4(f, vload4(q, x));
        TWO_SUM(double4, s, c, term);
    }
    cluster_scores[(size_t)i * get_global_size(1) + g] = lanes_total4(s, c);
}

// Global size E x E x G: each panel's block of the effects' Hessian,
// fe_hessian[g E E + e2 E + e1] = sum f w_(choice e1, choice e2).
kernel void vrw_compute_fixed_effects_diagonal_hessian_multinomial_logit(
    global const double *weights, global const double *frequency, global const int *clusters,
    global const int *panel_quad_counts, global const int *panel_quad_starts,
    global double *fe_hessian, int choices, global const int *equation_choices)
{
    int e1 = get_global_id(0), e2 = get_global_id(1), g = get_global_id(2);
    int equations = (int)get_global_size(0), panel = clusters[g];
    int column = equation_choices[e1] * choices + equation_choices[e2];
    int first = panel_quad_starts[panel], end = first + panel_quad_counts[panel];
    double4 s = 0.0, c = 0.0;
    for (int q = first; q < end; q++) {
        double4 f = vload4(q, frequency);
        double4 term = kept4(f, f * quad_column(weights, choices * choices, q, column));
        TWO_SUM(double4, s, c, term);
    }
    fe_hessian[((size_t)g * equations + e2) * equations + e1] = lanes_total4(s, c);
}

// Global size n x E x G: the cross derivatives C[i, e, g] = sum f
// w_(choice of i, choice e) x_i over panel g's rows.
kernel void vrw_compute_fixed_effects_cross_hessian_multinomial_logit(
    global const double *data, global const double *frequency, global const int *columns,
    int variable_count, int quads, global const int *free_columns, global const int *clusters,
    global const int *panel_quad_counts, global const int *panel_quad_starts,
    global const double *weights, global double *fe_cross_hessian,
    global const int *free_equations, int choices, global const int *equation_choices)
{
    (void)variable_count;
    int i = get_global_id(0), e = get_global_id(1), g = get_global_id(2);
    size_t equations = get_global_size(1), clusters_count = get_global_size(2);
    global const double *x = free_column(data, columns, free_columns, i, quads);
    int column = free_equations[i] * choices + equation_choices[e], panel = clusters[g];
    int first = panel_quad_starts[panel], end = first + panel_quad_counts[panel];
    double4 s = 0.0, c = 0.0;
    for (int q = first; q < end; q++) {
        double4 f = vload4(q, frequency);
        double4 term = kept4(f, f * quad_column(weights, choices * choices, q, column))
                       * kept4(f, vload4(q, x));
        TWO_SUM(double4, s, c, term);
    }
    fe_cross_hessian[((size_t)i * equations + e) * clusters_count + g] = lanes_total4(s, c);
}

// Global size n x G: fe_cross_solved = D_g^-1 C[i, ., g] (fe_hessian holds
// the inverted blocks).
kernel void vrw_compute_fixed_effects_multiply_cross_by_diagonal_multinomial_logit(
    int equations, global const double *fe_cross_hessian, global const double *fe_hessian,
    global double *fe_cross_solved)
{
    int i = get_global_id(0), g = get_global_id(1);
    size_t clusters = get_global_size(1), base = (size_t)i * equations * clusters + g;
    global const double *inverse = fe_hessian + (size_t)g * equations * equations;
    for (int e = 0; e < equations; e++) {
        double sum = 0.0;
        for (int d = 0; d < equations; d++)
            sum += inverse[(size_t)d * equations + e] * fe_cross_hessian[base + d * clusters];
        fe_cross_solved[base + e * clusters] = sum;
    }
}

// Global size G x E: the effects' gradient, fe_jacobian[e G + g] = sum f
// (y - p) of choice e over panel g's rows.
kernel void vrw_compute_fixed_effects_jacobian_prefix_sum_multinomial_logit(
    global const double *scores, global const double *frequency, global const int *clusters,
    global const int *panel_quad_counts, global const int *panel_quad_starts,
    global double *fe_jacobian, int choices, global const int *equation_choices)
{
    int g = get_global_id(0), e = get_global_id(1);
    int panel = clusters[g], column = equation_choices[e];
    int first = panel_quad_starts[panel], end = first + panel_quad_counts[panel];
    double4 s = 0.0, c = 0.0;
    for (int q = first; q < end; q++) {
        double4 f = vload4(q, frequency);
        double4 term = kept4(f, f * quad_column(scores, choices, q, column));
        TWO_SUM(double4, s, c, term);
    }
    fe_jacobian[(size_t)e * get_global_size(0) + g] = lanes_total4(s, c);
}

// Global size n: jacobian[i] -= sum over (e, g) of D^-1 C x the effects'
// gradient.
kernel void vrw_compute_fixed_effects_delta_jacobian_multinomial_logit(
    int effects, global const double *fe_cross_solved, global const double *fe_jacobian,
    global double *jacobian)
{
    int i = get_global_id(0);
    global const double *solved = fe_cross_solved + (size_t)i * effects;
    double s = 0.0, c = 0.0;
    for (int t = 0; t < effects; t++) {
        double term = solved[t] * fe_jacobian[t];
        TWO_SUM(double, s, c, term);
    }
    jacobian[i] -= s + c;
}

// Global size n x n: hessian[i, j] -= sum over (e, g) of C[i] D^-1 C[j].
kernel void vrw_compute_fixed_effects_delta_hessian_multinomial_logit(
    int effects, global const double *fe_cross_hessian, global const double *fe_cross_solved,
    global double *hessian)
{
    int i = get_global_id(0), j = get_global_id(1);
    size_t n = get_global_size(0);
    global const double *cross = fe_cross_hessian + (size_t)i * effects;
    global const double *solved = fe_cross_solved + (size_t)j * effects;
    double sum = 0.0;
    for (int t = 0; t < effects; t++)
        sum += cross[t] * solved[t];
    hessian[(size_t)j * n + i] -= sum;
}

// Global size G: each panel's effects' step D^-1 g - (D^-1 C)' d into
// fe_delta[e G + g], d the coefficients' step.
kernel void vrw_compute_fixed_effects_delta_multinomial_logit(
    int equations, int n, int effects, global const double *fe_jacobian,
    global const double *fe_hessian, global const double *fe_cross_solved,
    global const double *step, global double *fe_delta)
{
    int g = get_global_id(0);
    size_t clusters = get_global_size(0);
    global const double *inverse = fe_hessian + (size_t)g * equations * equations;
    for (int e = 0; e < equations; e++) {
        double delta = 0.0;
        for (int d = 0; d < equations; d++)
            delta += inverse[(size_t)d * equations + e] * fe_jacobian[d * clusters + g];
        for (int i = 0; i < n; i++)
            delta -= fe_cross_solved[(size_t)i * effects + e * clusters + g] * step[i];
        fe_delta[e * clusters + g] = delta;
    }
}

// Global size n x n: the outer product of the rows' scores with the effects'
// part taken out, u_i = (y - p)_(choice i) x_i - sum over e of
// D^-1 C[i, e, g] (y - p)_(choice e) on panel g's rows: the coefficients'
// block of the sandwich of all parameters, as a fit with one indicator a
// panel gives it.
kernel void vrw_compute_fixed_effects_opg_robust_multinomial_logit(
    global const double *data, global const double *frequency, global const int *columns,
    int quads, global const int *free_columns, global const double *scores, global double *opg,
    global const int *free_equations, int choices, global const int *clusters, int cluster_count,
    global const int *panel_quad_counts, global const int *panel_quad_starts,
    global const double *fe_cross_solved, global const int *equation_choices)
{
    int a = get_global_id(0), b = get_global_id(1);
    size_t n = get_global_size(0);
    int equations = choices - 1;
    size_t effects = (size_t)equations * cluster_count;
    global const double *xa = free_column(data, columns, free_columns, a, quads);
    global const double *xb = free_column(data, columns, free_columns, b, quads);
    int ea = free_equations[a], eb = free_equations[b];
    double4 s = 0.0, c = 0.0;
    for (int g = 0; g < cluster_count; g++) {
        int panel = clusters[g];
        int first = panel_quad_starts[panel], end = first + panel_quad_counts[panel];
        for (int q = first; q < end; q++) {
            double4 f = vload4(q, frequency);
            double4 ua = quad_column(scores, choices, q, ea) * vload4(q, xa);
            double4 ub = quad_column(scores, choices, q, eb) * vload4(q, xb);
            for (int e = 0; e < equations; e++) {
                double4 se = quad_column(scores, choices, q, equation_choices[e]);
                ua -= fe_cross_solved[a * effects + (size_t)e * cluster_count + g] * se;
                ub -= fe_cross_solved[b * effects + (size_t)e * cluster_count + g] * se;
            }
            double4 term = kept4(f, f * ua) * kept4(f, ub);
            TWO_SUM(double4, s, c, term);
        }
    }
    opg[(size_t)b * n + a] = lanes_total4(s, c);
}
