#include "model/DSNumericColumn.h"

#include "model/DSNumberFormatter.h"
#include "model/DSNumericColumnCategory.h"
#include "model/DSNumericPartition.h"
#include "model/DSReentryGuard.h"
#include "model/DSIndicatorColumn.h"
#include "model/DSTable.h"
#include "model/DSTimeColumn.h"
#include "model/ds_missing_values_predicate.h"
#include "model/ds_numeric_bins.h"
#include "model/ds_time_stats.h"
#include "model/ds_row_mask.h"
#include "model/ds_value_comparisons.h"
#include "model/util/ds_colors.h"
#include "model/util/ds_anova.h"
#include "model/util/ds_histogram.h"
#include "model/util/ds_rank_tests.h"
#include "model/util/ds_signed_rank.h"
#include "platform/sterna/sterna.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace {

enum ValueSourceOperation { WholeColumn = 1, Range = 2 };

// Hands out a pointer (when asked) and answers the count.
template <class T>
qint64 handOut(const T **out, const T *data, qint64 count)
{
    if (out)
        *out = count ? data : nullptr;
    return count;
}

} // namespace

QString DSNumericColumn::labelOf(const QCborMap &labels, double value)
{
    if (labels.isEmpty() || std::isnan(value))
        return QString();
    QCborValue label = labels.value(QCborValue(value));
    if (label.isUndefined() && DSNumericColumn::isWhole(value))
        label = labels.value(QCborValue(qint64(value)));
    return label.isString() ? label.toString() : QString();
}

qint64 DSNumericColumn::getValues(const double **out)
{
    const DSReentryGuard guard(this, WholeColumn);
    if (guard.reentered()) {
        if (out)
            *out = nullptr;
        return 0;
    }
    return getValues(out, 0, tableRowCount());
}

qint64 DSNumericColumn::getValues(const double **out, qint64 offset, qint64 limit)
{
    const DSReentryGuard guard(this, Range);
    const double *values = nullptr;
    const qint64 count = guard.reentered() ? 0 : getValues(&values);
    offset = std::max<qint64>(offset, 0);
    const qint64 answered = values && offset < count ? std::clamp<qint64>(limit, 0, count - offset) : 0;
    if (out)
        *out = answered ? values + offset : nullptr;
    return answered;
}

qint64 DSNumericColumn::getMissingMask(const uint8_t **out, qint64 offset, qint64 limit)
{
    offset = std::max<qint64>(offset, 0);
    const double *values = nullptr;
    qint64 count = getValues(&values, offset, limit);
    const qint64 length = setupMissingMask(offset, limit);
    // Values past the table's rows have no bits in the mask.
    count = std::min(count, rowsInRange(offset, limit));
    if (values && count > 0)
        ds_mark_rows(sharedMissingMask(), offset, count, [values](int64_t i) { return std::isnan(values[i]); });
    if (out)
        *out = length ? missingMask() : nullptr;
    return length;
}

qint64 DSNumericColumn::setupMissingMask(qint64 offset, qint64 limit)
{
    DSPredicatePtr predicate;
    const qint64 length = setupMissingMaskForPredicate(offset, limit, &predicate);
    if (!predicate)
        return length;
    const double *v = nullptr;
    const qint64 count = std::min(getValues(&v, offset, limit), rowsInRange(offset, limit));
    if (!v || count <= 0)
        return length;

    uint8_t *mask = sharedMissingMask();
    std::vector<double> equal;
    const QCborMap labels = category_labels();
    for (const DSComparisonPredicate *comparison : ds_predicate_comparisons(*predicate)) {
        if (comparison->rightExpression().kind() != DSExpression::Kind::ConstantValue)
            continue;
        const DSPredicateValue &operand = comparison->rightExpression().constantValue();
        if (operand.kind() == DSPredicateValue::Kind::String && operand.stringValue().isEmpty())
            continue;
        const QString field = comparison->leftExpression().fieldName();
        const DSPredicateOperatorType type = comparison->predicateOperatorType();
        if (field == QLatin1String("value")) {
            if (type == DSPredicateOperatorType::EqualTo)
                equal.push_back(operand.toDouble());
            else
                ds_mark_comparison(mask, offset, v, count, type, operand.toDouble());
        } else if (field == QLatin1String("label")) {
            const QString text = operand.toText();
            for (auto it = labels.constBegin(); it != labels.constEnd(); ++it) {
                const QCborValue key = it.key();
                if (!key.isDouble() && !key.isInteger())
                    continue;
                const double x = key.toDouble();
                if (!std::isnan(x) && ds_label_matches(it.value().toString(), type, text))
                    equal.push_back(x);
            }
        }
    }
    ds_mark_equal_rows(mask, offset, v, count, std::move(equal));
    return length;
}

