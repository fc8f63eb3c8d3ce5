#include "regression/DSRegressionModel.h"

#include "model/DSIndicatorColumn.h"
#include "model/DSTable.h"
#include "model/DSTextColumn.h"
#include "model/DSUserDefaults.h"
#include "model/ds_row_mask.h"
#include "regression/DSExplanatoryColumnVariable.h"
#include "regression/DSExplanatoryInteractionVariable.h"
#include "regression/DSOutcomeVariable.h"
#include "regression/DSPrediction.h"
#include "model/DSColumnSummary.h"
#include "varrow/varrow.h"

#include <QtDebug>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>

namespace {

const QString k_outcomes = QStringLiteral("outcome_variables");
const QString k_explanatory = QStringLiteral("explanatory_variables");
const QString k_predictions = QStringLiteral("predictions");
const QString k_index = QStringLiteral("index");

// Rows of a library block; a padded column holds whole blocks.
constexpr int64_t k_blockRows = 16;

// The copy's member of a relationship at the index of the source's member.
DSManagedObject *counterpart(const DSManagedObject *copy, const QString &key, const DSManagedObject *sourceMember)
{
    if (!sourceMember)
        return nullptr;
    return DSTable::indexedObjectInSet(copy->objectsForKey(key), sourceMember->integerForKey(k_index));
}

// The member found at position i leaves the order: the siblings above i
// move down one and it gets -1. Null, changing nothing, without a member.
template <class T>
T *takeOutOfOrder(T *member, const QList<T *> &siblings, qint64 i)
{
    if (!member)
        return nullptr;
    for (T *other : siblings)
        if (other->index() > i)
            other->setIndex(other->index() - 1);
    member->setIndex(-1);
    return member;
}

struct FreeDeleter
{
    void operator()(double *p) const { std::free(p); }
};

} // namespace

DSRegressionModel::DSRegressionModel() = default;

DSRegressionModel::~DSRegressionModel()
{
    unloadDataMatrix();
}

DSTable *DSRegressionModel::table() const
{
    return ds_object_cast<DSTable>(objectForKey(QStringLiteral("table")));
}

void DSRegressionModel::setTable(DSTable *table)
{
    setObject(table, QStringLiteral("table"));
}

DSColumn *DSRegressionModel::panel_column() const
{
    return ds_object_cast<DSColumn>(objectForKey(QStringLiteral("panel_column")));
}

void DSRegressionModel::setPanel_column(DSColumn *column)
{
    setObject(column, QStringLiteral("panel_column"));
}

DSColumn *DSRegressionModel::plot_against_column() const
{
    return ds_object_cast<DSColumn>(objectForKey(QStringLiteral("plot_against_column")));
}

void DSRegressionModel::setPlot_against_column(DSColumn *column)
{
    setObject(column, QStringLiteral("plot_against_column"));
}

DSManagedObject *DSRegressionModel::active_prediction() const
{
    return objectForKey(QStringLiteral("active_prediction"));
}

void DSRegressionModel::setActive_prediction(DSManagedObject *prediction)
{
    setObject(prediction, QStringLiteral("active_prediction"));
}

bool DSRegressionModel::hasFixedEffects() const
{
    return fixed_effects() && panel_column();
}

bool DSRegressionModel::hasClusteredErrors() const
{
    return robust_standard_errors() && clustered_standard_errors() && panel_column();
}

bool DSRegressionModel::hasConstantTerm() const
{
    return include_constant() && !hasFixedEffects();
}

qint64 DSRegressionModel::numberOfRegressors(bool all) const
{
    qint64 n = all || hasConstantTerm() ? 1 : 0;
    for (DSExplanatoryVariable *variable : sortedExplanatoryVariables())
        if (all)
            n += variable->numberOfRegressors(true);
        else if (variable->is_included() && !variable->isIncludedAsFixedEffects())
            n += variable->numberOfRegressors(false);
    return n;
}

qint64 DSRegressionModel::cachedNumberOfRegressors() const
{
    qint64 n = hasConstantTerm() ? 1 : 0;
    for (DSExplanatoryVariable *variable : sortedIncludedExplanatoryVariables())
        n += variable->cachedNumberOfRegressors();
    return n;
}

qint64 DSRegressionModel::numberOfOutcomeColumns() const
{
    return objectsForKey(k_outcomes).size();
}

QList<DSExplanatoryVariable *> DSRegressionModel::sortedExplanatoryVariables() const
{
    return ds_objects_cast<DSExplanatoryVariable>(DSTable::sortedByIndex(objectsForKey(k_explanatory)));
}

