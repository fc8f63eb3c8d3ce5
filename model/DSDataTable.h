#pragma once

#include "model/DSTable.h"

// A table whose rows are stored: every column holds num_records rows.
class DSDataTable : public DSTable
{
public:
    qint64 num_records() const override { return integerForKey(QStringLiteral("num_records")); }
    void setNum_records(qint64 n) { setPrimitiveValue(qlonglong(n), QStringLiteral("num_records")); }

    // Every column appends n missing rows, then the count grows by n.
    void addRows(qint64 n) override
    {
        DSTable::addRows(n);
        setNum_records(num_records() + n);
    }
    // Every column drops the rows, then the count shrinks by their number.
    void dropRows(const DSIndexSet &rows) override
    {
        DSTable::dropRows(rows);
        setNum_records(num_records() - qint64(rows.size()));
    }
};
