#include "model/DSTextColumn.h"

#include "model/DSReentryGuard.h"
#include "model/DSStatDocument.h"
#include "model/DSTable.h"
#include "model/DSTextColumnCategory.h"
#include "model/DSTextPartition.h"
#include "model/ds_missing_values_predicate.h"
#include "model/ds_row_mask.h"
#include "model/util/ck_hash_table.h"
#include "model/util/ds_colors.h"
#include "model/util/ds_histogram.h"
#include "platform/store/DSManagedObjectContext.h"
#include "platform/store/DSManagedObjectModel.h"

#include <QHash>
#include <QStringDecoder>

#include <algorithm>
#include <cmath>
#include <cstring>
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

// Whether a row's text passes one "value" comparison, ignoring case.
bool valueMatches(const QString &text, DSPredicateOperatorType type, const QString &operand)
{
    switch (type) {
    case DSPredicateOperatorType::EqualTo:
        return text.compare(operand, Qt::CaseInsensitive) == 0;
    case DSPredicateOperatorType::NotEqualTo:
        return text.compare(operand, Qt::CaseInsensitive) != 0;
    case DSPredicateOperatorType::BeginsWith:
        return text.startsWith(operand, Qt::CaseInsensitive);
    case DSPredicateOperatorType::EndsWith:
        return text.endsWith(operand, Qt::CaseInsensitive);
    case DSPredicateOperatorType::Contains:
        return text.contains(operand, Qt::CaseInsensitive);
    default:
        return false;
    }
}

bool isValueOperator(DSPredicateOperatorType type)
{
    switch (type) {
    case DSPredicateOperatorType::EqualTo:
    case DSPredicateOperatorType::NotEqualTo:
    case DSPredicateOperatorType::BeginsWith:
    case DSPredicateOperatorType::EndsWith:
    case DSPredicateOperatorType::Contains:
        return true;
    default:
        return false;
    }
}

} // namespace

QString DSTextColumn::labelOf(const QCborMap &labels, const QString &text)
{
    if (labels.isEmpty() || text.isNull())
        return QString();
    const QCborValue label = labels.value(text);
    return label.isString() ? label.toString() : QString();
}

QString DSTextColumn::stringForText(const char *text)
{
    if (!text)
        return QString();
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString string = decoder.decode(QByteArrayView(text, qsizetype(std::strlen(text))));
    return decoder.hasError() ? QString() : string;
}

qint64 DSTextColumn::getTextValues(const char *const **out)
{
    const DSReentryGuard guard(this, WholeColumn);
    if (guard.reentered())
        return handOut<const char *>(out, nullptr, 0);
    return getTextValues(out, 0, tableRowCount());
}

qint64 DSTextColumn::getTextValues(const char *const **out, qint64 offset, qint64 limit)
{
    const DSReentryGuard guard(this, Range);
    const char *const *rows = nullptr;
    const qint64 count = guard.reentered() ? 0 : getTextValues(&rows);
    offset = std::max<qint64>(offset, 0);
    const qint64 answered = rows && offset < count ? std::clamp<qint64>(limit, 0, count - offset) : 0;
    return handOut<const char *>(out, answered ? rows + offset : nullptr, answered);
}

qint64 DSTextColumn::getMissingMask(const uint8_t **out, qint64 offset, qint64 limit)
{
    offset = std::max<qint64>(offset, 0);
    const qint64 length = setupMissingMask(offset, limit);
    const char *const *rows = nullptr;
    const qint64 count = std::min(getTextValues(&rows, offset, limit), rowsInRange(offset, limit));
    if (length && rows && count > 0)
        ds_mark_rows(sharedMissingMask(), offset, count, [rows](int64_t i) { return rows[i] == nullptr; });
    if (out)
        *out = length ? missingMask() : nullptr;
    return length;
}

