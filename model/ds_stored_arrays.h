#pragma once

// What the stored column classes share in filling their import buffers and
// in keeping the mask of their NaN rows.

#include "model/DSColumnBuffer.h"

#include <cstdint>

// Appends x to an import buffer: a first block of 4,096 values, doubled
// when full. False on allocation failure ("Error in malloc()" or "Error in
// realloc()" logged), the value not added and the buffer as it was.
bool ds_append_to_buffer(DSColumnBuffer<double> &buffer, double x);

// Sets the bit of row in a NaN mask over rows rows, allocating the mask
// zeroed at its first bit (so a column without missing rows has none).
// False when that allocation fails ("Error in malloc()" logged).
bool ds_mark_nan_row(DSColumnBuffer<uint8_t> &mask, qint64 rows, qint64 row);

// ORs the bytes of a NaN mask from byte offset / 8 up to length into the
// shared missing mask.
void ds_or_nan_mask(uint8_t *shared, const DSColumnBuffer<uint8_t> &mask, qint64 offset, qint64 length);
