#include "derived/DSIndicatorStackedColumn.h"

#include "derived/DSStackedTable.h"
#include "model/ds_row_mask.h"

#include <algorithm>

qint64 DSIndicatorStackedColumn::getBytes(const uint8_t **values, const uint8_t **missing, qint64 offset,
                                          qint64 limit)
{
    auto *stacked = dynamic_cast<DSStackedTable *>(table());
    offset = std::max<qint64>(offset, 0);
    const qint64 c = stacked ? rowsInRange(offset, limit) : 0;
    const qint64 length = c > 0 ? DSColumn::setupMissingMask(offset, limit) : 0;
    if (values)
        *values = nullptr;
    if (missing)
        *missing = nullptr;
    if (!length)
        return 0;
    m_bits.assign(size_t(length), 0);
    uint8_t *mask = sharedMissingMask();
    for (const DSStackedTable::Part &part : stacked->partsOfRange(offset, c)) {
        auto *input = dynamic_cast<DSIndicatorColumn *>(inputColumnForTable(part.table));
        const uint8_t *bits = nullptr, *theirs = nullptr;
        const qint64 bytes = input ? input->getBytes(&bits, &theirs, part.first, part.rows) : 0;
        for (qint64 i = 0; i < part.rows; ++i) {
            const qint64 r = part.first + i, row = offset + part.position + i;
            const bool inside = r / 8 < bytes;
            if (!input || (theirs && inside && ds_mask_test(theirs, r)))
                ds_mask_set(mask, row);
            else if (bits && inside && ds_mask_test(bits, r))
                ds_mask_set(m_bits.data(), row);
        }
    }
    if (values)
        *values = m_bits.data();
    if (missing)
        *missing = missingMask();
    return length;
}
