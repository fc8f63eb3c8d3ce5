#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <memory>
#include <vector>

class DSAttributeDescription;
class DSManagedObjectModel;
class DSPropertyDescription;
class DSRelationshipDescription;

// An entity of a model: its name, the C++ class its objects are made of,
// its parent entity and its properties (inherited ones first, in the order
// the model declares them). Entities are immutable once their model has
// loaded, so any thread may read them.
class DSEntityDescription
{
public:
    ~DSEntityDescription();
    DSEntityDescription(const DSEntityDescription &) = delete;
    DSEntityDescription &operator=(const DSEntityDescription &) = delete;

    const QString &name() const { return m_name; }
    // The name under which the object's C++ class is registered with
    // DSObjectFactory; when nothing is registered under it the factory
    // tries the parent entity's class, then makes a plain DSManagedObject.
    const QString &className() const { return m_className; }
    bool isAbstract() const { return m_abstract; }
    const DSManagedObjectModel *managedObjectModel() const { return m_model; }

    const DSEntityDescription *superentity() const { return m_superentity; }
    const QList<const DSEntityDescription *> &subentities() const { return m_subentities; }
    // The top of the entity's inheritance tree; a store keeps one table per root.
    const DSEntityDescription *rootEntity() const;
    // Whether this entity is `other` or one of its descendants.
    bool isKindOfEntity(const DSEntityDescription *other) const;

    // Every property, inherited ones first; a property's index() is its position here.
    const std::vector<const DSPropertyDescription *> &properties() const { return m_properties; }
    const std::vector<const DSAttributeDescription *> &attributes() const { return m_attributes; }
    const std::vector<const DSRelationshipDescription *> &relationships() const { return m_relationships; }
    const DSPropertyDescription *propertyNamed(const QString &name) const { return m_byName.value(name); }
    const DSAttributeDescription *attributeNamed(const QString &name) const;
    const DSRelationshipDescription *relationshipNamed(const QString &name) const;
    QHash<QString, const DSAttributeDescription *> attributesByName() const;
    QHash<QString, const DSRelationshipDescription *> relationshipsByName() const;

    int toOneCount() const { return m_toOneCount; }
    int toManyCount() const { return m_toManyCount; }

    // SHA-256 over what decides how objects of the entity are stored: its
    // name, abstractness, parent's name and its own properties' names, types,
    // transience, destinations, cardinalities and inverses (not defaults,
    // delete rules or class names, which change no stored byte).
    const QByteArray &versionHash() const { return m_versionHash; }

private:
    friend class DSManagedObjectModel;
    DSEntityDescription() = default;

    QString m_name;
    QString m_className;
    bool m_abstract = false;
    const DSManagedObjectModel *m_model = nullptr;
    const DSEntityDescription *m_superentity = nullptr;
    QList<const DSEntityDescription *> m_subentities;
    std::vector<std::unique_ptr<DSPropertyDescription>> m_ownProperties;
    std::vector<const DSPropertyDescription *> m_properties;
    std::vector<const DSAttributeDescription *> m_attributes;
    std::vector<const DSRelationshipDescription *> m_relationships;
    QHash<QString, const DSPropertyDescription *> m_byName;
    int m_toOneCount = 0;
    int m_toManyCount = 0;
    QByteArray m_versionHash;
};
