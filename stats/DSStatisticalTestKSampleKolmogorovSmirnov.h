#pragma once

#include "stats/DSStatisticalTest.h"

// Whether the distribution of a column varies across groups: Kiefer's
// k-sample statistic T with df = groups - 1. With two groups T = K^2 and the
// result is shown as the two-sample K = sqrt(T).
class DSStatisticalTestKSampleKolmogorovSmirnov : public DSStatisticalTest {
public:
    DSStatisticalTestKSampleKolmogorovSmirnov(double statistic, int64_t df);

    QString shortName() const override;
    QString statisticName() const override;
    double statisticValue() const override;
    double criticalValueAtLevel(double level) const override;
    double p_value() const override;
    double pdfAtValue(double x) const override;
    QString explanationPrefix(bool significant) const override;
    QString explanationInfix(bool significant) const override;
    QString shortExplanationAtLevel(double level) const override;

    int64_t degreesOfFreedom() const;

private:
    const double _a2;
    const int64_t _df;
};
