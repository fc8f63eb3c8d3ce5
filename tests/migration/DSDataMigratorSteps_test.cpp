#include "MigrationTestSupport.h"

#include "ds_graph_dump.h"
#include "platform/store/DSEntityDescription.h"

#include <QJsonArray>

#include <gtest/gtest.h>

// The store-version steps 3 to 4, 4 to 5 and 5 to 6, each on a small store
// of its source version written from a recipe, read back through the dump's
// paths (members in the order of their "index").

namespace {

QJsonObject at(const QJsonObject &dump, const char *path)
{
    return dump.value(QString::fromUtf8(path)).toObject();
}

bool has(const QJsonObject &dump, const char *path)
{
    return dump.contains(QString::fromUtf8(path));
}

QJsonObject migratedDump(const char *recipe, int to)
{
    const DSMigrated migrated = ds_migrate_recipe(recipe, to);
    EXPECT_TRUE(migrated.context) << migrated.error.localizedDescription.toStdString();
    return migrated.context ? ds_dump_graph(*migrated.context) : QJsonObject();
}

const char *const k_version3 = R"({"model": "DSDataModel003", "objects": [
    {"id": "root", "entity": "DSDataRoot"},
    {"id": "T", "entity": "DSDataTable", "data_root": "root", "name": "T", "index": 0, "sort_by_column": "u0"},
    {"id": "n", "entity": "DSNumericDataColumn", "table": "T", "name": "n", "index": 0,
     "covariate_resolution": 5, "pivot_resolution": 7},
    {"id": "d", "entity": "DSComputeDivisionColumn", "table": "T", "name": "d", "index": 1,
     "covariate_resolution": 9, "filter_resolution": 9, "pivot_resolution": 9},
    {"id": "tx", "entity": "DSTextDataColumn", "table": "T", "name": "tx", "index": 2},
    {"id": "il", "entity": "DSIndicatorLocalColumn", "table": "T", "name": "il", "index": 3},
    {"id": "c", "entity": "DSColumnConditionValue", "column": "il", "lhs_column": "u0", "rhs_value": 4},
    {"id": "ci", "entity": "DSColumnInput", "owner": "d", "column": "u0"},
    {"id": "j", "entity": "DSNumericJoinedColumn", "table": "T", "name": "j", "index": 4},
    {"id": "jc", "entity": "DSJoinColumnCondition", "owner": "j", "local_column": "n", "foreign_column": "u0"},
    {"id": "f1", "entity": "DSTableFilter", "owner": "T", "index": 1, "column": "n"},
    {"id": "f2", "entity": "DSTableFilter", "owner": "T", "index": 2, "column": "tx"},
    {"id": "f3", "entity": "DSTableFilter", "owner": "T", "index": 3, "column": "d"},
    {"id": "f4", "entity": "DSTableFilter", "owner": "T", "index": null, "column": "il"},
    {"id": "pv", "entity": "DSPivot", "owner": "T"},
    {"id": "pi0", "entity": "DSPivotInput", "owner": "pv", "index": 0, "column": "n"},
    {"id": "pi2", "entity": "DSPivotInput", "owner": "pv", "index": 2, "column": "tx"},
    {"id": "M", "entity": "DSRegressionModel", "table": "T", "name": "M", "index": 0, "residual_graph_type": 2,
     "plot_against_column": "u0", "panel_column": "tx", "active_prediction": "p1"},
    {"id": "o", "entity": "DSOutcomeVariable", "model": "M", "column": "n"},
    {"id": "e", "entity": "DSExplanatoryVariable", "model": "M", "column": "tx"},
    {"id": "iv", "entity": "DSInstrumentalVariable", "model": "M", "column": "d"},
    {"id": "p0", "entity": "DSPrediction", "model": "M", "index": 0, "outcome_variable": "o"},
    {"id": "p1", "entity": "DSPrediction", "model": "M", "index": 1, "outcome_variable": "o"},
    {"id": "M2", "entity": "DSRegressionModel", "table": "T", "name": "M2", "index": 1},
    {"id": "U", "entity": "DSDataTable", "data_root": "root", "name": "U", "index": 1},
    {"id": "u0", "entity": "DSNumericDataColumn", "table": "U", "name": "u0", "index": 0},
    {"id": "pa", "entity": "DSPivot", "owner": "U", "index": 0},
    {"id": "pa4", "entity": "DSPivotInput", "owner": "pa", "index": 4, "column": "u0"},
    {"id": "pb", "entity": "DSPivot", "owner": "U", "index": 1},
    {"id": "pb1", "entity": "DSPivotInput", "owner": "pb", "index": 1, "column": "u0"},
    {"id": "V", "entity": "DSDataTable", "data_root": "root", "name": "V", "index": 2}]})";

} // namespace

