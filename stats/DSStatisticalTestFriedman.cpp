#include "stats/DSStatisticalTestFriedman.h"

QString DSStatisticalTestFriedman::name() const
{
    return QStringLiteral("Friedman Test");
}

QString DSStatisticalTestFriedman::shortName() const
{
    return QStringLiteral("Friedman");
}

QString DSStatisticalTestFriedman::explanationPrefix(bool) const
{
    return QStringLiteral("Rank of ");
}

QString DSStatisticalTestFriedman::shortExplanationAtLevel(double level) const
{
    return isSignificantAtLevel(level) ? QStringLiteral("Unequal ranks") : QStringLiteral("Equal ranks");
}
