#include "derived/DSComputeDifferenceColumn.h"

QString DSComputeDifferenceColumn::suggestedName() const
{
    const DSColumn *a = minuend(), *b = subtrahend();
    if (!a || !b)
        return QString();
    return operandName(a, AdditiveName) + QStringLiteral(" \u2212 ") + operandName(b, MultiplicativeName);
}

qint64 DSComputeDifferenceColumn::computeValues(const double **out, qint64 offset, qint64 count)
{
    const double *a = nullptr, *b = nullptr;
    double *y = reserveForInputs(minuend(), &a, subtrahend(), &b, offset, count);
    if (y)
        for (qint64 i = 0; i < count; ++i)
            y[i] = a[i] - b[i];
    return handOut(out, y, count);
}
