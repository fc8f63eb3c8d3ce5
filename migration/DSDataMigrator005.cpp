#include "migration/DSDataMigrator005.h"

#include "platform/store/DSEntityDescription.h"

#include <QHash>

void DSDataMigrator005::createTableMembers(DSManagedObject *table, const Map &columns, DSManagedObject *newTable,
                                           DSMigrationGraph &graph)
{
    const Map aggregations = createAggregationsForSourceAggregations(
        table->objectsForKey(QStringLiteral("aggregations")), columns, newTable, graph);
    createFiltersForSourceFilters(table->objectsForKey(QStringLiteral("filters")), columns, newTable, graph);
    createPivotsAndInputsForSourcePivots(table->objectsForKey(QStringLiteral("pivots")), columns, aggregations,
                                         newTable, graph);
    createRegressionModelsForSourceRegressionModels(table->objectsForKey(QStringLiteral("regression_models")),
                                                    columns, newTable, graph);
}

void DSDataMigrator005::createPartitions(DSManagedObject *source, DSManagedObject *column, DSMigrationGraph &graph)
{
    for (const QString &key : {QStringLiteral("covariate_partition"), QStringLiteral("filter_partition"),
                               QStringLiteral("pivot_partition")}) {
        DSManagedObject *sourcePartition = DSMigrationGraph::hasRelationship(source, key) ? source->objectForKey(key) : nullptr;
        if (!sourcePartition)
            continue;
        DSManagedObject *partition = graph.copy(sourcePartition);
        DSMigrationGraph::set(partition, QStringLiteral("column"), column);
        DSMigrationGraph::set(column, key, partition);
    }
}

QString DSDataMigrator005::censoringEntity(const DSManagedObject *condition) const
{
    static const QHash<QString, QString> entities{
        {QStringLiteral("DSOutcomeCensoringConditionString"), QStringLiteral("DSColumnConditionString")},
        {QStringLiteral("DSOutcomeCensoringConditionValue"), QStringLiteral("DSColumnConditionValue")},
        {QStringLiteral("DSOutcomeCensoringConditionInterval"), QStringLiteral("DSColumnConditionInterval")},
        {QStringLiteral("DSOutcomeCensoringConditionBit"), QStringLiteral("DSColumnConditionBit")}};
    return entities.value(entityName(condition));
}

QString DSDataMigrator005::indicatorConditionEntity(const DSManagedObject *condition) const
{
    // A bit condition of version 4 is kept as one rather than dropped: it
    // comes from the bit conditions of the earlier versions.
    static const QHash<QString, QString> entities{
        {QStringLiteral("DSIndicatorColumnConditionString"), QStringLiteral("DSColumnConditionString")},
        {QStringLiteral("DSIndicatorColumnConditionInterval"), QStringLiteral("DSColumnConditionInterval")},
        {QStringLiteral("DSIndicatorColumnConditionBit"), QStringLiteral("DSColumnConditionBit")}};
    const QString name = entityName(condition);
    if (name != QLatin1String("DSIndicatorColumnConditionValue"))
        return entities.value(name);
    const DSManagedObject *lhs = condition->objectForKey(QStringLiteral("lhs_column"));
    return lhs && entityName(lhs).startsWith(QLatin1String("DSIndicator")) ? QStringLiteral("DSColumnConditionBit")
                                                                          : QStringLiteral("DSColumnConditionValue");
}
