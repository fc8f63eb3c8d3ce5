#include "derived/DSIndicatorJoinedColumn.h"

#include "model/ds_row_mask.h"

#include <algorithm>
#include <cstring>

QString DSIndicatorJoinedColumn::suggestedName() const
{
    const DSColumn *source = input();
    return source ? source->joinName() : QString();
}

qint64 DSIndicatorJoinedColumn::getBytes(const uint8_t **values, const uint8_t **missing, qint64 offset,
                                         qint64 limit)
{
    offset = std::max<qint64>(offset, 0);
    const qint64 c = rowsInRange(offset, limit);
    const qint64 length = c > 0 ? DSColumn::setupMissingMask(offset, limit) : 0;
    uint8_t *bits = length > 0 ? temp_bytes.reserve(length) : nullptr;
    if (values)
        *values = bits;
    if (missing)
        *missing = bits ? missingMask() : nullptr;
    if (!bits)
        return 0;
    std::memset(bits, 0, size_t(length));
    temp_bytes.setUsed(length);

    const std::vector<int64_t> &rows = m_foreignIndex.foreignRows(*this, offset, c);
    auto *source = dynamic_cast<DSIndicatorColumn *>(input());
    const uint8_t *theirBits = nullptr, *theirMissing = nullptr;
    const qint64 theirLength = source ? source->getBytes(&theirBits, &theirMissing) : 0;
    uint8_t *mask = sharedMissingMask();
    DSForeignIndex::markMisses(mask, offset, c, rows, source != nullptr, theirMissing, theirLength);
    ds_mark_rows(bits, offset, c, [&](int64_t j) {
        const int64_t row = j < qint64(rows.size()) ? rows[size_t(j)] : -1;
        return source && row >= 0 && !ds_mask_test(mask, offset + j) && theirBits && row / 8 < theirLength &&
               ds_mask_test(theirBits, row);
    });
    return length;
}

void DSIndicatorJoinedColumn::purgeIndex()
{
    m_foreignIndex.purge();
    DSIndicatorColumn::purgeIndex();
}
