#pragma once

// Which calendar fields a date or number format shows.

#include <cstdint>

// Bits of a field mask.
enum : uint16_t {
    hrl_field_fraction = 1,  // fractions of a second
    hrl_field_second = 4,
    hrl_field_minute = 8,
    hrl_field_hour = 16,
    hrl_field_am_pm = 32,  // the twelve-hour period
    hrl_field_day = 64,    // day of the month, of the year or of the week
    hrl_field_week = 128,
    hrl_field_month = 256,
    hrl_field_quarter = 512,
    hrl_field_half_year = 1024,
    hrl_field_year = 2048,
    hrl_field_century = 4096,
};

// Dialects of format strings.
enum {
    // A spreadsheet number-format code ("yyyy-mm-dd h:mm", "[h]:mm",
    // "0.00"): sections by ";", quoted and escaped text, [elapsed] fields,
    // "m" a minute next to hours or seconds, else a month.
    hrl_dialect_spreadsheet = 0,
    // A Stata display format after its "%t" and type letter ("CCYY-NN-DD
    // HH:MM"); a whole "%tc", "%td", "%tw", ... (an optional "-" after the
    // "%") is read as well, an empty rest standing for the type's default.
    hrl_dialect_stata = 1,
    // A Unicode date-format pattern or skeleton ("yMd jmm", "EEEE, d MMMM
    // y"), with quoted literal text.
    hrl_dialect_unicode = 2,
};

// Fills *mask with the fields that `format` (NUL-terminated UTF-8) shows in
// `dialect`. Returns 0 on success, non-zero (mask 0) when the format cannot
// be read: no format or mask, an unknown dialect, text that is not UTF-8, an
// unterminated quote or bracket, or (Stata, Unicode) a letter that names no
// field. A format that shows no field (a number format) succeeds with 0.
int hrl_field_mask(const char *format, int dialect, uint16_t *mask);
