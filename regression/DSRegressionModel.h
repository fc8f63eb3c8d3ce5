#pragma once

#include "model/DSError.h"
#include "platform/store/DSManagedObject.h"
#include "regression/ds_data_matrix.h"

#include <QList>

#include <cstdint>
#include <vector>

class DSColumn;
class DSExplanatoryColumnVariable;
class DSExplanatoryInteractionVariable;
class DSExplanatoryVariable;
class DSOutcomeVariable;
class DSTable;
struct VRWContext_s;
struct VRWMatrixBuffer_s;
struct VRWVectorBuffer_s;

// A regression model of a table: its ordered explanatory variables,
// outcomes and predictions, the model-wide options, and its run. When marked
// as needing a regression it loads its data matrix (once, shared by every
// outcome) and each outcome's vectors into the fitting library, in the row
// order of its panel lookup, and fits every outcome in order on the main
// thread.
//
// The data matrix: column-major, every table row in lookup order, column 0
// all ones, then each explanatory variable's columns (column variables, then
// interactions, each group by index; included or not, so including or
// excluding one needs no reload), then one column per outcome. It is built
// from the columns straight into the library's padded layout.
class DSRegressionModel : public DSManagedObject
{
public:
    DSRegressionModel();
    ~DSRegressionModel() override;

    // Stored attributes.
    qint64 index() const { return integerForKey(QStringLiteral("index")); }
    void setIndex(qint64 index) { setPrimitiveValue(qlonglong(index), QStringLiteral("index")); }
    QString name() const { return stringForKey(QStringLiteral("name")); }
    void setName(const QString &name) { setPrimitiveValue(name, QStringLiteral("name")); }
    bool include_constant() const { return boolForKey(QStringLiteral("include_constant")); }
    void setInclude_constant(bool on) { setPrimitiveValue(on, QStringLiteral("include_constant")); }
    bool robust_standard_errors() const { return boolForKey(QStringLiteral("robust_standard_errors")); }
    void setRobust_standard_errors(bool on) { setPrimitiveValue(on, QStringLiteral("robust_standard_errors")); }
    bool clustered_standard_errors() const { return boolForKey(QStringLiteral("clustered_standard_errors")); }
    void setClustered_standard_errors(bool on) { setPrimitiveValue(on, QStringLiteral("clustered_standard_errors")); }
    bool fixed_effects() const { return boolForKey(QStringLiteral("fixed_effects")); }
    void setFixed_effects(bool on) { setPrimitiveValue(on, QStringLiteral("fixed_effects")); }
    bool report_odds_ratios() const { return boolForKey(QStringLiteral("report_odds_ratios")); }
    void setReport_odds_ratios(bool on) { setPrimitiveValue(on, QStringLiteral("report_odds_ratios")); }
    qint64 null_hypothesis() const { return integerForKey(QStringLiteral("null_hypothesis")); }
    void setNull_hypothesis(qint64 code) { setPrimitiveValue(qlonglong(code), QStringLiteral("null_hypothesis")); }
    qint64 residual_scatterplot_type() const { return integerForKey(QStringLiteral("residual_scatterplot_type")); }
    void setResidual_scatterplot_type(qint64 type)
    {
        setPrimitiveValue(qlonglong(type), QStringLiteral("residual_scatterplot_type"));
    }
    qint64 residual_binary_graph_type() const { return integerForKey(QStringLiteral("residual_binary_graph_type")); }
    void setResidual_binary_graph_type(qint64 type)
    {
        setPrimitiveValue(qlonglong(type), QStringLiteral("residual_binary_graph_type"));
    }
    DSTable *table() const;
    void setTable(DSTable *table);
    DSColumn *panel_column() const;
    void setPanel_column(DSColumn *column);
    DSColumn *plot_against_column() const;
    void setPlot_against_column(DSColumn *column);

