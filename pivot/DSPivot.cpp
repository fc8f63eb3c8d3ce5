#include "pivot/DSPivot.h"

#include "model/DSColumnCategory.h"
#include "model/DSColumnSummary.h"
#include "model/DSDataRoot.h"
#include "model/DSDataTable.h"
#include "model/DSDate.h"
#include "model/DSDateFormatter.h"
#include "model/DSDurationFormatter.h"
#include "model/DSIndicatorColumn.h"
#include "model/DSNumericColumn.h"
#include "model/DSNumericPartition.h"
#include "model/DSTextColumn.h"
#include "model/DSTextFormatter.h"
#include "model/DSTextPartition.h"
#include "model/DSTimeColumn.h"
#include "model/DSTimePartition.h"
#include "model/ds_time_units.h"
#include "model/util/ds_histogram.h"
#include "model/util/ds_labels.h"
#include "model/util/ds_row_weight.h"
#include "pivot/DSAggregation.h"
#include "pivot/DSAggregationInput.h"
#include "pivot/DSPivotInput.h"
#include "platform/store/DSManagedObjectContext.h"

#include <QDebug>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <new>
#include <numeric>

namespace {

const QString k_inputs = QStringLiteral("inputs");
const QString k_missing = QStringLiteral("Missing");

// The column's missing rows, copied: the column's next request may reuse
// the buffer it hands out.
std::vector<uint8_t> missingRows(DSColumn *column)
{
    const uint8_t *missing = nullptr;
    const int64_t bytes = column->getMissingMask(&missing);
    return missing && bytes > 0 ? std::vector<uint8_t>(missing, missing + bytes) : std::vector<uint8_t>();
}

// A label that is its own value (bins, text ranges, "Missing").
void appendLabel(QStringList &labels, QVariantList &values, const QString &label)
{
    labels << label;
    values << label;
}

bool bitOf(const std::vector<uint8_t> &bits, int64_t row)
{
    return row >> 3 < int64_t(bits.size()) && (bits[size_t(row >> 3)] >> (row & 7)) & 1;
}

// Open addressing from exact 64-bit codes to row numbers, sized once for
// at most `capacity` distinct codes.
class CodeTable
{
public:
    explicit CodeTable(int64_t capacity)
    {
        const uint64_t slots = std::bit_ceil(uint64_t(std::max<int64_t>(capacity, 1)) * 2);
        m_keys.assign(slots, 0);
        m_rows.assign(slots, -1);
        m_mask = slots - 1;
    }
    // The row of code, numbering a new code `next`.
    int32_t rowFor(int64_t code, int32_t next)
    {
        // Fibonacci hashing spreads consecutive codes over the slots.
        uint64_t slot = (uint64_t(code) * 0x9E3779B97F4A7C15ull) >> 20 & m_mask;
        while (m_rows[slot] >= 0) {
            if (m_keys[slot] == code)
                return m_rows[slot];
            slot = (slot + 1) & m_mask;
        }
        m_keys[slot] = code;
        m_rows[slot] = next;
        return next;
    }

private:
    std::vector<int64_t> m_keys;
    std::vector<int32_t> m_rows;
    uint64_t m_mask = 0;
};

} // namespace

DSTable *DSPivot::owner() const
{
    return ds_object_cast<DSTable>(objectForKey(QStringLiteral("owner")));
}

void DSPivot::setOwner(DSTable *owner)
{
    setObject(owner, QStringLiteral("owner"));
}

DSAggregation *DSPivot::sort_by_aggregation() const
{
    return ds_object_cast<DSAggregation>(objectForKey(QStringLiteral("sort_by_aggregation")));
}

void DSPivot::setSort_by_aggregation(DSAggregation *aggregation)
{
    setObject(aggregation, QStringLiteral("sort_by_aggregation"));
}

void DSPivot::awakeFromInsert()
{
    DSManagedObject::awakeFromInsert();
    m_widths.fill(1);
}

void DSPivot::awakeFromFetch()
{
    DSManagedObject::awakeFromFetch();
    m_widths.fill(1);
}

