#pragma once

#include "stats/DSStatisticalTest.h"

// A chi-square test: independence of two categorical columns, and the base of
// the tests whose statistic is chi-square distributed. With one degree of
// freedom the statistic is shown as the z-score sqrt(chi-square) against a
// two-sided normal critical value; the p-value stays the chi-square one.
class DSStatisticalTestChiSquare : public DSStatisticalTest {
public:
    DSStatisticalTestChiSquare(double statistic, int64_t df);

    QString name() const override;
    QString shortName() const override;
    QString statisticName() const override;
    QString shortStatisticName() const override;
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

    int64_t degreesOfFreedom() const;
    // For a test of even spread over df + 1 cells: " is [not ]evenly
    // distributed (across <df + 1> <cells>)".
    QString explanationSuffix(bool significant, const QString &pluralCellName) const;
    // "Unequal proportions (<df + 1> <cells>)" or "Equal proportions (...)".
    QString shortExplanationForCellName(const QString &cellName, double level) const;

protected:
    const double _chi_square;
    const int64_t _df;
    const double _log_gamma;  // lgamma(df / 2)
};
