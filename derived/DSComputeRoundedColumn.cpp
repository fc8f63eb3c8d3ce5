#include "derived/DSComputeRoundedColumn.h"

#include "model/util/ds_vforce.h"

QString DSComputeRoundedColumn::suggestedName() const
{
    const DSColumn *x = input();
    if (!x)
        return QString();
    const char *function = "round";
    switch (method()) {
    case -2:
        function = "trunc";
        break;
    case -1:
        function = "floor";
        break;
    case 1:
        function = "ceil";
        break;
    }
    return QString::fromLatin1(function) + QLatin1Char('(') + x->name() + QLatin1Char(')');
}

qint64 DSComputeRoundedColumn::computeValues(const double **out, qint64 offset, qint64 count)
{
    const double *x = nullptr;
    double *y = nullptr;
    const qint64 c = reserveForInput(&x, &y, offset, count, false);
    if (!c)
        return handOut(out, nullptr, 0);
    switch (method()) {
    case -2:
        vvint(y, x, c);
        break;
    case -1:
        vvfloor(y, x, c);
        break;
    case 1:
        vvceil(y, x, c);
        break;
    default:
        vvnint(y, x, c);
    }
    return handOut(out, y, c);
}
