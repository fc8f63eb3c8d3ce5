#pragma once

#include <cstdint>

// Gregorian calendar arithmetic in GMT on absolute times: seconds since
// 2001-01-01 00:00:00 GMT. Pure functions, no time zone but GMT, no locale.

// Seconds from the Unix epoch (1970) to the absolute-time epoch (2001).
inline constexpr double kDSUnixToAbsoluteTime = 978307200.0;

// The calendar's range: years -200,000,000 to 200,000,000 (proleptic
// Gregorian, year 0 being 1 BC). Every second of it is a whole number a
// double holds exactly, and every year fits an int.
inline constexpr int64_t kDSGMTYearLimit = 200000000;

// Whether a year lies in the calendar's range; false for NaN.
bool ds_gmt_year_in_range(double year);
// Whether an absolute time lies in the calendar's range; false for NaN.
bool ds_gmt_time_in_range(double time);

// The calendar fields of an absolute time. Months and days count from 1.
struct ds_gmt_date_s
{
    int64_t year = 2001;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    double second = 0;
};

// A calendar step: whole years, months, days, hours and minutes, and
// seconds.
struct ds_gmt_units_s
{
    int32_t years = 0;
    int32_t months = 0;
    int32_t days = 0;
    int32_t hours = 0;
    int32_t minutes = 0;
    double seconds = 0;
};

enum ds_gmt_unit
{
    DS_GMT_YEARS,
    DS_GMT_MONTHS,
    DS_GMT_DAYS,
    DS_GMT_HOURS,
    DS_GMT_MINUTES,
    DS_GMT_SECONDS,
};

// The absolute time of `date`, exact to the second over the calendar's
// range. Fields outside their range carry over rather than fail: month 13
// is January of the next year, day 30 of February is a day in March, hour
// 25 a time on the next day. NaN when the year is outside the calendar's
// range, never a time of another year.
double ds_gmt_absolute_time(const ds_gmt_date_s &date);

// The fields of `time`, whose seconds keep the fraction. A time outside
// the calendar's range (see ds_gmt_time_in_range) gives the fields of the
// range's nearest end, NaN those of the epoch: callers that may hold such
// times check first.
ds_gmt_date_s ds_gmt_date(double time);

// The number of whole `unit`s from `start` to `end`: the largest n for which
// start advanced by n units does not pass end (its negative when end comes
// first). Months and years follow the calendar; days, hours and minutes are
// fixed lengths in GMT.
int64_t ds_gmt_units_between(double start, double end, ds_gmt_unit unit);

// Start of the GMT day holding `time` (rounding towards minus infinity).
double ds_gmt_day_start(double time);

// `time` advanced by `step`: years and months are added to the calendar
// fields first (a day past the end of the month carries into the next), then
// days, hours, minutes and seconds as fixed lengths. `time` must be finite.
double ds_gmt_add_units(double time, const ds_gmt_units_s &step);

// The day of the week of `time`: 1 Monday to 7 Sunday.
int ds_gmt_day_of_week(double time);

// The ISO 8601 week of `time`: its week-year (the year of the week's
// Thursday, so 2021-01-01 lies in 2020) and its week number, 1 to 53.
void ds_gmt_iso_week(double time, int64_t *week_year, int *week);