DSObjectList DSNumericColumn::managedObjectDependencies()
{
    DSObjectList dependencies = DSColumn::managedObjectDependencies();
    if (DSNumberFormatter *formatter = number_formatter())
        dependencies += formatter->managedObjectDependencies();
    return dependencies;
}

void DSNumericColumn::makeDependencies()
{
    DSColumn::makeDependencies();
    if (!number_formatter())
        if (DSManagedObject *formatter = insertNewObjectOfEntity(QStringLiteral("DSNumberFormatter")))
            setObject(formatter, QStringLiteral("number_formatter"));
    makePartitions(QStringLiteral("DSNumericPartition"));
}

void DSNumericColumn::awakeFromInsert()
{
    DSColumn::awakeFromInsert();
    temp_index.release();
    temp_values.release();
    setTreat_as_categories(false);
}

void DSNumericColumn::awakeFromFetch()
{
    DSColumn::awakeFromFetch();
    temp_index.release();
    temp_values.release();
}

void DSNumericColumn::didTurnIntoFault()
{
    temp_values.release();
    temp_counts.release();
    DSColumn::didTurnIntoFault();
}

void DSNumericColumn::purgeIndex()
{
    temp_index.release();
    DSColumn::purgeIndex();
}

std::optional<DSExpression> DSNumericColumn::defaultValueExpression() const
{
    return DSExpression::forConstantValue(DSPredicateValue::fromNumber(0.0));
}

std::unique_ptr<DSDurationFormatter> DSNumericColumn::NSNumberFormatter() const
{
    const DSNumberFormatter *formatter = number_formatter();
    return formatter ? formatter->NSNumberFormatter() : DSColumn::NSNumberFormatter();
}

int DSNumericColumn::resolutionScheme() const
{
    const DSNumberFormatter *formatter = number_formatter();
    return formatter ? formatter->resolutionScheme() : 0;
}

bool DSNumericColumn::isDuration() const
{
    const DSNumberFormatter *formatter = number_formatter();
    return formatter && formatter->number_style() == 500;
}

QString DSNumericColumn::groupName() const
{
    const DSManagedObject *partition = covariate_partition();
    if (treat_as_categories() || !partition)
        return DSColumn::groupName();
    switch (partition->integerForKey(QStringLiteral("partition_type"))) {
    case 0:
        return QStringLiteral("quantile");
    case 1:
        return QStringLiteral("interval");
    case 2:
        return QStringLiteral("group");
    default:
        return DSColumn::groupName();
    }
}

std::optional<double> DSNumericColumn::numberValueAtOffset(qint64 row)
{
    const double *value = nullptr;
    if (row < 0 || getValues(&value, row, 1) != 1 || !value)
        return std::nullopt;
    return *value;
}

bool DSNumericColumn::containsOnlyIntegers()
{
    const double *v = nullptr;
    const qint64 count = getValues(&v);
    for (qint64 i = 0; i < count; ++i)
        if (!std::isnan(v[i]) && !isWhole(v[i]))
            return false;
    return true;
}

DSNumberFormatter *DSNumericColumn::number_formatter() const
{
    return ds_object_cast<DSNumberFormatter>(objectForKey(QStringLiteral("number_formatter")));
}

void DSNumericColumn::setNumber_formatter(DSNumberFormatter *formatter)
{
    setObject(formatter, QStringLiteral("number_formatter"));
}

double *DSNumericColumn::valueBuffer(qint64 count)
{
    double *buffer = temp_values.reserve(count);
    if (!buffer)
        qCritical("Error in malloc()");
    return buffer;
}

ds_numeric_rows_s DSNumericColumn::numericRows()
{
    // The mask first: a derived column computes its values for it, and the
    // values asked last are then the ones this record points at.
    ds_numeric_rows_s rows = {};
    rows.missing_length = getMissingMask(&rows.missing);
    rows.num_weights = getFrequencyWeights(&rows.weights);
    rows.count = getValues(&rows.values);
    return rows;
}

double *DSNumericColumn::reserveIndex(qint64 n)
{
    // A first index block holds 1,024 entries.
    return temp_index.reserve(std::max<qint64>(n, 1024));
}

qint64 DSNumericColumn::getIndex(const double **out)
{
    const double *values = nullptr;
    const qint64 count = getValues(&values);
    const qint64 length = ds_numeric_index_build(values, count, [this](int64_t n) { return reserveIndex(n); },
                                                 nullptr);
    temp_index.setUsed(length);
    return handOut<double>(out, temp_index.data(), length);
}

qint64 DSNumericColumn::numberOfUniqueValues()
{
    const double *values = nullptr;
    const qint64 count = getValues(&values);
    return std::max<qint64>(ds_numeric_unique_count(values, count), 0);
}

