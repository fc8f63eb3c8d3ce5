#pragma once

#include "migration/DSDataMigrator005.h"

// Store version 5 to 6, the current version: a table's filters move into
// one new filter set per table, which takes over the table's filter count;
// the right-censoring conditions of columns and outcomes are carried over
// with their columns and owners rewired; explanatory variables are taken by
// kind, column variables first and interactions after them with their
// inputs rewired; indicator conditions pass as copies of themselves.
//
// Refuses (NO with an error naming it) an interaction variable whose input
// is not a column variable of its own model.
class DSDataMigrator006 : public DSDataMigrator005
{
protected:
    void createTableMembers(DSManagedObject *table, const Map &columns, DSManagedObject *newTable,
                            DSMigrationGraph &graph) override;
    Map createColumnsForSourceColumns(const DSObjectList &sources, DSManagedObject *table,
                                      DSMigrationGraph &graph) override;
    // The table's one filter set, with the given count, holding copies of
    // the source filters.
    void createFiltersForSourceFilters(const DSObjectList &sources, qint64 count, const Map &columns,
                                       DSManagedObject *table, DSMigrationGraph &graph);
    Map createExplanatoryVariablesForSourceExplanatoryVariables(const DSObjectList &sources, const Map &columns,
                                                                DSManagedObject *model,
                                                                DSMigrationGraph &graph) override;
    QString censoringKey() const override { return QStringLiteral("right_censoring_conditions"); }
    QString censoringEntity(const DSManagedObject *condition) const override { return entityName(condition); }
    QString indicatorConditionEntity(const DSManagedObject *condition) const override { return entityName(condition); }
    bool numbersIndicatorConditions() const override { return false; }
};
