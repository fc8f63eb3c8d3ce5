#pragma once

#include "regression/DSOutcomeVariable.h"
#include "regression/DSRegression.h"

// Multinomial logit: one coefficient set per outcome category, the base
// category's fixed at 0; coefficients read as relative risk ratios.
class DSMultinomialLogitRegression : public DSRegression
{
public:
    QString name() const override { return QStringLiteral("multinomial logit"); }
    VRWRegressionModel VRWRegressionModelForOutcome(const DSOutcomeVariable *) const override { return 12; }
    QString oddsRatioHeaderName() const override { return QStringLiteral("RRR"); }
    QString oddsRatioFigureName() const override { return QStringLiteral("relative risk ratio"); }
    bool coefficientsCanBeExpressedAsOddsRatios() const override { return true; }
    int64_t numberOfCoefficientSetsForOutcome(const DSOutcomeVariable *outcome) const override
    {
        return outcome->category_count();
    }
};
