#include "platform/store/DSManagedObject.h"

#include "platform/store/DSAttributeDescription.h"
#include "platform/store/DSEntityDescription.h"
#include "platform/store/DSManagedObjectContext.h"
#include "platform/store/DSUndoManager.h"
#include "platform/store/DSManagedObjectModel.h"
#include "platform/store/DSObjectOwner.h"
#include "platform/store/DSRelationshipDescription.h"

#include <QDebug>


DSManagedObject *ds_object_from_variant(const QVariant &value)
{
    return value.metaType() == QMetaType::fromType<DSManagedObject *>() ? value.value<DSManagedObject *>() : nullptr;
}

DSManagedObject::DSManagedObject() = default;

DSManagedObject::~DSManagedObject() = default;

DSManagedObjectID DSManagedObject::objectID() const
{
    if (!m_entity)
        return DSManagedObjectID();
    return DSManagedObjectID(m_entity, m_owner->identifier(), m_number, m_context == nullptr);
}

QUrl DSManagedObject::uri() const
{
    return objectID().URIRepresentation();
}

bool DSManagedObject::isInserted() const
{
    return m_context && hasFlag(Live) && !hasFlag(Persisted);
}

bool DSManagedObject::isUpdated() const
{
    return m_context && hasFlag(Live) && hasFlag(Persisted) && hasFlag(Unsaved);
}

bool DSManagedObject::isDeleted() const
{
    return m_context && !hasFlag(Live);
}

bool DSManagedObject::isFault() const
{
    return hasFlag(Fault);
}

bool DSManagedObject::hasChanges() const
{
    return hasFlag(Unsaved) || m_pendingIndex >= 0;
}

QVariant DSManagedObject::valueForKey(const QString &key) const
{
    return primitiveValueForKey(key);
}

void DSManagedObject::setValue(const QVariant &value, const QString &key)
{
    setPrimitiveValue(value, key);
}

QVariant DSManagedObject::primitiveValueForKey(const QString &key) const
{
    const DSPropertyDescription *p = m_entity->propertyNamed(key);
    if (!p) {
        qWarning("%s has no property %s", qPrintable(m_entity->name()), qPrintable(key));
        return QVariant();
    }
    return primitiveValue(p);
}

void DSManagedObject::setPrimitiveValue(const QVariant &value, const QString &key)
{
    const DSPropertyDescription *p = m_entity->propertyNamed(key);
    if (!p) {
        qWarning("%s has no property %s; the value is ignored", qPrintable(m_entity->name()), qPrintable(key));
        return;
    }
    setPrimitiveValue(value, p);
}

QVariant DSManagedObject::primitiveValue(const DSPropertyDescription *p) const
{
    Q_ASSERT(m_entity->isKindOfEntity(p->entity()));
    if (p->isAttribute())
        return loadedAttribute(static_cast<const DSAttributeDescription *>(p));
    auto *r = static_cast<const DSRelationshipDescription *>(p);
    if (r->isToMany())
        return QVariant::fromValue(m_toMany[size_t(r->slot())].toList());
    DSManagedObject *target = m_toOne[size_t(r->slot())];
    return target ? QVariant::fromValue(target) : QVariant();
}

void DSManagedObject::setPrimitiveValue(const QVariant &value, const DSPropertyDescription *p)
{
    Q_ASSERT(m_entity->isKindOfEntity(p->entity()));
    if (p->isAttribute())
        return setAttribute(static_cast<const DSAttributeDescription *>(p), value);
    auto *r = static_cast<const DSRelationshipDescription *>(p);
    if (!r->isToMany()) {
        if (!value.isNull() && value.metaType() != QMetaType::fromType<DSManagedObject *>()) {
            qWarning("%s.%s takes an object", qPrintable(m_entity->name()), qPrintable(r->name()));
            return;
        }
        return setToOne(r, ds_object_from_variant(value));
    }
    if (!value.isNull() && value.metaType() != QMetaType::fromType<DSObjectList>()) {
        qWarning("%s.%s takes a list of objects", qPrintable(m_entity->name()), qPrintable(r->name()));
        return;
    }
    setToMany(r, value.value<DSObjectList>());
}

