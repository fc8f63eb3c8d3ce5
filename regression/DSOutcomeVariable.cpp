#include "regression/DSOutcomeVariable.h"

#include "model/DSColumnCondition.h"
#include "model/DSIndicatorColumn.h"
#include "model/DSNumericColumn.h"
#include "model/DSNumericColumnCategory.h"
#include "model/DSTextColumnCategory.h"
#include "model/DSTable.h"
#include "model/DSTimeColumn.h"
#include "model/ds_time_units.h"
#include "model/ds_row_mask.h"
#include "platform/store/DSEntityDescription.h"
#include "regression/DSExplanatoryColumnVariable.h"
#include "regression/DSExplanatoryInteractionVariable.h"
#include "regression/DSRegression.h"
#include "regression/DSRegressionModel.h"
#include "model/DSColumnSummary.h"
#include "regression/ds_row_values.h"
#include "varrow/varrow.h"

#include <QHash>
#include <QVariant>

#include <algorithm>
#include <array>
#include <cmath>
#include <unordered_map>

namespace {

const QString k_relations = QStringLiteral("column_relations");
const QString k_tag = QStringLiteral("tag");
const QString k_column = QStringLiteral("column");
const QString k_applied = QStringLiteral("is_applied");
const QString k_conditions = QStringLiteral("right_censoring_conditions");

// Clears in mask every row set in `drop` (a missing mask of `bytes` bytes;
// null drops nothing).
void clearRows(std::vector<uint8_t> &mask, const uint8_t *drop, qint64 bytes)
{
    const size_t n = std::min(mask.size(), size_t(bytes > 0 ? bytes : 0));
    for (size_t i = 0; drop && i < n; ++i)
        mask[i] &= uint8_t(~drop[i]);
}

// Clears the rows missing in the column.
void clearMissingRows(std::vector<uint8_t> &mask, DSColumn *column)
{
    if (!column)
        return;
    const uint8_t *missing = nullptr;
    const qint64 bytes = column->getMissingMask(&missing);
    clearRows(mask, missing, bytes);
}

// Clears the rows whose value does not pass keep(x); rows past the column's
// values count as NaN.
template <class Keep>
void clearRowsFailing(std::vector<uint8_t> &mask, qint64 rows, DSNumericColumn *column, Keep keep)
{
    const double *values = nullptr;
    const qint64 count = column ? column->getValues(&values) : 0;
    for (qint64 r = 0; r < rows; ++r)
        if (!keep(r < count ? values[r] : NAN))
            mask[size_t(r >> 3)] &= uint8_t(~(1u << (r & 7)));
}

// The value of a category of a numeric column; NaN for other kinds.
double categoryValue(const DSColumnCategory &category)
{
    const auto *numeric = dynamic_cast<const DSNumericColumnCategory *>(&category);
    return numeric ? numeric->value() : NAN;
}

} // namespace

DSOutcomeVariable::DSOutcomeVariable() = default;

DSOutcomeVariable::~DSOutcomeVariable()
{
    unloadBuffers();
}

DSColumn *DSOutcomeVariable::column() const
{
    return ds_object_cast<DSColumn>(objectForKey(k_column));
}

void DSOutcomeVariable::setColumn(DSColumn *column)
{
    setObject(column, k_column);
}

DSRegressionModel *DSOutcomeVariable::model() const
{
    return ds_object_cast<DSRegressionModel>(objectForKey(QStringLiteral("model")));
}

void DSOutcomeVariable::setModel(DSRegressionModel *model)
{
    setObject(model, QStringLiteral("model"));
}

void DSOutcomeVariable::setOrdered_values(const QCborArray &values)
{
    setPrimitiveValue(QVariant::fromValue(QCborValue(values)), QStringLiteral("ordered_values"));
}

DSObjectList DSOutcomeVariable::sortedCensoringConditions() const
{
    if (!entity()->relationshipNamed(k_conditions))
        return {};
    return DSTable::sortedByIndex(objectsForKey(k_conditions));
}

