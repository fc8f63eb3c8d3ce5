#pragma once
// How a row counts in a statistic: whether a row mask admits it, and its
// frequency weight.

#include <cstdint>

// A row mask of (rows + 7) / 8 bytes holds row i at bit i % 8 of byte i / 8.
// No mask admits every row; a mask of length 0 admits none; a row past the
// mask's bytes is not admitted.
inline bool ds_row_admitted(const uint8_t *mask, int64_t mask_length, int64_t row)
{
    if (!mask)
        return true;
    const int64_t byte = row >> 3;
    return byte < mask_length && (mask[byte] >> (row & 7)) & 1;
}

// weights[row] when there are weights and row < their number, else 1.
inline int32_t ds_row_weight(int64_t row, const int32_t *weights, int64_t num_weights)
{
    return weights && row < num_weights ? weights[row] : 1;
}
