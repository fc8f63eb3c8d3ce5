#include "ui/window/ds_change_ladder.h"

#include "model/DSTable.h"
#include "platform/store/DSEntityDescription.h"
#include "platform/store/DSManagedObjectContext.h"
#include "platform/store/DSManagedObjectModel.h"

#include <QStringList>

#include <array>

namespace {

enum Category {
    Column, Table, Pivot, PivotInput, TableFilter, CovariatePartition, PivotPartition, FilterPartition, Model,
    ModelVariable, Prediction, Assumption, ColumnCondition, JoinCondition, Aggregation, ColumnInput, TableInput,
    CategoryCount
};
enum Kind { Inserted, Deleted, Updated, KindCount };

struct Classification
{
    const char *entity;
    Category category;
    QStringList path;  // keys from the object to its table
};

// In order: an object counts as the first entity it is a kind of.
const std::array<Classification, 16> &classifications()
{
    static const std::array<Classification, 16> table{{
        {"DSColumn", Column, {QStringLiteral("table")}},
        {"DSTable", Table, {}},
        {"DSPivot", Pivot, {QStringLiteral("owner")}},
        {"DSPivotInput", PivotInput, {QStringLiteral("owner"), QStringLiteral("owner")}},
        {"DSTableFilter", TableFilter, {QStringLiteral("owner"), QStringLiteral("owner")}},
        {"DSPartition", CovariatePartition, {QStringLiteral("column"), QStringLiteral("table")}},
        {"DSRegressionModel", Model, {QStringLiteral("table")}},
        {"DSExplanatoryVariable", ModelVariable, {QStringLiteral("model"), QStringLiteral("table")}},
        {"DSOutcomeVariable", ModelVariable, {QStringLiteral("model"), QStringLiteral("table")}},
        {"DSPrediction", Prediction, {QStringLiteral("model"), QStringLiteral("table")}},
        {"DSPredictionAssumption", Assumption,
         {QStringLiteral("prediction"), QStringLiteral("model"), QStringLiteral("table")}},
        {"DSColumnCondition", ColumnCondition, {QStringLiteral("owner_indicator"), QStringLiteral("table")}},
        {"DSJoinColumnCondition", JoinCondition, {QStringLiteral("local_column"), QStringLiteral("table")}},
        {"DSAggregation", Aggregation, {QStringLiteral("table")}},
        {"DSColumnInput", ColumnInput, {QStringLiteral("owner"), QStringLiteral("table")}},
        {"DSTableInput", TableInput, {QStringLiteral("owner")}},
    }};
    return table;
}

// A partition counts as the column's covariate, pivot or filter partition,
// in that order; any other partition is not counted.
bool partitionCategory(const DSObjectsDidChange &change, const DSManagedObject *partition, Category *category)
{
    const DSManagedObject *column = change.formerTarget(partition, QStringLiteral("column"));
    if (!column)
        return false;
    const std::array<std::pair<const char *, Category>, 3> roles{{
        {"covariate_partition", CovariatePartition},
        {"pivot_partition", PivotPartition},
        {"filter_partition", FilterPartition},
    }};
    for (const auto &[key, role] : roles)
        if (change.formerTarget(column, QString::fromLatin1(key)) == partition) {
            *category = role;
            return true;
        }
    return false;
}

// The object's category and table; false for an object that is not counted.
bool classify(const DSObjectsDidChange &change, const DSManagedObject *object, Category *category,
              const DSManagedObject **table)
{
    const DSManagedObjectModel *model = object->entity()->managedObjectModel();
    for (const Classification &c : classifications()) {
        const DSEntityDescription *entity = model->entityNamed(QString::fromLatin1(c.entity));
        if (!entity || !object->entity()->isKindOfEntity(entity))
            continue;
        *category = c.category;
        if (c.category == CovariatePartition && !partitionCategory(change, object, category))
            return false;
        if (c.category == ColumnCondition && !change.formerTarget(object, QStringLiteral("owner_indicator")))
            return false;
        const DSManagedObject *step = object;
        for (const QString &key : c.path)
            step = step ? change.formerTarget(step, key) : nullptr;
        *table = step;
        return true;
    }
    return false;
}

using Counters = std::array<std::array<std::array<int, CategoryCount>, KindCount>, 2>;

void count(Counters &counters, const DSObjectsDidChange &change, const DSObjectList &objects, Kind kind,
           const DSManagedObject *activeTable)
{
    for (const DSManagedObject *object : objects) {
        Category category;
        const DSManagedObject *table = nullptr;
        if (classify(change, object, &category, &table))
            ++counters[table == activeTable ? 1 : 0][kind][category];
    }
}

} // namespace

