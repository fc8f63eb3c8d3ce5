#include "derived/DSNumericSourceIndexColumn.h"

#include "derived/DSStackedTable.h"

#include <algorithm>
#include <numeric>

namespace {

// The most rows of an input table of the column's table.
qint64 longestInput(DSTable *table)
{
    auto *stacked = dynamic_cast<DSStackedTable *>(table);
    qint64 longest = 0;
    for (const DSTable *input : stacked ? stacked->sortedInputTables() : QList<DSTable *>())
        longest = std::max(longest, input->num_records());
    return longest;
}

} // namespace

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

qint64 DSNumericSourceIndexColumn::getIndex(const double **out)
{
    const qint64 m = longestInput(table());
    double *index = m > 0 ? reserveIndex(m) : nullptr;
    if (index)
        std::iota(index, index + m, 1.0);
    temp_index.setUsed(index ? m : 0);
    if (out)
        *out = index;
    return temp_index.used();
}

qint64 DSNumericSourceIndexColumn::getIndexedValues(const int32_t **out, qint64 *bins)
{
    auto *stacked = dynamic_cast<DSStackedTable *>(table());
    const qint64 n = stacked ? stacked->num_records() : 0;
    int32_t *positions = n > 0 ? temp_indexed_values.reserve(n) : nullptr;
    qint64 row = 0;
    for (const DSTable *input : positions ? stacked->sortedInputTables() : QList<DSTable *>()) {
        const qint64 rows = std::max<qint64>(input->num_records(), 0);
        std::iota(positions + row, positions + row + rows, 0);
        row += rows;
    }
    temp_indexed_values.setUsed(positions ? n : 0);
    temp_indexed_values_bins = positions ? longestInput(table()) : 0;
    if (bins)
        *bins = temp_indexed_values_bins;
    if (out)
        *out = positions;
    return temp_indexed_values.used();
}
