#include "model/DSColumn.h"

#include "model/DSColumnCategory.h"
#include "model/DSColumnCondition.h"
#include "model/DSColumnSummary.h"
#include "model/DSIndicatorColumn.h"
#include "model/DSJoinColumnCondition.h"
#include "model/DSNumericColumn.h"
#include "model/DSReentryGuard.h"
#include "model/DSTable.h"
#include "model/DSTextColumn.h"
#include "model/DSTimeColumn.h"
#include "model/ds_covariate_independence.h"
#include "model/ds_join_key.h"
#include "model/ds_number_format.h"
#include "model/ds_row_mask.h"
#include "model/util/DSWordTokenizer.h"
#include "model/util/ck_hash_table.h"
#include "model/util/ds_contingency.h"
#include "model/util/ds_quantiles.h"
#include "model/util/ds_row_weight.h"
#include "model/util/ds_sort.h"
#include "platform/predicate/DSComparisonPredicate.h"
#include "platform/predicate/DSCompoundPredicate.h"
#include "platform/sterna/sterna.h"
#include "platform/store/DSEntityDescription.h"
#include "platform/store/DSManagedObjectContext.h"

#include <algorithm>
#include <atomic>
#include <limits>
#include <cmath>
#include <cstring>

namespace {

const QString k_outputs = QStringLiteral("outputs");
const QString k_inputs = QStringLiteral("inputs");
const QString k_owner = QStringLiteral("owner");
const QString k_column = QStringLiteral("column");
const QString k_index = QStringLiteral("index");
const QString k_columnRelations = QStringLiteral("column_relations");

// The members of a link between columns, none where the column's entity has
// no such link (the columns of an older store version being migrated).
DSObjectList linksForKey(const DSManagedObject *column, const QString &key)
{
    return column->entity()->relationshipNamed(key) ? column->objectsForKey(key) : DSObjectList();
}

// Sets up the column's shared tokenizer for the current locale; making one
// is costly, so each thread keeps one until the locale changes.
DSWordTokenizer &wordTokenizer()
{
    thread_local std::unique_ptr<DSWordTokenizer> tokenizer;
    if (!tokenizer || tokenizer->locale() != QLocale())
        tokenizer = std::make_unique<DSWordTokenizer>(QLocale());
    return *tokenizer;
}

// The members of a to-many relationship of this column whose "owner" is a
// column, in enumeration order.
QList<DSColumn *> ownersOf(const DSObjectList &links)
{
    QList<DSColumn *> owners;
    for (DSManagedObject *link : links)
        if (auto *owner = ds_object_cast<DSColumn>(link->objectForKey(k_owner)))
            owners.append(owner);
    return owners;
}

// The joined columns keyed on the column: the owners of the join conditions
// naming it on either side.
QList<DSColumn *> columnsJoinedOn(const DSManagedObject *column)
{
    QList<DSColumn *> joined = ownersOf(linksForKey(column, QStringLiteral("local_joins")));
    joined += ownersOf(linksForKey(column, QStringLiteral("foreign_joins")));
    return joined;
}

QList<DSColumn *> inputColumnsBySlot(const DSObjectList &links, bool descending)
{
    QList<DSManagedObject *> sorted = DSTable::sortedByIndex(links);
    if (descending)
        std::reverse(sorted.begin(), sorted.end());
    QList<DSColumn *> columns;
    for (DSManagedObject *link : sorted)
        if (auto *column = ds_object_cast<DSColumn>(link->objectForKey(k_column)))
            columns.append(column);
    return columns;
}

// Takes the column out of every role relation of a regression outcome
// (weights, exposure, strata, defaults, causes), which would otherwise name
// a deleted column; the relations stay, empty. The outcome is reached
// through the store, as the model layer sees no regression class.
void clearOutcomeRoles(DSManagedObject *outcome, const DSColumn *column)
{
    if (!outcome->entity()->relationshipNamed(k_columnRelations))
        return;
    for (DSManagedObject *relation : outcome->objectsForKey(k_columnRelations)) {
        if (relation->objectForKey(k_column) == column)
            relation->setObject(nullptr, k_column);
    }
}

QCborValue normalizedLabelKey(const QCborValue &key)
{
    return key.isInteger() ? QCborValue(double(key.toInteger())) : key;
}

} // namespace

DSColumn::DSColumn() = default;

DSColumn::~DSColumn()
{
    ck_hash_free(_foreign_missing_table);
}

QString DSColumn::name() const
{
    const QVariant stored = primitiveValueForKey(QStringLiteral("name"));
    return stored.isNull() ? suggestedName() : stored.toString();
}

void DSColumn::setCategory_labels(const QCborMap &labels)
{
    setPrimitiveValue(QVariant::fromValue(QCborValue(labels)), QStringLiteral("category_labels"));
}

void DSColumn::setOrdered_values(const QCborArray &values)
{
    setPrimitiveValue(QVariant::fromValue(QCborValue(values)), QStringLiteral("ordered_values"));
}

DSPredicatePtr DSColumn::missing_values_predicate() const
{
    const QCborValue stored = propertyListForKey(QStringLiteral("missing_values_predicate"));
    return stored.isUndefined() || stored.isNull() ? nullptr : DSPredicate::fromPropertyList(stored);
}

void DSColumn::setMissing_values_predicate(const DSPredicatePtr &predicate)
{
    setPrimitiveValue(predicate ? QVariant::fromValue(predicate->toPropertyList()) : QVariant(),
                      QStringLiteral("missing_values_predicate"));
}

DSTable *DSColumn::table() const
{
    return ds_object_cast<DSTable>(objectForKey(QStringLiteral("table")));
}

void DSColumn::setTable(DSTable *table)
{
    setObject(table, QStringLiteral("table"));
}

qint64 DSColumn::tableRowCount() const
{
    const DSTable *owner = table();
    return owner ? owner->num_records() : 0;
}

bool DSColumn::takesEdits()
{
    if (!isDamaged())
        return true;
    qWarning("The column “%s” is damaged: its values cannot be changed", qPrintable(name()));
    return false;
}

qint64 DSColumn::storedRowLimit() const
{
    const DSTable *owner = table();
    return owner ? owner->storedRowLimit() : std::numeric_limits<qint64>::max();
}

qint64 DSColumn::rowsInRange(qint64 offset, qint64 limit) const
{
    offset = std::max<qint64>(offset, 0);
    return std::max<qint64>(0, std::min(offset + std::max<qint64>(limit, 0), tableRowCount()) - offset);
}

DSObjectList DSColumn::managedObjectDependencies()
{
    DSObjectList dependencies = DSManagedObject::managedObjectDependencies();
    for (const char *key : {"text_formatter", "pivot_partition", "covariate_partition", "filter_partition"})
        if (DSManagedObject *owned = objectForKey(QString::fromLatin1(key)))
            dependencies += owned->managedObjectDependencies();
    for (const char *key : {"inputs", "join_conditions", "right_censoring_conditions"})
        for (DSManagedObject *owned : objectsForKey(QString::fromLatin1(key)))
            dependencies += owned->managedObjectDependencies();
    return dependencies;
}

