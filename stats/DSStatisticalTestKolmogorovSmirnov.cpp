#include "stats/DSStatisticalTestKolmogorovSmirnov.h"

#include "platform/sterna/sterna.h"

#include <cmath>

DSStatisticalTestKolmogorovSmirnov::DSStatisticalTestKolmogorovSmirnov(double d, int64_t count)
    : _d(d), _count(count)
{
}

QString DSStatisticalTestKolmogorovSmirnov::shortName() const
{
    return QStringLiteral("Kolmogorov-Smirnov");
}

QString DSStatisticalTestKolmogorovSmirnov::statisticName() const
{
    return QStringLiteral("D");
}

double DSStatisticalTestKolmogorovSmirnov::statisticValue() const
{
    return _d;
}

double DSStatisticalTestKolmogorovSmirnov::criticalValueAtLevel(double level) const
{
    return ds_critical_value_kolmogorov_smirnov(level, _count);
}

double DSStatisticalTestKolmogorovSmirnov::p_value() const
{
    return ds_p_value_kolmogorov_smirnov(_d, _count);
}

double DSStatisticalTestKolmogorovSmirnov::pdfAtValue(double x) const
{
    // The limiting density of sqrt(n) D, scaled back to D.
    const double root = std::sqrt(double(_count));
    return double(root * ds_kolmogorov_pdf(root * x));
}

QString DSStatisticalTestKolmogorovSmirnov::explanationInfix(bool significant) const
{
    return significant ? QStringLiteral(" departs from a ") : QStringLiteral(" does not depart from a ");
}

QString DSStatisticalTestKolmogorovSmirnov::explanationSuffix(bool) const
{
    return QStringLiteral(" distribution");
}

QString DSStatisticalTestKolmogorovSmirnov::shortExplanationForDistributionName(const QString &distributionName,
                                                                                 double level) const
{
    if (isSignificantAtLevel(level))
        return QStringLiteral("Not %1ly distributed").arg(distributionName);
    return QStringLiteral("%1ly distributed").arg(capitalised(distributionName));
}
