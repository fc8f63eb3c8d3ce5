#include "stats/DSStatisticalTestANOVA.h"

#include "platform/sterna/sterna.h"

#include <cmath>

DSStatisticalTestANOVA::DSStatisticalTestANOVA(double f, int64_t df1, int64_t df2)
    : _f(f), _df1(df1), _df2(df2), _log_beta(ds_log_beta(double(df1) * 0.5, double(df2) * 0.5))
{
}

QString DSStatisticalTestANOVA::name() const
{
    return _df1 == 1 ? QStringLiteral("T-Test") : QStringLiteral("ANOVA Test");
}

QString DSStatisticalTestANOVA::shortName() const
{
    return _df1 == 1 ? QStringLiteral("t-test") : QStringLiteral("ANOVA");
}

QString DSStatisticalTestANOVA::statisticName() const
{
    if (_df1 == 1)
        return QStringLiteral("t(%1)").arg(_df2);
    return QStringLiteral("F(%1, %2)").arg(QString::number(_df1), QString::number(_df2));
}

QString DSStatisticalTestANOVA::shortStatisticName() const
{
    return _df1 == 1 ? QStringLiteral("t") : QStringLiteral("F");
}

double DSStatisticalTestANOVA::statisticValue() const
{
    return _df1 == 1 ? std::sqrt(_f) : _f;
}

double DSStatisticalTestANOVA::criticalValueAtLevel(double level) const
{
    return _df1 == 1 ? ds_critical_value_t(level, _df2) : ds_critical_value_f(level, _df1, _df2);
}

double DSStatisticalTestANOVA::p_value() const
{
    return ds_p_value_f(_f, _df1, _df2);
}

double DSStatisticalTestANOVA::pdfAtMaximum() const
{
    const double d1 = double(_df1), d2 = double(_df2);
    if (_df1 == 1)
        return 2 / (std::exp(_log_beta) * std::sqrt(d2));
    const double mode = (0.5 - 1 / d1) / (1 / d2 + 0.5);
    return mode <= 0 ? 2 : pdfAtValue(mode);
}

double DSStatisticalTestANOVA::pdfAtValue(double x) const
{
    const double d1 = double(_df1), d2 = double(_df2);
    if (_df1 == 1)  // the density of |t|
        return 2 / (std::exp(_log_beta) * std::sqrt(d2)) * std::pow(x * x / d2 + 1, -(d2 + 1) / 2);
    if (_df1 == 2 && x == 0)
        return 1;
    if (x <= 0)
        return 0;
    return std::exp(d1 / 2 * std::log(d1 / d2) - _log_beta + std::log(x) * (d1 / 2 - 1)
                    - std::log(d1 * x / d2 + 1) * (d1 + d2) / 2);
}

QString DSStatisticalTestANOVA::explanationPrefix(bool) const
{
    return QStringLiteral("Average ");
}

QString DSStatisticalTestANOVA::explanationInfix(bool significant) const
{
    return variesAcross(significant);
}

QString DSStatisticalTestANOVA::explanationSuffix(bool) const
{
    return QStringLiteral("");
}

QString DSStatisticalTestANOVA::shortExplanationAtLevel(double level) const
{
    return isSignificantAtLevel(level) ? QStringLiteral("Unequal means") : QStringLiteral("Equal means");
}
