#pragma once

#include "platform/store/DSManagedObject.h"

// A regression model of a table, as far as tables, copies and the
// document need it: its place among the table's models, its variables and
// predictions (copied with it), the column masks of its outlines and the
// variables the model views have selected.
class DSRegressionModel : public DSManagedObject
{
public:
    qint64 index() const { return integerForKey(QStringLiteral("index")); }
    void setIndex(qint64 index) { setPrimitiveValue(qlonglong(index), QStringLiteral("index")); }

    // Copies the user defaults "outcome_table_column_mask" and
    // "explanatory_table_column_mask" into the new model.
    void awakeFromInsert() override;
    void didTurnIntoFault() override;
    // The model, then its outcome variables, explanatory variables and predictions.
    DSObjectList managedObjectDependencies() override;
    // A fresh copy selects its own members at the indexes of the source's
    // selected ones.
    void transferTransientRelationshipsFromObject(DSManagedObject *source) override;

    // Selected in the model views; in memory only, none by default.
    DSManagedObject *active_outcome() const { return m_activeOutcome; }
    void setActive_outcome(DSManagedObject *outcome) { m_activeOutcome = outcome; }
    DSManagedObject *active_explanatory_variable() const { return m_activeExplanatory; }
    void setActive_explanatory_variable(DSManagedObject *variable) { m_activeExplanatory = variable; }
    DSManagedObject *active_prediction() const { return m_activePrediction; }
    void setActive_prediction(DSManagedObject *prediction) { m_activePrediction = prediction; }

private:
    DSManagedObject *m_activeOutcome = nullptr;
    DSManagedObject *m_activeExplanatory = nullptr;
    DSManagedObject *m_activePrediction = nullptr;
};