void DSColumn::didTurnIntoFault()
{
    temp_covariate_indexed_values.release();
    temp_covariate_indexed_values_bins = 0;
    temp_survival_times.release();
    _missing_mask.release();
    _missing_mask_len = 0;
    temp_ordered2unordered.release();
    purgeImages();
    purgeStats();
    purgeIndex();
    if (DSTable *owner = table(); owner && !owner->isFault())
        owner->covariate_selection()->removeColumn(this);
    DSManagedObject::didTurnIntoFault();
}

void DSColumn::makeDependencies()
{
    if (text_formatter())
        return;
    if (DSManagedObject *formatter = insertNewObjectOfEntity(QStringLiteral("DSTextFormatter")))
        setObject(formatter, QStringLiteral("text_formatter"));
}

void DSColumn::makePartitions(const QString &entityName)
{
    for (const char *key : {"pivot_partition", "filter_partition", "covariate_partition"}) {
        const QString name = QString::fromLatin1(key);
        if (objectForKey(name))
            continue;
        DSManagedObject *partition = insertNewObjectOfEntity(entityName);
        if (!partition)
            continue;
        if (name == QLatin1String("pivot_partition"))
            partition->setPrimitiveValue(qlonglong(6), QStringLiteral("quantile_count"));
        partition->setObject(this, QStringLiteral("column"));
        setObject(partition, name);
    }
}

void DSColumn::prepareForDeletion()
{
    DSTable *owner = table();
    QList<DSManagedObject *> doomed;
    const auto doom = [&](DSManagedObject *object) {
        if (object && object != this && !doomed.contains(object))
            doomed.append(object);
    };

    // Derived columns lose this input; those that cannot live without it go.
    for (DSManagedObject *link : objectsForKey(k_outputs)) {
        auto *derived = ds_object_cast<DSColumn>(link->objectForKey(k_owner));
        if (!derived)
            continue;
        derived->removeInputColumn(this);
        if (derived->needsDeletion())
            doom(derived);
    }
    // Indicators lose their conditions on this column; one left without any
    // goes. The removed condition would be an orphan in the store, so it goes
    // too.
    for (DSManagedObject *condition : objectsForKey(QStringLiteral("output_conditions"))) {
        DSManagedObject *indicator = condition->objectForKey(QStringLiteral("owner_indicator"));
        if (!indicator)
            continue;
        indicator->removeObject(condition, QStringLiteral("conditions"));
        doom(condition);
        if (indicator->objectsForKey(QStringLiteral("conditions")).isEmpty())
            doom(indicator);
    }
    // Joined columns keyed on this column, from either side.
    for (const char *key : {"local_joins", "foreign_joins"})
        for (DSManagedObject *condition : objectsForKey(QString::fromLatin1(key)))
            doom(condition->objectForKey(k_owner));

    if (owner) {
        for (DSManagedObject *filterSet : owner->objectsForKey(QStringLiteral("filter_sets")))
            for (DSManagedObject *filter : filterSet->objectsForKey(QStringLiteral("filters")))
                if (filter->objectForKey(k_column) == this)
                    doom(filter);
        for (DSManagedObject *model : owner->objectsForKey(QStringLiteral("regression_models"))) {
            for (DSManagedObject *outcome : model->objectsForKey(QStringLiteral("outcome_variables")))
                clearOutcomeRoles(outcome, this);
            for (const char *key : {"panel_column", "plot_against_column"})
                if (model->objectForKey(QString::fromLatin1(key)) == this)
                    model->setObject(nullptr, QString::fromLatin1(key));
        }
        owner->removeColumnFromCovariateSet(this);
        if (owner->frequency_weights_column() == this)
            owner->setFrequency_weights_column(nullptr);
        owner->column_selection()->removeColumn(this);
        owner->covariate_selection()->removeColumn(this);
        if (owner->sort_by_column() == this)
            owner->setSort_by_column(nullptr);
    }

    // Each deletion runs its own cascade, so chains of derived columns follow.
    if (DSManagedObjectContext *context = managedObjectContext())
        for (DSManagedObject *object : doomed)
            if (!object->isDeleted())
                context->deleteObject(object);

    if (owner) {
        if (owner->columnAtIndex(index()) == this)
            owner->removeColumnFromIndex(index());
        owner->removeObject(this, QStringLiteral("columns"));
    }
    DSManagedObject::prepareForDeletion();
}

qint64 DSColumn::setupMissingMaskForPredicate(qint64 &offset, qint64 limit, DSPredicatePtr *predicate)
{
    offset = std::max<qint64>(offset, 0);
    const qint64 length = DSColumn::setupMissingMask(offset, limit);
    *predicate = length && apply_missing_values_predicate() ? missing_values_predicate() : DSPredicatePtr();
    return length;
}

qint64 DSColumn::setupMissingMask(qint64 offset, qint64 limit)
{
    offset = std::max<qint64>(offset, 0);
    const qint64 rows = tableRowCount();
    const qint64 end = std::min(offset + std::max<qint64>(limit, 0), rows);
    const qint64 length = ds_mask_bytes(end);
    // Sized for the whole table at once, so requests for other ranges reuse
    // the block (and hand out the same pointer) instead of growing it.
    const qint64 used = _missing_mask.used();
    if (!_missing_mask.reserve(std::max<qint64>(length, ds_mask_bytes(rows)))) {
        qCritical("Error in malloc()");
        _missing_mask_len = 0;
        return 0;
    }
    if (used < length)
        std::memset(_missing_mask.data() + used, 0, size_t(length - used));
    _missing_mask.setUsed(std::max(used, length));
    _missing_mask_len = length;
    if (offset / 8 < length)
        std::memset(_missing_mask.data() + offset / 8, 0, size_t(length - offset / 8));
    return length;
}

void DSColumn::mergeInputMissingMasks(qint64 offset, qint64 limit, qint64 length)
{
    offset = std::max<qint64>(offset, 0);
    const qint64 end = ds_mask_bytes(offset + rowsInRange(offset, limit));
    uint8_t *mask = sharedMissingMask();
    for (DSColumn *column : sortedInputColumns()) {
        const uint8_t *inputMask = nullptr;
        const qint64 inputLength = column->getMissingMask(&inputMask, offset, limit);
        if (!inputMask || !mask)
            continue;
        const qint64 stop = std::min({end, inputLength, length});
        for (qint64 b = offset / 8; b < stop; ++b)
            mask[b] |= inputMask[b];
    }
}

qint64 DSColumn::getMissingMask(const uint8_t **out)
{
    return getMissingMask(out, 0, tableRowCount());
}

qint64 DSColumn::getMissingMask(const uint8_t **out, qint64, qint64)
{
    // Each form is the other's default; a class that supplies neither has
    // no missing rows instead of recursing for ever.
    const DSReentryGuard guard(this, 0);
    if (guard.reentered()) {
        if (out)
            *out = nullptr;
        return 0;
    }
    // The whole column's mask serves any range: it is indexed by absolute row.
    return getMissingMask(out);
}

qint64 DSColumn::getNonmissingMask(const uint8_t **out, const uint8_t *mask, qint64 length)
{
    DSTable *owner = table();
    if (!owner) {
        if (out)
            *out = nullptr;
        return 0;
    }
    return owner->getNonmissingMask(out, {this}, mask, length);
}

void DSColumn::setCategoryLabel(const QString &label, const QCborValue &key)
{
    QCborMap labels = category_labels();
    if (label.isEmpty())
        labels.remove(normalizedLabelKey(key));
    else
        labels.insert(normalizedLabelKey(key), label);
    setCategory_labels(labels);
}

