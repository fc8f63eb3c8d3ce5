#pragma once

#include "stats/DSStatisticalTestChiSquare.h"

// Whether the median of a column varies across groups (Kruskal-Wallis H);
// with two groups it is the Mann-Whitney test.
class DSStatisticalTestKruskalWallis : public DSStatisticalTestChiSquare {
public:
    using DSStatisticalTestChiSquare::DSStatisticalTestChiSquare;

    QString name() const override;
    QString shortName() const override;
    bool canBeObvious() const override;
    QString explanationPrefix(bool significant) const override;
    QString explanationInfix(bool significant) const override;
    using DSStatisticalTestChiSquare::explanationSuffix;
    QString explanationSuffix(bool significant) const override;
    QString shortExplanationAtLevel(double level) const override;
};
