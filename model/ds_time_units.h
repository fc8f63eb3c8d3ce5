#pragma once

// The scale of 24 time units (second to millennium) by which times are
// floored, stepped, binned and named, and the text stamps of times. Times
// are seconds since 2001-01-01 00:00:00 GMT; all calendar work is Gregorian
// in GMT, so nothing here depends on the user's time zone. A unit is passed
// as its row index in ds_time_units. Every function is pure and safe to call
// from parallel chunks.

#include "model/ds_time_stats.h"
#include "platform/calendar/ds_gmt_calendar.h"

#include <QString>

#include <cstdint>

// One row of the scale: the base is the calendar unit the period is counted
// in (0 second, 1 minute, 5 hour, 9 day, 11 month, 14 year), the multiplier
// the whole base units per period, the nominal seconds its length counting
// a month as 28 days, a quarter 90, a half-year 180 and a year 365.
struct ds_time_unit_s
{
    int64_t index;
    int64_t base;
    int64_t multiplier;
    int64_t nominal_seconds;
};

inline constexpr int64_t ds_time_unit_count = 24;
extern const ds_time_unit_s ds_time_units[ds_time_unit_count];

// Units by name, for the code that picks one.
enum : int64_t {
    ds_time_unit_second = 0,
    ds_time_unit_minute = 1,
    ds_time_unit_hour = 5,
    ds_time_unit_half_day = 8,
    ds_time_unit_day = 9,
    ds_time_unit_week = 10,
    ds_time_unit_month = 11,
    ds_time_unit_quarter = 12,
    ds_time_unit_year = 14,
    ds_time_unit_decade = 17,
    ds_time_unit_millennium = 23,
};

// The calendar-field bits of a date format's mask (hrl_field_mask) and the
// unit each stands for, coarser fields later.
struct ds_field_mask_unit_s
{
    int32_t unit;
    int32_t field;
};
inline constexpr int ds_field_mask_unit_count = 11;
extern const ds_field_mask_unit_s ds_field_mask_units[ds_field_mask_unit_count];

// The start of the period of `unit` holding `date`; writes one period as a
// calendar step when step is given. Units outside the scale leave the date
// as it is, with a zero step.
ds_gmt_date_s ds_gregorian_truncate(ds_gmt_date_s date, int64_t unit, ds_gmt_units_s *step);

// The start of the period of `unit` holding `time`, and through length (when
// given) the period's true length in seconds (a month 28 to 31 days, a year
// 365 or 366). Seconds to days are floored arithmetically, weeks, months and
// years through the calendar. NaN, with a NaN length, for a NaN time or a
// unit outside the scale.
double ds_time_floor(int64_t unit, double *length, double time);

// The calendar step of n periods of `unit`: n x multiplier in the field of
// its base; a zero step for the second and for units outside the scale.
ds_gmt_units_s ds_gregorian_units(int64_t unit, int64_t n);

// The calendar unit flag of the unit's base: seconds 32, minutes 16, hours
// 8, days 4, months 2, years 1; 0 outside the scale.
int ds_time_unit_calendar_flag(int64_t unit);

// The calendar unit of a unit flag (seconds for any other flag).
ds_gmt_unit ds_gmt_unit_for_calendar_flag(int flag);

// The largest unit from millennium down to minute whose nominal seconds do
// not exceed `seconds`: minute below 60 seconds, never the second; -1 for
// NaN.
int64_t ds_time_unit_for_interval(double seconds);

// The coarsest unit from decade down to minute that either has more than
// limit whole periods between min_start and max_end or is no finer than
// min_interval; minute otherwise, and when the statistics hold no time.
int64_t ds_time_unit_for_range(int64_t limit, const ds_time_stats_s &stats);
// ds_time_unit_for_range with the limits of the time summaries (20) and of
// the statistics outline's small picture (6).
int64_t ds_time_unit_for_summary(const ds_time_stats_s &stats);
int64_t ds_time_unit_for_thumbnail(const ds_time_stats_s &stats);

// The texts of a unit: its name and plural for the partition popover, its
// period name for groupings and sentences, its adjective for the timeline's
// heading. Static strings; null where a unit has none. Outside the scale
// "period" and "periods", and null period name and adjective.
const char *ds_time_unit_name(int64_t unit);
const char *ds_time_unit_plural_name(int64_t unit);
const char *ds_time_period_name(int64_t unit);
const char *ds_time_period_adjective(int64_t unit);

// The coarsest and the finest unit among the calendar fields `format` shows
// in `dialect` (0 spreadsheet codes, 1 Stata formats, 2 Unicode patterns;
// see hrl_field_mask). Coarsest 0 and finest 23 when it shows none of them;
// -1 when the format cannot be read, and the caller keeps a unit of its own.
int64_t ds_format_coarsest_unit(const char *format, int dialect);
int64_t ds_format_finest_unit(const char *format, int dialect);

// Assigns every row its bin among the n - 1 bins cut at cuts[0 .. n-1]
// (ascending; bin k runs from cuts[k] up to, not including, cuts[k + 1]).
// A value before cuts[0] goes to bin 0, one at or after the last cut to the
// last bin; a row outside the mask (length 0 takes no row) or holding NaN
// gets n - 1. With fewer than two cuts there are no bins and every row gets
// 0. Runs the rows in parallel chunks; bin receives count entries.
void ds_bin_times(const double *values, int32_t *bin, int64_t count, const uint8_t *mask, int64_t mask_length,
                  const double *cuts, int64_t num_cuts);

// The GMT calendar text of a time at a resolution in seconds: "2020" (a
// year or more), "2020-Q3" (a quarter), "2020-08" (a month), "2020-W33" (a
// week, with the ISO week-year: 2021-01-01 is "2020-W53"), "2020-08-15",
// "2020-08-15T13:00", "2020-08-15T13:45", "2020-08-15T13:45:07".
QString ds_iso_time_string(double time, double resolution);
// The clock of a time of day: "13:00", "13:45" or "13:45:07" by resolution.
QString ds_iso_clock_string(double time, double resolution);
// "2020-08-15 13-45-07": a stamp that can be part of a file name.
QString ds_iso_timestamp_string(double time);
