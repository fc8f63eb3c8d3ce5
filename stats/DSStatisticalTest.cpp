#include "stats/DSStatisticalTest.h"

#include <algorithm>
#include <cmath>
#include <limits>

DSStatisticalTest::~DSStatisticalTest() = default;

QString DSStatisticalTest::name() const
{
    return QStringLiteral("%1 Test").arg(shortName());
}

QString DSStatisticalTest::shortName() const
{
    return {};
}

QString DSStatisticalTest::statisticName() const
{
    return {};
}

QString DSStatisticalTest::shortStatisticName() const
{
    return statisticName();
}

double DSStatisticalTest::statisticValue() const
{
    return std::numeric_limits<double>::quiet_NaN();
}

double DSStatisticalTest::criticalValueAtLevel(double) const
{
    return std::numeric_limits<double>::quiet_NaN();
}

double DSStatisticalTest::p_value() const
{
    return std::numeric_limits<double>::quiet_NaN();
}

bool DSStatisticalTest::isSignificantAtLevel(double level) const
{
    return level > p_value();
}

double DSStatisticalTest::pdfAtMaximum() const
{
    const double a = criticalValueAtLevel(0.9);
    const double b = criticalValueAtLevel(0.1);
    if (std::isnan(a) || std::isnan(b))
        return std::numeric_limits<double>::quiet_NaN();
    const double step = (b - a) / 201;
    double peak = 0;
    for (int c = 0; c < 200; ++c)
        peak = std::max(peak, pdfAtValue(a + step * (c + 0.5)));
    return peak;
}

double DSStatisticalTest::pdfAtValue(double) const
{
    return std::numeric_limits<double>::quiet_NaN();
}

bool DSStatisticalTest::canBeObvious() const
{
    return false;
}

QString DSStatisticalTest::explanationPrefix(bool) const
{
    return QStringLiteral("");
}

QString DSStatisticalTest::explanationInfix(bool) const
{
    return QStringLiteral("");
}

QString DSStatisticalTest::explanationSuffix(bool) const
{
    return QStringLiteral("");
}

QString DSStatisticalTest::shortExplanationAtLevel(double) const
{
    return {};
}

double DSStatisticalTest::halfNormalDensity(double x)
{
    return halfNormalPeak * std::exp(-0.5 * x * x);
}

QString DSStatisticalTest::variesAcross(bool significant)
{
    return significant ? QStringLiteral(" varies across ") : QStringLiteral(" does not vary across ");
}

QString DSStatisticalTest::capitalised(const QString &text)
{
    return text.left(1).toUpper() + text.mid(1);
}
