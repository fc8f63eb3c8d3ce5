#include "migration/DSDataMigrator004.h"

#include "platform/store/DSEntityDescription.h"

namespace {

const QString k_column = QStringLiteral("column");
const QString k_owner = QStringLiteral("owner");
const QString k_index = QStringLiteral("index");
const QString k_model = QStringLiteral("model");
const QString k_lhsColumn = QStringLiteral("lhs_column");

DSObjectList membersOf(const DSManagedObject *object, const QString &key)
{
    return DSMigrationGraph::hasRelationship(object, key) ? object->objectsForKey(key) : DSObjectList();
}

void merge(DSMigrationGraph::ObjectMap &into, const DSMigrationGraph::ObjectMap &from)
{
    into.insert(from);
}

} // namespace

QString DSDataMigrator004::entityName(const DSManagedObject *object)
{
    return object->entity()->name();
}

bool DSDataMigrator004::createDestinationInstancesForSourceInstance(DSManagedObject *sourceRoot,
                                                                   const DSEntityMapping &mapping,
                                                                   DSMigrationManager &manager, DSStoreError *error)
{
    return migrateRoot(sourceRoot, mapping, manager, error,
                       [this](DSMigrationGraph &graph, const DSObjectList &sourceTables, DSManagedObject *newRoot) {
        Map allColumns;
        Map tables;
        DSObjectList made;
        for (DSManagedObject *table : sourceTables) {
            DSManagedObject *newTable = graph.copy(table);
            DSMigrationGraph::set(newTable, QStringLiteral("data_root"), newRoot);
            const Map columns = createColumnsForSourceColumns(table->objectsForKey(QStringLiteral("columns")), newTable, graph);
            createTableMembers(table, columns, newTable, graph);
            for (const QString &key : {QStringLiteral("sort_by_column"), QStringLiteral("frequency_weights_column")})
                DSMigrationGraph::rewireWhenSet(table, newTable, key, columns);
            merge(allColumns, columns);
            DSMigrationGraph::enter(tables, table, newTable);
            if (newTable)
                made << newTable;
        }
        for (DSManagedObject *table : sourceTables) {
            const DSObjectList columns = table->objectsForKey(QStringLiteral("columns"));
            createTableInputsForSourceTableInputs(membersOf(table, QStringLiteral("inputs")), tables,
                                                  DSMigrationGraph::mapped(tables, table), graph);
            createJoinConditionsForSourceColumns(columns, allColumns, graph);
            createIndicatorConditionsForSourceColumns(columns, allColumns, graph);
            createColumnInputsForSourceColumns(columns, allColumns, graph);
        }
        return made;
    });
}

void DSDataMigrator004::createTableMembers(DSManagedObject *table, const Map &columns, DSManagedObject *newTable,
                                           DSMigrationGraph &graph)
{
    createFiltersForSourceFilters(membersOf(table, QStringLiteral("filters")), columns, newTable, graph);
    createPivotsAndInputsForSourcePivots(membersOf(table, QStringLiteral("pivots")), columns, Map(), newTable, graph);
    createAggregationsForSourceAggregations(membersOf(table, QStringLiteral("aggregations")), columns, newTable, graph);
    createRegressionModelsForSourceRegressionModels(membersOf(table, QStringLiteral("regression_models")), columns,
                                                    newTable, graph);
}

DSDataMigrator004::Map DSDataMigrator004::createColumnsForSourceColumns(const DSObjectList &sources,
                                                                       DSManagedObject *table, DSMigrationGraph &graph)
{
    Map made;
    for (DSManagedObject *source : sources) {
        DSManagedObject *column = graph.copy(source);
        graph.copyFormatters(source, column);
        createPartitions(source, column, graph);
        DSMigrationGraph::set(column, QStringLiteral("table"), table);
        DSMigrationGraph::enter(made, source, column);
    }
    return made;
}

void DSDataMigrator004::createPartitions(DSManagedObject *source, DSManagedObject *column, DSMigrationGraph &graph)
{
    if (!column || !entityName(source).startsWith(QLatin1String("DSNumeric")))
        return;
    static const QList<std::pair<QString, QString>> pairs{
        {QStringLiteral("covariate_resolution"), QStringLiteral("covariate_partition")},
        {QStringLiteral("filter_resolution"), QStringLiteral("filter_partition")},
        {QStringLiteral("pivot_resolution"), QStringLiteral("pivot_partition")}};
    for (const auto &[resolution, partitionKey] : pairs) {
        DSManagedObject *partition = graph.insert(QStringLiteral("DSNumericPartition"));
        // Set as it is, nil included: a partition of no resolution reads as
        // none rather than as the destination's default count.
        DSMigrationGraph::setValue(partition, QStringLiteral("quantile_count"),
                                   source->entity()->attributeNamed(resolution) ? source->valueForKey(resolution)
                                                                                 : QVariant());
        DSMigrationGraph::set(partition, k_column, column);
        DSMigrationGraph::set(column, partitionKey, partition);
    }
}

