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

qint64 DSTextSourceNameColumn::getIndex(const char *const **out)
{
    auto *stacked = dynamic_cast<DSStackedTable *>(table());
    QList<QByteArray> names;
    for (const DSTable *input : stacked ? stacked->sortedInputTables() : QList<DSTable *>())
        names << input->name().toUtf8();
    // Unchanged names keep their bytes, so entries handed out before stay
    // readable.
    if (names != m_indexNames) {
        m_indexNames = names;
        m_index.clear();
        for (const QByteArray &name : std::as_const(m_indexNames))
            m_index.push_back(name.constData());
    }
    if (out)
        *out = m_index.empty() ? nullptr : m_index.data();
    return qint64(m_index.size());
}

qint64 DSTextSourceNameColumn::getIndexedValues(const int32_t **out, qint64 *bins)
{
    auto *stacked = dynamic_cast<DSStackedTable *>(table());
    const QList<DSTable *> tables = stacked ? stacked->sortedInputTables() : QList<DSTable *>();
    const qint64 n = stacked ? stacked->num_records() : 0;
    int32_t *positions = n > 0 ? temp_indexed_values.reserve(n) : nullptr;
    qint64 row = 0;
    for (qsizetype k = 0; positions && k < tables.size(); ++k) {
        const qint64 rows = std::max<qint64>(tables[k]->num_records(), 0);
        std::fill_n(positions + row, rows, int32_t(k));
        row += rows;
    }
    temp_indexed_values.setUsed(positions ? n : 0);
    temp_indexed_values_bins = positions ? qint64(tables.size()) : 0;
    if (bins)
        *bins = temp_indexed_values_bins;
    if (out)
        *out = positions;
    return temp_indexed_values.used();
}
