#pragma once
// Row bit masks: row r is bit r % 8 (least significant first) of byte r / 8.

#include "platform/dispatch/ds_parallel_for.h"

#include <algorithm>
#include <cstdint>

// Bytes of a mask over rows rows.
inline int64_t ds_mask_bytes(int64_t rows)
{
    return rows > 0 ? (rows + 7) / 8 : 0;
}

inline bool ds_mask_test(const uint8_t *mask, int64_t row)
{
    return (mask[row >> 3] >> (row & 7)) & 1;
}

inline void ds_mask_set(uint8_t *mask, int64_t row)
{
    mask[row >> 3] |= uint8_t(1u << (row & 7));
}

// Sets the bit of row offset + i in mask for every i in [0, count) that
// picks(i) accepts, leaving the other bits as they are. The rows run in
// ds_row_chunks parallel chunks whose bounds are multiples of
// ds_mask_alignment counted from row 0 of the mask (not from offset), so no
// two chunks share a byte whatever the offset; inline below that many rows.
// picks must be safe to call from several threads at once.
template <class Picks>
void ds_mark_rows(uint8_t *mask, int64_t offset, int64_t count, const Picks &picks)
{
    if (count <= 0)
        return;
    const int64_t lead = offset % int64_t(ds_mask_alignment);
    const int64_t base = offset - lead;
    ds_parallel_for_aligned(ds_row_chunks, uint64_t(lead + count), ds_mask_alignment,
                            [&](uint64_t, int64_t first, int64_t end) {
                                int64_t r = base + std::max(first, lead);
                                const int64_t stop = base + end;
                                // Whole bytes are assembled in a register and
                                // written once; the ragged ends bit by bit.
                                for (; r < stop && (r & 7); ++r)
                                    if (picks(r - offset))
                                        ds_mask_set(mask, r);
                                for (; r + 8 <= stop; r += 8) {
                                    unsigned bits = 0;
                                    for (int k = 0; k < 8; ++k)
                                        bits |= unsigned(bool(picks(r + k - offset))) << k;
                                    mask[r >> 3] |= uint8_t(bits);
                                }
                                for (; r < stop; ++r)
                                    if (picks(r - offset))
                                        ds_mask_set(mask, r);
                            });
}

// Clears the bit of row offset + i for every i in [0, count) that keeps(i)
// rejects, leaving every other bit as it is; never sets a bit. The chunks
// are those of ds_mark_rows (bounds at multiples of ds_mask_alignment
// counted from row 0 of the mask), so keeps must be safe to call from
// several threads.
template <class Keeps>
void ds_unmark_rows(uint8_t *mask, int64_t offset, int64_t count, const Keeps &keeps)
{
    if (count <= 0)
        return;
    const int64_t lead = offset % int64_t(ds_mask_alignment);
    const int64_t base = offset - lead;
    ds_parallel_for_aligned(ds_row_chunks, uint64_t(lead + count), ds_mask_alignment,
                            [&](uint64_t, int64_t first, int64_t end) {
                                int64_t r = base + std::max(first, lead);
                                const int64_t stop = base + end;
                                for (; r < stop && (r & 7); ++r)
                                    if (!keeps(r - offset))
                                        mask[r >> 3] &= uint8_t(~(1u << (r & 7)));
                                for (; r + 8 <= stop; r += 8) {
                                    unsigned bits = 0;
                                    for (int k = 0; k < 8; ++k)
                                        bits |= unsigned(bool(keeps(r + k - offset))) << k;
                                    mask[r >> 3] &= uint8_t(bits);
                                }
                                for (; r < stop; ++r)
                                    if (!keeps(r - offset))
                                        mask[r >> 3] &= uint8_t(~(1u << (r & 7)));
                            });
}

// Clears the bit of every row r in [0, count) that keeps(r) rejects, leaving
// the others and every row from count on as they are; never sets a bit.
template <class Keeps>
void ds_keep_rows(uint8_t *mask, int64_t count, const Keeps &keeps)
{
    ds_unmark_rows(mask, 0, count, keeps);
}

// Clears the bits of rows [first, end) (serially: whole bytes at once).
inline void ds_clear_rows(uint8_t *mask, int64_t first, int64_t end)
{
    for (; first < end && (first & 7); ++first)
        mask[first >> 3] &= uint8_t(~(1u << (first & 7)));
    for (; first + 8 <= end; first += 8)
        mask[first >> 3] = 0;
    for (; first < end; ++first)
        mask[first >> 3] &= uint8_t(~(1u << (first & 7)));
}
