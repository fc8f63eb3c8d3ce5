#pragma once
// The cut-offs that the numeric and text partitions produce, computed from
// plain inputs so that every partition kind shares one tested routine.

#include <cstdint>
#include <string_view>
#include <vector>

// The fixed-width cut values strictly between the grid's first and last
// line over [lowest, highest]: the resolution ladder of the scheme (0
// numbers, 1 days, 2 weeks) chooses a step giving at least 3 bins, refined
// level - 1 times, and the grid lines strictly between lowest and highest
// are the cut values. The step is written to resolution (when not NULL).
// Equal or NaN ends give no cut values and a NaN resolution.
std::vector<double> ds_fixed_width_cutoffs(double lowest, double highest, int level, unsigned scheme,
                                           double *resolution);

// The step that ds_fixed_width_cutoffs would cut at, without the cut values;
// NaN when the ladder finds no width (a NaN or infinite end).
double ds_fixed_width_step(double lowest, double highest, int level, unsigned scheme);

// The rows per group of values cut at cut values (ascending): counts[0 ..
// num_cuts] are zeroed, then every row the mask admits (mask NULL: every
// row; length 0: none) adds 1 to the missing count when its bit is set in
// missing (NULL or length 0: none missing), else to the counter of its
// group (rows past count are not read). Values are raised by resolution x
// 1e-10 before the search (NaN: not raised). *any_missing (when given)
// tells whether any row is missing, admitted or not; *number_missing (when
// given) receives the missing count.
void ds_count_by_double_cutoffs(const double *values, int64_t count, const double *cuts, int64_t num_cuts,
                                double resolution, const uint8_t *mask, int64_t mask_length,
                                const uint8_t *missing, int64_t missing_length, int64_t *counts,
                                int64_t *number_missing, bool *any_missing);

// As ds_count_by_double_cutoffs for positions into the sorted distinct
// texts cut at cut positions, without the any-missing flag.
void ds_count_by_int_cutoffs(const int32_t *positions, int64_t count, const int32_t *cuts, int64_t num_cuts,
                             const uint8_t *mask, int64_t mask_length, const uint8_t *missing,
                             int64_t missing_length, int64_t *counts, int64_t *number_missing);

// For each custom text in its order (duplicates kept): the first position of
// the sorted distinct texts whose text is not before it in byte order, or
// the last position when every text is before it. The texts must be sorted
// in byte order, as the text index keeps them; none gives no positions.
std::vector<int64_t> ds_custom_text_cutoffs(const std::vector<std::string_view> &sorted,
                                            const std::vector<std::string_view> &custom);

// The positions i (1 ... count - 1) of the sorted distinct texts where the
// first prefix_length bytes of text i differ from those of text i - 1
// (comparison stops at the end of the shorter text). Length 0 or less gives
// no positions: one group.
std::vector<int64_t> ds_common_prefix_cutoffs(const std::vector<std::string_view> &sorted,
                                              int64_t prefix_length);
