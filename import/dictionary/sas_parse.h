#pragma once

#include "import/dictionary/ds_command_file_callbacks.h"

#include <cstddef>

// Reads a SAS program that describes a text data file (`length` bytes, no
// NUL needed) in one pass: "firstobs" and "dlm" of any option list, INPUT,
// LENGTH, LABEL, ATTRIB, FORMAT and VALUE report through the callbacks (any
// may be null; the whole text is still checked); the statements around a
// data step are read and passed over; anything else is a syntax error.
// Returns 0, or 1 after a syntax error (logged as "Error parsing SAS file
// around line #%d, col #%ld (%c)", the line written through `error_line`
// when given), or after a callback returned nonzero (nothing more logged,
// no error line); callbacks made before the error stay made.
//
// An option value reports a number only when it has one: digits, a hex
// literal ('09'x), or a one-byte quoted text, whose byte it gives (dlm=',').
// Numbers past 2^31 - 1, a value range of more than 1,000,000 values and
// ranges of more than 2,000,000 values together are syntax errors.
// Allocates nothing.
int sas_parse(const char *text, size_t length, void *context, ds_on_infile_option_fn on_infile_option,
              ds_on_variable_fn on_variable, ds_on_variable_label_fn on_variable_label,
              ds_on_value_label_fn on_value_label, ds_on_variable_format_fn on_variable_format, unsigned *error_line);
