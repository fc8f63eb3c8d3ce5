#include "derived/DSComputeDayOfYearColumn.h"

#include "platform/calendar/ds_gmt_calendar.h"

#include <cmath>

qint64 DSComputeDayOfYearColumn::computeValues(const double **out, qint64 offset, qint64 count)
{
    return fromTimes(out, offset, count, true, [](double t) {
        const ds_gmt_date_s date = ds_gmt_date(t);
        ds_gmt_date_s newYear;
        newYear.year = date.year;
        return std::floor((ds_gmt_day_start(t) - ds_gmt_absolute_time(newYear)) / 86400.0) + 1;
    });
}
