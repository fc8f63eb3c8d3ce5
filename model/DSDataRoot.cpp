#include "model/DSDataRoot.h"

#include "model/DSTable.h"
#include "platform/store/DSFetchRequest.h"
#include "platform/store/DSManagedObjectContext.h"

namespace {
const QString k_tables = QStringLiteral("tables");
}

DSDataRoot *DSDataRoot::fetchDataRootFromContext(const DSManagedObjectContext &context, DSError *error)
{
    DSStoreError fetchError;
    const DSObjectList roots = context.executeFetchRequest(DSFetchRequest(QStringLiteral("DSDataRoot")), &fetchError);
    if (fetchError.isError()) {
        if (error)
            *error = ds_make_error(fetchError.code(), fetchError.message());
        return nullptr;
    }
    return roots.isEmpty() ? nullptr : ds_object_cast<DSDataRoot>(roots.first());
}

QList<DSTable *> DSDataRoot::tables() const
{
    return ds_objects_cast<DSTable>(objectsForKey(k_tables));
}

QList<DSTable *> DSDataRoot::sortedTables() const
{
    return ds_objects_cast<DSTable>(DSTable::sortedByIndex(objectsForKey(k_tables)));
}

void DSDataRoot::didTurnIntoFault()
{
    m_activeTable = nullptr;
    DSManagedObject::didTurnIntoFault();
}
