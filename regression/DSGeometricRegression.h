#pragma once

#include "regression/DSCountRegression.h"

class DSGeometricRegression : public DSCountRegression
{
public:
    QString name() const override { return QStringLiteral("geometric"); }
    VRWRegressionModel VRWRegressionModelForOutcome(const DSOutcomeVariable *) const override { return 10; }
};
