#pragma once
// The Kruskal-Wallis and Friedman statistics of numeric samples, computed
// from plain arrays; the column operations gather their rows into these.

#include <cstdint>

// H of count entries, entry i being values[i] in group groups[i] (0 <=
// groups[i] < group_count) with frequency weight weights[i] (weights NULL:
// every weight 1). Ties share their weighted mid-rank; H = (N - 1) S / SS
// with S the weighted between-group sum of squares of the ranks and SS
// their total. df (when not NULL) gets the number of groups with weight
// minus 1. NaN with df untouched when there is no entry; NaN (0 / 0) when
// every value is tied. NaN values must be left out by the caller. The
// inputs are only read; the work arrays are freed before it returns.
double ds_kruskal_wallis(const double *values, const int32_t *groups, const int32_t *weights, int64_t count,
                         int64_t group_count, int64_t *df);

// As ds_kruskal_wallis for values already ascending, which are ranked
// where they stand instead of being sorted again.
double ds_kruskal_wallis_sorted(const double *sorted, const int32_t *groups, const int32_t *weights, int64_t count,
                                int64_t group_count, int64_t *df);

// The Friedman statistic in its F form, (n - 1)(B - n k (k + 1)^2 / 4) /
// (A - B), of k columns of rows values each, over the rows that the mask
// admits (mask NULL: every row; length 0: none) with frequency weights
// (NULL: 1; rows past num_weights: 1). Each row ranks its k values from 1,
// ties sharing the mid-rank; A is the weighted sum of squared ranks and B
// the sum of squared column rank sums over n, the total weight. df1 = k - 1
// and df2 = (k - 1)(n - 1) when not NULL. Fewer than 2 columns: NaN, nothing
// written. The caller leaves out rows missing in any column through the mask.
double ds_friedman(const double *const *columns, int64_t k, int64_t rows, const uint8_t *mask,
                   int64_t mask_length, const int32_t *weights, int64_t num_weights, int64_t *df1, int64_t *df2);

// The k-sample Kolmogorov-Smirnov statistic (ds_kolmogorov_smirnov_k_sample)
// of a column's non-missing values split by a covariate's groups: sorted[0
// .. count) ascending with rows[i] the row of sorted[i]; groups[0 ..
// num_group_rows) the group of each row. A row takes part when the mask
// admits it (mask NULL: every row; length 0: none), missing (NULL or length
// 0: nothing missing) does not mark it and its group lies in [0,
// group_count). Each (value, group) run of tied rows becomes one entry with
// the summed weight of its rows (weights NULL: 1; rows past num_weights: 1).
// Groups are packed four bits to a row, so group_count must lie in 2 ...
// 16; outside that, or when no row takes part: NaN with df unwritten. df :=
// group_count - 1 otherwise.
double ds_kolmogorov_smirnov_groups(const double *sorted, const int32_t *rows, int64_t count,
                                    const int32_t *groups, int64_t num_group_rows, int64_t group_count,
                                    const uint8_t *mask, int64_t mask_length, const uint8_t *missing,
                                    int64_t missing_length, const int32_t *weights, int64_t num_weights,
                                    int64_t *df);