qint64 DSTextColumn::setupMissingMask(qint64 offset, qint64 limit)
{
    DSPredicatePtr predicate;
    const qint64 length = setupMissingMaskForPredicate(offset, limit, &predicate);
    if (!predicate)
        return length;
    const char *const *rows = nullptr;
    const qint64 count = std::min(getTextValues(&rows, offset, limit), rowsInRange(offset, limit));
    if (!rows || count <= 0)
        return length;
    ds_mark_rows(sharedMissingMask(), offset, count, [rows](int64_t i) { return rows[i] == nullptr; });

    const QCborMap labels = category_labels();
    QList<QByteArray> labelled;
    for (const DSComparisonPredicate *comparison : ds_predicate_comparisons(*predicate)) {
        if (comparison->rightExpression().kind() != DSExpression::Kind::ConstantValue)
            continue;
        const QString operand = comparison->rightExpression().constantValue().toText();
        if (operand.isEmpty())
            continue;
        const QString field = comparison->leftExpression().fieldName();
        const DSPredicateOperatorType type = comparison->predicateOperatorType();
        if (field == QLatin1String("value")) {
            markValueComparison(rows, offset, count, type, operand);
        } else if (field == QLatin1String("label")) {
            for (auto it = labels.constBegin(); it != labels.constEnd(); ++it) {
                const QString key = it.key().toString();
                if (!key.isEmpty() && ds_label_matches(it.value().toString(), type, operand))
                    labelled.append(key.toUtf8());
            }
        }
    }
    if (!labelled.isEmpty())
        markTexts(rows, offset, count, labelled);
    return length;
}

void DSTextColumn::markValueComparison(const char *const *rows, qint64 offset, qint64 count,
                                       DSPredicateOperatorType type, const QString &operand)
{
    if (!isValueOperator(type))
        return;
    ds_mark_rows(sharedMissingMask(), offset, count, [rows, type, &operand](int64_t i) {
        return rows[i] && valueMatches(QString::fromUtf8(rows[i]), type, operand);
    });
}

void DSTextColumn::markTexts(const char *const *rows, qint64 offset, qint64 count, const QList<QByteArray> &texts)
{
    ck_hash_table_s *set = ck_hash_create(2 * uint64_t(texts.size()), 32);
    if (!set) {
        qCritical("Error in malloc()");
        return;
    }
    for (const QByteArray &text : texts)
        ck_hash_insert_string(text.constData(), 1, set);
    uint8_t *mask = sharedMissingMask();
    for (qint64 i = 0; i < count; ++i)
        if (rows[i] && ck_hash_lookup_string(rows[i], set))
            ds_mask_set(mask, offset + i);
    ck_hash_free(set);
}

void DSTextColumn::makeDependencies()
{
    DSColumn::makeDependencies();
    makePartitions(QStringLiteral("DSTextPartition"));
}

void DSTextColumn::awakeFromInsert()
{
    temp_index.release();
    m_indexKept = false;
    // A column an import fills in a pool is left undecided: finishing the
    // import decides from its distinct texts. Objects of an older store
    // version (a migration's steps) take what their source holds.
    const DSManagedObjectContext *context = managedObjectContext();
    if (context && context->model().version() == DSStatDocument::storeModels().size())
        setTreat_as_categories(true);
    DSColumn::awakeFromInsert();
}

void DSTextColumn::awakeFromFetch()
{
    temp_index.release();
    m_indexKept = false;
    DSColumn::awakeFromFetch();
}

void DSTextColumn::didTurnIntoFault()
{
    temp_pointers.release();
    temp_counts.release();
    purgeIndex();
    DSColumn::didTurnIntoFault();
}

void DSTextColumn::purgeIndex()
{
    temp_index.release();
    m_indexKept = false;
    m_positionsKept = false;
    DSColumn::purgeIndex();
}

std::optional<DSExpression> DSTextColumn::defaultValueExpression() const
{
    return DSExpression::forConstantValue(DSPredicateValue::fromString(QString()));
}

qint64 DSTextColumn::getIndex(const char *const **out)
{
    if (m_indexKept)
        return handOut<const char *>(out, temp_index.data(), temp_index.used());
    return getUncachedIndex(out);
}

