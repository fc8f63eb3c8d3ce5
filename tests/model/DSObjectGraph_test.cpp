#include "ModelTestSupport.h"
#include "TestColumns.h"

#include "filter/DSTableFilterSet.h"
#include "model/DSDataRoot.h"
#include "model/DSDataTable.h"
#include "model/DSStatDocument.h"
#include "platform/store/DSEntityDescription.h"
#include "platform/store/DSManagedObjectContext.h"
#include "platform/store/DSManagedObjectModel.h"
#include "platform/store/DSObjectGraphDecoder.h"
#include "platform/store/DSObjectPool.h"
#include "regression/DSOutcomeVariable.h"
#include "regression/DSRegressionModel.h"

#include <QCborMap>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <thread>

namespace {

// Live objects of a context by entity, and whether it has changes: what a
// refused decoding must leave exactly as it was.
std::map<QString, qsizetype> census(const DSManagedObjectContext &context)
{
    std::map<QString, qsizetype> counts;
    for (const DSEntityDescription *entity : context.model().entities())
        if (!entity->isAbstract())
            for (DSManagedObject *object : context.objectsOfEntity(entity->name()))
                if (object->entity() == entity)
                    ++counts[entity->name()];
    return counts;
}

// Fills a table (in a context or a pool) with two columns, a model on them
// and a filter on the first: every relationship form a table owns.
struct TableParts
{
    DSTable *table;
    TestNumericColumn *x, *y;
    DSRegressionModel *model;
    DSManagedObject *outcome, *explanatory, *prediction, *filter;
};

TableParts fillTable(DSTable *table, const QString &name)
{
    TableParts p{};
    p.table = table;
    table->setName(name);
    ds_object_cast<DSDataTable>(table)->setNum_records(3);
    p.x = ds_object_cast<TestNumericColumn>(table->insertNewObjectOfEntity(QStringLiteral("DSNumericDataColumn")));
    p.y = ds_object_cast<TestNumericColumn>(table->insertNewObjectOfEntity(QStringLiteral("DSNumericDataColumn")));
    p.x->setName(QStringLiteral("x"));
    p.y->setName(QStringLiteral("y"));
    table->insertNewColumns({p.x, p.y}, 0);
    table->makeDependencies();
    table->setConfidence_level(0.9);
    table->setSort_by_column(p.y);

    p.model = ds_object_cast<DSRegressionModel>(table->insertNewObjectOfEntity(QStringLiteral("DSRegressionModel")));
    p.model->setObject(table, QStringLiteral("table"));
    p.model->setObject(p.y, QStringLiteral("panel_column"));
    p.outcome = table->insertNewObjectOfEntity(QStringLiteral("DSOutcomeVariable"));
    p.outcome->setObject(p.x, QStringLiteral("column"));
    p.outcome->setObject(p.model, QStringLiteral("model"));
    p.explanatory = table->insertNewObjectOfEntity(QStringLiteral("DSExplanatoryColumnVariable"));
    p.explanatory->setObject(p.y, QStringLiteral("column"));
    p.explanatory->setObject(p.model, QStringLiteral("model"));
    p.prediction = table->insertNewObjectOfEntity(QStringLiteral("DSPrediction"));
    p.prediction->setObject(p.outcome, QStringLiteral("outcome_variable"));
    p.prediction->setObject(p.model, QStringLiteral("model"));
    p.model->setActive_outcome(ds_object_cast<DSOutcomeVariable>(p.outcome));
    p.model->setActive_prediction(p.prediction);

    DSManagedObject *filterSet = table->filterSetAtIndex(0);
    p.filter = table->insertNewObjectOfEntity(QStringLiteral("DSTableFilter"));
    p.filter->setObject(p.x, QStringLiteral("column"));
    p.filter->setObject(filterSet, QStringLiteral("owner"));
    return p;
}

class DSObjectGraphTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        useTestColumns();
        document.initWithType(DSStatDocument::nativeType);
        root = document.data_root();
    }

    DSManagedObjectContext &context() { return *document.managedObjectContext(); }

    DSTable *newTable(const QString &name)
    {
        auto *t = context().insertNewObject<DSDataTable>(QStringLiteral("DSDataTable"));
        root->insertTable(t, root->tables().size());
        t->setData_root(root);
        t->makeDependencies();
        t->setName(name);
        return t;
    }

    DSStatDocument document;
    DSDataRoot *root = nullptr;
};

