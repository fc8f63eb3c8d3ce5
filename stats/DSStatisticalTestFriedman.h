#pragma once

#include "stats/DSStatisticalTestANOVA.h"

// Whether the rank of repeated measures varies across them (Friedman's
// test in its F form).
class DSStatisticalTestFriedman : public DSStatisticalTestANOVA {
public:
    using DSStatisticalTestANOVA::DSStatisticalTestANOVA;

    QString name() const override;
    QString shortName() const override;
    QString explanationPrefix(bool significant) const override;
    QString shortExplanationAtLevel(double level) const override;
};