qint64 DSNumericColumn::getCovariateIndexedValues(const int32_t **out, qint64 *bins, const Categories &selected,
                                                  const uint8_t *mask, qint64 length)
{
    if (treat_as_categories())
        return DSColumn::getCovariateIndexedValues(out, bins, selected, mask, length);
    const double *values = nullptr;
    if (getValues(&values) <= 0)
        return handOutCovariateGroups(out, bins, 0, 0);
    const ds_stats_s extremes = calculateStatsWithMask(nullptr, 0, 1);
    double resolution = std::numeric_limits<double>::quiet_NaN();
    const auto *partition = ds_object_cast<DSNumericPartition>(covariate_partition());
    const QList<double> cuts =
        partition ? partition->cutoffValuesFromValue(extremes.min, extremes.max, &resolution).value_or(QList<double>())
                  : QList<double>();
    // Asked last, so a derived column's buffer holds them for the search.
    const qint64 n = getValues(&values);
    int32_t *groups = covariateGroupsBuffer(n);
    if (!groups)
        return handOutCovariateGroups(out, bins, 0, 0);
    ds_index_by_double_cutoffs(values, groups, n, mask, length, cuts.constData(), cuts.size(), resolution);
    return handOutCovariateGroups(out, bins, n, cuts.size() + 1);
}

qint64 DSNumericColumn::getIndexedValues(const int32_t **out, qint64 *bins)
{
    const double *index = nullptr;
    const qint64 length = getIndex(&index);
    const double *values = nullptr;
    const qint64 count = getValues(&values);
    int32_t *positions = count > 0 && length > 0 ? temp_indexed_values.reserve(count) : nullptr;
    if (positions)
        ds_numeric_index_positions(index, length, values, count, positions);
    temp_indexed_values.setUsed(positions ? count : 0);
    temp_indexed_values_bins = positions ? length : 0;
    if (bins)
        *bins = temp_indexed_values_bins;
    return handOut<int32_t>(out, positions, temp_indexed_values.used());
}

qint64 DSNumericColumn::getIndexedValueOrder(const int32_t **out)
{
    const double *index = nullptr;
    const qint64 length = getIndex(&index);
    std::vector<double> listed;
    for (const QCborValue &value : ordered_values())
        if (value.isDouble() || value.isInteger())
            listed.push_back(value.toDouble());
    int32_t *order = length > 0 ? temp_ordered2unordered.reserve(length) : nullptr;
    if (!order)
        return 0;
    ds_numeric_index_order(index, length, listed.data(), qint64(listed.size()), order);
    temp_ordered2unordered.setUsed(length);
    return handOut<int32_t>(out, order, length);
}

qint64 DSNumericColumn::getCounts(const ds_num_counts_s **out, const uint8_t *mask, qint64 length)
{
    const int32_t *positions = nullptr;
    const qint64 rowsIndexed = getIndexedValues(&positions, nullptr);
    const double *index = nullptr;
    const qint64 entries = getIndex(&index);
    ds_num_counts_s *counts = entries > 0 ? temp_counts.reserve(entries) : nullptr;
    ds_numeric_rows_s rows = numericRows();
    rows.count = std::min<int64_t>(rows.count, rowsIndexed);
    if (!counts || !ds_numeric_index_counts(index, entries, positions, &rows, mask, length, counts))
        return 0;
    temp_counts.setUsed(entries);
    return handOut<ds_num_counts_s>(out, counts, entries);
}

DSColumn::Categories DSNumericColumn::categoriesForMask(const uint8_t *mask, qint64 length)
{
    const ds_num_counts_s *counts = nullptr;
    const qint64 entries = getCounts(&counts, mask, length);
    const std::shared_ptr<const DSDurationFormatter> formatter = NSNumberFormatter();
    const QCborMap labels = category_labels();
    Categories categories;
    for (qint64 k = 0; k < entries; ++k) {
        auto category = std::make_shared<DSNumericColumnCategory>(formatter);
        category->setCount(counts[k].count);
        category->setIs_missing(counts[k].missing != 0);
        category->setValue(counts[k].value);
        category->setIndex(k);
        category->setLabel(labelOf(labels, counts[k].value));
        categories.append(category);
    }
    return categories;
}

QList<double> DSNumericColumn::hueIndex()
{
    const double *index = nullptr;
    const qint64 length = getIndex(&index);
    QList<double> hues(length);
    ds_numeric_index_hues(index, length, hues.data());
    const QCborMap labels = category_labels();
    const QVariantMap colours = table() ? table()->label_colors() : QVariantMap();
    for (qint64 k = 0; k < length; ++k) {
        const QString label = labelOf(labels, index[k]);
        if (label.isNull())
            continue;
        const auto colour = colours.constFind(label);
        hues[k] = colour != colours.constEnd() ? colour->toDouble() : ds_hue_for_text(label.toUtf8().constData());
    }
    return hues;
}

