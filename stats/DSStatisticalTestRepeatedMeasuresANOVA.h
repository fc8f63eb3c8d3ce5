#pragma once

#include "stats/DSStatisticalTestANOVA.h"

// Whether the mean of repeated measures varies across them; with two
// columns it is the paired t-test.
class DSStatisticalTestRepeatedMeasuresANOVA : public DSStatisticalTestANOVA {
public:
    using DSStatisticalTestANOVA::DSStatisticalTestANOVA;

    QString name() const override;
    QString shortName() const override;
    QString shortExplanationAtLevel(double level) const override;
};
