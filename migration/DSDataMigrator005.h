#pragma once

#include "migration/DSDataMigrator004.h"

// Store version 4 to 5: an indicator's conditions and an outcome's
// censoring conditions become the general column conditions under new owner
// keys (an indicator's numbered 0, 1, 2 ...; a value condition on another
// indicator becomes a bit condition), explanatory variables become column
// variables, partitions are copied as they are, a pivot keeps its sorting
// aggregation and instrumental variables are not carried over. Filter
// indexes, the pivot input count and the residual type pass unchanged.
class DSDataMigrator005 : public DSDataMigrator004
{
protected:
    void createTableMembers(DSManagedObject *table, const Map &columns, DSManagedObject *newTable,
                            DSMigrationGraph &graph) override;
    void createPartitions(DSManagedObject *source, DSManagedObject *column, DSMigrationGraph &graph) override;
    bool shiftsFilterIndexes() const override { return false; }
    bool setsPivotInputCount() const override { return false; }
    Map createModelExtras(DSManagedObject *, const Map &, DSManagedObject *, DSMigrationGraph &) override
    {
        return Map();
    }
    QString censoringOwnerKey() const override { return QStringLiteral("owner_outcome_right_censoring"); }
    QString censoringEntity(const DSManagedObject *condition) const override;
    QString indicatorConditionEntity(const DSManagedObject *condition) const override;
    QString indicatorOwnerKey() const override { return QStringLiteral("owner_indicator"); }
    bool numbersIndicatorConditions() const override { return true; }
    QString explanatoryEntity() const override { return QStringLiteral("DSExplanatoryColumnVariable"); }
};
