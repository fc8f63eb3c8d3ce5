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
    // 1, 2, ..., M for the most rows M of an input table, without a pass
    // over the rows; 0 and null when M is 0.
    qint64 getIndex(const double **out) override;
    // Each row's 0-based row number within its table, M bins.
    qint64 getIndexedValues(const int32_t **out, qint64 *bins) override;
};
