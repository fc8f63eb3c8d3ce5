#pragma once
// The arrays a numeric column hands to its row statistics: its values, its
// missing mask and its table's frequency weights, borrowed for one call.

#include "model/util/ds_row_weight.h"

#include <cmath>
#include <cstdint>

struct ds_numeric_rows_s {
    const double *values;     // count values, NaN for a missing row
    int64_t count;            // the rows that have a value
    const uint8_t *missing;   // missing mask (set bit = missing) or NULL
    int64_t missing_length;   // its bytes; 0 means that no row is missing
    const int32_t *weights;   // frequency weights or NULL
    int64_t num_weights;      // their number; rows past them weigh 1
};

// Whether the missing mask marks a row; a row past the mask's bytes is not
// marked.
inline bool ds_row_marked_missing(const ds_numeric_rows_s &rows, int64_t row)
{
    const int64_t byte = row >> 3;
    return rows.missing && byte < rows.missing_length && (rows.missing[byte] >> (row & 7)) & 1;
}

// Whether a row (below rows.count) is missing: marked in the missing mask,
// or holding NaN.
inline bool ds_row_missing(const ds_numeric_rows_s &rows, int64_t row)
{
    return std::isnan(rows.values[row]) || ds_row_marked_missing(rows, row);
}

// The frequency weight of a row (ds_row_weight).
inline int32_t ds_row_frequency(const ds_numeric_rows_s &rows, int64_t row)
{
    return ds_row_weight(row, rows.weights, rows.num_weights);
}
