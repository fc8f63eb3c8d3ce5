#include "stats/DSStatisticalTestTwoWayANOVA.h"

QString DSStatisticalTestTwoWayANOVA::name() const
{
    return QStringLiteral("Two-way ANOVA Test");
}

QString DSStatisticalTestTwoWayANOVA::shortName() const
{
    return QStringLiteral("Two-way ANOVA");
}

QString DSStatisticalTestTwoWayANOVA::explanationInfix(bool significant) const
{
    return significant ? QStringLiteral(" is affected by the interaction of ")
                       : QStringLiteral(" is not affected by the interaction of ");
}

QString DSStatisticalTestTwoWayANOVA::shortExplanationAtLevel(double level) const
{
    return isSignificantAtLevel(level) ? QStringLiteral("Interaction detected") : QStringLiteral("No interaction");
}
