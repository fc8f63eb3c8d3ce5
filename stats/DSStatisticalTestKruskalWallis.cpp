#include "stats/DSStatisticalTestKruskalWallis.h"

QString DSStatisticalTestKruskalWallis::name() const
{
    return DSStatisticalTest::name();
}

QString DSStatisticalTestKruskalWallis::shortName() const
{
    return _df == 1 ? QStringLiteral("Mann-Whitney") : QStringLiteral("Kruskal-Wallis");
}

bool DSStatisticalTestKruskalWallis::canBeObvious() const
{
    return false;
}

QString DSStatisticalTestKruskalWallis::explanationPrefix(bool) const
{
    return QStringLiteral("Median ");
}

QString DSStatisticalTestKruskalWallis::explanationInfix(bool significant) const
{
    return variesAcross(significant);
}

QString DSStatisticalTestKruskalWallis::explanationSuffix(bool) const
{
    return QStringLiteral("");
}

QString DSStatisticalTestKruskalWallis::shortExplanationAtLevel(double level) const
{
    return isSignificantAtLevel(level) ? QStringLiteral("Unequal medians") : QStringLiteral("Equal medians");
}
