#include "model/DSDataRoot.h"

#include "model/DSDataTable.h"

#include "model/DSTable.h"
#include "platform/store/DSEntityDescription.h"
#include "platform/store/DSFetchRequest.h"
#include "platform/store/DSManagedObjectContext.h"
#include "platform/store/DSObjectGraphDecoder.h"

namespace {

const QString k_tables = QStringLiteral("tables");

DSError errorFrom(const DSStoreError &error)
{
    return ds_make_error(error.code(), error.message());
}

// Identities outside a decoded graph name objects of the document (the
// decoder takes only live ones).
DSObjectGraphDecoder::Resolver resolverOf(DSManagedObjectContext *context)
{
    return [context](const QString &identity) { return context->objectForURI(QUrl(identity)); };
}

} // namespace

DSDataRoot *DSDataRoot::fetchDataRootFromContext(const DSManagedObjectContext &context, DSError *error)
{
    DSStoreError fetchError;
    const DSObjectList roots = context.executeFetchRequest(DSFetchRequest(QStringLiteral("DSDataRoot")), &fetchError);
    if (fetchError.isError()) {
        if (error)
            *error = errorFrom(fetchError);
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

DSTable *DSDataRoot::tableAtIndex(qint64 i) const
{
    return ds_object_cast<DSTable>(DSTable::indexedObjectInSet(objectsForKey(k_tables), i));
}

void DSDataRoot::insertTable(DSTable *table, qint64 i)
{
    DSTable::insertIndexedObject(table, objectsForKey(k_tables), i);
}

void DSDataRoot::moveTableAtIndex(qint64 from, qint64 to)
{
    DSTable::moveIndexedObjectInSet(objectsForKey(k_tables), from, to);
}

DSTable *DSDataRoot::removeTableFromIndex(qint64 i)
{
    return ds_object_cast<DSTable>(DSTable::removeIndexedObjectInSet(objectsForKey(k_tables), i));
}

DSObjectList DSDataRoot::managedObjectDependencies()
{
    DSObjectList dependencies = DSManagedObject::managedObjectDependencies();
    for (DSManagedObject *table : objectsForKey(k_tables))
        dependencies += table->managedObjectDependencies();
    return dependencies;
}

DSManagedObject *DSDataRoot::duplicateManagedObject(DSManagedObject *object, DSError *error)
{
    DSManagedObjectContext *context = managedObjectContext();
    if (!context || !object) {
        if (error)
            *error = ds_make_error(1, QStringLiteral("There is nothing to copy, or no document to copy it into."));
        return nullptr;
    }
    // References that leave the copied objects resolve to the document's own
    // objects, looked up one by one rather than by listing the whole
    // document, so a copy costs what it copies.
    DSStoreError failure;
    const DSObjectList copies = DSObjectGraphDecoder::decode(
        *context, object->encodedManagedObjectDependencies(), resolverOf(context),
        DSObjectGraphDecoder::Unresolved::Drop, &failure);
    if (copies.isEmpty()) {
        if (error)
            *error = errorFrom(failure);
        return nullptr;
    }
    copies.first()->transferTransientRelationshipsFromObject(object);
    return copies.first();
}

QByteArray DSDataRoot::archivedManagedObjectDependencies(DSManagedObject *object)
{
    return DSObjectGraphDecoder::archive(DSObjectGraphDecoder::selfContained(
        object->encodedManagedObjectDependencies(), *object->entity()->managedObjectModel()));
}

DSObjectList DSDataRoot::insertObjectsFromArchive(const QByteArray &archive, DSError *error)
{
    DSManagedObjectContext *context = managedObjectContext();
    QCborArray graph;
    DSStoreError failure;
    DSObjectList objects;
    if (context && DSObjectGraphDecoder::unarchive(archive, &graph, &failure))
        objects = DSObjectGraphDecoder::decode(*context, graph, resolverOf(context),
                                               DSObjectGraphDecoder::Unresolved::Refuse, &failure);
    if (objects.isEmpty() && error)
        *error = context ? errorFrom(failure) : ds_make_error(1, QStringLiteral("There is no document to paste into."));
    // A pasted table is read as an opened one is: a row count its columns
    // do not hold is damage, not two billion rows to walk.
    for (DSManagedObject *object : objects)
        if (auto *table = ds_object_cast<DSDataTable>(object))
            table->checkStoredRows();
    return objects;
}

void DSDataRoot::setActive_table(DSTable *table)
{
    if (table == m_activeTable)
        return;
    DSRegressionModel *previous = m_activeTable ? m_activeTable->active_model() : nullptr;
    m_activeTable = table;
    activeModelDidChange(previous);
}

void DSDataRoot::activeModelDidChange(DSRegressionModel *previous) const
{
    if (m_activeModelObserver)
        m_activeModelObserver(previous);
}

void DSDataRoot::didTurnIntoFault()
{
    m_activeTable = nullptr;
    DSManagedObject::didTurnIntoFault();
}
