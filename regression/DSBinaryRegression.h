#pragma once

#include "regression/DSRegression.h"

// The base of the binary-outcome models: the library models the probability
// of one value of interest, and the counts go to the outcome's base and
// non-base categories.
class DSBinaryRegression : public DSRegression
{
protected:
    // The value of interest, then the base configuration.
    void configureVRWRegression(VRWRegression_s *record, DSOutcomeVariable *outcome, int64_t rows) override;
    void extractCategoryCounts(const int64_t *counts, const double *logLikelihoods,
                               DSOutcomeVariable *outcome) override;
};
