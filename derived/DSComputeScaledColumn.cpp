#include "derived/DSComputeScaledColumn.h"

#include "platform/format/DSPlatformNumberFormatter.h"

QString DSComputeScaledColumn::suggestedName() const
{
    const DSColumn *x = input();
    if (!x)
        return QString();
    const QString scalarText = DSPlatformNumberFormatter(DSPlatformNumberFormatter::DecimalStyle).stringFromNumber(scalar());
    return operandName(x, MultiplicativeName) + (invert() ? QStringLiteral(" / ") : QStringLiteral(" \u00D7 ")) + scalarText;
}

qint64 DSComputeScaledColumn::computeValues(const double **out, qint64 offset, qint64 count)
{
    const double *x = nullptr;
    double *y = nullptr;
    const qint64 c = reserveForInput(&x, &y, offset, count, false);
    if (!c)
        return handOut(out, nullptr, 0);
    const double s = scalar();
    if (invert())
        for (qint64 i = 0; i < c; ++i)
            y[i] = x[i] / s;
    else
        for (qint64 i = 0; i < c; ++i)
            y[i] = x[i] * s;
    return handOut(out, y, c);
}

void DSComputeScaledColumn::markMissingRows(qint64 offset, qint64 count)
{
    if (invert() && scalar() == 0)
        ds_mark_rows(sharedMissingMask(), offset, count, [](int64_t) { return true; });
}
