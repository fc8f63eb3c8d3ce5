#include "derived/DSTimeOfDayColumn.h"

#include "model/ds_row_mask.h"
#include "platform/calendar/ds_gmt_calendar.h"

#include <algorithm>
#include <cmath>

void DSTimeOfDayColumn::awakeFromInsert()
{
    DSTimeColumn::awakeFromInsert();
    setRelative_time_unit(1);
}

QString DSTimeOfDayColumn::suggestedName() const
{
    const DSColumn *x = input();
    return x ? QStringLiteral("time(") + x->name() + QLatin1Char(')') : QString();
}

qint64 DSTimeOfDayColumn::getTimeValues(const double **values, const double **intervals, qint64 offset, qint64 limit)
{
    auto *time = dynamic_cast<DSTimeColumn *>(input());
    const double *t = nullptr, *d = nullptr;
    const qint64 n = time ? time->getTimeValues(&t, &d, offset, limit) : 0;
    double *v = n > 0 && t ? temp_time_values.reserve(n) : nullptr;
    double *w = v && d ? temp_time_intervals.reserve(n) : nullptr;
    if (!v || (d && !w)) {
        if (values)
            *values = nullptr;
        if (intervals)
            *intervals = nullptr;
        return 0;
    }
    for (qint64 i = 0; i < n; ++i)
        v[i] = std::isfinite(t[i]) ? t[i] - ds_gmt_day_start(t[i]) : t[i];
    if (w)
        std::copy(d, d + n, w);
    if (values)
        *values = v;
    if (intervals)
        *intervals = w;
    return n;
}

qint64 DSTimeOfDayColumn::getMissingMask(const uint8_t **out, qint64 offset, qint64 limit)
{
    offset = std::max<qint64>(offset, 0);
    const uint8_t *own = nullptr;
    const qint64 length = DSTimeColumn::getMissingMask(&own, offset, limit);
    auto *time = dynamic_cast<DSTimeColumn *>(input());
    if (length && time) {
        const uint8_t *theirs = nullptr;
        const qint64 theirLength = time->getMissingMask(&theirs, offset, limit);
        uint8_t *mask = sharedMissingMask();
        const qint64 last = std::min({length, theirLength, (offset + std::max<qint64>(limit, 0) + 7) / 8});
        for (qint64 b = offset / 8; theirs && b < last; ++b)
            mask[b] |= theirs[b];
        const double *d = nullptr;
        const qint64 n = std::min(time->getTimeValues(nullptr, &d, offset, limit), rowsInRange(offset, limit));
        if (d && n > 0)
            ds_mark_rows(mask, offset, n, [d](int64_t i) { return d[i] >= 86400; });
    }
    if (out)
        *out = length ? missingMask() : nullptr;
    return length;
}
