#include "MigrationTestSupport.h"

#include "migration/DSDataMigrator.h"
#include "migration/DSDataMigrator003.h"
#include "model/ds_compression.h"
#include "platform/store/DSEntityDescription.h"
#include "platform/store/DSManagedObjectContext.h"
#include "platform/store/DSManagedObjectModel.h"

#include <QRandomGenerator>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

const QString k_v1 = QStringLiteral("DSDataModel");
const QString k_v2 = QStringLiteral("DSDataModel002");

DSManagedObject *only(const DSObjectList &objects)
{
    EXPECT_EQ(objects.size(), 1);
    return objects.value(0);
}

QString nameOf(const DSManagedObject *object)
{
    return object ? object->stringForKey(QStringLiteral("name")) : QStringLiteral("(none)");
}

// The objects of every entity of a migrated store.
qsizetype objectCount(const DSMigrated &migrated)
{
    qsizetype count = 0;
    for (const DSEntityDescription *entity : migrated.context->model().rootEntities())
        count += migrated.context->objectsOfEntity(entity->name()).size();
    return count;
}

QByteArray floatsDeflated(const std::vector<quint32> &bits, qsizetype extraBytes = 0)
{
    QByteArray raw(qsizetype(bits.size()) * 4 + extraBytes, '\x5a');
    for (size_t i = 0; i < bits.size(); ++i)
        qToLittleEndian(bits[i], raw.data() + 4 * i);
    return *zlibDeflate(raw);
}

std::vector<double> widened(const QByteArray &stored)
{
    QByteArray wide;
    EXPECT_TRUE(DSDataMigrator003::widenStoredValues(stored, &wide));
    const std::optional<QByteArray> bytes = wide.isEmpty() ? std::optional<QByteArray>(wide) : zlibInflate(wide);
    EXPECT_TRUE(bytes.has_value());
    EXPECT_EQ(bytes->size() % 8, 0);
    std::vector<double> values(size_t(bytes->size() / 8));
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = qFromLittleEndian<double>(bytes->constData() + 8 * i);
    return values;
}

} // namespace

// Attribute transfer copies values by name, leaves a destination's value in
// place where the source has none, drops what the destination lacks and
// never follows a relationship.
TEST(DSDataMigratorBase, AttributeTransferKeepsDefaultsAndDropsWhatTheDestinationLacks)
{
    DSManagedObjectContext v1(DSManagedObjectModel::modelNamed(k_v1));
    DSManagedObjectContext v2(DSManagedObjectModel::modelNamed(k_v2));

    DSManagedObject *column = v1.insertNewObject(QStringLiteral("DSNumericDataColumn"));
    DSManagedObject *outcome = v1.insertNewObject(QStringLiteral("DSOutcomeVariable"));
    outcome->setPrimitiveValue(qlonglong(2), QStringLiteral("index"));
    outcome->setPrimitiveValue(qlonglong(3), QStringLiteral("count_model"));
    outcome->setPrimitiveValue(true, QStringLiteral("treat_as_counts"));
    outcome->setObject(column, QStringLiteral("column"));
    DSManagedObject *newOutcome = v2.insertNewObject(QStringLiteral("DSOutcomeVariable"));
    DSDataMigrator::transferAttributesOfObject(outcome, newOutcome);
    EXPECT_EQ(newOutcome->integerForKey(QStringLiteral("index")), 2);
    EXPECT_EQ(newOutcome->integerForKey(QStringLiteral("cardinal_model")), 0) << "no attribute of that name in version 1";
    EXPECT_FALSE(newOutcome->entity()->attributeNamed(QStringLiteral("count_model")));
    EXPECT_EQ(newOutcome->objectForKey(QStringLiteral("column")), nullptr) << "relationships are never transferred";

    DSManagedObject *table = v1.insertNewObject(QStringLiteral("DSDataTable"));
    table->setPrimitiveValue(QVariant(), QStringLiteral("confidence_level"));
    table->setPrimitiveValue(QVariant(), QStringLiteral("name"));
    table->setPrimitiveValue(qlonglong(42), QStringLiteral("num_records"));
    DSManagedObject *newTable = v2.insertNewObject(QStringLiteral("DSDataTable"));
    newTable->setPrimitiveValue(QStringLiteral("Kept"), QStringLiteral("name"));
    DSDataMigrator::transferAttributesOfObject(table, newTable);
    EXPECT_DOUBLE_EQ(newTable->doubleForKey(QStringLiteral("confidence_level")), 0.95);
    EXPECT_EQ(newTable->stringForKey(QStringLiteral("name")), QStringLiteral("Kept")) << "a nil source never writes nil";
    EXPECT_EQ(newTable->integerForKey(QStringLiteral("num_records")), 42);
}

