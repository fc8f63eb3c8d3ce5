#pragma once

#include "regression/DSRegression.h"

// The base of the ordered-choice models: one coefficient set, and the cut
// points as nuisance parameters, which go to the outcome's categories.
class DSOrderedChoiceRegression : public DSRegression
{
public:
    int64_t numberOfNuisanceParametersForOutcome(const DSOutcomeVariable *outcome) const override;
    int64_t numberOfPredictedValueSetsForOutcome(const DSOutcomeVariable *outcome) const override;
    virtual double CDFValue(double) const { return std::numeric_limits<double>::quiet_NaN(); }
    virtual double PDFValue(double) const { return std::numeric_limits<double>::quiet_NaN(); }
    virtual QString CDFSymbol() const { return QStringLiteral("F"); }
    // The chance of the query's category between its cut points.
    double predictedValue(const DSPredictionQuery &query) const override;
    // p plus and minus z(a) x sqrt(g'Vg) of the chance's gradient over the
    // regressors and cut points, within [0, 1]; none past the categories.
    std::optional<DSRange> predictedRange(const DSPredictionQuery &query, double significance) const override;
    // "F(hi - f) - F(lo - f)" for the prediction's own category, one term
    // at either end.
    QString explanationForPredictedValue(double value, const DSPredictionQuery &query,
                                         const DSPlatformNumberFormatter *formatter) const override;

protected:
    // Category i gets the upper cut point i + 1 and its standard error; the
    // regression's own nuisance arrays stay empty.
    void extractNuisanceParameters(const double *values, const double *errors, int64_t count,
                                   DSOutcomeVariable *outcome) override;

private:
    struct Cuts {
        double hi;
        double lo;
        bool hasPrevious;
    };
    // The upper cut point of category k and the one below it.
    static std::optional<Cuts> cutsForCategory(const DSOutcomeVariable *outcome, int64_t k);
};
