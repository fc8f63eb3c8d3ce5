#pragma once
// Histogram bins of numeric rows, as the dictionaries the charts read: one
// per kept bin with "lower", "upper", "count" and, for one column or the
// differences of two, "index" (the bin's position from 0).
//
// Bin u of b over [min, max] has the edges min + u w and max - (b - 1 - u) w,
// w = (max - min) / b, so the last upper edge is max exactly. Rows are
// counted by bin trunc((value - min) / resolution + 1e-10), values at or past
// the last bin in the last (ds_histogram). Only rows that the include mask
// takes and that are not missing count, each with its frequency weight. A bin
// is kept when keep_empty is set or its count is above 0.

#include "model/util/ds_numeric_rows.h"

#include <QVariantList>

#include <optional>

// The bins of one column; none when min or max is NaN.
std::optional<QVariantList> ds_numeric_bins(const ds_numeric_rows_s *rows, const uint8_t *mask,
                                            int64_t mask_length, int64_t bins, double resolution,
                                            double min, double max, bool keep_empty);

// The bins of the row differences a - b, weighted by a's weights; none when
// min or max is NaN or the two columns' counts differ.
std::optional<QVariantList> ds_numeric_difference_bins(const ds_numeric_rows_s *a,
                                                       const ds_numeric_rows_s *b,
                                                       const uint8_t *mask, int64_t mask_length,
                                                       int64_t bins, double resolution,
                                                       double min, double max, bool keep_empty);

// One list of bins (without "index") per group 0 .. groups - 1, row r
// belonging to group group_index[r]; rows of other groups are skipped.
QVariantList ds_numeric_multiple_bins(const ds_numeric_rows_s *rows, const uint8_t *mask,
                                      int64_t mask_length, const int32_t *group_index,
                                      int64_t groups, int64_t bins, double resolution,
                                      double min, double max, bool keep_empty);
