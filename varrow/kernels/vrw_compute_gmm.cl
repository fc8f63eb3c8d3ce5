// Kernels of the instrumental-variables (GMM) fit: the cross products of
// the regressors and instruments, the instruments' second moments and the
// per-panel sums of their scores, and the least-squares prefix the fit runs
// (a copy of the linear family's, so the fit needs only its own family and
// the common one).
//
// Layouts: columns of blocks x 16 rows. Values of rows of frequency weight 0
// (padding, rows left out, which may hold NaN) are replaced by 0 before they
// are multiplied; sums carry their rounding errors.
#pragma OPENCL EXTENSION cl_khr_fp64 : enable

// The sum over the rows of f x (v when given) x a x b, and of f alone.
inline double2 weighted_products(global const double *frequency, global const double *v,
                                 global const double *a, global const double *b, int blocks)
{
    double16 s = 0.0, c = 0.0, sw = 0.0, cw = 0.0;
    for (int r = 0; r < blocks; r++) {
        double16 f = vload16(r, frequency);
        double16 w = kept16(f, v ? f * vload16(r, v) : f);
        double16 term = w * kept16(f, vload16(r, a)) * kept16(f, vload16(r, b));
        TWO_SUM(double16, s, c, term);
        double16 kept = kept16(f, f);
        TWO_SUM(double16, sw, cw, kept);
    }
    return (double2)(lanes_total16(s, c), lanes_total16(sw, cw));
}

// Global size k x L: cross_products[i + k l] = sum f w x_i z_l, the
// derivative of the instrument moments by the coefficients.
kernel void vrw_compute_hessian_gmm_prefix(global const double *data,
                                           global const double *frequency,
                                           global const int *columns, int blocks,
                                           global const int *coefficient_indices,
                                           global const int *instrument_indices,
                                           global const double *weights,
                                           global double *cross_products,
                                           global const int *instrument_columns)
{
    int i = get_global_id(0), l = get_global_id(1);
    size_t k = get_global_size(0);
    global const double *x = column_of(data, columns[coefficient_indices[i]], blocks);
    global const double *z = column_of(data, instrument_columns[instrument_indices[l]], blocks);
    cross_products[(size_t)l * k + i] = weighted_products(frequency, weights, x, z, blocks).x;
}

// Global size L x L: the instruments' second moments, sum f z_l z_m / sum f.
kernel void vrw_compute_covariance(global const double *data, global const double *frequency,
                                   global const int *instrument_columns, int blocks,
                                   global const int *instrument_indices, global double *output)
{
    int l = get_global_id(0), m = get_global_id(1);
    size_t count = get_global_size(0);
    global const double *zl = column_of(data, instrument_columns[instrument_indices[l]], blocks);
    global const double *zm = column_of(data, instrument_columns[instrument_indices[m]], blocks);
    double2 sums = weighted_products(frequency, 0, zl, zm, blocks);
    output[(size_t)m * count + l] = sums.x / sums.y;
}

// Global size L: output[l G + p] = sum f s z_l over the rows of panel p, for
// every panel of the matrix (empty ones give 0), in the layout of the
// cluster variance's second pass.
kernel void vrw_compute_opg_cluster_pass1_gmm(global const double *data,
                                              global const double *frequency,
                                              global const int *instrument_columns, int rows,
                                              global const int *instrument_indices,
                                              global const int *panel_sizes,
                                              global const int *panel_quad_starts,
                                              int panel_count, global const double *scores,
                                              global double *output)
{
    int l = get_global_id(0);
    global const double *z = data + (size_t)instrument_columns[instrument_indices[l]] * rows;
    for (int p = 0; p < panel_count; p++) {
        int first = 4 * panel_quad_starts[p], end = first + panel_sizes[p];
        double s = 0.0, c = 0.0;
        for (int r = first; r < end; r++) {
            double f = frequency[r];
            double term = f > 0.0 ? f * scores[r] * z[r] : 0.0;
            TWO_SUM(double, s, c, term);
        }
        output[(size_t)l * panel_count + p] = isfinite(s) ? s + c : s;
    }
}

// The residual in scores and -1 in weights, one work item a block of 16
// rows (global size blocks x 16, the other items idle).
kernel void vrw_prefix_linear(global const double *data, int dependent,
                              global const double *fitted, global double *scores,
                              global double *weights)
{
    size_t item = get_global_id(0);
    if (item % 16 != 0)
        return;
    int b = (int)(item / 16);
    double16 y = vload16(b, data + (size_t)dependent * get_global_size(0));
    vstore16(y - vload16(b, fitted), b, scores);
    vstore16((double16)-1.0, b, weights);
}

// The fixed effect of panel p (one work item a panel) of a matrix loaded
// demeaned: the panel's mean of the dependent column less the panel's means
// of the regressors times their estimates. Means are stored column after
// column, panel_count of them each.
kernel void vrw_compute_fixed_effects(global const double *panel_means, int column,
                                      global const int *columns, int column_count,
                                      global const double *estimates, global double *results)
{
    int p = get_global_id(0);
    size_t panels = get_global_size(0);
    double effect = panel_means[(size_t)column * panels + p];
    for (int j = 0; j < column_count; j++)
        effect -= panel_means[(size_t)columns[j] * panels + p] * estimates[j];
    results[p] = effect;
}
