#pragma once

#include "regression/DSBinaryRegression.h"

class DSLogisticRegression : public DSBinaryRegression
{
public:
    QString name() const override { return QStringLiteral("logit"); }
    VRWRegressionModel VRWRegressionModelForOutcome(const DSOutcomeVariable *) const override { return 5; }
    bool coefficientsCanBeExpressedAsOddsRatios() const override { return true; }
};