std::optional<QVariantList> DSNumericColumn::binsForMask(const uint8_t *mask, qint64 length, qint64 binCount,
                                                         double resolution, double min, double max, bool empty)
{
    const ds_numeric_rows_s rows = numericRows();
    return ds_numeric_bins(&rows, mask, length, binCount, resolution, min, max, empty);
}

std::optional<QVariantList> DSNumericColumn::binsForDifferencesOverColumn(DSNumericColumn *other,
                                                                          const uint8_t *mask, qint64 length,
                                                                          qint64 binCount, double resolution,
                                                                          double min, double max, bool empty)
{
    const ds_numeric_rows_s rows = numericRows(), others = other->numericRows();
    return ds_numeric_difference_bins(&rows, &others, mask, length, binCount, resolution, min, max, empty);
}

QVariantList DSNumericColumn::multipleBinsForMask(const uint8_t *mask, qint64 length, const int32_t *byIndex,
                                                  qint64 count, qint64 binCount, double resolution, double min,
                                                  double max, bool empty)
{
    const ds_numeric_rows_s rows = numericRows();
    return ds_numeric_multiple_bins(&rows, mask, length, byIndex, count, binCount, resolution, min, max, empty);
}

qint64 DSNumericColumn::getSortedValues(const double **values, const int32_t **rows)
{
    if (!temp_sorted.isEmpty() && (!rows || !temp_sorted_index.isEmpty())) {
        if (rows)
            *rows = temp_sorted_index.data();
        return handOut<double>(values, temp_sorted.data(), temp_sorted.used());
    }
    const ds_numeric_rows_s present = numericRows();
    const qint64 count = ds_numeric_present_count(&present);
    double *sorted = count > 0 ? temp_sorted.reserve(count) : nullptr;
    int32_t *order = count > 0 && rows ? temp_sorted_index.reserve(count) : nullptr;
    if (!sorted || (rows && !order)) {
        // Nothing half built stays behind to be handed out later.
        temp_sorted.release();
        temp_sorted_index.release();
        if (rows)
            *rows = nullptr;
        return handOut<double>(values, nullptr, 0);
    }
    ds_numeric_sort_present(&present, sorted, order);
    temp_sorted.setUsed(count);
    if (order)
        temp_sorted_index.setUsed(count);
    else
        temp_sorted_index.release();
    if (rows)
        *rows = order;
    return handOut<double>(values, sorted, count);
}

qint64 DSNumericColumn::getSortedValues(double **values, int32_t **weights, const uint8_t *mask, qint64 length)
{
    const int32_t *frequencies = nullptr;
    const qint64 numWeights = getFrequencyWeights(&frequencies);
    const bool byRow = mask || frequencies;
    const double *sorted = nullptr;
    const int32_t *rows = nullptr;
    const qint64 count = getSortedValues(&sorted, byRow ? &rows : nullptr);
    return ds_numeric_distinct_weights(sorted, rows, count, frequencies, numWeights, mask, length, values, weights);
}

qint64 DSNumericColumn::getSortedDifferences(double **values, int32_t **weights, DSNumericColumn *other,
                                             const uint8_t *mask, qint64 length)
{
    const ds_numeric_rows_s rows = numericRows(), others = other->numericRows();
    return ds_numeric_sorted_differences(&rows, &others, tableRowCount(), mask, length, values, weights);
}

qint64 DSNumericColumn::sequentialIndex(const double **out, quint64 location, quint64 length, bool missing)
{
    const qint64 entries =
        ds_numeric_sequential_index(location, length, missing, [this](int64_t n) { return reserveIndex(n); });
    temp_index.setUsed(entries);
    return handOut<double>(out, temp_index.data(), entries);
}

ds_stats_s DSNumericColumn::calculateStatsWithMask(const uint8_t *mask, qint64 length, uint64_t options)
{
    const ds_numeric_rows_s rows = numericRows();
    return ds_calculate_stats(&rows, mask, length, options);
}

ds_stats_s DSNumericColumn::calculateStatsForDifferencesOverColumn(DSNumericColumn *other, const uint8_t *mask,
                                                                   qint64 length, uint64_t options)
{
    const ds_numeric_rows_s rows = numericRows(), others = other->numericRows();
    return ds_calculate_difference_stats(&rows, &others, mask, length, options);
}

void DSNumericColumn::calculateMultipleStats(ds_stats_s *results, qint64 count, const int32_t *byIndex,
                                             const uint8_t *mask, qint64 length, uint64_t options)
{
    const ds_numeric_rows_s rows = numericRows();
    ds_calculate_multiple_stats(results, count, byIndex, &rows, mask, length, options);
}