DSManagedObject *DSOutcomeVariable::columnRelationWithTag(qint64 tag) const
{
    if (!entity()->relationshipNamed(k_relations))
        return nullptr;
    for (DSManagedObject *relation : objectsForKey(k_relations))
        if (relation->integerForKey(k_tag) == tag)
            return relation;
    return nullptr;
}

DSManagedObject *DSOutcomeVariable::fetchOrInsertColumnRelationWithTag(qint64 tag)
{
    if (!entity()->relationshipNamed(k_relations))
        return nullptr;
    if (DSManagedObject *relation = columnRelationWithTag(tag))
        return relation;
    DSManagedObject *relation = insertNewObjectOfEntity(QStringLiteral("DSOutcomeColumnRelation"));
    if (!relation)
        return nullptr;
    relation->setPrimitiveValue(qlonglong(tag), k_tag);
    // Only the exposure applies as soon as its column is named.
    relation->setPrimitiveValue(tag == 1, k_applied);
    relation->setObject(this, QStringLiteral("owner"));
    return relation;
}

DSColumn *DSOutcomeVariable::roleColumn(qint64 tag) const
{
    const DSManagedObject *relation = columnRelationWithTag(tag);
    return relation ? ds_object_cast<DSColumn>(relation->objectForKey(k_column)) : nullptr;
}

void DSOutcomeVariable::setRoleColumn(qint64 tag, DSColumn *column)
{
    if (DSManagedObject *relation = fetchOrInsertColumnRelationWithTag(tag))
        relation->setObject(column, k_column);
}

bool DSOutcomeVariable::isApplied(qint64 tag) const
{
    const DSManagedObject *relation = columnRelationWithTag(tag);
    return relation && relation->boolForKey(k_applied);
}

void DSOutcomeVariable::setApplied(qint64 tag, bool on)
{
    if (DSManagedObject *relation = fetchOrInsertColumnRelationWithTag(tag))
        relation->setPrimitiveValue(on, k_applied);
}

DSNumericColumn *DSOutcomeVariable::weight_column() const
{
    return dynamic_cast<DSNumericColumn *>(roleColumn(0));
}

void DSOutcomeVariable::setWeight_column(DSNumericColumn *column)
{
    setRoleColumn(0, column);
}

DSNumericColumn *DSOutcomeVariable::exposure_column() const
{
    return dynamic_cast<DSNumericColumn *>(roleColumn(1));
}

void DSOutcomeVariable::setExposure_column(DSNumericColumn *column)
{
    setRoleColumn(1, column);
}

QString DSOutcomeVariable::name() const
{
    DSColumn *c = column();
    return c ? c->name() : QString();
}

bool DSOutcomeVariable::is_binary_response() const
{
    if (dynamic_cast<DSIndicatorColumn *>(column()))
        return true;
    return treat_as_categories() && m_categoryCount == 2;
}

qint64 DSOutcomeVariable::selectedModelCode() const
{
    if (is_binary_response())
        return binary_model();
    return treat_as_categories() ? category_model() : cardinal_model();
}

// The class answers of the regression factory's table: linear and
// log-linear fits take analytic weights, Poisson and negative binomial ones
// exposures; categorical outcomes neither.
bool DSOutcomeVariable::hasOptionalWeights() const
{
    if (treat_as_categories() || is_binary_response())
        return false;
    const qint64 code = cardinal_model();
    return code == DSOutcomeModelLinear || code == DSOutcomeModelLogLinear;
}

bool DSOutcomeVariable::doWeight() const
{
    return hasOptionalWeights() && apply_weights() && weight_column();
}

bool DSOutcomeVariable::hasOptionalExposure() const
{
    if (treat_as_categories() || is_binary_response())
        return false;
    const qint64 code = cardinal_model();
    return code == DSOutcomeModelPoisson || code == DSOutcomeModelNegativeBinomial;
}

bool DSOutcomeVariable::doExpose() const
{
    return hasOptionalExposure() && apply_exposure() && exposure_column();
}