QString DSColumn::longName() const
{
    const QString longer = title();
    return longer.isEmpty() ? name() : longer;
}

QString DSColumn::shortName() const
{
    QString text = name();
    if (text.isEmpty())
        return QString();
    if (text.size() < 20)
        return text;
    if (ds_truncate_words(text, 5, wordTokenizer()))
        text += QStringLiteral("…");
    return text;
}

std::unique_ptr<DSDurationFormatter> DSColumn::NSNumberFormatter() const
{
    return ds_number_format_formatter(ds_number_format_s());
}

void DSColumn::purgeImages()
{
    m_image.reset();
    m_lastImage.reset();
}

void DSColumn::purgeIndex()
{
    if (m_purgingIndex)
        return;
    m_purgingIndex = true;
    ++m_dataVersion;
    temp_indexed_values.release();
    temp_indexed_values_bins = 0;
    temp_sorted.release();
    temp_sorted_index.release();
    temp_survival_times.release();
    temp_survival.release();
    temp_multiple_survival.release();
    ck_hash_free(_foreign_missing_table);
    _foreign_missing_table = nullptr;
    for (DSColumn *derived : outputColumns())
        derived->purgeIndex();
    for (DSColumn *joined : columnsJoinedOn(this))
        joined->purgeIndex();
    m_purgingIndex = false;
}

void DSColumn::purgeStats()
{
    if (m_image) {
        m_lastImage = std::move(m_image);
        m_image.reset();
    }
    m_summary.reset();
    m_statsMinmax = m_statsMoments = m_statsQuantiles = ds_stats_not_computed();
}

void DSColumn::recursivePurge()
{
    if (m_purgingRecursively)
        return;
    m_purgingRecursively = true;
    purgeIndex();
    purgeStats();
    for (DSColumn *derived : outputColumns())
        derived->recursivePurge();
    for (DSColumn *joined : columnsJoinedOn(this))
        joined->recursivePurge();
    m_purgingRecursively = false;
}

void DSColumn::dropRows(const DSIndexSet &)
{
    purgeIndex();
    purgeStats();
}

void DSColumn::addRows(qint64)
{
    purgeIndex();
    purgeStats();
}

DSColumn::Categories DSColumn::categoriesForMask(const uint8_t *, qint64)
{
    return {};
}

qint64 DSColumn::getIndexedValueOrder(const int32_t **)
{
    return 0;
}

std::shared_ptr<DSColumnSummary> DSColumn::summaryForMask(const uint8_t *mask, qint64 length, double significance)
{
    const Categories categories = categoriesForMask(mask, length);
    qint64 total = 0, missing = 0, nonmissingCategories = 0;
    for (const auto &category : categories) {
        total += category->count();
        if (category->is_missing())
            missing += category->count();
        else
            ++nonmissingCategories;
    }
    const qint64 nonmissing = total - missing;

    // Display order: the kind's permutation when it gives one.
    Categories ordered = categories;
    const int32_t *order = nullptr;
    if (const qint64 entries = getIndexedValueOrder(&order); entries > 0 && order) {
        ordered.clear();
        for (qint64 i = 0; i < entries; ++i)
            if (order[i] >= 0 && order[i] < categories.size())
                ordered.append(categories[order[i]]);
    }

    auto summary = std::make_shared<DSColumnSummary>();
    const bool bounds = !std::isnan(significance);
    double lowerTotal = bounds ? 0 : NAN;
    // Each term is (x - e)^2 / e around the expected count itself, never a
    // difference of large sums.
    const double expected = double(nonmissing) / double(nonmissingCategories);
    double chiSquare = 0;
    Categories nonempty;
    for (const auto &category : ordered) {
        const qint64 x = category->count();
        if (!category->is_missing())
            chiSquare += (double(x) - expected) * (double(x) - expected) / expected;
        category->setProportion(double(x) / double(total));
        category->setProportion_of_nonmissing(double(x) / double(nonmissing));
        if (!bounds || category->is_missing()) {
            category->setProportion_lower_ci(NAN);
            category->setProportion_upper_ci(NAN);
        } else {
            double ci[2];
            ds_multinomial_confidence_interval(x, nonmissing, significance, ci);
            category->setProportion_lower_ci(ci[0]);
            category->setProportion_upper_ci(ci[1]);
            lowerTotal += ci[0];
        }
        category->setColumn(this);
        if (x != 0) {
            category->setNonempty_index(nonempty.size());
            nonempty.append(category);
        } else {
            category->setNonempty_index(-1);
        }
    }

    qint64 running = 0;
    for (const auto &category : nonempty) {
        if (category->is_missing())
            continue;
        if (!summary->first_category())
            summary->setFirst_category(category);
        summary->setLast_category(category);
        const double p = double(running) / double(nonmissing);
        running += category->count();
        const double q = double(running) / double(nonmissing);
        if (p < 0.25 && 0.25 <= q)
            summary->setQ1_category(category);
        if (p < 0.5 && 0.5 <= q)
            summary->setMedian_category(category);
        if (p < 0.75 && 0.75 <= q)
            summary->setQ3_category(category);
    }

    summary->setColumn(this);
    summary->setProportion_lower_ci_total(lowerTotal);
    summary->setEqual_counts_chi_square(chiSquare);
    summary->setCategories(categories);
    summary->setNonempty_categories(nonempty);
    summary->setTotal_count(total);
    summary->setNonmissing_count(nonmissing);
    return summary;
}

std::shared_ptr<DSColumnSummary> DSColumn::summaryWithSignificance(double significance)
{
    return summaryForMask(nullptr, 0, significance);
}

qint64 DSColumn::getIndexedValues(const int32_t **out, qint64 *bins)
{
    if (out)
        *out = nullptr;
    if (bins)
        *bins = 0;
    return 0;
}

qint64 DSColumn::getCovariateIndexedValues(const int32_t **out, qint64 *bins, const Categories &selected,
                                           const uint8_t *, qint64)
{
    if (selected.isEmpty())
        return getIndexedValues(out, bins);
    const int32_t *values = nullptr;
    qint64 entries = 0;
    const qint64 rows = getIndexedValues(&values, &entries);
    if (entries <= 0 || rows <= 0 || !values)
        return 0;
    const int32_t other = int32_t(selected.size());
    std::vector<int32_t> group(size_t(entries), other);
    for (qsizetype j = 0; j < selected.size(); ++j)
        if (const qint64 entry = selected[j]->index(); entry >= 0 && entry < entries)
            group[size_t(entry)] = int32_t(j);
    int32_t *buffer = covariateGroupsBuffer(rows);
    if (!buffer)
        return 0;
    for (qint64 r = 0; r < rows; ++r)
        buffer[r] = values[r] >= 0 && values[r] < entries ? group[size_t(values[r])] : other;
    return handOutCovariateGroups(out, bins, rows, other + 1);
}

int32_t *DSColumn::covariateGroupsBuffer(qint64 rows)
{
    int32_t *buffer = temp_covariate_indexed_values.reserve(rows);
    if (buffer)
        temp_covariate_indexed_values.setUsed(rows);
    return buffer;
}

