#pragma once
// The discrete structures of a text column, as plain functions over the row
// pointers the column hands out: the sorted index of its distinct texts,
// each row's position in it and the weighted counts per entry. The column
// owns the buffers and decides what to cache.
//
// A row is blank when its pointer is NULL or its text is empty. The index
// holds the distinct non-blank texts as pointers into the rows (never
// copies), ordered by their unsigned bytes whatever the process's locale,
// followed by one NULL entry when any row is blank. No rows give an empty
// index.

#include "platform/dispatch/ds_parallel_for.h"

#include <cstdint>

// One entry of a text column's weighted counts, in index order.
struct ds_txt_counts_s {
    const char *text;  // the index entry, NULL for the blank entry
    int64_t count;     // weight of the rows under the include mask holding it
    int64_t missing;   // 1 when a row holding it is marked missing, else 0
};

// Where an index is written: answers room for at least n pointers, or NULL
// when memory runs out. What the block held before need not be kept.
using ds_text_index_reserve = ds_function_ref<const char **(int64_t)>;

// Whether a row's text is blank.
inline bool ds_text_blank(const char *text)
{
    return !text || !*text;
}

// Builds the index of count rows into the block reserve answers (asked
// once, for the final length) and returns its length; each entry points at
// the first row holding its text. When positions is not NULL,
// positions[0 .. count) receive each row's position as
// ds_text_index_positions gives it, from the same pass over the rows. Rows
// whose non-blank texts are all one byte long go through a 256-entry table;
// others through hash tables (ds_text_table), one per chunk of rows, merged
// in chunk order. Returns 0 for no rows, and -1 when memory runs out
// (positions then undefined).
int64_t ds_text_index_build(const char *const *rows, int64_t count, ds_text_index_reserve reserve,
                            int32_t *positions = nullptr);

// The length the index of these rows would have, without building it; -1
// when memory runs out.
int64_t ds_text_unique_count(const char *const *rows, int64_t count);

// positions[row] for count rows over an index of length entries: the entry
// holding the row's text, length - 1 for a blank row. Every non-blank text
// must be in the index. A 256-entry table when no entry is longer than one
// byte, else a hash table from text to entry; 24 parallel chunks. Returns
// false when memory runs out (positions undefined).
bool ds_text_index_positions(const char *const *index, int64_t length, const char *const *rows,
                             int64_t count, int32_t *positions);

// The rows a text count reads, borrowed for one call.
struct ds_text_rows_s {
    const int32_t *positions;  // count positions in the index
    int64_t count;
    const uint8_t *missing;    // missing mask (set bit = missing) or NULL
    int64_t missing_length;    // its bytes; 0 means that no row is missing
    const int32_t *weights;    // frequency weights or NULL
    int64_t num_weights;       // their number; rows past them weigh 1
};

// Weighted counts of an index of length entries into out[0 .. length):
// entry p gets (index[p], the total weight of the rows at position p that
// the include mask selects, 1 when some row at p is marked missing). Rows
// run in up to 16 parallel chunks, each counting into arrays of its own,
// merged pairwise in four parallel steps; an index too long for 16 private
// arrays of itself is counted in fewer chunks. A position outside
// [0, length) is skipped. Returns false, writing nothing, when memory runs
// out.
bool ds_text_index_counts(const char *const *index, int64_t length, const ds_text_rows_s *rows,
                          const uint8_t *mask, int64_t mask_length, ds_txt_counts_s *out);

// The number of chunks ds_text_index_counts uses for an index of length
// entries: 16 unless their private arrays would pass the counter budget.
int64_t ds_text_count_chunks(int64_t length);

// The largest byte length among the entries of an index; 0 for none.
uint64_t ds_text_index_max_length(const char *const *index, int64_t length);
