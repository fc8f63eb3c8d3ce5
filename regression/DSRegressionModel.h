#pragma once

#include "model/DSError.h"
#include "platform/store/DSManagedObject.h"

#include <cstdint>

struct VRWContext_s;

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
    DSManagedObject *active_instrument() const { return m_activeInstrument; }
    void setActive_instrument(DSManagedObject *instrument) { m_activeInstrument = instrument; }

    // Read by the next run: the estimates, and the panel buffers, are stale.
    // A new or reloaded model needs both.
    bool needs_regression() const { return m_needsRegression; }
    void setNeeds_regression(bool needs) { m_needsRegression = needs; }
    bool needs_panels_rebuilt() const { return m_needsPanelsRebuilt; }
    void setNeeds_panels_rebuilt(bool needs) { m_needsPanelsRebuilt = needs; }

    // Frees the model's data matrix; the next run loads it again. This
    // build loads none, so there is nothing to free.
    void unloadDataMatrix() {}
    // True at once when needs_regression is off. Otherwise fits every
    // outcome under the mask (null: every row) with the context and clears
    // the flag. This build fits no outcome: a model without outcomes is done
    // at once; one with outcomes answers false with an error and stays
    // marked.
    bool runRegressionIfNeededForMask(const uint8_t *mask, qint64 length, VRWContext_s *context,
                                      DSError *error = nullptr);

private:
    DSManagedObject *m_activeOutcome = nullptr;
    DSManagedObject *m_activeExplanatory = nullptr;
    DSManagedObject *m_activePrediction = nullptr;
    DSManagedObject *m_activeInstrument = nullptr;
    bool m_needsRegression = true;
    bool m_needsPanelsRebuilt = true;
};
