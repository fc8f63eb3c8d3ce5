#pragma once

#include "stats/DSStatisticalTestChiSquare.h"

// Whether a survival column departs from a constant hazard rate.
class DSStatisticalTestOneSampleLogRank : public DSStatisticalTestChiSquare {
public:
    using DSStatisticalTestChiSquare::DSStatisticalTestChiSquare;

    QString name() const override;
    QString shortName() const override;
    using DSStatisticalTestChiSquare::explanationSuffix;
    QString explanationSuffix(bool significant) const override;
    QString shortExplanationAtLevel(double level) const override;
};
