#pragma once

#include "platform/store/DSManagedObjectID.h"
#include "platform/store/DSObjectSet.h"

#include <QCborArray>
#include <QCborMap>
#include <QCborValue>
#include <QHash>
#include <QMetaType>
#include <QString>
#include <QVariant>

#include <vector>

class DSAttributeDescription;
class DSEntityDescription;
class DSManagedObjectContext;
class DSObjectOwner;
class DSPropertyDescription;
class DSRelationshipDescription;

// The base of every entity class. An object belongs to a context (a
// document's objects, change-tracked and undoable) or to a pool (objects in
// no context, built on any thread); either owns it for the owner's life.
//
// Values are read and written three ways:
//  - by key, valueForKey()/setValue(): virtual, so an entity class that
//    overrides them reaches its own accessors, with their side effects
//    (decoding and migration rely on that);
//  - primitive, primitiveValueForKey()/setPrimitiveValue() and the
//    relationship calls: the stored value itself, bypassing entity accessors
//    but tracked (saved, undone, notified) and keeping inverses in step;
//  - typed accessors an entity class writes on top of the primitive calls:
//
//      qint64 num_records() const { return integerForKey(QStringLiteral("num_records")); }
//      void setNum_records(qint64 n) { setPrimitiveValue(n, QStringLiteral("num_records")); }
//
// Relationship values travel through QVariant as DSManagedObject * (to-one)
// and DSObjectList (to-many).
//
// An object whose entity has no such key answers a null value and ignores a
// write (with a warning). A fault ignores writes (with a warning) and keeps
// answering its last values.
class DSManagedObject
{
public:
    DSManagedObject();
    virtual ~DSManagedObject();
    DSManagedObject(const DSManagedObject &) = delete;
    DSManagedObject &operator=(const DSManagedObject &) = delete;

    const DSEntityDescription *entity() const { return m_entity; }
    // Null for an object of a pool.
    DSManagedObjectContext *managedObjectContext() const { return m_context; }
    DSManagedObjectID objectID() const;
    // Shorthand for objectID().URIRepresentation().
    QUrl uri() const;

    // Not yet in the store (inserted since the last save, or revived by undo).
    bool isInserted() const;
    // In the store and changed since the last save.
    bool isUpdated() const;
    // Out of the object graph: deleted, or its insertion undone.
    bool isDeleted() const;
    // Turned into a fault: its insertion undone, its deletion saved, or its
    // context reset. didTurnIntoFault() has run; writes are ignored.
    bool isFault() const;
    bool hasChanges() const;

    // By key, through the entity class's accessors.
    virtual QVariant valueForKey(const QString &key) const;
    virtual void setValue(const QVariant &value, const QString &key);

    // Primitive access: no entity accessor runs.
    QVariant primitiveValueForKey(const QString &key) const;
    void setPrimitiveValue(const QVariant &value, const QString &key);
    QVariant primitiveValue(const DSPropertyDescription *property) const;
    void setPrimitiveValue(const QVariant &value, const DSPropertyDescription *property);

    // Typed reads of attributes; none reads as 0, false, "" or an empty value.
    qint64 integerForKey(const QString &key) const;
    double doubleForKey(const QString &key) const;
    bool boolForKey(const QString &key) const;
    QString stringForKey(const QString &key) const;
    QByteArray dataForKey(const QString &key) const;
    QCborValue propertyListForKey(const QString &key) const;
    // Whether an attribute's value is in memory: false only for binary data
    // still waiting in the store to be read on first access.
    bool isValueLoaded(const QString &key) const;
    // Whether the store held binary data for an attribute that could not be
    // read back (a damaged file): the attribute then reads as none. Reads
    // the data first when it still waits in the store.
    bool isValueUnreadable(const QString &key) const;

