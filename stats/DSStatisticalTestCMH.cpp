#include "stats/DSStatisticalTestCMH.h"

DSStatisticalTestCMH::DSStatisticalTestCMH(double statistic, int64_t treatments, int64_t outcomes)
    : DSStatisticalTestChiSquare(statistic, (treatments - 1) * (outcomes - 1)),
      _treatments(treatments),
      _outcomes(outcomes)
{
}

QString DSStatisticalTestCMH::shortName() const
{
    if (_df == 1)
        return QStringLiteral("McNemar");
    if (_treatments > 2 && _outcomes == 2)
        return QStringLiteral("Cochran's Q");
    if (_treatments == 2 && _outcomes > 2)
        return QStringLiteral("Stuart-Maxwell");
    return QStringLiteral("Cochran-Mantel-Haenszel");
}

QString DSStatisticalTestCMH::name() const
{
    // The chi-square test has a name of its own; this one is named after its
    // special case again.
    return DSStatisticalTest::name();
}

QString DSStatisticalTestCMH::shortExplanationAtLevel(double level) const
{
    return isSignificantAtLevel(level) ? QStringLiteral("Non-homogeneous margins")
                                       : QStringLiteral("Homogeneous margins");
}
