#pragma once

#include "regression/DSCountRegression.h"

// Negative binomial with one dispersion parameter, alpha, its only nuisance parameter.
class DSNegativeBinomialRegression : public DSCountRegression
{
public:
    QString name() const override { return QStringLiteral("negative binomial"); }
    VRWRegressionModel VRWRegressionModelForOutcome(const DSOutcomeVariable *) const override { return 9; }
    bool canHaveExposures() const override { return true; }
    int64_t numberOfNuisanceParametersForOutcome(const DSOutcomeVariable *) const override { return 1; }
    double conditionalVarianceForMean(double mu) const override { return mu * (1 + nuisanceCoefficientAtIndex(0) * mu); }
};