void DSPivot::didTurnIntoFault()
{
    for (int k = 0; k < k_slots; ++k) {
        m_labels[size_t(k)].clear();
        m_values[size_t(k)].clear();
    }
    std::vector<int64_t>().swap(m_record2labelIndex);
    std::vector<int32_t>().swap(m_record2valueIndex);
    std::vector<int64_t>().swap(m_valueIndex2labelIndex);
    std::vector<ds_sortable_entry_s>().swap(m_sortedEntries);
    m_nonemptyCount = 0;
    DSManagedObject::didTurnIntoFault();
}

void DSPivot::prepareForDeletion()
{
    if (DSTable *table = owner()) {
        if (table->pivotAtIndex(index()) == this)
            table->removePivotFromIndex(index());
        table->removeObject(this, QStringLiteral("pivots"));
    }
    DSManagedObject::prepareForDeletion();
}

DSObjectList DSPivot::managedObjectDependencies()
{
    DSObjectList dependencies = DSManagedObject::managedObjectDependencies();
    for (DSManagedObject *input : objectsForKey(k_inputs))
        dependencies += input->managedObjectDependencies();
    return dependencies;
}

QList<DSPivotInput *> DSPivot::sortedInputs() const
{
    const DSTable *table = owner();
    const int64_t shown = std::min<int64_t>(table ? table->integerForKey(QStringLiteral("pivot_input_count")) : 0,
                                            k_slots);
    QList<DSPivotInput *> inputs;
    for (DSPivotInput *input : ds_objects_cast<DSPivotInput>(objectsForKey(k_inputs)))
        if (input->index() >= 0 && input->index() < shown)
            inputs << input;
    std::stable_sort(inputs.begin(), inputs.end(),
                     [](const DSPivotInput *a, const DSPivotInput *b) { return a->index() < b->index(); });
    return inputs;
}

DSPivotInput *DSPivot::inputAtIndex(qint64 slot) const
{
    for (DSPivotInput *input : ds_objects_cast<DSPivotInput>(objectsForKey(k_inputs)))
        if (input->index() == slot)
            return input;
    return nullptr;
}

DSPivotInput *DSPivot::addInput(qint64 slot, DSColumn *column)
{
    auto *input = ds_object_cast<DSPivotInput>(insertNewObjectOfEntity(QStringLiteral("DSPivotInput")));
    if (!input)
        return nullptr;
    input->setIndex(slot);
    input->setIs_enabled(true);
    input->setColumn(column);
    input->setOwner(this);
    return input;
}

DSPivotInput *DSPivot::firstEnabledInput() const
{
    for (DSPivotInput *input : sortedInputs())
        if (input->takesPart())
            return input;
    return nullptr;
}

int64_t DSPivot::numberOfEnabledInputs() const
{
    const QList<DSPivotInput *> inputs = sortedInputs();
    return std::count_if(inputs.begin(), inputs.end(), [](const DSPivotInput *input) { return input->takesPart(); });
}

int64_t DSPivot::widthForPivot(int64_t k) const
{
    return k >= 0 && k < int64_t(m_widths.size()) ? m_widths[size_t(k)] : 1;
}

int64_t DSPivot::numberOfLabelsForPivot(int64_t k) const
{
    return k >= 0 && k < k_slots ? m_labels[size_t(k)].size() : 0;
}

int64_t DSPivot::strideForPivot(int64_t k) const
{
    return numberOfLabelsForPivot(k) * widthForPivot(k);
}

QString DSPivot::labelForPivot(int64_t k, int64_t j) const
{
    return j >= 0 && j < numberOfLabelsForPivot(k) ? m_labels[size_t(k)][j] : QString();
}

QVariant DSPivot::valueForPivot(int64_t k, int64_t j) const
{
    return k >= 0 && k < k_slots && j >= 0 && j < m_values[size_t(k)].size() ? m_values[size_t(k)][j] : QVariant();
}

