#include "derived/DSNumericStackedColumn.h"

#include "derived/DSStackedTable.h"

#include <algorithm>
#include <cmath>
#include <limits>

DSStackedTable *DSNumericStackedColumn::stackedTable() const
{
    return dynamic_cast<DSStackedTable *>(table());
}

DSNumericColumn *DSNumericStackedColumn::numericInputFor(const DSTable *table) const
{
    return dynamic_cast<DSNumericColumn *>(inputColumnForTable(table));
}

qint64 DSNumericStackedColumn::getValues(const double **out, qint64 offset, qint64 limit)
{
    DSStackedTable *stacked = stackedTable();
    offset = std::max<qint64>(offset, 0);
    const qint64 c = stacked ? rowsInRange(offset, limit) : 0;
    double *y = c > 0 ? temp_values.reserve(c) : nullptr;
    if (out)
        *out = y;
    if (!y)
        return 0;
    for (const DSStackedTable::Part &part : stacked->partsOfRange(offset, c)) {
        double *to = y + part.position;
        std::fill(to, to + part.rows, std::numeric_limits<double>::quiet_NaN());
        const double *x = nullptr;
        DSNumericColumn *input = numericInputFor(part.table);
        const qint64 n = input ? std::min(input->getValues(&x, part.first, part.rows), part.rows) : 0;
        if (x && n > 0)
            std::copy(x, x + n, to);
    }
    temp_values.setUsed(c);
    return c;
}

qint64 DSNumericStackedColumn::getMissingMask(const uint8_t **out, qint64 offset, qint64 limit)
{
    offset = std::max<qint64>(offset, 0);
    DSStackedTable *stacked = stackedTable();
    const qint64 c = stacked ? rowsInRange(offset, limit) : 0;
    const qint64 length = c > 0 ? setupMissingMask(offset, limit) : 0;
    if (length)
        stacked->markMissingRows(sharedMissingMask(), offset, c,
                                 [this](const DSTable *t) { return numericInputFor(t); });
    if (out)
        *out = length ? missingMask() : nullptr;
    return length;
}

ds_stats_s DSNumericStackedColumn::calculateStatsWithMask(const uint8_t *mask, qint64 length, uint64_t options)
{
    DSStackedTable *stacked = stackedTable();
    if (!stacked || mask || (options & ds_stats_quartiles) || stacked->weighsByOwnSettings() ||
        (apply_missing_values_predicate() && missing_values_predicate()))
        return DSNumericColumn::calculateStatsWithMask(mask, length, options);
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    double lowest = nan, highest = nan, mean = nan, squares = nan;
    int64_t total = 0, missing = 0;
    for (DSTable *table : stacked->sortedInputTables()) {
        DSNumericColumn *input = numericInputFor(table);
        if (!input) {
            const int32_t *weights = nullptr;
            const qint64 rows = std::max<qint64>(table->num_records(), 0);
            const qint64 counted = table->getFrequencyWeights(&weights);
            for (qint64 r = 0; r < rows; ++r)
                missing += weights && counted == rows ? weights[r] : 1;
            continue;
        }
        const ds_stats_s part = input->calculateStatsWithMask(nullptr, 0, options);
        missing += part.missing;
        if (part.count <= 0)
            continue;
        if (std::isnan(lowest) || lowest > part.min)
            lowest = part.min;
        if (std::isnan(highest) || highest < part.max)
            highest = part.max;
        const double n = double(part.count), m2 = part.var_biased * n;
        if (std::isnan(squares)) {
            mean = part.avg;
            squares = m2;
        } else {
            const double merged = double(total) + n, delta = part.avg - mean;
            mean += delta * n / merged;
            squares += m2 + delta * delta * double(total) * n / merged;
        }
        total += part.count;
    }
    if (total < 2)
        return DSNumericColumn::calculateStatsWithMask(mask, length, options);
    ds_stats_s stats;
    stats.min = options & ds_stats_extremes ? lowest : nan;
    stats.max = options & ds_stats_extremes ? highest : nan;
    const bool moments = options & ds_stats_moments;
    stats.avg = moments ? mean : nan;
    stats.var_biased = moments ? squares / double(total) : nan;
    stats.var_unbiased = moments ? squares / double(total - 1) : nan;
    stats.skew = stats.kurt = stats.q1 = stats.med = stats.q3 = stats.mad = nan;
    stats.count = total;
    stats.missing = missing;
    return stats;
}

bool DSNumericStackedColumn::containsOnlyIntegers()
{
    DSStackedTable *stacked = stackedTable();
    if (!stacked)
        return true;
    for (DSTable *table : stacked->sortedInputTables())
        if (DSNumericColumn *input = numericInputFor(table); input && !input->containsOnlyIntegers())
            return false;
    return true;
}
