#include "derived/DSComputeISOWeekNumberingYearColumn.h"

#include "model/DSNumberFormatter.h"
#include "platform/calendar/ds_gmt_calendar.h"

void DSComputeISOWeekNumberingYearColumn::makeDependencies()
{
    DSComputeTimeComponentColumn::makeDependencies();
    if (DSNumberFormatter *formatter = number_formatter())
        formatter->setShow_grouping_separator(false);
}

qint64 DSComputeISOWeekNumberingYearColumn::computeValues(const double **out, qint64 offset, qint64 count)
{
    return fromTimes(out, offset, count, true, [](double t) {
        int64_t year = 0;
        int week = 0;
        ds_gmt_iso_week(t, &year, &week);
        return double(year);
    });
}
