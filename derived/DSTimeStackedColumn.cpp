#include "derived/DSTimeStackedColumn.h"

#include "derived/DSStackedTable.h"

#include <algorithm>
#include <limits>

qint64 DSTimeStackedColumn::getTimeValues(const double **values, const double **intervals, qint64 offset,
                                          qint64 limit)
{
    auto *stacked = dynamic_cast<DSStackedTable *>(table());
    offset = std::max<qint64>(offset, 0);
    const qint64 c = stacked ? rowsInRange(offset, limit) : 0;
    double *v = c > 0 ? temp_time_values.reserve(c) : nullptr;
    double *d = v ? temp_time_intervals.reserve(c) : nullptr;
    if (values)
        *values = d ? v : nullptr;
    if (intervals)
        *intervals = d;
    if (!d)
        return 0;
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    std::fill(v, v + c, nan);
    std::fill(d, d + c, nan);
    for (const DSStackedTable::Part &part : stacked->partsOfRange(offset, c)) {
        auto *input = dynamic_cast<DSTimeColumn *>(inputColumnForTable(part.table));
        const double *t = nullptr, *w = nullptr;
        const qint64 n = input ? std::min(input->getTimeValues(&t, &w, part.first, part.rows), part.rows) : 0;
        if (t && n > 0)
            std::copy(t, t + n, v + part.position);
        if (w && n > 0)
            std::copy(w, w + n, d + part.position);
    }
    return c;
}

qint64 DSTimeStackedColumn::getMissingMask(const uint8_t **out, qint64 offset, qint64 limit)
{
    offset = std::max<qint64>(offset, 0);
    auto *stacked = dynamic_cast<DSStackedTable *>(table());
    const qint64 c = stacked ? rowsInRange(offset, limit) : 0;
    const qint64 length = c > 0 ? setupMissingMask(offset, limit) : 0;
    if (length)
        stacked->markMissingRows(sharedMissingMask(), offset, c, [this](const DSTable *t) {
            return dynamic_cast<DSTimeColumn *>(inputColumnForTable(t));
        });
    if (out)
        *out = length ? missingMask() : nullptr;
    return length;
}
