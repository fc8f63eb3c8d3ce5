// Row kernels of the multinomial-logit fit: one work item a block of 16
// padded rows (global size blocks), the Q choices of the fit in the vector
// lanes' loops. Choice c's linear predictor is the row's regressors times
// estimates c V .. c V + V - 1 (the base choice's held at 0), plus with
// fixed effects the effect of the row's panel, fixed_effects[c P + panel].
//
// The per-row results are quad-interleaved: element (row r, column c) of a
// buffer of n columns is at quad(r) 4n + 4c + r mod 4, so kernels that walk
// the panels' quads read a row's values together. scores has Q columns,
// y_c - p_c; weights Q x Q, the second derivatives -p_c (delta_cd - p_d) at
// column c Q + d. Chances come from exp(eta - max eta), and 1 - p_c from the
// other choices' chances, so neither overflows nor loses its digits.
#pragma OPENCL EXTENSION cl_khr_fp64 : enable

// Column c of block b of a quad-interleaved buffer of n columns.
inline double16 load_quads(global const double *buffer, int n, int b, int c)
{
    global const double *at = buffer + (size_t)16 * n * b + 4 * c;
    return (double16)(vload4(0, at), vload4(0, at + 4 * n), vload4(0, at + 8 * n),
                      vload4(0, at + 12 * n));
}

inline void store_quads(global double *buffer, int n, int b, int c, double16 v)
{
    global double *at = buffer + (size_t)16 * n * b + 4 * c;
    vstore4(v.s0123, 0, at);
    vstore4(v.s4567, 0, at + 4 * n);
    vstore4(v.s89ab, 0, at + 8 * n);
    vstore4(v.scdef, 0, at + 12 * n);
}

// The fixed effect of choice c for the panel of each of the block's quads.
inline double16 panel_effects(global const double *fixed_effects, global const int *quad_panels,
                              int panel_count, int c, int b)
{
    global const double *effects = fixed_effects + (size_t)c * panel_count;
    int q = 4 * b;
    return (double16)((double4)(effects[quad_panels[q]]), (double4)(effects[quad_panels[q + 1]]),
                      (double4)(effects[quad_panels[q + 2]]),
                      (double4)(effects[quad_panels[q + 3]]));
}

// The chance of each of the Q choices of block b's rows into columns 0 ..
// Q - 1 of out (quad-interleaved with n >= Q columns, or column-major with
// n = 0), by way of the linear predictors.
inline void choice_chances(global const double *data, global const int *columns,
                           int variable_count, global const double *estimates,
                           global const double *fixed_effects, global const int *quad_panels,
                           int panel_count, int choices, int b, global double *out, int n)
{
    size_t rows = get_global_size(0) * 16;
    double16 top = -INFINITY;
    for (int c = 0; c < choices; c++) {
        global const double *beta = estimates + (size_t)c * variable_count;
        double16 eta = 0.0;
        for (int j = 0; j < variable_count; j++)
            eta = fma(vload16(b, data + (size_t)columns[j] * rows), (double16)beta[j], eta);
        if (fixed_effects)
            eta += panel_effects(fixed_effects, quad_panels, panel_count, c, b);
        top = fmax(top, eta);
        if (n > 0)
            store_quads(out, n, b, c, eta);
        else
            vstore16(eta, b, out + (size_t)c * rows);
    }
    double16 sum = 0.0;
    for (int c = 0; c < choices; c++) {
        double16 e = exp((n > 0 ? load_quads(out, n, b, c) : vload16(b, out + (size_t)c * rows))
                         - top);
        sum += e;
        if (n > 0)
            store_quads(out, n, b, c, e);
        else
            vstore16(e, b, out + (size_t)c * rows);
    }
    for (int c = 0; c < choices; c++) {
        if (n > 0)
            store_quads(out, n, b, c, load_quads(out, n, b, c) / sum);
        else
            vstore16(vload16(b, out + (size_t)c * rows) / sum, b, out + (size_t)c * rows);
    }
}

// 1 - p_c as the sum of the other choices' chances.
inline double16 others(global const double *chances, int choices, int b, int c)
{
    double16 rest = 0.0;
    for (int d = 0; d < choices; d++)
        if (d != c)
            rest += load_quads(chances, choices, b, d);
    return rest;
}

