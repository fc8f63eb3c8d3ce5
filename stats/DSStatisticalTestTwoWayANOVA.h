#pragma once

#include "stats/DSStatisticalTestANOVA.h"

// Whether the mean of a column is affected by the interaction of two
// grouping columns.
class DSStatisticalTestTwoWayANOVA : public DSStatisticalTestANOVA {
public:
    using DSStatisticalTestANOVA::DSStatisticalTestANOVA;

    QString name() const override;
    QString shortName() const override;
    QString explanationInfix(bool significant) const override;
    QString shortExplanationAtLevel(double level) const override;
};
