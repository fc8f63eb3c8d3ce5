#include "derived/DSTextStackedColumn.h"

#include "derived/DSStackedTable.h"

#include <algorithm>

qint64 DSTextStackedColumn::getTextValues(const char *const **out, qint64 offset, qint64 limit)
{
    auto *stacked = dynamic_cast<DSStackedTable *>(table());
    offset = std::max<qint64>(offset, 0);
    const qint64 c = stacked ? rowsInRange(offset, limit) : 0;
    if (out)
        *out = nullptr;
    if (c <= 0)
        return 0;
    m_texts.assign(size_t(c), nullptr);
    for (const DSStackedTable::Part &part : stacked->partsOfRange(offset, c)) {
        auto *input = dynamic_cast<DSTextColumn *>(inputColumnForTable(part.table));
        const char *const *texts = nullptr;
        const qint64 n = input ? std::min(input->getTextValues(&texts, part.first, part.rows), part.rows) : 0;
        if (texts && n > 0)
            std::copy(texts, texts + n, m_texts.begin() + part.position);
    }
    if (out)
        *out = m_texts.data();
    return c;
}

qint64 DSTextStackedColumn::getMissingMask(const uint8_t **out, qint64 offset, qint64 limit)
{
    offset = std::max<qint64>(offset, 0);
    auto *stacked = dynamic_cast<DSStackedTable *>(table());
    const qint64 c = stacked ? rowsInRange(offset, limit) : 0;
    const qint64 length = c > 0 ? setupMissingMask(offset, limit) : 0;
    if (length)
        stacked->markMissingRows(sharedMissingMask(), offset, c, [this](const DSTable *t) {
            return dynamic_cast<DSTextColumn *>(inputColumnForTable(t));
        });
    if (out)
        *out = length ? missingMask() : nullptr;
    return length;
}
