#pragma once

#include "model/DSColumn.h"

// A column of one value bit and one missing bit a row.
class DSIndicatorColumn : public DSColumn
{
public:
    // The bit mask of true rows and that of missing rows (null when none is
    // missing), owned by the column; answers 0 when the column has no
    // values, else non-zero. The base has no values.
    virtual qint64 getBytes(const uint8_t **values, const uint8_t **missing)
    {
        if (values)
            *values = nullptr;
        if (missing)
            *missing = nullptr;
        return 0;
    }
};
