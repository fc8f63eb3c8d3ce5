#include "migration/ds_register_migration_policies.h"

#include "migration/DSDataMigrator002.h"
#include "migration/DSDataMigrator003.h"
#include "migration/DSDataMigrator004.h"
#include "migration/DSDataMigrator005.h"
#include "migration/DSDataMigrator006.h"
#include "migration/DSPendingDataMigrator.h"

void ds_register_migration_policies()
{
    DSPendingDataMigrator::registerPendingMigrators();
    DSEntityMigrationPolicy::registerPolicyClass<DSDataMigrator002>(QStringLiteral("DSDataMigrator002"));
    DSEntityMigrationPolicy::registerPolicyClass<DSDataMigrator003>(QStringLiteral("DSDataMigrator003"));
    DSEntityMigrationPolicy::registerPolicyClass<DSDataMigrator004>(QStringLiteral("DSDataMigrator004"));
    DSEntityMigrationPolicy::registerPolicyClass<DSDataMigrator005>(QStringLiteral("DSDataMigrator005"));
    DSEntityMigrationPolicy::registerPolicyClass<DSDataMigrator006>(QStringLiteral("DSDataMigrator006"));
}
