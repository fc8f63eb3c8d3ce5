#include "derived/DSComputeTimeComponentColumn.h"

#include "model/DSTimeColumn.h"
#include "platform/calendar/DSPlatformDateFormatter.h"
#include "platform/dispatch/ds_parallel_for.h"

#include <QCborMap>

#include <algorithm>

void DSComputeTimeComponentColumn::markMissingRows(qint64 offset, qint64 count)
{
    DSTimeColumn *time = timeInput();
    const double *intervals = nullptr;
    const qint64 c = time ? std::min(time->getTimeValues(nullptr, &intervals, offset, count), count) : 0;
    if (intervals && c > 0)
        ds_mark_rows(sharedMissingMask(), offset, c,
                     [&](int64_t i) { return !std::isnan(intervals[i]) && lacksPrecision(intervals[i]); });
}

DSTimeColumn *DSComputeTimeComponentColumn::timeInput() const
{
    return dynamic_cast<DSTimeColumn *>(input());
}

QString DSComputeTimeComponentColumn::functionName(const char *function) const
{
    const DSColumn *x = input();
    if (!x)
        return QString();
    return QString::fromLatin1(function) + QLatin1Char('(') + x->name() + QLatin1Char(')');
}

void DSComputeTimeComponentColumn::labelCategories(const char *pattern, std::initializer_list<double> times)
{
    DSPlatformDateFormatter formatter;
    formatter.setDateFormat(QString::fromLatin1(pattern));
    QCborMap labels;
    double key = 1;
    for (double t : times)
        labels.insert(key++, formatter.stringFromTime(t));
    setCategory_labels(labels);
}

qint64 DSComputeTimeComponentColumn::datesOfInput(const ds_gmt_date_s **dates, qint64 offset, qint64 count)
{
    DSTimeColumn *time = timeInput();
    *dates = nullptr;
    const qint64 c = time ? std::min(time->getGregorianDates(dates, nullptr, offset, count), count) : 0;
    return *dates ? c : 0;
}

qint64 DSComputeTimeComponentColumn::timesOfInput(const double **times, qint64 offset, qint64 count)
{
    DSTimeColumn *time = timeInput();
    *times = nullptr;
    const qint64 c = time ? std::min(time->getTimeValues(times, nullptr, offset, count), count) : 0;
    return *times ? c : 0;
}

void DSComputeTimeComponentColumn::forEachRow(qint64 count, bool parallel,
                                              const std::function<void(qint64, qint64)> &chunk)
{
    if (!parallel) {
        chunk(0, count);
        return;
    }
    ds_parallel_for(ds_row_chunks, uint64_t(count),
                    [&](uint64_t, int64_t first, int64_t end) { chunk(first, end); });
}