QList<DSExplanatoryVariable *> DSRegressionModel::sortedIncludedExplanatoryVariables() const
{
    QList<DSExplanatoryVariable *> included;
    for (DSExplanatoryVariable *variable : sortedExplanatoryVariables())
        if (variable->is_included() && !variable->isIncludedAsFixedEffects())
            included.append(variable);
    return included;
}

QList<DSOutcomeVariable *> DSRegressionModel::sortedOutcomeVariables() const
{
    return ds_objects_cast<DSOutcomeVariable>(DSTable::sortedByIndex(objectsForKey(k_outcomes)));
}

DSObjectList DSRegressionModel::sortedPredictions() const
{
    return DSTable::sortedByIndex(objectsForKey(k_predictions));
}

DSExplanatoryVariable *DSRegressionModel::explanatoryVariableAtIndex(qint64 i) const
{
    if (i < 0)
        return nullptr;
    for (DSExplanatoryVariable *variable : sortedExplanatoryVariables())
        if (variable->index() >= 0 && i-- == 0)
            return variable;
    return nullptr;
}

DSOutcomeVariable *DSRegressionModel::outcomeVariableAtIndex(qint64 i) const
{
    const QList<DSOutcomeVariable *> sorted = sortedOutcomeVariables();
    return i >= 0 && i < sorted.size() ? sorted[i] : nullptr;
}

qint64 DSRegressionModel::indexOfOutcomeVariable(const DSOutcomeVariable *outcome) const
{
    return sortedOutcomeVariables().indexOf(const_cast<DSOutcomeVariable *>(outcome));
}

DSManagedObject *DSRegressionModel::predictionAtIndex(qint64 i) const
{
    return DSTable::indexedObjectInSet(objectsForKey(k_predictions), i);
}

void DSRegressionModel::insertExplanatoryVariable(DSExplanatoryVariable *variable, qint64 i)
{
    DSTable::insertIndexedObject(variable, objectsForKey(k_explanatory), i);
}

void DSRegressionModel::insertOutcomeVariable(DSOutcomeVariable *outcome, qint64 i)
{
    DSTable::insertIndexedObject(outcome, objectsForKey(k_outcomes), i);
}

void DSRegressionModel::insertPrediction(DSManagedObject *prediction, qint64 i)
{
    DSTable::insertIndexedObject(prediction, objectsForKey(k_predictions), i);
}

DSExplanatoryVariable *DSRegressionModel::removeExplanatoryVariableFromIndex(qint64 i)
{
    return takeOutOfOrder(explanatoryVariableAtIndex(i), sortedExplanatoryVariables(), i);
}

DSOutcomeVariable *DSRegressionModel::removeOutcomeVariableFromIndex(qint64 i)
{
    return takeOutOfOrder(outcomeVariableAtIndex(i), sortedOutcomeVariables(), i);
}

DSManagedObject *DSRegressionModel::removePredictionFromIndex(qint64 i)
{
    return DSTable::removeIndexedObjectInSet(objectsForKey(k_predictions), i);
}

void DSRegressionModel::movePredictionAtIndex(qint64 from, qint64 to)
{
    DSTable::moveIndexedObjectInSet(objectsForKey(k_predictions), from, to);
}

DSExplanatoryColumnVariable *DSRegressionModel::insertNewExplanatoryVariableWithColumn(DSColumn *column)
{
    auto *variable = ds_object_cast<DSExplanatoryColumnVariable>(
        insertNewObjectOfEntity(QStringLiteral("DSExplanatoryColumnVariable")));
    if (!variable)
        return nullptr;
    variable->setColumn(column);
    variable->setIs_included(true);
    variable->setIs_expanded(true);
    bool categorical = column && column->treat_as_categories() && column->canBeTreatedAsCategories();
    if (dynamic_cast<DSTextColumn *>(column))
        categorical = true;
    else if (dynamic_cast<DSIndicatorColumn *>(column))
        categorical = false;
    variable->setTreat_as_categories(categorical);
    if (categorical && column) {
        const auto summary = column->summaryForMask(nullptr, 0, NAN);
        for (const auto &category : summary ? summary->categories() : DSColumnSummary::Categories())
            if (!category->is_missing()) {
                variable->setOmitted_category(category->index());
                break;
            }
    }
    variable->setIndex(objectsForKey(k_explanatory).size());
    variable->setModel(this);
    unloadDataMatrix();
    m_needsRegression = true;
    return variable;
}

