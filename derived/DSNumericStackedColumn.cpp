#include "derived/DSNumericStackedColumn.h"

#include "derived/DSNumericRecodeColumn.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double nan_value = std::numeric_limits<double>::quiet_NaN();

// The rows an input's own index and counts describe; -1 for a recoded
// column, whose index lists every code, held by its rows or not.
qint64 summarisedRows(DSColumn *column)
{
    if (dynamic_cast<DSNumericRecodeColumn *>(column))
        return -1;
    const double *values = nullptr;
    return static_cast<DSNumericColumn *>(column)->getValues(&values);
}

// Whether a column's values hold zeros of both signs.
bool holdsBothZeros(DSNumericColumn *column)
{
    const double *values = nullptr;
    const qint64 n = column->getValues(&values);
    bool negative = false, positive = false;
    for (qint64 i = 0; values && i < n && !(negative && positive); ++i)
        if (values[i] == 0)
            (std::signbit(values[i]) ? negative : positive) = true;
    return negative && positive;
}

bool hasZero(const double *index, qint64 length)
{
    return std::any_of(index, index + length, [](double v) { return v == 0; });
}

} // namespace

DSStackedTable *DSNumericStackedColumn::stackedTable() const
{
    return dynamic_cast<DSStackedTable *>(table());
}

DSNumericColumn *DSNumericStackedColumn::numericInputFor(const DSTable *table) const
{
    return dynamic_cast<DSNumericColumn *>(inputColumnForTable(table));
}

QList<DSStackedTable::Source> DSNumericStackedColumn::sources() const
{
    const DSStackedTable *stacked = stackedTable();
    return stacked ? stacked->sources([this](const DSTable *t) { return numericInputFor(t); })
                   : QList<DSStackedTable::Source>();
}

