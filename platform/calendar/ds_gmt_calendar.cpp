#include "platform/calendar/ds_gmt_calendar.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kDay = 86400.0;

// Days from 1970-01-01 to a proleptic Gregorian date, in 64-bit integers
// throughout (the 400-year cycle of 146,097 days), so no year of the
// calendar's range overflows. Month 1 to 12, day 1 to 31.
int64_t daysFromCivil(int64_t y, int64_t m, int64_t d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

struct Civil
{
    int64_t year;
    int month, day;
};

// The date of a day counted from 1970-01-01; the inverse of daysFromCivil.
Civil civilFromDays(int64_t z)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int day = int(doy - (153 * mp + 2) / 5 + 1);
    const int month = int(mp < 10 ? mp + 3 : mp - 9);
    return {yoe + era * 400 + (month <= 2), month, day};
}

// Day 0 of absolute time, 2001-01-01, counted from 1970-01-01.
const int64_t kEpochDay = daysFromCivil(2001, 1, 1);

// The calendar's range in seconds either side of the epoch: the first
// second of its first year to the last of its last.
const double kFirstTime = double(daysFromCivil(-kDSGMTYearLimit, 1, 1) - kEpochDay) * kDay;
const double kEndTime = double(daysFromCivil(kDSGMTYearLimit + 1, 1, 1) - kEpochDay) * kDay;

// Days since the epoch of the month that is `months` after January of `y`,
// plus `dayOffset` days. The year lies in the calendar's range, so the
// months cannot overflow.
double daysFrom(int64_t y, int64_t months, int64_t dayOffset)
{
    const int64_t totalMonths = y * 12 + months;
    const int64_t yearPart = totalMonths >= 0 ? totalMonths / 12 : -((-totalMonths + 11) / 12);
    const int64_t monthPart = totalMonths - yearPart * 12 + 1;
    return double(daysFromCivil(yearPart, monthPart, 1) - kEpochDay + dayOffset);
}

// Seconds from the start of the date's month, to tell whether a date lies
// before another's day and time of month.
double secondsIntoMonth(const ds_gmt_date_s &d)
{
    return (d.day - 1) * kDay + d.hour * 3600.0 + d.minute * 60.0 + d.second;
}

} // namespace

bool ds_gmt_year_in_range(double year)
{
    return year >= -double(kDSGMTYearLimit) && year <= double(kDSGMTYearLimit);
}

bool ds_gmt_time_in_range(double time)
{
    return time >= kFirstTime && time < kEndTime;
}

double ds_gmt_absolute_time(const ds_gmt_date_s &date)
{
    if (!ds_gmt_year_in_range(double(date.year)))
        return NAN;
    const double days = daysFrom(date.year, date.month - 1, date.day - 1);
    return days * kDay + date.hour * 3600.0 + date.minute * 60.0 + date.second;
}

ds_gmt_date_s ds_gmt_date(double time)
{
    // Outside the range (or NaN) the nearest end stands in, so no
    // conversion below overflows.
    time = std::isnan(time) ? 0 : std::clamp(time, kFirstTime, std::nextafter(kEndTime, 0.0));
    const double dayNumber = std::floor(time / kDay);
    double rest = time - dayNumber * kDay;
    const Civil civil = civilFromDays(int64_t(dayNumber) + kEpochDay);
    ds_gmt_date_s d;
    d.year = civil.year;
    d.month = civil.month;
    d.day = civil.day;
    d.hour = int(rest / 3600.0);
    rest -= d.hour * 3600.0;
    d.minute = int(rest / 60.0);
    d.second = rest - d.minute * 60.0;
    return d;
}

int64_t ds_gmt_units_between(double start, double end, ds_gmt_unit unit)
{
    if (end < start)
        return -ds_gmt_units_between(end, start, unit);
    switch (unit) {
    case DS_GMT_YEARS:
    case DS_GMT_MONTHS: {
        const ds_gmt_date_s a = ds_gmt_date(start), b = ds_gmt_date(end);
        int64_t months = (b.year - a.year) * 12 + (b.month - a.month);
        if (months > 0 && secondsIntoMonth(b) < secondsIntoMonth(a))
            --months;
        return unit == DS_GMT_YEARS ? months / 12 : months;
    }
    case DS_GMT_DAYS:
        return int64_t((end - start) / kDay);
    case DS_GMT_HOURS:
        return int64_t((end - start) / 3600.0);
    case DS_GMT_MINUTES:
        return int64_t((end - start) / 60.0);
    case DS_GMT_SECONDS:
        return int64_t(end - start);
    }
    return 0;
}

double ds_gmt_day_start(double time)
{
    return std::floor(time / kDay) * kDay;
}

double ds_gmt_add_units(double time, const ds_gmt_units_s &step)
{
    ds_gmt_date_s d = ds_gmt_date(time);
    d.year += step.years;
    d.month += step.months;
    const double moved = ds_gmt_absolute_time(d);
    return moved + step.days * kDay + step.hours * 3600.0 + step.minutes * 60.0 + step.seconds;
}

namespace {

// Days since the epoch of the day holding `time`.
int64_t dayNumber(double time)
{
    time = std::isnan(time) ? 0 : std::clamp(time, kFirstTime, std::nextafter(kEndTime, 0.0));
    return int64_t(std::floor(time / kDay));
}

// 0 Monday to 6 Sunday of a day number; the epoch is a Monday.
int weekdayIndex(int64_t day)
{
    return int(((day % 7) + 7) % 7);
}

} // namespace

int ds_gmt_day_of_week(double time)
{
    return weekdayIndex(dayNumber(time)) + 1;
}

void ds_gmt_iso_week(double time, int64_t *week_year, int *week)
{
    const int64_t day = dayNumber(time);
    const int64_t thursday = day - weekdayIndex(day) + 3;
    const int64_t year = civilFromDays(thursday + kEpochDay).year;
    const int64_t firstDay = daysFromCivil(year, 1, 1) - kEpochDay;
    *week_year = year;
    *week = int((thursday - firstDay) / 7) + 1;
}
