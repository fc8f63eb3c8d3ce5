#pragma once

#include "import/dictionary/ds_stata_dct.h"

#include <cstddef>

// Parses the text of a Stata dictionary (`length` bytes, no NUL needed; the
// parser never reads past the length) up to its closing brace; what follows
// it is not looked at. Returns the new record, which the caller frees with
// dct_dictionary_free, or none: on a syntax error (logged as "Error parsing
// .dct file around line #%d, col #%ld (%c)", the line written through
// `error_line` when given) or when memory runs out (only the allocation's
// failure logged, no error line), with everything built freed. Numbers
// past 2^31 - 1 are syntax errors at their digit.
ds_stata_dct_s *dct_parse(const char *text, size_t length, unsigned *error_line);
