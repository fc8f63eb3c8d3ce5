#pragma once

#include "derived/DSComputedColumn.h"

// Its input (slot 0) raised to the exponent. Negative values under a
// fractional exponent are missing; 0 under a negative exponent gives
// infinity, not a missing row.
class DSComputePowerColumn : public DSComputedColumn
{
public:
    double exponent() const { return doubleForKey(QStringLiteral("exponent")); }
    void setExponent(double exponent) { setPrimitiveValue(exponent, QStringLiteral("exponent")); }

    // "√(x)" for 0.5, "(x)²" and "(x)⁻³" for whole exponents strictly
    // between -10 and 10 (0 excepted), "pow(x, 2.5)" otherwise.
    QString suggestedName() const override;
    // YES for a non-negative whole exponent over whole numbers.
    bool containsOnlyIntegers() override;

protected:
    // No values unless the input delivers the whole range.
    qint64 computeValues(const double **out, qint64 offset, qint64 count) override;
    void markMissingRows(qint64 offset, qint64 count) override;
    QStringList parameterKeys() const override { return {QStringLiteral("exponent")}; }
};
