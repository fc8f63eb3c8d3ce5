#include "derived/DSTextJoinedColumn.h"

#include <algorithm>

QString DSTextJoinedColumn::suggestedName() const
{
    const DSColumn *source = input();
    return source ? source->joinName() : QString();
}

qint64 DSTextJoinedColumn::getTextValues(const char *const **out, qint64 offset, qint64 limit)
{
    offset = std::max<qint64>(offset, 0);
    const std::vector<int64_t> &rows = m_foreignIndex.foreignRows(*this, offset, rowsInRange(offset, limit));
    const qint64 m = qint64(rows.size());
    const char **y = m > 0 ? temp_pointers.reserve(m) : nullptr;
    if (out)
        *out = y;
    if (!y)
        return 0;
    auto *source = dynamic_cast<DSTextColumn *>(input());
    const char *const *x = nullptr;
    const qint64 n = source ? source->getTextValues(&x) : 0;
    DSForeignIndex::gather<const char *>(rows, x, n, nullptr, y);
    temp_pointers.setUsed(m);
    return m;
}

qint64 DSTextJoinedColumn::getMissingMask(const uint8_t **out, qint64 offset, qint64 limit)
{
    return DSForeignIndex::joinedMissingMask(*this, out, offset, limit);
}

bool DSTextJoinedColumn::setupJoinedMissingMask(qint64 offset, qint64 limit)
{
    offset = std::max<qint64>(offset, 0);
    return m_foreignIndex.markJoinMisses(*this, sharedMissingMask(), offset, rowsInRange(offset, limit));
}

quint64 DSTextJoinedColumn::maximumTextValueLength()
{
    auto *source = dynamic_cast<DSTextColumn *>(input());
    return source ? source->maximumTextValueLength() : 0;
}

void DSTextJoinedColumn::purgeIndex()
{
    m_foreignIndex.purge();
    DSTextColumn::purgeIndex();
}