qint64 DSManagedObject::integerForKey(const QString &key) const
{
    return primitiveValueForKey(key).toLongLong();
}

double DSManagedObject::doubleForKey(const QString &key) const
{
    return primitiveValueForKey(key).toDouble();
}

bool DSManagedObject::boolForKey(const QString &key) const
{
    return primitiveValueForKey(key).toBool();
}

QString DSManagedObject::stringForKey(const QString &key) const
{
    return primitiveValueForKey(key).toString();
}

QByteArray DSManagedObject::dataForKey(const QString &key) const
{
    return primitiveValueForKey(key).toByteArray();
}

QCborValue DSManagedObject::propertyListForKey(const QString &key) const
{
    const QVariant v = primitiveValueForKey(key);
    return v.typeId() == QMetaType::QCborValue ? v.value<QCborValue>() : QCborValue();
}

bool DSManagedObject::isValueLoaded(const QString &key) const
{
    const DSAttributeDescription *a = m_entity->attributeNamed(key);
    return a && !isUnloaded(a->slot());
}

DSManagedObject *DSManagedObject::objectForKey(const QString &key) const
{
    const DSRelationshipDescription *r = relationshipForKey(key, false, "objectForKey");
    return r ? m_toOne[size_t(r->slot())] : nullptr;
}

void DSManagedObject::setObject(DSManagedObject *object, const QString &key)
{
    if (const DSRelationshipDescription *r = relationshipForKey(key, false, "setObject"))
        setToOne(r, object);
}

DSObjectList DSManagedObject::objectsForKey(const QString &key) const
{
    const DSRelationshipDescription *r = relationshipForKey(key, true, "objectsForKey");
    return r ? m_toMany[size_t(r->slot())].toList() : DSObjectList();
}

void DSManagedObject::addObject(DSManagedObject *object, const QString &key)
{
    if (const DSRelationshipDescription *r = relationshipForKey(key, true, "addObject"))
        addToMany(r, object);
}

void DSManagedObject::removeObject(DSManagedObject *object, const QString &key)
{
    if (const DSRelationshipDescription *r = relationshipForKey(key, true, "removeObject"))
        removeFromMany(r, object);
}

void DSManagedObject::setObjects(const DSObjectList &objects, const QString &key)
{
    if (const DSRelationshipDescription *r = relationshipForKey(key, true, "setObjects"))
        setToMany(r, objects);
}

void DSManagedObject::awakeFromInsert() {}
void DSManagedObject::awakeFromFetch() {}
void DSManagedObject::prepareForDeletion() {}
void DSManagedObject::didTurnIntoFault() {}
void DSManagedObject::willSave() {}
bool DSManagedObject::prepareForSave() { return true; }
bool DSManagedObject::needsSavePreparation() const { return false; }
void DSManagedObject::commitSavePreparation() {}
void DSManagedObject::discardSavePreparation() {}

void DSManagedObject::markUnsavedEdit()
{
    if (m_context)
        m_context->markUnsaved(this, -1);
}

bool DSManagedObject::storeSavePreparationWithoutUndo()
{
    if (!prepareForSave())
        return false;
    DSUndoManager *undo = m_context ? m_context->undoManager() : nullptr;
    if (undo)
        undo->disableUndoRegistration();
    commitSavePreparation();
    if (m_context)
        m_context->processPendingChanges();
    if (undo)
        undo->enableUndoRegistration();
    return true;
}

const DSRelationshipDescription *DSManagedObject::relationshipForKey(const QString &key, bool toMany,
                                                                     const char *caller) const
{
    const DSRelationshipDescription *r = m_entity->relationshipNamed(key);
    if (!r || r->isToMany() != toMany) {
        qWarning("%s: %s has no %s relationship %s", caller, qPrintable(m_entity->name()),
                 toMany ? "to-many" : "to-one", qPrintable(key));
        return nullptr;
    }
    return r;
}