QString DSPivot::stringValueForPivot(int64_t k, int64_t j) const
{
    return valueForPivot(k, j).toString();
}

std::optional<DSDate> DSPivot::dateValueForPivot(int64_t k, int64_t j) const
{
    const QVariant value = valueForPivot(k, j);
    return value.canConvert<DSDate>() && value.userType() == qMetaTypeId<DSDate>() ? std::optional(value.value<DSDate>())
                                                                                  : std::nullopt;
}

double DSPivot::doubleValueForPivot(int64_t k, int64_t j) const
{
    bool ok = false;
    const double x = valueForPivot(k, j).toDouble(&ok);
    return ok ? x : NAN;
}

int64_t DSPivot::labelPositionForRow(int64_t k, int64_t r) const
{
    const int64_t stride = strideForPivot(k);
    return stride > 0 ? (convertRowToLabelIndex(r) % stride) / widthForPivot(k) : 0;
}

int64_t DSPivot::convertRowToValueIndex(int64_t r) const
{
    if (isRanked())
        return r >= 0 && r < int64_t(m_sortedEntries.size()) ? m_sortedEntries[size_t(r)].value_index : -1;
    return r;
}

int64_t DSPivot::convertRowToLabelIndex(int64_t r) const
{
    if (isRanked())
        return r >= 0 && r < int64_t(m_sortedEntries.size()) ? m_sortedEntries[size_t(r)].label_index : 0;
    return r >= 0 && r < int64_t(m_valueIndex2labelIndex.size()) ? m_valueIndex2labelIndex[size_t(r)] : 0;
}

int64_t DSPivot::recordCount() const
{
    const DSTable *table = owner();
    return table ? std::max<qint64>(table->num_records(), 0) : 0;
}

void DSPivot::recomputePivot()
{
    const int64_t n = recordCount();
    m_overflowMessage.clear();
    m_codeSpace = 1;
    m_widths.fill(1);
    try {
        m_record2labelIndex.assign(size_t(n), 0);
    } catch (const std::bad_alloc &) {
        qWarning("Pivot: no memory for the codes of %lld records", static_cast<long long>(n));
        m_record2labelIndex.clear();
        m_overflowMessage = QStringLiteral("Not enough memory for the pivot's rows.");
        return;
    }
    for (DSPivotInput *input : sortedInputs()) {
        if (!input->takesPart())
            continue;
        const int64_t k = input->index();
        QStringList &labels = m_labels[size_t(k)];
        QVariantList &values = m_values[size_t(k)];
        labels.clear();
        values.clear();
        DSColumn *column = input->column();
        int64_t count = 0;
        if (column->treat_as_categories() || ds_object_cast<DSIndicatorColumn>(column))
            count = recomputePivotForCategoryColumn(column, labels, values);
        else if (ds_object_cast<DSNumericColumn>(column))
            count = recomputePivotForNumericColumn(column, labels, values);
        else if (ds_object_cast<DSTextColumn>(column))
            count = recomputePivotForTextColumn(column, labels, values);
        else if (ds_object_cast<DSTimeColumn>(column))
            count = recomputePivotForTimeColumn(column, labels, values);
        if (!m_overflowMessage.isNull())
            return;
        for (int64_t j = 0; j < k && count > 0; ++j)
            m_widths[size_t(j)] *= count;
    }
}

int64_t DSPivot::foldCodes(const std::vector<int32_t> &positions, int64_t count)
{
    if (count <= 0)
        return 0;
    if (m_codeSpace > std::numeric_limits<int64_t>::max() / count) {
        m_overflowMessage = QStringLiteral("The inputs have too many labels to combine: remove an input or "
                                           "use coarser groups.");
        qWarning("Pivot: the label counts multiply past 2^63 - 1; no rows");
        return 0;
    }
    m_codeSpace *= count;
    for (size_t i = 0; i < m_record2labelIndex.size(); ++i)
        m_record2labelIndex[i] = m_record2labelIndex[i] * count + (i < positions.size() ? positions[i] : 0);
    return count;
}

