#pragma once

#include "derived/DSComputedColumn.h"

// The logarithm of its input (slot 0), or of 1 + input with the increment
// on, to a base: 10 and 2 directly, any other base above 0 as ln / ln(base),
// a base of 0, below 0 or NaN as the natural logarithm. Rows whose argument
// (input + 1 or + 0) is 0 or below are missing.
class DSComputeLogarithmColumn : public DSComputedColumn
{
public:
    double base() const { return doubleForKey(QStringLiteral("base")); }
    void setBase(double base) { setPrimitiveValue(base, QStringLiteral("base")); }
    bool increment() const { return boolForKey(QStringLiteral("increment")); }
    void setIncrement(bool on) { setPrimitiveValue(on, QStringLiteral("increment")); }

    // "ln(x)", "ln(1+x)", "log10(x)", "log2(1+x)", ...; "ln" wherever the
    // values are natural logarithms (a base of 0 or below).
    QString suggestedName() const override;
    bool containsOnlyIntegers() override { return false; }

protected:
    // No values unless the input delivers the whole range.
    qint64 computeValues(const double **out, qint64 offset, qint64 count) override;
    void markMissingRows(qint64 offset, qint64 count) override;
    QStringList parameterKeys() const override { return {QStringLiteral("base"), QStringLiteral("increment")}; }
};
