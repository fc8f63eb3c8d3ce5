#pragma once

#include "derived/DSObservedColumn.h"
#include "derived/DSStackedTable.h"
#include "model/DSIndicatorColumn.h"

#include <vector>

// An indicator column of a stacked table: for the rows of each input table
// the bits of its input indicator column from that table, missing for the
// rows of a table without one.
class DSIndicatorStackedColumn : public DSObservedColumn<DSIndicatorColumn>
{
public:
    using DSIndicatorColumn::getBytes;

    // The value bits and the missing mask of the range (absolute rows; the
    // column's own missing-values rule first), both owned by the column.
    qint64 getBytes(const uint8_t **values, const uint8_t **missing, qint64 offset, qint64 limit) override;
    // The input columns in the row order of their tables.
    QList<DSColumn *> sortedInputColumns() const override { return DSStackedTable::inputColumnsInRowOrder(this); }

protected:
    // Its input columns.
    QStringList definitionKeys() const override { return {QStringLiteral("inputs")}; }

private:
    std::vector<uint8_t> m_bits;
};
