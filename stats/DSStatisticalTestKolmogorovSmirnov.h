#pragma once

#include "stats/DSStatisticalTest.h"

// Whether a column departs from a given continuous distribution (the
// one-sample Kolmogorov-Smirnov D of count values). The caller names the
// distribution in the sentence ("normal", "uniform").
class DSStatisticalTestKolmogorovSmirnov : public DSStatisticalTest {
public:
    DSStatisticalTestKolmogorovSmirnov(double d, int64_t count);

    QString shortName() const override;
    QString statisticName() const override;
    double statisticValue() const override;
    double criticalValueAtLevel(double level) const override;
    double p_value() const override;
    double pdfAtValue(double x) const override;
    QString explanationInfix(bool significant) const override;
    QString explanationSuffix(bool significant) const override;

    // "Not normally distributed" or "Normally distributed" for the
    // distribution name "normal".
    QString shortExplanationForDistributionName(const QString &distributionName, double level) const;

private:
    const double _d;
    const int64_t _count;
};
