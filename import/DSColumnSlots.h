#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class DSColumn;
class DSDataColumn;
class DSTable;

// The per-position record through which an importer that learns a column's
// kind only from its cells defers the kind: a slot counts the empty cells
// seen so far until its first non-empty cell makes the column, then holds
// the column.
//
// A position without a non-empty cell never gets a column: finishing drops
// it and numbers the others 0, 1, 2 ... without a gap.
class DSColumnSlots
{
public:
    struct Slot
    {
        qint64 emptyCount = 0;
        DSColumn *column = nullptr;    // owned by the column's pool or context
        DSDataColumn *data = nullptr;  // the same object's import protocol
        int kind = 0;                  // the importer's own tag of the column's kind
    };

    // One counting slot per header name, the names kept for the columns.
    void reset(const QStringList &names);
    qsizetype size() const { return m_slots.size(); }
    // The slot at a position, or null past the header's last field.
    Slot *slotAt(qsizetype i) { return i >= 0 && i < m_slots.size() ? &m_slots[i] : nullptr; }
    const QString &nameAt(qsizetype i) const { return m_names[i]; }

    // An empty cell: a counting slot counts it, a column gets its missing
    // value. False when memory ran out.
    static bool addEmptyCell(Slot &slot);
    // Makes the counting slot at position i hold the column: appends the
    // count of missing values, names the column and links it to the table.
    // False when memory ran out (the column is linked and kept all the same).
    bool place(qsizetype i, DSColumn *column, DSDataColumn *data, int kind, DSTable *table);

    // Releases the import buffers of every column and forgets the columns
    // (after a failure; the columns stay in their pool).
    void teardown();

    // Finishes every column (the table's row count set before): saves them
    // as parallel tasks, then numbers them in position order. False when a
    // column could not be saved.
    bool finish();

private:
    QStringList m_names;
    QList<Slot> m_slots;
};
