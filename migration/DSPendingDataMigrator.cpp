#include "migration/DSPendingDataMigrator.h"

namespace {

template <int Version>
std::unique_ptr<DSEntityMigrationPolicy> makePending()
{
    return std::make_unique<DSPendingDataMigrator>(Version);
}

} // namespace

bool DSPendingDataMigrator::createDestinationInstancesForSourceInstance(DSManagedObject *, const DSEntityMapping &,
                                                                       DSMigrationManager &, DSStoreError *error)
{
    return ds_store_fail(error, DSStoreError::MigrationFailed,
                         QStringLiteral("This version of Ostrel cannot yet bring documents of store version %1 "
                                        "up to version %2.")
                             .arg(m_destinationVersion - 1)
                             .arg(m_destinationVersion));
}

void DSPendingDataMigrator::registerPendingMigrators()
{
    registerPolicyClass(QStringLiteral("DSDataMigrator002"), makePending<2>);
    registerPolicyClass(QStringLiteral("DSDataMigrator003"), makePending<3>);
    registerPolicyClass(QStringLiteral("DSDataMigrator004"), makePending<4>);
    registerPolicyClass(QStringLiteral("DSDataMigrator005"), makePending<5>);
    registerPolicyClass(QStringLiteral("DSDataMigrator006"), makePending<6>);
}
