#include "derived/DSComputeDivisionColumn.h"

#include "model/util/ds_vforce.h"

QString DSComputeDivisionColumn::suggestedName() const
{
    const DSColumn *a = dividend(), *b = divisor();
    if (!a || !b)
        return QString();
    return operandName(a, MultiplicativeName) + QStringLiteral(" / ") + operandName(b, AtomicName);
}

qint64 DSComputeDivisionColumn::computeValues(const double **out, qint64 offset, qint64 count)
{
    const double *b = nullptr, *a = nullptr;
    double *y = reserveForInputs(divisor(), &b, dividend(), &a, offset, count);
    if (y)
        vvdiv(y, a, b, count);
    return handOut(out, y, count);
}

void DSComputeDivisionColumn::markMissingRows(qint64 offset, qint64 count)
{
    const double *b = nullptr;
    const qint64 nb = std::min(numericValuesOf(divisor(), &b, offset, count), count);
    if (b && nb > 0)
        ds_mark_rows(sharedMissingMask(), offset, nb, [b](int64_t i) { return b[i] == 0; });
}
