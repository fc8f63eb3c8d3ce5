#include "model/DSTable.h"

#include "model/DSColumnCategory.h"
#include "model/DSColumnSummary.h"
#include "model/DSDataRoot.h"
#include "model/DSIndicatorColumn.h"
#include "model/DSNumericColumn.h"
#include "model/DSTextColumn.h"
#include "model/DSUserDefaults.h"
#include "platform/store/DSEntityDescription.h"
#include "platform/store/DSManagedObjectContext.h"
#include "platform/store/DSManagedObjectModel.h"

#include <QCborMap>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const QString k_index = QStringLiteral("index");
const QString k_columns = QStringLiteral("columns");
const QString k_regressionModels = QStringLiteral("regression_models");
const QString k_filterSets = QStringLiteral("filter_sets");
const QString k_pivots = QStringLiteral("pivots");
const QString k_aggregations = QStringLiteral("aggregations");
const QString k_inputs = QStringLiteral("inputs");

// Whether a member takes part in the ordering rule.
bool hasIndex(const DSManagedObject *object)
{
    return object->entity()->attributeNamed(k_index) != nullptr;
}

qint64 indexOf(const DSManagedObject *object)
{
    return object->integerForKey(k_index);
}

void setIndexOf(DSManagedObject *object, qint64 index)
{
    object->setPrimitiveValue(qlonglong(index), k_index);
}

// Search terms match as substrings of the UTF-8 text, ASCII letters folded.
bool containsFolded(const QString &text, const QByteArray &term)
{
    return term.isEmpty() || text.toUtf8().toLower().contains(term);
}

bool isKindOfEntityNamed(const DSManagedObject *object, const QString &name)
{
    const DSEntityDescription *entity = object->entity()->managedObjectModel()->entityNamed(name);
    return entity && object->entity()->isKindOfEntity(entity);
}

// Clears the bits of rows at or past n in the last byte of a row mask.
void clearTrailingBits(std::vector<uint8_t> &mask, qint64 n, qint64 bytes)
{
    if (n % 8 && bytes > 0)
        mask[size_t(bytes - 1)] &= uint8_t((1u << (n % 8)) - 1);
}

int32_t weightOf(double value)
{
    // Whole numbers of 1 or more that an int32 holds; anything else (zero,
    // negative, fractional, missing, too large) counts no row.
    if (!(value > 0) || value > double(std::numeric_limits<int32_t>::max()) || std::trunc(value) != value)
        return 0;
    return int32_t(value);
}

} // namespace

DSTable::DSTable() = default;

DSTable::~DSTable() = default;

DSDataRoot *DSTable::data_root() const
{
    return ds_object_cast<DSDataRoot>(objectForKey(QStringLiteral("data_root")));
}

void DSTable::setData_root(DSDataRoot *root)
{
    setObject(root, QStringLiteral("data_root"));
}

void DSTable::awakeFromInsert()
{
    DSManagedObject::awakeFromInsert();
    const DSUserDefaults &defaults = DSUserDefaults::standardUserDefaults();
    for (const QString &key : {QStringLiteral("summary_table_column_mask"), QStringLiteral("covariate_table_column_mask")})
        setPrimitiveValue(qlonglong(defaults.integerForKey(key)), key);
    setupTable();
}

void DSTable::awakeFromFetch()
{
    DSManagedObject::awakeFromFetch();
    setupTable();
}

void DSTable::setupTable()
{
    setupColumnArray();
    m_covariateSet.clear();
    m_columnSelection = std::make_unique<DSColumnSelection>(this);
    m_covariateSelection = std::make_unique<DSColumnSelection>(this);
    column_filter_summary = column_filter_covariate = column_filter_records = column_filter_pivot = QString();
    m_viewFlags = 0x10101;
    m_showSummaryCharts = true;
    resetPivotFunctions();
}

void DSTable::didTurnIntoFault()
{
    tearDownColumnArray();
    m_covariateSet.clear();
    m_columnSelection.reset();
    m_covariateSelection.reset();
    m_nonmissingMask = std::vector<uint8_t>();
    m_pivotNumericFunctions.clear();
    m_pivotCategoryFunctions.clear();
    m_pivotTimeFunctions.clear();
    m_pivotTextFunctions.clear();
    DSManagedObject::didTurnIntoFault();
}

