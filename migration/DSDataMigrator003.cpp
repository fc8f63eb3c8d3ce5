#include "migration/DSDataMigrator003.h"

#include "migration/DSMigrationGraph.h"
#include "model/ds_compression.h"
#include "platform/store/DSEntityDescription.h"

#include <QtEndian>

#include <cstring>

namespace {

const QString k_values = QStringLiteral("values");

QString entityName(const DSManagedObject *object)
{
    return object->entity()->name();
}

// How the members of one to-many relationship are copied: by the same
// entity or a named one, with their owner set (before or after the
// references are rewired, as the version-3 order of setting has it) and
// registered or not.
struct MemberCopy
{
    QString key;
    QString ownerKey;
    QStringList rewired;
    QString entity = QString();
    bool ownerFirst = false;
    bool enter = false;
};

// Copies of the members of source's to-many key, in the set's order.
DSObjectList copyMembers(DSMigrationGraph &graph, DSManagedObject *source, DSManagedObject *owner, const MemberCopy &how)
{
    DSObjectList made;
    if (!DSMigrationGraph::hasRelationship(source, how.key))
        return made;
    for (DSManagedObject *member : source->objectsForKey(how.key)) {
        DSManagedObject *copy = how.entity.isEmpty() ? graph.copy(member) : graph.copy(member, how.entity);
        if (how.ownerFirst)
            DSMigrationGraph::set(copy, how.ownerKey, owner);
        for (const QString &reference : how.rewired)
            graph.rewire(member, copy, reference);
        if (!how.ownerFirst)
            DSMigrationGraph::set(copy, how.ownerKey, owner);
        if (how.enter)
            graph.enter(member, copy);
        if (copy)
            made << copy;
    }
    return made;
}

DSManagedObject *makeRelation(DSMigrationGraph &graph, DSManagedObject *outcome, const QString &appliedKey, qint64 tag,
                              const QString &columnKey, DSManagedObject *owner)
{
    DSManagedObject *relation = graph.insert(QStringLiteral("DSOutcomeColumnRelation"));
    DSMigrationGraph::setValue(relation, QStringLiteral("is_applied"), outcome->valueForKey(appliedKey));
    DSMigrationGraph::setValue(relation, QStringLiteral("tag"), tag);
    graph.rewire(outcome, relation, columnKey, QStringLiteral("column"));
    DSMigrationGraph::set(relation, QStringLiteral("owner"), owner);
    return relation;
}

void makeOutcomes(DSMigrationGraph &graph, DSManagedObject *model, DSManagedObject *newModel)
{
    for (DSManagedObject *outcome : model->objectsForKey(QStringLiteral("outcome_variables"))) {
        DSManagedObject *made = graph.copy(outcome, QStringLiteral("DSOutcomeVariable"));
        DSObjectList relations;
        if (outcome->objectForKey(QStringLiteral("weight_column")))
            relations << makeRelation(graph, outcome, QStringLiteral("apply_weights"), 0, QStringLiteral("weight_column"), made);
        if (outcome->objectForKey(QStringLiteral("exposure_column")))
            relations << makeRelation(graph, outcome, QStringLiteral("apply_expsoure"), 1, QStringLiteral("exposure_column"), made);
        relations.removeAll(nullptr);
        graph.rewire(outcome, made, QStringLiteral("column"));
        DSMigrationGraph::set(made, QStringLiteral("model"), newModel);
        DSMigrationGraph::set(made, QStringLiteral("column_relations"), relations);
        graph.enter(outcome, made);
    }
}

void makeModels(DSMigrationGraph &graph, DSManagedObject *table, DSManagedObject *newTable)
{
    const QStringList column{QStringLiteral("column")};
    for (DSManagedObject *model : table->objectsForKey(QStringLiteral("regression_models"))) {
        DSManagedObject *newModel = graph.copy(model, QStringLiteral("DSRegressionModel"));
        DSMigrationGraph::set(newModel, QStringLiteral("table"), newTable);
        graph.rewireWhenSet(model, newModel, QStringLiteral("plot_against_column"));
        graph.rewireWhenSet(model, newModel, QStringLiteral("panel_column"));
        makeOutcomes(graph, model, newModel);
        copyMembers(graph, model, newModel,
                    {QStringLiteral("explanatory_variables"), QStringLiteral("model"), column,
                     QStringLiteral("DSExplanatoryVariable"), false, true});
        copyMembers(graph, model, newModel,
                    {QStringLiteral("instrumental_variables"), QStringLiteral("model"), column, QString(), false, true});
        for (DSManagedObject *prediction : model->objectsForKey(QStringLiteral("predictions"))) {
            DSManagedObject *made = graph.copy(prediction, QStringLiteral("DSPrediction"));
            graph.rewire(prediction, made, QStringLiteral("outcome_variable"));
            DSMigrationGraph::set(made, QStringLiteral("model"), newModel);
            copyMembers(graph, prediction, made,
                        {QStringLiteral("prediction_assumptions"), QStringLiteral("prediction"),
                         {QStringLiteral("explanatory_variable")}, QStringLiteral("DSPredictionAssumption"), false, true});
            graph.enter(prediction, made);
        }
    }
}

void makePivots(DSMigrationGraph &graph, DSManagedObject *table, DSManagedObject *newTable)
{
    for (DSManagedObject *pivot : table->objectsForKey(QStringLiteral("pivots"))) {
        DSManagedObject *made = graph.copy(pivot);
        const DSObjectList inputs = copyMembers(
            graph, pivot, made, {QStringLiteral("inputs"), QStringLiteral("owner"), {QStringLiteral("column")}, QString(), false, true});
        DSMigrationGraph::set(made, QStringLiteral("inputs"), inputs);
        DSMigrationGraph::set(made, QStringLiteral("owner"), newTable);
        graph.enter(pivot, made);
    }
}

void makeAggregations(DSMigrationGraph &graph, DSManagedObject *table, DSManagedObject *newTable)
{
    for (DSManagedObject *aggregation : table->objectsForKey(QStringLiteral("aggregations"))) {
        DSManagedObject *formatter = aggregation->objectForKey(QStringLiteral("number_formatter"));
        if (!formatter) {
            graph.fail(QStringLiteral("an aggregation (index %1) of the table %2 has no number formatter")
                           .arg(aggregation->integerForKey(QStringLiteral("index")))
                           .arg(DSMigrationGraph::describe(table)));
            continue;
        }
        DSManagedObject *made = graph.copy(aggregation);
        graph.rewire(aggregation, made, QStringLiteral("column"));
        DSMigrationGraph::set(made, QStringLiteral("table"), newTable);
        DSMigrationGraph::set(made, QStringLiteral("number_formatter"), graph.copy(formatter));
        graph.enter(aggregation, made);
    }
}

// Pass 1: a table and what hangs below it inside the table.
DSManagedObject *makeTable(DSMigrationGraph &graph, DSManagedObject *table, DSManagedObject *newRoot)
{
    DSManagedObject *newTable = graph.copy(table);
    DSMigrationGraph::set(newTable, QStringLiteral("data_root"), newRoot);
    graph.enter(table, newTable);
    for (DSManagedObject *column : table->objectsForKey(QStringLiteral("columns"))) {
        DSManagedObject *made = graph.copy(column);
        if (made && entityName(column) == QLatin1String("DSNumericDataColumn")) {
            QByteArray widened;
            if (!DSDataMigrator003::widenStoredValues(column->dataForKey(k_values), &widened))
                graph.fail(QStringLiteral("the values of the column %1 could not be compressed")
                               .arg(DSMigrationGraph::describe(column)));
            DSMigrationGraph::setValue(made, k_values, widened);
        }
        graph.copyFormatters(column, made);
        DSMigrationGraph::set(made, QStringLiteral("table"), newTable);
        graph.enter(column, made);
    }
    for (const QString &key : {QStringLiteral("sort_by_column"), QStringLiteral("frequency_weights_column")})
        graph.rewireWhenSet(table, newTable, key);
    copyMembers(graph, table, newTable,
                {QStringLiteral("filters"), QStringLiteral("owner"), {QStringLiteral("column")}, QString(), false, true});
    makePivots(graph, table, newTable);
    makeAggregations(graph, table, newTable);
    makeModels(graph, table, newTable);
    return newTable;
}

// Pass 2: the links that may cross tables.
void linkTable(DSMigrationGraph &graph, DSManagedObject *table)
{
    DSManagedObject *newTable = graph.mapped(table);
    copyMembers(graph, table, newTable, {QStringLiteral("inputs"), QStringLiteral("owner"), {QStringLiteral("table")}, QString(), true});
    DSObjectList columns;
    for (DSManagedObject *column : table->objectsForKey(QStringLiteral("columns"))) {
        DSManagedObject *made = graph.mapped(column);
        if (!made)
            continue;
        DSMigrationGraph::set(made, QStringLiteral("join_conditions"),
                              copyMembers(graph, column, made,
                                          {QStringLiteral("join_conditions"), QStringLiteral("owner"),
                                           {QStringLiteral("foreign_column"), QStringLiteral("local_column")},
                                           QStringLiteral("DSJoinColumnCondition"), true}));
        if (entityName(column) == QLatin1String("DSIndicatorLocalColumn"))
            DSMigrationGraph::set(made, QStringLiteral("conditions"),
                                  copyMembers(graph, column, made,
                                              {QStringLiteral("conditions"), QStringLiteral("column"),
                                               {QStringLiteral("lhs_column")}, QString(), true}));
        DSMigrationGraph::set(made, QStringLiteral("inputs"),
                              copyMembers(graph, column, made,
                                          {QStringLiteral("inputs"), QStringLiteral("owner"), {QStringLiteral("column")},
                                           QStringLiteral("DSColumnInput")}));
        columns << made;
    }
    DSMigrationGraph::set(newTable, QStringLiteral("columns"), columns);
}

} // namespace

