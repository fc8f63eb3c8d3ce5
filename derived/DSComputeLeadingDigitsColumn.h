#pragma once

#include "derived/DSComputedColumn.h"

// The first significant decimal digit (1 to 9) of its input (slot 0): that
// of the shortest decimal that reads back as the same double, as a number is
// written for people (0.0456 gives 4, -731 gives 7, the double nearest 1e23
// gives 1, one unit in the last place below 0.1 gives 9). 0, infinities and
// NaN give NaN, which is not marked missing unless the input is.
class DSComputeLeadingDigitsColumn : public DSComputedColumn
{
public:
    // Set to 1 at creation; used in the name only.
    qint64 digit_count() const { return integerForKey(QStringLiteral("digit_count")); }
    void setDigit_count(qint64 count) { setPrimitiveValue(qlonglong(count), QStringLiteral("digit_count")); }
    // Stored with the column, read by nothing: the digit is always decimal.
    qint64 radix() const { return integerForKey(QStringLiteral("radix")); }
    void setRadix(qint64 radix) { setPrimitiveValue(qlonglong(radix), QStringLiteral("radix")); }

    // "digit1(x)".
    QString suggestedName() const override;
    bool containsOnlyIntegers() override { return true; }

    // The leading digit of x as above.
    static double leadingDigit(double x);

protected:
    // No values unless the input delivers the whole range.
    qint64 computeValues(const double **out, qint64 offset, qint64 count) override;
    QStringList parameterKeys() const override { return {QStringLiteral("digit_count"), QStringLiteral("radix")}; }
};
