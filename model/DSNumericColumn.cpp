#include "model/DSNumericColumn.h"

#include "model/DSNumberFormatter.h"
#include "model/DSNumericColumnCategory.h"
#include "model/DSReentryGuard.h"
#include "model/DSTable.h"
#include "model/ds_missing_values_predicate.h"
#include "model/ds_numeric_bins.h"
#include "model/ds_row_mask.h"
#include "model/ds_value_comparisons.h"
#include "model/util/ds_colors.h"

#include <algorithm>
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