DSDataMigrator004::Map DSDataMigrator004::createFiltersForSourceFilters(const DSObjectList &sources,
                                                                       const Map &columns, DSManagedObject *table,
                                                                       DSMigrationGraph &graph)
{
    Map made;
    for (DSManagedObject *source : sources) {
        DSManagedObject *filter = graph.copy(source);
        const QVariant index = source->valueForKey(k_index);
        if (shiftsFilterIndexes() && !index.isNull())
            DSMigrationGraph::setValue(filter, k_index, index.toLongLong() - 1);
        DSMigrationGraph::rewire(source, filter, k_column, columns);
        DSMigrationGraph::set(filter, k_owner, table);
        DSMigrationGraph::enter(made, source, filter);
    }
    return made;
}

DSDataMigrator004::Map DSDataMigrator004::createPivotsAndInputsForSourcePivots(const DSObjectList &sources,
                                                                              const Map &columns,
                                                                              const Map &aggregations,
                                                                              DSManagedObject *table,
                                                                              DSMigrationGraph &graph)
{
    Map made;
    qint64 count = 3;
    for (DSManagedObject *source : sources) {
        DSManagedObject *pivot = graph.copy(source);
        DSMigrationGraph::rewireWhenSet(source, pivot, QStringLiteral("sort_by_aggregation"), aggregations);
        for (DSManagedObject *sourceInput : source->objectsForKey(QStringLiteral("inputs"))) {
            DSManagedObject *input = graph.copy(sourceInput);
            DSMigrationGraph::rewire(sourceInput, input, k_column, columns);
            DSMigrationGraph::set(input, k_owner, pivot);
            if (input && input->integerForKey(k_index) >= count)
                count = input->integerForKey(k_index) + 1;
            DSMigrationGraph::enter(made, sourceInput, input);
        }
        DSMigrationGraph::set(pivot, k_owner, table);
        DSMigrationGraph::enter(made, source, pivot);
    }
    if (setsPivotInputCount())
        DSMigrationGraph::setValue(table, QStringLiteral("pivot_input_count"), count);
    return made;
}

DSDataMigrator004::Map DSDataMigrator004::createAggregationsForSourceAggregations(const DSObjectList &sources,
                                                                                 const Map &columns,
                                                                                 DSManagedObject *table,
                                                                                 DSMigrationGraph &graph)
{
    Map made;
    for (DSManagedObject *source : sources) {
        DSManagedObject *formatter = source->objectForKey(QStringLiteral("number_formatter"));
        if (!formatter) {
            graph.fail(QStringLiteral("an aggregation (index %1) of the table %2 has no number formatter")
                           .arg(source->integerForKey(k_index))
                           .arg(DSMigrationGraph::describe(table)));
            continue;
        }
        DSManagedObject *aggregation = graph.copy(source);
        DSMigrationGraph::rewire(source, aggregation, k_column, columns);
        DSMigrationGraph::set(aggregation, QStringLiteral("table"), table);
        DSMigrationGraph::set(aggregation, QStringLiteral("number_formatter"), graph.copy(formatter));
        DSMigrationGraph::enter(made, source, aggregation);
    }
    return made;
}

DSDataMigrator004::Map DSDataMigrator004::createRegressionModelsForSourceRegressionModels(
    const DSObjectList &sources, const Map &columns, DSManagedObject *table, DSMigrationGraph &graph)
{
    Map made;
    for (DSManagedObject *source : sources) {
        DSManagedObject *model = graph.copy(source, QStringLiteral("DSRegressionModel"));
        DSMigrationGraph::set(model, QStringLiteral("table"), table);
        const Map outcomes = createOutcomeVariablesForSourceOutcomeVariables(
            membersOf(source, QStringLiteral("outcome_variables")), columns, model, graph);
        const Map variables = createExplanatoryVariablesForSourceExplanatoryVariables(
            membersOf(source, QStringLiteral("explanatory_variables")), columns, model, graph);
        const Map extras = createModelExtras(source, columns, model, graph);
        const Map predictions = createPredictionsAndAssumptionsForSourcePredictions(
            membersOf(source, QStringLiteral("predictions")), outcomes, variables, model, graph);
        DSMigrationGraph::rewireWhenSet(source, model, QStringLiteral("plot_against_column"), columns);
        DSMigrationGraph::rewireWhenSet(source, model, QStringLiteral("panel_column"), columns);
        DSMigrationGraph::rewireWhenSet(source, model, QStringLiteral("active_prediction"), predictions);
        for (const Map *map : {&outcomes, &variables, &extras, &predictions})
            merge(made, *map);
    }
    return made;
}

