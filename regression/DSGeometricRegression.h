#pragma once

#include "regression/DSCountRegression.h"

class DSGeometricRegression : public DSCountRegression
{
public:
    QString name() const override { return QStringLiteral("geometric"); }
    VRWRegressionModel VRWRegressionModelForOutcome(const DSOutcomeVariable *) const override { return 10; }
    // A geometric count with mean mu has variance mu (1 + mu).
    double conditionalVarianceForMean(double mu) const override { return mu * (1 + mu); }
};
