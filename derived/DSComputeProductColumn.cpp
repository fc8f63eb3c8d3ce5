#include "derived/DSComputeProductColumn.h"

QString DSComputeProductColumn::suggestedName() const
{
    return joinedInputNames(QStringLiteral(" \u00D7 "), MultiplicativeName);
}

qint64 DSComputeProductColumn::computeValues(const double **out, qint64 offset, qint64 count)
{
    double *y = nullptr;
    for (DSColumn *column : sortedInputColumns()) {
        InputTerms terms;
        const Terms result = termsOf(column, offset, count, &terms);
        if (result == Terms::Failed)
            return handOut(out, nullptr, 0);
        if (result == Terms::Skipped)
            continue;
        if (!y) {
            if (!(y = reserveValues(count)))
                return handOut(out, nullptr, 0);
            for (qint64 i = 0; i < count; ++i)
                y[i] = terms.at(offset, i);
        } else {
            for (qint64 i = 0; i < count; ++i)
                y[i] *= terms.at(offset, i);
        }
    }
    return handOut(out, y, count);
}
