#pragma once

#include "derived/DSObservedColumn.h"
#include "derived/DSStackedTable.h"
#include "model/DSTimeColumn.h"

// A time column of a stacked table: for the rows of each input table the
// values and intervals of its input time column from that table, NaN (and
// missing) for the rows of a table without one.
class DSTimeStackedColumn : public DSObservedColumn<DSTimeColumn>
{
public:
    using DSTimeColumn::getMissingMask;
    using DSTimeColumn::getTimeValues;

    qint64 getTimeValues(const double **values, const double **intervals, qint64 offset, qint64 limit) override;
    // The column's own rule, then every input's missing rows and the rows of
    // tables without an input.
    qint64 getMissingMask(const uint8_t **out, qint64 offset, qint64 limit) override;
    // The input columns in the row order of their tables.
    QList<DSColumn *> sortedInputColumns() const override { return DSStackedTable::inputColumnsInRowOrder(this); }

protected:
    // Its input columns.
    QStringList definitionKeys() const override { return {QStringLiteral("inputs")}; }
};
