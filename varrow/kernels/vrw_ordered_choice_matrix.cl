// The free cut points of the ordered fits in the gradient, Hessian and outer
// products, beside the leading block of the regressors that the common
// kernels fill (leading dimension k). Free cut point j (0-based) is cut
// c_j+2 and coefficient free_regressors + j: a row of category u enters it
// through its upper-end terms when u = j + 1 and its lower-end terms when
// u = j + 2, and enters both j and j + 1 (their cross terms) when u = j + 2.
//
// The category map holds the number M of whole values it covers, then the
// category of each; a row of a value it does not cover counts as no
// category. Layouts: columns of blocks x 16 rows, or of quads of 4 rows when
// walking panels; cluster and fixed-effect arrays hold coefficient i of
// cluster g at i x G + g. Values of rows of frequency weight 0 are replaced
// by 0 before they are multiplied; sums carry their rounding errors.
#pragma OPENCL EXTENSION cl_khr_fp64 : enable

// The category of a value, -1 for one the map does not cover.
inline double category_of(double v, global const int *category_map)
{
    return v >= 0.0 && v < category_map[0] ? (double)category_map[1 + (int)v] : -1.0;
}

inline double16 categories16(global const double *y, global const int *category_map, int b)
{
    double values[16];
    vstore16(vload16(b, y), 0, values);
    for (int i = 0; i < 16; i++)
        values[i] = category_of(values[i], category_map);
    return vload16(0, values);
}

inline double4 categories4(global const double *y, global const int *category_map, int q)
{
    double values[4];
    vstore4(vload4(q, y), 0, values);
    for (int i = 0; i < 4; i++)
        values[i] = category_of(values[i], category_map);
    return vload4(0, values);
}