qint64 DSTextColumn::getUncachedIndex(const char *const **out)
{
    const char *const *rows = nullptr;
    const qint64 count = getTextValues(&rows);
    buildIndex(rows, count, nullptr);
    return handOut<const char *>(out, temp_index.data(), temp_index.used());
}

bool DSTextColumn::buildIndex(const char *const *rows, qint64 count, int32_t *positions)
{
    // A first index block holds 1,024 entries.
    const qint64 length = ds_text_index_build(
        rows, count, [this](int64_t n) { return temp_index.reserve(std::max<int64_t>(n, 1024)); }, positions);
    m_indexKept = length >= 0;
    temp_index.setUsed(std::max<qint64>(length, 0));
    if (length < 0)
        qCritical("Error in malloc()");
    return length >= 0;
}

qint64 DSTextColumn::numberOfUniqueValues()
{
    // Through getIndex, so that a stored column whose data changed drops
    // the index it kept.
    if (m_indexKept)
        return getIndex(nullptr);
    const char *const *rows = nullptr;
    const qint64 count = getTextValues(&rows);
    return std::max<qint64>(ds_text_unique_count(rows, count), 0);
}

quint64 DSTextColumn::maximumTextValueLength()
{
    const char *const *index = nullptr;
    const qint64 length = getIndex(&index);
    return ds_text_index_max_length(index, length);
}

qint64 DSTextColumn::getCovariateIndexedValues(const int32_t **out, qint64 *bins, const Categories &selected,
                                               const uint8_t *mask, qint64 length)
{
    if (treat_as_categories())
        return DSColumn::getCovariateIndexedValues(out, bins, selected, mask, length);
    const auto *partition = ds_object_cast<DSTextPartition>(covariate_partition());
    const QList<qint64> found =
        partition ? partition->indexCutoffValues(nullptr).value_or(QList<qint64>()) : QList<qint64>();
    const std::vector<int32_t> cuts(found.begin(), found.end());
    const int32_t *positions = nullptr;
    qint64 entries = 0;
    const qint64 n = getIndexedValues(&positions, &entries);
    int32_t *groups = n > 0 && positions ? covariateGroupsBuffer(n) : nullptr;
    if (!groups)
        return handOutCovariateGroups(out, bins, 0, 0);
    ds_index_by_int_cutoffs(positions, groups, n, mask, length, cuts.data(), qint64(cuts.size()));
    return handOutCovariateGroups(out, bins, n, qint64(cuts.size()) + 1);
}

qint64 DSTextColumn::getIndexedValues(const int32_t **out, qint64 *bins)
{
    if (!m_positionsKept)
        return getUncachedIndexedValues(out, bins);
    if (bins)
        *bins = temp_indexed_values_bins;
    return handOut<int32_t>(out, temp_indexed_values.data(), temp_indexed_values.used());
}

qint64 DSTextColumn::getUncachedIndexedValues(const int32_t **out, qint64 *bins)
{
    const char *const *rows = nullptr;
    const qint64 count = getTextValues(&rows);
    m_positionsKept = false;
    temp_indexed_values.setUsed(0);
    temp_indexed_values_bins = 0;
    if (bins)
        *bins = 0;
    int32_t *positions = count > 0 ? temp_indexed_values.reserve(count) : nullptr;
    if (!positions) {
        if (count > 0)
            qCritical("Error in malloc()");
        return handOut<int32_t>(out, nullptr, 0);
    }
    // Without a kept index, the index and the positions come from one pass.
    const bool placed = m_indexKept ? ds_text_index_positions(temp_index.data(), temp_index.used(), rows, count, positions)
                                    : buildIndex(rows, count, positions);
    const qint64 length = temp_index.used();
    if (!placed || length <= 0) {
        if (!placed)
            qCritical("Error in malloc()");
        return handOut<int32_t>(out, nullptr, 0);
    }
    temp_indexed_values.setUsed(count);
    temp_indexed_values_bins = length;
    m_positionsKept = true;
    if (bins)
        *bins = length;
    return handOut<int32_t>(out, positions, count);
}

