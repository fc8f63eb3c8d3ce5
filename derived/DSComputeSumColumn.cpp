#include "derived/DSComputeSumColumn.h"

#include <algorithm>

QString DSComputeSumColumn::suggestedName() const
{
    return joinedInputNames(QStringLiteral(" + "), AdditiveName);
}

qint64 DSComputeSumColumn::computeValues(const double **out, qint64 offset, qint64 count)
{
    const QList<DSColumn *> inputs = sortedInputColumns();
    double *y = inputs.isEmpty() ? nullptr : reserveValues(count);
    if (!y)
        return handOut(out, nullptr, 0);
    std::fill_n(y, count, 0.0);
    for (DSColumn *column : inputs) {
        InputTerms terms;
        const Terms result = termsOf(column, offset, count, &terms);
        if (result == Terms::Failed)
            return handOut(out, nullptr, 0);
        if (result == Terms::Ready)
            for (qint64 i = 0; i < count; ++i)
                y[i] += terms.at(offset, i);
    }
    return handOut(out, y, count);
}
