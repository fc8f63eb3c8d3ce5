#include "migration/DSDataMigrator002.h"

#include "migration/DSMigrationGraph.h"
#include "platform/store/DSEntityDescription.h"

namespace {

const QString k_index = QStringLiteral("index");

QString entityName(const DSManagedObject *object)
{
    return object->entity()->name();
}

bool isOneOf(const DSManagedObject *object, std::initializer_list<const char *> names)
{
    const QString name = entityName(object);
    for (const char *n : names)
        if (name == QLatin1String(n))
            return true;
    return false;
}

bool isMigratedTable(const DSManagedObject *table)
{
    return isOneOf(table, {"DSDataTable", "DSLongTable"});
}

// The version-2 entity of a column of a data or long table.
QString columnEntityName(const DSManagedObject *column)
{
    const QString name = entityName(column);
    if (name == QLatin1String("DSNumericLongColumn"))
        return QStringLiteral("DSNumericStackedColumn");
    if (name == QLatin1String("DSTextLongColumn"))
        return QStringLiteral("DSTextStackedColumn");
    if (name == QLatin1String("DSIndicatorLongColumn"))
        return QStringLiteral("DSIndicatorStackedColumn");
    return name;
}

// A new "DSColumnInput" at index for the rewired input column.
DSManagedObject *makeColumnInput(DSMigrationGraph &graph, qint64 index, DSManagedObject *inputColumn,
                                 DSManagedObject *owner)
{
    DSManagedObject *input = graph.insert(QStringLiteral("DSColumnInput"));
    DSMigrationGraph::setValue(input, k_index, index);
    DSMigrationGraph::set(input, QStringLiteral("column"), graph.mapped(inputColumn));
    DSMigrationGraph::set(input, QStringLiteral("owner"), owner);
    return input;
}

void makePredictions(DSMigrationGraph &graph, DSManagedObject *sourceModel, DSManagedObject *newModel)
{
    for (DSManagedObject *prediction : sourceModel->objectsForKey(QStringLiteral("predictions"))) {
        DSManagedObject *made = graph.copy(prediction, QStringLiteral("DSPrediction"));
        graph.rewire(prediction, made, QStringLiteral("outcome_variable"));
        DSMigrationGraph::set(made, QStringLiteral("model"), newModel);
        for (DSManagedObject *assumption : prediction->objectsForKey(QStringLiteral("prediction_assumptions"))) {
            DSManagedObject *newAssumption = graph.copy(assumption, QStringLiteral("DSPredictionAssumption"));
            graph.rewire(assumption, newAssumption, QStringLiteral("explanatory_variable"));
            DSMigrationGraph::set(newAssumption, QStringLiteral("prediction"), made);
            graph.enter(assumption, newAssumption);
        }
        graph.enter(prediction, made);
    }
}

void makeModels(DSMigrationGraph &graph, DSManagedObject *sourceTable, DSManagedObject *newTable)
{
    for (DSManagedObject *model : sourceTable->objectsForKey(QStringLiteral("regression_models"))) {
        DSManagedObject *newModel = graph.copy(model, QStringLiteral("DSRegressionModel"));
        DSMigrationGraph::set(newModel, QStringLiteral("table"), newTable);
        graph.rewireWhenSet(model, newModel, QStringLiteral("panel_column"));
        for (DSManagedObject *outcome : model->objectsForKey(QStringLiteral("outcome_variables"))) {
            DSManagedObject *made = graph.copy(outcome, QStringLiteral("DSOutcomeVariable"));
            graph.rewireWhenSet(outcome, made, QStringLiteral("weight_column"));
            graph.rewireWhenSet(outcome, made, QStringLiteral("count_exposure_column"), QStringLiteral("exposure_column"));
            const bool counts = outcome->boolForKey(QStringLiteral("treat_as_counts"));
            DSMigrationGraph::setValue(made, QStringLiteral("cardinal_model"),
                                       counts ? outcome->integerForKey(QStringLiteral("count_model")) : qint64(0));
            graph.rewire(outcome, made, QStringLiteral("column"));
            DSMigrationGraph::set(made, QStringLiteral("model"), newModel);
            graph.enter(outcome, made);
        }
        for (DSManagedObject *variable : model->objectsForKey(QStringLiteral("explanatory_variables"))) {
            DSManagedObject *made = graph.copy(variable, QStringLiteral("DSExplanatoryVariable"));
            graph.rewire(variable, made, QStringLiteral("column"));
            DSMigrationGraph::set(made, QStringLiteral("model"), newModel);
            graph.enter(variable, made);
        }
        makePredictions(graph, model, newModel);
    }
}

// Pass 1: the table, its columns in the order of their old index, its models.
DSManagedObject *makeTable(DSMigrationGraph &graph, DSManagedObject *sourceTable, DSManagedObject *newRoot)
{
    const bool stacked = entityName(sourceTable) == QLatin1String("DSLongTable");
    DSManagedObject *table = graph.insert(stacked ? QStringLiteral("DSStackedTable") : QStringLiteral("DSDataTable"));
    DSMigrationGraph::set(table, QStringLiteral("data_root"), newRoot);
    graph.enter(sourceTable, table);
    qint64 position = 0;
    for (DSManagedObject *column : DSMigrationGraph::sortedByIndex(sourceTable->objectsForKey(QStringLiteral("columns")))) {
        DSManagedObject *made = graph.copy(column, columnEntityName(column));
        DSMigrationGraph::setValue(made, k_index, position++);
        DSMigrationGraph::set(made, QStringLiteral("table"), table);
        graph.enter(column, made);
    }
    makeModels(graph, sourceTable, table);
    return table;
}

// The version-2 objects of one column's conditions and inputs.
void linkColumn(DSMigrationGraph &graph, DSManagedObject *column, DSManagedObject *made)
{
    if (isOneOf(column, {"DSNumericJoinedColumn", "DSTextJoinedColumn", "DSIndicatorJoinedColumn"})) {
        DSObjectList conditions;
        for (DSManagedObject *condition : column->objectsForKey(QStringLiteral("conditions"))) {
            DSManagedObject *newCondition = graph.insert(QStringLiteral("DSJoinColumnCondition"));
            DSMigrationGraph::set(newCondition, QStringLiteral("owner"), made);
            graph.rewire(condition, newCondition, QStringLiteral("foreign_column"));
            graph.rewire(condition, newCondition, QStringLiteral("local_column"));
            DSMigrationGraph::setValue(newCondition, k_index, condition->valueForKey(k_index));
            DSMigrationGraph::setValue(newCondition, QStringLiteral("operator"), condition->valueForKey(QStringLiteral("operator")));
            if (newCondition)
                conditions.append(newCondition);
        }
        DSMigrationGraph::set(made, QStringLiteral("join_conditions"), conditions);
    } else if (entityName(column) == QLatin1String("DSIndicatorLocalColumn")) {
        DSObjectList conditions;
        for (DSManagedObject *condition : column->objectsForKey(QStringLiteral("conditions"))) {
            DSManagedObject *newCondition = graph.copy(condition);
            DSMigrationGraph::set(newCondition, QStringLiteral("column"), made);
            graph.rewire(condition, newCondition, QStringLiteral("lhs_column"));
            if (newCondition)
                conditions.append(newCondition);
        }
        DSMigrationGraph::set(made, QStringLiteral("conditions"), conditions);
    }

    DSObjectList inputs;
    if (DSMigrationGraph::hasRelationship(column, QStringLiteral("input")) && column->objectForKey(QStringLiteral("input"))) {
        inputs << makeColumnInput(graph, 0, column->objectForKey(QStringLiteral("input")), made);
    } else if (DSMigrationGraph::hasRelationship(column, QStringLiteral("inputs"))) {
        for (DSManagedObject *input : DSMigrationGraph::sortedByIndex(column->objectsForKey(QStringLiteral("inputs"))))
            inputs << makeColumnInput(graph, inputs.size(), input, made);
    } else if (DSMigrationGraph::hasRelationship(column, QStringLiteral("dividend"))
               && column->objectForKey(QStringLiteral("dividend")) && column->objectForKey(QStringLiteral("divisor"))) {
        inputs << makeColumnInput(graph, 0, column->objectForKey(QStringLiteral("dividend")), made)
               << makeColumnInput(graph, 1, column->objectForKey(QStringLiteral("divisor")), made);
    } else {
        return;
    }
    inputs.removeAll(nullptr);
    DSMigrationGraph::set(made, QStringLiteral("inputs"), inputs);
}

// Pass 2 for a data or long table: attributes and filters, table inputs and
// source columns, columns renumbered, their links and formatters.
void linkTable(DSMigrationGraph &graph, DSManagedObject *sourceTable)
{
    DSManagedObject *table = graph.mapped(sourceTable);
    if (!table)
        return;
    DSDataMigrator002::setupNewTable(table, sourceTable, graph);
    DSObjectList columns;
    qint64 next = 0;
    if (entityName(sourceTable) == QLatin1String("DSLongTable")) {
        qint64 position = 0;
        for (DSManagedObject *input : DSMigrationGraph::sortedByIndex(sourceTable->objectsForKey(QStringLiteral("inputs")))) {
            DSManagedObject *tableInput = graph.insert(QStringLiteral("DSTableInput"));
            DSMigrationGraph::setValue(tableInput, k_index, position++);
            DSMigrationGraph::set(tableInput, QStringLiteral("owner"), table);
            DSMigrationGraph::set(tableInput, QStringLiteral("table"), graph.mapped(input));
        }
        for (const QString &entity : {QStringLiteral("DSTextSourceNameColumn"), QStringLiteral("DSNumericSourceIndexColumn")}) {
            DSManagedObject *source = graph.insert(entity);
            DSMigrationGraph::setValue(source, k_index, next++);
            if (source)
                columns << source;
        }
    }
    for (DSManagedObject *column : DSMigrationGraph::sortedByIndex(sourceTable->objectsForKey(QStringLiteral("columns")))) {
        DSManagedObject *made = graph.mapped(column);
        if (!made)
            continue;
        DSMigrationGraph::set(made, QStringLiteral("table"), table);
        DSMigrationGraph::setValue(made, k_index, next++);
        linkColumn(graph, column, made);
        columns << made;
    }
    for (DSManagedObject *column : columns) {
        DSMigrationGraph::set(column, QStringLiteral("text_formatter"), graph.insert(QStringLiteral("DSTextFormatter")));
        if (DSMigrationGraph::hasRelationship(column, QStringLiteral("number_formatter")))
            DSMigrationGraph::set(column, QStringLiteral("number_formatter"), graph.insert(QStringLiteral("DSNumberFormatter")));
    }
    DSMigrationGraph::set(table, QStringLiteral("columns"), columns);
}

// Pass 2 for an aggregate table: a pivot with its group-by inputs and one
// sum aggregation per aggregate column, on the input table.
void pivotAggregateTable(DSMigrationGraph &graph, DSManagedObject *aggregateTable)
{
    DSManagedObject *inputTable = graph.rewired(aggregateTable, QStringLiteral("input"));
    if (!inputTable) {
        graph.fail(QStringLiteral("the aggregate table %1 summarises no table that is migrated")
                       .arg(DSMigrationGraph::describe(aggregateTable)));
        return;
    }
    DSObjectList pivots = inputTable->objectsForKey(QStringLiteral("pivots"));
    DSObjectList aggregations = inputTable->objectsForKey(QStringLiteral("aggregations"));
    DSManagedObject *pivot = graph.insert(QStringLiteral("DSPivot"));
    DSObjectList pivotInputs;
    for (DSManagedObject *column : aggregateTable->objectsForKey(QStringLiteral("columns"))) {
        if (isOneOf(column, {"DSNumericGroupByColumn", "DSIndicatorGroupByColumn", "DSTextGroupByColumn"})) {
            DSManagedObject *input = graph.insert(QStringLiteral("DSPivotInput"));
            DSMigrationGraph::setValue(input, k_index, qint64(pivotInputs.size()));
            graph.rewire(column, input, QStringLiteral("input"), QStringLiteral("column"));
            if (input)
                pivotInputs << input;
        } else if (entityName(column) == QLatin1String("DSNumericAggregateColumn")) {
            DSManagedObject *aggregation = graph.insert(QStringLiteral("DSColumnAggregation"));
            DSMigrationGraph::setValue(aggregation, QStringLiteral("tag"), qint64(1));
            DSMigrationGraph::setValue(aggregation, k_index, qint64(aggregations.size()));
            graph.rewire(column, aggregation, QStringLiteral("input"), QStringLiteral("column"));
            DSMigrationGraph::set(aggregation, QStringLiteral("table"), inputTable);
            if (aggregation)
                aggregations << aggregation;
        }
    }
    DSMigrationGraph::set(pivot, QStringLiteral("inputs"), pivotInputs);
    DSMigrationGraph::set(pivot, QStringLiteral("owner"), inputTable);
    if (pivot)
        pivots << pivot;
    DSMigrationGraph::set(inputTable, QStringLiteral("pivots"), pivots);
    DSMigrationGraph::set(inputTable, QStringLiteral("aggregations"), aggregations);
}

// Pass 4: a pivot and a count aggregation for a table without, and a number
// formatter for every aggregation.
void makeDefaults(DSMigrationGraph &graph, DSManagedObject *table)
{
    if (table->objectsForKey(QStringLiteral("pivots")).isEmpty()) {
        DSManagedObject *pivot = graph.insert(QStringLiteral("DSPivot"));
        DSMigrationGraph::set(pivot, QStringLiteral("owner"), table);
        DSMigrationGraph::setValue(pivot, k_index, qint64(0));
        if (pivot)
            DSMigrationGraph::set(table, QStringLiteral("pivots"), DSObjectList{pivot});
    }
    if (table->objectsForKey(QStringLiteral("aggregations")).isEmpty()) {
        DSManagedObject *count = graph.insert(QStringLiteral("DSColumnAggregation"));
        DSMigrationGraph::setValue(count, QStringLiteral("is_enabled"), true);
        DSMigrationGraph::setValue(count, QStringLiteral("tag"), qint64(20));
        DSMigrationGraph::set(count, QStringLiteral("table"), table);
        if (count)
            DSMigrationGraph::set(table, QStringLiteral("aggregations"), DSObjectList{count});
    }
    for (DSManagedObject *aggregation : table->objectsForKey(QStringLiteral("aggregations")))
        DSMigrationGraph::set(aggregation, QStringLiteral("number_formatter"), graph.insert(QStringLiteral("DSNumberFormatter")));
}

} // namespace

