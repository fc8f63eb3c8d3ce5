#include "platform/calendar/ds_gmt_calendar.h"

#include <chrono>
#include <cmath>

namespace {

using namespace std::chrono;

constexpr double kDay = 86400.0;

// Day 0 of absolute time.
const sys_days kEpoch = sys_days(year(2001) / January / 1);

// Days since the epoch of the month that is `months` after January of `y`,
// plus `dayOffset` days.
double daysFrom(int64_t y, int64_t months, int64_t dayOffset)
{
    const int64_t totalMonths = y * 12 + months;
    const int64_t yearPart = totalMonths >= 0 ? totalMonths / 12 : -((-totalMonths + 11) / 12);
    const unsigned monthPart = unsigned(totalMonths - yearPart * 12) + 1;
    const sys_days first = sys_days(year(int(yearPart)) / month(monthPart) / 1);
    return double((first - kEpoch).count() + dayOffset);
}

// Seconds from the start of the date's month, to tell whether a date lies
// before another's day and time of month.
double secondsIntoMonth(const ds_gmt_date_s &d)
{
    return (d.day - 1) * kDay + d.hour * 3600.0 + d.minute * 60.0 + d.second;
}

} // namespace

double ds_gmt_absolute_time(const ds_gmt_date_s &date)
{
    const double days = daysFrom(date.year, date.month - 1, date.day - 1);
    return days * kDay + date.hour * 3600.0 + date.minute * 60.0 + date.second;
}

ds_gmt_date_s ds_gmt_date(double time)
{
    const double dayNumber = std::floor(time / kDay);
    double rest = time - dayNumber * kDay;
    const year_month_day ymd(kEpoch + days(int64_t(dayNumber)));
    ds_gmt_date_s d;
    d.year = int(ymd.year());
    d.month = int(unsigned(ymd.month()));
    d.day = int(unsigned(ymd.day()));
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
    const year_month_day ymd(kEpoch + days(thursday));
    const int64_t firstDay = (sys_days(ymd.year() / January / 1) - kEpoch).count();
    *week_year = int(ymd.year());
    *week = int((thursday - firstDay) / 7) + 1;
}