bool DSNumericStackedColumn::summariesMerge(const QList<DSStackedTable::Source> &sources) const
{
    const DSStackedTable *stacked = stackedTable();
    return stacked && stacked->weighsAsInputs(this, sources) &&
           DSStackedTable::inputsCoverTheirRows(sources, summarisedRows);
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
        std::fill(to, to + part.rows, nan_value);
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

qint64 DSNumericStackedColumn::mergeIndexes(const QList<DSStackedTable::Source> &sources)
{
    if (!DSStackedTable::inputsCoverTheirRows(sources, summarisedRows))
        return 0;
    std::vector<double> entries;
    QList<DSNumericColumn *> joiningZeros;
    for (const DSStackedTable::Source &s : sources) {
        if (!s.input) {
            entries.push_back(nan_value);
            continue;
        }
        auto *input = static_cast<DSNumericColumn *>(s.input);
        const double *index = nullptr;
        const qint64 n = input->getIndex(&index);
        if (!index || n <= 0)
            return 0;
        if (hasZero(index, n) && ds_numeric_index_joins_zeros(index, n))
            joiningZeros << input;
        entries.insert(entries.end(), index, index + n);
    }
    // Built from the inputs' entries in row order, the index takes the
    // rows' form (one zero entry of the first zero's sign, or zeros apart).
    const qint64 length = ds_numeric_index_build(entries.data(), qint64(entries.size()),
                                                 [this](int64_t n) { return reserveIndex(n); }, nullptr);
    temp_index.setUsed(length);
    // Where it tells zeros apart, an input's one zero entry may hide rows of
    // the other sign.
    if (length > 0 && !ds_numeric_index_joins_zeros(temp_index.data(), length) &&
        std::any_of(joiningZeros.begin(), joiningZeros.end(), holdsBothZeros))
        return 0;
    return length;
}

qint64 DSNumericStackedColumn::getIndex(const double **out)
{
    const qint64 length = mergeIndexes(sources());
    if (length <= 0)
        return DSNumericColumn::getIndex(out);
    if (out)
        *out = temp_index.data();
    return length;
}

qint64 DSNumericStackedColumn::getCounts(const ds_num_counts_s **out, const uint8_t *mask, qint64 length)
{
    DSStackedTable *stacked = stackedTable();
    const QList<DSStackedTable::Source> found = sources();
    const qint64 entries = !mask && summariesMerge(found) ? mergeIndexes(found) : 0;
    ds_num_counts_s *counts = entries > 0 ? temp_counts.reserve(entries) : nullptr;
    if (!counts)
        return DSNumericColumn::getCounts(out, mask, length);
    const double *index = temp_index.data();
    for (qint64 p = 0; p < entries; ++p)
        counts[p] = {index[p], 0, 1};
    std::vector<double> values;
    std::vector<int32_t> positions;
    for (const DSStackedTable::Source &s : found) {
        const ds_num_counts_s *theirs = nullptr;
        const qint64 n = s.input ? static_cast<DSNumericColumn *>(s.input)->getCounts(&theirs, nullptr, 0) : 0;
        if (s.input && (!theirs || n <= 0))
            return DSNumericColumn::getCounts(out, mask, length);
        values.resize(size_t(n));
        positions.resize(size_t(n));
        std::transform(theirs, theirs + n, values.begin(), [](const ds_num_counts_s &e) { return e.value; });
        ds_numeric_index_positions(index, entries, values.data(), n, positions.data());
        for (qint64 i = 0; i < n; ++i) {
            ds_num_counts_s &entry = counts[positions[size_t(i)]];
            entry.count += theirs[i].count;
            entry.missing = entry.missing && theirs[i].missing;
        }
    }
    // A table without an input made the NaN entry, the last one.
    counts[entries - 1].count += stacked->weightWithoutInput(found);
    temp_counts.setUsed(entries);
    if (out)
        *out = counts;
    return entries;
}

std::optional<QVariantList> DSNumericStackedColumn::binsForMask(const uint8_t *mask, qint64 length, qint64 binCount,
                                                                double resolution, double min, double max, bool empty)
{
    const QList<DSStackedTable::Source> found = sources();
    const bool anyInput = std::any_of(found.begin(), found.end(), [](const auto &s) { return s.input; });
    if (mask || binCount <= 0 || std::isnan(min) || std::isnan(max) || !anyInput || !summariesMerge(found))
        return DSNumericColumn::binsForMask(mask, length, binCount, resolution, min, max, empty);
    // Every input keeps its empty bins, so bin u is at position u of each.
    std::vector<qint64> counts(size_t(binCount), 0);
    QVariantList shape;
    for (const DSStackedTable::Source &s : found) {
        if (!s.input)
            continue;
        const std::optional<QVariantList> bins =
            static_cast<DSNumericColumn *>(s.input)->binsForMask(nullptr, 0, binCount, resolution, min, max, true);
        if (!bins || bins->size() != binCount)
            return DSNumericColumn::binsForMask(mask, length, binCount, resolution, min, max, empty);
        for (qint64 u = 0; u < binCount; ++u)
            counts[size_t(u)] += bins->at(u).toMap().value(QStringLiteral("count")).toLongLong();
        shape = *bins;
    }
    QVariantList merged;
    for (qint64 u = 0; u < binCount; ++u) {
        if (!empty && counts[size_t(u)] <= 0)
            continue;
        QVariantMap bin = shape.at(u).toMap();
        bin.insert(QStringLiteral("count"), counts[size_t(u)]);
        merged.append(bin);
    }
    return merged;
}

ds_stats_s DSNumericStackedColumn::calculateStatsWithMask(const uint8_t *mask, qint64 length, uint64_t options)
{
    DSStackedTable *stacked = stackedTable();
    const QList<DSStackedTable::Source> found = sources();
    if (!stacked || mask || (options & ds_stats_quartiles) || !summariesMerge(found))
        return DSNumericColumn::calculateStatsWithMask(mask, length, options);
    double lowest = nan_value, highest = nan_value, mean = nan_value, squares = nan_value;
    int64_t total = 0;
    int64_t missing = stacked->weightWithoutInput(found);
    for (const DSStackedTable::Source &s : found) {
        if (!s.input)
            continue;
        const ds_stats_s part = static_cast<DSNumericColumn *>(s.input)->calculateStatsWithMask(nullptr, 0, options);
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
    stats.min = options & ds_stats_extremes ? lowest : nan_value;
    stats.max = options & ds_stats_extremes ? highest : nan_value;
    const bool moments = options & ds_stats_moments;
    stats.avg = moments ? mean : nan_value;
    stats.var_biased = moments ? squares / double(total) : nan_value;
    stats.var_unbiased = moments ? squares / double(total - 1) : nan_value;
    stats.skew = stats.kurt = stats.q1 = stats.med = stats.q3 = stats.mad = nan_value;
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
