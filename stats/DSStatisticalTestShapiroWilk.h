#pragma once

#include "stats/DSStatisticalTest.h"

// Whether a column departs from a normal distribution (Shapiro-Wilk W),
// shown as Royston's normal score of W against a one-sided normal critical
// value.
class DSStatisticalTestShapiroWilk : public DSStatisticalTest {
public:
    DSStatisticalTestShapiroWilk(double w, int64_t count);

    QString shortName() const override;
    QString statisticName() const override;
    double statisticValue() const override;
    double criticalValueAtLevel(double level) const override;
    double p_value() const override;
    double pdfAtMaximum() const override;
    double pdfAtValue(double x) const override;
    QString explanationSuffix(bool significant) const override;
    QString shortExplanationAtLevel(double level) const override;

private:
    const double _w;
    const int64_t _count;
};