const QVariant &DSManagedObject::loadedAttribute(const DSAttributeDescription *a) const
{
    const size_t slot = size_t(a->slot());
    if (isUnloaded(a->slot())) {
        m_unloaded[slot] = false;
        m_attributes[slot] = m_context ? m_context->loadStoredValue(this, a) : QVariant();
        // The store keeps no data for none, so none back is a failed read.
        if (m_attributes[slot].isNull()) {
            if (m_unreadable.empty())
                m_unreadable.assign(m_attributes.size(), false);
            m_unreadable[slot] = true;
        }
    }
    return m_attributes[slot];
}

bool DSManagedObject::isValueUnreadable(const QString &key) const
{
    const DSAttributeDescription *a = m_entity->attributeNamed(key);
    if (!a)
        return false;
    loadedAttribute(a);
    return !m_unreadable.empty() && m_unreadable[size_t(a->slot())];
}

void DSManagedObject::markUnloaded(const DSAttributeDescription *a)
{
    if (m_unloaded.empty())
        m_unloaded.assign(m_attributes.size(), false);
    m_unloaded[size_t(a->slot())] = true;
    m_attributes[size_t(a->slot())] = QVariant();
}

bool DSManagedObject::sameValue(const QVariant &a, const QVariant &b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull();
    if (a.metaType() != b.metaType())
        return false;
    if (a.typeId() == QMetaType::QByteArray) {
        // Undo snapshots share blob data with the object; equal pointers
        // spare comparing tens of megabytes.
        const QByteArray x = a.toByteArray(), y = b.toByteArray();
        return (x.constData() == y.constData() && x.size() == y.size()) || x == y;
    }
    if (a.metaType() == QMetaType::fromType<DSObjectList>()) {
        // Qt compares an empty list with one that has reserved room through
        // memcmp on a null pointer: empty lists are settled here.
        const DSObjectList x = a.value<DSObjectList>(), y = b.value<DSObjectList>();
        return x.size() == y.size() && (x.isEmpty() || x == y);
    }
    if (a.metaType() == QMetaType::fromType<DSManagedObject *>())
        return a.value<DSManagedObject *>() == b.value<DSManagedObject *>();
    if (a.typeId() == QMetaType::QCborValue)
        return a.value<QCborValue>() == b.value<QCborValue>();
    return a == b;
}

bool DSManagedObject::canChange(const char *caller) const
{
    if (hasFlag(Fault)) {
        qWarning("%s: %s is a fault; the change is ignored", caller, qPrintable(uri().toString()));
        return false;
    }
    return true;
}

bool DSManagedObject::acceptsTarget(const DSRelationshipDescription *r, const DSManagedObject *target) const
{
    if (!target)
        return true;
    const char *why = nullptr;
    if (target->m_owner != m_owner)
        why = "it belongs to another context or pool";
    else if (!target->m_entity->isKindOfEntity(r->destinationEntity()))
        why = "its entity is not the destination";
    else if (target->hasFlag(Fault) || (target->m_context && !target->hasFlag(Live)))
        why = "it is deleted";
    if (why)
        qWarning("%s.%s cannot hold %s: %s", qPrintable(m_entity->name()), qPrintable(r->name()),
                 qPrintable(target->uri().toString()), why);
    return !why;
}

void DSManagedObject::setAttribute(const DSAttributeDescription *a, const QVariant &value)
{
    if (!canChange("setPrimitiveValue"))
        return;
    QVariant normalized;
    QString why;
    if (!a->normalize(value, &normalized, &why)) {
        qWarning("%s.%s (%s) refuses the value: %s", qPrintable(m_entity->name()), qPrintable(a->name()),
                 qPrintable(DSAttributeDescription::typeName(a->attributeType())), qPrintable(why));
        return;
    }
    const size_t slot = size_t(a->slot());
    if (!isUnloaded(a->slot()) && sameValue(m_attributes[slot], normalized))
        return;
    DSManagedObjectContext::ChangeBatch batch(m_context);
    if (m_context)
        m_context->willChange(this, a);
    if (!m_unloaded.empty())
        m_unloaded[slot] = false;
    if (!m_unreadable.empty())
        m_unreadable[slot] = false;
    m_attributes[slot] = normalized;
    if (m_context)
        m_context->didChange(this, a);
}

