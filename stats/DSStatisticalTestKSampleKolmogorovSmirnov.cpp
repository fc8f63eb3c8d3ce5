#include "stats/DSStatisticalTestKSampleKolmogorovSmirnov.h"

#include "platform/sterna/sterna.h"

#include <cmath>

DSStatisticalTestKSampleKolmogorovSmirnov::DSStatisticalTestKSampleKolmogorovSmirnov(double statistic, int64_t df)
    : _a2(statistic), _df(df)
{
}

QString DSStatisticalTestKSampleKolmogorovSmirnov::shortName() const
{
    return QStringLiteral("Kolmogorov-Smirnov");
}

QString DSStatisticalTestKSampleKolmogorovSmirnov::statisticName() const
{
    return _df == 1 ? QStringLiteral("K") : QStringLiteral("T");
}

double DSStatisticalTestKSampleKolmogorovSmirnov::statisticValue() const
{
    return _df == 1 ? std::sqrt(_a2) : _a2;
}

double DSStatisticalTestKSampleKolmogorovSmirnov::criticalValueAtLevel(double level) const
{
    const double critical = ds_critical_value_kolmogorov_smirnov_k_sample(level, double(_df));
    return _df == 1 ? std::sqrt(critical) : critical;
}

double DSStatisticalTestKSampleKolmogorovSmirnov::p_value() const
{
    return ds_p_value_kolmogorov_smirnov_k_sample(_a2, double(_df));
}

double DSStatisticalTestKSampleKolmogorovSmirnov::pdfAtValue(double x) const
{
    if (_df == 1)  // the density of K = sqrt(T)
        return double(2 * x * ds_kolmogorov_k_pdf((long double)x * x, 1));
    return double(ds_kolmogorov_k_pdf(x, _df));
}

QString DSStatisticalTestKSampleKolmogorovSmirnov::explanationPrefix(bool) const
{
    return QStringLiteral("The distribution of ");
}

QString DSStatisticalTestKSampleKolmogorovSmirnov::explanationInfix(bool significant) const
{
    return variesAcross(significant);
}

QString DSStatisticalTestKSampleKolmogorovSmirnov::shortExplanationAtLevel(double level) const
{
    return isSignificantAtLevel(level) ? QStringLiteral("Unequal distributions")
                                       : QStringLiteral("Equal distributions");
}

int64_t DSStatisticalTestKSampleKolmogorovSmirnov::degreesOfFreedom() const
{
    return _df;
}
