#include "derived/DSComputeHourOfDayColumn.h"

#include "platform/calendar/ds_gmt_calendar.h"

qint64 DSComputeHourOfDayColumn::computeValues(const double **out, qint64 offset, qint64 count)
{
    const bool fraction = include_fraction();
    return fromDates(out, offset, count, [&](const ds_gmt_date_s &d) {
        return d.hour + (fraction ? (d.minute * 60 + d.second) / 3600.0 : 0.0);
    });
}
