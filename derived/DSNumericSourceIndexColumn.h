#pragma once

#include "model/DSNumericColumn.h"

// The row number of each row of a stacked table within its input table,
// from 1. No row is missing.
class DSNumericSourceIndexColumn : public DSNumericColumn
{
public:
    using DSColumn::getMissingMask;
    using DSNumericColumn::getValues;

    // "source index".
    QString suggestedName() const override { return QStringLiteral("source index"); }
    qint64 getValues(const double **out, qint64 offset, qint64 limit) override;
    // 0 and no mask.
    qint64 getMissingMask(const uint8_t **out, qint64 offset, qint64 limit) override;
    bool containsOnlyIntegers() override { return true; }
};
