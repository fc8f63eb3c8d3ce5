#include "stats/DSStatisticalTestKSampleLogRank.h"

QString DSStatisticalTestKSampleLogRank::name() const
{
    return QStringLiteral("Log-Rank Test");
}

QString DSStatisticalTestKSampleLogRank::shortName() const
{
    return QStringLiteral("Log-rank");
}

bool DSStatisticalTestKSampleLogRank::canBeObvious() const
{
    return false;
}

QString DSStatisticalTestKSampleLogRank::explanationPrefix(bool) const
{
    return QStringLiteral("Hazard rate of ");
}

QString DSStatisticalTestKSampleLogRank::explanationInfix(bool significant) const
{
    return variesAcross(significant);
}

QString DSStatisticalTestKSampleLogRank::explanationSuffix(bool) const
{
    return QStringLiteral("");
}

QString DSStatisticalTestKSampleLogRank::shortExplanationAtLevel(double level) const
{
    return isSignificantAtLevel(level) ? QStringLiteral("Unequal hazard rates")
                                       : QStringLiteral("Equal hazard rates");
}