int64_t DSPivot::recomputePivotForCategoryColumn(DSColumn *column, QStringList &labels, QVariantList &values)
{
    const std::shared_ptr<DSColumnSummary> summary = column->summaryWithSignificance(NAN);
    if (!summary)
        return 0;
    std::vector<int32_t> positionOf(size_t(summary->numberOfCategories()), -1);
    std::shared_ptr<DSColumnCategory> missing;
    for (const auto &category : summary->nonempty_categories()) {
        if (category->is_missing()) {
            missing = category;
            continue;
        }
        if (category->index() >= 0 && category->index() < int64_t(positionOf.size()))
            positionOf[size_t(category->index())] = int32_t(labels.size());
        labels << category->longValue();
        const QCborValue value = DSAggregationInput::valueOfCategory(*category);
        values << (value.isUndefined() ? QVariant(category->longValue()) : value.toVariant());
    }
    const int32_t missingPosition = int32_t(labels.size());
    if (missing) {
        if (missing->index() >= 0 && missing->index() < int64_t(positionOf.size()))
            positionOf[size_t(missing->index())] = missingPosition;
        labels << k_missing;
        values << (ds_object_cast<DSNumericColumn>(column) ? QVariant(double(NAN)) : QVariant(QString()));
    }
    const int64_t n = int64_t(m_record2labelIndex.size());
    const int32_t *indexes = nullptr;
    qint64 bins = 0;
    const int64_t indexed = column->getIndexedValues(&indexes, &bins);
    std::vector<int32_t> positions(static_cast<size_t>(n), missing ? missingPosition : 0);
    for (int64_t i = 0; i < std::min(n, indexed); ++i) {
        const int32_t c = indexes[i];
        if (c >= 0 && c < int32_t(positionOf.size()) && positionOf[size_t(c)] >= 0)
            positions[size_t(i)] = positionOf[size_t(c)];
    }
    return foldCodes(positions, labels.size());
}

int64_t DSPivot::recomputePivotForNumericColumn(DSColumn *column, QStringList &labels, QVariantList &values)
{
    auto *numeric = static_cast<DSNumericColumn *>(column);
    const std::vector<uint8_t> missing = missingRows(numeric);
    const ds_stats_s stats = numeric->calculateStatsWithMask(nullptr, 0, ds_stats_extremes);
    double resolution = NAN;
    QList<double> cuts;
    if (auto *partition = ds_object_cast<DSNumericPartition>(numeric->pivot_partition()))
        cuts = partition->cutoffValuesFromValue(stats.min, stats.max, &resolution).value_or(QList<double>());
    const bool spread = stats.min != stats.max || std::isnan(stats.min) || std::isnan(stats.max);
    if (!spread)
        cuts.clear();
    const int64_t bins = cuts.size() + 1;

    const int64_t n = int64_t(m_record2labelIndex.size());
    const double *x = nullptr;
    const int64_t count = std::min<int64_t>(numeric->getValues(&x), n);
    std::vector<int32_t> bin(static_cast<size_t>(n), int32_t(bins));
    if (count > 0)
        ds_index_by_double_cutoffs(x, bin.data(), count, nullptr, 0, cuts.constData(), cuts.size(), resolution);
    bool anyMissing = false;
    std::vector<int32_t> positions(static_cast<size_t>(n));
    for (int64_t i = 0; i < n; ++i) {
        const int32_t b = bin[size_t(i)];
        if (b < 0 || b >= bins || bitOf(missing, i)) {
            anyMissing = true;
            positions[size_t(i)] = int32_t(bins);
        } else {
            positions[size_t(i)] = int32_t(bins - 1 - b);
        }
    }
    const std::unique_ptr<DSDurationFormatter> formatter = numeric->NSNumberFormatter();
    for (int64_t b = bins - 1; b >= 0; --b) {
        appendLabel(labels, values,
                    ds_bin_label(int32_t(b), std::span<const double>(cuts.constData(), size_t(cuts.size())),
                                 numeric->name(), formatter.get(), stats.min, stats.max, resolution));
    }
    if (anyMissing)
        appendLabel(labels, values, k_missing);
    return foldCodes(positions, labels.size());
}

