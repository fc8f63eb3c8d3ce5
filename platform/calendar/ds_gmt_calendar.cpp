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