DSExplanatoryInteractionVariable *DSRegressionModel::insertNewInteractionVariableWithInputs(
    const QList<DSExplanatoryColumnVariable *> &inputs)
{
    auto *interaction = ds_object_cast<DSExplanatoryInteractionVariable>(
        insertNewObjectOfEntity(QStringLiteral("DSExplanatoryInteractionVariable")));
    if (!interaction)
        return nullptr;
    interaction->setInputs(inputs);
    interaction->setIs_included(true);
    interaction->setIs_expanded(true);
    interaction->setModel(this);
    unloadDataMatrix();
    m_needsRegression = true;
    return interaction;
}

void DSRegressionModel::ensureColumnsAreIncluded(const QList<DSColumn *> &columns)
{
    const QList<DSExplanatoryVariable *> variables = sortedExplanatoryVariables();
    for (DSColumn *column : columns) {
        DSExplanatoryColumnVariable *found = nullptr;
        for (DSExplanatoryVariable *variable : variables) {
            auto *columnVariable = dynamic_cast<DSExplanatoryColumnVariable *>(variable);
            if (columnVariable && columnVariable->column() == column) {
                found = columnVariable;
                break;
            }
        }
        if (found)
            found->setIs_included(true);
        else
            insertNewExplanatoryVariableWithColumn(column);
    }
}

bool DSRegressionModel::runRegressionIfNeededForMask(const uint8_t *mask, qint64 length, VRWContext_s *context,
                                                     DSError *error)
{
    if (!m_needsRegression)
        return true;
    for (DSExplanatoryVariable *variable : sortedExplanatoryVariables()) {
        variable->purgeEstimates();
        variable->purgeDiagnostics();
    }
    if (m_needsPanelsRebuilt) {
        unloadDataMatrix();
        for (DSOutcomeVariable *outcome : sortedOutcomeVariables())
            outcome->unloadBuffers();
        rebuildLookupTables();
    }
    for (DSOutcomeVariable *outcome : sortedOutcomeVariables()) {
        const uint8_t *modelMask = nullptr;
        const qint64 modelMaskLength = outcome->getModelMask(&modelMask, mask, length);
        if (outcome->secondary_buffers_need_reload())
            outcome->rebuildBuffersWithPanelSizes(m_panelSizes.data(), temp_panel_count(), m_lookup.data(), context);
        VRWVectorBuffer_s *weights = frequencyBufferForMask(modelMask, modelMaskLength, context);
        std::optional<DSError> failure;
        const int64_t code = outcome->runRegressionWithFrequencyWeights(weights, context, &failure);
        vrw_unload_vector(weights);
        if (code != 0 && failure) {
            if (error)
                *error = *failure;
            m_needsRegression = false;
            return false;
        }
    }
    m_needsRegression = false;
    return true;
}

void DSRegressionModel::rebuildLookupTables()
{
    const qint64 rows = table() ? table()->num_records() : 0;
    m_lookup.resize(size_t(std::max<qint64>(rows, 0)));
    m_panelSizes.clear();
    m_needsPanelsRebuilt = false;
    const int32_t *bins = nullptr;
    qint64 panels = 0;
    const qint64 binned = hasFixedEffects() || hasClusteredErrors() ? panel_column()->getIndexedValues(&bins, &panels) : 0;
    if (binned <= 0 || panels <= 0) {
        for (qint64 r = 0; r < rows; ++r)
            m_lookup[size_t(r)] = int32_t(r);
        return;
    }
    // A counting sort by bin: panels ascending, rows ascending within one.
    // Rows past the column's values fall in the last bin, as missing ones do.
    auto binOf = [&](qint64 r) { return r < binned ? qint64(bins[r]) : panels - 1; };
    m_panelSizes.assign(size_t(panels), 0);
    for (qint64 r = 0; r < rows; ++r)
        ++m_panelSizes[size_t(binOf(r))];
    std::vector<int64_t> next(size_t(panels), 0);
    for (qint64 p = 1; p < panels; ++p)
        next[size_t(p)] = next[size_t(p - 1)] + m_panelSizes[size_t(p - 1)];
    for (qint64 r = 0; r < rows; ++r)
        m_lookup[size_t(next[size_t(binOf(r))]++)] = int32_t(r);
}

QList<DSExplanatoryVariable *> DSRegressionModel::explanatoryVariablesSortedForDataMatrix() const
{
    QList<DSExplanatoryVariable *> columns, interactions;
    for (DSExplanatoryVariable *variable : sortedExplanatoryVariables())
        (dynamic_cast<DSExplanatoryInteractionVariable *>(variable) ? interactions : columns).append(variable);
    return columns + interactions;
}

VRWMatrixBuffer_s *DSRegressionModel::dataBuffer(VRWContext_s *context)
{
    if (!m_data)
        rebuildDataMatrix(context);
    return m_data;
}

