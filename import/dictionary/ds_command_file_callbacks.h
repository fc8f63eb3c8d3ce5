#pragma once

#include <cstdint>

// What the command-file parsers report. Every callback gets the parser's
// context last, unchanged; strings are NUL-terminated and valid only during
// the call. A callback returns 0 to go on; anything else (a handler that
// could not grow its record) stops the parse, which then fails without a
// syntax error of its own: the callback logs why. A null slot is not called.

// One variable: 0-based line of the observation, 0-based start column and
// width in bytes (line and start -1 when the statement gives no position),
// type 1 for text and 5 for a number, and a number's implied decimal places
// (SPSS "(2)": "8657336" reads 86573.36; 0 for none and for texts).
typedef int (*ds_on_variable_fn)(const char *name, int32_t line, int32_t start, int32_t width, int32_t type,
                                 int32_t decimals, void *context);

typedef int (*ds_on_variable_label_fn)(const char *name, const char *label, void *context);

// One label of one value of a variable (SPSS) or of a value format (SAS):
// `value` points to NUL-terminated text for type 1, to a double otherwise
// (NaN for the missing value).
typedef int (*ds_on_value_label_fn)(const char *key, const void *value, int32_t type, const char *label,
                                    void *context);

// An option of the SAS data-file statement: 1 the first data line, 2 the
// delimiter (the byte in the low 8 bits of `value`).
typedef int (*ds_on_infile_option_fn)(int32_t option, int32_t value, void *context);

// A SAS value format attached to a variable.
typedef int (*ds_on_variable_format_fn)(const char *name, const char *format, void *context);

// One missing-value declaration of a variable (SPSS MISSING VALUES): type 1
// a text (`low` points to it, `high` is null); type 5 the numbers from
// *low to *high, both doubles (equal for one value, -inf or inf for an open
// end); type 0 clears the variable's declarations ("()"), both null.
typedef int (*ds_on_missing_value_fn)(const char *name, int32_t type, const void *low, const void *high,
                                      void *context);
