#include "derived/DSTimeJoinedColumn.h"

#include <algorithm>
#include <limits>

QString DSTimeJoinedColumn::suggestedName() const
{
    const DSColumn *source = input();
    return source ? source->joinName() : QString();
}

qint64 DSTimeJoinedColumn::getTimeValues(const double **values, const double **intervals, qint64 offset,
                                         qint64 limit)
{
    offset = std::max<qint64>(offset, 0);
    const std::vector<int64_t> &rows = m_foreignIndex.foreignRows(*this, offset, rowsInRange(offset, limit));
    const qint64 m = qint64(rows.size());
    double *v = m > 0 ? temp_time_values.reserve(m) : nullptr;
    double *d = v ? temp_time_intervals.reserve(m) : nullptr;
    if (values)
        *values = d ? v : nullptr;
    if (intervals)
        *intervals = d;
    if (!d)
        return 0;
    auto *source = dynamic_cast<DSTimeColumn *>(input());
    const double *t = nullptr, *w = nullptr;
    const qint64 n = source ? source->getTimeValues(&t, &w) : 0;
    // A miss has a NaN time and interval 0.
    DSForeignIndex::gather(rows, t, n, std::numeric_limits<double>::quiet_NaN(), v);
    DSForeignIndex::gather(rows, t ? w : nullptr, n, 0.0, d);
    temp_time_values.setUsed(m);
    temp_time_intervals.setUsed(m);
    return m;
}

qint64 DSTimeJoinedColumn::getMissingMask(const uint8_t **out, qint64 offset, qint64 limit)
{
    return DSForeignIndex::joinedMissingMask(*this, out, offset, limit);
}

bool DSTimeJoinedColumn::setupJoinedMissingMask(qint64 offset, qint64 limit)
{
    offset = std::max<qint64>(offset, 0);
    return m_foreignIndex.markJoinMisses(*this, sharedMissingMask(), offset, rowsInRange(offset, limit));
}

void DSTimeJoinedColumn::purgeIndex()
{
    m_foreignIndex.purge();
    DSTimeColumn::purgeIndex();
}