// A copied model's variables keep pointing at the table's columns, which are
// outside the copied set; references inside the set point at the copies.
TEST_F(DSObjectGraphTest, DuplicatingAModelKeepsItsReferencesToColumns)
{
    const TableParts p = fillTable(document.active_table(), QStringLiteral("t"));
    auto *copy = ds_object_cast<DSRegressionModel>(root->duplicateManagedObject(p.model));
    ASSERT_TRUE(copy);
    EXPECT_NE(copy, p.model);
    EXPECT_EQ(copy->objectForKey(QStringLiteral("table")), p.table);
    EXPECT_EQ(p.table->objectsForKey(QStringLiteral("regression_models")).size(), 2);
    EXPECT_EQ(copy->objectForKey(QStringLiteral("panel_column")), p.y);

    const DSObjectList outcomes = copy->objectsForKey(QStringLiteral("outcome_variables"));
    const DSObjectList explanatory = copy->objectsForKey(QStringLiteral("explanatory_variables"));
    const DSObjectList predictions = copy->objectsForKey(QStringLiteral("predictions"));
    ASSERT_EQ(outcomes.size(), 1);
    ASSERT_EQ(explanatory.size(), 1);
    ASSERT_EQ(predictions.size(), 1);
    EXPECT_NE(outcomes.first(), p.outcome);
    EXPECT_EQ(outcomes.first()->objectForKey(QStringLiteral("column")), p.x);
    EXPECT_EQ(explanatory.first()->objectForKey(QStringLiteral("column")), p.y);
    EXPECT_EQ(predictions.first()->objectForKey(QStringLiteral("outcome_variable")), outcomes.first());
    EXPECT_EQ(copy->active_outcome(), outcomes.first());
    EXPECT_EQ(copy->active_prediction(), predictions.first());
    EXPECT_EQ(copy->active_explanatory_variable(), nullptr);
    // The source is untouched.
    EXPECT_EQ(p.model->objectsForKey(QStringLiteral("outcome_variables")), DSObjectList{p.outcome});
    EXPECT_EQ(p.prediction->objectForKey(QStringLiteral("outcome_variable")), p.outcome);
}

// A copied table brings exactly what it owns; a model of another table that
// refers to the copied table's column is not copied and keeps its reference.
TEST_F(DSObjectGraphTest, DuplicatingATableCopiesExactlyItsDependents)
{
    const TableParts p = fillTable(document.active_table(), QStringLiteral("t"));
    DSTable *other = newTable(QStringLiteral("other"));
    DSManagedObject *foreignModel = context().insertNewObject(QStringLiteral("DSRegressionModel"));
    foreignModel->setObject(other, QStringLiteral("table"));
    foreignModel->setObject(p.x, QStringLiteral("plot_against_column"));

    std::map<QString, qsizetype> expected = census(context());
    for (DSManagedObject *object : p.table->managedObjectDependencies())
        ++expected[object->entity()->name()];

    auto *copy = ds_object_cast<DSDataTable>(root->duplicateManagedObject(p.table));
    ASSERT_TRUE(copy);
    EXPECT_EQ(census(context()), expected);
    EXPECT_EQ(copy->data_root(), root);
    EXPECT_EQ(copy->name(), QStringLiteral("t"));
    EXPECT_DOUBLE_EQ(copy->confidence_level(), 0.9);
    EXPECT_EQ(copy->num_records(), 3);

    const QList<DSColumn *> columns = copy->sortedColumns();
    ASSERT_EQ(columns.size(), 2);
    EXPECT_NE(columns[0], p.x);
    EXPECT_EQ(columns[0]->name(), QStringLiteral("x"));
    EXPECT_EQ(copy->sort_by_column(), columns[1]);
    EXPECT_EQ(copy->columnAtIndex(1), columns[1]);
    DSManagedObject *filter = copy->filterSetAtIndex(0)->objectsForKey(QStringLiteral("filters")).first();
    EXPECT_EQ(filter->objectForKey(QStringLiteral("column")), columns[0]);
    auto *model = ds_object_cast<DSRegressionModel>(copy->sortedRegressionModels().first());
    EXPECT_EQ(model->objectForKey(QStringLiteral("panel_column")), columns[1]);
    EXPECT_EQ(model->objectsForKey(QStringLiteral("outcome_variables")).first()->objectForKey(QStringLiteral("column")),
              columns[0]);
    EXPECT_EQ(foreignModel->objectForKey(QStringLiteral("plot_against_column")), p.x);
    // In memory settings start afresh on the copy.
    EXPECT_EQ(copy->viewFlags(), 0x10101u);
}