bool DSOutcomeVariable::doCensor() const
{
    if (treat_as_categories() || cardinal_model() != DSOutcomeModelCox)
        return false;
    const bool byConditions = apply_right_censoring() && !sortedCensoringConditions().isEmpty();
    const bool byDefault = apply_default() && default_column() && default_is_censored();
    return byConditions || byDefault;
}

bool DSOutcomeVariable::doStratify() const
{
    return !treat_as_categories() && cardinal_model() == DSOutcomeModelCox && apply_stratification()
        && stratification_column();
}

bool DSOutcomeVariable::doCause() const
{
    return !treat_as_categories() && cardinal_model() == DSOutcomeModelCox && apply_cause() && cause_column();
}

bool DSOutcomeVariable::hasMultipleCoefficientSets() const
{
    return (treat_as_categories() && m_categoryCount > 2 && category_model() == DSOutcomeModelMultinomialLogit)
        || doCause();
}

bool DSOutcomeVariable::hasMultiplePredictionSets() const
{
    return (treat_as_categories() && m_categoryCount > 2) || doCause();
}

bool DSOutcomeVariable::hasPredictionDistribution() const
{
    return !treat_as_categories() && cardinal_model() == DSOutcomeModelCox;
}

namespace {

// The class answers of the outcome's regression: the last fit, else a
// fresh unrun instance of the class its codes select (which the caller
// keeps alive in `made`); null when they select none.
const DSRegression *regressionClassOf(const DSOutcomeVariable *outcome, std::unique_ptr<DSRegression> &made)
{
    if (const DSRegression *fitted = outcome->temp_regression())
        return fitted;
    made = DSRegression::regressionForOutcome(outcome);
    return made.get();
}

} // namespace

int64_t DSOutcomeVariable::coefficientDistribution() const
{
    std::unique_ptr<DSRegression> made;
    const DSRegression *regression = regressionClassOf(this, made);
    if (!regression)
        return 0;
    return regression->coefficientDistribution() | (displayOddsRatios() ? int64_t(DSCoefficientDistributionOddsRatios) : 0);
}

bool DSOutcomeVariable::displayOddsRatios() const
{
    std::unique_ptr<DSRegression> made;
    const DSRegression *regression = regressionClassOf(this, made);
    const DSRegressionModel *owner = model();
    return regression && owner && regression->coefficientsCanBeExpressedAsOddsRatios() && owner->report_odds_ratios();
}

QString DSOutcomeVariable::coefficientFigureName() const
{
    std::unique_ptr<DSRegression> made;
    const DSRegression *regression = regressionClassOf(this, made);
    if (regression && displayOddsRatios())
        return regression->oddsRatioFigureName();
    return QStringLiteral("coefficient");
}

qint64 DSOutcomeVariable::active_coefficient_set() const
{
    if (!hasMultipleCoefficientSets())
        return m_coefficientOffset;
    return m_activeCategory ? coefficientSetForCategoryIndex(m_activeCategory->index()) : -1;
}

qint64 DSOutcomeVariable::temp_number_of_restrictions() const
{
    return doCause() ? m_causeCount : m_categoryCount - 1;
}

void DSOutcomeVariable::updateCategories()
{
    DSColumn *c = column();
    if (!c)
        return;
    const auto summary = c->summaryWithSignificance(NAN);
    copyCategories(summary ? summary->categories() : QList<CategoryRef>(), c->NSNumberFormatter());
}

