#pragma once

#include "regression/DSOutcomeVariable.h"
#include "regression/DSRegression.h"

// Linear regression, ordinary or with the outcome's analytic weights; its
// coefficients are t-distributed.
class DSLinearRegression : public DSRegression
{
public:
    QString name() const override { return QStringLiteral("linear"); }
    VRWRegressionModel VRWRegressionModelForOutcome(const DSOutcomeVariable *outcome) const override
    {
        return outcome->doWeight() ? 2 : 0;
    }
    uint32_t estimationOptionsForModel(const DSRegressionModel *model) const override
    {
        return DSRegression::estimationOptionsForModel(model) + 1;
    }
    QString ZScoreHeaderName() const override { return QStringLiteral("T-statistic"); }
    bool canHaveAnalyticWeights() const override { return true; }
    double unadjustedRSquared() const override { return linearUnadjustedRSquared(*this); }
    double adjustedRSquared() const override { return linearAdjustedRSquared(*this); }
    int64_t coefficientDistribution() const override { return DSCoefficientDistributionT; }
};
