#pragma once

#include "migration/DSDataMigrator.h"
#include "migration/DSMigrationGraph.h"

// Store version 3 to 4: a numeric column's three resolutions become three
// numeric partitions, filter indexes move down by one, each table gains its
// pivot input count and a model's residual graph type becomes its residual
// scatterplot type. Indicator conditions take the version-4 entities of
// their own kind ("DSColumnConditionValue" becomes
// "DSIndicatorColumnConditionValue"), so the next step finds them.
//
// The step is one method per entity family: each takes the source objects
// of one relationship and the maps it rewires through, and answers what it
// made (source URI to new object). The later steps derive from this class
// and change only the methods and the hooks whose rule changed.
class DSDataMigrator004 : public DSDataMigrator
{
public:
    bool createDestinationInstancesForSourceInstance(DSManagedObject *sourceRoot, const DSEntityMapping &mapping,
                                                     DSMigrationManager &manager, DSStoreError *error) override;

protected:
    using Map = DSMigrationGraph::ObjectMap;

    // Pass 1 below a table's columns: filters, pivots, aggregations and
    // models, in this version's order.
    virtual void createTableMembers(DSManagedObject *table, const Map &columns, DSManagedObject *newTable,
                                    DSMigrationGraph &graph);

    // Same-entity copies with formatters and partitions, "table" set.
    virtual Map createColumnsForSourceColumns(const DSObjectList &sources, DSManagedObject *table,
                                              DSMigrationGraph &graph);
    Map createFiltersForSourceFilters(const DSObjectList &sources, const Map &columns, DSManagedObject *table,
                                      DSMigrationGraph &graph);
    // Pivots and their inputs; "sort_by_aggregation" rewired through
    // aggregations when the source has it set.
    Map createPivotsAndInputsForSourcePivots(const DSObjectList &sources, const Map &columns,
                                             const Map &aggregations, DSManagedObject *table,
                                             DSMigrationGraph &graph);
    // Refuses (a failure naming the table) an aggregation without a number
    // formatter.
    Map createAggregationsForSourceAggregations(const DSObjectList &sources, const Map &columns,
                                                DSManagedObject *table, DSMigrationGraph &graph);
    // The union of the outcome, explanatory and prediction maps (and this
    // version's extra ones) of all its models; models are in no map.
    Map createRegressionModelsForSourceRegressionModels(const DSObjectList &sources, const Map &columns,
                                                        DSManagedObject *table, DSMigrationGraph &graph);
    Map createOutcomeVariablesForSourceOutcomeVariables(const DSObjectList &sources, const Map &columns,
                                                        DSManagedObject *model, DSMigrationGraph &graph);
    virtual Map createExplanatoryVariablesForSourceExplanatoryVariables(const DSObjectList &sources,
                                                                        const Map &columns, DSManagedObject *model,
                                                                        DSMigrationGraph &graph);
    Map createInstrumentalVariablesForSourceInstrumentalVariables(const DSObjectList &sources, const Map &columns,
                                                                  DSManagedObject *model, DSMigrationGraph &graph);
    Map createPredictionsAndAssumptionsForSourcePredictions(const DSObjectList &sources, const Map &outcomes,
                                                            const Map &variables, DSManagedObject *model,
                                                            DSMigrationGraph &graph);
    Map createTableInputsForSourceTableInputs(const DSObjectList &sources, const Map &tables,
                                              DSManagedObject *table, DSMigrationGraph &graph);
    Map createJoinConditionsForSourceColumns(const DSObjectList &sources, const Map &columns,
                                             DSMigrationGraph &graph);
    Map createIndicatorConditionsForSourceColumns(const DSObjectList &sources, const Map &columns,
                                                  DSMigrationGraph &graph);
    Map createColumnInputsForSourceColumns(const DSObjectList &sources, const Map &columns,
                                           DSMigrationGraph &graph);

    // Hooks of the shared methods, by version.
    // The partitions of a new column, from its source column.
    virtual void createPartitions(DSManagedObject *source, DSManagedObject *column, DSMigrationGraph &graph);
    // Whether filter indexes move down by one.
    virtual bool shiftsFilterIndexes() const { return true; }
    // Whether the pivots method sets the table's "pivot_input_count".
    virtual bool setsPivotInputCount() const { return true; }
    // A model's attributes and members beyond outcomes, explanatory
    // variables and predictions; answers the map of what it made.
    virtual Map createModelExtras(DSManagedObject *source, const Map &columns, DSManagedObject *model,
                                  DSMigrationGraph &graph);
    // The source outcome's key of its censoring conditions, the new
    // condition's key of its outcome, and the entity a condition becomes
    // (empty: dropped).
    virtual QString censoringKey() const { return QStringLiteral("censoring_conditions"); }
    virtual QString censoringOwnerKey() const { return QStringLiteral("owner"); }
    virtual QString censoringEntity(const DSManagedObject *condition) const;
    // The entity an indicator condition becomes (empty: dropped), the new
    // condition's key of its column, and whether conditions are numbered
    // 0, 1, 2 ... per column.
    virtual QString indicatorConditionEntity(const DSManagedObject *condition) const;
    virtual QString indicatorOwnerKey() const { return QStringLiteral("column"); }
    virtual bool numbersIndicatorConditions() const { return false; }
    // The entity of a new explanatory variable.
    virtual QString explanatoryEntity() const { return QStringLiteral("DSExplanatoryVariable"); }

    static QString entityName(const DSManagedObject *object);
    // Copies of a model's variables (of the named entity, or of their own
    // when it is empty) with "column" rewired and "model" set.
    static Map copyModelVariables(const DSObjectList &sources, const Map &columns, DSManagedObject *model,
                                  DSMigrationGraph &graph, const QString &entity);
};