void DSOutcomeVariable::copyCategories(const QList<CategoryRef> &categories,
                                       std::shared_ptr<const DSDurationFormatter> formatter)
{
    QList<CategoryRef> kept;
    for (const CategoryRef &category : categories)
        if (!category->is_missing() && category->count() != 0)
            kept.append(category);
    if (kept.isEmpty()) {
        m_categoryCount = 0;
        return;
    }
    // One pass over the listed values and one over the kept categories,
    // through an index of the kept ones by value: an outcome of a million
    // distinct values costs a million steps, not their square.
    QHash<QString, qsizetype> byText;
    std::unordered_map<double, qsizetype> byNumber;
    for (qsizetype i = kept.size() - 1; i >= 0; --i) {
        if (const auto *text = dynamic_cast<const DSTextColumnCategory *>(kept[i].get()))
            byText.insert(text->value(), i);
        else
            byNumber[categoryValue(*kept[i])] = i;
    }
    std::vector<bool> placed(size_t(kept.size()), false);
    QList<CategoryRef> order;
    order.reserve(kept.size());
    auto place = [&](qsizetype i) {
        if (i >= 0 && !placed[size_t(i)]) {
            placed[size_t(i)] = true;
            order.append(kept[i]);
        }
    };
    for (const QCborValue &listed : ordered_values()) {
        if (listed.isString()) {
            place(byText.value(listed.toString(), -1));
        } else if (listed.isDouble() || listed.isInteger()) {
            const auto found = byNumber.find(listed.toDouble());
            place(found == byNumber.end() ? -1 : found->second);
        }
    }
    for (qsizetype i = 0; i < kept.size(); ++i)
        place(i);
    m_categoryLookup.assign(size_t(order.size()), 0.0);
    for (qsizetype i = 0; i < order.size(); ++i) {
        m_categoryLookup[size_t(i)] = double(order[i]->index());
        const auto *text = dynamic_cast<const DSTextColumnCategory *>(order[i].get());
        setCategoryValue(text ? QVariant(text->value()) : QVariant(categoryValue(*order[i])), order[i]->label(),
                         formatter, order[i]->count(), i);
    }
    m_categoryCount = order.size();
}

void DSOutcomeVariable::setCategoryValue(const QVariant &value, const QString &label,
                                         std::shared_ptr<const DSDurationFormatter> formatter, qint64 count, qint64 i)
{
    const bool isText = value.typeId() == QMetaType::QString;
    if (!isText && value.typeId() != QMetaType::Double && value.typeId() != QMetaType::LongLong
        && value.typeId() != QMetaType::Int)
        return;
    auto make = [&]() -> CategoryRef {
        if (isText)
            return std::make_shared<DSTextColumnCategory>();
        return std::make_shared<DSNumericColumnCategory>(formatter);
    };
    while (m_categories.size() <= i)
        m_categories.append(make());
    if (isText) {
        auto category = std::dynamic_pointer_cast<DSTextColumnCategory>(m_categories[i]);
        if (!category)
            m_categories[i] = category = std::make_shared<DSTextColumnCategory>();
        category->setValue(value.toString());
    } else {
        auto category = std::dynamic_pointer_cast<DSNumericColumnCategory>(m_categories[i]);
        if (!category)
            m_categories[i] = category = std::make_shared<DSNumericColumnCategory>(formatter);
        category->setValue(value.toDouble());
    }
    const CategoryRef &category = m_categories[i];
    category->setLabel(label);
    category->setCount(count);
    category->setIndex(i);
    category->setColumn(column());
}

DSOutcomeVariable::CategoryRef DSOutcomeVariable::categoryAtIndex(qint64 i) const
{
    return i >= 0 && i < m_categoryCount && i < m_categories.size() ? m_categories[i] : nullptr;
}

DSOutcomeVariable::CategoryRef DSOutcomeVariable::baseCategory() const
{
    for (qint64 i = 0; i < m_categoryCount; ++i)
        if (m_categoryLookup[size_t(i)] == double(base_category()))
            return categoryAtIndex(i);
    return nullptr;
}

DSOutcomeVariable::CategoryRef DSOutcomeVariable::nonBaseCategory() const
{
    for (qint64 i = 0; i < m_categoryCount; ++i)
        if (m_categoryLookup[size_t(i)] != double(base_category()))
            return categoryAtIndex(i);
    return nullptr;
}

qint64 DSOutcomeVariable::getModelMask(const uint8_t **out, const uint8_t *mask, qint64 length)
{
    return getRemainingMask(out, true, mask, length);
}

