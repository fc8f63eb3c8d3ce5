#pragma once

#include "derived/DSPurgeOnChange.h"
#include "model/DSTable.h"

#include <QList>

#include <functional>

// A table whose rows are the rows of its input tables, one table after the
// other in the order of the tables' own index, without copies: its columns
// are stacked columns (one input column per input table at most) and the
// two source columns. It stores neither a row count nor values. A change of
// its input tables (undo and redo too) or of their rows purges its columns.
class DSStackedTable : public DSTable
{
public:
    ~DSStackedTable() override;

    // The sum of the input tables' rows.
    qint64 num_records() const override;
    bool is_stacked() const override { return true; }

    // The input tables in row order (ascending index).
    QList<DSTable *> sortedInputTables() const;
    // The table at that position of sortedInputTables; null outside it.
    DSTable *inputTableAtIndex(qint64 position) const;
    bool containsInputTable(const DSTable *table) const;
    // The base's, then every column's values are dropped.
    void addInputTable(DSTable *table) override;
    // Removes the first input of that table, and from every column each
    // input column that belongs to it; the columns' values are dropped.
    // Nothing happens when the table is not an input.
    void removeInputTable(DSTable *table);

    // YES when any input table is frequency weighted, or else when the
    // stacked table's own settings weigh its rows (so that a reader that
    // asks first never drops weights getFrequencyWeights would give).
    bool isFrequencyWeighted() const override;
    bool anyInputIsWeighted() const;
    // With a weighted input, each input table's own weights in row order (1
    // a row for a table whose weights do not cover exactly its rows);
    // otherwise the base's answer from the stacked table's own settings.
    qint64 getFrequencyWeights(const int32_t **out) override;
    // Whether the stacked table's own settings weigh its rows: the case in
    // which merged answers from the inputs would differ from the rows'.
    bool weighsByOwnSettings() const { return !anyInputIsWeighted() && DSTable::isFrequencyWeighted(); }

    // The part of stacked rows [offset, offset + count) inside one input
    // table: its rows first .. first + rows - 1 stand at positions
    // position .. position + rows - 1 of the range.
    struct Part
    {
        DSTable *table = nullptr;
        qint64 first = 0;
        qint64 position = 0;
        qint64 rows = 0;
    };
    // The non-empty parts of the range in row order.
    QList<Part> partsOfRange(qint64 offset, qint64 count) const;
    // Sets in mask (absolute rows) the bits of the rows of [offset, offset
    // + count) that are missing in their table's input column, inputOf(table)
    // (all of a table's rows when it gives none).
    void markMissingRows(uint8_t *mask, qint64 offset, qint64 count,
                         const std::function<DSColumn *(const DSTable *)> &inputOf) const;

    // An input table with rows and a stacked column's input column from it
    // (null when it has none of the column's kind).
    struct Source
    {
        DSTable *table = nullptr;
        DSColumn *input = nullptr;
        qint64 rows = 0;
    };
    using InputOf = std::function<DSColumn *(const DSTable *)>;
    // The input tables that have rows, in row order, each with inputOf(it).
    QList<Source> sources(const InputOf &inputOf) const;
    // The input columns of column in the row order of their tables; tables
    // without one are skipped.
    static QList<DSColumn *> inputColumnsInRowOrder(const DSColumn *column);
    // Whether every input delivers exactly its table's rows (delivered(input)
    // of them), so that summaries of the inputs cover the stacked rows.
    static bool inputsCoverTheirRows(const QList<Source> &sources,
                                     const std::function<qint64(DSColumn *)> &delivered);
    // Whether the inputs' unmasked weighted summaries add up to those of
    // column's stacked rows: its own missing-values rule is off, the stacked
    // table's own settings weigh nothing, and no input is its table's weight
    // column (unweighted there, weighted here).
    bool weighsAsInputs(const DSColumn *column, const QList<Source> &sources) const;
    // The total weight, as the stacked rows weigh them, of the rows of the
    // sources without an input: rows the stacked column marks missing.
    qint64 weightWithoutInput(const QList<Source> &sources);

    void awakeFromInsert() override;
    void awakeFromFetch() override;
    void didTurnIntoFault() override;

private:
    void purgeColumns();
    void observeInputs();

    DSPurgeOnChange m_inputs;

    std::vector<int32_t> m_stackedWeights;
};