TEST(DSDataMigratorBase, RootWithoutTablesGivesOneEmptyRoot)
{
    for (const char *model : {"DSDataModel", "DSDataModel002"}) {
        const QByteArray recipe = QStringLiteral(R"({"model": "%1", "objects": [{"id": "root", "entity": "DSDataRoot"}]})")
                                      .arg(QLatin1String(model)).toUtf8();
        const DSMigrated migrated = ds_migrate_recipe(recipe, 3);
        ASSERT_TRUE(migrated.context) << model << ": " << migrated.error.localizedDescription.toStdString();
        ASSERT_TRUE(migrated.root()) << model;
        EXPECT_TRUE(migrated.tables().isEmpty()) << model;
        EXPECT_EQ(objectCount(migrated), 1) << model;
    }
}

// References into an aggregate table (dropped) come out nil; the objects
// holding them are still made.
TEST(DSDataMigratorBase, ReferenceToADroppedObjectBecomesNil)
{
    const DSMigrated migrated = ds_migrate_recipe(R"({"model": "DSDataModel", "objects": [
        {"id": "root", "entity": "DSDataRoot"},
        {"id": "T", "entity": "DSDataTable", "data_root": "root", "name": "T", "filter1_column": "g"},
        {"id": "x", "entity": "DSNumericDataColumn", "table": "T", "name": "x"},
        {"id": "A", "entity": "DSAggregateTable", "data_root": "root", "index": 1, "input": "T"},
        {"id": "g", "entity": "DSNumericGroupByColumn", "table": "A", "input": "x"},
        {"id": "M", "entity": "DSRegressionModel", "table": "T", "panel_column": "g"},
        {"id": "o", "entity": "DSOutcomeVariable", "model": "M", "column": "x", "weight_column": "g"}]})", 2);
    ASSERT_TRUE(migrated.context) << migrated.error.localizedDescription.toStdString();
    DSManagedObject *table = only(migrated.tables());
    DSManagedObject *filter = only(table->objectsForKey(QStringLiteral("filters")));
    EXPECT_EQ(filter->objectForKey(QStringLiteral("column")), nullptr);
    DSManagedObject *model = only(table->objectsForKey(QStringLiteral("regression_models")));
    EXPECT_EQ(model->objectForKey(QStringLiteral("panel_column")), nullptr);
    DSManagedObject *outcome = only(model->objectsForKey(QStringLiteral("outcome_variables")));
    EXPECT_EQ(outcome->objectForKey(QStringLiteral("weight_column")), nullptr);
    EXPECT_EQ(nameOf(outcome->objectForKey(QStringLiteral("column"))), QStringLiteral("x"));
}

// The version-1 fixture (fixtures/v1.recipe.json) brought to version 2.
class DSDataMigrator002Test : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_migrated = new DSMigrated(ds_migrate_package(ds_fixture(QStringLiteral("v1.ostrel")), 1, 2));
    }
    static void TearDownTestSuite()
    {
        delete s_migrated;
        s_migrated = nullptr;
    }
    void SetUp() override
    {
        ASSERT_TRUE(s_migrated->context) << s_migrated->error.localizedDescription.toStdString();
        tables = s_migrated->tables();
        ASSERT_EQ(tables.size(), 3);
    }
    static QStringList columnNames(const DSManagedObject *table)
    {
        QStringList names;
        for (const DSManagedObject *column : ds_sorted(table, QStringLiteral("columns")))
            names << QStringLiteral("%1 %2").arg(column->entity()->name(), nameOf(column));
        return names;
    }
    DSManagedObject *column(const DSManagedObject *table, const QString &name) const
    {
        for (DSManagedObject *c : table->objectsForKey(QStringLiteral("columns")))
            if (nameOf(c) == name)
                return c;
        return nullptr;
    }

    static inline DSMigrated *s_migrated = nullptr;
    DSObjectList tables;
};

TEST_F(DSDataMigrator002Test, TablesEndNumberedWithoutGapsInTheirOldOrder)
{
    QStringList names;
    for (qsizetype i = 0; i < tables.size(); ++i) {
        EXPECT_EQ(tables[i]->integerForKey(QStringLiteral("index")), i);
        names << QStringLiteral("%1 %2").arg(tables[i]->entity()->name(), nameOf(tables[i]));
    }
    EXPECT_EQ(names, (QStringList{"DSDataTable Plots", "DSDataTable Trees", "DSStackedTable Stacked"}));
    EXPECT_DOUBLE_EQ(tables[1]->doubleForKey(QStringLiteral("confidence_level")), 0.9);
}

