#include "stats/DSStatisticalTestCorrelation.h"

#include "platform/sterna/sterna.h"

#include <cmath>
#include <limits>

namespace {

double fisherZ(double r, int64_t n)
{
    if (1 - std::fabs(r) < 1e-9)
        return std::numeric_limits<double>::infinity();
    return ds_correlation_z_score(r, 0, n);
}

}  // namespace

DSStatisticalTestCorrelation::DSStatisticalTestCorrelation(double r, int64_t n)
    : _z(fisherZ(r, n)), _correlation(r)
{
}

QString DSStatisticalTestCorrelation::name() const
{
    return QStringLiteral("Fisher Transformation Test");
}

QString DSStatisticalTestCorrelation::shortName() const
{
    return QStringLiteral("Correlation test");
}

QString DSStatisticalTestCorrelation::statisticName() const
{
    return QStringLiteral("z");
}

double DSStatisticalTestCorrelation::statisticValue() const
{
    return std::fabs(_z);
}

double DSStatisticalTestCorrelation::criticalValueAtLevel(double level) const
{
    return ds_critical_value_z_score(level);
}

double DSStatisticalTestCorrelation::p_value() const
{
    return ds_p_value_normal(_z, 0);
}

double DSStatisticalTestCorrelation::pdfAtMaximum() const
{
    return halfNormalPeak;
}

double DSStatisticalTestCorrelation::pdfAtValue(double x) const
{
    return halfNormalDensity(x);
}

bool DSStatisticalTestCorrelation::canBeObvious() const
{
    return true;
}

QString DSStatisticalTestCorrelation::adjective(bool significant) const
{
    if (!significant)
        return {};
    if (_correlation > 0)
        return std::isinf(_z) ? QStringLiteral("perfect") : QStringLiteral("positive");
    return QStringLiteral("negative");
}

QString DSStatisticalTestCorrelation::explanationPrefix(bool significant) const
{
    const QString strength = significant ? QStringLiteral("A %1").arg(adjective(true)) : QStringLiteral("No");
    return QStringLiteral("%1 correlation exists between ").arg(strength);
}

QString DSStatisticalTestCorrelation::explanationInfix(bool) const
{
    return QStringLiteral(" and ");
}

QString DSStatisticalTestCorrelation::explanationSuffix(bool) const
{
    return QStringLiteral("");
}

QString DSStatisticalTestCorrelation::shortExplanationAtLevel(double level) const
{
    const bool significant = isSignificantAtLevel(level);
    const QString strength = significant ? capitalised(adjective(true)) : QStringLiteral("No");
    return QStringLiteral("%1 correlation").arg(strength);
}
