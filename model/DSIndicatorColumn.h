#pragma once

#include "model/DSColumn.h"

// A column of one value bit and one missing bit a row.
class DSIndicatorColumn : public DSColumn
{
public:
    // The bit mask of true rows and that of missing rows (null when none is
    // missing), owned by the column; answers the byte length of the two
    // masks, which may cover fewer rows than the table (0 when the column
    // has no values). The base has no values.
    virtual qint64 getBytes(const uint8_t **values, const uint8_t **missing)
    {
        if (values)
            *values = nullptr;
        if (missing)
            *missing = nullptr;
        return 0;
    }
};