std::optional<QList<double>> DSNumericColumn::calculateQuantiles(qint64 k)
{
    if (k < 2 || k > INT32_MAX)
        return std::nullopt;
    const int32_t *frequencies = nullptr;
    const qint64 numWeights = getFrequencyWeights(&frequencies);
    const double *sorted = nullptr;
    const int32_t *rows = nullptr;
    const qint64 count = getSortedValues(&sorted, &rows);
    if (count == 0)
        return std::nullopt;
    std::vector<int32_t> weights;
    if (frequencies) {
        weights.resize(size_t(count));
        for (qint64 i = 0; i < count; ++i)
            weights[size_t(i)] = ds_row_weight(rows[i], frequencies, numWeights);
    }
    QList<double> cuts(k - 1);
    cuts.resize(ds_distinct_quantile_cuts(sorted, frequencies ? weights.data() : nullptr, count, int(k), cuts.data()));
    return cuts;
}

namespace {

// The rows a column offers a test: its values and missing mask, weighted by
// the given weights.
ds_numeric_rows_s testRows(DSNumericColumn *column, const int32_t *weights, qint64 numWeights)
{
    ds_numeric_rows_s rows = {};
    rows.missing_length = column->getMissingMask(&rows.missing);
    rows.count = column->getValues(&rows.values);
    rows.weights = weights;
    rows.num_weights = numWeights;
    return rows;
}

// Whether a row of the column counts: admitted, present and not missing.
bool rowCounts(const ds_numeric_rows_s &rows, qint64 row, const uint8_t *mask, qint64 length)
{
    return row < rows.count && ds_row_admitted(mask, length, row) && !ds_row_missing(rows, row);
}

// Entries of a test: a value, its group and its weight each.
struct Sample
{
    std::vector<double> values;
    std::vector<int32_t> groups;
    std::vector<int32_t> weights;

    void reserve(qint64 n)
    {
        values.reserve(size_t(n));
        groups.reserve(size_t(n));
        weights.reserve(size_t(n));
    }
    void add(double value, int32_t group, int32_t weight)
    {
        values.push_back(value);
        groups.push_back(group);
        weights.push_back(weight);
    }
    int64_t size() const { return int64_t(values.size()); }
};

// The table's weights of the columns' table; none without a column or table.
qint64 tableWeights(const DSNumericColumn::Columns &columns, const int32_t **weights)
{
    *weights = nullptr;
    DSTable *table = columns.isEmpty() ? nullptr : columns.first()->table();
    return table ? table->getFrequencyWeights(weights) : 0;
}

// One group per column: the rows of each that count.
Sample columnsSample(const DSNumericColumn::Columns &columns, const uint8_t *mask, qint64 length)
{
    const int32_t *weights = nullptr;
    const qint64 numWeights = tableWeights(columns, &weights);
    Sample sample;
    for (qsizetype j = 0; j < columns.size(); ++j) {
        const ds_numeric_rows_s rows = testRows(columns[j], weights, numWeights);
        for (qint64 r = 0; r < rows.count; ++r)
            if (rowCounts(rows, r, mask, length))
                sample.add(rows.values[r], int32_t(j), ds_row_frequency(rows, r));
    }
    return sample;
}

// A covariate's groups of the rows, with its missing mask.
struct CovariateGroups
{
    const int32_t *groups = nullptr;
    qint64 rows = 0;
    qint64 bins = 0;
    const uint8_t *missing = nullptr;
    qint64 missingLength = 0;

