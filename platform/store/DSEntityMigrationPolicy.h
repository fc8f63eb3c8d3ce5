#pragma once

#include "platform/store/DSStoreError.h"

#include <QString>

#include <memory>

class DSManagedObject;
class DSMigrationManager;
struct DSEntityMapping;

// The code of one entity mapping of a migration. The manager makes one
// policy object per mapping (by the class name the mapping gives) and calls,
// for every mapping in order, beginEntityMapping(), then
// createDestinationInstancesForSourceInstance() for each source object;
// afterwards, per mapping, createRelationshipsForDestinationInstance() for
// each destination object it associated, then endEntityMapping(). Any call
// answering false ends the migration with its error (or a generic one).
//
// Policies are registered by name, explicitly:
//   DSEntityMigrationPolicy::registerPolicyClass<DSDataMigrator006>(QStringLiteral("DSDataMigrator006"));
class DSEntityMigrationPolicy
{
public:
    virtual ~DSEntityMigrationPolicy();

    virtual bool beginEntityMapping(const DSEntityMapping &mapping, DSMigrationManager &manager, DSStoreError *error);
    // By default: a destination object of the mapping's destination entity
    // whose attributes are set by key from the source's attributes of the
    // same name that are not none, associated with the source.
    virtual bool createDestinationInstancesForSourceInstance(DSManagedObject *source, const DSEntityMapping &mapping,
                                                             DSMigrationManager &manager, DSStoreError *error);
    virtual bool createRelationshipsForDestinationInstance(DSManagedObject *destination, const DSEntityMapping &mapping,
                                                           DSMigrationManager &manager, DSStoreError *error);
    virtual bool endEntityMapping(const DSEntityMapping &mapping, DSMigrationManager &manager, DSStoreError *error);

    using Maker = std::unique_ptr<DSEntityMigrationPolicy> (*)();
    static void registerPolicyClass(const QString &className, Maker make);
    template <class T>
    static void registerPolicyClass(const QString &className)
    {
        registerPolicyClass(className, []() -> std::unique_ptr<DSEntityMigrationPolicy> { return std::make_unique<T>(); });
    }
    // A new policy of the registered class; the base policy for an empty
    // name; null for an unknown one.
    static std::unique_ptr<DSEntityMigrationPolicy> createPolicy(const QString &className);
};
