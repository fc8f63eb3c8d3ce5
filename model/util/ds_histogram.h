#pragma once
// Counting rows into bins of a fixed width, and giving each row the index of
// the bin its value falls in between cut values.
//
// Rows are admitted by a row mask (see ds_row_admitted: none means every
// row, length 0 means none) and weighted by frequency weights (see
// ds_row_weight; weights, when given, have count entries). Counts are zeroed
// before counting. Callers pass masks that admit only non-missing rows and a
// minimum no larger than any admitted value; a row whose bin would lie below
// the first bin (a missing value, a value below the minimum) is not counted.

#include <cstdint>

// counts[bins] of the rows by bin trunc((value - minimum) / width + 1e-10),
// values at or past the last bin counted in the last bin (maximum is not
// used). Counted in 24 parallel chunks whose counts are added in chunk order.
void ds_histogram_parallel(const double *values, const int32_t *weights, int64_t count,
                           const uint8_t *mask, int64_t mask_length, int64_t *counts,
                           double minimum, double maximum, double width, int64_t bins);

// As ds_histogram_parallel, serially, of the differences a[i] - b[i].
void ds_histogram_differences(const double *a, const double *b, const int32_t *weights,
                              int64_t count, const uint8_t *mask, int64_t mask_length,
                              double minimum, double maximum, double width, int64_t *counts,
                              int64_t bins);

// counts[groups x bins], group g's bins at g x bins: each admitted row of a
// group 0 <= g < groups adds its weight to bin trunc((value - minimum) /
// width) of its group, or to the group's last bin when value >= maximum (or
// when rounding puts a value just below maximum past it). Serial.
void ds_histogram_by_index(const double *values, const int32_t *weights, int64_t count,
                           const uint8_t *mask, int64_t mask_length, int64_t *counts,
                           double minimum, double maximum, double width, int64_t bins,
                           const int32_t *group_index, int64_t groups);

// out_index[row] = the number of cut values <= the row's value (0 to
// num_cuts), so value v is in bin i when cuts[i - 1] <= v < cuts[i];
// num_cuts + 1 for a row the mask does not admit. cuts ascend. 24 chunks.
void ds_index_by_int_cutoffs(const int32_t *values, int32_t *out_index, int64_t count,
                             const uint8_t *mask, int64_t mask_length, const int32_t *cuts,
                             int64_t num_cuts);

// As ds_index_by_int_cutoffs for doubles, NaN rows also getting num_cuts + 1.
// A value is first raised by width x 1e-10 (nothing when width is NaN), so
// that a value printed as a cut value falls into the bin that starts there.
void ds_index_by_double_cutoffs(const double *values, int32_t *out_index, int64_t count,
                                const uint8_t *mask, int64_t mask_length, const double *cuts,
                                int64_t num_cuts, double width);
