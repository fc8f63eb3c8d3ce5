#pragma once

#include "import/dictionary/ds_command_file_callbacks.h"

#include <cstddef>

// Reads an SPSS command file (`length` bytes, no NUL needed) in one pass:
// DATA LIST, VARIABLE LABELS and VALUE LABELS report through the callbacks
// (any may be null; the whole text is still checked), a few surrounding
// statements are skipped (MISSING VALUES is checked here and reported by
// sps_parse_missing_values), anything else is a syntax error. Returns 0, or 1
// after a syntax error (logged as "Error parsing SPSS file around line #%d,
// col #%ld (%c)", the line written through `error_line` when given), or
// after a callback returned nonzero (nothing more logged, no error line);
// callbacks made before the error stay made. Numbers past 2^31 - 1, a value
// range of more than 1,000,000 values and ranges that make more than
// 2,000,000 labels together (a range counts once per variable it labels)
// are syntax errors. Allocates nothing.
int sps_parse(const char *text, size_t length, void *context, ds_on_variable_fn on_variable,
              ds_on_variable_label_fn on_variable_label, ds_on_value_label_fn on_value_label, unsigned *error_line);

// Reads the same text against the same grammar and reports only the MISSING
// VALUES statements ("MISSING VALUES A B (9, 99) / C (LO THRU 0) / S ('x')."):
// each item once for each variable of its list, in the order written.
// Numbers may carry a sign and a fraction; the words ALL and TO in a
// variable list are syntax errors (the record lists no variables by range).
// Results as sps_parse; the other statements report nothing.
int sps_parse_missing_values(const char *text, size_t length, void *context, ds_on_missing_value_fn on_missing_value,
                             unsigned *error_line);
