#pragma once

#include "stats/DSStatisticalTest.h"

// Test of a correlation against 0 through Fisher's transformation, two-sided.
class DSStatisticalTestCorrelation : public DSStatisticalTest {
public:
    // r for n pairs; a correlation within 1e-9 of +/-1 gets an infinite z.
    DSStatisticalTestCorrelation(double r, int64_t n);

    QString name() const override;
    QString shortName() const override;
    QString statisticName() const override;
    double statisticValue() const override;
    double criticalValueAtLevel(double level) const override;
    double p_value() const override;
    double pdfAtMaximum() const override;
    double pdfAtValue(double x) const override;
    bool canBeObvious() const override;
    QString explanationPrefix(bool significant) const override;
    QString explanationInfix(bool significant) const override;
    QString explanationSuffix(bool significant) const override;
    QString shortExplanationAtLevel(double level) const override;

    double correlation() const { return _correlation; }
    // "perfect", "positive" or "negative" for a significant result; null
    // otherwise.
    QString adjective(bool significant) const;

private:
    const double _z;
    const double _correlation;
};
