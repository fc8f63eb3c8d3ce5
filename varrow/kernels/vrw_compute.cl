// Aggregates over the rows of the device data: sums, means and sums of
// squares under frequency weights (and analytic weights), per-panel sizes and
// means, which columns hold data and how much weight each value carries.
//
// Layouts: columns of blocks x 16 rows; panels padded to quads of 4 rows.
// A row takes part only when its weight is positive, whatever its value (a
// NaN beside a zero weight must not leak into a sum). Scalar aggregates run as
// one work item over all rows, per-panel ones as one work item a panel: each
// sums 16 (or 4) rows at a time in vector lanes and carries the rounding error
// of every addition (TwoSum), so a million rows sum to the last bit, and
// centred sums are taken about the mean in a second pass instead of
// subtracting squared means.
#pragma OPENCL EXTENSION cl_khr_fp64 : enable

inline double16 value16(double16 x, int transform)
{
    return transform == VALUE_LOG ? log(x) : x;
}

// The analytic weight of every row of block b: one a row, or with panels one
// a panel, the panel of each quad read from quad_panels.
inline double16 analytic16(global const double *analytic, global const int *quad_panels, int b)
{
    if (!quad_panels)
        return vload16(b, analytic);
    int q = 4 * b;
    return (double16)((double4)(analytic[quad_panels[q]]), (double4)(analytic[quad_panels[q + 1]]),
                      (double4)(analytic[quad_panels[q + 2]]),
                      (double4)(analytic[quad_panels[q + 3]]));
}

// Sums over the rows of positive weight w (the frequency weight, times the
// analytic weight a when one is given) of w, w (g(x) - centre) and
// w (g(x) - centre)^2, g being the identity, the logarithm or x / a. x may be
// null (weights alone).
typedef struct {
    double weight;
    double first;
    double second;
} Sums;

inline Sums row_sums(global const double *x, global const double *frequency,
                     global const double *analytic, global const int *quad_panels, int blocks,
                     int transform, double centre)
{
    double16 sw = 0.0, cw = 0.0, s1 = 0.0, c1 = 0.0, s2 = 0.0, c2 = 0.0;
    for (int b = 0; b < blocks; b++) {
        double16 a = analytic ? analytic16(analytic, quad_panels, b) : (double16)1.0;
        double16 w = vload16(b, frequency) * a;
        long16 keep = isgreater(w, (double16)0.0);
        w = select((double16)0.0, w, keep);
        TWO_SUM(double16, sw, cw, w);
        if (x) {
            double16 v = vload16(b, x);
            v = transform == VALUE_PER_ANALYTIC ? v / a : value16(v, transform);
            double16 d = select((double16)0.0, v - centre, keep);
            double16 wd = w * d;
            TWO_SUM(double16, s1, c1, wd);
            double16 wdd = wd * d;
            TWO_SUM(double16, s2, c2, wdd);
        }
    }
    Sums sums = {lanes_total16(sw, cw), lanes_total16(s1, c1), lanes_total16(s2, c2)};
    return sums;
}

// Weighted mean, or with centred set the weighted sum of squares about it:
// the second pass adds the first-order correction, which is zero in exact
// arithmetic and takes out the rounding of the mean.
inline double mean_or_spread(global const double *x, global const double *frequency,
                             global const double *analytic, global const int *quad_panels,
                             int blocks, int transform, int centred)
{
    Sums raw = row_sums(x, frequency, analytic, quad_panels, blocks, transform, 0.0);
    double mean = raw.first / raw.weight;
    if (!centred)
        return mean;
    Sums about = row_sums(x, frequency, analytic, quad_panels, blocks, transform, mean);
    return about.second - about.first * about.first / about.weight;
}

kernel void vrw_compute_fweight_sum(global const double *weights, int column, int blocks,
                                    global double *result)
{
    result[0] = row_sums(0, weights, 0, 0, blocks, VALUE_PLAIN, 0.0).weight;
}

kernel void vrw_compute_integer_sum(global const int *data, global const double *weights,
                                    int column, int blocks, global double *result)
{
    global const int *values = data + (size_t)column * (size_t)blocks * 16;
    double16 s = 0.0, c = 0.0;
    for (int b = 0; b < blocks; b++) {
        double16 w = vload16(b, weights);
        double16 wv = select((double16)0.0, w * convert_double16(vload16(b, values)),
                             isgreater(w, (double16)0.0));
        TWO_SUM(double16, s, c, wv);
    }
    result[0] = lanes_total16(s, c);
}