DSRowMaskRef DSOutcomeVariable::modelMask(const DSRowMaskRef &tableMask)
{
    const uint8_t *out = nullptr;
    const qint64 length = getModelMask(&out, ds_mask_data(tableMask), ds_mask_length(tableMask));
    DSRegressionModel *owner = model();
    DSTable *table = owner ? owner->table() : nullptr;
    if (!out || length <= 0)
        return nullptr;
    return ds_row_mask_copy(out, length, table ? table->num_records() : 0);
}

qint64 DSOutcomeVariable::getPredictionMask(const uint8_t **out, const uint8_t *mask, qint64 length)
{
    return getRemainingMask(out, false, mask, length);
}

qint64 DSOutcomeVariable::getRemainingMask(const uint8_t **out, bool includingSelf, const uint8_t *mask,
                                           qint64 length)
{
    DSRegressionModel *owner = model();
    DSTable *table = owner ? owner->table() : nullptr;
    const qint64 rows = table ? table->num_records() : 0;
    const size_t bytes = size_t(ds_mask_bytes(rows));
    if (m_includeMask.size() < bytes)
        m_includeMask.resize(bytes);
    std::vector<uint8_t> &include = m_includeMask;
    // Algorithms rather than memset and memcpy: a table without rows has no
    // mask storage at all, and those may not see its null pointer.
    if (mask) {
        std::fill_n(include.begin(), bytes, uint8_t(0));
        std::copy_n(mask, std::min(bytes, size_t(length > 0 ? length : 0)), include.begin());
    } else {
        std::fill_n(include.begin(), bytes, uint8_t(0xff));
        if (rows % 8)
            include[bytes - 1] = uint8_t((1u << (rows % 8)) - 1);
    }

    const int32_t *weights = nullptr;
    const qint64 weighted = table ? table->getFrequencyWeights(&weights) : 0;
    for (qint64 r = 0; weights && r < std::min(weighted, rows); ++r)
        if (weights[r] < 1)
            include[size_t(r >> 3)] &= uint8_t(~(1u << (r & 7)));

    for (DSExplanatoryVariable *variable : owner ? owner->sortedExplanatoryVariables() : QList<DSExplanatoryVariable *>()) {
        if (!variable->is_included())
            continue;
        if (auto *columnVariable = dynamic_cast<DSExplanatoryColumnVariable *>(variable))
            clearMissingRows(include, columnVariable->column());
        else if (auto *interaction = dynamic_cast<DSExplanatoryInteractionVariable *>(variable))
            for (DSExplanatoryColumnVariable *input : interaction->inputs())
                if (!input->is_included())
                    clearMissingRows(include, input->column());
    }
    if (doExpose())
        clearRowsFailing(include, rows, exposure_column(), [](double x) { return x > 0; });
    if (doWeight())
        clearRowsFailing(include, rows, weight_column(), [](double x) { return x >= 0; });
    if (doStratify())
        clearMissingRows(include, stratification_column());
    if (doCause())
        clearMissingRows(include, cause_column());

    if (includingSelf) {
        DSColumn *outcome = column();
        DSColumn *fallback = apply_default() ? default_column() : nullptr;
        if (outcome) {
            const uint8_t *missing = nullptr;
            const qint64 missingBytes = outcome->getMissingMask(&missing);
            if (fallback && missing) {
                // Only rows missing in both the outcome and its default leave.
                const uint8_t *fallbackMissing = nullptr;
                const qint64 fallbackBytes = fallback->getMissingMask(&fallbackMissing);
                std::vector<uint8_t> both(size_t(std::max<qint64>(missingBytes, 0)), 0);
                for (qint64 i = 0; fallbackMissing && i < std::min(missingBytes, fallbackBytes); ++i)
                    both[size_t(i)] = missing[i] & fallbackMissing[i];
                clearRows(include, both.data(), qint64(both.size()));
            } else {
                clearRows(include, missing, missingBytes);
            }
        }
        // The log-linear rule follows the model that is fitted: a binary
        // response goes by binary_model whatever cardinal_model holds.
        if (!treat_as_categories() && !is_binary_response() && cardinal_model() == DSOutcomeModelLogLinear) {
            auto *numeric = dynamic_cast<DSNumericColumn *>(outcome);
            if (numeric)
                clearRowsFailing(include, rows, numeric, [](double y) { return y > 0; });
            else
                std::fill_n(include.begin(), bytes, uint8_t(0));
        }
    }
    *out = include.data();
    return qint64(bytes);
}

