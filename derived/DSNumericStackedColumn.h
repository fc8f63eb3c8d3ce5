#pragma once

#include "model/DSNumericColumn.h"

class DSStackedTable;

// A numeric column of a stacked table: for the rows of each input table
// the values of its input column from that table (a numeric one), NaN and
// missing for the rows of a table without one. Statistics without a mask
// pool the inputs' own (Chan's merge of means and squared deviations), equal
// to the row-by-row answer; requests the pooled answer would get wrong (a
// mask, quartiles, the stacked table's own weights, its own missing-values
// rule) go row by row.
class DSNumericStackedColumn : public DSNumericColumn
{
public:
    using DSNumericColumn::getValues;
    using DSColumn::getMissingMask;

    qint64 getValues(const double **out, qint64 offset, qint64 limit) override;
    // The column's own rule, then every input's missing rows and the rows of
    // tables without an input.
    qint64 getMissingMask(const uint8_t **out, qint64 offset, qint64 limit) override;
    ds_stats_s calculateStatsWithMask(const uint8_t *mask, qint64 length, uint64_t options) override;
    // YES when every input column answers YES (YES without inputs).
    bool containsOnlyIntegers() override;

private:
    DSStackedTable *stackedTable() const;
    // The numeric input column of the table, or none.
    DSNumericColumn *numericInputFor(const DSTable *table) const;
};
