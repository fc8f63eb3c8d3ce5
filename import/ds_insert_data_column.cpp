#include "import/ds_insert_data_column.h"

#include "model/DSNumericDataColumn.h"
#include "model/DSTextDataColumn.h"
#include "model/DSTimeDataColumn.h"
#include "platform/store/DSObjectPool.h"

namespace {

template <class T>
DSNewDataColumn insert(DSObjectPool &pool, const QString &entity)
{
    T *column = pool.insertNewObject<T>(entity);
    return {column, column};
}

} // namespace

DSNewDataColumn ds_insert_data_column(DSObjectPool &pool, DSDataColumnKind kind)
{
    switch (kind) {
    case DSDataColumnKind::Numeric:
        return insert<DSNumericDataColumn>(pool, QStringLiteral("DSNumericDataColumn"));
    case DSDataColumnKind::Time:
        return insert<DSTimeDataColumn>(pool, QStringLiteral("DSTimeDataColumn"));
    case DSDataColumnKind::Text:
        return insert<DSTextDataColumn>(pool, QStringLiteral("DSTextDataColumn"));
    }
    return {};
}
