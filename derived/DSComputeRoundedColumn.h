#pragma once

#include "derived/DSComputedColumn.h"

// Its input (slot 0) rounded to a whole number by the method: -2 toward
// zero, -1 down, 1 up, any other value to the nearest (halves to even).
class DSComputeRoundedColumn : public DSComputedColumn
{
public:
    qint64 method() const { return integerForKey(QStringLiteral("method")); }
    void setMethod(qint64 method) { setPrimitiveValue(qlonglong(method), QStringLiteral("method")); }

    // "trunc(x)", "floor(x)", "ceil(x)" or "round(x)".
    QString suggestedName() const override;
    bool containsOnlyIntegers() override { return true; }

protected:
    // As many values as the input delivers for the range; none without.
    qint64 computeValues(const double **out, qint64 offset, qint64 count) override;
    QStringList parameterKeys() const override { return {QStringLiteral("method")}; }
};
