#include "derived/DSNumericSourceIndexColumn.h"

#include "derived/DSStackedTable.h"

#include <algorithm>

qint64 DSNumericSourceIndexColumn::getValues(const double **out, qint64 offset, qint64 limit)
{
    auto *stacked = dynamic_cast<DSStackedTable *>(table());
    offset = std::max<qint64>(offset, 0);
    const qint64 c = stacked ? rowsInRange(offset, limit) : 0;
    double *y = c > 0 ? temp_values.reserve(c) : nullptr;
    if (out)
        *out = y;
    if (!y)
        return 0;
    for (const DSStackedTable::Part &part : stacked->partsOfRange(offset, c))
        for (qint64 i = 0; i < part.rows; ++i)
            y[part.position + i] = double(part.first + i + 1);
    temp_values.setUsed(c);
    return c;
}

qint64 DSNumericSourceIndexColumn::getMissingMask(const uint8_t **out, qint64, qint64)
{
    if (out)
        *out = nullptr;
    return 0;
}
