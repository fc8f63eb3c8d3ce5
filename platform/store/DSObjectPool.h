#pragma once

#include "platform/store/DSManagedObject.h"
#include "platform/store/DSObjectOwner.h"

#include <QList>

// The owner of objects in no context. An import builds whole tables in a
// pool on its worker thread (relationships and inverses work as in a
// context; nothing is tracked, undone or saved), then hands the pool to the
// main thread, where the object-graph encoding copies the objects into the
// document. The pool's objects live exactly as long as the pool.
//
// A pool is used by one thread at a time; handing it over (a queued call
// carrying a std::shared_ptr<DSObjectPool>) is the only synchronisation it
// needs. Its model is immutable and may be shared with the main thread.
class DSObjectPool final : public DSObjectOwner
{
public:
    explicit DSObjectPool(std::shared_ptr<const DSManagedObjectModel> model);
    ~DSObjectPool() override;

    // A new object of the named entity, after its awakeFromInsert(); null
    // (with a warning) for an unknown or abstract entity.
    DSManagedObject *insertNewObject(const QString &entityName);
    DSManagedObject *insertNewObject(const DSEntityDescription *entity);
    template <class T>
    T *insertNewObject(const QString &entityName)
    {
        return ds_object_cast<T>(insertNewObject(entityName));
    }

    // Every object, in the order made.
    DSObjectList objects() const;
    // The objects of an entity and, when asked, of its sub-entities.
    DSObjectList objectsOfEntity(const QString &entityName, bool includeSubentities = true) const;
    // The object a URI of this pool names, or null.
    DSManagedObject *objectForURI(const QUrl &uri) const;

private:
    qint64 m_lastNumber = 0;
};
