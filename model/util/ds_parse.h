#pragma once

#include <cstddef>

// Cell parsers: turn the text of one cell into a value.
//
// Every parser answers NaN when the text does not match and then leaves the
// precision untouched. The scanners take a pointer and a length, do not stop
// at a zero byte, accept the whole text or nothing, allocate nothing and
// consult no locale: "1.5" is one and a half whatever LANG says. All are pure
// functions of their arguments and may run on any thread.
//
// Precision is the length in seconds of the smallest unit the text gave:
// 86400 for a date alone, 60 for hours and minutes, 1 when seconds were given.

struct csv_parser;

// A number: the text without every byte of `remove` (none when null), read as
// the longest leading number in the "C" locale (white space, sign, decimal
// point, exponent, and the hexadecimal, infinity and NaN forms of strtod).
// Only spaces may follow it, then the end, or one "%" as the very last byte,
// which divides the value by 100. NaN for null, for 200 bytes or more, for
// text that holds no number and for anything else after it.
double ds_parse_number(const char *text, const char *remove);

// The leading decimal integer of `text` after optional white space and sign;
// -1 when there is none or it does not fit in 32 bits.
int ds_parse_int(const char *text);

// Seconds since midnight of "H:MM", "H:MM:SS" (hour 0-23, one or two digits)
// or the same with hour 1-12 followed by one space and "AM", "PM", "A.M.",
// "P.M.", "a.m." or "p.m.". Minutes and seconds are two digits 00-59;
// seconds may carry a fraction of one to nine digits after ".", kept in the
// value (the precision stays 1).
double ds_scan_time_of_day(const char *bytes, size_t length, double *precision);
double ds_parse_time_of_day(const char *text, double *precision);

// Seconds since 2001-01-01 00:00:00 GMT of "M/D/Y" (Y two digits, 00-25 in
// 2000-2025 and 26-99 in 1926-1999, or four digits 1000-2999) or "Y-M-D"
// (four-digit year), optionally followed by spaces and a time of day; an ISO
// date also takes "T" or spaces, a 24-hour time and an optional zone ("Z",
// "+01:00", "-0500", "+01"), which is applied to reach GMT. The day is not
// checked against its month: 2/30/2003 is 2 March 2003.
double ds_scan_date(const char *bytes, size_t length, double *precision);
double ds_parse_date(const char *text, double *precision);

// Seconds of "2w 3d 4h 5m 6s" (components in any order, spaces optional, a
// repeated unit keeping its last count), of one count with "wk", "dy", "hr",
// "min" or "sec", or of "M:SS" / "H:MM:SS". A bare number, a sign, a
// fraction, a space inside a component, or a count too long for its field
// (32 bits for weeks, days, hours and minutes) gives NaN.
double ds_scan_duration(const char *bytes, size_t length);
double ds_parse_duration(const char *text);

// Chooses the field delimiter of delimited text from its first line (at most
// 4096 bytes): comma, or tab when a tab comes first, set on `parser` with
// csv_set_delim. Returns -1 when the first line ended with neither a comma
// nor a tab, else 0.
int ds_sniff_delimiter(struct csv_parser *parser, const char *bytes, size_t length);