qint64 DSColumn::handOutCovariateGroups(const int32_t **out, qint64 *bins, qint64 rows, qint64 groups)
{
    temp_covariate_indexed_values_bins = rows > 0 ? groups : 0;
    if (out)
        *out = rows > 0 ? temp_covariate_indexed_values.data() : nullptr;
    if (bins)
        *bins = temp_covariate_indexed_values_bins;
    return rows > 0 ? rows : 0;
}

qint64 DSColumn::getFrequencyWeights(const int32_t **out)
{
    DSTable *owner = table();
    if (!owner || owner->frequency_weights_column() == this) {
        if (out)
            *out = nullptr;
        return 0;
    }
    return owner->getFrequencyWeights(out);
}

qint64 DSColumn::getSortedValues(const double **, const int32_t **)
{
    return 0;
}

std::optional<QList<qint64>> DSColumn::calculateIndexedQuantiles(qint64 k, bool *anyMissing)
{
    const int32_t *positions = nullptr;
    qint64 bins = 0;
    const qint64 rows = getIndexedValues(&positions, &bins);
    if (rows <= 0 || !positions || k < 1 || k > INT32_MAX)
        return std::nullopt;
    const uint8_t *missing = nullptr;
    const qint64 missingLength = getMissingMask(&missing);
    const int32_t *frequencies = nullptr;
    const qint64 numWeights = getFrequencyWeights(&frequencies);
    std::vector<double> kept;
    std::vector<int32_t> weights;
    bool missed = false;
    for (qint64 r = 0; r < rows; ++r) {
        if (missing && r / 8 < missingLength && ds_mask_test(missing, r)) {
            missed = true;
            continue;
        }
        kept.push_back(positions[r]);
        if (frequencies)
            weights.push_back(ds_row_weight(r, frequencies, numWeights));
    }
    if (anyMissing)
        *anyMissing = missed;
    std::vector<double> cut(static_cast<size_t>(k + 1));
    ds_quantiles(kept.data(), frequencies ? weights.data() : nullptr, qint64(kept.size()), cut.data(), int(k), false);
    QList<qint64> result;
    for (qint64 i = 1; i < k; ++i) {
        const double x = cut[size_t(i)];
        if (x > 0 && (result.isEmpty() || double(result.last()) < x))
            result.append(qint64(x));
    }
    return result;
}

void DSColumn::addInputColumn(DSColumn *column)
{
    insertInputLink(objectsForKey(k_inputs).size(), column);
}

void DSColumn::insertInputLink(qint64 slot, DSColumn *column)
{
    if (DSManagedObject *link = insertNewObjectOfEntity(QStringLiteral("DSColumnInput"))) {
        link->setPrimitiveValue(qlonglong(slot), k_index);
        link->setObject(column, k_column);
        link->setObject(this, k_owner);
    }
}

void DSColumn::deleteInputLink(DSManagedObject *link)
{
    removeObject(link, k_inputs);
    link->setObject(nullptr, k_column);
    if (DSManagedObjectContext *context = managedObjectContext())
        context->deleteObject(link);
}

DSColumn *DSColumn::inputColumnAtIndex(qint64 slot) const
{
    for (DSManagedObject *link : objectsForKey(k_inputs))
        if (link->integerForKey(k_index) == slot)
            return ds_object_cast<DSColumn>(link->objectForKey(k_column));
    return nullptr;
}

void DSColumn::replaceInputColumnAtIndex(qint64 slot, DSColumn *column)
{
    // The link at the slot itself goes, even when an earlier slot names the
    // same column (removing the first link to that column would empty the
    // wrong slot).
    for (DSManagedObject *link : objectsForKey(k_inputs))
        if (link->integerForKey(k_index) == slot) {
            deleteInputLink(link);
            break;
        }
    if (column)
        insertInputLink(slot, column);
}

void DSColumn::removeInputColumn(DSColumn *column)
{
    for (DSManagedObject *link : objectsForKey(k_inputs))
        if (link->objectForKey(k_column) == column)
            return deleteInputLink(link);
}

QList<DSColumn *> DSColumn::sortedInputColumns() const
{
    return inputColumnsBySlot(objectsForKey(k_inputs), false);
}

QList<DSColumn *> DSColumn::reverseSortedInputColumns() const
{
    return inputColumnsBySlot(objectsForKey(k_inputs), true);
}

DSColumn *DSColumn::inputColumnForTable(const DSTable *table) const
{
    for (DSManagedObject *link : objectsForKey(k_inputs))
        if (auto *column = ds_object_cast<DSColumn>(link->objectForKey(k_column)); column && column->table() == table)
            return column;
    return nullptr;
}

QList<DSColumn *> DSColumn::outputColumns() const
{
    return ownersOf(linksForKey(this, k_outputs));
}

QString DSColumn::joinName() const
{
    const DSTable *owner = table();
    return QStringLiteral("%1 (%2)").arg(name(), owner ? owner->name() : QString());
}

QList<DSJoinColumnCondition *> DSColumn::sortedJoinConditions() const
{
    QList<DSJoinColumnCondition *> conditions;
    for (DSManagedObject *object : DSTable::sortedByIndex(linksForKey(this, QStringLiteral("join_conditions"))))
        if (auto *condition = ds_object_cast<DSJoinColumnCondition>(object))
            conditions.append(condition);
    return conditions;
}

DSPredicatePtr DSColumn::joinPredicate() const
{
    std::vector<DSPredicatePtr> comparisons;
    for (const DSJoinColumnCondition *condition : sortedJoinConditions())
        comparisons.push_back(condition->predicate());
    return DSCompoundPredicate::andPredicate(std::move(comparisons));
}

