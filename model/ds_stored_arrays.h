#pragma once

// What the stored column classes share in filling their import buffers and
// in keeping the mask of their NaN rows.

#include "model/DSColumnBuffer.h"

#include <QByteArray>

#include <cstdint>
#include <optional>

// Appends x to an import buffer: a first block of 4,096 values, doubled
// when full. False on allocation failure ("Error in malloc()" or "Error in
// realloc()" logged), the value not added and the buffer as it was.
bool ds_append_to_buffer(DSColumnBuffer<double> &buffer, double x);

// A stored array's zlib stream of the bytes: "" for none (how an empty
// array is stored), none when deflating fails.
std::optional<QByteArray> ds_deflate_stored_array(const QByteArray &bytes);

// Sets the bit of row in a NaN mask over rows rows, allocating the mask
// zeroed at its first bit (so a column without missing rows has none).
// False when that allocation fails ("Error in malloc()" logged).
bool ds_mark_nan_row(DSColumnBuffer<uint8_t> &mask, qint64 rows, qint64 row);

// ORs the bytes of a NaN mask from byte offset / 8 up to length into the
// shared missing mask.
void ds_or_nan_mask(uint8_t *shared, const DSColumnBuffer<uint8_t> &mask, qint64 offset, qint64 length);

// Sets the bits of rows [from, to) in a NaN mask over rows rows, a byte at
// a time (a damaged row count of two billion costs one memset, not two
// billion calls); the mask is allocated zeroed when the range is not empty
// and there is none yet. False when that allocation fails ("Error in
// malloc()" logged).
bool ds_mark_nan_rows(DSColumnBuffer<uint8_t> &mask, qint64 rows, qint64 from, qint64 to);

// Reading a stored array back. A stored array is checked whole before any
// of it is used: a column whose array fails is damaged and reads as
// missing, never as other values. Each answers true with the inflated
// bytes in out (empty for empty stored data), or false, out empty, when
// the array is damaged: its stream does not inflate to its checksum, bytes
// follow the stream, it holds more than maxRows entries (inflating stops
// there, so a small stream claiming gigabytes costs no more than the
// rows), or it is not a whole number of 8-byte entries. Pure functions of
// their arguments: they may run on any thread.
bool ds_inflate_stored_doubles(const QByteArray &stored, qint64 maxRows, QByteArray *out);
// A text column's two arrays: the offsets as above, and the texts, which
// must end in a NUL when there are any; every offset must be -1 (blank) or
// lie inside the texts.
bool ds_inflate_stored_texts(const QByteArray &storedTexts, const QByteArray &storedOffsets, qint64 maxRows,
                             QByteArray *texts, QByteArray *offsets);
