#pragma once

#include "stats/DSStatisticalTestChiSquare.h"

// Marginal homogeneity of paired categorical columns (Cochran-Mantel-
// Haenszel), named after the special case it is: McNemar for 2 x 2, Cochran's
// Q for more than two treatments of two outcomes, Stuart-Maxwell for two
// treatments of more than two outcomes.
class DSStatisticalTestCMH : public DSStatisticalTestChiSquare {
public:
    // df = (treatments - 1) x (outcomes - 1).
    DSStatisticalTestCMH(double statistic, int64_t treatments, int64_t outcomes);

    QString name() const override;
    QString shortName() const override;
    QString shortExplanationAtLevel(double level) const override;

private:
    const int64_t _treatments;
    const int64_t _outcomes;
};
