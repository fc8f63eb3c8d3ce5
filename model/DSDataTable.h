#pragma once

#include "model/DSTable.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <limits>

// A table whose rows are stored: every column holds num_records rows.
class DSDataTable : public DSTable
{
public:
    // A table holds 0 to 2,147,483,647 rows (row numbers travel as 32-bit
    // integers); a stored count outside that range, which a damaged file or
    // a pasted archive may hold, reads as the nearest count inside it.
    qint64 num_records() const override
    {
        return std::clamp<qint64>(integerForKey(QStringLiteral("num_records")), 0, std::numeric_limits<int32_t>::max());
    }
    void setNum_records(qint64 n) { setPrimitiveValue(qlonglong(n), QStringLiteral("num_records")); }

    // Every column appends n missing rows, then the count grows by n. A
    // count below 1 adds nothing, as the columns add nothing for it.
    void addRows(qint64 n) override
    {
        if (n <= 0)
            return;
        DSTable::addRows(n);
        setNum_records(num_records() + n);
    }
    // Every column drops the rows, then the count shrinks by their number.
    // Only rows the table has count: the columns skip the others, and a
    // count that fell below their values would hide, and at the next edit
    // lose, the last rows.
    void dropRows(const DSIndexSet &rows) override
    {
        const qint64 n = num_records();
        const qint64 dropped = std::distance(rows.lower_bound(0), rows.lower_bound(n));
        DSTable::dropRows(rows);
        setNum_records(n - dropped);
    }
};
