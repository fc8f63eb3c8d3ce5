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
    // The chance of the query's category: exp(f) over the sum of exp(u_i)
    // of every category's set under the same row vector.
    double predictedValue(const DSPredictionQuery &query) const override;
    // p plus and minus z(a) x sqrt(g'Vg) of the chance's gradient over every
    // set, within [0, 1].
    std::optional<DSRange> predictedRange(const DSPredictionQuery &query, double significance) const override;
    // "exp(f) / (1 + exp(u_1) + ...)" over every category's u_i (numbers
    // exp(f) and exp(u_i) while odds ratios show); the base's term is "1".
    QString explanationForPredictedValue(double value, const DSPredictionQuery &query,
                                         const DSPlatformNumberFormatter *formatter) const override;

private:
    // u_i of every category's set under the query's change (none with
    // `unchanged`); empty without a fit.
    std::vector<double> categoryFittedValues(const DSPredictionQuery &query, bool unchanged = false) const;
};