qint64 DSOutcomeVariable::addDataToMatrix(const ds_data_matrix_s &matrix, qint64 first, const int32_t *lookup)
{
    DSColumn *c = column();
    double *to = matrix.column(first);
    if (auto *indicator = dynamic_cast<DSIndicatorColumn *>(c)) {
        const uint8_t *bits = nullptr;
        const qint64 bytes = indicator->getBytes(&bits, nullptr);
        ds_for_matrix_rows(matrix.rows, [&](int64_t begin, int64_t end) {
            for (int64_t i = begin; i < end; ++i) {
                const int32_t r = lookup[i];
                to[i] = bits && r / 8 < bytes && ds_mask_test(bits, r) ? 1.0 : 0.0;
            }
        });
        return 1;
    }
    if (c && treat_as_categories()) {
        updateCategories();
        const int32_t *bins = nullptr;
        qint64 m = 0;
        const qint64 count = c->getIndexedValues(&bins, &m);
        ds_for_matrix_rows(matrix.rows, [&](int64_t begin, int64_t end) {
            for (int64_t i = begin; i < end; ++i)
                to[i] = lookup[i] < count ? double(bins[lookup[i]]) : double(m - 1);
        });
        if (!baseCategory() && m_categoryCount > 0)
            setBase_category(qint64(m_categoryLookup[0]));
        return m > 0 ? m - 1 : 0;
    }
    auto *times = dynamic_cast<DSTimeColumn *>(c);
    if (!times && !dynamic_cast<DSNumericColumn *>(c))
        return 0;
    const bool hours = times && times->isTimeOfDay();
    const double divisor = !times ? 1 : hours ? 3600 : 86400;
    const double earliest = writeCardinalColumn(to, matrix.rows, lookup, divisor);
    if (times) {
        m_timeDivisor = divisor;
        m_referenceDate =
            std::isnan(earliest) ? 0 : ds_time_floor(hours ? ds_time_unit_hour : ds_time_unit_day, nullptr, earliest) / divisor;
    }
    return 1;
}

double DSOutcomeVariable::writeCardinalColumn(double *to, qint64 rows, const int32_t *lookup, double divisor)
{
    DSColumn *c = column();
    const double *values = nullptr;
    const qint64 count = ds_row_values(c, &values);
    const double *fallback = nullptr;
    const qint64 fallbackCount = apply_default() ? ds_row_values(default_column(), &fallback) : 0;
    const uint8_t *missing = nullptr;
    const qint64 missingBytes = c->getMissingMask(&missing);
    // Each chunk keeps the least value it wrote in its own slot.
    std::array<double, ds_row_chunks> earliest;
    earliest.fill(NAN);
    ds_parallel_for(ds_row_chunks, uint64_t(rows > 0 ? rows : 0), [&](uint64_t chunk, int64_t begin, int64_t end) {
        double least = NAN;
        for (int64_t i = begin; i < end; ++i) {
            const int32_t r = lookup[i];
            double y = r < count ? values[r] : NAN;
            if (missing && r / 8 < missingBytes && ds_mask_test(missing, r))
                y = r < fallbackCount ? fallback[r] : NAN;
            if (!std::isnan(y))
                least = std::fmin(least, y);
            to[i] = std::isnan(y) ? 0.0 : y / divisor;
        }
        earliest[chunk] = least;
    });
    double least = NAN;
    for (double value : earliest)
        least = std::fmin(least, value);
    return least;
}