int64_t DSPivot::recomputePivotForTextColumn(DSColumn *column, QStringList &labels, QVariantList &values)
{
    auto *text = static_cast<DSTextColumn *>(column);
    const std::vector<uint8_t> missing = missingRows(text);
    auto *partition = ds_object_cast<DSTextPartition>(text->pivot_partition());
    bool anyMissing = false;
    const QList<qint64> cuts = partition ? partition->indexCutoffValues(&anyMissing).value_or(QList<qint64>())
                                         : QList<qint64>();
    const QList<DSRange> ranges = partition ? partition->displayableTextRangesForIndexCutoffValues(cuts)
                                            : QList<DSRange>();
    auto *formatter = ds_object_cast<DSTextFormatter>(text->text_formatter());
    for (qsizetype j = 0; j <= cuts.size(); ++j) {
        const DSRange range = ranges.value(j);
        if (formatter)
            appendLabel(labels, values, formatter->formatAndTruncateRange(range));
        else
            appendLabel(labels, values,
                        range.firstValue() == range.lastValue()
                            ? range.firstValue().toString()
                            : range.firstValue().toString() + QStringLiteral(" \u2014 ") + range.lastValue().toString());
    }
    const int64_t n = int64_t(m_record2labelIndex.size());
    const std::vector<int32_t> intCuts(cuts.begin(), cuts.end());
    const int32_t *indexes = nullptr;
    qint64 entries = 0;
    const int64_t count = std::min<int64_t>(text->getIndexedValues(&indexes, &entries), n);
    const int32_t missingPosition = int32_t(cuts.size() + 1);
    std::vector<int32_t> positions(static_cast<size_t>(n), missingPosition);
    if (count > 0)
        ds_index_by_int_cutoffs(indexes, positions.data(), count, nullptr, 0, intCuts.data(), int64_t(intCuts.size()));
    for (int64_t i = 0; i < n; ++i) {
        int32_t &position = positions[size_t(i)];
        if (bitOf(missing, i) || position < 0 || position > missingPosition)
            position = missingPosition;
        anyMissing |= position == missingPosition;
    }
    if (anyMissing)
        appendLabel(labels, values, k_missing);
    return foldCodes(positions, labels.size());
}

int64_t DSPivot::recomputePivotForTimeColumn(DSColumn *column, QStringList &labels, QVariantList &values)
{
    auto *time = static_cast<DSTimeColumn *>(column);
    const std::vector<uint8_t> missing = missingRows(time);
    const ds_time_stats_s stats = time->calculateStatsForMask(nullptr, 0, 1);
    QList<double> cuts;
    if (auto *partition = ds_object_cast<DSTimePartition>(time->pivot_partition()))
        cuts = partition->cutoffsForStats(stats, nullptr);
    const int64_t spans = std::max<int64_t>(cuts.size() - 1, 0);
    const bool timeOfDay = time->isTimeOfDay();
    DSDateFormatter formatter;
    for (int64_t j = 0; j < spans; ++j) {
        const double start = cuts[j], end = cuts[j + 1];
        QString label = ds_time_span_label(&formatter, timeOfDay, start, end);
        if (label.isNull())
            label = formatter.formattedStringForTimeTemplate(start, timeOfDay ? QStringLiteral("jmm")
                                                                              : QStringLiteral("yMdjmm"));
        labels << label;
        values << QVariant::fromValue(timeOfDay ? DSDate::dateWithTimeIntervalSinceMidnight(start, end - start)
                                                : DSDate::dateWithTimeIntervalSinceReferenceDate(start, end - start));
    }
    const int64_t n = int64_t(m_record2labelIndex.size());
    const double *starts = nullptr;
    const int64_t count = std::min<int64_t>(time->getTimeValues(&starts, nullptr), n);
    std::vector<int32_t> positions(static_cast<size_t>(n), int32_t(spans));
    if (count > 0 && spans > 0)
        ds_bin_times(starts, positions.data(), count, nullptr, 0, cuts.constData(), cuts.size());
    bool anyMissing = false;
    for (int64_t i = 0; i < n; ++i)
        if (bitOf(missing, i) || positions[size_t(i)] < 0 || positions[size_t(i)] >= spans) {
            positions[size_t(i)] = int32_t(spans);
            anyMissing = true;
        }
    if (anyMissing) {
        labels << k_missing;
        values << QVariant::fromValue(DSDate::dateWithTimeIntervalSinceReferenceDate(NAN, 0));
    }
    return foldCodes(positions, labels.size());
}

