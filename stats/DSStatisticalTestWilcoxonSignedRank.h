#pragma once

#include "stats/DSStatisticalTest.h"

#include <vector>

// Whether the median difference of paired columns is 0 (Wilcoxon's
// signed-rank test), two-sided, as R's wilcox.test(paired = TRUE) decides
// it. Up to 39 differences without ties and without zero differences left
// out, the null distribution is exact: a table of how many of the 2^n sign
// assignments give each absolute signed-rank sum, whose values (raw counts)
// are also the curve of the test picture. Otherwise (R's exact test reaches
// 49 differences; ours stops at 39) the normal approximation with R's
// continuity correction, 1 on the signed-rank sum, and the variance
// n (n + 1) (2n + 1) / 6 less a twelfth of the ties' term.
//
// The exact statistic is the whole part W of the sum; W at or beyond
// criticalValueAtLevel() is significant (both are sums the table can hold).
// The approximate statistic is z, beyond the z critical value.
class DSStatisticalTestWilcoxonSignedRank : public DSStatisticalTest {
public:
    // s: the absolute value of the signed-rank sum (of mid-ranks where
    // differences tie); n: the number of ranked (non-zero) differences;
    // ties: the sum of t^3 - t over the runs of t equal absolute differences
    // (0 without ties); zeros: whether zero differences were left out.
    DSStatisticalTestWilcoxonSignedRank(double s, int64_t n, double ties = 0, bool zeros = false);

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

    // Entry j: the number of sign assignments whose absolute signed-rank sum
    // is j, for j = 0 .. n (n + 1) / 2; empty where the test is not exact.
    const std::vector<int64_t> &absoluteSumCounts() const;

private:
    bool isExact() const;
    double assignments() const;  // 2^n

    const double _z;
    const int64_t _w;
    const int64_t _w_max;
    const std::vector<int64_t> _w_abs_counts;
    const int64_t _count;
};