TEST_F(DSDataMigrator002Test, AggregateTablesBecomePivotsAndSumAggregationsOfTheirInput)
{
    DSManagedObject *trees = tables[1];
    struct Pivot {
        QStringList inputs; // "index:column"
    };
    QList<QStringList> pivots;
    for (DSManagedObject *pivot : trees->objectsForKey(QStringLiteral("pivots"))) {
        QStringList inputs;
        for (DSManagedObject *input : ds_sorted(pivot, QStringLiteral("inputs")))
            inputs << QStringLiteral("%1:%2").arg(input->integerForKey(QStringLiteral("index")))
                          .arg(nameOf(input->objectForKey(QStringLiteral("column"))));
        pivots << inputs;
    }
    std::sort(pivots.begin(), pivots.end());
    EXPECT_EQ(pivots, (QList<QStringList>{{"0:girth", "1:age"}, {"0:height"}})) << "no default pivot beside them";

    QStringList aggregations;
    QSet<DSManagedObject *> formatters;
    for (DSManagedObject *aggregation : ds_sorted(trees, QStringLiteral("aggregations"))) {
        aggregations << QStringLiteral("%1 tag %2 %3 enabled %4")
                            .arg(aggregation->integerForKey(QStringLiteral("index")))
                            .arg(aggregation->integerForKey(QStringLiteral("tag")))
                            .arg(nameOf(aggregation->objectForKey(QStringLiteral("column"))))
                            .arg(aggregation->boolForKey(QStringLiteral("is_enabled")));
        formatters << aggregation->objectForKey(QStringLiteral("number_formatter"));
    }
    EXPECT_EQ(aggregations, (QStringList{"0 tag 1 height enabled 0", "1 tag 1 age enabled 0", "2 tag 1 girth enabled 0"}))
        << "numbered across both aggregate tables, no count aggregation";
    formatters.remove(nullptr);
    EXPECT_EQ(formatters.size(), 3) << "each aggregation has a number formatter of its own";
}

TEST_F(DSDataMigrator002Test, TableWithoutAggregateTablesGetsADefaultPivotAndCount)
{
    for (DSManagedObject *table : {tables[0], tables[2]}) {
        DSManagedObject *pivot = only(table->objectsForKey(QStringLiteral("pivots")));
        EXPECT_EQ(pivot->integerForKey(QStringLiteral("index")), 0);
        EXPECT_TRUE(pivot->objectsForKey(QStringLiteral("inputs")).isEmpty());
        DSManagedObject *count = only(table->objectsForKey(QStringLiteral("aggregations")));
        EXPECT_EQ(count->integerForKey(QStringLiteral("tag")), 20);
        EXPECT_TRUE(count->boolForKey(QStringLiteral("is_enabled")));
        EXPECT_TRUE(count->objectForKey(QStringLiteral("number_formatter")));
    }
}

TEST_F(DSDataMigrator002Test, LongTableBecomesAStackedTableWithSourceColumnsFirst)
{
    DSManagedObject *stacked = tables[2];
    EXPECT_EQ(columnNames(stacked), (QStringList{"DSTextSourceNameColumn ", "DSNumericSourceIndexColumn ",
                                                 "DSTextStackedColumn label", "DSNumericStackedColumn height"}));
    QStringList inputs;
    for (DSManagedObject *input : ds_sorted(stacked, QStringLiteral("inputs")))
        inputs << QStringLiteral("%1:%2").arg(input->integerForKey(QStringLiteral("index")))
                      .arg(nameOf(input->objectForKey(QStringLiteral("table"))));
    EXPECT_EQ(inputs, (QStringList{"0:Plots", "1:Trees"})) << "in the order of the input tables' old index";
}

TEST_F(DSDataMigrator002Test, ColumnsRenumberedFromZeroWithFormatters)
{
    const QStringList expected{"DSNumericDataColumn height",    "DSNumericDataColumn girth",   "DSNumericDataColumn age",
                               "DSComputeDivisionColumn ratio", "DSComputeDivisionColumn half", "DSComputeLogarithmColumn log age",
                               "DSComputeSumColumn total"};
    EXPECT_EQ(columnNames(tables[1]), expected);
    for (DSManagedObject *table : tables)
        for (qsizetype i = 0; const DSManagedObject *c : ds_sorted(table, QStringLiteral("columns"))) {
            EXPECT_EQ(c->integerForKey(QStringLiteral("index")), i++);
            EXPECT_TRUE(c->objectForKey(QStringLiteral("text_formatter"))) << nameOf(c).toStdString();
            if (c->entity()->relationshipNamed(QStringLiteral("number_formatter"))) {
                EXPECT_TRUE(c->objectForKey(QStringLiteral("number_formatter"))) << nameOf(c).toStdString();
            }
        }
}

