#include "stats/DSStatisticalTestRepeatedMeasuresANOVA.h"

QString DSStatisticalTestRepeatedMeasuresANOVA::name() const
{
    return _df1 == 1 ? QStringLiteral("Paired T-Test") : QStringLiteral("Repeated Measures ANOVA Test");
}

QString DSStatisticalTestRepeatedMeasuresANOVA::shortName() const
{
    return _df1 == 1 ? QStringLiteral("Paired t-test") : QStringLiteral("Repeated measures");
}

QString DSStatisticalTestRepeatedMeasuresANOVA::shortExplanationAtLevel(double level) const
{
    return isSignificantAtLevel(level) ? QStringLiteral("Mean difference is non-zero")
                                       : QStringLiteral("Mean difference is zero");
}
