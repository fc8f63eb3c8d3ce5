#pragma once

#include "regression/DSRegression.h"

// The base of the count models (log link): coefficients read as incidence
// risk ratios.
class DSCountRegression : public DSRegression
{
public:
    QString oddsRatioHeaderName() const override { return QStringLiteral("IRR"); }
    QString oddsRatioFigureName() const override { return QStringLiteral("incidence risk ratio"); }
    bool coefficientsCanBeExpressedAsOddsRatios() const override { return true; }
    bool isMeanExponentiated() const override { return true; }
    // The variance of one count at mean mu; NaN here.
    virtual double conditionalVarianceForMean(double) const { return std::numeric_limits<double>::quiet_NaN(); }
    // mu = exp(f) plus and minus z(a) x sqrt(mu^2 g'Vg + the count's
    // variance), never below 0.
    std::optional<DSRange> predictedRange(const DSPredictionQuery &query, double significance) const override;

protected:
    bool dropsPanelsWithoutEvents() const override { return true; }
};