// Resolutions become partitions of numeric columns only, nil kept.
TEST(DSDataMigrator004, NumericColumnsGetTheirResolutionsAsPartitions)
{
    const DSMigrated migrated = ds_migrate_recipe(k_version3, 4);
    ASSERT_TRUE(migrated.context) << migrated.error.localizedDescription.toStdString();
    const DSObjectList columns = ds_sorted(migrated.tables().value(0), QStringLiteral("columns"));
    struct Case {
        const char *key;
        QVariant count;
    };
    const Case cases[] = {{"covariate_partition", 5}, {"filter_partition", QVariant()}, {"pivot_partition", 7}};
    for (const Case &c : cases) {
        DSManagedObject *partition = columns.value(0)->objectForKey(QString::fromUtf8(c.key));
        ASSERT_TRUE(partition) << c.key;
        EXPECT_EQ(partition->entity()->name(), QStringLiteral("DSNumericPartition"));
        EXPECT_EQ(partition->valueForKey(QStringLiteral("quantile_count")), c.count) << c.key;
        EXPECT_EQ(partition->objectForKey(QStringLiteral("column")), columns.value(0));
        for (int other = 1; other < 4; ++other) // a computed, a text and an indicator column
            EXPECT_FALSE(columns.value(other)->objectForKey(QString::fromUtf8(c.key)))
                << c.key << " of " << columns.value(other)->entity()->name().toStdString();
    }
    EXPECT_EQ(migrated.context->objectsOfEntity(QStringLiteral("DSNumericPartition")).size(), 9) << "n, the joined j and u0";
}

TEST(DSDataMigrator004, FiltersPivotCountsModelsAndReferences)
{
    const QJsonObject dump = migratedDump(k_version3, 4);
    // Filters 1, 2, 3 end 0, 1, 2; the one without an index has the default 0.
    QStringList filters;
    for (int i = 0; i < 4; ++i) {
        const QJsonObject filter = dump.value(QStringLiteral("/tables/0/filters/%1").arg(i)).toObject();
        filters << QStringLiteral("%1@%2").arg(filter.value(QStringLiteral("column")).toString()).arg(filter.value(QStringLiteral("index")).toInt());
    }
    filters.sort();
    EXPECT_EQ(filters, (QStringList{"/tables/0/columns/0@0", "/tables/0/columns/1@2", "/tables/0/columns/2@1",
                                    "/tables/0/columns/3@0"}));
    // Pivot input indexes 0 to 2 (or none) give 3; a largest index of 4 gives 5.
    EXPECT_EQ(at(dump, "/tables/0")["pivot_input_count"], 3);
    EXPECT_EQ(at(dump, "/tables/1")["pivot_input_count"], 5);
    EXPECT_EQ(at(dump, "/tables/2")["pivot_input_count"], 3);
    // The residual type moves; a model without it keeps the default.
    const QJsonObject model = at(dump, "/tables/0/regression_models/0");
    EXPECT_EQ(model["residual_scatterplot_type"], 2);
    EXPECT_FALSE(model.contains(QStringLiteral("residual_graph_type")));
    EXPECT_FALSE(at(dump, "/tables/0/regression_models/1").contains(QStringLiteral("residual_scatterplot_type")));
    EXPECT_EQ(model["active_prediction"], QStringLiteral("/tables/0/regression_models/0/predictions/1"));
    EXPECT_EQ(at(dump, "/tables/0/regression_models/0/instrumental_variables/0")["column"], QStringLiteral("/tables/0/columns/1"));
    // Pass 1 rewires inside the table only; pass 2 may cross tables.
    EXPECT_FALSE(model.contains(QStringLiteral("plot_against_column")));
    EXPECT_EQ(model["panel_column"], QStringLiteral("/tables/0/columns/2"));
    EXPECT_FALSE(at(dump, "/tables/0").contains(QStringLiteral("sort_by_column")));
    EXPECT_EQ(at(dump, "/tables/0/columns/4/join_conditions/0")["foreign_column"], QStringLiteral("/tables/1/columns/0"));
    EXPECT_EQ(at(dump, "/tables/0/columns/4/join_conditions/0")["local_column"], QStringLiteral("/tables/0/columns/0"));
    const QJsonObject condition = at(dump, "/tables/0/columns/3/conditions/0");
    EXPECT_EQ(condition["entity"], QStringLiteral("DSIndicatorColumnConditionValue"));
    EXPECT_EQ(condition["lhs_column"], QStringLiteral("/tables/1/columns/0"));
    EXPECT_EQ(condition["rhs_value"], 4);
    EXPECT_EQ(at(dump, "/tables/0/columns/1/inputs/0")["column"], QStringLiteral("/tables/1/columns/0"));
}