kernel void vrw_compute_mean(global const double *data, global const double *weights, int column,
                             int blocks, global double *result)
{
    result[0] = mean_or_spread(column_of(data, column, blocks), weights, 0, 0, blocks,
                               VALUE_PLAIN, 0);
}

kernel void vrw_compute_log_mean(global const double *data, global const double *weights,
                                 int column, int blocks, global double *result)
{
    result[0] = mean_or_spread(column_of(data, column, blocks), weights, 0, 0, blocks, VALUE_LOG,
                               0);
}

kernel void vrw_compute_sum_of_squares(global const double *data, global const double *weights,
                                       int column, int blocks, global double *result)
{
    result[0] = row_sums(column_of(data, column, blocks), weights, 0, 0, blocks, VALUE_PLAIN, 0.0)
                    .second;
}

kernel void vrw_compute_log_sum_of_squares(global const double *data,
                                           global const double *weights, int column, int blocks,
                                           global double *result)
{
    result[0] = row_sums(column_of(data, column, blocks), weights, 0, 0, blocks, VALUE_LOG, 0.0)
                    .second;
}

kernel void vrw_compute_centered_sum_of_squares(global const double *data,
                                                global const double *weights, int column,
                                                int blocks, global double *result)
{
    result[0] = mean_or_spread(column_of(data, column, blocks), weights, 0, 0, blocks,
                               VALUE_PLAIN, 1);
}

kernel void vrw_compute_log_centered_sum_of_squares(global const double *data,
                                                    global const double *weights, int column,
                                                    int blocks, global double *result)
{
    result[0] = mean_or_spread(column_of(data, column, blocks), weights, 0, 0, blocks, VALUE_LOG,
                               1);
}

kernel void vrw_compute_weighted_mean(global const double *data, global const double *weights,
                                      int column, int blocks, global double *result,
                                      global const double *analytic)
{
    result[0] = mean_or_spread(column_of(data, column, blocks), weights, analytic, 0, blocks,
                               VALUE_PLAIN, 0);
}

kernel void vrw_compute_panel_weighted_mean(global const double *data,
                                            global const double *weights, int column, int blocks,
                                            global double *result, global const double *analytic,
                                            global const int *panel_quad_counts,
                                            global const int *panel_quad_starts, int panel_count,
                                            global const int *quad_panels)
{
    result[0] = mean_or_spread(column_of(data, column, blocks), weights, analytic, quad_panels,
                               blocks, VALUE_PLAIN, 0);
}

kernel void vrw_compute_weighted_log_mean(global const double *data,
                                          global const double *weights, int column, int blocks,
                                          global double *result, global const double *analytic)
{
    result[0] = mean_or_spread(column_of(data, column, blocks), weights, analytic, 0, blocks,
                               VALUE_LOG, 0);
}

kernel void vrw_compute_panel_weighted_log_mean(global const double *data,
                                                global const double *weights, int column,
                                                int blocks, global double *result,
                                                global const double *analytic,
                                                global const int *panel_quad_counts,
                                                global const int *panel_quad_starts,
                                                int panel_count, global const int *quad_panels)
{
    result[0] = mean_or_spread(column_of(data, column, blocks), weights, analytic, quad_panels,
                               blocks, VALUE_LOG, 0);
}

kernel void vrw_compute_weighted_sum_of_squares(global const double *data,
                                                global const double *weights, int column,
                                                int blocks, global double *result,
                                                global const double *analytic)
{
    result[0] = row_sums(column_of(data, column, blocks), weights, analytic, 0, blocks,
                         VALUE_PLAIN, 0.0)
                    .second;
}

kernel void vrw_compute_panel_weighted_sum_of_squares(
    global const double *data, global const double *weights, int column, int blocks,
    global double *result, global const double *analytic, global const int *panel_quad_counts,
    global const int *panel_quad_starts, int panel_count, global const int *quad_panels)
{
    result[0] = row_sums(column_of(data, column, blocks), weights, analytic, quad_panels, blocks,
                         VALUE_PLAIN, 0.0)
                    .second;
}

