#include "derived/DSComputePowerColumn.h"

#include "model/util/ds_vforce.h"

#include <cmath>

namespace {

const char16_t *const k_superscripts[] = {u"", u"¹", u"²", u"³", u"⁴", u"⁵", u"⁶", u"⁷", u"⁸", u"⁹"};

} // namespace

QString DSComputePowerColumn::suggestedName() const
{
    const DSColumn *x = input();
    if (!x)
        return QString();
    const double e = exponent();
    const QString name = x->name();
    if (e == 0.5)
        return QStringLiteral("√(") + name + QLatin1Char(')');
    if (e == std::trunc(e) && e != 0 && std::fabs(e) < 10) {
        const QString power = QString::fromUtf16(k_superscripts[int(std::fabs(e))]);
        return QLatin1Char('(') + name + QLatin1Char(')') + (e < 0 ? QStringLiteral("⁻") : QString()) + power;
    }
    return QStringLiteral("pow(") + name + QStringLiteral(", ") + QString::number(e, 'g', QLocale::FloatingPointShortest)
           + QLatin1Char(')');
}

bool DSComputePowerColumn::containsOnlyIntegers()
{
    const double e = exponent();
    auto *x = dynamic_cast<DSNumericColumn *>(input());
    return std::fabs(e) == std::trunc(e) && x && x->containsOnlyIntegers();
}

qint64 DSComputePowerColumn::computeValues(const double **out, qint64 offset, qint64 count)
{
    const double *x = nullptr;
    double *y = nullptr;
    if (!reserveForInput(&x, &y, offset, count, true))
        return handOut(out, nullptr, 0);
    const double e = exponent();
    if (e == -1) {
        vvrec(y, x, count);
    } else if (e == -0.5) {
        vvrsqrt(y, x, count);
    } else if (e == 0.5) {
        vvsqrt(y, x, count);
    } else if (e == 2) {
        for (qint64 i = 0; i < count; ++i)
            y[i] = x[i] * x[i];
    } else if (e == 3) {
        for (qint64 i = 0; i < count; ++i)
            y[i] = x[i] * x[i] * x[i];
    } else {
        for (qint64 i = 0; i < count; ++i)
            y[i] = std::pow(x[i], e);
    }
    return handOut(out, y, count);
}

void DSComputePowerColumn::markMissingRows(qint64 offset, qint64 count)
{
    const double e = exponent();
    if (e != std::trunc(e))
        markInputRows(offset, count, [](double x) { return x < 0; });
}