DSLadderDecision ds_change_ladder(const DSObjectsDidChange &change, const DSManagedObject *activeTable)
{
    Counters n{};
    count(n, change, change.inserted, Inserted, activeTable);
    count(n, change, change.deleted, Deleted, activeTable);
    count(n, change, change.updated, Updated, activeTable);
    const auto &active = n[1];
    const auto changed = [&](std::initializer_list<Category> categories) {
        for (Category c : categories)
            if (active[Inserted][c] + active[Deleted][c] > 0)
                return true;
        return false;
    };
    const auto updated = [&](std::initializer_list<Category> categories) {
        for (Category c : categories)
            if (active[Updated][c] > 0)
                return true;
        return false;
    };
    bool otherInsertedOrDeleted = false;
    for (int c = 0; c < CategoryCount; ++c)
        otherInsertedOrDeleted |= n[0][Inserted][c] + n[0][Deleted][c] > 0;

    using A = DSLadderAction;
    const std::array<std::pair<bool, A>, 16> rules{{
        {otherInsertedOrDeleted, A::None},
        {changed({Table}), A::None},
        {changed({Column}), A::ShowDataSide},
        {changed({Pivot}), A::ShowPivotPaneAndList},
        {changed({PivotInput, Aggregation}), A::ShowPivotPane},
        {changed({TableFilter}), A::ShowFilters},
        {changed({Model}), A::None},
        {changed({ModelVariable}), A::ShowModeler},
        {changed({Prediction}), A::ShowModelSideAndResults},
        {changed({Assumption}), A::ShowModelSide},
        {changed({ColumnCondition, JoinCondition, ColumnInput, TableInput}), A::ShowDataSide},
        {updated({Table}) || n[0][Updated][Table] > 0, A::None},
        {updated({Aggregation, PivotInput}), A::ShowPivotPane},
        {updated({TableFilter, FilterPartition}), A::None},
        {updated({CovariatePartition}), A::ShowSummary},
        {updated({PivotPartition}), A::ShowPivotPane},
    }};
    for (size_t i = 0; i < rules.size(); ++i)
        if (rules[i].first)
            return {int(i) + 1, rules[i].second};
    return {};
}

bool ds_apply_ladder_action(DSLadderAction action, DSTable *table)
{
    const quint64 flags = table->viewFlags();
    const bool filters = table->show_filters, pivots = table->show_pivots, results = table->show_results;
    switch (action) {
    case DSLadderAction::None:
        break;
    case DSLadderAction::ShowDataSide:
        table->setShowTable(true);
        break;
    case DSLadderAction::ShowPivotPaneAndList:
        table->setShowPivot(true);
        table->show_pivots = true;
        break;
    case DSLadderAction::ShowPivotPane:
        table->setShowPivot(true);
        break;
    case DSLadderAction::ShowFilters:
        table->show_filters = true;
        break;
    case DSLadderAction::ShowModeler:
        table->setShowModeler(true);
        break;
    case DSLadderAction::ShowModelSideAndResults:
        table->setShowModel(true);
        table->show_results = true;
        break;
    case DSLadderAction::ShowModelSide:
        table->setShowModel(true);
        break;
    case DSLadderAction::ShowSummary:
        table->setShowSummary(true);
        break;
    }
    return flags != table->viewFlags() || filters != table->show_filters || pivots != table->show_pivots
        || results != table->show_results;
}