void DSPivot::recomputeNonEmptyRowsWithMask(const uint8_t *mask, int64_t length)
{
    const int64_t n = int64_t(m_record2labelIndex.size());
    m_nonemptyCount = 0;
    m_valueIndex2labelIndex.clear();
    m_sortedEntries.clear();
    try {
        m_record2valueIndex.assign(size_t(n), -1);
        if (!m_overflowMessage.isNull())
            return;
        // Counting needs one slot a code: worth it while the codes are not
        // much sparser than the records.
        if (m_codeSpace <= std::max<int64_t>(2 * n, 1 << 16))
            rowsByCounting(mask, length);
        else
            rowsByHashing(mask, length);
    } catch (const std::bad_alloc &) {
        qWarning("Pivot: no memory for the rows of %lld records", static_cast<long long>(n));
        m_nonemptyCount = 0;
        m_valueIndex2labelIndex.clear();
        std::fill(m_record2valueIndex.begin(), m_record2valueIndex.end(), -1);
    }
}

void DSPivot::rowsByCounting(const uint8_t *mask, int64_t length)
{
    const int64_t n = int64_t(m_record2labelIndex.size());
    std::vector<int32_t> rowOfCode(size_t(m_codeSpace), 0);
    for (int64_t i = 0; i < n; ++i)
        if (ds_row_admitted(mask, length, i))
            rowOfCode[size_t(m_record2labelIndex[size_t(i)])] = 1;
    int32_t rows = 0;
    for (int64_t code = 0; code < m_codeSpace; ++code)
        if (rowOfCode[size_t(code)]) {
            rowOfCode[size_t(code)] = rows++;
            m_valueIndex2labelIndex.push_back(code);
        }
    m_nonemptyCount = rows;
    for (int64_t i = 0; i < n; ++i)
        if (ds_row_admitted(mask, length, i))
            m_record2valueIndex[size_t(i)] = rowOfCode[size_t(m_record2labelIndex[size_t(i)])];
}

// Numbers the distinct codes in order of first appearance through a hash
// table, sorts only the distinct codes, then renumbers the records: rows
// come out in ascending code order without sorting the records.
void DSPivot::rowsByHashing(const uint8_t *mask, int64_t length)
{
    const int64_t n = int64_t(m_record2labelIndex.size());
    CodeTable table(std::min(n, m_codeSpace));
    std::vector<int64_t> codes;
    for (int64_t i = 0; i < n; ++i) {
        if (!ds_row_admitted(mask, length, i))
            continue;
        const int64_t code = m_record2labelIndex[size_t(i)];
        const int32_t row = table.rowFor(code, int32_t(codes.size()));
        if (row == int32_t(codes.size()))
            codes.push_back(code);
        m_record2valueIndex[size_t(i)] = row;
    }
    std::vector<int32_t> order(codes.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int32_t a, int32_t b) { return codes[size_t(a)] < codes[size_t(b)]; });
    std::vector<int32_t> rank(codes.size());
    m_valueIndex2labelIndex.resize(codes.size());
    for (size_t r = 0; r < order.size(); ++r) {
        rank[size_t(order[r])] = int32_t(r);
        m_valueIndex2labelIndex[r] = codes[size_t(order[r])];
    }
    for (int32_t &row : m_record2valueIndex)
        if (row >= 0)
            row = rank[size_t(row)];
    m_nonemptyCount = int64_t(codes.size());
}