void DSManagedObject::setToOne(const DSRelationshipDescription *r, DSManagedObject *target)
{
    if (!canChange("setObject") || !acceptsTarget(r, target))
        return;
    DSManagedObject *old = m_toOne[size_t(r->slot())];
    if (old == target)
        return;
    DSManagedObjectContext::ChangeBatch batch(m_context);
    if (const DSRelationshipDescription *inverse = r->inverseRelationship()) {
        if (old)
            old->unlinkInverse(inverse, this);
        if (target && inverse->isToMany()) {
            target->trackedInsert(inverse, this);
        } else if (target) {
            // One-to-one: the target's former partner lets go of it.
            if (DSManagedObject *partner = target->m_toOne[size_t(inverse->slot())]; partner && partner != this)
                partner->trackedSetToOne(r, nullptr);
            target->trackedSetToOne(inverse, this);
        }
    }
    trackedSetToOne(r, target);
}

void DSManagedObject::addToMany(const DSRelationshipDescription *r, DSManagedObject *member)
{
    if (!member || !canChange("addObject") || !acceptsTarget(r, member))
        return;
    if (m_toMany[size_t(r->slot())].contains(member))
        return;
    DSManagedObjectContext::ChangeBatch batch(m_context);
    if (const DSRelationshipDescription *inverse = r->inverseRelationship()) {
        if (inverse->isToMany()) {
            member->trackedInsert(inverse, this);
        } else {
            // The member leaves its former owner's set.
            if (DSManagedObject *owner = member->m_toOne[size_t(inverse->slot())]; owner && owner != this)
                owner->trackedRemove(r, member);
            member->trackedSetToOne(inverse, this);
        }
    }
    trackedInsert(r, member);
}

void DSManagedObject::removeFromMany(const DSRelationshipDescription *r, DSManagedObject *member)
{
    if (!member || !canChange("removeObject") || !m_toMany[size_t(r->slot())].contains(member))
        return;
    DSManagedObjectContext::ChangeBatch batch(m_context);
    if (const DSRelationshipDescription *inverse = r->inverseRelationship())
        member->unlinkInverse(inverse, this);
    trackedRemove(r, member);
}

void DSManagedObject::setToMany(const DSRelationshipDescription *r, const DSObjectList &members)
{
    if (!canChange("setObjects"))
        return;
    for (DSManagedObject *m : members)
        if (!m || !acceptsTarget(r, m))
            return;
    DSManagedObjectContext::ChangeBatch batch(m_context);
    const DSObjectList current = m_toMany[size_t(r->slot())].toList();
    for (DSManagedObject *m : current)
        if (!members.contains(m))
            removeFromMany(r, m);
    for (DSManagedObject *m : members)
        addToMany(r, m);
}

void DSManagedObject::unlinkInverse(const DSRelationshipDescription *inverse, DSManagedObject *object)
{
    if (inverse->isToMany())
        trackedRemove(inverse, object);
    else if (m_toOne[size_t(inverse->slot())] == object)
        trackedSetToOne(inverse, nullptr);
}

void DSManagedObject::trackedSetToOne(const DSRelationshipDescription *r, DSManagedObject *target)
{
    DSManagedObject *&slot = m_toOne[size_t(r->slot())];
    if (slot == target)
        return;
    if (m_context)
        m_context->willChange(this, r);
    slot = target;
    if (m_context)
        m_context->didChange(this, r);
}

void DSManagedObject::trackedInsert(const DSRelationshipDescription *r, DSManagedObject *member)
{
    DSObjectSet &set = m_toMany[size_t(r->slot())];
    if (set.contains(member))
        return;
    if (m_context)
        m_context->willChange(this, r);
    set.insert(member);
    if (m_context)
        m_context->didChange(this, r);
}

void DSManagedObject::trackedRemove(const DSRelationshipDescription *r, DSManagedObject *member)
{
    DSObjectSet &set = m_toMany[size_t(r->slot())];
    if (!set.contains(member))
        return;
    if (m_context)
        m_context->willChange(this, r);
    set.remove(member);
    if (m_context)
        m_context->didChange(this, r);
}

