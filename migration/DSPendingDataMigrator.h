#pragma once

#include "platform/store/DSEntityMigrationPolicy.h"

// Stands in for the migration policy of one store-version step
// ("DSDataMigrator002" to "DSDataMigrator006") until that step is built: it
// refuses the step with an error naming the version, so an older document
// fails to open with a message and its files stay as they were. The real
// policies register under the same names and replace these.
class DSPendingDataMigrator : public DSEntityMigrationPolicy
{
public:
    explicit DSPendingDataMigrator(int destinationVersion) : m_destinationVersion(destinationVersion) {}

    bool createDestinationInstancesForSourceInstance(DSManagedObject *source, const DSEntityMapping &mapping,
                                                     DSMigrationManager &manager, DSStoreError *error) override;

    // Registers a pending policy under each step's name.
    static void registerPendingMigrators();

private:
    int m_destinationVersion;
};
