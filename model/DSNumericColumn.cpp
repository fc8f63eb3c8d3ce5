#include "model/DSNumericColumn.h"

#include "model/DSTable.h"

qint64 DSNumericColumn::getValues(const double **out)
{
    const DSTable *owner = table();
    return getValues(out, 0, owner ? owner->num_records() : 0);
}

qint64 DSNumericColumn::getValues(const double **out, qint64, qint64)
{
    if (out)
        *out = nullptr;
    return 0;
}
