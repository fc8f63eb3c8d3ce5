#pragma once

#include <QString>

class DSEntityDescription;

// A property of an entity: an attribute or a relationship. A sub-entity
// shares the descriptions of the properties it inherits, so index() and
// slot() are the same in the declaring entity and in all its sub-entities.
class DSPropertyDescription
{
public:
    virtual ~DSPropertyDescription();
    DSPropertyDescription(const DSPropertyDescription &) = delete;
    DSPropertyDescription &operator=(const DSPropertyDescription &) = delete;

    const QString &name() const { return m_name; }
    // The entity that declares the property.
    const DSEntityDescription *entity() const { return m_entity; }
    // Position in DSEntityDescription::properties().
    int index() const { return m_index; }
    // Position in the object's storage of this kind: attributes, to-one
    // relationships and to-many relationships are numbered separately.
    int slot() const { return m_slot; }
    // A transient property lives in memory only: it is tracked and undone
    // like any other but never written to a store.
    bool isTransient() const { return m_transient; }
    virtual bool isAttribute() const = 0;
    bool isRelationship() const { return !isAttribute(); }

protected:
    DSPropertyDescription() = default;

private:
    friend class DSManagedObjectModel;
    QString m_name;
    const DSEntityDescription *m_entity = nullptr;
    int m_index = -1;
    int m_slot = -1;
    bool m_transient = false;
};
