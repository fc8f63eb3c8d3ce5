#pragma once

#include "regression/DSRegression.h"

// The base of the binary-outcome models: the library models the probability
// of one value of interest, and the counts go to the outcome's base and
// non-base categories.
class DSBinaryRegression : public DSRegression
{
public:
    // The modelled probability of the value of interest; NaN here.
    virtual double CDFValue(double) const { return std::numeric_limits<double>::quiet_NaN(); }
    // The query asks for the base category: 1 minus the modelled probability.
    bool shouldInvertPrediction(const DSPredictionQuery &query) const;
    // CDF(f) clamped to [0, 1], inverted for the base category.
    double predictedValue(const DSPredictionQuery &query) const override;
    // z(a) x sqrt(g'Vg) around f, through the predicted value.
    std::optional<DSRange> predictedRange(const DSPredictionQuery &query, double significance) const override;

protected:
    // A regressor that alone splits the rows of the two outcomes (touching
    // at most at one value), or, when the fit puts rows at a probability
    // within 1e-10 of 0 or 1, a regressor whose coefficient moves the odds
    // by more than e^25 over its range yet is not significant: the
    // likelihood then grows without bound and its estimates are not
    // numbers to show. None with fixed effects.
    std::optional<int64_t> separatingColumn(const FitView &fit) const override;
    // The value of interest, then the base configuration.
    void configureVRWRegression(VRWRegression_s *record, DSOutcomeVariable *outcome, int64_t rows) override;
    void extractCategoryCounts(const int64_t *counts, const double *logLikelihoods,
                               DSOutcomeVariable *outcome) override;

private:
    double m_valueOfInterest = 1.0;
};