TEST_F(DSObjectGraphTest, AnAttributeAbsentFromTheEncodingKeepsItsDefault)
{
    const TableParts p = fillTable(document.active_table(), QStringLiteral("t"));
    QCborArray graph = p.table->encodedManagedObjectDependencies();
    QCborMap encodedTable = graph.at(0).toMap();
    EXPECT_FALSE(encodedTable.contains(QStringLiteral("label_colors"))) << "an attribute without a value is absent";
    EXPECT_EQ(encodedTable.value(QStringLiteral("confidence_level")).toDouble(), 0.9);
    encodedTable.remove(QStringLiteral("confidence_level"));
    graph[0] = encodedTable;
    DSStoreError error;
    const DSObjectList made = DSObjectGraphDecoder::decode(
        context(), graph, [](const QString &) { return nullptr; }, DSObjectGraphDecoder::Unresolved::Drop, &error);
    ASSERT_FALSE(made.isEmpty()) << error.message().toStdString();
    auto *copy = ds_object_cast<DSTable>(made.first());
    EXPECT_DOUBLE_EQ(copy->confidence_level(), 0.95);
    EXPECT_EQ(copy->name(), QStringLiteral("t"));
    EXPECT_EQ(copy->data_root(), nullptr) << "the root was not resolvable and is dropped";
}

// An import's road: a table built in no context on a worker thread, handed
// to the main thread, copied into the document, saved and reopened.
TEST_F(DSObjectGraphTest, TableBuiltOnAWorkerThreadArrivesWhole)
{
    auto pool = std::make_shared<DSObjectPool>(document.managedObjectModel());
    DSTable *built = nullptr;
    std::thread worker([&] {
        auto *table = pool->insertNewObject<DSDataTable>(QStringLiteral("DSDataTable"));
        fillTable(table, QStringLiteral("Imported"));
        built = table;
    });
    worker.join();
    ASSERT_TRUE(built);
    EXPECT_EQ(built->managedObjectContext(), nullptr);

    DSError error;
    auto *copy = ds_object_cast<DSTable>(root->duplicateManagedObject(built, &error));
    ASSERT_TRUE(copy) << error.localizedDescription.toStdString();
    root->insertTable(copy, root->tables().size());
    copy->setData_root(root);
    pool.reset();

    const QList<DSColumn *> columns = copy->sortedColumns();
    ASSERT_EQ(columns.size(), 2);
    EXPECT_EQ(columns[0]->managedObjectContext(), &context());
    EXPECT_EQ(copy->sort_by_column(), columns[1]);
    auto *model = ds_object_cast<DSRegressionModel>(copy->sortedRegressionModels().first());
    EXPECT_EQ(model->objectsForKey(QStringLiteral("outcome_variables")).first()->objectForKey(QStringLiteral("column")),
              columns[0]);
    EXPECT_EQ(copy->filterSetAtIndex(0)->objectsForKey(QStringLiteral("filters")).first()->objectForKey(
                  QStringLiteral("column")),
              columns[0]);
    EXPECT_EQ(copy->sortedAggregations().size(), 1);
    EXPECT_EQ(copy->sortedPivots().size(), 1);

    QTemporaryDir dir;
    const QString package = dir.filePath(QStringLiteral("Imported.ostrel"));
    ASSERT_TRUE(document.writeSafelyToURL(QUrl::fromLocalFile(package), DSStatDocument::nativeType,
                                          DSSaveOperation::SaveAs, &error))
        << error.localizedDescription.toStdString();
    const QString here = ds_describe_document(document);
    EXPECT_TRUE(here.contains(QStringLiteral("“Imported” index 1 rows 3"))) << here.toStdString();
    EXPECT_TRUE(here.contains(QStringLiteral("DSOutcomeVariable × 1"))) << here.toStdString();
    const ChildResult child = ds_run_child(QStringLiteral("describe"), {package, DSStatDocument::nativeType});
    ASSERT_EQ(child.exitCode, 0);
    EXPECT_EQ(child.output, here);
}

