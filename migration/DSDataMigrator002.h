#pragma once

#include "migration/DSDataMigrator.h"

#include <QString>

// Store version 1 to 2: long tables become stacked tables with table inputs
// and two source columns, aggregate tables become a pivot with aggregations
// on their input table, the three filter references of a table become
// filter objects, the direct inputs of computed columns and the conditions
// of joined columns become input and condition objects, every column gets
// its formatters and every table a pivot and an aggregation, and an
// outcome's count settings become one model code.
//
// Refuses (NO with an error naming it) what it cannot map: an aggregate
// table over a table that is not migrated, an object of an entity the new
// version lacks.
class DSDataMigrator002 : public DSDataMigrator
{
public:
    bool createDestinationInstancesForSourceInstance(DSManagedObject *sourceRoot, const DSEntityMapping &mapping,
                                                     DSMigrationManager &manager, DSStoreError *error) override;

    // Transfers the old table's attributes to the new one and gives it one
    // filter for each of "filter1_column" to "filter3_column" that is set
    // (index 1 to 3); the table's "filters" is the set of them, maybe empty.
    static void setupNewTable(DSManagedObject *newTable, DSManagedObject *oldTable, DSMigrationGraph &graph);
};
