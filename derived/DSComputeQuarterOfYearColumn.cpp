#include "derived/DSComputeQuarterOfYearColumn.h"

#include "platform/calendar/ds_gmt_calendar.h"

void DSComputeQuarterOfYearColumn::awakeFromInsert()
{
    DSComputeTimeComponentColumn::awakeFromInsert();
    setTreat_as_categories(true);
    // 2001-01-01, 04-01, 07-01 and 10-01
    labelCategories("QQQQ", {0, 7776000, 15638400, 23587200});
}

qint64 DSComputeQuarterOfYearColumn::computeValues(const double **out, qint64 offset, qint64 count)
{
    return fromDates(out, offset, count, [](const ds_gmt_date_s &d) { return double((d.month - 1) / 3 + 1); });
}