namespace {

// The comparisons a predicate editor's predicate holds: a compound's
// comparisons in order, or the comparison itself; nothing for others.
std::vector<const DSComparisonPredicate *> comparisonsOf(const DSPredicatePtr &predicate)
{
    std::vector<const DSComparisonPredicate *> comparisons;
    if (!predicate)
        return comparisons;
    if (const DSComparisonPredicate *comparison = predicate->asComparison())
        comparisons.push_back(comparison);
    else if (const DSCompoundPredicate *compound = predicate->asCompound())
        for (const DSPredicatePtr &sub : compound->subpredicates())
            if (const DSComparisonPredicate *comparison = sub ? sub->asComparison() : nullptr)
                comparisons.push_back(comparison);
    return comparisons;
}

// The text of a constant expression; a null text for a key path or a
// constant of another kind.
QString constantText(const DSExpression &expression)
{
    if (expression.kind() != DSExpression::Kind::ConstantValue
        || expression.constantValue().kind() != DSPredicateValue::Kind::String)
        return QString();
    return expression.constantValue().stringValue();
}

// The first column of the table that is not an indicator and whose
// joinName is joinName; none for a null name.
DSColumn *keyColumnNamed(const DSTable *table, const QString &joinName)
{
    if (!table || joinName.isNull())
        return nullptr;
    for (DSColumn *column : table->columns())
        if (!ds_object_cast<DSIndicatorColumn>(column) && column->joinName() == joinName)
            return column;
    return nullptr;
}

// The values of rows offset to offset + limit - 1 of a key column into
// slot i of the array of its kind; the rows delivered (0 for a column of
// no key kind).
qint64 fetchKeyValues(DSColumn *column, size_t i, DSColumn::JoinTexts *text, DSColumn::JoinValues *numeric,
                      DSColumn::JoinValues *time, qint64 offset, qint64 limit)
{
    if (auto *texts = ds_object_cast<DSTextColumn>(column))
        return texts->getTextValues(&(*text)[i], offset, limit);
    if (auto *numbers = ds_object_cast<DSNumericColumn>(column))
        return numbers->getValues(&(*numeric)[i], offset, limit);
    if (auto *times = ds_object_cast<DSTimeColumn>(column))
        return times->getTimeValues(&(*time)[i], nullptr, offset, limit);
    return 0;
}

// Fills the three arrays with the key values of the columns that side
// picks from each condition; the rows every slot holds, at most limit.
qint64 populateJoining(DSColumn::JoinTexts *text, DSColumn::JoinValues *numeric, DSColumn::JoinValues *time,
                       const QList<DSJoinColumnCondition *> &conditions, qint64 offset, qint64 limit,
                       DSColumn *(DSJoinColumnCondition::*side)() const)
{
    const size_t k = size_t(conditions.size());
    text->assign(k, nullptr);
    numeric->assign(k, nullptr);
    time->assign(k, nullptr);
    qint64 rows = limit;
    for (size_t i = 0; i < k; ++i) {
        DSColumn *column = (conditions[qsizetype(i)]->*side)();
        // A key that delivers fewer rows bounds every slot, so a key is
        // never read past its column's values.
        rows = std::min(rows, column ? fetchKeyValues(column, i, text, numeric, time, offset, limit) : 0);
        if ((*text)[i] == nullptr && (*numeric)[i] == nullptr && (*time)[i] == nullptr)
            rows = 0;
    }
    return k ? std::max<qint64>(rows, 0) : 0;
}

// Per key lookup: the foreign row with the key has a value, or not.
constexpr uint64_t k_keyHasValue = 1;
constexpr uint64_t k_keyWithoutValue = 2;

} // namespace

void DSColumn::setJoinPredicate(const DSPredicatePtr &predicate)
{
    DSManagedObjectContext *context = managedObjectContext();
    for (DSJoinColumnCondition *condition : sortedJoinConditions()) {
        removeObject(condition, QStringLiteral("join_conditions"));
        if (context)
            context->deleteObject(condition);
    }
    qint64 count = 0;
    for (const DSComparisonPredicate *comparison : comparisonsOf(predicate))
        if (DSJoinColumnCondition *condition = joinConditionForComparisonPredicate(*comparison)) {
            condition->setIndex(count++);
            condition->setOwner(this);
        }
}

DSJoinColumnCondition *DSColumn::joinConditionForComparisonPredicate(const DSComparisonPredicate &comparison)
{
    DSColumn *local = keyColumnNamed(table(), constantText(comparison.leftExpression()));
    const DSColumn *source = input();
    DSColumn *foreign = keyColumnNamed(source ? source->table() : nullptr, constantText(comparison.rightExpression()));
    if (!local || !foreign)
        return nullptr;
    auto *condition = ds_object_cast<DSJoinColumnCondition>(insertNewObjectOfEntity(QStringLiteral("DSJoinColumnCondition")));
    if (!condition)
        return nullptr;
    condition->setLocal_column(local);
    condition->setForeign_column(foreign);
    condition->setOperatorCode(qint64(comparison.predicateOperatorType()));
    return condition;
}

qint64 DSColumn::populateForeignJoiningText(JoinTexts *text, JoinValues *numeric, JoinValues *time,
                                            const QList<DSJoinColumnCondition *> &conditions)
{
    const DSColumn *last = conditions.isEmpty() ? nullptr : conditions.last()->foreign_column();
    return populateJoining(text, numeric, time, conditions, 0, last ? last->tableRowCount() : 0,
                           &DSJoinColumnCondition::foreign_column);
}

qint64 DSColumn::populateLocalJoiningText(JoinTexts *text, JoinValues *numeric, JoinValues *time,
                                          const QList<DSJoinColumnCondition *> &conditions, qint64 offset,
                                          qint64 limit)
{
    const DSColumn *last = conditions.isEmpty() ? nullptr : conditions.last()->local_column();
    return populateJoining(text, numeric, time, conditions, offset, last ? last->rowsInRange(offset, limit) : 0,
                           &DSJoinColumnCondition::local_column);
}

bool DSColumn::setupJoinedMissingMask(qint64 offset, qint64 limit)
{
    offset = std::max<qint64>(offset, 0);
    const qint64 requested = rowsInRange(offset, limit);
    uint8_t *mask = sharedMissingMask();
    if (requested <= 0 || !mask || missingMaskLength() < ds_mask_bytes(offset + requested))
        return false;
    const QList<DSJoinColumnCondition *> conditions = sortedJoinConditions();
    DSColumn *source = input();
    const uint8_t *valueMissing = nullptr;
    const qint64 valueMissingLength = source ? source->getMissingMask(&valueMissing) : 0;
    const auto hasValue = [&](qint64 row) {
        return !(valueMissing && row / 8 < valueMissingLength && ds_mask_test(valueMissing, row));
    };

    // A column may be a key on both sides, and reading its keys again
    // overwrites the array the last read handed out: each side's keys are
    // used (copied into a key or the key set) before the other's are read.
    JoinTexts foreignText, localText;
    JoinValues foreignNumeric, foreignTime, localNumeric, localTime;
    const qint64 k = conditions.size();
    const auto readForeign = [&] {
        return source ? populateForeignJoiningText(&foreignText, &foreignNumeric, &foreignTime, conditions) : 0;
    };
    const auto readLocal = [&] {
        return populateLocalJoiningText(&localText, &localNumeric, &localTime, conditions, offset, requested);
    };

    if (requested == 1 && !_foreign_missing_table) {
        std::vector<uint8_t> key, foreignKey;
        // A row whose keys cannot be read (no condition, a key column
        // without values) finds nothing.
        const bool readable =
            readLocal() > 0 && ds_make_join_key(key, 0, k, localText.data(), localNumeric.data(), localTime.data()) > 0;
        const qint64 foreignRows = readable ? readForeign() : 0;
        // The last foreign row with the key is the one a joined value comes
        // from.
        for (qint64 j = foreignRows - 1; j >= 0; --j) {
            ds_make_join_key(foreignKey, j, k, foreignText.data(), foreignNumeric.data(), foreignTime.data());
            if (foreignKey == key) {
                if (hasValue(j))
                    return false;
                break;
            }
        }
        ds_mask_set(mask, offset);
        return true;
    }

    if (!_foreign_missing_table) {
        const qint64 foreignRows = readForeign();
        ck_hash_table_s *keys = ck_hash_create(uint64_t(2 * foreignRows), 32);
        std::vector<uint8_t> key;
        for (qint64 j = 0; keys && j < foreignRows; ++j) {
            // Inserted in row order, so a repeated key ends with its last
            // row's state.
            ds_make_join_key(key, j, k, foreignText.data(), foreignNumeric.data(), foreignTime.data());
            if (!ck_hash_insert(key.data(), key.size(), hasValue(j) ? k_keyHasValue : k_keyWithoutValue, keys)) {
                ck_hash_free(keys);
                keys = nullptr;
            }
        }
        if (!keys) {
            qCritical("Error in malloc()");
            return false;
        }
        _foreign_missing_table = keys;
    }

    const qint64 localRows = readLocal();
    // Rows whose keys cannot be read find nothing.
    const auto localKey = [&](std::vector<uint8_t> &key, qint64 i) {
        return i < localRows && ds_make_join_key(key, i, k, localText.data(), localNumeric.data(), localTime.data()) > 0;
    };
    const ck_hash_table_s *keys = _foreign_missing_table;
    std::atomic<bool> marked = false;
    ds_mark_rows(mask, offset, requested, [&](int64_t i) {
        thread_local std::vector<uint8_t> key;
        const bool missing =
            !localKey(key, i) || ck_hash_lookup(key.data(), key.size(), keys) != k_keyHasValue;
        if (missing)
            marked.store(true, std::memory_order_relaxed);
        return missing;
    });
    return marked.load();
}


