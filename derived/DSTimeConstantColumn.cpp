#include "derived/DSTimeConstantColumn.h"

#include "platform/calendar/DSPlatformDateFormatter.h"

#include <algorithm>

qint64 DSTimeConstantColumn::getTimeValues(const double **values, const double **intervals, qint64 offset,
                                           qint64 limit)
{
    const qint64 rows = tableRowCount();
    offset = std::max<qint64>(offset, 0);
    const qint64 left = rows - offset;
    const qint64 n = limit > 0 && limit < left ? limit : left;
    double *v = n > 0 ? temp_time_values.reserve(n) : nullptr;
    double *d = v ? temp_time_intervals.reserve(n) : nullptr;
    if (d) {
        std::fill_n(v, n, value());
        std::fill_n(d, n, interval());
        temp_time_values.setUsed(n);
        temp_time_intervals.setUsed(n);
    }
    if (values)
        *values = d ? v : nullptr;
    if (intervals)
        *intervals = d;
    return d ? n : 0;
}

qint64 DSTimeConstantColumn::getMissingMask(const uint8_t **out)
{
    if (out)
        *out = nullptr;
    return 0;
}

QString DSTimeConstantColumn::suggestedName() const
{
    // The formatters are a cache of the column; asking for one changes
    // nothing a reader sees.
    auto *self = const_cast<DSTimeConstantColumn *>(this);
    return self->formatterForInterval(interval())->stringFromTime(value());
}
