#include "derived/DSComputeLogarithmColumn.h"

#include "model/util/ds_vforce.h"

#include <cmath>

QString DSComputeLogarithmColumn::suggestedName() const
{
    const DSColumn *x = input();
    if (!x)
        return QString();
    const double b = base();
    const QString function = b > 0 ? QStringLiteral("log") + QString::number(b, 'g', QLocale::FloatingPointShortest)
                                   : QStringLiteral("ln");
    return function + QLatin1Char('(') + (increment() ? QStringLiteral("1+") : QString()) + x->name() + QLatin1Char(')');
}

qint64 DSComputeLogarithmColumn::computeValues(const double **out, qint64 offset, qint64 count)
{
    const double *x = nullptr;
    double *y = nullptr;
    if (!reserveForInput(&x, &y, offset, count, true))
        return handOut(out, nullptr, 0);
    const double b = base();
    const bool plusOne = increment();
    if (b == 10 && !plusOne) {
        vvlog10(y, x, count);
    } else if (b == 2 && !plusOne) {
        vvlog2(y, x, count);
    } else {
        (plusOne ? vvlog1p : vvlog)(y, x, count);
        if (b > 0) {
            const double scale = 1 / std::log(b);
            for (qint64 i = 0; i < count; ++i)
                y[i] *= scale;
        }
    }
    return handOut(out, y, count);
}

void DSComputeLogarithmColumn::markMissingRows(qint64 offset, qint64 count)
{
    const double shift = increment() ? 1 : 0;
    markInputRows(offset, count, [shift](double x) { return x + shift <= 0; });
}