TEST_F(DSDataMigrator002Test, FilterReferencesBecomeFilterObjectsAtTheirNumber)
{
    DSManagedObject *filter = only(tables[1]->objectsForKey(QStringLiteral("filters")));
    EXPECT_EQ(filter->integerForKey(QStringLiteral("index")), 2);
    EXPECT_EQ(nameOf(filter->objectForKey(QStringLiteral("column"))), QStringLiteral("girth"));
    EXPECT_TRUE(tables[0]->objectsForKey(QStringLiteral("filters")).isEmpty());
}

TEST_F(DSDataMigrator002Test, ComputedColumnInputsBecomeInputObjects)
{
    struct Case {
        const char *column;
        QStringList inputs;
    };
    const Case cases[] = {
        {"ratio", {"0:height", "1:girth"}},
        {"half", {}},             // a dividend alone
        {"log age", {"0:age"}},   // a to-one input
        {"total", {"0:height", "1:age"}}, // by the inputs' old index
        {"height", {}},
    };
    for (const Case &c : cases) {
        DSManagedObject *made = column(tables[1], QString::fromUtf8(c.column));
        ASSERT_TRUE(made) << c.column;
        QStringList inputs;
        for (DSManagedObject *input : ds_sorted(made, QStringLiteral("inputs")))
            inputs << QStringLiteral("%1:%2").arg(input->integerForKey(QStringLiteral("index")))
                          .arg(nameOf(input->objectForKey(QStringLiteral("column"))));
        EXPECT_EQ(inputs, c.inputs) << c.column;
    }
}

TEST_F(DSDataMigrator002Test, JoinAndIndicatorConditionsAreRebuilt)
{
    DSManagedObject *join = only(column(tables[0], QStringLiteral("joined"))->objectsForKey(QStringLiteral("join_conditions")));
    EXPECT_EQ(join->entity()->name(), QStringLiteral("DSJoinColumnCondition"));
    EXPECT_EQ(join->integerForKey(QStringLiteral("operator")), 2);
    EXPECT_EQ(nameOf(join->objectForKey(QStringLiteral("local_column"))), QStringLiteral("plot"));
    EXPECT_EQ(nameOf(join->objectForKey(QStringLiteral("foreign_column"))), QStringLiteral("height"));
    DSManagedObject *condition = only(column(tables[0], QStringLiteral("big"))->objectsForKey(QStringLiteral("conditions")));
    EXPECT_EQ(condition->entity()->name(), QStringLiteral("DSColumnConditionValue"));
    EXPECT_DOUBLE_EQ(condition->doubleForKey(QStringLiteral("rhs_value")), 1.5);
    EXPECT_EQ(nameOf(condition->objectForKey(QStringLiteral("lhs_column"))), QStringLiteral("plot"));
}

TEST_F(DSDataMigrator002Test, CountSettingsBecomeOneModelCode)
{
    DSManagedObject *model = only(tables[1]->objectsForKey(QStringLiteral("regression_models")));
    const DSObjectList outcomes = ds_sorted(model, QStringLiteral("outcome_variables"));
    ASSERT_EQ(outcomes.size(), 2);
    EXPECT_EQ(outcomes[0]->integerForKey(QStringLiteral("cardinal_model")), 0) << "treat_as_counts NO";
    EXPECT_EQ(nameOf(outcomes[0]->objectForKey(QStringLiteral("weight_column"))), QStringLiteral("girth"));
    EXPECT_EQ(outcomes[1]->integerForKey(QStringLiteral("cardinal_model")), 4);
    EXPECT_EQ(nameOf(outcomes[1]->objectForKey(QStringLiteral("exposure_column"))), QStringLiteral("girth"));
}