qint64 DSRegressionModel::dataMatrixWidth() const
{
    qint64 width = 1 + numberOfOutcomeColumns();
    for (DSExplanatoryVariable *variable : sortedExplanatoryVariables())
        width += variable->numberOfRegressors(true);
    return width;
}

qint64 DSRegressionModel::writeDataMatrix(const ds_data_matrix_s &matrix)
{
    ds_for_matrix_rows(matrix.rows, [&](int64_t begin, int64_t end) {
        std::fill(matrix.column(0) + begin, matrix.column(0) + end, 1.0);
    });
    qint64 c = 1;
    for (DSExplanatoryVariable *variable : explanatoryVariablesSortedForDataMatrix()) {
        const qint64 n = variable->addDataToMatrix(matrix, c, m_lookup.data());
        variable->setTemp_matrix_col_range({c, n});
        c += n;
    }
    qint64 sets = 0;
    for (DSOutcomeVariable *outcome : sortedOutcomeVariables()) {
        outcome->setCoefficient_offset(sets);
        const qint64 written = outcome->addDataToMatrix(matrix, c, m_lookup.data());
        // Each outcome gets its own range of sets: as many as its column
        // announces, or as its fit numbers (one per own category of a
        // multinomial outcome, one per cause of a competing-risks one).
        sets += std::max({written, outcome->category_count(), outcome->doCause() ? outcome->temp_cause_count() : 0});
        outcome->setTemp_matrix_col_range({c, 1});
        ++c;
    }
    for (qint64 k = 0; k < c; ++k)
        std::memset(matrix.column(k) + matrix.rows, 0, size_t(matrix.stride - matrix.rows) * sizeof(double));
    return c;
}

int32_t DSRegressionModel::rebuildDataMatrix(VRWContext_s *context)
{
    unloadDataMatrix();
    if (!context)
        return CL_INVALID_CONTEXT;
    if (m_needsPanelsRebuilt || m_lookup.size() != size_t(table() ? table()->num_records() : 0))
        rebuildLookupTables();
    // The outcomes' vectors come first: a cause vector gives its outcome its
    // categories before the outcome writes its column.
    for (DSOutcomeVariable *outcome : sortedOutcomeVariables())
        if (const int32_t status = outcome->rebuildBuffersWithPanelSizes(m_panelSizes.data(), temp_panel_count(),
                                                                         m_lookup.data(), context))
            return status;
    const int64_t rows = int64_t(m_lookup.size());
    const int64_t width = dataMatrixWidth();
    if (rows > std::numeric_limits<int32_t>::max() || width > std::numeric_limits<int32_t>::max())
        return 0;

    int32_t status = 0;
    if (temp_panel_count() == 0) {
        // Without panels the matrix is written straight into the library's
        // mapping of its device buffer, in the padded layout: no copy.
        double *mapped = nullptr;
        VRWMatrixBuffer_s *matrix = vrw_map_padded_matrix(context, int32_t(rows), int32_t(width), &mapped, &status);
        if (matrix && mapped) {
            const ds_data_matrix_s target{mapped, rows, int64_t(matrix->blocks) * k_blockRows};
            const int64_t written = writeDataMatrix(target);
            // Columns a variable announced but did not write stay zero.
            std::memset(target.column(written), 0, size_t((width - written) * target.stride) * sizeof(double));
        }
        if (matrix)
            m_data = vrw_unmap_padded_matrix(context, matrix, mapped, &status);
    } else {
        // With panels the library pads every panel itself, from the plain
        // column-major matrix.
        std::unique_ptr<double, FreeDeleter> host(
            static_cast<double *>(std::malloc(size_t(rows * width) * sizeof(double) + sizeof(double))));
        if (!host)
            return 0;
        const int64_t written = writeDataMatrix({host.get(), rows, rows});
        m_data = vrw_load_unbalanced_panel_matrix(context, host.get(), int32_t(rows), int32_t(written),
                                                  m_panelSizes.data(), int32_t(temp_panel_count()), 0, &status);
    }
    if (status != 0)
        qWarning("Error loading data: %d", status);
    return status;
}

void DSRegressionModel::unloadDataMatrix()
{
    vrw_unload_matrix(m_data);
    m_data = nullptr;
}

