#pragma once

#include "platform/store/DSManagedObject.h"

#include <QHash>
#include <QString>
#include <QUrl>

class DSManagedObjectContext;

// The destination graph of one migration step while a policy builds it: the
// destination context, the object map (the URI of a source object to the
// object made for it) and the first thing the step could not map.
//
// Every operation takes and gives possibly null objects and does nothing
// with a null one, so a step that met a failure runs on to its end without
// touching memory it does not own; it then answers NO with failure().
// Values are written by key (setValue), so the entity class's setters run
// in the order the step calls them.
class DSMigrationGraph
{
public:
    explicit DSMigrationGraph(DSManagedObjectContext *context) : m_context(context) {}

    DSManagedObjectContext *context() const { return m_context; }

    // A new object of the named entity; null, with a failure naming the
    // entity, when the destination model lacks it or it is abstract.
    DSManagedObject *insert(const QString &entityName);
    // Same-entity copy: a new object of the source's entity with its
    // attributes transferred.
    DSManagedObject *copy(DSManagedObject *source);
    // Named-entity copy: a new object of the named entity with the source's
    // attributes transferred.
    DSManagedObject *copy(DSManagedObject *source, const QString &entityName);

    // Registers made as the object of source; only registered objects can
    // be rewired to.
    void enter(DSManagedObject *source, DSManagedObject *made);
    // The object registered for source, or null (also for a null source).
    DSManagedObject *mapped(DSManagedObject *source) const;
    // The object registered for the target of source's reference key.
    DSManagedObject *rewired(DSManagedObject *source, const QString &key) const;
    // Sets made's asKey (key when empty) to the rewired target of source's
    // key: null when the source reference is null or its target was not made.
    void rewire(DSManagedObject *source, DSManagedObject *made, const QString &key, const QString &asKey = QString());
    // The same, only when the source reference is set.
    void rewireWhenSet(DSManagedObject *source, DSManagedObject *made, const QString &key,
                       const QString &asKey = QString());

    // A map of one kind of made objects (the URI of a source object to the
    // object made for it), for steps that rewire through named maps rather
    // than the one object map.
    using ObjectMap = QHash<QUrl, DSManagedObject *>;
    // The object map holds for source, or null (also for a null source).
    static DSManagedObject *mapped(const ObjectMap &map, DSManagedObject *source);
    // Sets made's key to the object map holds for the target of source's
    // key: null when the source reference is null or not in the map.
    static void rewire(DSManagedObject *source, DSManagedObject *made, const QString &key, const ObjectMap &map);
    // The same, only when the source reference is set.
    static void rewireWhenSet(DSManagedObject *source, DSManagedObject *made, const QString &key, const ObjectMap &map);
    // Enters made as the object of source in map (nothing for a null one).
    static void enter(ObjectMap &map, DSManagedObject *source, DSManagedObject *made);

    // Sets an attribute, a to-one or a to-many value by key.
    static void setValue(DSManagedObject *made, const QString &key, const QVariant &value);
    static void set(DSManagedObject *made, const QString &key, DSManagedObject *object);
    static void set(DSManagedObject *made, const QString &key, const DSObjectList &objects);

    // For "number_formatter" and "text_formatter": a same-entity copy of the
    // source column's formatter, when its entity has the relationship and it
    // is set.
    void copyFormatters(DSManagedObject *sourceColumn, DSManagedObject *newColumn);

    // Records the first failure; later ones add nothing.
    void fail(const QString &why);
    bool failed() const { return !m_failure.isEmpty(); }
    const QString &failure() const { return m_failure; }

    // "“name”" for an object with a name, else its entity's name: how a
    // failure names what the step could not map.
    static QString describe(const DSManagedObject *object);
    // Whether the object's entity has a relationship of that name.
    static bool hasRelationship(const DSManagedObject *object, const QString &key);
    // The members of a to-many value sorted by their "index" attribute,
    // ascending; members of equal index keep the set's order.
    static DSObjectList sortedByIndex(const DSObjectList &objects);

private:
    DSManagedObjectContext *m_context;
    QHash<QUrl, DSManagedObject *> m_objects;
    QString m_failure;
};
