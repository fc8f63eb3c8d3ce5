#include "derived/DSTextSourceNameColumn.h"

#include "derived/DSStackedTable.h"

#include <algorithm>

qint64 DSTextSourceNameColumn::getTextValues(const char *const **out, qint64 offset, qint64 limit)
{
    auto *stacked = dynamic_cast<DSStackedTable *>(table());
    offset = std::max<qint64>(offset, 0);
    const qint64 c = stacked ? rowsInRange(offset, limit) : 0;
    if (out)
        *out = nullptr;
    if (c <= 0)
        return 0;
    const QList<DSStackedTable::Part> parts = stacked->partsOfRange(offset, c);
    m_names.clear();
    for (const DSStackedTable::Part &part : parts)
        m_names << part.table->name().toUtf8();
    m_texts.assign(size_t(c), nullptr);
    for (qsizetype k = 0; k < parts.size(); ++k)
        std::fill_n(m_texts.begin() + parts[k].position, parts[k].rows, m_names[k].constData());
    if (out)
        *out = m_texts.data();
    return c;
}

qint64 DSTextSourceNameColumn::getMissingMask(const uint8_t **out, qint64, qint64)
{
    if (out)
        *out = nullptr;
    return 0;
}