namespace {

const char *const k_version4 = R"({"model": "DSDataModel004", "objects": [
    {"id": "root", "entity": "DSDataRoot"},
    {"id": "T", "entity": "DSDataTable", "data_root": "root", "name": "T", "pivot_input_count": 5},
    {"id": "n", "entity": "DSNumericDataColumn", "table": "T", "name": "n", "index": 0,
     "covariate_partition": "cp", "filter_partition": "fp", "pivot_partition": "pp"},
    {"id": "cp", "entity": "DSNumericPartition", "quantile_count": 5},
    {"id": "fp", "entity": "DSNumericPartition", "quantile_count": null},
    {"id": "pp", "entity": "DSNumericPartition", "quantile_count": 7, "partition_type": 2},
    {"id": "m", "entity": "DSNumericDataColumn", "table": "T", "name": "m", "index": 1},
    {"id": "i2", "entity": "DSIndicatorLocalColumn", "table": "T", "name": "other indicator", "index": 2},
    {"id": "il", "entity": "DSIndicatorLocalColumn", "table": "T", "name": "il", "index": 3},
    {"id": "c0", "entity": "DSIndicatorColumnConditionValue", "column": "il", "index": 7, "lhs_column": "i2", "rhs_value": 1},
    {"id": "cx", "entity": "DSIndicatorColumnCondition", "column": "il", "index": 1, "lhs_column": "n"},
    {"id": "c1", "entity": "DSIndicatorColumnConditionValue", "column": "il", "index": 3, "lhs_column": "n",
     "operator": 5, "rhs_value": 2.5},
    {"id": "c2", "entity": "DSIndicatorColumnConditionString", "column": "il", "index": 9, "lhs_column": "m",
     "rhs_string": "a"},
    {"id": "f", "entity": "DSTableFilter", "owner": "T", "index": 2, "column": "n"},
    {"id": "ag0", "entity": "DSColumnAggregation", "table": "T", "index": 0, "tag": 1, "number_formatter": "nf0"},
    {"id": "nf0", "entity": "DSNumberFormatter"},
    {"id": "ag1", "entity": "DSColumnAggregation", "table": "T", "index": 1, "tag": 20, "number_formatter": "nf1"},
    {"id": "nf1", "entity": "DSNumberFormatter"},
    {"id": "pv", "entity": "DSPivot", "owner": "T", "sort_by_aggregation": "ag1"},
    {"id": "M", "entity": "DSRegressionModel", "table": "T", "name": "M", "residual_scatterplot_type": 3},
    {"id": "o", "entity": "DSOutcomeVariable", "model": "M", "column": "n"},
    {"id": "s0", "entity": "DSOutcomeCensoringConditionValue", "owner": "o", "index": 0, "lhs_column": "m", "rhs_value": 4},
    {"id": "sx", "entity": "DSOutcomeCensoringCondition", "owner": "o", "index": 1, "lhs_column": "m"},
    {"id": "s1", "entity": "DSOutcomeCensoringConditionBit", "owner": "o", "index": 2, "lhs_column": "i2", "rhs_bit": true},
    {"id": "e0", "entity": "DSExplanatoryVariable", "model": "M", "index": 0, "column": "m"},
    {"id": "e1", "entity": "DSExplanatoryVariable", "model": "M", "index": 1, "column": "i2"},
    {"id": "iv", "entity": "DSInstrumentalVariable", "model": "M", "column": "n"}]})";

} // namespace

// An indicator's conditions become general conditions numbered in their
// order; a value condition on an indicator becomes a bit condition; an
// unlisted entity is dropped without taking a number.
TEST(DSDataMigrator005, IndicatorConditionsBecomeNumberedColumnConditions)
{
    const QJsonObject dump = migratedDump(k_version4, 5);
    const QJsonObject bit = at(dump, "/tables/0/columns/3/conditions/0");
    EXPECT_EQ(bit["entity"], QStringLiteral("DSColumnConditionBit"));
    EXPECT_EQ(bit["rhs_bit"], true);
    EXPECT_EQ(bit["lhs_column"], QStringLiteral("/tables/0/columns/2"));
    const QJsonObject value = at(dump, "/tables/0/columns/3/conditions/1");
    EXPECT_EQ(value["entity"], QStringLiteral("DSColumnConditionValue"));
    EXPECT_EQ(value["index"], 1);
    EXPECT_EQ(value["rhs_value"], 2.5);
    EXPECT_EQ(value["operator"], 5);
    const QJsonObject text = at(dump, "/tables/0/columns/3/conditions/2");
    EXPECT_EQ(text["entity"], QStringLiteral("DSColumnConditionString"));
    EXPECT_EQ(text["index"], 2);
    EXPECT_EQ(text["rhs_string"], QStringLiteral("a"));
    EXPECT_FALSE(has(dump, "/tables/0/columns/3/conditions/3"));
}