    // Relationships, primitive and tracked; inverses follow.
    DSManagedObject *objectForKey(const QString &key) const;
    void setObject(DSManagedObject *object, const QString &key);
    DSObjectList objectsForKey(const QString &key) const;
    void addObject(DSManagedObject *object, const QString &key);
    void removeObject(DSManagedObject *object, const QString &key);
    void setObjects(const DSObjectList &objects, const QString &key);

    // A new object of the named entity of this object's model, made by this
    // object's owner (its context, or its pool), after its awakeFromInsert();
    // null, with a warning, for an unknown or abstract entity.
    DSManagedObject *insertNewObjectOfEntity(const QString &entityName) const;

    // The object-graph encoding: the one road by which objects are copied
    // within a document and enter one from elsewhere (another document, the
    // pasteboard, a pool). DSObjectGraphDecoder decodes whole graphs.
    //
    // The objects copied or encoded with this one, this one first; an entity
    // that owns others appends theirs.
    virtual DSObjectList managedObjectDependencies();
    // One dictionary: "id" (the URI), "class" (the entity's name), every
    // attribute that has a value (absent ones are none), each to-one
    // relationship that is set as the target's URI, each to-many relationship
    // as a list of URIs (empty for an empty one).
    QCborMap encodedManagedObject() const;
    // The value encodedManagedObject() writes for an attribute: its stored
    // value, unless the object holds an edit that only a save stores, whose
    // stored form it answers instead, so a copy never misses unsaved edits.
    virtual QVariant encodedValueOfAttribute(const DSAttributeDescription *attribute) const;
    // The dictionaries of managedObjectDependencies(), in that order.
    QCborArray encodedManagedObjectDependencies();
    // URI -> object for managedObjectDependencies().
    QHash<QString, DSManagedObject *> managedObjectDictionary();
    // Sets, through setValue() (so setters with side effects run), every
    // attribute of this object's entity that the dictionary names; other
    // keys are ignored, and so is a value that does not fit its attribute
    // (with a warning). An entity may add to it.
    virtual void decodeAttributes(const QCborMap &dictionary);
    // Sets every relationship of this object's entity that the dictionary
    // names from the map: an identity becomes its object (none when the map
    // lacks it), a list the set of the mapped objects of its identities
    // (identities the map lacks are skipped). Relationships the dictionary
    // does not name are left as they are.
    void decodeRelationships(const QCborMap &dictionary, const QHash<QString, DSManagedObject *> &objects);
    // Called on a fresh copy with the object it was copied from, after both
    // decoding passes; empty here.
    virtual void transferTransientRelationshipsFromObject(DSManagedObject *source);

    // Life-cycle hooks; an override calls the base first.
    // Once, right after the object is made by an insertion (also in a pool).
    virtual void awakeFromInsert();
    // Whenever stored values come (back) into memory: the object was loaded
    // from a store, or undo or redo revived it from a fault.
    virtual void awakeFromFetch();
    // Before the delete rules apply, once per deleted object, with the
    // relationships still in place; an entity removes its own dependants here.
    virtual void prepareForDeletion();
    // When the object turns into a fault: the place to free transient caches.
    virtual void didTurnIntoFault();
    // Before a save writes a changed, inserted or deleted object.
    virtual void willSave();
    // Work a save needs before anything is written, such as encoding an
    // edited array into its stored form: runs for every changed live object
    // side by side on the row-loop pool, so it touches only the object's own
    // transient state. False fails the save before anything is written.
    virtual bool prepareForSave();
    // Whether prepareForSave() has work to do: a save runs the preparations
    // of only these objects, and none at all (no worker threads) without any.
    virtual bool needsSavePreparation() const;
    // After every object prepared: stores what prepareForSave() made
    // (undo registration is off, so a save is never an undoable step).
    virtual void commitSavePreparation();
    // When another object's preparation failed: drops what was made.
    virtual void discardSavePreparation();

protected:
    // Counts the object as changed for the next save (and hasChanges())
    // without a change of a stored value: an edit held in transient state
    // until commitSavePreparation() stores it. Nothing without a context.
    void markUnsavedEdit();
    // Stores held edits now, outside a save: prepareForSave() then
    // commitSavePreparation() with undo registration off, and the change
    // processed, so that a change which follows (and its undo) starts from
    // the edited values. False, storing nothing, when preparing fails.
    bool storeSavePreparationWithoutUndo();

private:
    friend class DSManagedObjectContext;
    friend class DSObjectOwner;
    friend class DSObjectPool;
    friend class DSPersistentStore;

