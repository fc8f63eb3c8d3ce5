#pragma once

#include "model/DSTable.h"

// A table whose rows are stored: every column holds num_records rows.
class DSDataTable : public DSTable
{
public:
    qint64 num_records() const override { return integerForKey(QStringLiteral("num_records")); }
    void setNum_records(qint64 n) { setPrimitiveValue(qlonglong(n), QStringLiteral("num_records")); }
};
