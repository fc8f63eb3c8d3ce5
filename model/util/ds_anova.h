#pragma once
// F statistics of the analyses of variance, computed from plain arrays; the
// column operations gather their rows into these. Weights are frequency
// weights (NULL: every weight 1): a weight of 3 counts as three identical rows.

#include <cstdint>

// One-way F of count entries, entry i being values[i] in group groups[i]
// (0 <= groups[i] < group_count). df1 = non-empty groups - 1, df2 = N -
// non-empty groups (written when not NULL). One non-empty group gives NaN
// (0 / 0); no spread within the groups an infinite F.
double ds_anova_one_way(const double *values, const int32_t *groups, const int32_t *weights, int64_t count,
                        int64_t group_count, int64_t *df1, int64_t *df2);

// F of the interaction of two factors (a and b groups): the additive
// model's residual sum of squares minus the cell-means model's, over df1 =
// (used a groups - 1)(used b groups - 1), against the cell-means residual
// over df2 = N - non-empty cells. On balanced cells the difference is the
// classical interaction sum of squares. One row per cell gives NaN.
double ds_anova_two_way(const double *values, const int32_t *groups_a, const int32_t *groups_b,
                        const int32_t *weights, int64_t count, int64_t a, int64_t b, int64_t *df1, int64_t *df2);

// Repeated-measures F of k columns of rows values, rows being subjects,
// over the rows the mask admits (mask NULL: all; length 0: none); rows
// missing in a column must be left out by the mask. df1 = k - 1, df2 =
// (n - 1)(k - 1). Fewer than 2 columns or no row: NaN, nothing written.
double ds_anova_repeated_measures(const double *const *columns, int64_t k, int64_t rows, const uint8_t *mask,
                                  int64_t mask_length, const int32_t *weights, int64_t num_weights,
                                  int64_t *df1, int64_t *df2);