bool DSDataMigrator003::widenStoredValues(const QByteArray &stored, QByteArray *widened)
{
    const std::optional<QByteArray> narrow = stored.isEmpty() ? std::nullopt : zlibInflate(stored);
    const qsizetype n = narrow ? narrow->size() / 4 : 0;
    QByteArray wide(n * 8, Qt::Uninitialized);
    const char *from = narrow ? narrow->constData() : nullptr;
    char *to = wide.data();
    for (qsizetype i = 0; i < n; ++i) {
        const double value = qFromLittleEndian<float>(from + 4 * i);
        qToLittleEndian(value, to + 8 * i);
    }
    if (n == 0) {
        *widened = QByteArray("");
        return true;
    }
    const std::optional<QByteArray> deflated = zlibDeflate(wide);
    *widened = deflated.value_or(QByteArray(""));
    return deflated.has_value();
}

bool DSDataMigrator003::createDestinationInstancesForSourceInstance(DSManagedObject *sourceRoot,
                                                                   const DSEntityMapping &mapping,
                                                                   DSMigrationManager &manager, DSStoreError *error)
{
    return migrateRoot(sourceRoot, mapping, manager, error,
                       [](DSMigrationGraph &graph, const DSObjectList &sourceTables, DSManagedObject *newRoot) {
        DSObjectList tables;
        for (DSManagedObject *table : sourceTables)
            if (DSManagedObject *made = makeTable(graph, table, newRoot))
                tables << made;
        for (DSManagedObject *table : sourceTables)
            linkTable(graph, table);
        return tables;
    });
}
