#include "derived/DSComputeMinuteOfHourColumn.h"

#include "platform/calendar/ds_gmt_calendar.h"

qint64 DSComputeMinuteOfHourColumn::computeValues(const double **out, qint64 offset, qint64 count)
{
    const bool fraction = include_fraction();
    return fromDates(out, offset, count, [&](const ds_gmt_date_s &d) {
        return d.minute + (fraction ? d.second / 60.0 : 0.0);
    });
}
