#include "derived/DSComputeDayOfWeekColumn.h"

#include "platform/calendar/ds_gmt_calendar.h"

#include <cmath>

void DSComputeDayOfWeekColumn::awakeFromInsert()
{
    DSComputeTimeComponentColumn::awakeFromInsert();
    setTreat_as_categories(true);
    // 2001-01-01 was a Monday
    labelCategories("cccc", {0, 86400, 172800, 259200, 345600, 432000, 518400});
}

qint64 DSComputeDayOfWeekColumn::computeValues(const double **out, qint64 offset, qint64 count)
{
    return fromTimes(out, offset, count, false, [](double t) {
        const int64_t k = int64_t(std::floor(t / 86400.0));
        const int64_t r = k % 7 + 1;
        return double(r < 1 ? r + 7 : r);
    });
}
