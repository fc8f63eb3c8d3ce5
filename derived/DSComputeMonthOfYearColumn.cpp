#include "derived/DSComputeMonthOfYearColumn.h"

#include "platform/calendar/ds_gmt_calendar.h"

void DSComputeMonthOfYearColumn::awakeFromInsert()
{
    DSComputeTimeComponentColumn::awakeFromInsert();
    setTreat_as_categories(true);
    // the first day of each month of 2001
    labelCategories("LLLL", {0, 2678400, 5097600, 7776000, 10368000, 13046400, 15638400, 18316800, 20995200,
                             23587200, 26265600, 28857600});
}

qint64 DSComputeMonthOfYearColumn::computeValues(const double **out, qint64 offset, qint64 count)
{
    return fromDates(out, offset, count, [](const ds_gmt_date_s &d) { return double(d.month); });
}
