#pragma once

#include <QList>

// The import protocol of the stored columns (numeric, text, time): a reader
// appends one value per row in row order (each kind has its own append),
// sets the table's row count and then finishes every column with
// saveAfterImport(); table copies, pivot exports and residual columns
// append and call save() themselves.
//
// Appending and finishing touch nothing but the column and read its table's
// row count, so an importer's thread may fill columns of a pool, and
// several columns may be finished at once.
class DSDataColumn
{
public:
    virtual ~DSDataColumn() = default;

    // Appends a missing row. False when memory runs out (nothing appended).
    virtual bool appendEmptyValue() = 0;
    // Decides whether the column is treated as categories, fills it up to
    // the table's row count with missing rows and saves it. False when
    // filling or saving failed; what was appended is saved when it can be.
    virtual bool saveAfterImport() = 0;
    // Writes the appended values as the stored ones and empties the buffer.
    // False, keeping the buffer, when they cannot be written.
    virtual bool save() = 0;
    // Releases the decoded values and purges the caches.
    virtual void teardown() = 0;
    // Reads the stored arrays back whole, as a reader does, against maxRows
    // rows, and keeps nothing: false when they are damaged, else true with
    // the rows they hold in *rows. The table's check of its row count uses
    // it, which must not decode the column (decoding reads that count).
    virtual bool checkStoredArrays(qint64 maxRows, qint64 *rows) const = 0;

    // saveAfterImport() of every column: as parallel tasks, one a column,
    // for columns of a pool (an import's); one by one on this thread when
    // any belongs to a context. Each column's stored bytes are the same
    // either way. True when every column succeeded.
    static bool saveAfterImport(const QList<DSDataColumn *> &columns);
};