TEST(DSDataMigrator005, CensoringVariablesPartitionsAndPivots)
{
    const QJsonObject dump = migratedDump(k_version4, 5);
    // Censoring conditions: the listed kinds under their general entities.
    const char *outcome = "/tables/0/regression_models/0/outcome_variables/0";
    EXPECT_EQ(at(dump, outcome)["column"], QStringLiteral("/tables/0/columns/0"));
    const DSMigrated migrated = ds_migrate_recipe(k_version4, 5);
    ASSERT_TRUE(migrated.context);
    QStringList conditions;
    for (DSManagedObject *condition : migrated.context->objectsOfEntity(QStringLiteral("DSColumnCondition")))
        if (condition->objectForKey(QStringLiteral("owner_outcome_right_censoring")))
            conditions << QStringLiteral("%1 %2 on %3")
                              .arg(condition->entity()->name())
                              .arg(condition->integerForKey(QStringLiteral("index")))
                              .arg(condition->objectForKey(QStringLiteral("lhs_column"))->stringForKey(QStringLiteral("name")));
    conditions.sort();
    EXPECT_EQ(conditions, (QStringList{"DSColumnConditionBit 2 on other indicator", "DSColumnConditionValue 0 on m"}));
    // Explanatory variables are column variables; instrumental ones are gone.
    EXPECT_EQ(at(dump, "/tables/0/regression_models/0/explanatory_variables/0")["entity"],
              QStringLiteral("DSExplanatoryColumnVariable"));
    EXPECT_EQ(at(dump, "/tables/0/regression_models/0/explanatory_variables/1")["column"],
              QStringLiteral("/tables/0/columns/2"));
    EXPECT_TRUE(migrated.context->objectsOfEntity(QStringLiteral("DSInstrumentalVariable")).isEmpty());
    EXPECT_EQ(at(dump, "/tables/0/regression_models/0")["residual_scatterplot_type"], 3);
    // Partitions are copied as they are; a column without them gets none.
    EXPECT_EQ(at(dump, "/tables/0/columns/0/covariate_partition")["quantile_count"], 5);
    EXPECT_FALSE(at(dump, "/tables/0/columns/0/filter_partition").contains(QStringLiteral("quantile_count")));
    EXPECT_EQ(at(dump, "/tables/0/columns/0/pivot_partition")["partition_type"], 2);
    EXPECT_FALSE(has(dump, "/tables/0/columns/1/covariate_partition"));
    // The sorting aggregation is the copy of the same one; filters, the
    // pivot input count pass unchanged.
    EXPECT_EQ(at(dump, "/tables/0/pivots/0")["sort_by_aggregation"], QStringLiteral("/tables/0/aggregations/1"));
    EXPECT_EQ(at(dump, "/tables/0/aggregations/1")["tag"], 20);
    EXPECT_EQ(at(dump, "/tables/0/filters/0")["index"], 2);
    EXPECT_EQ(at(dump, "/tables/0")["pivot_input_count"], 5);
}

