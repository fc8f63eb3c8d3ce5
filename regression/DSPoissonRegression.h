#pragma once

#include "regression/DSCountRegression.h"

class DSPoissonRegression : public DSCountRegression
{
public:
    QString name() const override { return QStringLiteral("poisson"); }
    VRWRegressionModel VRWRegressionModelForOutcome(const DSOutcomeVariable *) const override { return 8; }
    bool canHaveExposures() const override { return true; }
    double conditionalVarianceForMean(double mu) const override { return mu; }
};
