#include "migration/DSDataMigrator006.h"

namespace {

const QString k_columnVariable = QStringLiteral("DSExplanatoryColumnVariable");
const QString k_interaction = QStringLiteral("DSExplanatoryInteractionVariable");

} // namespace

void DSDataMigrator006::createTableMembers(DSManagedObject *table, const Map &columns, DSManagedObject *newTable,
                                           DSMigrationGraph &graph)
{
    const Map aggregations = createAggregationsForSourceAggregations(
        table->objectsForKey(QStringLiteral("aggregations")), columns, newTable, graph);
    createFiltersForSourceFilters(table->objectsForKey(QStringLiteral("filters")),
                                  table->integerForKey(QStringLiteral("filter_count")), columns, newTable, graph);
    createPivotsAndInputsForSourcePivots(table->objectsForKey(QStringLiteral("pivots")), columns, aggregations,
                                         newTable, graph);
    createRegressionModelsForSourceRegressionModels(table->objectsForKey(QStringLiteral("regression_models")),
                                                    columns, newTable, graph);
}

DSDataMigrator006::Map DSDataMigrator006::createColumnsForSourceColumns(const DSObjectList &sources,
                                                                       DSManagedObject *table, DSMigrationGraph &graph)
{
    const Map made = DSDataMigrator005::createColumnsForSourceColumns(sources, table, graph);
    for (DSManagedObject *source : sources)
        for (DSManagedObject *sourceCondition : source->objectsForKey(QStringLiteral("right_censoring_conditions"))) {
            DSManagedObject *condition = graph.copy(sourceCondition);
            DSMigrationGraph::rewire(sourceCondition, condition, QStringLiteral("lhs_column"), made);
            DSMigrationGraph::set(condition, QStringLiteral("owner_column_right_censoring"),
                                  DSMigrationGraph::mapped(made, source));
        }
    return made;
}

void DSDataMigrator006::createFiltersForSourceFilters(const DSObjectList &sources, qint64 count, const Map &columns,
                                                      DSManagedObject *table, DSMigrationGraph &graph)
{
    DSManagedObject *filterSet = graph.insert(QStringLiteral("DSTableFilterSet"));
    DSMigrationGraph::setValue(filterSet, QStringLiteral("filter_count"), count);
    DSMigrationGraph::set(filterSet, QStringLiteral("owner"), table);
    DSDataMigrator005::createFiltersForSourceFilters(sources, columns, filterSet, graph);
}

DSDataMigrator006::Map DSDataMigrator006::createExplanatoryVariablesForSourceExplanatoryVariables(
    const DSObjectList &sources, const Map &columns, DSManagedObject *model, DSMigrationGraph &graph)
{
    Map made;
    for (DSManagedObject *source : sources) {
        if (entityName(source) != k_columnVariable)
            continue;
        DSManagedObject *variable = graph.copy(source);
        DSMigrationGraph::rewire(source, variable, QStringLiteral("column"), columns);
        DSMigrationGraph::set(variable, QStringLiteral("model"), model);
        DSMigrationGraph::enter(made, source, variable);
    }
    for (DSManagedObject *source : sources) {
        if (entityName(source) != k_interaction)
            continue;
        DSManagedObject *variable = graph.copy(source);
        DSObjectList inputs;
        for (DSManagedObject *input : source->objectsForKey(QStringLiteral("inputs"))) {
            // An input outside the model's column variables has nothing to
            // point to; dropping it would change what the model fits.
            DSManagedObject *newInput = DSMigrationGraph::mapped(made, input);
            if (!newInput) {
                graph.fail(QStringLiteral("an interaction variable (index %1) of the model %2 has an input that is not "
                                          "a column variable of its model")
                               .arg(source->integerForKey(QStringLiteral("index")))
                               .arg(DSMigrationGraph::describe(model)));
                continue;
            }
            inputs << newInput;
        }
        DSMigrationGraph::set(variable, QStringLiteral("inputs"), inputs);
        DSMigrationGraph::set(variable, QStringLiteral("model"), model);
        DSMigrationGraph::enter(made, source, variable);
    }
    return made;
}
