#pragma once

#include "derived/DSObservedColumn.h"
#include "derived/DSStackedTable.h"
#include "model/DSNumericColumn.h"

#include <vector>

// A numeric column of a stacked table: for the rows of each input table
// the values of its input column from that table (a numeric one), NaN and
// missing for the rows of a table without one.
//
// Summaries without a mask are merged from the inputs' own (their index,
// counts, bins and statistics, the means and squared deviations by Chan's
// merge), equal to the answers over the stacked rows; the rows of tables
// without an input count as missing NaN rows. Requests a merge would get
// wrong (a mask, quartiles, the stacked table's own weights, the column's
// own missing-values rule, an input that does not deliver its table's rows
// or hides a zero's sign) are answered over the stacked rows.
class DSNumericStackedColumn : public DSObservedColumn<DSNumericColumn>
{
public:
    using DSNumericColumn::getValues;
    using DSColumn::getMissingMask;

    qint64 getValues(const double **out, qint64 offset, qint64 limit) override;
    // The column's own rule, then every input's missing rows and the rows of
    // tables without an input.
    qint64 getMissingMask(const uint8_t **out, qint64 offset, qint64 limit) override;
    // The inputs' indexes merged (NaN last when a table has no input).
    qint64 getIndex(const double **out) override;
    // Without a mask, the inputs' counts added entry by entry, the rows of
    // tables without an input in the NaN entry.
    qint64 getCounts(const ds_num_counts_s **out, const uint8_t *mask, qint64 length) override;
    // Without a mask, the inputs' bins added bin by bin.
    std::optional<QVariantList> binsForMask(const uint8_t *mask, qint64 length, qint64 binCount, double resolution,
                                            double min, double max, bool empty) override;
    ds_stats_s calculateStatsWithMask(const uint8_t *mask, qint64 length, uint64_t options) override;
    // YES when every input column answers YES (YES without inputs).
    bool containsOnlyIntegers() override;
    // The input columns in the row order of their tables.
    QList<DSColumn *> sortedInputColumns() const override { return DSStackedTable::inputColumnsInRowOrder(this); }

protected:
    // Its input columns.
    QStringList definitionKeys() const override { return {QStringLiteral("inputs")}; }

private:
    DSStackedTable *stackedTable() const;
    // The numeric input column of the table, or none.
    DSNumericColumn *numericInputFor(const DSTable *table) const;
    // The input tables with rows and their numeric input columns.
    QList<DSStackedTable::Source> sources() const;
    // Whether unmasked summaries of the inputs add up to the stacked rows'.
    bool summariesMerge(const QList<DSStackedTable::Source> &sources) const;
    // Builds the merged index into temp_index; its length, or 0 when it
    // cannot stand for the stacked rows' (an input keeps one entry for both
    // signs of zero where the merged index tells them apart, an input does
    // not deliver its table's rows, memory runs out).
    qint64 mergeIndexes(const QList<DSStackedTable::Source> &sources);
};