void DSManagedObject::restoreValue(const DSPropertyDescription *p, const QVariant &value)
{
    if (m_context)
        m_context->willChange(this, p);
    if (p->isAttribute()) {
        const size_t slot = size_t(p->slot());
        if (!m_unloaded.empty())
            m_unloaded[slot] = false;
        if (!m_unreadable.empty())
            m_unreadable[slot] = false;
        m_attributes[slot] = value;
    } else if (static_cast<const DSRelationshipDescription *>(p)->isToMany()) {
        m_toMany[size_t(p->slot())].assign(value.value<DSObjectList>());
    } else {
        m_toOne[size_t(p->slot())] = ds_object_from_variant(value);
    }
    if (m_context)
        m_context->didChange(this, p);
}

DSManagedObject *DSManagedObject::insertNewObjectOfEntity(const QString &entityName) const
{
    const DSEntityDescription *entity = m_entity->managedObjectModel()->entityNamed(entityName);
    if (!entity) {
        qWarning("The model of %s has no entity named %s", qPrintable(m_entity->name()), qPrintable(entityName));
        return nullptr;
    }
    return m_owner->insertNewObject(entity);
}

DSObjectList DSManagedObject::managedObjectDependencies()
{
    return {this};
}

QVariant DSManagedObject::encodedValueOfAttribute(const DSAttributeDescription *attribute) const
{
    return primitiveValue(attribute);
}

QCborMap DSManagedObject::encodedManagedObject() const
{
    QCborMap encoded;
    encoded.insert(QStringLiteral("id"), uri().toString());
    encoded.insert(QStringLiteral("class"), m_entity->name());
    for (const DSAttributeDescription *a : m_entity->attributes()) {
        const QVariant value = encodedValueOfAttribute(a);
        if (value.isNull())
            continue;
        encoded.insert(a->name(), a->attributeType() == DSAttributeType::Transformable ? value.value<QCborValue>()
                                                                                        : QCborValue::fromVariant(value));
    }
    for (const DSRelationshipDescription *r : m_entity->relationships()) {
        if (r->isToMany()) {
            QCborArray identities;
            for (DSManagedObject *member : m_toMany[size_t(r->slot())])
                identities.append(member->uri().toString());
            encoded.insert(r->name(), identities);
        } else if (DSManagedObject *target = m_toOne[size_t(r->slot())]) {
            encoded.insert(r->name(), target->uri().toString());
        }
    }
    return encoded;
}

QCborArray DSManagedObject::encodedManagedObjectDependencies()
{
    QCborArray graph;
    for (DSManagedObject *object : managedObjectDependencies())
        graph.append(object->encodedManagedObject());
    return graph;
}

QHash<QString, DSManagedObject *> DSManagedObject::managedObjectDictionary()
{
    QHash<QString, DSManagedObject *> objects;
    for (DSManagedObject *object : managedObjectDependencies())
        objects.insert(object->uri().toString(), object);
    return objects;
}

void DSManagedObject::decodeAttributes(const QCborMap &dictionary)
{
    for (const DSAttributeDescription *a : m_entity->attributes()) {
        const auto found = dictionary.constFind(a->name());
        if (found == dictionary.constEnd())
            continue;
        const QCborValue encoded = found.value();
        QVariant value;
        QString why;
        if (!a->normalize(QVariant::fromValue(encoded), &value, &why)) {
            qWarning("%s.%s does not decode: %s", qPrintable(m_entity->name()), qPrintable(a->name()), qPrintable(why));
            continue;
        }
        setValue(value, a->name());
    }
}

void DSManagedObject::decodeRelationships(const QCborMap &dictionary, const QHash<QString, DSManagedObject *> &objects)
{
    for (const DSRelationshipDescription *r : m_entity->relationships()) {
        const auto found = dictionary.constFind(r->name());
        if (found == dictionary.constEnd())
            continue;
        if (r->isToMany()) {
            DSObjectList members;
            for (const QCborValue &identity : found.value().toArray())
                if (DSManagedObject *member = objects.value(identity.toString()))
                    members.append(member);
            setValue(QVariant::fromValue(members), r->name());
        } else {
            DSManagedObject *target = objects.value(found.value().toString());
            setValue(target ? QVariant::fromValue(target) : QVariant(), r->name());
        }
    }
}

void DSManagedObject::transferTransientRelationshipsFromObject(DSManagedObject *)
{
}
