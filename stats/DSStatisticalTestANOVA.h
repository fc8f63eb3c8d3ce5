#pragma once

#include "stats/DSStatisticalTest.h"

// One-way analysis of variance: whether the mean of a column varies across
// groups; the base of the tests with an F statistic. With df1 = 1 the result
// is shown as the t-test it equals: t = sqrt(F) against a two-sided t
// critical value with df2 degrees of freedom.
class DSStatisticalTestANOVA : public DSStatisticalTest {
public:
    DSStatisticalTestANOVA(double f, int64_t df1, int64_t df2);

    QString name() const override;
    QString shortName() const override;
    QString statisticName() const override;
    QString shortStatisticName() const override;
    double statisticValue() const override;
    double criticalValueAtLevel(double level) const override;
    double p_value() const override;
    double pdfAtMaximum() const override;
    double pdfAtValue(double x) const override;
    QString explanationPrefix(bool significant) const override;
    QString explanationInfix(bool significant) const override;
    QString explanationSuffix(bool significant) const override;
    QString shortExplanationAtLevel(double level) const override;

protected:
    const double _f;
    const int64_t _df1;
    const int64_t _df2;
    const double _log_beta;  // ln B(df1 / 2, df2 / 2)
};
