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
    // For a new observation: t(a, df) x sqrt(g'Vg + RSS / df) around f, on
    // the model's scale and then through the predicted value.
    std::optional<DSRange> predictedRange(const DSPredictionQuery &query, double significance) const override;
    // "b0 + (f - b0)" with the constant of set 0.
    QString explanationForPredictedValue(double value, const DSPredictionQuery &query,
                                         const DSPlatformNumberFormatter *formatter) const override;
    // The linear text of the fitted value: the constant, then the rest.
    static QString linearExplanation(const DSRegression &r, double fitted, const DSPlatformNumberFormatter *formatter);

    // The critical t value of the last range, kept while the significance
    // and df stay the same.
    double last_t_stat() const { return m_lastT; }
    int64_t t_stat_computations() const { return m_tComputations; }

protected:
    double criticalT(double significance) const;

private:
    mutable double m_lastT = std::numeric_limits<double>::quiet_NaN();
    mutable double m_lastTSignificance = std::numeric_limits<double>::quiet_NaN();
    mutable int64_t m_lastTDf = 0;
    mutable int64_t m_tComputations = 0;
};
