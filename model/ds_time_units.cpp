#include "model/ds_time_units.h"

#include "platform/dispatch/ds_parallel_for.h"
#include "platform/horrel/hrl_field_mask.h"

#include <algorithm>
#include <cmath>
#include <vector>

const ds_time_unit_s ds_time_units[ds_time_unit_count] = {
    {0, 0, 1, 1},
    {1, 1, 1, 60},
    {2, 1, 5, 300},
    {3, 1, 15, 900},
    {4, 1, 30, 1800},
    {5, 5, 1, 3600},
    {6, 5, 2, 7200},
    {7, 5, 4, 14400},
    {8, 5, 12, 43200},
    {9, 9, 1, 86400},
    {10, 9, 7, 604800},
    {11, 11, 1, 2419200},
    {12, 11, 3, 7776000},
    {13, 11, 6, 15552000},
    {14, 14, 1, 31536000},
    {15, 14, 2, 63072000},
    {16, 14, 5, 157680000},
    {17, 14, 10, 315360000},
    {18, 14, 25, 788400000},
    {19, 14, 50, 1576800000},
    {20, 14, 100, 3153600000},
    {21, 14, 250, 7884000000},
    {22, 14, 500, 15768000000},
    {23, 14, 1000, 31536000000},
};

const ds_field_mask_unit_s ds_field_mask_units[ds_field_mask_unit_count] = {
    {0, 4},     {1, 8},     {5, 16},     {8, 32},     {9, 64},     {10, 128},
    {11, 256},  {12, 512},  {13, 1024},  {14, 2048},  {20, 4096},
};

namespace {

constexpr int64_t kBaseSecond = 0, kBaseMinute = 1, kBaseHour = 5, kBaseDay = 9, kBaseMonth = 11, kBaseYear = 14;
constexpr double kDay = 86400.0;

bool inScale(int64_t unit)
{
    return unit >= 0 && unit < ds_time_unit_count;
}

// Remainder of a by b (b > 0) in [0, b), for years before 0 too.
int64_t floorMod(int64_t a, int64_t b)
{
    return ((a % b) + b) % b;
}

// The period length of the units floored by arithmetic (seconds to days);
// 0 for the others.
double arithmeticLength(int64_t unit)
{
    const ds_time_unit_s &u = ds_time_units[unit];
    switch (u.base) {
    case kBaseSecond:
        return double(u.multiplier);
    case kBaseMinute:
        return 60.0 * double(u.multiplier);
    case kBaseHour:
        return 3600.0 * double(u.multiplier);
    default:
        return unit == ds_time_unit_day ? kDay : 0;
    }
}

} // namespace

ds_gmt_date_s ds_gregorian_truncate(ds_gmt_date_s d, int64_t unit, ds_gmt_units_s *step)
{
    ds_gmt_units_s one;
    if (!inScale(unit)) {
        if (step)
            *step = one;
        return d;
    }
    const ds_time_unit_s &u = ds_time_units[unit];
    const int m = int(u.multiplier);
    switch (u.base) {
    case kBaseMonth:
        d.month -= (d.month - 1) % m;
        d.day = 1;
        d.hour = d.minute = 0;
        d.second = 0;
        one.months = m;
        break;
    case kBaseYear:
        // A floored remainder, so that a period always holds its date, also
        // before year 0.
        d.year -= floorMod(d.year, m);
        d.month = d.day = 1;
        d.hour = d.minute = 0;
        d.second = 0;
        one.years = m;
        break;
    case kBaseDay:
        if (unit == ds_time_unit_week) {
            const double midnight = ds_gmt_day_start(ds_gmt_absolute_time(d));
            d = ds_gmt_date(midnight - (ds_gmt_day_of_week(midnight) - 1) * kDay);
            one.days = 7;
        } else {
            one.days = 1;
        }
        d.hour = d.minute = 0;
        d.second = 0;
        break;
    case kBaseHour:
        d.hour -= d.hour % m;
        d.minute = 0;
        d.second = 0;
        one.hours = m;
        break;
    case kBaseMinute:
        d.minute -= d.minute % m;
        d.second = 0;
        one.minutes = m;
        break;
    default:
        d.second = std::floor(d.second);
        one.seconds = 1;
        break;
    }
    if (step)
        *step = one;
    return d;
}

double ds_time_floor(int64_t unit, double *length, double time)
{
    if (length)
        *length = NAN;
    if (!inScale(unit) || !std::isfinite(time))
        return NAN;
    if (const double L = arithmeticLength(unit)) {
        if (length)
            *length = L;
        return std::floor(time / L) * L;
    }
    if (unit == ds_time_unit_week) {
        // The epoch is a Monday midnight, so weeks are whole multiples of
        // seven days from it.
        const double L = 7 * kDay;
        if (length)
            *length = L;
        return std::floor(time / L) * L;
    }
    ds_gmt_units_s step;
    const double start = ds_gmt_absolute_time(ds_gregorian_truncate(ds_gmt_date(time), unit, &step));
    if (length)
        *length = ds_gmt_add_units(start, step) - start;
    return start;
}

