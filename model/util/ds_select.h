#pragma once
// Order statistics without sorting: plain and weighted quickselect and a
// selector of several ranks at once. Values must not hold NaN.
//
// Weights are signed 32-bit frequency weights (whole numbers >= 0). The
// weighted position k (0 <= k < total weight) belongs to the value whose span
// [before, before + weight) in ascending order contains k.

#include <cstdint>

// The k-th smallest value (k from 0). values is reordered so that every
// element before k is <= the result and every element after is >= it.
// Returns NaN when count <= 0; k is clamped to [0, count - 1].
double ds_quickselect(int32_t k, double *values, int32_t count);

// As ds_quickselect for a 64-bit count.
double ds_quickselect_range(int64_t k, double *values, int64_t count);

// The value at weighted position k. values and weights are reordered
// together; the result stands at *out_index, every element before it is <=
// it, every element after is >= it, and *out_weight_before is the sum of
// the weights before *out_index, so [before, before + weights[index])
// contains k. total_weight is the sum of the weights. Returns NaN (index -1,
// weight before 0) when count <= 0 or total_weight <= 0; k is clamped to
// [0, total_weight - 1]. Either out argument may be NULL.
double ds_weighted_quickselect(int64_t k, double *values, int64_t count, int32_t *weights,
                               int64_t total_weight, int64_t *out_index,
                               int64_t *out_weight_before);

// Writes to out_values[i] the value at position positions[i] - base_position
// (weighted when weights is not NULL, total_weight being their sum; else
// total_weight is count), for num_positions ascending positions. values and
// weights are reordered. With concurrent set, the two halves left after the
// first selection are searched at the same time.
void ds_select_ranks(double *values, int64_t count, int32_t *weights, int64_t total_weight,
                     double *out_values, const int64_t *positions, int64_t num_positions,
                     int64_t base_position, bool concurrent);