namespace {

// Loads one vector of host values in lookup order (panel form with panels);
// the library copies them.
VRWVectorBuffer_s *loadReals(VRWContext_s *context, const std::vector<double> &values, const int32_t *panelSizes,
                             qint64 panelCount, int32_t *status)
{
    if (panelCount)
        return vrw_load_unbalanced_panel_float_vector(context, values.data(), uint32_t(values.size()), panelSizes,
                                                      int32_t(panelCount), status);
    return vrw_load_float_vector(context, values.data(), uint32_t(values.size()), status);
}

VRWVectorBuffer_s *loadIntegers(VRWContext_s *context, const std::vector<int32_t> &values, const int32_t *panelSizes,
                                qint64 panelCount, int32_t *status)
{
    if (panelCount)
        return vrw_load_unbalanced_panel_integer_vector(context, values.data(), uint32_t(values.size()), panelSizes,
                                                        int32_t(panelCount), status);
    return vrw_load_integer_vector(context, values.data(), uint32_t(values.size()), status);
}

// A numeric column's values in lookup order (NaN past its values).
std::vector<double> valuesInLookupOrder(DSNumericColumn *column, const int32_t *lookup, qint64 rows)
{
    std::vector<double> out(static_cast<size_t>(rows));
    const double *values = nullptr;
    const qint64 count = column ? column->getValues(&values) : 0;
    for (qint64 i = 0; i < rows; ++i)
        out[size_t(i)] = lookup[i] < count ? values[lookup[i]] : NAN;
    return out;
}

// Each row's bin in the column's index in lookup order; *bins the bin count.
std::vector<double> binsInLookupOrder(DSColumn *column, const int32_t *lookup, qint64 rows, qint64 *bins)
{
    std::vector<double> out(static_cast<size_t>(rows));
    const int32_t *positions = nullptr;
    const qint64 count = column ? column->getIndexedValues(&positions, bins) : 0;
    for (qint64 i = 0; i < rows; ++i)
        out[size_t(i)] = lookup[i] < count ? double(positions[lookup[i]]) : double(*bins - 1);
    return out;
}

} // namespace

int32_t DSOutcomeVariable::rebuildBuffersWithPanelSizes(const int32_t *panelSizes, qint64 panelCount,
                                                        const int32_t *lookup, VRWContext_s *context)
{
    unloadBuffers();
    m_causeCount = m_stratumCount = 1;
    if (!context)
        return CL_INVALID_CONTEXT;
    const int32_t status = rebuildVectors(panelSizes, panelCount, lookup, context);
    if (status != 0) {
        unloadBuffers();
        return status;
    }
    m_buffersNeedReload = false;
    return 0;
}

int32_t DSOutcomeVariable::rebuildVectors(const int32_t *panelSizes, qint64 panelCount, const int32_t *lookup,
                                          VRWContext_s *context)
{
    DSRegressionModel *owner = model();
    const qint64 rows = owner && owner->table() ? owner->table()->num_records() : 0;
    int32_t status = 0;
    if (doExpose()) {
        m_exposure = loadReals(context, valuesInLookupOrder(exposure_column(), lookup, rows), panelSizes, panelCount,
                               &status);
        if (status)
            return status;
    }
    if (doCensor()) {
        m_censoring = loadIntegers(context, censoredInLookupOrder(lookup, rows), panelSizes, panelCount, &status);
        if (status)
            return status;
    }
    if (doStratify()) {
        qint64 bins = 0;
        m_strata = loadReals(context, binsInLookupOrder(stratification_column(), lookup, rows, &bins), panelSizes,
                             panelCount, &status);
        m_stratumCount = bins;
        if (status)
            return status;
    }
    if (doCause()) {
        DSColumn *causes = cause_column();
        const auto summary = causes->summaryWithSignificance(NAN);
        copyCategories(summary ? summary->categories() : QList<CategoryRef>(),
                       dynamic_cast<DSNumericColumn *>(causes) ? causes->NSNumberFormatter() : nullptr);
        qint64 bins = 0;
        m_causes = loadReals(context, binsInLookupOrder(causes, lookup, rows, &bins), panelSizes, panelCount, &status);
        m_causeCount = bins;
        if (status)
            return status;
    }
    if (doWeight()) {
        m_weights = loadReals(context, valuesInLookupOrder(weight_column(), lookup, rows), panelSizes, panelCount,
                              &status);
        if (status)
            return status;
    }
    return 0;
}