void DSTable::setActive_model(DSRegressionModel *model)
{
    if (model == m_activeModel)
        return;
    DSRegressionModel *previous = m_activeModel;
    m_activeModel = model;
    if (DSDataRoot *root = data_root(); root && root->active_table() == this)
        root->activeModelDidChange(previous);
}

void DSTable::prepareForDeletion()
{
    if (DSDataRoot *root = data_root()) {
        const qint64 i = index();
        const bool wasActive = root->active_table() == this;
        root->removeTableFromIndex(i);
        root->removeObject(this, QStringLiteral("tables"));
        if (wasActive) {
            DSTable *next = root->tableAtIndex(i);
            root->setActive_table(next ? next : root->tableAtIndex(i - 1));
        }
    }
    DSManagedObject::prepareForDeletion();
}

void DSTable::makeDependencies()
{
    if (objectsForKey(k_aggregations).isEmpty()) {
        DSManagedObject *aggregation = insertNewObjectOfEntity(QStringLiteral("DSColumnAggregation"));
        aggregation->setValue(qlonglong(20), QStringLiteral("tag"));
        aggregation->setValue(true, QStringLiteral("is_enabled"));
        aggregation->setValue(QVariant::fromValue<DSManagedObject *>(this), QStringLiteral("table"));
    }
    if (objectsForKey(k_pivots).isEmpty())
        insertNewObjectOfEntity(QStringLiteral("DSPivot"))->setValue(QVariant::fromValue<DSManagedObject *>(this),
                                                                     QStringLiteral("owner"));
    if (objectsForKey(k_filterSets).isEmpty())
        insertNewObjectOfEntity(QStringLiteral("DSTableFilterSet"))
            ->setValue(QVariant::fromValue<DSManagedObject *>(this), QStringLiteral("owner"));
    for (DSColumn *column : columns())
        column->makeDependencies();
}

DSObjectList DSTable::managedObjectDependencies()
{
    DSObjectList dependencies = DSManagedObject::managedObjectDependencies();
    for (const QString &key : {k_columns, k_regressionModels, k_inputs, k_filterSets, k_pivots, k_aggregations})
        for (DSManagedObject *member : objectsForKey(key))
            dependencies += member->managedObjectDependencies();
    return dependencies;
}

QList<DSColumn *> DSTable::columns() const
{
    return ds_objects_cast<DSColumn>(objectsForKey(k_columns));
}

QList<DSColumn *> DSTable::sortedColumns() const
{
    return ds_objects_cast<DSColumn>(sortedByIndex(objectsForKey(k_columns)));
}

DSColumn *DSTable::columnAtIndex(qint64 i)
{
    if (i < 0)
        return nullptr;
    // A lookup array left behind by a change made elsewhere (undo, a
    // decoded copy) is rebuilt rather than trusted.
    const DSObjectList all = objectsForKey(k_columns);
    if (m_columnLookup.size() != size_t(all.size()))
        tearDownColumnArray();
    setupColumnArray();
    if (i >= qint64(m_columnLookup.size()))
        return nullptr;
    DSColumn *column = m_columnLookup[size_t(i)];
    if (column && (column->index() != i || column->table() != this)) {
        rebuildColumnArray();
        column = m_columnLookup[size_t(i)];
    }
    return column;
}

void DSTable::setupColumnArray()
{
    if (m_columnLookup.empty())
        rebuildColumnArray();
}

void DSTable::rebuildColumnArray()
{
    const QList<DSColumn *> all = columns();
    m_columnLookup.assign(size_t(all.size()), nullptr);
    for (DSColumn *column : all) {
        const qint64 i = column->index();
        if (i >= 0 && i < qint64(all.size()))
            m_columnLookup[size_t(i)] = column;
    }
}

void DSTable::insertColumn(DSColumn *column, qint64 i)
{
    insertIndexedObject(column, objectsForKey(k_columns), i);
    tearDownColumnArray();
}

void DSTable::insertNewColumns(const QList<DSColumn *> &newColumns, qint64 i)
{
    const qint64 n = newColumns.size();
    for (DSManagedObject *column : objectsForKey(k_columns))
        if (indexOf(column) >= i)
            setIndexOf(column, indexOf(column) + n);
    for (qint64 k = 0; k < n; ++k) {
        DSColumn *column = newColumns[k];
        column->setIndex(i + k);
        addObject(column, k_columns);
        column->makeDependencies();
    }
    tearDownColumnArray();
}