    CovariateGroups(DSColumn *covariate, const DSColumn::Categories &categories, const uint8_t *mask, qint64 length)
    {
        if (!covariate)
            return;
        rows = covariate->getCovariateIndexedValues(&groups, &bins, categories, mask, length);
        missingLength = covariate->getMissingMask(&missing);
    }
    // The row's group, or -1 when the covariate leaves the row out.
    int32_t groupOf(qint64 row) const
    {
        if (row >= rows || (missing && row / 8 < missingLength && ds_mask_test(missing, row)))
            return -1;
        const int32_t g = groups[row];
        return g >= 0 && g < bins ? g : -1;
    }
};

// The receiver's rows that count, grouped by the covariate.
Sample groupedSample(const ds_numeric_rows_s &rows, const CovariateGroups &covariate, const uint8_t *mask,
                     qint64 length)
{
    Sample sample;
    sample.reserve(rows.count);
    for (qint64 r = 0; r < rows.count; ++r)
        if (const int32_t g = covariate.groupOf(r); g >= 0 && rowCounts(rows, r, mask, length))
            sample.add(rows.values[r], g, ds_row_frequency(rows, r));
    return sample;
}

// Hands out two degrees of freedom where the caller asked for them.
void writeDegrees(int64_t d1, int64_t d2, qint64 *df1, qint64 *df2)
{
    if (df1)
        *df1 = d1;
    if (df2)
        *df2 = d2;
}

double oneWayANOVA(const Sample &sample, qint64 groups, qint64 *df1, qint64 *df2)
{
    int64_t d1 = 0, d2 = 0;
    const double f = ds_anova_one_way(sample.values.data(), sample.groups.data(), sample.weights.data(),
                                      sample.size(), groups, &d1, &d2);
    writeDegrees(d1, d2, df1, df2);
    return f;
}

qint64 tableRows(const DSNumericColumn::Columns &columns)
{
    DSTable *table = columns.isEmpty() ? nullptr : columns.first()->table();
    return table ? table->num_records() : 0;
}

// The statistic of an array routine over the rows left in every column
// (the remaining mask, the columns' values, the table's weights); the
// degrees of freedom are handed out when the routine wrote them.
using RemainingRowsRoutine = double (*)(const double *const *, int64_t, int64_t, const uint8_t *, int64_t,
                                        const int32_t *, int64_t, int64_t *, int64_t *);
double overRemainingRows(RemainingRowsRoutine routine, const DSNumericColumn::Columns &columns, qint64 *df1,
                         qint64 *df2, const uint8_t *mask, qint64 length)
{
    std::unique_ptr<uint8_t[]> remaining;
    const qint64 remainingLength = DSNumericColumn::getRemainingMask(&remaining, columns, mask, length);
    const int32_t *weights = nullptr;
    const qint64 numWeights = tableWeights(columns, &weights);
    // Rows past a column's values are missing in it: the rows end at the
    // shortest column.
    qint64 rows = tableRows(columns);
    std::vector<const double *> values;
    for (DSNumericColumn *column : columns) {
        const double *v = nullptr;
        rows = std::min(rows, column->getValues(&v));
        values.push_back(v);
    }
    constexpr int64_t unwritten = std::numeric_limits<int64_t>::min();
    int64_t d1 = unwritten, d2 = unwritten;
    const double statistic = routine(values.data(), int64_t(columns.size()), std::max<qint64>(rows, 0),
                                     remaining.get(), remainingLength, weights, numWeights, &d1, &d2);
    if (d1 != unwritten)
        writeDegrees(d1, d2, df1, df2);
    return statistic;
}

}  // namespace

double DSNumericColumn::calculateKolmogorovSmirnov(const Columns &columns, qint64 *df, const uint8_t *mask,
                                                   qint64 length)
{
    const Sample sample = columnsSample(columns, mask, length);
    if (sample.size() == 0)
        return std::numeric_limits<double>::quiet_NaN();
    if (df)
        *df = columns.size() - 1;
    return ds_kolmogorov_smirnov_k_sample(sample.values.data(), sample.groups.data(), sample.weights.data(),
                                          sample.size(), columns.size());
}

double DSNumericColumn::calculateKolmogorovSmirnov(DSColumn *covariate, const Categories &categories, qint64 *df,
                                                   const uint8_t *mask, qint64 length)
{
    const CovariateGroups groups(covariate, categories, mask, length);
    const double *sorted = nullptr;
    const int32_t *rows = nullptr;
    const qint64 count = getSortedValues(&sorted, &rows);
    const int32_t *weights = nullptr;
    const qint64 numWeights = getFrequencyWeights(&weights);
    int64_t groupsDf = 0;
    const double statistic =
        ds_kolmogorov_smirnov_groups(sorted, rows, count, groups.groups, groups.rows, groups.bins, mask, length,
                                     groups.missing, groups.missingLength, weights, numWeights, &groupsDf);
    if (df && !std::isnan(statistic))
        *df = groupsDf;
    return statistic;
}

double DSNumericColumn::calculateKruskalWallis(const Columns &columns, qint64 *df, const uint8_t *mask,
                                               qint64 length)
{
    const Sample sample = columnsSample(columns, mask, length);
    if (sample.size() == 0) {
        if (df)
            *df = 0;
        return std::numeric_limits<double>::quiet_NaN();
    }
    int64_t used = 0;
    const double h = ds_kruskal_wallis(sample.values.data(), sample.groups.data(), sample.weights.data(),
                                       sample.size(), columns.size(), &used);
    if (df)
        *df = used;
    return h;
}

double DSNumericColumn::calculateKruskalWallis(DSColumn *covariate, const Categories &categories, qint64 *df,
                                               const uint8_t *mask, qint64 length)
{
    // The column's kept sorted values are ranked where they stand.
    const CovariateGroups groups(covariate, categories, mask, length);
    const int32_t *weights = nullptr;
    const qint64 numWeights = getFrequencyWeights(&weights);
    const double *sorted = nullptr;
    const int32_t *rows = nullptr;
    const qint64 count = getSortedValues(&sorted, &rows);
    Sample sample;
    sample.reserve(count);
    for (qint64 i = 0; i < count; ++i)
        if (const int32_t g = groups.groupOf(rows[i]); g >= 0 && ds_row_admitted(mask, length, rows[i]))
            sample.add(sorted[i], g, ds_row_weight(rows[i], weights, numWeights));
    if (sample.size() == 0)
        return std::numeric_limits<double>::quiet_NaN();
    int64_t used = 0;
    const double h = ds_kruskal_wallis_sorted(sample.values.data(), sample.groups.data(), sample.weights.data(),
                                              sample.size(), groups.bins, &used);
    if (df)
        *df = used;
    return h;
}

