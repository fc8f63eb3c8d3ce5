#pragma once
// Sorting doubles, optionally carrying a companion array of 32-bit integers
// (row numbers or weights) that moves with its values, plus the comparators
// handed to qsort and an in-place removal of adjacent duplicates.
//
// Values must not hold NaN (callers drop missing values first); the
// comparators, unlike the sorts, order NaN last.

#include <cstddef>
#include <cstdint>

// Sorts values ascending in place; companions, when not NULL, move with
// their values. The sort is stable: equal values keep their original order,
// so the result equals std::stable_sort's. From 4,096 values on, chunks are
// sorted in parallel (counting small-range integer chunks, leaving sorted
// chunks untouched) and merged pairwise. Temporary arrays of count elements
// are freed before it returns; if they cannot be allocated, the values are
// still sorted, on the calling thread and without the stability promise.
void ds_sort(double *values, int32_t *companions, int64_t count);

// The number of chunks ds_sort cuts count values into: 1 (sorted serially)
// below 4,096, then 16, 64 above 16,777,216 and 256 above 67,108,864.
int64_t ds_sort_chunk_count(int64_t count);

// Sorts ascending in place on the calling thread, with no allocation:
// an iterative quicksort (median-of-three pivot) that is not stable.
void ds_quicksort(double *values, int32_t *companions, int32_t count);
// As ds_quicksort for a 64-bit count.
void ds_quicksort_range(double *values, int32_t *companions, int64_t count);

// qsort comparators: -1, 0 or 1, with NaN after every number and equal to NaN.
int ds_compare_doubles(const void *a, const void *b);
// As ds_compare_doubles on the first field (a double) of two records.
int ds_compare_value_records(const void *a, const void *b);
// Compares two `const char *` by their unsigned bytes (the order of text
// indexes, independent of the locale); a NULL string goes after every string
// and equals another NULL.
int ds_compare_strings(const void *a, const void *b);

// Removes adjacent duplicates in place from count elements of element_size
// bytes: keeps the first element and every element that compare reports
// different from the last kept one. Returns the number kept.
int64_t ds_unique(void *elements, int64_t count, size_t element_size,
                  int (*compare)(const void *, const void *));