ds_gmt_units_s ds_gregorian_units(int64_t unit, int64_t n)
{
    ds_gmt_units_s step;
    if (!inScale(unit))
        return step;
    const ds_time_unit_s &u = ds_time_units[unit];
    const int32_t k = int32_t(n * u.multiplier);
    switch (u.base) {
    case kBaseMinute:
        step.minutes = k;
        break;
    case kBaseHour:
        step.hours = k;
        break;
    case kBaseDay:
        step.days = k;
        break;
    case kBaseMonth:
        step.months = k;
        break;
    case kBaseYear:
        step.years = k;
        break;
    default:
        break;
    }
    return step;
}

int ds_time_unit_calendar_flag(int64_t unit)
{
    if (!inScale(unit))
        return 0;
    switch (ds_time_units[unit].base) {
    case kBaseSecond:
        return 32;
    case kBaseMinute:
        return 16;
    case kBaseHour:
        return 8;
    case kBaseDay:
        return 4;
    case kBaseMonth:
        return 2;
    default:
        return 1;
    }
}

ds_gmt_unit ds_gmt_unit_for_calendar_flag(int flag)
{
    switch (flag) {
    case 1:
        return DS_GMT_YEARS;
    case 2:
        return DS_GMT_MONTHS;
    case 4:
        return DS_GMT_DAYS;
    case 8:
        return DS_GMT_HOURS;
    case 16:
        return DS_GMT_MINUTES;
    default:
        return DS_GMT_SECONDS;
    }
}

int64_t ds_time_unit_for_interval(double seconds)
{
    if (std::isnan(seconds))
        return -1;
    for (int64_t unit = ds_time_unit_count - 1; unit > 1; --unit)
        if (double(ds_time_units[unit].nominal_seconds) <= seconds)
            return unit;
    return ds_time_unit_minute;
}

int64_t ds_time_unit_for_range(int64_t limit, const ds_time_stats_s &stats)
{
    if (!std::isfinite(stats.min_start) || !std::isfinite(stats.max_end))
        return ds_time_unit_minute;
    struct Rung
    {
        ds_gmt_unit calendar;
        int64_t first, last;  // units tried, coarsest first
    };
    static const Rung rungs[] = {
        {DS_GMT_YEARS, 17, 14}, {DS_GMT_MONTHS, 13, 11}, {DS_GMT_DAYS, 10, 9},
        {DS_GMT_HOURS, 8, 5},   {DS_GMT_MINUTES, 4, 1},
    };
    for (const Rung &rung : rungs) {
        const int64_t whole = ds_gmt_units_between(stats.min_start, stats.max_end, rung.calendar);
        for (int64_t unit = rung.first; unit >= rung.last; --unit) {
            const ds_time_unit_s &u = ds_time_units[unit];
            if (whole / u.multiplier > limit || stats.min_interval >= double(u.nominal_seconds))
                return unit;
        }
    }
    return ds_time_unit_minute;
}

int64_t ds_time_unit_for_summary(const ds_time_stats_s &stats)
{
    return ds_time_unit_for_range(20, stats);
}

int64_t ds_time_unit_for_thumbnail(const ds_time_stats_s &stats)
{
    return ds_time_unit_for_range(6, stats);
}

namespace {

struct UnitNames
{
    const char *name, *plural, *period, *adjective;
};

const UnitNames kNames[ds_time_unit_count] = {
    {"Second", "periods", nullptr, nullptr},
    {"Minute", "minutes", "Minute", "One-minute"},
    {"period", "periods", "Five-minute period", "Five-minute"},
    {"period", "periods", "Fifteen-minute period", "Fifteen-minute"},
    {"Half-hour", "half-hours", "30-minute period", "30-minute"},
    {"Hour", "hours", "Hour", "Hourly"},
    {"period", "periods", "Two-hour period", "Two-hour"},
    {"period", "periods", "Four-hour period", "Four-hour"},
    {"Half-day", "half-days", "Twelve-hour period", "Twelve-hour"},
    {"Day", "days", "Day", "Daily"},
    {"Week", "weeks", "Week", "Weekly"},
    {"Month", "months", "Month", "Monthly"},
    {"Quarter", "quarters", "Quarter", "Quarterly"},
    {"Half-year", "half-years", "Six-month period", "Semiyearly"},
    {"Year", "years", "Year", "Yearly"},
    {"period", "periods", "Two-year period", "Two-year"},
    {"period", "periods", "Five-year period", "Five-year"},
    {"Decade", "decades", "Ten-year period", "Ten-year"},
    {"period", "periods", "25-year period", "25-year"},
    {"period", "periods", "50-year period", "50-year"},
    {"Century", "centuries", "Century", "Centurial"},
    {"period", "periods", "250-year period", "250-year"},
    {"period", "periods", "500-year period", "500-year"},
    {"Millennium", "millennia", "Millennium", "Millennial"},
};

const UnitNames kOutside = {"period", "periods", nullptr, nullptr};

const UnitNames &namesOf(int64_t unit)
{
    return inScale(unit) ? kNames[unit] : kOutside;
}

} // namespace