ds_signed_rank_s DSNumericColumn::calculateSignedRanks(const Columns &columns, const uint8_t *mask, qint64 length)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const ds_signed_rank_s none{nan, 0, 0, 0};
    const qint64 rows = tableRows(columns);
    if (columns.size() != 2)
        return none;
    const int32_t *weights = nullptr;
    const qint64 numWeights = tableWeights(columns, &weights);
    const ds_numeric_rows_s x = testRows(columns[0], weights, numWeights);
    const ds_numeric_rows_s y = testRows(columns[1], weights, numWeights);
    if (x.count != rows || y.count != rows)
        return none;
    std::vector<double> differences;
    std::vector<int32_t> differenceWeights;
    for (qint64 r = 0; r < rows; ++r)
        if (rowCounts(x, r, mask, length) && rowCounts(y, r, mask, length)) {
            differences.push_back(y.values[r] - x.values[r]);
            differenceWeights.push_back(ds_row_frequency(x, r));
        }
    const ds_signed_rank_s ranked =
        ds_signed_rank(differences.data(), differenceWeights.data(), qint64(differences.size()));
    return std::isnan(ranked.sum) || ranked.count == 0 ? none : ranked;
}

double DSNumericColumn::calculateWilcoxonSignedRank(const Columns &columns, qint64 *count, const uint8_t *mask,
                                                    qint64 length)
{
    const ds_signed_rank_s ranked = calculateSignedRanks(columns, mask, length);
    if (count && !std::isnan(ranked.sum))
        *count = ranked.count;
    return ranked.sum;
}

double DSNumericColumn::calculateFriedmanTest(const Columns &columns, qint64 *df1, qint64 *df2, const uint8_t *mask,
                                              qint64 length)
{
    return overRemainingRows(ds_friedman, columns, df1, df2, mask, length);
}

qint64 DSNumericColumn::getRemainingMask(std::unique_ptr<uint8_t[]> *out, const Columns &columns,
                                         const uint8_t *mask, qint64 length)
{
    std::unique_ptr<uint8_t[]> result;
    qint64 resultLength = 0;
    if (mask) {
        result = std::make_unique<uint8_t[]>(size_t(std::max<qint64>(length, 0)));
        std::copy(mask, mask + std::max<qint64>(length, 0), result.get());
        resultLength = length;
    }
    for (DSNumericColumn *column : columns) {
        const uint8_t *missing = nullptr;
        const qint64 missingLength = column->getMissingMask(&missing);
        if (!missing || missingLength == 0)
            continue;
        if (!result) {
            result = std::make_unique<uint8_t[]>(size_t(missingLength));
            std::fill(result.get(), result.get() + missingLength, uint8_t(0xff));
            resultLength = missingLength;
        }
        // Every mask of one table has the same length; a shorter one leaves
        // the bytes past it as they are.
        for (qint64 i = 0; i < std::min(resultLength, missingLength); ++i)
            result[size_t(i)] &= uint8_t(~missing[i]);
    }
    if (out)
        *out = std::move(result);
    return resultLength;
}

double DSNumericColumn::calculateANOVA(DSColumn *covariate, const Categories &categories, qint64 *df1, qint64 *df2,
                                       const uint8_t *mask, qint64 length)
{
    const CovariateGroups groups(covariate, categories, mask, length);
    const int32_t *weights = nullptr;
    const qint64 numWeights = getFrequencyWeights(&weights);
    const Sample sample = groupedSample(testRows(this, weights, numWeights), groups, mask, length);
    return oneWayANOVA(sample, groups.bins, df1, df2);
}

double DSNumericColumn::calculateNonRepeatedMeasuresANOVA(const Columns &columns, qint64 *df1, qint64 *df2,
                                                          const uint8_t *mask, qint64 length)
{
    if (columns.size() < 2)
        return std::numeric_limits<double>::quiet_NaN();
    return oneWayANOVA(columnsSample(columns, mask, length), columns.size(), df1, df2);
}