    // Derived values.
    bool hasFixedEffects() const;
    // Robust errors clustered by the panel column's groups, with or without
    // fixed effects; the rows are then grouped by panel for every fit.
    bool hasClusteredErrors() const;
    bool hasConstantTerm() const;
    // all: the regressor part of the data matrix (the ones column and every
    // variable's columns); else the coefficients of one set.
    qint64 numberOfRegressors(bool all) const;
    qint64 totalNumberOfRegressors() const { return numberOfRegressors(true); }
    qint64 numberOfIncludedRegressors() const { return numberOfRegressors(false); }
    qint64 cachedNumberOfRegressors() const;
    qint64 numberOfOutcomeColumns() const;

    // Order: an integer "index" on each member; a member taken out of the
    // order holds -1 until the caller deletes it.
    QList<DSExplanatoryVariable *> sortedExplanatoryVariables() const;
    QList<DSExplanatoryVariable *> sortedIncludedExplanatoryVariables() const;
    QList<DSOutcomeVariable *> sortedOutcomeVariables() const;
    DSObjectList sortedPredictions() const;
    // The i-th of the members whose index is not negative; null out of range.
    DSExplanatoryVariable *explanatoryVariableAtIndex(qint64 i) const;
    DSOutcomeVariable *outcomeVariableAtIndex(qint64 i) const;
    qint64 indexOfOutcomeVariable(const DSOutcomeVariable *outcome) const;
    DSManagedObject *predictionAtIndex(qint64 i) const;
    // Members at i or above move up one; the object gets i (the caller adds
    // it to the relationship).
    void insertExplanatoryVariable(DSExplanatoryVariable *variable, qint64 i);
    void insertOutcomeVariable(DSOutcomeVariable *outcome, qint64 i);
    void insertPrediction(DSManagedObject *prediction, qint64 i);
    // The member at i gets -1 and those above move down one; null, changing
    // nothing, when there is none.
    DSExplanatoryVariable *removeExplanatoryVariableFromIndex(qint64 i);
    DSOutcomeVariable *removeOutcomeVariableFromIndex(qint64 i);
    DSManagedObject *removePredictionFromIndex(qint64 i);
    void movePredictionAtIndex(qint64 from, qint64 to);

    // Variable creation. A column variable is included and expanded, treats
    // a text column as categories, an indicator column not, others as the
    // column does; a categorical one omits the first non-missing category.
    // It goes to the end of the order; the matrix is unloaded and the model
    // marked.
    DSExplanatoryColumnVariable *insertNewExplanatoryVariableWithColumn(DSColumn *column);
    // An interaction of two column variables, without an index (the caller
    // places it); the matrix is unloaded and the model marked.
    DSExplanatoryInteractionVariable *insertNewInteractionVariableWithInputs(
        const QList<DSExplanatoryColumnVariable *> &inputs);
    // Includes the first column variable of each column, making one when
    // there is none.
    void ensureColumnsAreIncluded(const QList<DSColumn *> &columns);

    // The run: YES when nothing was needed or every outcome ran; NO with the
    // first failed outcome's error in *error (when given).
    bool runRegressionIfNeededForMask(const uint8_t *mask, qint64 length, VRWContext_s *context,
                                      DSError *error = nullptr);
    bool needs_regression() const { return m_needsRegression; }
    void setNeeds_regression(bool on) { m_needsRegression = on; }
    bool needs_panels_rebuilt() const { return m_needsPanelsRebuilt; }
    void setNeeds_panels_rebuilt(bool on) { m_needsPanelsRebuilt = on; }