void DSDataMigrator002::setupNewTable(DSManagedObject *newTable, DSManagedObject *oldTable, DSMigrationGraph &graph)
{
    transferAttributesOfObject(oldTable, newTable);
    DSObjectList filters;
    for (qint64 i = 1; i <= 3; ++i) {
        const QString key = QString::asprintf("filter%d_column", int(i));
        if (!DSMigrationGraph::hasRelationship(oldTable, key) || !oldTable->objectForKey(key))
            continue;
        DSManagedObject *filter = graph.insert(QStringLiteral("DSTableFilter"));
        DSMigrationGraph::setValue(filter, k_index, i);
        graph.rewire(oldTable, filter, key, QStringLiteral("column"));
        DSMigrationGraph::set(filter, QStringLiteral("owner"), newTable);
        if (filter)
            filters << filter;
    }
    DSMigrationGraph::set(newTable, QStringLiteral("filters"), filters);
}

bool DSDataMigrator002::createDestinationInstancesForSourceInstance(DSManagedObject *sourceRoot,
                                                                   const DSEntityMapping &mapping,
                                                                   DSMigrationManager &manager, DSStoreError *error)
{
    return migrateRoot(sourceRoot, mapping, manager, error,
                       [](DSMigrationGraph &graph, const DSObjectList &sourceTables, DSManagedObject *newRoot) {
        DSObjectList tables;
        for (DSManagedObject *table : sourceTables)
            if (isMigratedTable(table))
                if (DSManagedObject *made = makeTable(graph, table, newRoot))
                    tables << made;
        for (DSManagedObject *table : sourceTables) {
            if (isMigratedTable(table))
                linkTable(graph, table);
            else if (entityName(table) == QLatin1String("DSAggregateTable"))
                pivotAggregateTable(graph, table);
        }
        qint64 index = 0;
        for (DSManagedObject *table : DSMigrationGraph::sortedByIndex(tables))
            DSMigrationGraph::setValue(table, k_index, index++);
        for (DSManagedObject *table : tables)
            makeDefaults(graph, table);
        return tables;
    });
}
