#pragma once
// The bit passes of column conditions: a row range of a mask compared with
// one right-hand side. "Set" passes OR in the bits of the matching rows of
// [offset, offset + limit) and never clear a bit; "clear" passes AND away
// the bits of the rows there that do not match and never set a bit. Value
// i of a delivered array belongs to row offset + i; rows of the range past
// the delivered values never match, so a clear pass clears them too. Rows
// outside the range are never touched. Value and text passes run in the
// aligned parallel chunks of ds_mark_rows; bit passes run serially on whole
// bytes.

#include <cstdint>

// Operator codes of a condition (those of comparison predicates).
enum ds_condition_operator : int64_t {
    ds_condition_less = 0,
    ds_condition_less_or_equal = 1,
    ds_condition_greater = 2,
    ds_condition_greater_or_equal = 3,
    ds_condition_equal = 4,
    ds_condition_not_equal = 5,
    ds_condition_begins_with = 8,
    ds_condition_ends_with = 9,
    ds_condition_contains = 99,
};

// Numbers and times (count values from the offset). Operators 0-5: a NaN
// value matches only "not equal". A NaN right-hand side or another operator
// changes nothing.
void ds_condition_set_values(uint8_t *mask, int64_t offset, int64_t limit, const double *values, int64_t count,
                             int64_t op, double rhs);
void ds_condition_clear_values(uint8_t *mask, int64_t offset, int64_t limit, const double *values, int64_t count,
                               int64_t op, double rhs);

// Texts (count UTF-8 texts from the offset, null for a missing row),
// compared bytewise with ASCII letters folded. Operators 4, 5, 8, 9 and 99;
// a missing row never matches. A null right-hand side or another operator
// changes nothing.
void ds_condition_set_texts(uint8_t *mask, int64_t offset, int64_t limit, const char *const *texts, int64_t count,
                            int64_t op, const char *rhs);
void ds_condition_clear_texts(uint8_t *mask, int64_t offset, int64_t limit, const char *const *texts, int64_t count,
                              int64_t op, const char *rhs);

// Indicator bits: values and missing (null: none missing) masks of length
// bytes, indexed from row 0. A row matches when it lies within the masks,
// is not missing and its value bit equals rhs. Without values nothing
// matches.
void ds_condition_set_bits(uint8_t *mask, int64_t offset, int64_t limit, const uint8_t *values,
                           const uint8_t *missing, int64_t length, bool rhs);
void ds_condition_clear_bits(uint8_t *mask, int64_t offset, int64_t limit, const uint8_t *values,
                             const uint8_t *missing, int64_t length, bool rhs);