// A source the step cannot map ends the step with an error naming it.
TEST(DSDataMigrator002Refusals, UnmappableSourcesFailNamingThem)
{
    struct Case {
        const char *what;
        const char *recipe;
        const char *named;
    };
    const Case cases[] = {
        {"aggregate table over an aggregate table", R"({"model": "DSDataModel", "objects": [
            {"id": "root", "entity": "DSDataRoot"},
            {"id": "T", "entity": "DSDataTable", "data_root": "root", "name": "T"},
            {"id": "A", "entity": "DSAggregateTable", "data_root": "root", "name": "Sums", "input": "T"},
            {"id": "B", "entity": "DSAggregateTable", "data_root": "root", "name": "Sums of sums", "input": "A"}]})",
         "Sums of sums"},
        {"a column of an entity version 2 lacks", R"({"model": "DSDataModel", "objects": [
            {"id": "root", "entity": "DSDataRoot"},
            {"id": "T", "entity": "DSDataTable", "data_root": "root", "name": "T"},
            {"id": "g", "entity": "DSNumericGroupByColumn", "table": "T"}]})",
         "DSNumericGroupByColumn"},
    };
    for (const Case &c : cases) {
        const DSMigrated migrated = ds_migrate_recipe(c.recipe, 2);
        EXPECT_FALSE(migrated.context) << c.what;
        EXPECT_TRUE(migrated.error.localizedDescription.contains(QString::fromUtf8(c.named)))
            << c.what << ": " << migrated.error.localizedDescription.toStdString();
    }
}

TEST(DSDataMigrator003Values, RandomFourByteValuesWidenBitExactly)
{
    QRandomGenerator random(20261210);
    std::vector<quint32> bits(4099);
    for (quint32 &b : bits) {
        do
            b = random.generate();
        while ((b & 0x7f800000u) == 0x7f800000u && (b & 0x007fffffu)); // NaN patterns are checked below
    }
    const std::vector<double> values = widened(floatsDeflated(bits));
    ASSERT_EQ(values.size(), bits.size());
    for (size_t i = 0; i < bits.size(); ++i) {
        float f;
        std::memcpy(&f, &bits[i], 4);
        double expected = f;
        EXPECT_EQ(std::memcmp(&values[i], &expected, 8), 0) << "value " << i << " bits " << std::hex << bits[i];
        EXPECT_EQ(float(values[i]), f) << i;
    }
}

TEST(DSDataMigrator003Values, NaNStaysNaNAndShortTailsAreDropped)
{
    const std::vector<double> nan = widened(floatsDeflated({0x7fc00000u, 0xffc00001u, 0x7f800001u, 0x3f800000u}));
    ASSERT_EQ(nan.size(), 4u);
    EXPECT_TRUE(std::isnan(nan[0]) && std::isnan(nan[1]) && std::isnan(nan[2]));
    EXPECT_EQ(nan[3], 1.0);

    for (qsizetype extra : {1, 2, 3}) {
        const std::vector<double> values = widened(floatsDeflated({0x40490fdbu, 0xc0000000u}, extra));
        ASSERT_EQ(values.size(), 2u) << extra << " trailing bytes";
        EXPECT_EQ(values[1], -2.0);
    }
}

TEST(DSDataMigrator003Values, AbsentEmptyOrDamagedValuesGiveAnEmptyArray)
{
    const QByteArray cases[] = {QByteArray(), QByteArray(""), QByteArray::fromHex("00ff00ff"),
                                zlibDeflate(QByteArray("abc")).value().left(5)};
    for (const QByteArray &stored : cases) {
        QByteArray wide;
        ASSERT_TRUE(DSDataMigrator003::widenStoredValues(stored, &wide));
        EXPECT_TRUE(wide.isEmpty()) << stored.toHex().toStdString();
        EXPECT_FALSE(wide.isNull()) << "an empty array, not none";
    }
}

// Outcome weights and exposure become column relations tagged 0 and 1.
TEST(DSDataMigrator003Relations, WeightAndExposureBecomeTaggedRelations)
{
    const DSMigrated migrated = ds_migrate_package(ds_fixture(QStringLiteral("v2.ostrel")), 2, 3);
    ASSERT_TRUE(migrated.context) << migrated.error.localizedDescription.toStdString();
    DSManagedObject *model = only(migrated.tables().value(0)->objectsForKey(QStringLiteral("regression_models")));
    QStringList outcomes;
    for (DSManagedObject *outcome : ds_sorted(model, QStringLiteral("outcome_variables"))) {
        QStringList relations;
        for (DSManagedObject *r : outcome->objectsForKey(QStringLiteral("column_relations")))
            relations << QStringLiteral("tag %1 %2 applied %3")
                             .arg(r->integerForKey(QStringLiteral("tag")))
                             .arg(nameOf(r->objectForKey(QStringLiteral("column"))))
                             .arg(r->boolForKey(QStringLiteral("is_applied")));
        relations.sort();
        outcomes << relations.join(QStringLiteral(", "));
    }
    EXPECT_EQ(outcomes, (QStringList{"tag 0 count applied 1, tag 1 empty applied 0", // apply_weights YES, apply_expsoure NO
                                     "tag 1 weight applied 1",                        // apply_expsoure YES
                                     ""}));                                           // neither
}
