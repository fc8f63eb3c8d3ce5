#include "derived/DSComputeHourOfWeekColumn.h"

#include "platform/calendar/ds_gmt_calendar.h"

#include <cmath>

qint64 DSComputeHourOfWeekColumn::computeValues(const double **out, qint64 offset, qint64 count)
{
    return fromTimes(out, offset, count, false, [](double t) {
        const int64_t k = int64_t(std::floor(t / 3600.0));
        const int64_t r = k % 168;
        return double(r < 0 ? r + 168 : r);
    });
}
