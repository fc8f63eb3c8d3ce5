#include "derived/DSNumericJoinedColumn.h"

#include <algorithm>
#include <limits>

QString DSNumericJoinedColumn::suggestedName() const
{
    const DSColumn *source = input();
    return source ? source->joinName() : QString();
}

qint64 DSNumericJoinedColumn::getValues(const double **out, qint64 offset, qint64 limit)
{
    offset = std::max<qint64>(offset, 0);
    const std::vector<int64_t> &rows = m_foreignIndex.foreignRows(*this, offset, rowsInRange(offset, limit));
    const qint64 m = qint64(rows.size());
    double *y = m > 0 ? temp_values.reserve(m) : nullptr;
    if (out)
        *out = y;
    if (!y)
        return 0;
    auto *source = dynamic_cast<DSNumericColumn *>(input());
    const double *x = nullptr;
    const qint64 n = source ? source->getValues(&x) : 0;
    DSForeignIndex::gather(rows, x, n, std::numeric_limits<double>::quiet_NaN(), y);
    temp_values.setUsed(m);
    return m;
}

qint64 DSNumericJoinedColumn::getMissingMask(const uint8_t **out, qint64 offset, qint64 limit)
{
    return DSForeignIndex::joinedMissingMask(*this, out, offset, limit);
}

bool DSNumericJoinedColumn::setupJoinedMissingMask(qint64 offset, qint64 limit)
{
    offset = std::max<qint64>(offset, 0);
    return m_foreignIndex.markJoinMisses(*this, sharedMissingMask(), offset, rowsInRange(offset, limit));
}

bool DSNumericJoinedColumn::containsOnlyIntegers()
{
    auto *source = dynamic_cast<DSNumericColumn *>(input());
    return !source || source->containsOnlyIntegers();
}

void DSNumericJoinedColumn::purgeIndex()
{
    m_foreignIndex.purge();
    DSNumericColumn::purgeIndex();
}