double DSColumn::calculateIndependence(DSColumn *covariate, const Categories &categories, qint64 *df,
                                       const uint8_t *mask, qint64 length)
{
    const uint8_t *missing = nullptr;
    const qint64 missingLength = getMissingMask(&missing);
    const int32_t *weights = nullptr;
    const qint64 numWeights = getFrequencyWeights(&weights);
    const int32_t *indexed = nullptr;
    qint64 bins = 0;
    const qint64 rows = getIndexedValues(&indexed, &bins);
    int64_t degrees = 0;
    const double chiSquare = ds_covariate_independence_chisq(indexed, rows, bins, missing, missingLength, weights,
                                                             numWeights, covariate, categories, mask, length, &degrees);
    if (df)
        *df = degrees;
    return chiSquare;
}

double DSColumn::calculateIndependence(const QList<DSColumn *> &columns, qint64 *df, const uint8_t *mask,
                                       qint64 length)
{
    qint64 b = 0;
    for (DSColumn *column : columns)
        b = std::max(b, column->numberOfBins());
    const qint64 k = columns.size();
    if (k == 0 || b == 0) {
        if (df)
            *df = 0;
        return NAN;
    }
    std::vector<int64_t> table(size_t(k * b), 0);
    for (qint64 i = 0; i < k; ++i) {
        const std::shared_ptr<DSColumnSummary> summary = columns[i]->summaryForMask(mask, length, NAN);
        if (!summary)
            continue;
        const Categories &categories = summary->categories();
        for (qint64 j = 0; j < std::min<qint64>(b, categories.size()); ++j)
            if (!categories[j]->is_missing())
                table[size_t(i * b + j)] = categories[j]->count();
    }
    int64_t degrees = 0;
    const double chiSquare = ds_contingency_chisq(table.data(), k, b, &degrees);
    if (df)
        *df = degrees;
    return chiSquare;
}

double DSColumn::calculateBinaryMarginalHomogeneity(const QList<DSColumn *> &columns, qint64 *df,
                                                    const uint8_t *mask, qint64 length)
{
    if (columns.size() > 255 || columns.isEmpty())
        return NAN;
    DSTable *table = columns.first()->table();
    if (!table)
        return NAN;
    qint64 rows = table->num_records();
    const int32_t *weights = nullptr;
    const qint64 numWeights = columns.first()->getFrequencyWeights(&weights);
    // Each column's index array stays valid while the others are read
    // (a column's next request frees nothing it handed out). Rows past the
    // shortest array count in no column.
    std::vector<const int32_t *> indexed;
    for (DSColumn *column : columns) {
        const int32_t *values = nullptr;
        rows = std::min(rows, column->getIndexedValues(&values, nullptr));
        if (!values)
            return NAN;
        indexed.push_back(values);
    }
    const uint8_t *admitted = nullptr;
    const qint64 admittedLength = table->getNonmissingMask(&admitted, columns, mask, length);
    int64_t degrees = 0;
    const double q = ds_cochran_q(indexed.data(), columns.size(), rows, weights, numWeights, admitted,
                                  admitted ? admittedLength : 0, &degrees);
    if (df)
        *df = degrees;
    return q;
}

double DSColumn::calculateMarginalHomogeneity(const QList<DSColumn *> &columns, qint64 *df, const uint8_t *mask,
                                              qint64 length)
{
    if (columns.size() != 2)
        return NAN;
    const int32_t *first = nullptr, *second = nullptr;
    qint64 bins1 = 0, bins2 = 0;
    const qint64 rows1 = columns[0]->getIndexedValues(&first, &bins1);
    const qint64 rows2 = columns[1]->getIndexedValues(&second, &bins2);
    const uint8_t *missing1 = nullptr, *missing2 = nullptr;
    const qint64 missingLength1 = columns[0]->getMissingMask(&missing1);
    const qint64 missingLength2 = columns[1]->getMissingMask(&missing2);
    const int32_t *weights = nullptr;
    const qint64 numWeights = columns[0]->getFrequencyWeights(&weights);
    const qint64 K = std::max(bins1, bins2), n = std::min(rows1, rows2);
    if (K <= 0 || K > 200 || n <= 0 || !first || !second)
        return NAN;
    std::vector<int64_t> table(static_cast<size_t>(K * K));
    ds_paired_table(table.data(), K, first, second, n, missing1, missingLength1, missing2, missingLength2, weights,
                    numWeights, mask, length);
    int64_t degrees = df ? *df : 0;
    const double statistic = ds_marginal_homogeneity_chisq(table.data(), K, &degrees);
    if (df)
        *df = degrees;
    return statistic;
}

ds_corr_s DSColumn::calculateCorrelation(DSColumn *, const uint8_t *, qint64)
{
    ds_corr_s none{};
    none.correlation = NAN;
    return none;
}

ds_corr_s DSColumn::calculateCategoryCorrelation(const DSColumnCategory *, const uint8_t *, qint64)
{
    ds_corr_s none{};
    none.correlation = NAN;
    return none;
}

bool DSColumn::calculateMultipleCorrelations(ds_corr_s *, qint64, const int32_t *, const uint8_t *, qint64)
{
    return false;
}

namespace {

// The used rows of column by ascending time (see getRiskSet), with the
// group groups gives each row (rows past groupRows, or of a negative group,
// left out); group 0 for all without groups.
ds_survival_rows survivalRows(DSColumn *column, const uint8_t *mask, qint64 length, const uint8_t *censored,
                              qint64 censoredLength, const int32_t *groups = nullptr, qint64 groupRows = 0)
{
    const double *values = nullptr;
    const int32_t *rows = nullptr;
    const qint64 n = column->getSortedValues(&values, &rows);
    const int32_t *weights = nullptr;
    const qint64 numWeights = column->getFrequencyWeights(&weights);
    const bool censoring = censored && censoredLength > 0;
    ds_survival_rows used;
    if (n <= 0 || !values || !rows)
        return used;
    used.reserve(size_t(n));
    for (qint64 i = 0; i < n; ++i) {
        const qint64 r = rows[i];
        if (!ds_row_admitted(mask, length, r))
            continue;
        int32_t group = 0;
        if (groups) {
            if (r >= groupRows || groups[r] < 0)
                continue;
            group = groups[r];
        }
        const bool isCensored = censoring && r / 8 < censoredLength && ds_mask_test(censored, r);
        used.push_back({values[i], ds_row_weight(r, weights, numWeights), group, isCensored});
    }
    return used;
}

// Copies items into a column buffer and hands it out; the count.
template <class T>
qint64 handOutSurvival(DSColumnBuffer<T> &buffer, const T **out, const T *items, qint64 count)
{
    T *block = count > 0 ? buffer.reserve(count) : nullptr;
    if (block)
        std::copy(items, items + count, block);
    buffer.setUsed(block ? count : 0);
    if (out)
        *out = block;
    return block ? count : 0;
}

} // namespace