    enum Flag : quint8 { Live = 1, Persisted = 2, Fault = 4, Unsaved = 8 };

    const DSRelationshipDescription *relationshipForKey(const QString &key, bool toMany, const char *caller) const;
    const QVariant &loadedAttribute(const DSAttributeDescription *attribute) const;
    bool isUnloaded(int slot) const { return !m_unloaded.empty() && m_unloaded[size_t(slot)]; }
    // Leaves binary data in the store until first read (a store's loader).
    void markUnloaded(const DSAttributeDescription *attribute);
    static bool sameValue(const QVariant &a, const QVariant &b);
    bool canChange(const char *caller) const;
    bool acceptsTarget(const DSRelationshipDescription *r, const DSManagedObject *target) const;

    void setAttribute(const DSAttributeDescription *a, const QVariant &value);
    void setToOne(const DSRelationshipDescription *r, DSManagedObject *target);
    void addToMany(const DSRelationshipDescription *r, DSManagedObject *member);
    void removeFromMany(const DSRelationshipDescription *r, DSManagedObject *member);
    void setToMany(const DSRelationshipDescription *r, const DSObjectList &members);
    void unlinkInverse(const DSRelationshipDescription *inverse, DSManagedObject *object);

    // The tracked stores behind every change: the context snapshots the old
    // value first and records the change after.
    void trackedSetToOne(const DSRelationshipDescription *r, DSManagedObject *target);
    void trackedInsert(const DSRelationshipDescription *r, DSManagedObject *member);
    void trackedRemove(const DSRelationshipDescription *r, DSManagedObject *member);
    // Sets a property to a value captured earlier, inverses untouched: undo
    // restores both sides of every relationship from its own record.
    void restoreValue(const DSPropertyDescription *property, const QVariant &value);

    bool hasFlag(Flag f) const { return m_flags & f; }
    void setFlag(Flag f, bool on) { m_flags = on ? quint8(m_flags | f) : quint8(m_flags & ~f); }

    const DSEntityDescription *m_entity = nullptr;
    DSObjectOwner *m_owner = nullptr;
    DSManagedObjectContext *m_context = nullptr;
    qint64 m_number = 0;
    quint8 m_flags = 0;
    // Position in the context's change cycle, -1 when untouched in this cycle.
    int m_pendingIndex = -1;
    mutable std::vector<QVariant> m_attributes;
    // Attribute slots whose binary data still waits in the store; empty for
    // an object that never had any.
    mutable std::vector<bool> m_unloaded;
    // Attribute slots whose binary data the store failed to read; empty
    // when none failed.
    mutable std::vector<bool> m_unreadable;
    std::vector<DSManagedObject *> m_toOne;
    std::vector<DSObjectSet> m_toMany;
    // Properties changed since the last save, by index; empty when none.
    std::vector<bool> m_unsavedProperties;
};

Q_DECLARE_METATYPE(DSManagedObject *)
Q_DECLARE_METATYPE(DSObjectList)

// The object a to-one value holds, or null.
DSManagedObject *ds_object_from_variant(const QVariant &value);

// The object cast to an entity class, or null when it is of another class.
template <class T>
T *ds_object_cast(DSManagedObject *object)
{
    return dynamic_cast<T *>(object);
}

// The members of a to-many value that are of an entity class, in order.
template <class T>
QList<T *> ds_objects_cast(const DSObjectList &objects)
{
    QList<T *> result;
    result.reserve(objects.size());
    for (DSManagedObject *o : objects)
        if (T *t = dynamic_cast<T *>(o))
            result.append(t);
    return result;
}
