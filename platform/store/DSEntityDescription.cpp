#include "platform/store/DSEntityDescription.h"

#include "platform/store/DSAttributeDescription.h"
#include "platform/store/DSRelationshipDescription.h"

DSEntityDescription::~DSEntityDescription() = default;

const DSEntityDescription *DSEntityDescription::rootEntity() const
{
    const DSEntityDescription *e = this;
    while (e->m_superentity)
        e = e->m_superentity;
    return e;
}

bool DSEntityDescription::isKindOfEntity(const DSEntityDescription *other) const
{
    for (const DSEntityDescription *e = this; e; e = e->m_superentity)
        if (e == other)
            return true;
    return false;
}

const DSAttributeDescription *DSEntityDescription::attributeNamed(const QString &name) const
{
    const DSPropertyDescription *p = m_byName.value(name);
    return p && p->isAttribute() ? static_cast<const DSAttributeDescription *>(p) : nullptr;
}

const DSRelationshipDescription *DSEntityDescription::relationshipNamed(const QString &name) const
{
    const DSPropertyDescription *p = m_byName.value(name);
    return p && p->isRelationship() ? static_cast<const DSRelationshipDescription *>(p) : nullptr;
}

QHash<QString, const DSAttributeDescription *> DSEntityDescription::attributesByName() const
{
    QHash<QString, const DSAttributeDescription *> result;
    for (const DSAttributeDescription *a : m_attributes)
        result.insert(a->name(), a);
    return result;
}

QHash<QString, const DSRelationshipDescription *> DSEntityDescription::relationshipsByName() const
{
    QHash<QString, const DSRelationshipDescription *> result;
    for (const DSRelationshipDescription *r : m_relationships)
        result.insert(r->name(), r);
    return result;
}
