#pragma once

#include "model/DSNumericColumn.h"

// One number in every row of its table; no row is missing.
class DSNumericConstantColumn : public DSNumericColumn
{
public:
    using DSNumericColumn::getValues;
    using DSColumn::getMissingMask;

    double value() const { return doubleForKey(QStringLiteral("value")); }
    // The stored value's own setter beside the store's keyed one.
    using DSManagedObject::setValue;
    void setValue(double value) { setPrimitiveValue(value, QStringLiteral("value")); }

    // The rows of the range the table has, each holding the value, in the
    // column's buffer (valid until its next request); null and 0 for a range
    // at or past the last row or when memory runs out.
    qint64 getValues(const double **out, qint64 offset, qint64 limit) override;
    // No mask and length 0: no row is missing.
    qint64 getMissingMask(const uint8_t **out) override;
    // The value in the locale's decimal style.
    QString suggestedName() const override;
    // Whether the value's integer part (toward zero) equals it.
    bool containsOnlyIntegers() override;
};
