#pragma once

#include <cstddef>
#include <cstdint>

// Conversions of the values database servers send into stored values.
// Times are absolute (seconds since 2001-01-01 00:00:00 GMT) or, for times
// of day, seconds since midnight. Every function reads at most `length`
// bytes (the texts need no terminating zero), allocates nothing, consults
// no locale, and answers NaN for text it does not read. Pure; any thread.

// A PostgreSQL number ("12", "-1.5e3", "NaN", "Infinity"): the whole text,
// of any length, read as the nearest double in the "C" locale.
double ds_pgsql_number_value(const char *text, size_t length);
// A PostgreSQL boolean: 1 for "t…", 0 for "f…".
double ds_pgsql_bool_value(const char *text, size_t length);
// A date "Y-M-D" (" BC" after it for years before 1): that day at 00:00:00
// GMT.
double ds_pgsql_date_value(const char *text, size_t length);
// A time of day "H:M:S[.fraction][zone]": seconds since midnight, the
// fraction cut off and a zone ignored (a time of day has no date to move).
double ds_pgsql_time_value(const char *text, size_t length);
// A timestamp "Y-M-D H:M:S[.fraction][±HH[:MM[:SS]]][ BC]": the instant to the
// whole second (fractions cut toward the past), a zone's offset taken off
// so a zoned timestamp keeps its instant.
double ds_pgsql_timestamp_value(const char *text, size_t length);
// An interval in the server's "postgres" style ("1 year 2 mons -3 days
// 04:05:06.5"): its length in seconds as the server's epoch of it counts
// them (a year of 365.25 days, a month of 30), the fraction kept.
double ds_pgsql_interval_value(const char *text, size_t length);
// An absolute time: seconds since 1970 as a number, floored to the second.
double ds_pgsql_abstime_value(const char *text, size_t length);

// A MySQL BIT value: its bytes as one unsigned big-endian number (at most 8
// bytes; NaN for more).
double ds_mysql_bit_value(const unsigned char *bytes, size_t length);

// The fields of a MySQL date, time or date-and-time value, as the client
// library's time record holds them.
struct ds_mysql_time_s
{
    int time_type = 1; // 0 a date, 1 a date and time, 2 a time
    unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    bool neg = false;  // a negative time
};
// The value and its interval, by time_type (which the caller takes from
// the field's server type, never from the record, which calls a midnight
// date-and-time a date and a zero time none): a time as seconds since
// midnight (interval 1, days folded into hours), a date as its day's start
// (86400), a date and time to the whole second (1). NaN for a zero or
// impossible date.
double ds_mysql_time_value(const ds_mysql_time_s &fields, double *interval);
// A YEAR: the start of 1 January, the interval reaching to the next
// 1 January (366 days in a leap year). NaN with interval 0 for a year
// below 1 or outside the calendar's range.
double ds_mysql_year_value(double year, double *interval);
