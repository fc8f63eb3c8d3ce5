#pragma once
// Cut values of k quantile groups: cut[0] = -infinity, cut[k] = +infinity,
// cut[1 .. k-1] the interior cuts, cut[i] being the value at the weighted
// position floor(i W / k) of the ascending order, W the total weight, the
// position found in whole numbers (exact for every i, k and W).

#include <cstdint>

// Cut values of unsorted, optionally weighted values (weights NULL: every
// weight 1). values and weights are reordered; nothing is sorted: only the
// needed positions are selected, and whole numbers spanning at most 8,191
// are counted instead. With average_median set, W even and k even, the
// middle cut is the mean of the values at positions p - 1 and p. cut holds
// k + 1 doubles; with count 0 or total weight 0 the interior cuts are NaN.
// Nothing is written when k <= 0.
void ds_quantiles(double *values, int32_t *weights, int64_t count, double *cut, int k,
                  bool average_median);

// As ds_quantiles without averaging, for values already ascending (which
// are not reordered).
void ds_sorted_quantiles(const double *values, const int32_t *weights, int64_t count,
                         double *cut, int k);