std::vector<uint8_t> DSColumn::rightCensoringMask()
{
    const qint64 rows = tableRowCount();
    std::vector<uint8_t> mask;
    if (!apply_right_censoring() || rows <= 0 || linksForKey(this, QStringLiteral("right_censoring_conditions")).isEmpty())
        return mask;
    mask.resize(size_t(ds_mask_bytes(rows)));
    applyRightCensoringToBuffer(mask.data(), qint64(mask.size()));
    return mask;
}

bool DSColumn::getRiskSet(qint64 *riskSet, qint64 *timePoints, qint64 *eventTimes, const uint8_t *mask,
                          qint64 length, const uint8_t *censored, qint64 censoredLength)
{
    int64_t risk = 0, points = 0, events = 0;
    const bool used =
        ds_survival_risk_set(survivalRows(this, mask, length, censored, censoredLength), &risk, &points, &events);
    if (riskSet)
        *riskSet = risk;
    if (timePoints)
        *timePoints = points;
    if (eventTimes)
        *eventTimes = events;
    return used;
}

qint64 DSColumn::getSurvivalTimes(const double **times, qint64 count, const uint8_t *mask, qint64 length,
                                  const uint8_t *censored, qint64 censoredLength)
{
    std::vector<double> points = ds_survival_times(survivalRows(this, mask, length, censored, censoredLength));
    if (points.empty())
        points.push_back(std::numeric_limits<double>::quiet_NaN());
    points.resize(size_t(std::max<qint64>(count, 0)), std::numeric_limits<double>::quiet_NaN());
    handOutSurvival(temp_survival_times, times, points.data(), qint64(points.size()));
    return count;
}

qint64 DSColumn::getSurvivalFunction(const ds_survival_s **steps, const double *times, qint64 count, qint64 riskSet,
                                     const uint8_t *mask, qint64 length, const uint8_t *censored,
                                     qint64 censoredLength)
{
    const std::vector<double> points(times, times + std::max<qint64>(count, 0));
    const std::vector<ds_survival_s> function =
        ds_survival_function(survivalRows(this, mask, length, censored, censoredLength), points, riskSet);
    return handOutSurvival(temp_survival, steps, function.data(), qint64(function.size()));
}

qint64 DSColumn::getSurvivalFunction(const ds_survival_s **steps, const double **times, qint64 *eventTimes,
                                     const uint8_t *mask, qint64 length)
{
    const std::vector<uint8_t> censored = rightCensoringMask();
    qint64 risk = 0, points = 0, events = 0;
    if (!getRiskSet(&risk, &points, &events, mask, length, censored.data(), qint64(censored.size()))) {
        if (steps)
            *steps = nullptr;
        if (times)
            *times = nullptr;
        if (eventTimes)
            *eventTimes = 0;
        return 0;
    }
    const double *pointTimes = nullptr;
    getSurvivalTimes(&pointTimes, points, mask, length, censored.data(), qint64(censored.size()));
    if (times)
        *times = pointTimes;
    if (eventTimes)
        *eventTimes = events;
    return getSurvivalFunction(steps, pointTimes, points, risk, mask, length, censored.data(),
                               qint64(censored.size()));
}

qint64 DSColumn::getMultipleSurvivalFunctions(const ds_survival_s **steps, const double **times,
                                              const int32_t *byIndex, qint64 count, qint64 *censoredCounts,
                                              qint64 *uncensoredCounts, const uint8_t *mask, qint64 length)
{
    const std::vector<uint8_t> censored = rightCensoringMask();
    std::vector<int64_t> censoredPoints(size_t(std::max<qint64>(count, 0))), eventPoints(censoredPoints.size());
    const ds_multiple_survival_s functions = ds_multiple_survival_functions(
        survivalRows(this, mask, length, censored.data(), qint64(censored.size()), byIndex,
                     byIndex ? tableRowCount() : 0),
        count, censoredPoints.data(), eventPoints.data());
    for (size_t g = 0; g < censoredPoints.size(); ++g) {
        if (censoredCounts)
            censoredCounts[g] = censoredPoints[g];
        if (uncensoredCounts)
            uncensoredCounts[g] = eventPoints[g];
    }
    handOutSurvival(temp_multiple_survival, steps, functions.steps.data(), qint64(functions.steps.size()));
    return handOutSurvival(temp_survival_times, times, functions.times.data(), qint64(functions.times.size()));
}

double DSColumn::calculateLogRank(const QList<DSColumn *> &columns, qint64 *df, const uint8_t *mask, qint64 length)
{
    struct Group
    {
        DSColumn *column;
        std::vector<uint8_t> censored;
        qint64 riskSet = 0;
        bool used = false;
    };
    std::vector<Group> groups;
    std::vector<double> shared;
    for (DSColumn *column : columns) {
        Group group{column, column->rightCensoringMask()};
        qint64 points = 0;
        group.used = column->getRiskSet(&group.riskSet, &points, nullptr, mask, length, group.censored.data(),
                                        qint64(group.censored.size()));
        if (group.used) {
            const double *times = nullptr;
            column->getSurvivalTimes(&times, points, mask, length, group.censored.data(),
                                     qint64(group.censored.size()));
            shared.insert(shared.end(), times, times + points);
        }
        groups.push_back(std::move(group));
    }
    if (df)
        *df = 0;
    if (shared.empty())
        return std::numeric_limits<double>::quiet_NaN();
    ds_sort(shared.data(), nullptr, int64_t(shared.size()));
    shared.erase(std::unique(shared.begin(), shared.end()), shared.end());

    const qint64 m = qint64(shared.size());
    std::vector<ds_survival_s> steps(groups.size() * shared.size(), ds_survival_s{1, 0, 0, 0, 0});
    for (size_t k = 0; k < groups.size(); ++k) {
        Group &group = groups[k];
        const ds_survival_s *function = nullptr;
        if (group.used && group.column->getSurvivalFunction(&function, shared.data(), m, group.riskSet, mask, length,
                                                            group.censored.data(), qint64(group.censored.size()))
                              == m)
            std::copy(function, function + m, steps.begin() + qint64(k) * m);
    }
    int64_t degrees = 0;
    const double chisq = ds_logrank_chisq(steps.data(), m, int64_t(groups.size()), &degrees);
    if (df)
        *df = degrees;
    return chisq;
}

