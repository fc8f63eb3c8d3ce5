#pragma once

#include "regression/DSBinaryRegression.h"
#include "regression/DSLinearRegression.h"

// The linear probability model: least squares on the 0/1 outcome, t-distributed.
class DSBinaryLinearRegression : public DSBinaryRegression
{
public:
    QString name() const override { return QStringLiteral("linear"); }
    VRWRegressionModel VRWRegressionModelForOutcome(const DSOutcomeVariable *) const override { return 7; }
    uint32_t estimationOptionsForModel(const DSRegressionModel *model) const override
    {
        return DSRegression::estimationOptionsForModel(model) + 1;
    }
    QString ZScoreHeaderName() const override { return QStringLiteral("T-statistic"); }
    double unadjustedRSquared() const override { return linearUnadjustedRSquared(*this); }
    double adjustedRSquared() const override { return linearAdjustedRSquared(*this); }
    int64_t coefficientDistribution() const override { return DSCoefficientDistributionT; }
    double CDFValue(double x) const override { return x; }

protected:
    // Least squares has its estimates on separated rows too.
    std::optional<int64_t> separatingColumn(const FitView &) const override { return std::nullopt; }

public:
    // t(a, df) x sqrt(g'Vg) around f, both ends clamped to [0, 1].
    std::optional<DSRange> predictedRange(const DSPredictionQuery &query, double significance) const override;
    QString explanationForPredictedValue(double, const DSPredictionQuery &query,
                                         const DSPlatformNumberFormatter *formatter) const override
    {
        return DSLinearRegression::linearExplanation(*this, query.fitted, formatter);
    }
};
