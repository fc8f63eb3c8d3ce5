#pragma once

#include "regression/DSRegression.h"

// The base of the ordered-choice models: one coefficient set, and the cut
// points as nuisance parameters, which go to the outcome's categories.
class DSOrderedChoiceRegression : public DSRegression
{
public:
    int64_t numberOfNuisanceParametersForOutcome(const DSOutcomeVariable *outcome) const override;
    int64_t numberOfPredictedValueSetsForOutcome(const DSOutcomeVariable *outcome) const override;

protected:
    // Category i gets the upper cut point i + 1 and its standard error; the
    // regression's own nuisance arrays stay empty.
    void extractNuisanceParameters(const double *values, const double *errors, int64_t count,
                                   DSOutcomeVariable *outcome) override;
};