qint64 DSTextColumn::getIndexedValueOrder(const int32_t **out)
{
    const char *const *index = nullptr;
    const qint64 length = getIndex(&index);
    int32_t *order = length > 0 ? temp_ordered2unordered.reserve(length) : nullptr;
    if (!order)
        return handOut<int32_t>(out, nullptr, 0);
    QHash<QString, int32_t> entries;
    for (qint64 p = 0; p < length; ++p)
        if (const QString text = stringForText(index[p]); !text.isNull())
            entries.insert(text, int32_t(p));
    std::vector<bool> placed(size_t(length), false);
    qint64 next = 0;
    for (const QCborValue &value : ordered_values()) {
        const auto entry = entries.constFind(value.toString());
        if (!value.isString() || entry == entries.constEnd() || placed[size_t(*entry)])
            continue;
        placed[size_t(*entry)] = true;
        order[next++] = *entry;
    }
    for (qint64 p = 0; p < length; ++p)
        if (!placed[size_t(p)])
            order[next++] = int32_t(p);
    temp_ordered2unordered.setUsed(length);
    return handOut<int32_t>(out, order, length);
}

qint64 DSTextColumn::getCounts(const ds_txt_counts_s **out, const uint8_t *mask, qint64 length)
{
    // Positions first: without a kept index, both come from one pass.
    ds_text_rows_s rows = {};
    rows.count = getIndexedValues(&rows.positions, nullptr);
    const char *const *index = nullptr;
    const qint64 entries = getIndex(&index);
    ds_txt_counts_s *counts = entries > 0 ? temp_counts.reserve(entries) : nullptr;
    if (!counts)
        return handOut<ds_txt_counts_s>(out, nullptr, 0);
    rows.missing_length = getMissingMask(&rows.missing);
    rows.num_weights = getFrequencyWeights(&rows.weights);
    if (!ds_text_index_counts(index, entries, &rows, mask, length, counts)) {
        qCritical("Error in malloc()");
        return handOut<ds_txt_counts_s>(out, nullptr, 0);
    }
    temp_counts.setUsed(entries);
    return handOut<ds_txt_counts_s>(out, counts, entries);
}

DSColumn::Categories DSTextColumn::categoriesForMask(const uint8_t *mask, qint64 length)
{
    const ds_txt_counts_s *counts = nullptr;
    const qint64 entries = getCounts(&counts, mask, length);
    const QCborMap labels = category_labels();
    Categories categories;
    for (qint64 k = 0; k < entries; ++k) {
        auto category = std::make_shared<DSTextColumnCategory>();
        category->setIndex(k);
        category->setCount(counts[k].count);
        category->setIs_missing(counts[k].missing != 0);
        const QString value = stringForText(counts[k].text);
        category->setValue(value);
        category->setLabel(labelOf(labels, value));
        categories.append(category);
    }
    return categories;
}

QList<double> DSTextColumn::hueIndex()
{
    const char *const *index = nullptr;
    const qint64 length = getIndex(&index);
    const QCborMap labels = category_labels();
    const QVariantMap colours = table() ? table()->label_colors() : QVariantMap();
    QList<double> hues(length, NAN);
    for (qint64 k = 0; k < length; ++k) {
        const QString text = stringForText(index[k]);
        if (text.isNull())
            continue;
        const QString label = labelOf(labels, text);
        const QString key = label.isNull() ? text : label;
        const auto colour = colours.constFind(key);
        hues[k] = colour != colours.constEnd() ? colour->toDouble() : ds_hue_for_text(key.toUtf8().constData());
    }
    return hues;
}

QString DSTextColumn::stringValueAtOffset(qint64 row, bool label)
{
    const char *const *text = nullptr;
    if (row < 0 || getTextValues(&text, row, 1) != 1 || !text || !*text)
        return QString();
    const QString value = QString::fromUtf8(*text);
    if (label && treat_as_categories())
        if (const QString labelled = labelOf(category_labels(), value); !labelled.isNull())
            return labelled;
    return value;
}