DSDataMigrator004::Map DSDataMigrator004::createModelExtras(DSManagedObject *source, const Map &columns,
                                                           DSManagedObject *model, DSMigrationGraph &graph)
{
    const QString residual = QStringLiteral("residual_graph_type");
    if (source->entity()->attributeNamed(residual) && !source->valueForKey(residual).isNull())
        DSMigrationGraph::setValue(model, QStringLiteral("residual_scatterplot_type"), source->valueForKey(residual));
    return createInstrumentalVariablesForSourceInstrumentalVariables(
        membersOf(source, QStringLiteral("instrumental_variables")), columns, model, graph);
}

DSDataMigrator004::Map DSDataMigrator004::createOutcomeVariablesForSourceOutcomeVariables(
    const DSObjectList &sources, const Map &columns, DSManagedObject *model, DSMigrationGraph &graph)
{
    Map made;
    for (DSManagedObject *source : sources) {
        DSManagedObject *outcome = graph.copy(source, QStringLiteral("DSOutcomeVariable"));
        for (DSManagedObject *sourceRelation : membersOf(source, QStringLiteral("column_relations"))) {
            DSManagedObject *relation = graph.copy(sourceRelation);
            DSMigrationGraph::rewire(sourceRelation, relation, k_column, columns);
            DSMigrationGraph::set(relation, k_owner, outcome);
            DSMigrationGraph::enter(made, sourceRelation, relation);
        }
        for (DSManagedObject *sourceCondition : membersOf(source, censoringKey())) {
            const QString entity = censoringEntity(sourceCondition);
            if (entity.isEmpty())
                continue;
            DSManagedObject *condition = graph.copy(sourceCondition, entity);
            DSMigrationGraph::set(condition, censoringOwnerKey(), outcome);
            DSMigrationGraph::rewire(sourceCondition, condition, k_lhsColumn, columns);
        }
        DSMigrationGraph::rewire(source, outcome, k_column, columns);
        DSMigrationGraph::set(outcome, k_model, model);
        DSMigrationGraph::enter(made, source, outcome);
    }
    return made;
}

QString DSDataMigrator004::censoringEntity(const DSManagedObject *condition) const
{
    return entityName(condition);
}

DSDataMigrator004::Map DSDataMigrator004::createExplanatoryVariablesForSourceExplanatoryVariables(
    const DSObjectList &sources, const Map &columns, DSManagedObject *model, DSMigrationGraph &graph)
{
    return copyModelVariables(sources, columns, model, graph, explanatoryEntity());
}

DSDataMigrator004::Map DSDataMigrator004::createInstrumentalVariablesForSourceInstrumentalVariables(
    const DSObjectList &sources, const Map &columns, DSManagedObject *model, DSMigrationGraph &graph)
{
    return copyModelVariables(sources, columns, model, graph, QString());
}

DSDataMigrator004::Map DSDataMigrator004::copyModelVariables(const DSObjectList &sources, const Map &columns,
                                                             DSManagedObject *model, DSMigrationGraph &graph,
                                                             const QString &entity)
{
    Map made;
    for (DSManagedObject *source : sources) {
        DSManagedObject *variable = entity.isEmpty() ? graph.copy(source) : graph.copy(source, entity);
        DSMigrationGraph::rewire(source, variable, k_column, columns);
        DSMigrationGraph::set(variable, k_model, model);
        DSMigrationGraph::enter(made, source, variable);
    }
    return made;
}

DSDataMigrator004::Map DSDataMigrator004::createPredictionsAndAssumptionsForSourcePredictions(
    const DSObjectList &sources, const Map &outcomes, const Map &variables, DSManagedObject *model,
    DSMigrationGraph &graph)
{
    Map made;
    for (DSManagedObject *source : sources) {
        DSManagedObject *prediction = graph.copy(source, QStringLiteral("DSPrediction"));
        DSMigrationGraph::rewire(source, prediction, QStringLiteral("outcome_variable"), outcomes);
        DSMigrationGraph::set(prediction, k_model, model);
        for (DSManagedObject *sourceAssumption : source->objectsForKey(QStringLiteral("prediction_assumptions"))) {
            DSManagedObject *assumption = graph.copy(sourceAssumption, QStringLiteral("DSPredictionAssumption"));
            DSMigrationGraph::rewire(sourceAssumption, assumption, QStringLiteral("explanatory_variable"), variables);
            DSMigrationGraph::set(assumption, QStringLiteral("prediction"), prediction);
            DSMigrationGraph::enter(made, sourceAssumption, assumption);
        }
        DSMigrationGraph::enter(made, source, prediction);
    }
    return made;
}

