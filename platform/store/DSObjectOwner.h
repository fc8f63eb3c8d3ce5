#pragma once

#include <QString>

#include <memory>
#include <vector>

class DSEntityDescription;
class DSManagedObject;
class DSManagedObjectModel;

// What keeps objects alive: a context or a pool. It makes its objects through
// DSObjectFactory, numbers them, and destroys them when it goes, after every
// object that is not a fault has had didTurnIntoFault(). An object lives as
// long as its owner, deleted ones too (undo may bring them back), so raw
// pointers between objects of one owner never dangle.
class DSObjectOwner
{
public:
    virtual ~DSObjectOwner();
    DSObjectOwner(const DSObjectOwner &) = delete;
    DSObjectOwner &operator=(const DSObjectOwner &) = delete;

    const DSManagedObjectModel &model() const { return *m_model; }
    const std::shared_ptr<const DSManagedObjectModel> &sharedModel() const { return m_model; }
    // The identifier in the URIs of this owner's objects.
    const QString &identifier() const { return m_identifier; }

protected:
    explicit DSObjectOwner(std::shared_ptr<const DSManagedObjectModel> model);

    // The model's entity of that name; null, with a warning, for none.
    const DSEntityDescription *entityForInsertion(const QString &entityName) const;
    // A new object of the entity with its default values, owned here; no
    // hook has run. Null, with a warning, for no entity, an abstract one or
    // one of another model.
    DSManagedObject *makeObject(const DSEntityDescription *entity, qint64 number);
    // Faults every object that is not one yet, then destroys them all.
    void destroyObjects();
    void setIdentifier(const QString &identifier) { m_identifier = identifier; }
    const std::vector<std::unique_ptr<DSManagedObject>> &ownedObjects() const { return m_objects; }

private:
    std::shared_ptr<const DSManagedObjectModel> m_model;
    QString m_identifier;
    std::vector<std::unique_ptr<DSManagedObject>> m_objects;
};
