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