const char *ds_time_unit_name(int64_t unit)
{
    return namesOf(unit).name;
}

const char *ds_time_unit_plural_name(int64_t unit)
{
    return namesOf(unit).plural;
}

const char *ds_time_period_name(int64_t unit)
{
    return namesOf(unit).period;
}

const char *ds_time_period_adjective(int64_t unit)
{
    return namesOf(unit).adjective;
}

int64_t ds_format_coarsest_unit(const char *format, int dialect)
{
    uint16_t mask = 0;
    if (hrl_field_mask(format, dialect, &mask) != 0)
        return -1;
    int64_t unit = 0;
    for (const ds_field_mask_unit_s &pair : ds_field_mask_units)
        if (mask & pair.field)
            unit = pair.unit;
    return unit;
}

int64_t ds_format_finest_unit(const char *format, int dialect)
{
    uint16_t mask = 0;
    if (hrl_field_mask(format, dialect, &mask) != 0)
        return -1;
    int64_t unit = ds_time_unit_millennium;
    for (int i = ds_field_mask_unit_count - 1; i >= 0; --i)
        if (mask & ds_field_mask_units[i].field)
            unit = ds_field_mask_units[i].unit;
    return unit;
}

void ds_bin_times(const double *values, int32_t *bin, int64_t count, const uint8_t *mask, int64_t mask_length,
                  const double *cuts, int64_t num_cuts)
{
    if (count <= 0)
        return;
    if (num_cuts < 2) {
        std::fill(bin, bin + count, 0);
        return;
    }
    const std::vector<double> ends(cuts + 1, cuts + num_cuts);
    const int32_t outside = int32_t(num_cuts - 1);
    const int32_t last = outside - 1;
    ds_parallel_for(ds_row_chunks, uint64_t(count), [&](uint64_t, int64_t first, int64_t end) {
        for (int64_t row = first; row < end; ++row) {
            const double v = values[row];
            const bool taken = !mask || (mask_length > 0 && (row >> 3) < mask_length && (mask[row >> 3] >> (row & 7)) & 1);
            if (!taken || std::isnan(v)) {
                bin[row] = outside;
                continue;
            }
            const auto it = std::upper_bound(ends.begin(), ends.end(), v);
            bin[row] = std::min(int32_t(it - ends.begin()), last);
        }
    });
}

namespace {

QString format(const char *pattern, auto... args)
{
    return QString::asprintf(pattern, args...);
}

} // namespace

QString ds_iso_time_string(double time, double r)
{
    if (!std::isfinite(time))
        return QString();
    const ds_gmt_date_s d = ds_gmt_date(time);
    const int year = int(d.year);
    if (r >= 31536000)
        return format("%04d", year);
    if (r >= 7776000)
        return format("%04d-Q%d", year, (d.month - 1) / 3 + 1);
    if (r >= 2419200)
        return format("%04d-%02d", year, d.month);
    if (r >= 604800) {
        int64_t weekYear = 0;
        int week = 0;
        ds_gmt_iso_week(time, &weekYear, &week);
        return format("%04d-W%02d", int(weekYear), week);
    }
    if (r >= 86400)
        return format("%04d-%02d-%02d", year, d.month, d.day);
    if (r >= 3600)
        return format("%04d-%02d-%02dT%02d:00", year, d.month, d.day, d.hour);
    if (r >= 60)
        return format("%04d-%02d-%02dT%02d:%02d", year, d.month, d.day, d.hour, d.minute);
    return format("%04d-%02d-%02dT%02d:%02d:%02d", year, d.month, d.day, d.hour, d.minute, int(d.second));
}

QString ds_iso_clock_string(double time, double r)
{
    if (!std::isfinite(time))
        return QString();
    const ds_gmt_date_s d = ds_gmt_date(time);
    if (r >= 3600)
        return format("%02d:00", d.hour);
    if (r >= 60)
        return format("%02d:%02d", d.hour, d.minute);
    return format("%02d:%02d:%02d", d.hour, d.minute, int(d.second));
}

QString ds_iso_timestamp_string(double time)
{
    if (!std::isfinite(time))
        return QString();
    const ds_gmt_date_s d = ds_gmt_date(time);
    return format("%04d-%02d-%02d %02d-%02d-%02d", int(d.year), d.month, d.day, d.hour, d.minute, int(d.second));
}