std::vector<int32_t> DSOutcomeVariable::censoredInLookupOrder(const int32_t *lookup, qint64 rows) const
{
    std::vector<int32_t> censored(size_t(rows), 0);
    const QList<DSColumnCondition *> conditions = ds_objects_cast<DSColumnCondition>(sortedCensoringConditions());
    if (apply_right_censoring() && !conditions.isEmpty()) {
        std::vector<uint8_t> matched(size_t((rows + 7) / 8));
        DSColumnCondition::applyConditions(conditions, right_censoring_predicate_type() == 1, matched.data(),
                                           qint64(matched.size()));
        for (qint64 i = 0; i < rows; ++i)
            censored[size_t(i)] = ds_mask_test(matched.data(), lookup[i]);
    }
    // Rows whose outcome comes from the default column count as censored.
    if (apply_default() && default_column() && default_is_censored() && column()) {
        const uint8_t *missing = nullptr;
        const qint64 bytes = column()->getMissingMask(&missing);
        for (qint64 i = 0; missing && i < rows; ++i)
            censored[size_t(i)] |= lookup[i] / 8 < bytes && ds_mask_test(missing, lookup[i]);
    }
    return censored;
}

void DSOutcomeVariable::unloadBuffers()
{
    for (VRWVectorBuffer_s **vector : {&m_exposure, &m_weights, &m_censoring, &m_strata, &m_causes}) {
        vrw_unload_vector(*vector);
        *vector = nullptr;
    }
    m_buffersNeedReload = true;
}

int64_t DSOutcomeVariable::runRegressionWithFrequencyWeights(VRWVectorBuffer_s *weights, VRWContext_s *context,
                                                             std::optional<DSError> *error)
{
    // Without a fitting library there is nothing to run, and no fit to report.
    if (!context)
        return 0;
    DSRegressionModel *owner = model();
    const VRWMatrixBuffer_s *data = owner ? owner->dataBuffer(context) : nullptr;
    m_regression = DSRegression::regressionForOutcome(this);
    if (!m_regression)
        return 0;
    DSError failure;
    const int64_t code = m_regression->runRegressionForOutcome(this, data, weights, context, &failure);
    if (error && !failure.localizedDescription.isEmpty())
        *error = failure;
    return code;
}

void DSOutcomeVariable::awakeFromInsert()
{
    DSManagedObject::awakeFromInsert();
    m_buffersNeedReload = true;
}

void DSOutcomeVariable::awakeFromFetch()
{
    DSManagedObject::awakeFromFetch();
    m_buffersNeedReload = true;
}

void DSOutcomeVariable::didTurnIntoFault()
{
    m_includeMask = {};
    m_categories.clear();
    m_categoryCount = 0;
    m_categoryLookup = {};
    m_activeCategory.reset();
    m_timeDivisor = 1;
    m_referenceDate = 0;
    m_regression.reset();
    unloadBuffers();
    DSManagedObject::didTurnIntoFault();
}

void DSOutcomeVariable::prepareForDeletion()
{
    DSManagedObject::prepareForDeletion();
    unloadBuffers();
    if (DSRegressionModel *owner = model())
        owner->outcomeWillBeDeleted(this);
}

DSObjectList DSOutcomeVariable::managedObjectDependencies()
{
    DSObjectList dependencies = DSManagedObject::managedObjectDependencies();
    for (const QString &key : {k_relations, k_conditions})
        if (entity()->relationshipNamed(key))
            for (DSManagedObject *member : objectsForKey(key))
                dependencies += member->managedObjectDependencies();
    return dependencies;
}