void DSPivot::recomputeValuesWithMask(const uint8_t *mask, int64_t length)
{
    DSTable *table = owner();
    if (!table)
        return;
    const int64_t n = int64_t(m_record2labelIndex.size());
    const int32_t *weights = nullptr;
    const int64_t weighted = table->getFrequencyWeights(&weights);
    if (weighted < n)
        weights = nullptr;
    recomputeNonEmptyRowsWithMask(mask, length);
    for (const QString &kind : {QStringLiteral("column"), QStringLiteral("computed")}) {
        const DSObjectList aggregations =
            kind == QLatin1String("column") ? table->sortedColumnAggregations() : table->sortedComputedAggregations();
        for (DSAggregation *aggregation : ds_objects_cast<DSAggregation>(aggregations))
            aggregation->recomputeValuesByIndex(m_record2valueIndex.data(), n, m_nonemptyCount, weights, mask, length);
    }
    recomputeRanking();
}

void DSPivot::recomputeRanking()
{
    m_sortedEntries.clear();
    DSAggregation *ranker = sort_by_aggregation();
    if (!ranker || m_nonemptyCount <= 0)
        return;
    const int64_t category = sort_aggregation_category();
    DSPivotInput *first = firstEnabledInput();
    const int64_t divisor = first ? std::max<int64_t>(widthForPivot(first->index()), 1) : 1;
    const bool grouping = numberOfEnabledInputs() >= 2 && fixed_input_count() > 0;
    m_sortedEntries.resize(size_t(m_nonemptyCount));
    for (int64_t i = 0; i < m_nonemptyCount; ++i) {
        const int64_t code = m_valueIndex2labelIndex[size_t(i)];
        const double value = ranker->doubleValueAtIndex(i, category);
        m_sortedEntries[size_t(i)] = {code, i, grouping ? code / divisor : 0,
                                      std::isnan(value) ? -std::numeric_limits<double>::infinity() : value};
    }
    const bool ascending = sort_aggregation_ascending();
    // Stable, so rows of equal value keep their code order.
    std::stable_sort(m_sortedEntries.begin(), m_sortedEntries.end(),
                     [ascending](const ds_sortable_entry_s &a, const ds_sortable_entry_s &b) {
                         if (a.group != b.group)
                             return a.group < b.group;
                         return ascending ? a.value < b.value : a.value > b.value;
                     });
}

bool DSPivot::wantsDittoMarksForPivot(int64_t k) const
{
    if (!sort_by_aggregation())
        return true;
    if (fixed_input_count() <= 0)
        return false;
    const DSPivotInput *first = firstEnabledInput();
    return first && first->index() == k;
}

DSDataTable *DSPivot::insertDataTableInManagedObjectContext(DSManagedObjectContext *context)
{
    DSTable *source = owner();
    if (!source || !context)
        return nullptr;
    auto *table = context->insertNewObject<DSDataTable>(QStringLiteral("DSDataTable"));
    if (!table)
        return nullptr;
    table->decodeAttributes(source->encodedManagedObject());
    DSDataRoot *root = source->data_root();
    table->setIndex(root ? root->tables().size() : 0);
    table->setName(source->name() + QStringLiteral(" Pivot"));
    table->setNum_records(numberOfRows());
    table->setData_root(root);
    table->setShowRecords(true);
    table->makeDependencies();
    context->processPendingChanges();

    QList<DSColumn *> columns;
    for (DSPivotInput *input : sortedInputs())
        if (input->takesPart())
            if (DSColumn *column = input->insertDataColumnInManagedObjectContext(context))
                columns << column;
    for (DSAggregation *aggregation : ds_objects_cast<DSAggregation>(source->sortedAggregations()))
        if (aggregation->is_enabled())
            columns += aggregation->insertDataTablesForPivot(this, context);
    table->insertNewColumns(columns, 0);
    context->processPendingChanges();
    return table;
}
