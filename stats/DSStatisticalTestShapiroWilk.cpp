#include "stats/DSStatisticalTestShapiroWilk.h"

#include "platform/sterna/sterna.h"

#include <cmath>

namespace {

constexpr double normalPeak = 0.3989422804014327;

}  // namespace

DSStatisticalTestShapiroWilk::DSStatisticalTestShapiroWilk(double w, int64_t count) : _w(w), _count(count) {}

QString DSStatisticalTestShapiroWilk::shortName() const
{
    return QStringLiteral("Shapiro-Wilk");
}

QString DSStatisticalTestShapiroWilk::statisticName() const
{
    return QStringLiteral("z");
}

double DSStatisticalTestShapiroWilk::statisticValue() const
{
    return ds_shapiro_wilk_z_score(_w, _count);
}

double DSStatisticalTestShapiroWilk::criticalValueAtLevel(double level) const
{
    return ppnd(1 - level, nullptr);
}

double DSStatisticalTestShapiroWilk::p_value() const
{
    return ds_p_value_shapiro_wilk(_w, _count);
}

double DSStatisticalTestShapiroWilk::pdfAtMaximum() const
{
    return normalPeak;
}

double DSStatisticalTestShapiroWilk::pdfAtValue(double x) const
{
    return normalPeak * std::exp(-0.5 * x * x);
}

QString DSStatisticalTestShapiroWilk::explanationSuffix(bool significant) const
{
    return significant ? QStringLiteral(" departs from a normal distribution")
                       : QStringLiteral(" does not depart from a normal distribution");
}

QString DSStatisticalTestShapiroWilk::shortExplanationAtLevel(double level) const
{
    return isSignificantAtLevel(level) ? QStringLiteral("Not normally distributed")
                                       : QStringLiteral("Normally distributed");
}
