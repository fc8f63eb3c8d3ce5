#pragma once

#include "platform/dispatch/ds_parallel_for.h"

#include <cstdint>

// A model's host data matrix as the fitting library lays it out: column-major
// doubles, column c starting at data + c x stride, rows in the model's
// panel-lookup order. Rows `rows` to `stride` - 1 of every column are the
// library's zero padding; writers fill rows 0 to rows - 1 only and the
// matrix's maker clears the padding. The record borrows the array.
struct ds_data_matrix_s
{
    double *data = nullptr;
    int64_t rows = 0;
    int64_t stride = 0;

    double *column(int64_t c) const { return data + c * stride; }
};

// The location and length of a span of matrix columns.
struct ds_column_range_s
{
    int64_t location = 0;
    int64_t length = 0;

    bool operator==(const ds_column_range_s &other) const
    {
        return location == other.location && length == other.length;
    }
};

// Runs body(first, end) over the matrix rows in the shared 24 chunks; the
// row loops of a matrix build write disjoint rows, so they need no locks.
template <class Body>
void ds_for_matrix_rows(int64_t rows, Body &&body)
{
    ds_parallel_for(24, uint64_t(rows > 0 ? rows : 0), [&](uint64_t, int64_t first, int64_t end) {
        if (first < end)
            body(first, end);
    });
}
