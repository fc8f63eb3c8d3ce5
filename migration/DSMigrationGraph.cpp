#include "migration/DSMigrationGraph.h"

#include "migration/DSDataMigrator.h"
#include "platform/store/DSEntityDescription.h"
#include "platform/store/DSManagedObjectContext.h"
#include "platform/store/DSManagedObjectModel.h"

#include <algorithm>

DSManagedObject *DSMigrationGraph::insert(const QString &entityName)
{
    const DSEntityDescription *entity = m_context->model().entityNamed(entityName);
    if (!entity || entity->isAbstract()) {
        fail(QStringLiteral("the new store version has no entity “%1”").arg(entityName));
        return nullptr;
    }
    return m_context->insertNewObject(entity);
}

DSManagedObject *DSMigrationGraph::copy(DSManagedObject *source)
{
    return source ? copy(source, source->entity()->name()) : nullptr;
}

DSManagedObject *DSMigrationGraph::copy(DSManagedObject *source, const QString &entityName)
{
    if (!source)
        return nullptr;
    DSManagedObject *made = insert(entityName);
    if (made)
        DSDataMigrator::transferAttributesOfObject(source, made);
    return made;
}

void DSMigrationGraph::enter(DSManagedObject *source, DSManagedObject *made)
{
    if (source && made)
        m_objects.insert(source->uri(), made);
}

DSManagedObject *DSMigrationGraph::mapped(DSManagedObject *source) const
{
    return source ? m_objects.value(source->uri()) : nullptr;
}

DSManagedObject *DSMigrationGraph::rewired(DSManagedObject *source, const QString &key) const
{
    return source && hasRelationship(source, key) ? mapped(source->objectForKey(key)) : nullptr;
}

void DSMigrationGraph::rewire(DSManagedObject *source, DSManagedObject *made, const QString &key, const QString &asKey)
{
    set(made, asKey.isEmpty() ? key : asKey, rewired(source, key));
}

void DSMigrationGraph::rewireWhenSet(DSManagedObject *source, DSManagedObject *made, const QString &key,
                                     const QString &asKey)
{
    if (source && hasRelationship(source, key) && source->objectForKey(key))
        rewire(source, made, key, asKey);
}

DSManagedObject *DSMigrationGraph::mapped(const ObjectMap &map, DSManagedObject *source)
{
    return source ? map.value(source->uri()) : nullptr;
}

void DSMigrationGraph::rewire(DSManagedObject *source, DSManagedObject *made, const QString &key, const ObjectMap &map)
{
    set(made, key, hasRelationship(source, key) ? mapped(map, source->objectForKey(key)) : nullptr);
}

void DSMigrationGraph::rewireWhenSet(DSManagedObject *source, DSManagedObject *made, const QString &key,
                                     const ObjectMap &map)
{
    if (hasRelationship(source, key) && source->objectForKey(key))
        rewire(source, made, key, map);
}

void DSMigrationGraph::enter(ObjectMap &map, DSManagedObject *source, DSManagedObject *made)
{
    if (source && made)
        map.insert(source->uri(), made);
}

void DSMigrationGraph::setValue(DSManagedObject *made, const QString &key, const QVariant &value)
{
    if (made)
        made->setValue(value, key);
}

void DSMigrationGraph::set(DSManagedObject *made, const QString &key, DSManagedObject *object)
{
    if (made)
        made->setValue(QVariant::fromValue(object), key);
}

void DSMigrationGraph::set(DSManagedObject *made, const QString &key, const DSObjectList &objects)
{
    if (made)
        made->setValue(QVariant::fromValue(objects), key);
}

void DSMigrationGraph::copyFormatters(DSManagedObject *sourceColumn, DSManagedObject *newColumn)
{
    for (const QString &key : {QStringLiteral("number_formatter"), QStringLiteral("text_formatter")})
        if (hasRelationship(sourceColumn, key))
            if (DSManagedObject *formatter = sourceColumn->objectForKey(key))
                set(newColumn, key, copy(formatter));
}

void DSMigrationGraph::fail(const QString &why)
{
    if (m_failure.isEmpty())
        m_failure = why;
}

QString DSMigrationGraph::describe(const DSManagedObject *object)
{
    if (!object)
        return QStringLiteral("nothing");
    const QString entity = object->entity()->name();
    const QString name = object->entity()->attributeNamed(QStringLiteral("name"))
                             ? object->stringForKey(QStringLiteral("name"))
                             : QString();
    return name.isEmpty() ? entity : QStringLiteral("%1 “%2”").arg(entity, name);
}

bool DSMigrationGraph::hasRelationship(const DSManagedObject *object, const QString &key)
{
    return object && object->entity()->relationshipNamed(key);
}

DSObjectList DSMigrationGraph::sortedByIndex(const DSObjectList &objects)
{
    DSObjectList sorted = objects;
    std::stable_sort(sorted.begin(), sorted.end(), [](DSManagedObject *a, DSManagedObject *b) {
        return a->integerForKey(QStringLiteral("index")) < b->integerForKey(QStringLiteral("index"));
    });
    return sorted;
}
