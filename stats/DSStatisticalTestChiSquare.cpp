#include "stats/DSStatisticalTestChiSquare.h"

#include "platform/sterna/sterna.h"

#include <cmath>

namespace {

double logGamma(double x)
{
    // lgamma_r leaves the global sign variable of lgamma alone, so test
    // objects may be made on any thread.
    int sign;
    return lgamma_r(x, &sign);
}

}  // namespace

DSStatisticalTestChiSquare::DSStatisticalTestChiSquare(double statistic, int64_t df)
    : _chi_square(statistic), _df(df), _log_gamma(logGamma(double(df) * 0.5))
{
}

QString DSStatisticalTestChiSquare::name() const
{
    return QStringLiteral("Chi-Square Test");
}

QString DSStatisticalTestChiSquare::shortName() const
{
    return _df == 1 ? QStringLiteral("z-score") : QStringLiteral("chi-square");
}

QString DSStatisticalTestChiSquare::statisticName() const
{
    return _df == 1 ? QStringLiteral("z") : QStringLiteral("χ²(%1)").arg(_df);
}

QString DSStatisticalTestChiSquare::shortStatisticName() const
{
    return _df == 1 ? QStringLiteral("z") : QStringLiteral("χ²");
}

double DSStatisticalTestChiSquare::statisticValue() const
{
    return _df == 1 ? std::sqrt(_chi_square) : _chi_square;
}

double DSStatisticalTestChiSquare::criticalValueAtLevel(double level) const
{
    return _df == 1 ? ds_critical_value_z_score(level) : ds_critical_value_chi_square(level, _df);
}

double DSStatisticalTestChiSquare::p_value() const
{
    return ds_p_value_chi_square(_chi_square, _df);
}

double DSStatisticalTestChiSquare::pdfAtMaximum() const
{
    if (_df == 1)
        return halfNormalPeak;
    if (_df == 2)
        return 0.5;
    return pdfAtValue(double(_df - 2));
}

double DSStatisticalTestChiSquare::pdfAtValue(double x) const
{
    if (_df == 1)
        return halfNormalDensity(x);
    if (x <= 0)
        return x == 0 && _df == 2 ? 0.5 : 0;
    const double half = double(_df) / 2;
    return std::exp(half * -0.6931471805599453 + (-0.5 * x + std::log(x) * (half - 1)) - _log_gamma);
}

bool DSStatisticalTestChiSquare::canBeObvious() const
{
    return true;
}

QString DSStatisticalTestChiSquare::explanationPrefix(bool) const
{
    return QStringLiteral("");
}

QString DSStatisticalTestChiSquare::explanationInfix(bool) const
{
    return QStringLiteral(" and ");
}

QString DSStatisticalTestChiSquare::explanationSuffix(bool significant) const
{
    return significant ? QStringLiteral(" are not independent") : QStringLiteral(" are independent");
}

QString DSStatisticalTestChiSquare::shortExplanationAtLevel(double level) const
{
    return isSignificantAtLevel(level) ? QStringLiteral("Not independent") : QStringLiteral("Independent");
}

int64_t DSStatisticalTestChiSquare::degreesOfFreedom() const
{
    return _df;
}

QString DSStatisticalTestChiSquare::explanationSuffix(bool significant, const QString &pluralCellName) const
{
    return QStringLiteral(" is %1%2 distributed (across %3 %4)")
        .arg(significant ? QStringLiteral("not ") : QStringLiteral(""), QStringLiteral("evenly"),
             QString::number(_df + 1), pluralCellName);
}

QString DSStatisticalTestChiSquare::shortExplanationForCellName(const QString &cellName, double level) const
{
    const QString text = isSignificantAtLevel(level) ? QStringLiteral("Unequal proportions (%1 %2)")
                                                     : QStringLiteral("Equal proportions (%1 %2)");
    return text.arg(QString::number(_df + 1), cellName);
}
