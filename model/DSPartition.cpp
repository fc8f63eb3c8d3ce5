#include "model/DSPartition.h"

#include "model/DSColumn.h"

DSColumn *DSPartition::column() const
{
    return ds_object_cast<DSColumn>(objectForKey(QStringLiteral("column")));
}

void DSPartition::setColumn(DSColumn *column)
{
    setObject(column, QStringLiteral("column"));
}