void DSTable::moveColumnAtIndex(qint64 from, qint64 to)
{
    moveIndexedObjectInSet(objectsForKey(k_columns), from, to);
    tearDownColumnArray();
}

DSColumn *DSTable::removeColumnFromIndex(qint64 i)
{
    DSColumn *column = columnAtIndex(i);
    if (column) {
        for (DSManagedObject *other : objectsForKey(k_columns))
            if (indexOf(other) > i)
                setIndexOf(other, indexOf(other) - 1);
        column->setIndex(-1);
    }
    tearDownColumnArray();
    return column;
}

QList<DSColumn *> DSTable::columnsMatching(const QString &text) const
{
    QString trimmed = text;
    while (!trimmed.isEmpty() && (trimmed.front() == QLatin1Char(' ') || trimmed.front() == QLatin1Char('\t')))
        trimmed.remove(0, 1);
    while (!trimmed.isEmpty() && (trimmed.back() == QLatin1Char(' ') || trimmed.back() == QLatin1Char('\t')))
        trimmed.chop(1);
    if (trimmed.isEmpty())
        return sortedColumns();
    QList<QByteArray> terms{QByteArray()};
    for (const QChar c : trimmed) {
        if (c.isSpace())
            terms.append(QByteArray());
        else
            terms.back() += QString(c).toUtf8().toLower();
    }
    if (terms.size() >= 33)
        return {};
    QList<DSColumn *> matching;
    for (DSColumn *column : sortedColumns()) {
        const QString name = column->name();
        const QString title = column->title();
        const bool all = std::all_of(terms.begin(), terms.end(), [&](const QByteArray &term) {
            return containsFolded(name, term) || (!title.isEmpty() && containsFolded(title, term));
        });
        if (all)
            matching.append(column);
    }
    return matching;
}

DSObjectList DSTable::sortedRegressionModels() const
{
    return sortedByIndex(objectsForKey(k_regressionModels));
}

DSManagedObject *DSTable::regressionModelAtIndex(qint64 i) const
{
    return indexedObjectInSet(objectsForKey(k_regressionModels), i);
}

void DSTable::insertRegressionModel(DSManagedObject *model, qint64 i)
{
    insertIndexedObject(model, objectsForKey(k_regressionModels), i);
}

void DSTable::moveRegressionModelAtIndex(qint64 from, qint64 to)
{
    moveIndexedObjectInSet(objectsForKey(k_regressionModels), from, to);
}

DSManagedObject *DSTable::removeRegressionModelFromIndex(qint64 i)
{
    return removeIndexedObjectInSet(objectsForKey(k_regressionModels), i);
}

DSManagedObject *DSTable::filterSetAtIndex(qint64 i) const
{
    return indexedObjectInSet(objectsForKey(k_filterSets), i);
}

void DSTable::insertFilterSet(DSManagedObject *filterSet, qint64 i)
{
    insertIndexedObject(filterSet, objectsForKey(k_filterSets), i);
}

void DSTable::moveFilterSetAtIndex(qint64 from, qint64 to)
{
    moveIndexedObjectInSet(objectsForKey(k_filterSets), from, to);
}

DSManagedObject *DSTable::removeFilterSetFromIndex(qint64 i)
{
    return removeIndexedObjectInSet(objectsForKey(k_filterSets), i);
}

DSObjectList DSTable::sortedPivots() const
{
    return sortedByIndex(objectsForKey(k_pivots));
}

DSManagedObject *DSTable::pivotAtIndex(qint64 i) const
{
    return indexedObjectInSet(objectsForKey(k_pivots), i);
}

void DSTable::insertPivot(DSManagedObject *pivot, qint64 i)
{
    insertIndexedObject(pivot, objectsForKey(k_pivots), i);
}

void DSTable::movePivotAtIndex(qint64 from, qint64 to)
{
    moveIndexedObjectInSet(objectsForKey(k_pivots), from, to);
}

DSManagedObject *DSTable::removePivotFromIndex(qint64 i)
{
    return removeIndexedObjectInSet(objectsForKey(k_pivots), i);
}

