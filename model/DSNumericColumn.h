#pragma once

#include "model/DSColumn.h"

// A column of one double a row, NaN for a missing row.
class DSNumericColumn : public DSColumn
{
public:
    // The values of every row: a pointer owned by the column, valid until
    // its next request or edit, and their count (which may fall short of the
    // table's row count; readers bound their loops by it). The ranged form
    // answers the values from row offset on, at most limit of them. The base
    // has no values: null and 0.
    virtual qint64 getValues(const double **out);
    virtual qint64 getValues(const double **out, qint64 offset, qint64 limit);
};
