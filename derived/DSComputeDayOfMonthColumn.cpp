#include "derived/DSComputeDayOfMonthColumn.h"

#include "platform/calendar/ds_gmt_calendar.h"

qint64 DSComputeDayOfMonthColumn::computeValues(const double **out, qint64 offset, qint64 count)
{
    return fromDates(out, offset, count, [](const ds_gmt_date_s &d) { return double(d.day); });
}