    // The data path.
    // The panel lookup: without fixed effects the identity; with them the
    // rows grouped by their bin in the panel column's index, bins ascending,
    // rows ascending within a bin. Clears needs_panels_rebuilt.
    void rebuildLookupTables();
    // The loaded matrix, built first when there is none; null when it cannot
    // be built. The model owns it.
    VRWMatrixBuffer_s *dataBuffer(VRWContext_s *context);
    // Builds and loads the matrix (and every outcome's vectors); 0 on
    // success, 0 without a matrix when host memory runs out, else the
    // library's status (CL_INVALID_CONTEXT without a context).
    int32_t rebuildDataMatrix(VRWContext_s *context);
    void unloadDataMatrix();
    // The matrix columns the variables announce: the ones column, every
    // variable's columns and one per outcome.
    qint64 dataMatrixWidth() const;
    // Writes the matrix (at least dataMatrixWidth() columns of matrix.stride
    // rows, matrix.rows of them the panel lookup's) with the padding rows
    // cleared, records each variable's and outcome's columns and the
    // outcomes' coefficient offsets, and answers the columns written. The
    // lookup must be current.
    qint64 writeDataMatrix(const ds_data_matrix_s &matrix);
    // Column variables, then interactions, each group by index.
    QList<DSExplanatoryVariable *> explanatoryVariablesSortedForDataMatrix() const;
    // The frequency weights of one run in lookup order: 0 outside the model
    // mask, the table's weight (0 below 1) when weighted, else 1. Null when
    // the load fails. The caller unloads it.
    VRWVectorBuffer_s *frequencyBufferForMask(const uint8_t *mask, qint64 length, VRWContext_s *context);
    // The weights frequencyBufferForMask loads, in lookup order.
    std::vector<double> frequencyWeightsForMask(const uint8_t *mask, qint64 length);

    VRWMatrixBuffer_s *data_buf() const { return m_data; }
    const std::vector<int32_t> &temp_panel_lookup() const { return m_lookup; }
    const std::vector<int32_t> &temp_panel_sizes() const { return m_panelSizes; }
    qint64 temp_panel_count() const { return qint64(m_panelSizes.size()); }

    // Selected in the model views; in memory only, none by default.
    DSOutcomeVariable *active_outcome() const { return m_activeOutcome; }
    void setActive_outcome(DSOutcomeVariable *outcome) { m_activeOutcome = outcome; }
    DSExplanatoryVariable *active_explanatory_variable() const { return m_activeExplanatory; }
    void setActive_explanatory_variable(DSExplanatoryVariable *variable) { m_activeExplanatory = variable; }
    // Stored: the prediction selected in the views stays selected when the
    // document is saved and opened again.
    DSManagedObject *active_prediction() const;
    void setActive_prediction(DSManagedObject *prediction);
    DSManagedObject *active_instrument() const { return m_activeInstrument; }
    void setActive_instrument(DSManagedObject *instrument) { m_activeInstrument = instrument; }

    // Copies "outcome_table_column_mask" and "explanatory_table_column_mask"
    // from the user defaults; marks the model.
    void awakeFromInsert() override;
    void awakeFromFetch() override;
    // Frees the panel lookup and the matrix and marks the model.
    void didTurnIntoFault() override;
    // Unloads the matrix and leaves the table's order and models.
    void prepareForDeletion() override;
    // The model, then its outcome variables, explanatory variables and predictions.
    DSObjectList managedObjectDependencies() override;
    // A fresh copy selects its own members at the indexes of the source's
    // selected ones.
    void transferTransientRelationshipsFromObject(DSManagedObject *source) override;

    // The command text that fits the same model for the outcome in R, Stata,
    // SPSS or SAS (DSRegressionModelCommands.cpp); names go in as they are.
    QString REstimationCommandForOutcome(DSOutcomeVariable *outcome) const;
    QString StataEstimationCommandForOutcome(DSOutcomeVariable *outcome) const;
    QString SPSSEstimationCommandForOutcome(DSOutcomeVariable *outcome) const;
    QString SASEstimationCommandForOutcome(DSOutcomeVariable *outcome) const;

    // Called by a member's prepareForDeletion: it leaves the order and the
    // relationship and is no longer selected (a variable also by the
    // predictions).
    void variableWillBeDeleted(DSExplanatoryVariable *variable);
    void outcomeWillBeDeleted(DSOutcomeVariable *outcome);
    void predictionWillBeDeleted(DSManagedObject *prediction);

private:
    VRWMatrixBuffer_s *m_data = nullptr;
    std::vector<int32_t> m_lookup;
    std::vector<int32_t> m_panelSizes;
    bool m_needsRegression = true;
    bool m_needsPanelsRebuilt = true;
    DSOutcomeVariable *m_activeOutcome = nullptr;
    DSExplanatoryVariable *m_activeExplanatory = nullptr;
    DSManagedObject *m_activeInstrument = nullptr;
};
