#include "derived/DSComputeGregorianYearColumn.h"

#include "model/DSNumberFormatter.h"
#include "platform/calendar/ds_gmt_calendar.h"

void DSComputeGregorianYearColumn::makeDependencies()
{
    DSComputeTimeComponentColumn::makeDependencies();
    if (DSNumberFormatter *formatter = number_formatter())
        formatter->setShow_grouping_separator(false);
}

qint64 DSComputeGregorianYearColumn::computeValues(const double **out, qint64 offset, qint64 count)
{
    return fromDates(out, offset, count, [](const ds_gmt_date_s &d) { return double(d.year); });
}
