#include "migration/ds_register_migration_policies.h"

#include "migration/DSDataMigrator002.h"
#include "migration/DSDataMigrator003.h"
#include "migration/DSPendingDataMigrator.h"

void ds_register_migration_policies()
{
    DSPendingDataMigrator::registerPendingMigrators();
    DSEntityMigrationPolicy::registerPolicyClass<DSDataMigrator002>(QStringLiteral("DSDataMigrator002"));
    DSEntityMigrationPolicy::registerPolicyClass<DSDataMigrator003>(QStringLiteral("DSDataMigrator003"));
}
