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

// The arrays a time column hands to its row statistics, borrowed for one
// call: values and intervals (NaN value for a missing row), the missing mask
// and the table's frequency weights.
struct ds_time_rows_s
{
    const double *values;     // count values
    const double *intervals;  // count intervals, or NULL (read as 0)
    int64_t count;            // rows that have a value
    const uint8_t *missing;   // missing mask (set bit = missing) or NULL
    int64_t missing_length;   // its bytes; 0 means that no row is missing
    const int32_t *weights;   // frequency weights or NULL
    int64_t num_weights;      // their number; rows past them weigh 1
};

// Whether a row (below rows.count) is missing: NaN, or set in the missing
// mask (a row past the mask's bytes is not).
inline bool ds_time_row_missing(const ds_time_rows_s &rows, int64_t row)
{
    const int64_t byte = row >> 3;
    return std::isnan(rows.values[row])
           || (rows.missing && byte < rows.missing_length && (rows.missing[byte] >> (row & 7)) & 1);
}

struct ds_corr_s;

// The statistics of the rows taken by mask (NULL: every row; length 0: no
// row) under the option bits; see ds_time_stats_s. Rows run in parallel
// chunks merged in chunk order. Quartiles copy the used values once; when
// that copy cannot be allocated they stay NaN.
ds_time_stats_s ds_time_stats(const ds_time_rows_s &rows, const uint8_t *mask, int64_t mask_length, uint64_t options);

// The statistics in calendar form.
ds_gregorian_stats_s ds_gregorian_stats(const ds_time_stats_s &stats);

// The number of periods of `unit` from the period holding min_start to the
// one holding max_start; 0 for the second, units outside the scale and NaN
// statistics.
int64_t ds_time_bucket_count(const ds_time_stats_s &stats, int64_t unit);

// limits[2j] = start + j periods, limits[2j + 1] = start + (j + 1) periods,
// by calendar addition, for j < count.
void ds_time_bin_limits(double *limits, int64_t count, int64_t unit, double start);

// The weighted counts of the taken, non-missing rows per period of `unit`
// from the floored min_start, n = ds_time_bucket_count periods, into
// counts[group x n + period] for groups rows (group_index NULL: one group,
// every row in it; else rows whose group is not below groups are skipped).
// counts holds groups x n doubles and is overwritten. The statistics must
// cover every counted row. The limits (2n) go to limits when given.
void ds_time_period_counts(const ds_time_rows_s &rows, const uint8_t *mask, int64_t mask_length,
                           const ds_time_stats_s &stats, int64_t unit, const int32_t *group_index,
                           int64_t groups, double *counts, double *limits);

// Pearson's r of the times of two columns over their first min(count)
// rows, taken by mask and missing in neither, each weighted by a's weights;
// shifted sums merged in chunk order, so values near 7 x 10^8 keep their
// digits. Covariance with denominator n - 1; z, p-value and r^2 NaN when r
// is; r NaN when either variance is 0.
ds_corr_s ds_time_correlation(const ds_time_rows_s &a, const ds_time_rows_s &b, const uint8_t *mask,
                              int64_t mask_length);

// The correlation of the times with the indicator "the row's index is
// `category`" over the first min(count, num_indexed) rows taken by mask and
// not missing here; the covariance field is the covariance with
// denominator n.
ds_corr_s ds_time_category_correlation(const ds_time_rows_s &rows, const int32_t *indexed, int64_t num_indexed,
                                       int64_t category, const uint8_t *mask, int64_t mask_length);
// As ds_time_category_correlation, with the covariance field's denominator
// n - 1 (the numeric columns' form). Any values, not only times.
ds_corr_s ds_category_correlation(const ds_time_rows_s &rows, const int32_t *indexed, int64_t num_indexed,
                                  int64_t category, const uint8_t *mask, int64_t mask_length);
// The point-biserial correlation of the values with the class 0 of a two-
// class index over the first min(count, num_classes) rows (class 0 or 1;
// rows of any other class are left out), covariance denominator n - 1.
ds_corr_s ds_point_biserial_correlation(const ds_time_rows_s &rows, const int32_t *classes, int64_t num_classes,
                                        const uint8_t *mask, int64_t mask_length);

// The correlation of the times with each of the k indicators "the row's
// index is j" into out[0 .. k-1] (covariance with denominator n - 1); rows
// whose index is not below k are skipped. False, writing nothing, when
// k < 1 or out is NULL.
bool ds_time_multiple_correlations(const ds_time_rows_s &rows, const int32_t *indexed, ds_corr_s *out, int64_t k,
                                   const uint8_t *mask, int64_t mask_length);
