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
};
