#pragma once

#include "derived/DSObservedColumn.h"
#include "derived/DSStackedTable.h"
#include "model/DSTextColumn.h"

#include <vector>

// A text column of a stacked table: for the rows of each input table the
// texts of its input text column from that table, no text (and missing) for
// the rows of a table without one. The texts belong to the input columns.
//
// The index and, without a mask, the counts are merged from the inputs'
// own, equal to those of the stacked rows (the rows of tables without an
// input in the blank entry, missing); requests a merge would get wrong (a
// mask, the stacked table's own weights, the column's own missing-values
// rule, an input that does not deliver its table's rows) are answered over
// the stacked rows.
class DSTextStackedColumn : public DSObservedColumn<DSTextColumn>
{
public:
    using DSColumn::getMissingMask;
    using DSTextColumn::getTextValues;

    qint64 getTextValues(const char *const **out, qint64 offset, qint64 limit) override;
    // The column's own rule, then every input's missing rows and the rows of
    // tables without an input.
    qint64 getMissingMask(const uint8_t **out, qint64 offset, qint64 limit) override;
    // The inputs' indexes merged, made afresh at each request (cheap: the
    // inputs keep theirs).
    qint64 getIndex(const char *const **out) override;
    qint64 numberOfUniqueValues() override { return getIndex(nullptr); }
    // Each row's position, computed afresh at each request.
    qint64 getIndexedValues(const int32_t **out, qint64 *bins) override;
    qint64 getCounts(const ds_txt_counts_s **out, const uint8_t *mask, qint64 length) override;
    // The largest of the input columns'.
    quint64 maximumTextValueLength() override;
    // The input columns in the row order of their tables.
    QList<DSColumn *> sortedInputColumns() const override { return DSStackedTable::inputColumnsInRowOrder(this); }

protected:
    // Its input columns.
    QStringList definitionKeys() const override { return {QStringLiteral("inputs")}; }

private:
    // The input tables with rows and their text input columns.
    QList<DSStackedTable::Source> sources() const;

    std::vector<const char *> m_texts;
};