inline void prefix(global const double *data, int dependent, global const int *columns,
                   int variable_count, global const double *estimates, global double *scores,
                   global double *weights, global const double *choice_values, int choices,
                   global const double *fixed_effects, global const int *quad_panels,
                   int panel_count)
{
    int b = get_global_id(0);
    size_t rows = get_global_size(0) * 16;
    choice_chances(data, columns, variable_count, estimates, fixed_effects, quad_panels,
                   panel_count, choices, b, scores, choices);
    int pairs = choices * choices;
    for (int c = 0; c < choices; c++) {
        double16 pc = load_quads(scores, choices, b, c);
        for (int d = 0; d < choices; d++) {
            double16 w = d == c ? -pc * others(scores, choices, b, c)
                                : pc * load_quads(scores, choices, b, d);
            store_quads(weights, pairs, b, c * choices + d, w);
        }
    }
    // 1 - p_y, the other choices' chances, before the chances are
    // overwritten.
    double16 y = vload16(b, data + (size_t)dependent * rows), rest = 0.0;
    for (int c = 0; c < choices; c++)
        rest += select(load_quads(scores, choices, b, c), (double16)0.0,
                       isequal(y, (double16)choice_values[c]));
    for (int c = 0; c < choices; c++) {
        double16 pc = load_quads(scores, choices, b, c);
        store_quads(scores, choices, b, c,
                    select(-pc, rest, isequal(y, (double16)choice_values[c])));
    }
}

// Global size blocks: the chances, then scores y_c - p_c and weights.
kernel void vrw_prefix_multinomial_logit(global const double *data, int dependent,
                                         global const int *columns, int variable_count,
                                         global const double *estimates, global double *scores,
                                         global double *weights,
                                         global const double *choice_values, int choices)
{
    prefix(data, dependent, columns, variable_count, estimates, scores, weights, choice_values,
           choices, 0, 0, 0);
}

kernel void vrw_prefix_multinomial_logit_fe(global const double *data, int dependent,
                                            global const int *columns, int variable_count,
                                            global const double *estimates,
                                            global double *scores, global double *weights,
                                            global const double *choice_values, int choices,
                                            global const double *fixed_effects,
                                            global const int *quad_panels, int panel_count)
{
    prefix(data, dependent, columns, variable_count, estimates, scores, weights, choice_values,
           choices, fixed_effects, quad_panels, panel_count);
}

// Global size blocks. row_values: the log chance of the row's choice, 1 less
// the others' chances; row_choice_values column c (column-major) the same on
// the rows of choice c, else 0. A row of no choice (left out) gets 0.
kernel void vrw_log_likelihood_multinomial_logit(global const double *data, int dependent,
                                                 global const double *fitted,
                                                 global const double *scores,
                                                 global double *row_values,
                                                 global double *row_choice_values,
                                                 global const double *choice_values, int choices)
{
    (void)fitted;
    int b = get_global_id(0);
    size_t rows = get_global_size(0) * 16;
    double16 y = vload16(b, data + (size_t)dependent * rows);
    // The chosen column's score is 1 - p_y; the others' are -p_d.
    double16 rest = 0.0, chosen = 0.0;
    for (int c = 0; c < choices; c++) {
        double16 s = load_quads(scores, choices, b, c);
        long16 is = isequal(y, (double16)choice_values[c]);
        rest += select(-s, (double16)0.0, is);
        chosen = select(chosen, (double16)1.0, is);
    }
    double16 value = select((double16)0.0, log1p(-rest), isgreater(chosen, (double16)0.0));
    vstore16(value, b, row_values);
    for (int c = 0; c < choices; c++)
        vstore16(select((double16)0.0, value, isequal(y, (double16)choice_values[c])), b,
                 row_choice_values + (size_t)c * rows);
}

// Global size Q: choice_sums[c] = the sum of f x row_choice_values over the
// rows of positive weight.
kernel void vrw_sum_log_likelihood_per_choice(global const double *row_choice_values,
                                              global const double *frequency, int blocks,
                                              global double *choice_sums)
{
    int c = get_global_id(0);
    global const double *v = row_choice_values + (size_t)c * blocks * 16;
    double16 s = 0.0, e = 0.0;
    for (int b = 0; b < blocks; b++) {
        double16 f = vload16(b, frequency);
        double16 term = select((double16)0.0, f * vload16(b, v), isgreater(f, (double16)0.0));
        TWO_SUM(double16, s, e, term);
    }
    double lanes[16], errors[16];
    vstore16(s, 0, lanes);
    vstore16(e, 0, errors);
    double total = 0.0, error = 0.0;
    for (int i = 0; i < 16; i++) {
        TWO_SUM(double, total, error, lanes[i]);
        error += errors[i];
    }
    choice_sums[c] = total + error;
}

// Global size blocks: the chance of each choice, column c (column-major) of
// predicted.
kernel void vrw_predict_multinomial_logit(global const double *data, global const int *columns,
                                          int variable_count, global const double *estimates,
                                          global double *predicted, int choices)
{
    choice_chances(data, columns, variable_count, estimates, 0, 0, 0, choices, get_global_id(0),
                   predicted, 0);
}

kernel void vrw_predict_multinomial_logit_fe(global const double *data,
                                             global const int *columns, int variable_count,
                                             global const double *estimates,
                                             global double *predicted, int choices,
                                             global const double *fixed_effects,
                                             global const int *quad_panels, int panel_count)
{
    choice_chances(data, columns, variable_count, estimates, fixed_effects, quad_panels,
                   panel_count, choices, get_global_id(0), predicted, 0);
}