// Bytes from the pasteboard are untrusted: a malformed or hostile graph is
// refused with an error and leaves the document exactly as it was.
TEST_F(DSObjectGraphTest, HostileArchivesAreRefusedAndChangeNothing)
{
    const TableParts p = fillTable(document.active_table(), QStringLiteral("t"));
    DSTable *doomed = newTable(QStringLiteral("doomed"));
    const QString doomedId = doomed->uri().toString();
    context().deleteObject(doomed);
    context().processPendingChanges();

    QCborArray valid;
    ASSERT_TRUE(DSObjectGraphDecoder::unarchive(DSDataRoot::archivedManagedObjectDependencies(p.table), &valid));
    const QString tableId = valid.at(0).toMap().value(QStringLiteral("id")).toString();
    qsizetype filterSetAt = -1;
    for (qsizetype i = 0; i < valid.size(); ++i)
        if (valid.at(i).toMap().value(QStringLiteral("class")).toString() == QLatin1String("DSTableFilterSet"))
            filterSetAt = i;
    ASSERT_GE(filterSetAt, 0);
    const QString filterSetId = valid.at(filterSetAt).toMap().value(QStringLiteral("id")).toString();

    // A case edits the first dictionary (the table), or the whole graph.
    using Edit = std::function<void(QCborArray &graph, QCborMap &table)>;
    auto set = [](const char *key, QCborValue value) -> Edit {
        return [key, value](QCborArray &, QCborMap &table) { table.insert(QString::fromLatin1(key), value); };
    };
    struct Case {
        const char *what;
        Edit edit;
        QByteArray bytes;  // used instead of the edited graph when set
    };
    QCborMap nonTextKey;
    nonTextKey.insert(7, 1);
    const Case cases[] = {
        {"not CBOR at all", nullptr, QByteArray("\xff\x00garbage", 9)},
        {"a dictionary, not a list", nullptr, QCborValue(QCborMap{{QStringLiteral("a"), 1}}).toCbor()},
        {"an empty list", [](QCborArray &g, QCborMap &) { g = QCborArray(); }, {}},
        {"an element that is not a dictionary", [](QCborArray &g, QCborMap &) { g.append(3); }, {}},
        {"an unknown entity", set("class", QStringLiteral("DSEvil")), {}},
        {"an abstract entity", set("class", QStringLiteral("DSTable")), {}},
        {"an entity that is no text", set("class", 12), {}},
        {"no identity", [](QCborArray &, QCborMap &t) { t.remove(QStringLiteral("id")); }, {}},
        {"an overlong identity", set("id", QString(3000, QLatin1Char('x'))), {}},
        {"two objects with one identity",
         [](QCborArray &g, QCborMap &t) {
             QCborMap second = g.at(1).toMap();
             second.insert(QStringLiteral("id"), t.value(QStringLiteral("id")));
             g[1] = second;
         },
         {}},
        {"a key that is not text", [&](QCborArray &g, QCborMap &) { g.append(nonTextKey); }, {}},
        {"an unknown property", set("evil_key", 1), {}},
        {"text for a string's place taken by a number", set("name", 42), {}},
        {"text for an integer", set("num_records", QStringLiteral("many")), {}},
        {"a whole number for a boolean", set("apply_frequency_weights", 1), {}},
        {"a boolean for a double", set("confidence_level", true), {}},
        {"a double for an integer", set("num_records", 2.5), {}},
        {"a date tag inside a property list", set("label_colors", QCborValue(QCborKnownTags::DateTimeString, QStringLiteral("2020-01-01T00:00:00Z"))), {}},
        {"a dangling to-many reference", set("columns", QCborArray{QStringLiteral("x-ostrel://nowhere/DSNumericDataColumn/p9")}), {}},
        {"a dangling to-one reference", set("sort_by_column", QStringLiteral("x-ostrel://nowhere/DSNumericDataColumn/p9")), {}},
        {"a reference to an object of the wrong entity", set("sort_by_column", filterSetId), {}},
        {"a reference to a deleted object", set("frequency_weights_column", doomedId), {}},
        {"a list for a to-one relationship", set("sort_by_column", QCborArray{tableId}), {}},
        {"an identity for a to-many relationship", set("columns", tableId), {}},
        {"a number in a to-many list", set("pivots", QCborArray{1}), {}},
        {"two columns owning one number formatter",
         [](QCborArray &g, QCborMap &) {
             qsizetype first = -1;
             for (qsizetype i = 0; i < g.size(); ++i) {
                 QCborMap column = g.at(i).toMap();
                 if (column.value(QStringLiteral("class")).toString() != QLatin1String("DSNumericDataColumn"))
                     continue;
                 if (first < 0) {
                     first = i;
                     continue;
                 }
                 column.insert(QStringLiteral("number_formatter"), g.at(first).toMap().value(QStringLiteral("number_formatter")));
                 g[i] = column;
                 return;
             }
             FAIL() << "the table has fewer than two numeric columns";
         },
         {}},
        // The smallest such paste: a table, two columns, one formatter.
        {"a pasted table whose two columns own one formatter",
         [](QCborArray &g, QCborMap &t) {
             const auto object = [](const char *id, const char *entity) {
                 return QCborMap{{QStringLiteral("id"), QString::fromLatin1(id)},
                                 {QStringLiteral("class"), QString::fromLatin1(entity)}};
             };
             QCborMap table = object("t", "DSDataTable"), a = object("a", "DSNumericDataColumn"),
                      b = object("b", "DSNumericDataColumn");
             table.insert(QStringLiteral("columns"), QCborArray{QStringLiteral("a"), QStringLiteral("b")});
             a.insert(QStringLiteral("number_formatter"), QStringLiteral("f"));
             b.insert(QStringLiteral("number_formatter"), QStringLiteral("f"));
             g = QCborArray{table, a, b, object("f", "DSNumberFormatter")};
             t = table;
         },
         {}},
    };

    const std::map<QString, qsizetype> before = census(context());
    const QString described = ds_describe_document(document);
    for (const Case &c : cases) {
        QByteArray bytes = c.bytes;
        if (bytes.isEmpty()) {
            QCborArray graph = valid;
            QCborMap table = graph.at(0).toMap();
            c.edit(graph, table);
            if (!graph.isEmpty())
                graph[0] = table;
            bytes = QCborValue(graph).toCbor();
        }
        DSError error;
        EXPECT_TRUE(root->insertObjectsFromArchive(bytes, &error).isEmpty()) << c.what;
        EXPECT_FALSE(error.localizedDescription.isEmpty()) << c.what;
        context().processPendingChanges();
        EXPECT_EQ(census(context()), before) << c.what;
        EXPECT_EQ(ds_describe_document(document), described) << c.what;
    }

    // The unedited archive goes in whole.
    DSError error;
    const DSObjectList pasted = root->insertObjectsFromArchive(QCborValue(valid).toCbor(), &error);
    ASSERT_FALSE(pasted.isEmpty()) << error.localizedDescription.toStdString();
    EXPECT_EQ(pasted.size(), valid.size());
    EXPECT_EQ(ds_object_cast<DSTable>(pasted.first())->sortedColumns().size(), 2);
    EXPECT_FALSE(ds_object_cast<DSDataTable>(pasted.first())->isDamaged());

    // A row count out of reach goes in as damage of the pasted table: it
    // reads as the rows its columns hold (none), not two billion.
    QCborArray huge = valid;
    QCborMap pastedTable = huge.at(0).toMap();
    pastedTable.insert(QStringLiteral("num_records"), qint64(1) << 40);
    huge[0] = pastedTable;
    const DSObjectList damaged = root->insertObjectsFromArchive(QCborValue(huge).toCbor(), &error);
    ASSERT_FALSE(damaged.isEmpty()) << error.localizedDescription.toStdString();
    auto *hugeTable = ds_object_cast<DSDataTable>(damaged.first());
    EXPECT_TRUE(hugeTable->isDamaged());
    EXPECT_EQ(hugeTable->num_records(), 0);
    EXPECT_EQ(hugeTable->storedRowCount(), qint64(1) << 40);
}

