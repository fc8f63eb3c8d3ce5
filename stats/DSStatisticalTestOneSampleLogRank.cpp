#include "stats/DSStatisticalTestOneSampleLogRank.h"

QString DSStatisticalTestOneSampleLogRank::name() const
{
    return QStringLiteral("One-Sample Log-Rank Test");
}

QString DSStatisticalTestOneSampleLogRank::shortName() const
{
    return QStringLiteral("Log-rank");
}

QString DSStatisticalTestOneSampleLogRank::explanationSuffix(bool significant) const
{
    return significant ? QStringLiteral(" departs from a constant hazard rate")
                       : QStringLiteral(" does not depart from a constant hazard rate");
}

QString DSStatisticalTestOneSampleLogRank::shortExplanationAtLevel(double level) const
{
    return isSignificantAtLevel(level) ? QStringLiteral("Non-constant hazard rate")
                                       : QStringLiteral("Constant hazard rate");
}
