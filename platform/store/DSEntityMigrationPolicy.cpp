#include "platform/store/DSEntityMigrationPolicy.h"

#include "platform/store/DSAttributeDescription.h"
#include "platform/store/DSClassRegistry.h"
#include "platform/store/DSEntityDescription.h"
#include "platform/store/DSManagedObjectContext.h"
#include "platform/store/DSManagedObjectModel.h"
#include "platform/store/DSMappingModel.h"
#include "platform/store/DSMigrationManager.h"


namespace {

DSClassRegistry<DSEntityMigrationPolicy::Maker> &registry()
{
    static DSClassRegistry<DSEntityMigrationPolicy::Maker> policies;
    return policies;
}

} // namespace

DSEntityMigrationPolicy::~DSEntityMigrationPolicy() = default;

bool DSEntityMigrationPolicy::beginEntityMapping(const DSEntityMapping &, DSMigrationManager &, DSStoreError *)
{
    return true;
}

bool DSEntityMigrationPolicy::createDestinationInstancesForSourceInstance(DSManagedObject *source,
                                                                         const DSEntityMapping &mapping,
                                                                         DSMigrationManager &manager, DSStoreError *error)
{
    DSManagedObject *destination = manager.destinationContext()->insertNewObject(mapping.destinationEntityName);
    if (!destination)
        return ds_store_fail(error, DSStoreError::MigrationFailed,
                             QStringLiteral("The destination model has no entity “%1”").arg(mapping.destinationEntityName));
    for (const DSAttributeDescription *a : source->entity()->attributes()) {
        const QVariant value = source->valueForKey(a->name());
        if (!value.isNull() && destination->entity()->attributeNamed(a->name()))
            destination->setValue(value, a->name());
    }
    manager.associateSourceInstance(source, destination, mapping);
    return true;
}

bool DSEntityMigrationPolicy::createRelationshipsForDestinationInstance(DSManagedObject *, const DSEntityMapping &,
                                                                       DSMigrationManager &, DSStoreError *)
{
    return true;
}

bool DSEntityMigrationPolicy::endEntityMapping(const DSEntityMapping &, DSMigrationManager &, DSStoreError *)
{
    return true;
}

void DSEntityMigrationPolicy::registerPolicyClass(const QString &className, Maker make)
{
    registry().add(className, make);
}

std::unique_ptr<DSEntityMigrationPolicy> DSEntityMigrationPolicy::createPolicy(const QString &className)
{
    if (className.isEmpty())
        return std::make_unique<DSEntityMigrationPolicy>();
    const Maker make = registry().find(className);
    return make ? make() : nullptr;
}