// A table dragged to another document: the archive carries no reference
// that leaves the table, so it decodes whole in a document that has none of
// the source's objects.
TEST_F(DSObjectGraphTest, ArchivedTableGoesToAnotherDocument)
{
    const TableParts p = fillTable(document.active_table(), QStringLiteral("travelling"));
    DSTable *other = newTable(QStringLiteral("other"));
    // A reference out of the table (its model plots against another table's
    // column) must not make the archive unusable elsewhere.
    DSManagedObject *elsewhere = context().insertNewObject(QStringLiteral("DSNumericDataColumn"));
    other->insertNewColumns({ds_object_cast<DSColumn>(elsewhere)}, 0);
    p.model->setObject(elsewhere, QStringLiteral("plot_against_column"));
    const QByteArray archive = DSDataRoot::archivedManagedObjectDependencies(p.table);

    DSStatDocument target;
    target.initWithType(DSStatDocument::nativeType);
    DSError error;
    const DSObjectList objects = target.data_root()->insertObjectsFromArchive(archive, &error);
    ASSERT_FALSE(objects.isEmpty()) << error.localizedDescription.toStdString();
    auto *table = ds_object_cast<DSTable>(objects.first());
    ASSERT_TRUE(table);
    EXPECT_EQ(table->data_root(), nullptr) << "the caller places the table";
    EXPECT_EQ(table->managedObjectContext(), target.managedObjectContext());
    EXPECT_EQ(table->sortedColumns().size(), 2);
    auto *model = ds_object_cast<DSRegressionModel>(table->sortedRegressionModels().first());
    EXPECT_EQ(model->objectForKey(QStringLiteral("plot_against_column")), nullptr);
    EXPECT_EQ(model->objectForKey(QStringLiteral("panel_column")), table->sortedColumns()[1]);
}

} // namespace
