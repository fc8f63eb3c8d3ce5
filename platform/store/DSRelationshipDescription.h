#pragma once

#include "platform/store/DSPropertyDescription.h"

// What deleting an object does to the objects at a relationship: nullify
// removes it from their inverse, cascade deletes them too, deny refuses the
// deletion while there are any, none leaves them pointing at it.
enum class DSDeleteRule { Nullify, Cascade, Deny, NoAction };

// A relationship to one object or to an unordered set of objects of the
// destination entity or of any of its sub-entities.
class DSRelationshipDescription final : public DSPropertyDescription
{
public:
    bool isAttribute() const override { return false; }
    const DSEntityDescription *destinationEntity() const { return m_destination; }
    // Null for a relationship without an inverse.
    const DSRelationshipDescription *inverseRelationship() const { return m_inverse; }
    bool isToMany() const { return m_toMany; }
    DSDeleteRule deleteRule() const { return m_deleteRule; }

    // "nullify", "cascade", "deny", "none": the names used in model files.
    static QString deleteRuleName(DSDeleteRule rule);
    static bool deleteRuleFromName(const QString &name, DSDeleteRule *rule);

private:
    friend class DSManagedObjectModel;
    const DSEntityDescription *m_destination = nullptr;
    const DSRelationshipDescription *m_inverse = nullptr;
    bool m_toMany = false;
    DSDeleteRule m_deleteRule = DSDeleteRule::Nullify;
};