DSObjectList DSTable::sortedAggregations() const
{
    return sortedByIndex(objectsForKey(k_aggregations));
}

DSObjectList DSTable::sortedColumnAggregations() const
{
    DSObjectList result = sortedAggregations();
    result.removeIf([](const DSManagedObject *a) { return !isKindOfEntityNamed(a, QStringLiteral("DSColumnAggregation")); });
    return result;
}

DSObjectList DSTable::sortedComputedAggregations() const
{
    DSObjectList result = sortedAggregations();
    result.removeIf([](const DSManagedObject *a) { return !isKindOfEntityNamed(a, QStringLiteral("DSComputedAggregation")); });
    return result;
}

DSManagedObject *DSTable::aggregationAtIndex(qint64 i) const
{
    return indexedObjectInSet(objectsForKey(k_aggregations), i);
}

void DSTable::insertAggregation(DSManagedObject *aggregation, qint64 i)
{
    insertIndexedObject(aggregation, objectsForKey(k_aggregations), i);
}

void DSTable::moveAggregationAtIndex(qint64 from, qint64 to)
{
    moveIndexedObjectInSet(objectsForKey(k_aggregations), from, to);
}

DSManagedObject *DSTable::removeAggregationFromIndex(qint64 i)
{
    return removeIndexedObjectInSet(objectsForKey(k_aggregations), i);
}

void DSTable::insertIndexedObject(DSManagedObject *object, const DSObjectList &set, qint64 i)
{
    if (!hasIndex(object))
        return;
    for (DSManagedObject *member : set)
        if (hasIndex(member) && indexOf(member) >= i)
            setIndexOf(member, indexOf(member) + 1);
    setIndexOf(object, i);
}

DSManagedObject *DSTable::indexedObjectInSet(const DSObjectList &set, qint64 i)
{
    for (DSManagedObject *member : set)
        if (hasIndex(member) && indexOf(member) == i)
            return member;
    return nullptr;
}

void DSTable::moveIndexedObjectInSet(const DSObjectList &set, qint64 from, qint64 to)
{
    if (from == to)
        return;
    for (DSManagedObject *member : set) {
        if (!hasIndex(member))
            continue;
        const qint64 j = indexOf(member);
        if (j == from)
            setIndexOf(member, to);
        else if (from < to && j > from && j <= to)
            setIndexOf(member, j - 1);
        else if (from > to && j >= to && j < from)
            setIndexOf(member, j + 1);
    }
}

DSManagedObject *DSTable::removeIndexedObjectInSet(const DSObjectList &set, qint64 i)
{
    DSManagedObject *removed = indexedObjectInSet(set, i);
    if (!removed)
        return nullptr;
    for (DSManagedObject *member : set)
        if (hasIndex(member) && indexOf(member) > i)
            setIndexOf(member, indexOf(member) - 1);
    setIndexOf(removed, -1);
    return removed;
}