DSDataMigrator004::Map DSDataMigrator004::createTableInputsForSourceTableInputs(const DSObjectList &sources,
                                                                               const Map &tables,
                                                                               DSManagedObject *table,
                                                                               DSMigrationGraph &graph)
{
    Map made;
    for (DSManagedObject *source : sources) {
        DSManagedObject *input = graph.copy(source);
        DSMigrationGraph::set(input, k_owner, table);
        DSMigrationGraph::rewire(source, input, QStringLiteral("table"), tables);
        DSMigrationGraph::enter(made, source, input);
    }
    return made;
}

DSDataMigrator004::Map DSDataMigrator004::createJoinConditionsForSourceColumns(const DSObjectList &sources,
                                                                              const Map &columns,
                                                                              DSMigrationGraph &graph)
{
    Map made;
    for (DSManagedObject *source : sources)
        for (DSManagedObject *sourceCondition : membersOf(source, QStringLiteral("join_conditions"))) {
            DSManagedObject *condition = graph.copy(sourceCondition, QStringLiteral("DSJoinColumnCondition"));
            DSMigrationGraph::set(condition, k_owner, DSMigrationGraph::mapped(columns, source));
            DSMigrationGraph::rewire(sourceCondition, condition, QStringLiteral("foreign_column"), columns);
            DSMigrationGraph::rewire(sourceCondition, condition, QStringLiteral("local_column"), columns);
            DSMigrationGraph::enter(made, sourceCondition, condition);
        }
    return made;
}

DSDataMigrator004::Map DSDataMigrator004::createIndicatorConditionsForSourceColumns(const DSObjectList &sources,
                                                                                   const Map &columns,
                                                                                   DSMigrationGraph &graph)
{
    Map made;
    for (DSManagedObject *source : sources) {
        if (entityName(source) != QLatin1String("DSIndicatorLocalColumn"))
            continue;
        qint64 counter = 0;
        for (DSManagedObject *sourceCondition : membersOf(source, QStringLiteral("conditions"))) {
            const QString entity = indicatorConditionEntity(sourceCondition);
            if (entity.isEmpty())
                continue;
            DSManagedObject *condition = graph.copy(sourceCondition, entity);
            if (entity == QLatin1String("DSColumnConditionBit")
                && sourceCondition->entity()->attributeNamed(QStringLiteral("rhs_value")))
                DSMigrationGraph::setValue(condition, QStringLiteral("rhs_bit"),
                                           sourceCondition->valueForKey(QStringLiteral("rhs_value")).toDouble() != 0);
            if (numbersIndicatorConditions())
                DSMigrationGraph::setValue(condition, k_index, counter++);
            DSMigrationGraph::set(condition, indicatorOwnerKey(), DSMigrationGraph::mapped(columns, source));
            DSMigrationGraph::rewire(sourceCondition, condition, k_lhsColumn, columns);
            DSMigrationGraph::enter(made, sourceCondition, condition);
        }
    }
    return made;
}

QString DSDataMigrator004::indicatorConditionEntity(const DSManagedObject *condition) const
{
    // Version 4 keeps an indicator's conditions apart from an outcome's
    // censoring conditions: the same kinds under entities of their own.
    QString name = entityName(condition);
    return name.replace(QLatin1String("DSColumnCondition"), QLatin1String("DSIndicatorColumnCondition"));
}

DSDataMigrator004::Map DSDataMigrator004::createColumnInputsForSourceColumns(const DSObjectList &sources,
                                                                            const Map &columns,
                                                                            DSMigrationGraph &graph)
{
    Map made;
    for (DSManagedObject *source : sources)
        for (DSManagedObject *sourceInput : membersOf(source, QStringLiteral("inputs"))) {
            DSManagedObject *input = graph.copy(sourceInput, QStringLiteral("DSColumnInput"));
            DSMigrationGraph::rewire(sourceInput, input, k_column, columns);
            DSMigrationGraph::set(input, k_owner, DSMigrationGraph::mapped(columns, source));
            DSMigrationGraph::enter(made, sourceInput, input);
        }
    return made;
}