// What a row gives cut c_cut: upper where its upper end is the cut, lower
// where its lower end is (a missing buffer gives 0).
#define CUT_VALUES(N)                                                                         \
    inline double##N cut_values##N(double##N category, int cut, global const double *upper,   \
                                   global const double *lower, int at)                         \
    {                                                                                          \
        double##N v = 0.0;                                                                     \
        if (upper)                                                                             \
            v = select(v, vload##N(at, upper), isequal(category, (double##N)(cut - 1)));      \
        if (lower)                                                                             \
            v = select(v, vload##N(at, lower), isequal(category, (double##N)cut));            \
        return v;                                                                              \
    }

CUT_VALUES(16)
CUT_VALUES(4)

// The rows' factors of a sum: what they give the cut, times t and x where
// given, squared when square is set.
typedef struct {
    global const double *y;
    global const int *category_map;
    global const double *upper, *lower, *t, *x;
    int square;
} Factors;

// The sum over the rows of f x the factors' product for cut c_cut.
inline double cut_sum(global const double *frequency, int blocks, int cut, Factors a)
{
    double16 s = 0.0, c = 0.0;
    for (int b = 0; b < blocks; b++) {
        double16 f = vload16(b, frequency);
        long16 kept = isgreater(f, (double16)0.0);
        double16 v = cut_values16(categories16(a.y, a.category_map, b), cut, a.upper, a.lower, b);
        double16 term = f * v;
        if (a.square)
            term *= v;
        if (a.t)
            term *= vload16(b, a.t);
        if (a.x)
            term *= vload16(b, a.x);
        term = select((double16)0.0, term, kept);
        TWO_SUM(double16, s, c, term);
    }
    return lanes_total16(s, c);
}

// The same over the rows of cluster g.
inline double cut_cluster_sum(global const double *frequency, int cut, Factors a,
                              global const int *clusters, global const int *panel_quad_counts,
                              global const int *panel_quad_starts, int g)
{
    int panel = clusters[g];
    int first = panel_quad_starts[panel], end = first + panel_quad_counts[panel];
    double4 s = 0.0, c = 0.0;
    for (int q = first; q < end; q++) {
        double4 f = vload4(q, frequency);
        double4 v = cut_values4(categories4(a.y, a.category_map, q), cut, a.upper, a.lower, q);
        double4 term = select((double4)0.0, f * v, isgreater(f, (double4)0.0));
        TWO_SUM(double4, s, c, term);
    }
    return lanes_total4(s, c);
}

inline Factors factors(global const double *data, int dependent, int blocks,
                       global const int *category_map, global const double *upper,
                       global const double *lower)
{
    Factors a = {column_of(data, dependent, blocks), category_map, upper, lower, 0, 0, 0};
    return a;
}

// Writes a symmetric pair of entries of a matrix of leading dimension k.
inline void both_halves(global double *matrix, int k, int i, int j, double value)
{
    matrix[(size_t)j * k + i] = value;
    matrix[(size_t)i * k + j] = value;
}

// Global size m: the free cut points' gradient entries.
kernel void vrw_compute_nuisance_jacobian_ordered_choice(
    global const double *data, global const double *frequency, int dependent,
    global const int *category_map, int blocks, int free_regressors, global double *jacobian,
    global const double *nuisance_scores_upper, global const double *nuisance_scores_lower)
{
    int j = get_global_id(0);
    Factors a = factors(data, dependent, blocks, category_map, nuisance_scores_upper,
                        nuisance_scores_lower);
    jacobian[free_regressors + j] = cut_sum(frequency, blocks, j + 2, a);
}

// Global size (n - m) x m: the Hessian's entries of a regressor and a cut.
kernel void vrw_compute_cross_hessian_ordered_choice(
    global const double *data, global const double *frequency, int dependent,
    global const int *category_map, global const int *columns, int blocks,
    global const int *free_columns, int k, int free_regressors, global double *hessian,
    global const double *cross_weights_upper, global const double *cross_weights_lower)
{
    int i = get_global_id(0), j = get_global_id(1);
    Factors a = factors(data, dependent, blocks, category_map, cross_weights_upper,
                        cross_weights_lower);
    a.x = column_of(data, columns[free_columns[i]], blocks);
    both_halves(hessian, k, i, free_regressors + j, cut_sum(frequency, blocks, j + 2, a));
}

// Global size m: the Hessian's diagonal entries of the free cut points.
kernel void vrw_compute_diagonal_nuisance_hessian_ordered_choice(
    global const double *data, global const double *frequency, int dependent,
    global const int *category_map, int blocks, int k, int free_regressors,
    global double *hessian, global const double *nuisance_weights_upper,
    global const double *nuisance_weights_lower, global const double *nuisance_weights_cross)
{
    int j = get_global_id(0), at = free_regressors + j;
    Factors a = factors(data, dependent, blocks, category_map, nuisance_weights_upper,
                        nuisance_weights_lower);
    hessian[(size_t)at * k + at] = cut_sum(frequency, blocks, j + 2, a);
}

// Global size m - 1: the Hessian's entries of neighbouring free cut points
// j and j + 1, from the rows between them.
kernel void vrw_compute_offdiagonal_nuisance_hessian_ordered_choice(
    global const double *data, global const double *frequency, int dependent,
    global const int *category_map, int blocks, int k, int free_regressors,
    global double *hessian, global const double *nuisance_weights_upper,
    global const double *nuisance_weights_lower, global const double *nuisance_weights_cross)
{
    int j = get_global_id(0), at = free_regressors + j;
    Factors a = factors(data, dependent, blocks, category_map, 0, nuisance_weights_cross);
    both_halves(hessian, k, at, at + 1, cut_sum(frequency, blocks, j + 2, a));
}

// Global size (n - m) x m: the outer products of a regressor's and a cut's
// scores.
kernel void vrw_compute_cross_opg_robust_ordered_choice(
    global const double *data, global const double *frequency, int dependent,
    global const int *category_map, global const int *columns, int blocks,
    global const int *free_columns, global const double *scores,
    global const double *nuisance_scores_upper, global const double *nuisance_scores_lower,
    global double *opg, int k, int free_regressors)
{
    int i = get_global_id(0), j = get_global_id(1);
    Factors a = factors(data, dependent, blocks, category_map, nuisance_scores_upper,
                        nuisance_scores_lower);
    a.t = scores;
    a.x = column_of(data, columns[free_columns[i]], blocks);
    both_halves(opg, k, i, free_regressors + j, cut_sum(frequency, blocks, j + 2, a));
}

// Global size m: each free cut's score squared.
kernel void vrw_compute_diagonal_nuisance_opg_robust_ordered_choice(
    global const double *data, global const double *frequency, int dependent,
    global const int *category_map, global const int *columns, int blocks,
    global const int *free_columns, global const double *scores,
    global const double *nuisance_scores_upper, global const double *nuisance_scores_lower,
    global double *opg, int k, int free_regressors)
{
    int j = get_global_id(0), at = free_regressors + j;
    Factors a = factors(data, dependent, blocks, category_map, nuisance_scores_upper,
                        nuisance_scores_lower);
    a.square = 1;
    opg[(size_t)at * k + at] = cut_sum(frequency, blocks, j + 2, a);
}

// Global size m - 1: neighbouring cuts' scores, from the rows between them.
kernel void vrw_compute_offdiagonal_nuisance_opg_robust_ordered_choice(
    global const double *data, global const double *frequency, int dependent,
    global const int *category_map, global const int *columns, int blocks,
    global const int *free_columns, global const double *scores,
    global const double *nuisance_scores_upper, global const double *nuisance_scores_lower,
    global double *opg, int k, int free_regressors)
{
    int j = get_global_id(0), at = free_regressors + j;
    Factors a = factors(data, dependent, blocks, category_map, 0, nuisance_scores_lower);
    a.t = nuisance_scores_upper;
    both_halves(opg, k, at, at + 1, cut_sum(frequency, blocks, j + 2, a));
}

// Global size m x G: each free cut's scores summed over the rows of cluster
// g, after the regressors' sums of the common first pass.
kernel void vrw_compute_nuisance_opg_cluster_pass1_ordered_choice(
    global const double *data, global const double *frequency, global const int *columns,
    int quads, global const int *free_columns, global const int *clusters,
    global const int *panel_quad_counts, global const int *panel_quad_starts,
    global const double *scores, global double *cluster_scores,
    global const double *nuisance_scores_upper, global const double *nuisance_scores_lower,
    int free_regressors, int dependent, global const int *category_map)
{
    int j = get_global_id(0), g = get_global_id(1);
    Factors a = factors(data, dependent, quads / 4, category_map, nuisance_scores_upper,
                        nuisance_scores_lower);
    cluster_scores[(size_t)(free_regressors + j) * get_global_size(1) + g] =
        cut_cluster_sum(frequency, j + 2, a, clusters, panel_quad_counts, panel_quad_starts, g);
}

// Global size m x G: the free cuts' entries of the per-panel cross Hessian
// and of its panel means.
kernel void vrw_compute_fixed_effects_nuisance_cross_hessian_ordered_choice(
    global const double *data, global const double *frequency, int dependent,
    global const int *category_map, int quads, global const int *clusters,
    global const int *panel_quad_counts, global const int *panel_quad_starts,
    global const double *fe_hessian, global const double *cross_weights_upper,
    global const double *cross_weights_lower, int free_regressors,
    global double *fe_cross_solved, global double *fe_cross_hessian)
{
    int j = get_global_id(0), g = get_global_id(1);
    size_t at = (size_t)(free_regressors + j) * get_global_size(1) + g;
    Factors a = factors(data, dependent, quads / 4, category_map, cross_weights_upper,
                        cross_weights_lower);
    double cross = cut_cluster_sum(frequency, j + 2, a, clusters, panel_quad_counts,
                                   panel_quad_starts, g);
    fe_cross_solved[at] = cross;
    fe_cross_hessian[at] = cross / fe_hessian[g];
}

// Global size J: choice_sums[u] = the sum of f x row_values over the rows of
// category u.
kernel void vrw_sum_log_likelihood_ordered_choice(global const double *data,
                                                  global const double *frequency, int blocks,
                                                  int dependent, global const int *category_map,
                                                  global const double *row_values,
                                                  global double *choice_sums)
{
    int u = get_global_id(0);
    // The rows of category u are those whose lower end is cut u.
    Factors a = factors(data, dependent, blocks, category_map, 0, row_values);
    choice_sums[u] = cut_sum(frequency, blocks, u, a);
}

// The robust outer products with one effect a panel: each row's scores with
// the panel effects' part taken out, a regressor's score x (x - xbar) and a
// free cut's score less score x xbar_cut (xbar the per-panel means of
// fe_cross_hessian), as the coefficients' rows of the full sandwich see
// them; every row of a panel now enters every cut. The regressors' block is
// the common fixed-effects kernel's.
typedef struct {
    global const double *y;
    global const int *category_map;
    global const double *scores, *upper, *lower;
    int free_regressors;
    global const int *clusters;
    int cluster_count;
    global const int *quad_counts, *quad_starts;
    global const double *means;
} Projection;

// The projected score of free cut j in the quad's rows of cluster g.
inline double4 projected_cut(Projection p, double4 category, double4 score, int j, int g, int q)
{
    double mean = p.means[(size_t)(p.free_regressors + j) * p.cluster_count + g];
    return cut_values4(category, j + 2, p.upper, p.lower, q) - score * mean;
}

// The sum of f x free cut a's projected score x (regressor x's projected
// score, or else free cut b's).
inline double projected_sum(global const double *frequency, Projection p, global const double *x,
                            int i, int a, int b)
{
    double4 s = 0.0, c = 0.0;
    for (int g = 0; g < p.cluster_count; g++) {
        double mean = x ? p.means[(size_t)i * p.cluster_count + g] : 0.0;
        int panel = p.clusters[g];
        int first = p.quad_starts[panel], end = first + p.quad_counts[panel];
        for (int q = first; q < end; q++) {
            double4 f = vload4(q, frequency);
            double4 score = vload4(q, p.scores);
            double4 category = categories4(p.y, p.category_map, q);
            double4 other = x ? score * (vload4(q, x) - mean)
                              : projected_cut(p, category, score, b, g, q);
            double4 term = projected_cut(p, category, score, a, g, q) * other;
            term = select((double4)0.0, f * term, isgreater(f, (double4)0.0));
            TWO_SUM(double4, s, c, term);
        }
    }
    return lanes_total4(s, c);
}

#define FE_ROBUST_ARGS                                                                       \
    global const double *data, global const double *frequency, int dependent,                \
        global const int *category_map, global const int *columns, int quads,                \
        global const int *free_columns, global const double *scores,                         \
        global const double *nuisance_scores_upper, global const double *nuisance_scores_lower, \
        global double *opg, int k, int free_regressors, global const int *clusters,          \
        int cluster_count, global const int *panel_quad_counts,                              \
        global const int *panel_quad_starts, global const double *fe_cross_hessian

#define PROJECTION                                                                            \
    {column_of(data, dependent, quads / 4), category_map, scores, nuisance_scores_upper,      \
     nuisance_scores_lower, free_regressors, clusters, cluster_count, panel_quad_counts,      \
     panel_quad_starts, fe_cross_hessian}

// Global size (n - m) x m.
kernel void vrw_compute_fixed_effects_cross_opg_robust_ordered_choice(FE_ROBUST_ARGS)
{
    int i = get_global_id(0), j = get_global_id(1);
    Projection p = PROJECTION;
    global const double *x = column_of(data, columns[free_columns[i]], quads / 4);
    both_halves(opg, k, i, free_regressors + j, projected_sum(frequency, p, x, i, j, 0));
}

// Global size m.
kernel void vrw_compute_fixed_effects_diagonal_nuisance_opg_robust_ordered_choice(FE_ROBUST_ARGS)
{
    int j = get_global_id(0), at = free_regressors + j;
    Projection p = PROJECTION;
    opg[(size_t)at * k + at] = projected_sum(frequency, p, 0, 0, j, j);
}

// Global size m - 1.
kernel void
vrw_compute_fixed_effects_offdiagonal_nuisance_opg_robust_ordered_choice(FE_ROBUST_ARGS)
{
    int j = get_global_id(0), at = free_regressors + j;
    Projection p = PROJECTION;
    both_halves(opg, k, at, at + 1, projected_sum(frequency, p, 0, 0, j, j + 1));
}
