#pragma once
// Descriptive statistics of numeric rows under a row mask and frequency
// weights: extremes, mean, variances, quartiles and the median absolute
// deviation, for one column, for the row differences of two columns and for
// groups of rows. Plain functions over the arrays a column hands out; the
// column supplies them and keeps whatever it caches.
//
// A row is used when the row mask takes it (no mask takes every row, a mask
// of length 0 takes none, a row past the mask's bytes is not taken) and it
// is not missing: its bit is clear in the missing mask and its value is not
// NaN. A taken row that is missing adds its weight to `missing`. The weight
// of a row is weights[row] when there are weights and row < num_weights,
// else 1 (ds_row_weight). A row of weight 0 counts nowhere and never sets an
// extreme.

#include "model/util/ds_numeric_rows.h"

#include <cstdint>

struct ds_stats_s {
    double min = 0;           // smallest value of the rows used
    double max = 0;           // largest value of the rows used
    double avg = 0;           // weighted mean
    double var_biased = 0;    // weighted variance, denominator n (n = count)
    double var_unbiased = 0;  // denominator n - 1
    double skew = 0;          // reserved: NaN in every computed record
    double kurt = 0;          // reserved: NaN in every computed record
    double q1 = 0;            // value at weighted rank floor(W / 4)
    double med = 0;           // median; the two middle values averaged when W is even
    double q3 = 0;            // value at weighted rank floor(3 W / 4)
    double mad = 0;           // median of the absolute deviations from med
    int64_t count = 0;        // total weight of the rows used
    int64_t missing = 0;      // total weight of the taken rows that are missing
};

// The record a column's cache holds while nothing is computed: every field
// 0, count -1.
inline ds_stats_s ds_stats_not_computed()
{
    ds_stats_s stats;
    stats.count = -1;
    return stats;
}

// Option bits: which groups of fields are computed; count and missing
// always are, every field not asked for is NaN.
inline constexpr uint64_t ds_stats_extremes = 0x01;   // min, max
inline constexpr uint64_t ds_stats_moments = 0x02;    // avg, var_biased, var_unbiased
inline constexpr uint64_t ds_stats_quartiles = 0xF0;  // any of these bits: q1, med, q3
inline constexpr uint64_t ds_stats_mad = 0x20;        // also mad (brings the quartiles)

// A record whose every double is NaN and whose counts are 0.
ds_stats_s ds_stats_empty();

// The statistics of the rows used, computed in 24 parallel chunks whose
// partial moments are merged in chunk order (bit-identical on any number of
// cores). Quartiles and mad are found by selection over a gathered copy of
// the values used, which is freed before returning; if it cannot be
// allocated the quartiles and mad are NaN.
ds_stats_s ds_calculate_stats(const ds_numeric_rows_s *rows, const uint8_t *mask,
                              int64_t mask_length, uint64_t options);

// The statistics of the row differences a - b, weighted by a's weights. A
// taken row is missing when it is missing in either column (or its
// difference is NaN). Columns of different counts give ds_stats_empty().
ds_stats_s ds_calculate_difference_stats(const ds_numeric_rows_s *a, const ds_numeric_rows_s *b,
                                         const uint8_t *mask, int64_t mask_length,
                                         uint64_t options);

// Fills results[0 .. group_count) with the statistics of each group of rows,
// serially: row r belongs to group group_index[r] (group_index has
// rows->count entries); a row whose group lies outside [0, group_count) is
// skipped, and no record outside the results is ever written. Each group's
// missing weight is computed like its count. Without group_index every
// record is left as a group without rows (count 0, doubles NaN). The caller
// owns results.
void ds_calculate_multiple_stats(ds_stats_s *results, int64_t group_count,
                                 const int32_t *group_index, const ds_numeric_rows_s *rows,
                                 const uint8_t *mask, int64_t mask_length, uint64_t options);

// The quartiles (the median averaged when the total weight is even) and,
// with want_mad, the median absolute deviation of count values with their
// weights (NULL: every weight 1), written to out as q1, med, q3, mad (mad
// NaN without want_mad; all NaN for no weight). values and weights are
// reordered, and with want_mad values end up as the absolute deviations.
void ds_quartiles_and_mad(double *values, int32_t *weights, int64_t count, bool want_mad,
                          double out[4]);

// The distinct cut values of k quantile groups of ascending values with
// their weights (NULL: every weight 1): cuts 1 to k - 1 at the weighted
// positions floor(i W / k), each written to out (k - 1 doubles) when it
// differs from the one written before. Returns how many were written: 0
// when count is 0, the total weight is 0 or k < 2.
int64_t ds_distinct_quantile_cuts(const double *sorted, const int32_t *weights, int64_t count,
                                  int k, double *out);