DSObjectList DSTable::sortedByIndex(const DSObjectList &set)
{
    std::vector<std::pair<qint64, DSManagedObject *>> keyed;
    keyed.reserve(size_t(set.size()));
    for (DSManagedObject *member : set)
        if (hasIndex(member))
            keyed.emplace_back(indexOf(member), member);
    std::sort(keyed.begin(), keyed.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    DSObjectList sorted;
    sorted.reserve(qsizetype(keyed.size()));
    for (const auto &entry : keyed)
        sorted.append(entry.second);
    return sorted;
}

void DSTable::addRows(qint64 n)
{
    for (DSColumn *column : columns())
        column->addRows(n);
    purgeOutputTables();
}

void DSTable::dropRows(const DSIndexSet &rows)
{
    for (DSColumn *column : columns())
        column->dropRows(rows);
    purgeOutputTables();
}

void DSTable::purgeOutputTables()
{
    DSManagedObjectContext *context = managedObjectContext();
    if (!context)
        return;
    // An input link has no inverse on the table it names, so the tables
    // using this one are found through the links' owners.
    for (DSManagedObject *link : context->objectsOfEntity(QStringLiteral("DSTableInput")))
        if (link->objectForKey(QStringLiteral("table")) == this)
            if (auto *owner = ds_object_cast<DSTable>(link->objectForKey(QStringLiteral("owner"))))
                for (DSColumn *column : owner->columns())
                    column->recursivePurge();
}

void DSTable::addInputTable(DSTable *table)
{
    DSManagedObject *link = insertNewObjectOfEntity(QStringLiteral("DSTableInput"));
    link->setObject(table, QStringLiteral("table"));
    addObject(link, k_inputs);
}

DSTable *DSTable::input() const
{
    const DSObjectList links = objectsForKey(k_inputs);
    return links.isEmpty() ? nullptr : ds_object_cast<DSTable>(links.first()->objectForKey(QStringLiteral("table")));
}

void DSTable::setInput(DSTable *table)
{
    for (DSManagedObject *link : objectsForKey(k_inputs)) {
        removeObject(link, k_inputs);
        if (DSManagedObjectContext *context = managedObjectContext())
            context->deleteObject(link);
    }
    if (table)
        addInputTable(table);
}

DSColumn *DSTable::frequency_weights_column() const
{
    return ds_object_cast<DSColumn>(objectForKey(QStringLiteral("frequency_weights_column")));
}

void DSTable::setFrequency_weights_column(DSColumn *column)
{
    setObject(column, QStringLiteral("frequency_weights_column"));
}

DSColumn *DSTable::sort_by_column() const
{
    return ds_object_cast<DSColumn>(objectForKey(QStringLiteral("sort_by_column")));
}

void DSTable::setSort_by_column(DSColumn *column)
{
    setObject(column, QStringLiteral("sort_by_column"));
}

bool DSTable::isFrequencyWeighted() const
{
    const DSColumn *column = frequency_weights_column();
    return apply_frequency_weights() && column && !column->isDeleted();
}

qint64 DSTable::getFrequencyWeights(const int32_t **out)
{
    if (!isFrequencyWeighted()) {
        if (out)
            *out = nullptr;
        return 0;
    }
    const qint64 n = num_records();
    if (m_weights.size() < size_t(n))
        m_weights.resize(size_t(n));
    DSColumn *column = frequency_weights_column();
    if (auto *numeric = dynamic_cast<DSNumericColumn *>(column)) {
        const double *values = nullptr;
        const qint64 answered = numeric->getValues(&values);
        const qint64 count = values ? std::min(answered, n) : 0;
        for (qint64 r = 0; r < n; ++r)
            m_weights[size_t(r)] = r < count ? weightOf(values[r]) : 0;
    } else if (auto *indicator = dynamic_cast<DSIndicatorColumn *>(column)) {
        const uint8_t *bits = nullptr, *missing = nullptr;
        // The masks may cover fewer rows than the table: rows past them weigh 0.
        const qint64 bytes = indicator->getBytes(&bits, &missing);
        const qint64 rows = bits ? std::clamp<qint64>(bytes * 8, 0, n) : 0;
        for (qint64 r = 0; r < n; ++r) {
            const uint8_t bit = uint8_t(1u << (r % 8));
            m_weights[size_t(r)] = r < rows && (bits[r / 8] & bit) && !(missing && (missing[r / 8] & bit)) ? 1 : 0;
        }
    } else {
        // A column of another kind defines no weights: every row counts once.
        std::fill_n(m_weights.begin(), n, 1);
    }
    if (out)
        *out = m_weights.data();
    return n;
}

qint64 DSTable::getNonmissingMask(const uint8_t **out, const QList<DSColumn *> &maskColumns, const uint8_t *mask,
                                  qint64 length)
{
    const qint64 n = num_records();
    const qint64 bytes = (n + 7) / 8;
    bool present = false;
    if (mask) {
        // Only the mask's own length is read: a present mask of length 0
        // selects no row.
        m_nonmissingMask.assign(size_t(bytes), 0);
        std::copy_n(mask, std::clamp<qint64>(length, 0, bytes), m_nonmissingMask.begin());
        present = true;
    }
    for (DSColumn *column : maskColumns) {
        const uint8_t *missing = nullptr;
        const qint64 missingBytes = column->getMissingMask(&missing);
        if (!missing || missingBytes <= 0)
            continue;
        if (!present) {
            m_nonmissingMask.assign(size_t(bytes), 0xFF);
            present = true;
        }
        for (qint64 j = 0, end = std::min(bytes, missingBytes); j < end; ++j)
            m_nonmissingMask[size_t(j)] &= uint8_t(~missing[j]);
    }
    if (present)
        clearTrailingBits(m_nonmissingMask, n, bytes);
    if (out)
        *out = present ? m_nonmissingMask.data() : nullptr;
    return bytes;
}

QVariantMap DSTable::label_colors() const
{
    return propertyListForKey(QStringLiteral("label_colors")).toMap().toVariantMap();
}

void DSTable::replaceHueForLabel(const QString &label, double hue)
{
    QCborMap colors = propertyListForKey(QStringLiteral("label_colors")).toMap();
    colors.insert(label, hue);
    setPrimitiveValue(QVariant::fromValue(QCborValue(colors)), QStringLiteral("label_colors"));
}

void DSTable::setPaneByte(int byte, quint64 value, bool show)
{
    const int shift = 8 * byte;
    m_viewFlags = (m_viewFlags & ~(quint64(0xFF) << shift)) | (show ? value << shift : 0);
}

DSColumnSelection *DSTable::column_selection()
{
    if (!m_columnSelection)
        m_columnSelection = std::make_unique<DSColumnSelection>(this);
    return m_columnSelection.get();
}

DSColumnSelection *DSTable::covariate_selection()
{
    if (!m_covariateSelection)
        m_covariateSelection = std::make_unique<DSColumnSelection>(this);
    return m_covariateSelection.get();
}

void DSTable::setColumn_selection(std::unique_ptr<DSColumnSelection> selection)
{
    m_columnSelection = std::move(selection);
}

void DSTable::setCovariate_selection(std::unique_ptr<DSColumnSelection> selection)
{
    m_covariateSelection = std::move(selection);
}

DSColumn *DSTable::active_column()
{
    DSColumnSelection *selection = column_selection();
    return selection->count() == 1 ? selection->columnAtIndex(0) : nullptr;
}

DSColumn *DSTable::active_covariate()
{
    DSColumnSelection *selection = covariate_selection();
    return selection->count() == 1 ? selection->columnAtIndex(0) : nullptr;
}

std::shared_ptr<DSColumnCategory> DSTable::active_column_category()
{
    if (!active_column() || column_selection()->numberOfCategoriesAtIndex(0) != 1)
        return nullptr;
    return column_selection()->categoriesAtIndex(0).first();
}

std::shared_ptr<DSColumnCategory> DSTable::active_covariate_category()
{
    if (!active_covariate() || covariate_selection()->numberOfCategoriesAtIndex(0) != 1)
        return nullptr;
    return covariate_selection()->categoriesAtIndex(0).first();
}

QList<DSColumn *> DSTable::sortedCovariateSet() const
{
    QList<DSColumn *> counted;
    for (DSColumn *column : m_covariateSet)
        if (!dynamic_cast<DSTextColumn *>(column) || column->treat_as_categories())
            counted.append(column);
    std::sort(counted.begin(), counted.end(), [](DSColumn *a, DSColumn *b) { return a->index() < b->index(); });
    return counted;
}

bool DSTable::covariateSetContainsOnlyNames(const QStringList &names) const
{
    return std::all_of(m_covariateSet.begin(), m_covariateSet.end(),
                       [&](const DSColumn *column) { return names.contains(column->name()); });
}

void DSTable::removeFaultedColumnsFromCovariateSet()
{
    m_covariateSet.removeIf([](DSColumn *column) { return column->isFault() || column->isDeleted(); });
}

void DSTable::resetPivotFunctions()
{
    m_pivotNumericFunctions = {0};
    m_pivotCategoryFunctions = {21};
    m_pivotTimeFunctions = {10};
    m_pivotTextFunctions = {21};
}

void DSTable::purgeImagesForColumnsDisplayingLabel(const QString &label)
{
    for (DSColumn *column : columns()) {
        const std::shared_ptr<DSColumnSummary> summary = column->temp_summary();
        if (!summary)
            continue;
        const QList<DSColumnSummary::CategoryRef> categories = summary->categories();
        const bool shows = std::any_of(categories.begin(), categories.end(), [&](const auto &category) {
            return category && category->longValue() == label;
        });
        if (!shows)
            continue;
        column->setLast_image(column->temp_image());
        column->setTemp_image(nullptr);
        for (const auto &category : categories)
            if (category)
                category->purgeImageAndColors();
    }
}