double DSNumericColumn::calculateTwoWayANOVA(DSColumn *covariate1, const Categories &categories1,
                                             DSColumn *covariate2, const Categories &categories2, qint64 *df1,
                                             qint64 *df2, const uint8_t *mask, qint64 length)
{
    // The first covariate's groups are copied: the second may be the same
    // column, whose request would reuse the buffer.
    const CovariateGroups first(covariate1, categories1, mask, length);
    std::vector<int32_t> firstGroups(static_cast<size_t>(first.rows));
    for (qint64 r = 0; r < first.rows; ++r)
        firstGroups[size_t(r)] = first.groupOf(r);
    const CovariateGroups second(covariate2, categories2, mask, length);
    const int32_t *weights = nullptr;
    const qint64 numWeights = getFrequencyWeights(&weights);
    const ds_numeric_rows_s rows = testRows(this, weights, numWeights);
    Sample sample;
    std::vector<int32_t> secondGroups;
    for (qint64 r = 0; r < std::min<qint64>(rows.count, first.rows); ++r) {
        const int32_t a = firstGroups[size_t(r)];
        const int32_t b = second.groupOf(r);
        if (a >= 0 && b >= 0 && rowCounts(rows, r, mask, length)) {
            sample.add(rows.values[r], a, ds_row_frequency(rows, r));
            secondGroups.push_back(b);
        }
    }
    int64_t d1 = 0, d2 = 0;
    const double f = ds_anova_two_way(sample.values.data(), sample.groups.data(), secondGroups.data(),
                                      sample.weights.data(), sample.size(), first.bins, second.bins, &d1, &d2);
    writeDegrees(d1, d2, df1, df2);
    return f;
}

double DSNumericColumn::calculateRepeatedMeasuresANOVA(const Columns &columns, qint64 *df1, qint64 *df2,
                                                       const uint8_t *mask, qint64 length)
{
    return overRemainingRows(ds_anova_repeated_measures, columns, df1, df2, mask, length);
}

namespace {

// The numeric rows in the form the value correlations read.
ds_time_rows_s valueRows(const ds_numeric_rows_s &rows)
{
    ds_time_rows_s values{};
    values.values = rows.values;
    values.count = rows.values ? rows.count : 0;
    values.missing = rows.missing;
    values.missing_length = rows.missing_length;
    values.weights = rows.weights;
    values.num_weights = rows.num_weights;
    return values;
}

ds_corr_s correlationOfCategories()
{
    ds_corr_s c{};
    c.correlation = c.covariance = c.p_value = c.r_squared = c.z_score = NAN;
    return c;
}

}  // namespace

ds_corr_s DSNumericColumn::calculateCorrelation(DSColumn *other, const uint8_t *mask, qint64 length)
{
    if (auto *indicator = dynamic_cast<DSIndicatorColumn *>(other))
        return indicator->calculateCorrelation(this, mask, length);
    if (treat_as_categories())
        return correlationOfCategories();
    auto *numeric = dynamic_cast<DSNumericColumn *>(other);
    auto *times = dynamic_cast<DSTimeColumn *>(other);
    if (!numeric && !times) {
        ds_corr_s c{};
        c.correlation = c.r_squared = NAN;
        c.z_score = ds_correlation_z_score(NAN, 0, 0);
        c.p_value = ds_p_value_normal(c.z_score, 0);
        return c;
    }
    if (other->treat_as_categories())
        return correlationOfCategories();
    ds_time_rows_s y{};
    if (numeric) {
        y = valueRows(numeric->numericRows());
    } else {
        y.count = times->getTimeValues(&y.values, nullptr);
        y.missing_length = times->getMissingMask(&y.missing);
        if (!y.values)
            y.count = 0;
    }
    // Asked last, so that a derived column's values are the ones read.
    const ds_time_rows_s x = valueRows(numericRows());
    return ds_time_correlation(x, y, mask, length);
}

ds_corr_s DSNumericColumn::calculateCategoryCorrelation(const DSColumnCategory *category, const uint8_t *mask,
                                                        qint64 length)
{
    if (treat_as_categories()) {
        ds_corr_s c{};
        c.correlation = c.covariance = NAN;
        return c;
    }
    const int32_t *indexed = nullptr;
    DSColumn *column = category ? category->column() : nullptr;
    const qint64 rows = column ? column->getIndexedValues(&indexed, nullptr) : 0;
    return ds_category_correlation(valueRows(numericRows()), indexed, indexed ? rows : 0,
                                   category ? category->index() : -1, mask, length);
}

bool DSNumericColumn::calculateMultipleCorrelations(ds_corr_s *results, qint64 count, const int32_t *byIndexes,
                                                    const uint8_t *mask, qint64 length)
{
    if (!byIndexes)
        return false;
    return ds_time_multiple_correlations(valueRows(numericRows()), byIndexes, results, count, mask, length);
}

double DSNumericColumn::calculateIndependence(DSColumn *covariate, const Categories &categories, qint64 *df,
                                              const uint8_t *mask, qint64 length)
{
    if (!treat_as_categories())
        return NAN;
    return DSColumn::calculateIndependence(covariate, categories, df, mask, length);
}