double DSColumn::calculateLogRank(DSColumn *covariate, const Categories &categories, qint64 *df, const uint8_t *mask,
                                  qint64 length)
{
    if (df)
        *df = 0;
    const int32_t *indexes = nullptr;
    qint64 bins = 0;
    const qint64 rows = covariate ? covariate->getCovariateIndexedValues(&indexes, &bins, categories, mask, length) : 0;
    if (rows <= 0 || bins <= 0 || !indexes)
        return std::numeric_limits<double>::quiet_NaN();
    // A row the covariate does not place (missing in it, or past its rows)
    // is in no group.
    std::vector<int32_t> groups(size_t(std::max(rows, tableRowCount())), -1);
    std::copy(indexes, indexes + rows, groups.begin());
    const uint8_t *missing = nullptr;
    const qint64 missingLength = covariate->getMissingMask(&missing);
    for (qint64 r = 0; r < rows; ++r)
        if (missing && r / 8 < missingLength && ds_mask_test(missing, r))
            groups[size_t(r)] = -1;
    const ds_survival_s *steps = nullptr;
    const qint64 m = getMultipleSurvivalFunctions(&steps, nullptr, groups.data(), bins, nullptr, nullptr, mask, length);
    int64_t degrees = 0;
    const double chisq = ds_logrank_chisq(steps, m, bins, &degrees);
    if (df)
        *df = degrees;
    return chisq;
}

QList<DSColumnCondition *> DSColumn::sortedCensoringConditions() const
{
    return ds_objects_cast<DSColumnCondition>(
        DSTable::sortedByIndex(linksForKey(this, QStringLiteral("right_censoring_conditions"))));
}

DSPredicatePtr DSColumn::right_censoring_predicate() const
{
    const auto constant = [](const DSPredicateValue &value) { return DSExpression::forConstantValue(value); };
    std::vector<DSPredicatePtr> comparisons;
    const QList<DSColumnCondition *> conditions = sortedCensoringConditions();
    for (const DSColumnCondition *condition : conditions) {
        const DSColumn *lhs = condition->lhs_column();
        const std::optional<DSExpression> value = condition->expressionForValue();
        DSPredicateOperatorType type;
        if (!lhs || !value || !DSComparisonPredicate::operatorTypeFromCode(condition->operatorType(), &type))
            continue;
        comparisons.push_back(
            DSComparisonPredicate::make(constant(DSPredicateValue::fromString(lhs->name())), type, *value));
    }
    if (conditions.isEmpty())
        if (const std::optional<DSExpression> value = defaultValueExpression())
            comparisons.push_back(DSComparisonPredicate::make(constant(DSPredicateValue::fromString(name())),
                                                              DSPredicateOperatorType::EqualTo, *value));
    return DSCompoundPredicate::andPredicate(std::move(comparisons));
}

void DSColumn::setRight_censoring_predicate(const DSPredicatePtr &predicate)
{
    DSManagedObjectContext *context = managedObjectContext();
    for (DSColumnCondition *condition : sortedCensoringConditions()) {
        removeObject(condition, QStringLiteral("right_censoring_conditions"));
        if (context)
            context->deleteObject(condition);
    }
    for (const DSComparisonPredicate *comparison : comparisonsOf(predicate))
        if (DSColumnCondition *condition = conditionForComparisonPredicate(*comparison))
            condition->setOwner_column_right_censoring(this);
    if (const DSCompoundPredicate *compound = predicate ? predicate->asCompound() : nullptr)
        setRight_censoring_predicate_type(qint64(compound->compoundPredicateType()));
    else if (predicate && predicate->asComparison())
        setRight_censoring_predicate_type(1);
    if (context)
        context->processPendingChanges();
}

DSColumnCondition *DSColumn::conditionForComparisonPredicate(const DSComparisonPredicate &comparison)
{
    const DSExpression &left = comparison.leftExpression(), &right = comparison.rightExpression();
    const QString lhsName = constantText(left);
    DSColumn *lhs = nullptr;
    if (const DSTable *owner = table(); owner && !lhsName.isNull())
        for (DSColumn *column : owner->columns())
            if (column->name() == lhsName) {
                lhs = column;
                break;
            }
    if (!lhs || right.kind() != DSExpression::Kind::ConstantValue
        || right.constantValue().kind() == DSPredicateValue::Kind::None)
        return nullptr;
    DSColumnCondition *condition =
        DSColumnCondition::insertNewConditionForColumn(lhs, right.constantValue(), managedObjectContext());
    if (!condition)
        return nullptr;
    condition->setIndex(linksForKey(this, QStringLiteral("right_censoring_conditions")).size());
    condition->setOperatorType(qint64(comparison.predicateOperatorType()));
    return condition;
}

void DSColumn::applyRightCensoringToBuffer(uint8_t *buffer, qint64 length)
{
    DSColumnCondition::applyConditions(sortedCensoringConditions(), right_censoring_predicate_type() == 1, buffer,
                                       length);
}

namespace {

// The sum of the weights of the rows of keep (a row mask of the table's
// rows) that the include mask admits; rows past keep's bytes count when
// keep is null.
qint64 weightedRows(DSColumn *column, qint64 rows, const uint8_t *keep, qint64 keepLength, const uint8_t *mask,
                    qint64 length)
{
    const uint8_t *missing = nullptr;
    const qint64 missingLength = column->getMissingMask(&missing);
    const int32_t *weights = nullptr;
    const qint64 numWeights = column->getFrequencyWeights(&weights);
    qint64 total = 0;
    for (qint64 r = 0; r < rows; ++r) {
        if ((missing && r / 8 < missingLength && ds_mask_test(missing, r)) || !ds_row_admitted(mask, length, r))
            continue;
        if (keep && !(r / 8 < keepLength && ds_mask_test(keep, r)))
            continue;
        total += ds_row_weight(r, weights, numWeights);
    }
    return total;
}

} // namespace

qint64 DSColumn::numberOfObservationsForMask(const uint8_t *mask, qint64 length)
{
    return weightedRows(this, tableRowCount(), nullptr, 0, mask, length);
}

qint64 DSColumn::numberOfCensoredObservationsForMask(const uint8_t *mask, qint64 length)
{
    if (!treat_as_survival_times())
        return 0;
    const std::vector<uint8_t> censored = rightCensoringMask();
    if (censored.empty())
        return 0;
    return weightedRows(this, tableRowCount(), censored.data(), qint64(censored.size()), mask, length);
}

double DSColumn::fractionOfCensoredObservationsForMask(const uint8_t *mask, qint64 length)
{
    const qint64 censored = numberOfCensoredObservationsForMask(mask, length);
    return censored == 0 ? 0 : double(censored) / double(numberOfObservationsForMask(mask, length));
}

namespace {

// Every column on (those that cannot be, off), unless every column was on:
// then every column off.
void toggleColumnFlag(const QList<DSColumn *> &columns, bool (DSColumn::*isOn)() const,
                      bool (DSColumn::*canBe)() const, void (DSColumn::*set)(bool))
{
    const bool allOn = std::all_of(columns.begin(), columns.end(), [&](DSColumn *c) { return (c->*isOn)(); });
    for (DSColumn *column : columns)
        (column->*set)(!allOn && (column->*canBe)());
}

} // namespace

void DSColumn::toggleTreatAsCategories(const QList<DSColumn *> &columns)
{
    toggleColumnFlag(columns, &DSColumn::treat_as_categories, &DSColumn::canBeTreatedAsCategories,
                     &DSColumn::setTreat_as_categories);
}

void DSColumn::toggleTreatAsSurvivalTimes(const QList<DSColumn *> &columns)
{
    toggleColumnFlag(columns, &DSColumn::treat_as_survival_times, &DSColumn::canBeTreatedAsSurvivalTimes,
                     &DSColumn::setTreat_as_survival_times);
}
