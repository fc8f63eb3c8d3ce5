#pragma once

#include "regression/DSLinearRegression.h"

// Linear regression of the log of the outcome (rows at or below 0 leave the fit).
class DSLogLinearRegression : public DSLinearRegression
{
public:
    QString name() const override { return QStringLiteral("log-linear"); }
    VRWRegressionModel VRWRegressionModelForOutcome(const DSOutcomeVariable *outcome) const override
    {
        return outcome->doWeight() ? 3 : 1;
    }
    bool isMeanExponentiated() const override { return true; }
    // "exp(...)" around the linear text.
    QString explanationForPredictedValue(double value, const DSPredictionQuery &query,
                                         const DSPlatformNumberFormatter *formatter) const override
    {
        return QStringLiteral("exp(%1)").arg(DSLinearRegression::explanationForPredictedValue(value, query, formatter));
    }
};
