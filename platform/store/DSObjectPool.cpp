#include "platform/store/DSObjectPool.h"

#include "platform/store/DSEntityDescription.h"
#include "platform/store/DSManagedObjectModel.h"

#include <QDebug>

DSObjectPool::DSObjectPool(std::shared_ptr<const DSManagedObjectModel> model)
    : DSObjectOwner(std::move(model))
{
}

DSObjectPool::~DSObjectPool()
{
    destroyObjects();
}

DSManagedObject *DSObjectPool::insertNewObject(const QString &entityName)
{
    const DSEntityDescription *entity = entityForInsertion(entityName);
    return entity ? insertNewObject(entity) : nullptr;
}

DSManagedObject *DSObjectPool::insertNewObject(const DSEntityDescription *entity)
{
    DSManagedObject *object = makeObject(entity, m_lastNumber + 1);
    if (!object)
        return nullptr;
    ++m_lastNumber;
    object->setFlag(DSManagedObject::Live, true);
    object->awakeFromInsert();
    return object;
}

DSObjectList DSObjectPool::objects() const
{
    DSObjectList result;
    result.reserve(qsizetype(ownedObjects().size()));
    for (const auto &o : ownedObjects())
        result.append(o.get());
    return result;
}

DSObjectList DSObjectPool::objectsOfEntity(const QString &entityName, bool includeSubentities) const
{
    DSObjectList result;
    const DSEntityDescription *entity = model().entityNamed(entityName);
    for (const auto &o : ownedObjects())
        if (o->entity() == entity || (includeSubentities && entity && o->entity()->isKindOfEntity(entity)))
            result.append(o.get());
    return result;
}

DSManagedObject *DSObjectPool::objectForURI(const QUrl &uri) const
{
    DSManagedObjectID::URIParts parts;
    if (!DSManagedObjectID::parseURI(uri, &parts) || !parts.temporary || parts.storeIdentifier != identifier())
        return nullptr;
    // Numbers are handed out in order, one per object made.
    if (parts.number < 1 || parts.number > qint64(ownedObjects().size()))
        return nullptr;
    DSManagedObject *object = ownedObjects()[size_t(parts.number - 1)].get();
    return object->entity()->name() == parts.entityName ? object : nullptr;
}
