#pragma once

// The statistics of a time column under a row mask, and their calendar form.

#include "platform/calendar/ds_gmt_calendar.h"

#include <cmath>
#include <cstdint>

// Bits of the option word of the time statistics.
enum : uint64_t {
    // Extremes, intervals, times of day and counts; without it nothing is
    // computed.
    ds_time_stats_basic = 0x01,
    // Any of these, with the basic bit: the quartiles.
    ds_time_stats_quartile_bits = 0xF0,
    // With the basic bit: the median absolute deviation too.
    ds_time_stats_mad = 0x20,
    // What the period summary and the statistics outline ask for.
    ds_time_stats_all = 0xFF,
};

// The rows used are those taken by the mask and not missing; a value that
// cannot be computed is NaN. Unlike the numeric record, count includes the
// missing rows.
struct ds_time_stats_s
{
    double min_start = NAN;  // earliest value of the rows used
    double max_start = NAN;  // latest value
    double max_end = NAN;    // latest value + interval
    double q1_start = NAN;   // quartiles of the values
    double med_start = NAN;
    double q3_start = NAN;
    double mad = NAN;  // median absolute deviation from med_start
    // Smallest and largest time of day (whole seconds since midnight) of the
    // rows used whose interval is below a day.
    double min_start_time_of_day = NAN;
    double max_start_time_of_day = NAN;
    double min_interval = NAN;
    double max_interval = NAN;
    double total_interval = NAN;  // max_end - min_start
    int64_t count = 0;            // weight of the rows taken, missing included
    int64_t missing_count = 0;    // weight of the taken rows that are missing
};

// The calendar dates in GMT of five times of the statistics (all fields 0
// where the time is NaN; the times of day fall on 2001-01-01), and the
// intervals and counts copied.
struct ds_gregorian_stats_s
{
    ds_gmt_date_s min_start;
    ds_gmt_date_s max_start;
    ds_gmt_date_s max_end;
    ds_gmt_date_s min_start_time_of_day;
    ds_gmt_date_s max_start_time_of_day;
    double min_interval = NAN;
    double max_interval = NAN;
    double total_interval = NAN;
    int64_t count = 0;
    int64_t missing_count = 0;
};

// An all-zero calendar date: the form of a NaN time.
inline ds_gmt_date_s ds_gmt_date_none()
{
    ds_gmt_date_s d;
    d.year = 0;
    d.month = 0;
    d.day = 0;
    return d;
}

// Whether a calendar date stands for a time (not the all-zero form).
inline bool ds_gmt_date_is_valid(const ds_gmt_date_s &d)
{
    return d.month >= 1 && d.month <= 12 && d.day >= 1 && d.day <= 31;
}
