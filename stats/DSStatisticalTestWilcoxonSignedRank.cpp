#include "stats/DSStatisticalTestWilcoxonSignedRank.h"

#include "platform/sterna/sterna.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr int64_t largestExactCount = 39;
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

int64_t largestSum(int64_t n)
{
    return n * (n + 1) / 2;
}

// Ties and zero differences change the null distribution; only untied
// ranks 1 .. n have the table below.
bool exactApplies(int64_t n, double ties, bool zeros)
{
    return n >= 1 && n <= largestExactCount && ties == 0 && !zeros;
}

// How many of the 2^n sign assignments of the ranks 1 .. n give each absolute
// signed sum 0 .. n (n + 1) / 2. The signed sums are counted from -c to c by
// adding one rank at a time, each way to make s becoming a way to make s - k
// and one to make s + k.
std::vector<int64_t> absoluteSumTable(int64_t n)
{
    const int64_t c = largestSum(n);
    std::vector<int64_t> ways(size_t(2 * c + 1), 0), next(ways.size());
    ways[size_t(c)] = 1;
    for (int64_t k = 1; k <= n; ++k) {
        std::fill(next.begin(), next.end(), 0);
        for (int64_t s = -c; s <= c; ++s) {
            const int64_t count = ways[size_t(s + c)];
            if (count == 0)
                continue;
            next[size_t(s - k + c)] += count;
            next[size_t(s + k + c)] += count;
        }
        std::swap(ways, next);
    }
    std::vector<int64_t> absolute(size_t(c + 1));
    absolute[0] = ways[size_t(c)];
    for (int64_t j = 1; j <= c; ++j)
        absolute[size_t(j)] = 2 * ways[size_t(j + c)];
    return absolute;
}

// R's z: (V - n (n + 1) / 4 - 1/2 sign) / sd(V) with V the sum of the
// positive ranks, that is (s - 1) / sd(2V) for s = |2V - n (n + 1) / 2| > 0,
// and 0 for s = 0 (R takes nothing off a z of 0).
double zScore(double s, int64_t n, double ties)
{
    const double size = double(n);
    const double variance = size * (size + 1) * (2 * size + 1) / 6 - ties / 12;
    return s == 0 ? 0 : (s - 1) / std::sqrt(variance);
}

int64_t wholePart(double s)
{
    return std::isfinite(s) ? int64_t(std::trunc(s)) : 0;
}

}  // namespace

DSStatisticalTestWilcoxonSignedRank::DSStatisticalTestWilcoxonSignedRank(double s, int64_t n, double ties,
                                                                         bool zeros)
    : _z(zScore(s, n, ties)),
      _w(wholePart(s)),
      _w_max(exactApplies(n, ties, zeros) ? largestSum(n) : 0),
      _w_abs_counts(exactApplies(n, ties, zeros) ? absoluteSumTable(n) : std::vector<int64_t>()),
      _count(n)
{
}

bool DSStatisticalTestWilcoxonSignedRank::isExact() const
{
    return !_w_abs_counts.empty();
}

double DSStatisticalTestWilcoxonSignedRank::assignments() const
{
    return std::ldexp(1.0, int(_count));
}

const std::vector<int64_t> &DSStatisticalTestWilcoxonSignedRank::absoluteSumCounts() const
{
    return _w_abs_counts;
}

QString DSStatisticalTestWilcoxonSignedRank::name() const
{
    return QStringLiteral("Wilcoxon Signed-Rank Test");
}

QString DSStatisticalTestWilcoxonSignedRank::shortName() const
{
    return QStringLiteral("Signed-rank");
}

// The statistic is W where its critical value comes from the exact table,
// and z wherever the p-value and the critical value are the normal's.
QString DSStatisticalTestWilcoxonSignedRank::statisticName() const
{
    return isExact() || _count < 1 ? QStringLiteral("W(%1)").arg(_count) : QStringLiteral("z");
}

QString DSStatisticalTestWilcoxonSignedRank::shortStatisticName() const
{
    return isExact() || _count < 1 ? QStringLiteral("W") : QStringLiteral("z");
}

double DSStatisticalTestWilcoxonSignedRank::statisticValue() const
{
    if (isExact() || _count < 1)
        return double(_w);
    return _z < 0 ? 0 : _z;
}

double DSStatisticalTestWilcoxonSignedRank::p_value() const
{
    if (_count < 1 || std::isnan(_z))
        return notANumber;
    if (!isExact())
        return ds_p_value_normal(_z, 0);
    if (_w > _w_max)
        return 0;
    int64_t tail = 0;
    for (int64_t j = std::max<int64_t>(_w, 0); j <= _w_max; ++j)
        tail += _w_abs_counts[size_t(j)];
    return double(tail) / assignments();
}

double DSStatisticalTestWilcoxonSignedRank::criticalValueAtLevel(double level) const
{
    if (_count < 1)
        return notANumber;
    if (!isExact())
        return ds_critical_value_z_score(level);
    int64_t tail = 0;
    for (int64_t j = _w_max; j >= 0; --j) {
        tail += _w_abs_counts[size_t(j)];
        if (double(tail) / assignments() > level) {
            if (j == _w_max)
                return double(_w_max + 1);
            // Sums of the wrong parity cannot occur; the next one that can is j + 2.
            return double(_w_abs_counts[size_t(j + 1)] == 0 ? j + 2 : j + 1);
        }
    }
    return notANumber;
}

double DSStatisticalTestWilcoxonSignedRank::pdfAtMaximum() const
{
    if (_count < 1)
        return notANumber;
    if (!isExact())
        return halfNormalPeak;
    int64_t peak = std::max(_w_abs_counts[0], _w_abs_counts[1]);
    if (_w_max >= 2)
        peak = std::max(peak, _w_abs_counts[2]);
    return double(peak);
}

double DSStatisticalTestWilcoxonSignedRank::pdfAtValue(double x) const
{
    if (_count < 1)
        return notANumber;
    if (!isExact())
        return halfNormalDensity(x);
    if (x < 0 || std::trunc(x) > double(_w_max))
        return 0;
    // The curve is drawn in raw counts; a sum of the wrong parity shows the
    // count of the sum below it, so the steps do not drop to 0 between sums.
    const auto j = size_t(std::trunc(x));
    if (_w_abs_counts[j] == 0 && x > 1)
        return double(_w_abs_counts[j - 1]);
    return double(_w_abs_counts[j]);
}

QString DSStatisticalTestWilcoxonSignedRank::explanationPrefix(bool) const
{
    return QStringLiteral("Median difference ");
}

QString DSStatisticalTestWilcoxonSignedRank::explanationInfix(bool) const
{
    return QStringLiteral(" of ");
}

QString DSStatisticalTestWilcoxonSignedRank::explanationSuffix(bool significant) const
{
    return significant ? QStringLiteral(" is non-zero") : QStringLiteral(" is zero");
}

QString DSStatisticalTestWilcoxonSignedRank::shortExplanationAtLevel(double level) const
{
    return isSignificantAtLevel(level) ? QStringLiteral("Median difference is non-zero")
                                       : QStringLiteral("Median difference is zero");
}
