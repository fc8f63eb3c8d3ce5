#pragma once

#include "model/DSRange.h"
#include "platform/store/DSManagedObject.h"

#include <QList>

#include <limits>
#include <optional>
#include <vector>

class DSExplanatoryColumnVariable;
class DSExplanatoryInteractionVariable;
class DSExplanatoryVariable;
class DSOutcomeVariable;
class DSPlatformNumberFormatter;
class DSPredictionAssumption;
class DSRegressionModel;

// One variable's category (a variable with categories) or value (any
// other) in place of what its assumption holds: how the response pictures
// sweep one variable while the others stay at their assumed values. No
// variable, no change.
struct DSPredictionOverride {
    qint64 category = 0;
    double value = std::numeric_limits<double>::quiet_NaN();
    const DSExplanatoryVariable *variable = nullptr;
};

// A stored scenario of a regression model: an assumed value for each
// explanatory column variable, the outcome, outcome category (or Cox cause)
// and stratum it predicts and a confidence level. From the outcome's current
// fit it computes, on demand and without caching, the fitted value x'b of
// any coefficient set, the predicted value, its range and its formula; the
// regressor row vector x comes from the assumptions, the rest from the
// outcome's regression. Without a fit every number is NaN. Main thread only.
class DSPrediction : public DSManagedObject
{
public:
    qint64 index() const { return integerForKey(QStringLiteral("index")); }
    void setIndex(qint64 index) { setPrimitiveValue(qlonglong(index), QStringLiteral("index")); }
    qint64 outcome_category() const { return integerForKey(QStringLiteral("outcome_category")); }
    void setOutcome_category(qint64 k) { setPrimitiveValue(qlonglong(k), QStringLiteral("outcome_category")); }
    qint64 outcome_stratum() const { return integerForKey(QStringLiteral("outcome_stratum")); }
    void setOutcome_stratum(qint64 s) { setPrimitiveValue(qlonglong(s), QStringLiteral("outcome_stratum")); }
    double confidence_level() const { return doubleForKey(QStringLiteral("confidence_level")); }
    void setConfidence_level(double c) { setPrimitiveValue(c, QStringLiteral("confidence_level")); }
    qint64 prediction_type() const { return integerForKey(QStringLiteral("prediction_type")); }
    void setPrediction_type(qint64 type) { setPrimitiveValue(qlonglong(type), QStringLiteral("prediction_type")); }
    DSRegressionModel *model() const;
    void setModel(DSRegressionModel *model);
    DSOutcomeVariable *outcome_variable() const;
    void setOutcome_variable(DSOutcomeVariable *outcome);
    QList<DSPredictionAssumption *> prediction_assumptions() const;
    void addPrediction_assumptionsObject(DSPredictionAssumption *assumption);

    // Selected in the Predict view; in memory only.
    DSExplanatoryVariable *active_explanatory() const { return m_activeExplanatory; }
    void setActive_explanatory(DSExplanatoryVariable *variable) { m_activeExplanatory = variable; }
    DSPredictionAssumption *active_assumption() const;
    // The assumption of the variable; null when none.
    DSPredictionAssumption *assumptionForVariable(const DSExplanatoryVariable *variable) const;
    // By their variables' index; one without a variable goes last.
    QList<DSPredictionAssumption *> sortedPredictionAssumptions() const;
    // Inserts an assumption for every included column variable of the model
    // that has none.
    void createMissingPredictionAssumptions();

    // x: the model's cachedNumberOfRegressors() entries in the order of one
    // coefficient set: 1 for the constant, then each included variable's
    // regressors. Each variable fills exactly its regressors (a variable
    // without an assumption zeros, one without regressors none), so the
    // vector lines up with the coefficients whatever the assumptions hold.
    std::vector<double> rowVector(const DSPredictionOverride &change = {}) const;
    // x'b of the absolute coefficient set (the outcome's coefficient_offset
    // and up), with the mean panel effect of the set under fixed effects.
    double fittedValueForCoefficientSet(qint64 set, const DSPredictionOverride &change = {}) const;
    // The outcome's predicted value of a fitted value for the outcome
    // category (outcome_category when none is given).
    double predictedValueForFittedValue(double fitted, const DSPredictionOverride &change = {},
                                        std::optional<qint64> outcomeCategory = {}) const;
    // Its range at the confidence (confidence_level when none is given);
    // none for a model without ranges.
    std::optional<DSRange> predictedRangeForFittedValue(double fitted, const DSPredictionOverride &change = {},
                                                        std::optional<qint64> outcomeCategory = {},
                                                        std::optional<double> confidence = {}) const;
    // The formula of the predicted value with the formatter's numbers; null
    // under fixed effects or for a model without one.
    QString explanationForPredictedValue(double value, double fitted, const DSPlatformNumberFormatter *formatter) const;

    // Leaves the model's order and predictions; the model stops selecting it.
    void prepareForDeletion() override;
    // The prediction's own, then each assumption's.
    DSObjectList managedObjectDependencies() override;

private:
    qint64 writeColumnBlock(DSExplanatoryColumnVariable *variable, double *q, qint64 room,
                            const DSPredictionOverride &change) const;
    qint64 writeInteractionBlock(DSExplanatoryInteractionVariable *interaction, double *q, qint64 room,
                                 const DSPredictionOverride &change) const;
    double valueOf(const DSExplanatoryColumnVariable *variable, const DSPredictionOverride &change) const;
    qint64 categoryPositionOf(DSExplanatoryColumnVariable *variable, const DSPredictionOverride &change,
                              int excluding) const;

    DSExplanatoryVariable *m_activeExplanatory = nullptr;
};
