#pragma once

#include "derived/DSComputedColumn.h"

// Its input (slot 0) multiplied by the scalar, or divided by it with invert
// on; dividing by 0 makes every row missing.
class DSComputeScaledColumn : public DSComputedColumn
{
public:
    double scalar() const { return doubleForKey(QStringLiteral("scalar")); }
    void setScalar(double scalar) { setPrimitiveValue(scalar, QStringLiteral("scalar")); }
    bool invert() const { return boolForKey(QStringLiteral("invert")); }
    void setInvert(bool on) { setPrimitiveValue(on, QStringLiteral("invert")); }

    // "x × 100" or "x / 1,000" (the scalar in the locale's decimal style);
    // an input that is a sum or difference in parentheses.
    QString suggestedName() const override;
    NamePrecedence namePrecedence() const override { return MultiplicativeName; }

protected:
    // As many values as the input delivers for the range; none without.
    qint64 computeValues(const double **out, qint64 offset, qint64 count) override;
    void markMissingRows(qint64 offset, qint64 count) override;
    QStringList parameterKeys() const override { return {QStringLiteral("scalar"), QStringLiteral("invert")}; }
};