// Weight and weighted sum of the rows of one panel (quads first .. first +
// count - 1); x may be null.
inline double2 panel_sums(global const double *x, global const double *weights, int first,
                          int count)
{
    double4 sw = 0.0, cw = 0.0, sx = 0.0, cx = 0.0;
    for (int q = first; q < first + count; q++) {
        double4 w = vload4(q, weights);
        long4 keep = isgreater(w, (double4)0.0);
        double4 kept_w = select((double4)0.0, w, keep);
        TWO_SUM(double4, sw, cw, kept_w);
        if (x) {
            double4 wx = select((double4)0.0, w * vload4(q, x), keep);
            TWO_SUM(double4, sx, cx, wx);
        }
    }
    return (double2)(lanes_total4(sw, cw), lanes_total4(sx, cx));
}

kernel void vrw_compute_panel_means(global const double *data, global const double *weights,
                                    int column, int quads, global const int *panel_quad_counts,
                                    global const int *panel_quad_starts, global double *results)
{
    int p = get_global_id(0);
    global const double *x = data + (size_t)column * (size_t)quads * 4;
    double2 sums = panel_sums(x, weights, panel_quad_starts[p], panel_quad_counts[p]);
    results[p] = sums.y / sums.x;
}

kernel void vrw_compute_panel_real_sizes(global const double *data, global const double *weights,
                                         int column, int quads,
                                         global const int *panel_quad_counts,
                                         global const int *panel_quad_starts,
                                         global double *results)
{
    int p = get_global_id(0);
    results[p] = panel_sums(0, weights, panel_quad_starts[p], panel_quad_counts[p]).x;
}

// A column holds data when a row of positive weight has a value other than 0
// or NaN: a column of zeros (or of missing values) carries no information
// about its coefficient.
kernel void vrw_column_has_data(global const double *data, global const double *weights,
                                int blocks, global const int *columns, global int *flags)
{
    int i = get_global_id(0);
    global const double *x = column_of(data, columns[i], blocks);
    int found = 0;
    for (int b = 0; b < blocks && !found; b++)
        found = any(isgreater(vload16(b, weights), (double16)0.0)
                    & islessgreater(vload16(b, x), (double16)0.0));
    flags[i] = found;
}

kernel void vrw_column_value_count(global const double *source, global const double *weights,
                                   int column, int blocks, global const double *values,
                                   global double *results)
{
    int i = get_global_id(0);
    global const double *x = column_of(source, column, blocks);
    double16 value = values[i];
    double16 s = 0.0, c = 0.0;
    for (int b = 0; b < blocks; b++) {
        double16 w = vload16(b, weights);
        double16 counted = select((double16)0.0, w,
                                  isgreater(w, (double16)0.0) & isequal(vload16(b, x), value));
        TWO_SUM(double16, s, c, counted);
    }
    results[i] = lanes_total16(s, c);
}

// The analytic-weight sums of squares of a column of the data (or of a work
// buffer, column 0), plain or on a panel matrix whose analytic weights are
// one a panel.
#define WEIGHTED_SUM_OF_SQUARES(name, transform, centred)                                      \
    kernel void vrw_compute_##name(global const double *data, global const double *weights,   \
                                   int column, int blocks, global double *result,              \
                                   global const double *analytic)                              \
    {                                                                                          \
        global const double *x = column_of(data, column, blocks);                              \
        result[0] = centred ? mean_or_spread(x, weights, analytic, 0, blocks, transform, 1)    \
                            : row_sums(x, weights, analytic, 0, blocks, transform, 0.0).second; \
    }                                                                                          \
    kernel void vrw_compute_panel_##name(                                                      \
        global const double *data, global const double *weights, int column, int blocks,       \
        global double *result, global const double *analytic,                                  \
        global const int *panel_quad_counts, global const int *panel_quad_starts,              \
        int panel_count, global const int *quad_panels)                                        \
    {                                                                                          \
        global const double *x = column_of(data, column, blocks);                              \
        result[0] = centred                                                                    \
                        ? mean_or_spread(x, weights, analytic, quad_panels, blocks, transform, 1) \
                        : row_sums(x, weights, analytic, quad_panels, blocks, transform, 0.0)   \
                              .second;                                                         \
    }

WEIGHTED_SUM_OF_SQUARES(weighted_centered_sum_of_squares, VALUE_PLAIN, 1)
WEIGHTED_SUM_OF_SQUARES(weighted_log_centered_sum_of_squares, VALUE_LOG, 1)
WEIGHTED_SUM_OF_SQUARES(weighted_log_sum_of_squares, VALUE_LOG, 0)
// The residual sum of squares from scores a x residual: sum of f a (s / a)^2.
WEIGHTED_SUM_OF_SQUARES(weighted_score_sum_of_squares, VALUE_PER_ANALYTIC, 0)
