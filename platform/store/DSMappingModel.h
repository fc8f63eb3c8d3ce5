#pragma once

#include "platform/store/DSManagedObject.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

class DSMigrationManager;

enum class DSEntityMappingType {
    Copy = 0,   // the default policy copies attributes of like name
    Custom = 1  // the named policy does the work
};

// How the objects of one source entity become destination objects.
struct DSEntityMapping
{
    QString name;
    DSEntityMappingType mappingType = DSEntityMappingType::Custom;
    QString sourceEntityName;
    // Version hashes the two models must have for the entity (checked
    // before anything migrates); empty skips the check.
    QByteArray sourceEntityVersionHash;
    QString destinationEntityName;
    QByteArray destinationEntityVersionHash;
    // Registered with DSEntityMigrationPolicy::registerPolicyClass; empty
    // for the default policy.
    QString entityMigrationPolicyClassName;
    // The source objects to migrate, computed with the manager's source
    // context; when empty, every live object of the source entity.
    std::function<DSObjectList(DSMigrationManager &manager)> sourceExpression;
};

// The entity mappings of one migration step, run in order.
struct DSMappingModel
{
    QList<DSEntityMapping> entityMappings;
};