namespace {

const char *const k_version5 = R"({"model": "DSDataModel005", "objects": [
    {"id": "root", "entity": "DSDataRoot"},
    {"id": "T", "entity": "DSDataTable", "data_root": "root", "name": "T", "index": 0, "filter_count": 2},
    {"id": "a", "entity": "DSNumericDataColumn", "table": "T", "name": "a", "index": 0},
    {"id": "b", "entity": "DSNumericDataColumn", "table": "T", "name": "b", "index": 1},
    {"id": "ra", "entity": "DSColumnConditionValue", "owner_column_right_censoring": "a", "lhs_column": "b",
     "index": 0, "rhs_value": 1},
    {"id": "rb", "entity": "DSColumnConditionValue", "owner_column_right_censoring": "b", "lhs_column": "u",
     "index": 1, "rhs_value": 2},
    {"id": "il", "entity": "DSIndicatorLocalColumn", "table": "T", "name": "il", "index": 2},
    {"id": "c4", "entity": "DSColumnConditionBit", "owner_indicator": "il", "index": 4, "lhs_column": "u", "rhs_bit": true},
    {"id": "c2", "entity": "DSColumnConditionValue", "owner_indicator": "il", "index": 2, "lhs_column": "a", "rhs_value": 3},
    {"id": "f0", "entity": "DSTableFilter", "owner": "T", "index": 0, "column": "a"},
    {"id": "f1", "entity": "DSTableFilter", "owner": "T", "index": 1, "column": "b"},
    {"id": "M", "entity": "DSRegressionModel", "table": "T", "name": "M"},
    {"id": "o", "entity": "DSOutcomeVariable", "model": "M", "column": "a"},
    {"id": "oc", "entity": "DSColumnConditionString", "owner_outcome_right_censoring": "o", "lhs_column": "b",
     "rhs_string": "cens"},
    {"id": "x", "entity": "DSExplanatoryInteractionVariable", "model": "M", "index": 0, "inputs": ["va", "vb"]},
    {"id": "va", "entity": "DSExplanatoryColumnVariable", "model": "M", "index": 1, "column": "a"},
    {"id": "vb", "entity": "DSExplanatoryColumnVariable", "model": "M", "index": 2, "column": "b"},
    {"id": "U", "entity": "DSDataTable", "data_root": "root", "name": "U", "index": 1},
    {"id": "u", "entity": "DSNumericDataColumn", "table": "U", "name": "u", "index": 0}]})";

} // namespace

// Each table gets one filter set with its filters and its count (0 when
// none); right-censoring keeps a column of its own table; interactions point
// to the new copies of their inputs; indicator conditions stay as they are.
TEST(DSDataMigrator006, FilterSetsCensoringInteractionsAndIndicatorConditions)
{
    const QJsonObject dump = migratedDump(k_version5, 6);
    EXPECT_EQ(at(dump, "/tables/0/filter_sets/0")["filter_count"], 2);
    EXPECT_FALSE(has(dump, "/tables/0/filter_sets/1"));
    EXPECT_EQ(at(dump, "/tables/0/filter_sets/0/filters/0")["column"], QStringLiteral("/tables/0/columns/0"));
    EXPECT_EQ(at(dump, "/tables/0/filter_sets/0/filters/1")["column"], QStringLiteral("/tables/0/columns/1"));
    EXPECT_EQ(at(dump, "/tables/1/filter_sets/0")["entity"], QStringLiteral("DSTableFilterSet"));
    EXPECT_FALSE(at(dump, "/tables/1/filter_sets/0").contains(QStringLiteral("filter_count"))) << "the default 0";
    EXPECT_FALSE(has(dump, "/tables/1/filter_sets/0/filters/0"));

    EXPECT_EQ(at(dump, "/tables/0/columns/0/right_censoring_conditions/0")["lhs_column"], QStringLiteral("/tables/0/columns/1"));
    EXPECT_EQ(at(dump, "/tables/0/columns/1/right_censoring_conditions/0")["rhs_value"], 2);
    EXPECT_FALSE(at(dump, "/tables/0/columns/1/right_censoring_conditions/0").contains(QStringLiteral("lhs_column")));
    const QJsonObject censoring = at(dump, "/tables/0/regression_models/0/outcome_variables/0/right_censoring_conditions/0");
    EXPECT_EQ(censoring["entity"], QStringLiteral("DSColumnConditionString"));
    EXPECT_EQ(censoring["lhs_column"], QStringLiteral("/tables/0/columns/1"));

    const QJsonObject interaction = at(dump, "/tables/0/regression_models/0/explanatory_variables/0");
    EXPECT_EQ(interaction["entity"], QStringLiteral("DSExplanatoryInteractionVariable"));
    EXPECT_EQ(interaction["inputs"], (QJsonArray{"/tables/0/regression_models/0/explanatory_variables/1",
                                                 "/tables/0/regression_models/0/explanatory_variables/2"}));
    EXPECT_EQ(at(dump, "/tables/0/regression_models/0/explanatory_variables/2")["column"], QStringLiteral("/tables/0/columns/1"));

    const QJsonObject value = at(dump, "/tables/0/columns/2/conditions/0");
    EXPECT_EQ(value["entity"], QStringLiteral("DSColumnConditionValue"));
    EXPECT_EQ(value["index"], 2);
    EXPECT_EQ(value["lhs_column"], QStringLiteral("/tables/0/columns/0"));
    const QJsonObject bit = at(dump, "/tables/0/columns/2/conditions/1");
    EXPECT_EQ(bit["entity"], QStringLiteral("DSColumnConditionBit"));
    EXPECT_EQ(bit["index"], 4);
    EXPECT_EQ(bit["lhs_column"], QStringLiteral("/tables/1/columns/0")) << "across tables in pass 2";
}
