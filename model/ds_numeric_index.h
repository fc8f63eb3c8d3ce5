#pragma once
// The discrete structures of a numeric column, as plain functions over the
// arrays the column hands out: the sorted index of its distinct values, each
// row's position in it, weighted counts per entry, the display order, hues,
// and sorted values with their rows or weights. The column owns the buffers
// and decides what to cache.
//
// The index holds the distinct values in ascending order with NaN last, once
// (every NaN, whatever its payload, is the one NaN entry). It is never
// empty: no values, or only NaN, give {NaN}. Values that are all whole and
// span at most 8190 are one entry per whole number (0 and -0 are one entry,
// whichever comes first in row order); otherwise values are told apart by
// their bits, so 0 and -0 are two entries, -0 first, and each row of a zero
// takes the entry of its own sign.

#include "model/util/ds_numeric_rows.h"
#include "platform/dispatch/ds_parallel_for.h"

#include <cstdint>

// One entry of a column's weighted counts, in index order.
struct ds_num_counts_s {
    double value;     // the index value
    int64_t count;    // weight of the rows under the mask holding this value
    int64_t missing;  // 1 when no row holding this value is non-missing
};

// Where an index is written: answers room for at least n doubles, or NULL
// when memory runs out. What the block held before need not be kept.
using ds_index_reserve = ds_function_ref<double *(int64_t)>;

// Builds the index of count values into the block reserve answers (asked
// once, for the final length) and returns the index length (1 or more).
// When positions is not NULL, positions[0 .. count) receive each row's
// position as ds_numeric_index_positions gives it, from the same pass.
// Returns 0 when memory runs out; the positions are then undefined.
int64_t ds_numeric_index_build(const double *values, int64_t count, ds_index_reserve reserve,
                               int32_t *positions);

// Whether an index of values with these distinct values keeps 0 and -0 as
// one entry (whole values spanning at most 8190) rather than by their bits.
// An index is its own distinct values, so it tells this of itself.
bool ds_numeric_index_joins_zeros(const double *values, int64_t count);

// Writes into the block reserve answers the whole numbers location,
// location + 1, ..., location + length, then NaN when with_nan is set, and
// returns the number of entries. A length of 0 gives {NaN} with with_nan and
// no entry (0, reserve not asked) without. Returns 0 when memory runs out.
int64_t ds_numeric_sequential_index(uint64_t location, uint64_t length, bool with_nan,
                                    ds_index_reserve reserve);

// The length the index of these values would have (1 for no values), without
// building it. Returns -1 when memory runs out.
int64_t ds_numeric_unique_count(const double *values, int64_t count);

// positions[row] for count values over an ascending index of length entries
// (NaN last when present): length - 1 for a NaN value; otherwise the largest
// p with index[p] <= value among the entries before a NaN entry (0 when the
// value lies below them all), a negative zero taking a -0 entry next to a +0
// one. 24 parallel chunks.
void ds_numeric_index_positions(const double *index, int64_t length, const double *values,
                                int64_t count, int32_t *positions);

// Weighted counts of an index of length entries into out[0 .. length): entry
// p gets (index[p], the total weight of the rows at position p that the
// include mask takes, 1 unless a row at p is not missing). rows gives the
// missing mask and the weights; positions has rows.count entries (a position
// outside [0, length) is skipped). The NaN entry always has the missing flag
// 1. Counted in up to 24 parallel chunks, each with its own counts. Returns
// false, writing nothing, when memory runs out.
bool ds_numeric_index_counts(const double *index, int64_t length, const int32_t *positions,
                             const ds_numeric_rows_s *rows, const uint8_t *mask,
                             int64_t mask_length, ds_num_counts_s *out);

// The display order of an index of length entries into out[0 .. length):
// first the positions of the ordered values found in the index (by ==, NaN
// matching NaN), each once, in the order listed; then every other position
// ascending. Returns length.
int64_t ds_numeric_index_order(const double *index, int64_t length, const double *ordered,
                               int64_t ordered_count, int32_t *out);

// The hue of every index entry into out[0 .. length): NaN for NaN, else
// ds_hue_for_number. Labels and label colours are the column's to apply.
void ds_numeric_index_hues(const double *index, int64_t length, double *out);

// Whether the value of every non-missing row is whole (equals itself after
// conversion to a signed 64-bit integer and back); true for no rows.
bool ds_numeric_all_whole(const ds_numeric_rows_s *rows);

// The number of non-missing rows.
int64_t ds_numeric_present_count(const ds_numeric_rows_s *rows);

// Copies the values of the non-missing rows (and, when out_rows is not
// NULL, their row numbers) in row order and sorts them ascending, the row
// numbers moved along (ds_sort, stable). out_values and out_rows hold
// ds_numeric_present_count entries. Returns how many were written.
int64_t ds_numeric_sort_present(const ds_numeric_rows_s *rows, double *out_values,
                                int32_t *out_rows);

// The distinct values among count ascending values whose rows the include
// mask takes, with the summed weight of their rows (row_numbers NULL: the
// values are taken in their order as rows 0, 1, ..., unweighted and unmasked
// unless a mask or weights are given with row numbers). Values equal by ==
// are one run. Hands out two new malloc'd arrays that the caller frees and
// returns their length; returns 0 and hands out NULL pointers when no value
// is taken or memory runs out. A weight sum beyond 2^31 - 1 is held at it.
int64_t ds_numeric_distinct_weights(const double *sorted, const int32_t *row_numbers,
                                    int64_t count, const int32_t *weights, int64_t num_weights,
                                    const uint8_t *mask, int64_t mask_length,
                                    double **out_values, int32_t **out_weights);

// The differences a - b of rows 0 .. num_records - 1 that the include mask
// takes and that are missing in neither column (a row at or past the
// columns' count is missing), sorted ascending with each row's weight (a's
// weights) moved along. Hands out two new malloc'd arrays that the caller
// frees and returns their length; returns 0 and hands out NULL pointers when
// the counts differ, either is 0, no row is used or memory runs out.
int64_t ds_numeric_sorted_differences(const ds_numeric_rows_s *a, const ds_numeric_rows_s *b,
                                      int64_t num_records, const uint8_t *mask,
                                      int64_t mask_length, double **out_values,
                                      int32_t **out_weights);
