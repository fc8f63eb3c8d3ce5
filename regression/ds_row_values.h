#pragma once

#include "model/DSNumericColumn.h"
#include "model/DSTimeColumn.h"

// One value per row of a numeric column (its values) or of a time column
// (its times in seconds), through *values; their count, which may be below
// the table's rows. Other kinds of column give null and 0. The array belongs
// to the column, valid until its next request or edit.
inline qint64 ds_row_values(DSColumn *column, const double **values)
{
    *values = nullptr;
    if (auto *numeric = dynamic_cast<DSNumericColumn *>(column))
        return numeric->getValues(values);
    if (auto *times = dynamic_cast<DSTimeColumn *>(column))
        return times->getTimeValues(values, nullptr);
    return 0;
}
