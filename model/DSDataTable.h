#pragma once

#include "model/DSTable.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <limits>

// A table whose rows are stored: every column holds num_records rows.
//
// A stored row count that is negative, past 2,147,483,647 (row numbers
// travel as 32-bit integers) or past what every column holds is damage of
// the table: once checkStoredRows() has found it, the table reads as
// holding the rows its columns hold, refuses row changes, and keeps the
// stored count as it was through every save.
class DSDataTable : public DSTable
{
public:
    // The rows read: the stored count, cut into 0 to 2,147,483,647 (a
    // damaged file or a pasted archive may hold any), or, once the count is
    // found damaged, the rows the columns hold.
    qint64 num_records() const override
    {
        if (m_damagedRows >= 0)
            return m_damagedRows;
        return std::clamp<qint64>(storedRowCount(), 0, k_maxRows);
    }
    // Stores the count; a table found damaged counts as sound again.
    void setNum_records(qint64 n)
    {
        m_damagedRows = -1;
        setPrimitiveValue(qlonglong(n), QStringLiteral("num_records"));
    }
    // The count as stored.
    qint64 storedRowCount() const { return integerForKey(QStringLiteral("num_records")); }
    // The stored count, or the most rows a table holds when it is out of
    // that range: a column holding more is damaged.
    qint64 storedRowLimit() const override
    {
        const qint64 n = storedRowCount();
        return n < 0 || n > k_maxRows ? k_maxRows : n;
    }

    // Checks the stored row count against the columns' stored arrays (each
    // read back whole, none decoded; damaged columns and columns that store
    // no row yet do not count, and without any other only the range is
    // checked). Answers
    // whether the table is damaged; the stored columns found damaged on the
    // way are appended to damagedColumns when it is given.
    bool checkStoredRows(QList<DSColumn *> *damagedColumns = nullptr);
    bool isDamaged() const { return m_damagedRows >= 0; }

    // Every column appends n missing rows, then the count grows by n. A
    // count below 1 adds nothing, as the columns add nothing for it. A
    // damaged table changes nothing (logged).
    void addRows(qint64 n) override;
    // Every column drops the rows, then the count shrinks by their number.
    // Only rows the table has count: the columns skip the others, and a
    // count that fell below their values would hide, and at the next edit
    // lose, the last rows. A damaged table changes nothing (logged).
    void dropRows(const DSIndexSet &rows) override;

private:
    static constexpr qint64 k_maxRows = std::numeric_limits<int32_t>::max();
    // Whether a row change may go ahead; logs why not.
    bool takesRowChanges() const;

    // The rows read while the stored count is damaged; -1 when it is sound.
    qint64 m_damagedRows = -1;
};