std::vector<double> DSRegressionModel::frequencyWeightsForMask(const uint8_t *mask, qint64 length)
{
    const size_t rows = m_lookup.size();
    std::vector<double> weights(rows, 0.0);
    if (!mask || length <= 0)
        return weights;
    const int32_t *frequencies = nullptr;
    const qint64 weighted = table() && table()->isFrequencyWeighted() ? table()->getFrequencyWeights(&frequencies) : 0;
    for (size_t i = 0; i < rows; ++i) {
        const int32_t r = m_lookup[i];
        if (r / 8 >= length || !ds_mask_test(mask, r))
            continue;
        if (!frequencies)
            weights[i] = 1.0;
        else if (r < weighted && frequencies[r] > 0)
            weights[i] = double(frequencies[r]);
    }
    return weights;
}

VRWVectorBuffer_s *DSRegressionModel::frequencyBufferForMask(const uint8_t *mask, qint64 length,
                                                             VRWContext_s *context)
{
    if (!context)
        return nullptr;
    const std::vector<double> weights = frequencyWeightsForMask(mask, length);
    int32_t status = 0;
    if (temp_panel_count())
        return vrw_load_unbalanced_panel_float_vector(context, weights.data(), uint32_t(weights.size()),
                                                      m_panelSizes.data(), int32_t(temp_panel_count()), &status);
    return vrw_load_float_vector(context, weights.data(), uint32_t(weights.size()), &status);
}

void DSRegressionModel::awakeFromInsert()
{
    DSManagedObject::awakeFromInsert();
    const DSUserDefaults &defaults = DSUserDefaults::standardUserDefaults();
    for (const QString &key : {QStringLiteral("outcome_table_column_mask"), QStringLiteral("explanatory_table_column_mask")})
        setPrimitiveValue(qlonglong(defaults.integerForKey(key)), key);
    m_needsRegression = m_needsPanelsRebuilt = true;
}

void DSRegressionModel::awakeFromFetch()
{
    DSManagedObject::awakeFromFetch();
    m_needsRegression = m_needsPanelsRebuilt = true;
}

void DSRegressionModel::didTurnIntoFault()
{
    m_activeOutcome = nullptr;
    m_activeExplanatory = nullptr;
    m_activeInstrument = nullptr;
    m_lookup = {};
    m_panelSizes = {};
    unloadDataMatrix();
    m_needsRegression = m_needsPanelsRebuilt = true;
    DSManagedObject::didTurnIntoFault();
}

void DSRegressionModel::prepareForDeletion()
{
    DSManagedObject::prepareForDeletion();
    unloadDataMatrix();
    if (DSTable *owner = table()) {
        owner->removeRegressionModelFromIndex(index());
        owner->removeObject(this, QStringLiteral("regression_models"));
    }
}

DSObjectList DSRegressionModel::managedObjectDependencies()
{
    DSObjectList dependencies = DSManagedObject::managedObjectDependencies();
    for (const QString &key : {k_outcomes, k_explanatory, k_predictions})
        for (DSManagedObject *member : objectsForKey(key))
            dependencies += member->managedObjectDependencies();
    return dependencies;
}

void DSRegressionModel::transferTransientRelationshipsFromObject(DSManagedObject *source)
{
    if (auto *model = ds_object_cast<DSRegressionModel>(source)) {
        if (model->active_explanatory_variable())
            m_activeExplanatory = explanatoryVariableAtIndex(model->active_explanatory_variable()->index());
        if (model->active_outcome())
            m_activeOutcome = outcomeVariableAtIndex(model->active_outcome()->index());
        if (DSManagedObject *prediction = counterpart(this, k_predictions, model->active_prediction()))
            setActive_prediction(prediction);
    }
    DSManagedObject::transferTransientRelationshipsFromObject(source);
}

void DSRegressionModel::variableWillBeDeleted(DSExplanatoryVariable *variable)
{
    if (variable->index() >= 0)
        removeExplanatoryVariableFromIndex(variable->index());
    removeObject(variable, k_explanatory);
    if (m_activeExplanatory == variable)
        m_activeExplanatory = nullptr;
    for (DSPrediction *prediction : ds_objects_cast<DSPrediction>(objectsForKey(k_predictions)))
        if (prediction->active_explanatory() == variable)
            prediction->setActive_explanatory(nullptr);
}

void DSRegressionModel::predictionWillBeDeleted(DSManagedObject *prediction)
{
    const qint64 index = prediction->integerForKey(QStringLiteral("index"));
    if (index >= 0)
        removePredictionFromIndex(index);
    removeObject(prediction, k_predictions);
    if (active_prediction() == prediction)
        setActive_prediction(nullptr);
}

void DSRegressionModel::outcomeWillBeDeleted(DSOutcomeVariable *outcome)
{
    if (outcome->index() >= 0)
        removeOutcomeVariableFromIndex(outcome->index());
    removeObject(outcome, k_outcomes);
    if (m_activeOutcome == outcome)
        m_activeOutcome = nullptr;
}
