#include "ModelTestSupport.h"
#include "TestColumns.h"

#include "filter/DSTableFilterSet.h"
#include "model/DSDataRoot.h"
#include "model/DSDataTable.h"
#include "model/DSStatDocument.h"
#include "model/DSTextColumn.h"
#include "model/DSUserDefaults.h"
#include "model/util/ds_containers.h"
#include "pivot/DSPivot.h"
#include "platform/store/DSEntityDescription.h"
#include "platform/store/DSManagedObjectContext.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

// A new document whose first table holds the named columns at 0, 1, ...
class DSTableTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        useTestColumns();
        document.initWithType(DSStatDocument::nativeType);
        table = ds_object_cast<DSDataTable>(document.active_table());
    }

    DSManagedObjectContext &context() { return *document.managedObjectContext(); }

    template <class T = TestNumericColumn>
    T *newColumn(const QString &name, const char *entity = "DSNumericDataColumn")
    {
        auto *column = context().insertNewObject<T>(QString::fromLatin1(entity));
        column->setName(name);
        return column;
    }

    QList<DSColumn *> addColumns(const QStringList &names)
    {
        QList<DSColumn *> columns;
        for (const QString &name : names)
            columns.append(newColumn(name));
        table->insertNewColumns(columns, table->columns().size());
        return columns;
    }

    DSTable *newTable(const QString &name)
    {
        auto *t = context().insertNewObject<DSDataTable>(QStringLiteral("DSDataTable"));
        t->setName(name);
        t->setIndex(document.data_root()->tables().size());
        t->setData_root(document.data_root());
        t->makeDependencies();
        return t;
    }

    static QList<qint64> indexes(const QList<DSColumn *> &columns)
    {
        QList<qint64> result;
        for (const DSColumn *c : columns)
            result.append(c->index());
        return result;
    }

    DSStatDocument document;
    DSDataTable *table = nullptr;
};

// The ordering rule as one table of cases, on a table's columns (the
// generic operations every ordered relationship uses) and on the root's tables.
TEST_F(DSTableTest, IndexRules)
{
    enum class Op { Move, Remove, InsertNew, InsertTable };
    struct Case {
        const char *what;
        int members;
        Op op;
        qint64 a, b;
        QList<qint64> expected;  // the original members' indexes after the operation
        QList<qint64> added;     // new members' indexes
    };
    const Case cases[] = {
        {"move 0 to 2", 4, Op::Move, 0, 2, {2, 0, 1, 3}, {}},
        {"move 3 to 1", 4, Op::Move, 3, 1, {0, 2, 3, 1}, {}},
        {"move to the same index", 4, Op::Move, 2, 2, {0, 1, 2, 3}, {}},
        {"remove at 1 of 4", 4, Op::Remove, 1, 0, {0, -1, 1, 2}, {}},
        {"remove where nothing is", 3, Op::Remove, 7, 0, {0, 1, 2}, {}},
        {"insert 3 new at 1", 3, Op::InsertNew, 1, 3, {0, 4, 5}, {1, 2, 3}},
        {"insert a table at 1 of 3", 3, Op::InsertTable, 1, 0, {0, 2, 3}, {1}},
    };
    for (const Case &c : cases) {
        DSStatDocument doc;
        doc.initWithType(DSStatDocument::nativeType);
        DSTable *t = doc.active_table();
        DSManagedObjectContext &ctx = *doc.managedObjectContext();
        QList<DSColumn *> columns;
        for (int i = 0; i < c.members; ++i) {
            auto *column = ctx.insertNewObject<DSColumn>(QStringLiteral("DSNumericDataColumn"));
            columns.append(column);
        }
        t->insertNewColumns(columns, 0);
        QList<DSColumn *> added;
        switch (c.op) {
        case Op::Move:
            t->moveColumnAtIndex(c.a, c.b);
            break;
        case Op::Remove: {
            DSColumn *removed = t->removeColumnFromIndex(c.a);
            EXPECT_EQ(removed, c.a < c.members ? columns[c.a] : nullptr) << c.what;
            break;
        }
        case Op::InsertNew:
            for (qint64 k = 0; k < c.b; ++k)
                added.append(ctx.insertNewObject<DSColumn>(QStringLiteral("DSNumericDataColumn")));
            t->insertNewColumns(added, c.a);
            EXPECT_EQ(t->columnAtIndex(2), added[1]) << c.what;
            break;
        case Op::InsertTable: {
            // The same rule on the root's tables: three tables, a fourth at 1.
            DSDataRoot *root = doc.data_root();
            QList<DSTable *> tables{t};
            for (int i = 1; i < c.members; ++i) {
                auto *other = ctx.insertNewObject<DSDataTable>(QStringLiteral("DSDataTable"));
                other->setIndex(i);
                other->setData_root(root);
                tables.append(other);
            }
            auto *inserted = ctx.insertNewObject<DSDataTable>(QStringLiteral("DSDataTable"));
            root->insertTable(inserted, c.a);
            inserted->setData_root(root);
            QList<qint64> tableIndexes;
            for (DSTable *other : tables)
                tableIndexes.append(other->index());
            EXPECT_EQ(tableIndexes, c.expected) << c.what;
            EXPECT_EQ(inserted->index(), c.added.first()) << c.what;
            EXPECT_EQ(root->tableAtIndex(1), inserted) << c.what;
            EXPECT_EQ(root->sortedTables().last(), tables.last()) << c.what;
            continue;
        }
        }
        EXPECT_EQ(indexes(columns), c.expected) << c.what;
        EXPECT_EQ(indexes(added), c.added) << c.what;
        // Position lookups follow the new order.
        for (DSColumn *column : columns + added) {
            if (column->index() >= 0) {
                EXPECT_EQ(t->columnAtIndex(column->index()), column) << c.what;
            }
        }
    }
}

TEST_F(DSTableTest, ListConventionsAndPositionLookups)
{
    const QList<DSColumn *> columns = addColumns({"a", "b", "c"});
    const QList<DSColumn *> sorted = table->sortedColumns();
    EXPECT_EQ(ds_list_at(sorted, -1), columns[2]);
    EXPECT_EQ(ds_list_at(sorted, 0), columns[0]);
    EXPECT_EQ(ds_list_at(sorted, 3), nullptr);
    QList<DSColumn *> list = sorted;
    EXPECT_TRUE(ds_list_set(list, 3, columns[0]));
    EXPECT_EQ(list.size(), 4);
    EXPECT_FALSE(ds_list_set(list, 9, columns[0]));
    QVariantMap map{{QStringLiteral("k"), 1}};
    ds_map_set(map, QStringLiteral("k"), QVariant());
    EXPECT_TRUE(map.isEmpty());

    EXPECT_EQ(table->columnAtIndex(-1), nullptr);
    EXPECT_EQ(table->columnAtIndex(3), nullptr);
    // A change made behind the table's back does not leave a stale lookup.
    columns[0]->setIndex(2);
    columns[2]->setIndex(0);
    EXPECT_EQ(table->columnAtIndex(0), columns[2]);
}

TEST_F(DSTableTest, NewTableOwnsOneAggregationPivotAndFilterSet)
{
    for (int pass = 0; pass < 2; ++pass) {
        table->makeDependencies();
        const DSObjectList aggregations = table->sortedAggregations();
        ASSERT_EQ(aggregations.size(), 1);
        EXPECT_EQ(aggregations.first()->entity()->name(), QStringLiteral("DSColumnAggregation"));
        EXPECT_EQ(aggregations.first()->integerForKey(QStringLiteral("tag")), 20);
        EXPECT_TRUE(aggregations.first()->boolForKey(QStringLiteral("is_enabled")));
        EXPECT_EQ(table->sortedColumnAggregations().size(), 1);
        EXPECT_EQ(table->sortedComputedAggregations().size(), 0);
        EXPECT_EQ(table->sortedPivots().size(), 1);
        EXPECT_EQ(table->objectsForKey(QStringLiteral("filter_sets")).size(), 1);
        EXPECT_EQ(table->pivotAtIndex(0), table->sortedPivots().first());
        EXPECT_TRUE(table->filterSetAtIndex(0));
    }
}

// Weights from a numeric column: whole numbers from 1 up to the largest
// int32; everything else weighs nothing (no conversion out of range).
TEST_F(DSTableTest, FrequencyWeights)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    auto *weights = newColumn(QStringLiteral("w"));
    weights->values = {2, 2.5, -1, nan, 0, 2147483647.0, 2147483648.0, 3e9, 1e300, -3e9};
    table->insertNewColumns({weights}, 0);
    table->setNum_records(qint64(weights->values.size()));
    const int32_t *out = nullptr;
    EXPECT_EQ(table->getFrequencyWeights(&out), 0) << "not weighted until applied";
    EXPECT_EQ(out, nullptr);
    table->setFrequency_weights_column(weights);
    EXPECT_EQ(table->getFrequencyWeights(&out), 0) << "a weights column alone applies nothing";
    table->setApply_frequency_weights(true);
    EXPECT_TRUE(table->isFrequencyWeighted());
    ASSERT_EQ(table->getFrequencyWeights(&out), 10);
    const std::vector<int32_t> expected{2, 0, 0, 0, 0, 2147483647, 0, 0, 0, 0};
    EXPECT_EQ(std::vector<int32_t>(out, out + 10), expected);

    // An indicator column: a true row weighs 1 unless it is missing.
    auto *indicator = newColumn<TestIndicatorColumn>(QStringLiteral("flag"), "DSIndicatorLocalColumn");
    indicator->bits = {0b00001011, 0};
    indicator->missing = {0b00000010, 0};
    table->insertNewColumns({indicator}, 1);
    table->setFrequency_weights_column(indicator);
    ASSERT_EQ(table->getFrequencyWeights(&out), 10);
    EXPECT_EQ(std::vector<int32_t>(out, out + 4), (std::vector<int32_t>{1, 0, 0, 1}));
    indicator->bits.clear();
    ASSERT_EQ(table->getFrequencyWeights(&out), 10);
    EXPECT_EQ(std::vector<int32_t>(out, out + 10), std::vector<int32_t>(10, 0));

    // Masks that cover fewer rows than the table: the rows past them weigh
    // nothing, and nothing past the masks is read.
    indicator->bits = {0xFF};
    indicator->missing = {0x01};
    indicator->bits.shrink_to_fit();  // so that a read past them is caught
    indicator->missing.shrink_to_fit();
    ASSERT_EQ(table->getFrequencyWeights(&out), 10);
    EXPECT_EQ(std::vector<int32_t>(out, out + 10), (std::vector<int32_t>{0, 1, 1, 1, 1, 1, 1, 1, 0, 0}));
}

TEST_F(DSTableTest, CompleteRowMask)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    auto *x = newColumn(QStringLiteral("x"));
    auto *y = newColumn(QStringLiteral("y"));
    x->values = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    y->values = {1, nan, 3, 4, 5, 6, 7, 8, 9, nan};
    table->insertNewColumns({x, y}, 0);
    table->setNum_records(10);
    const uint8_t *out = reinterpret_cast<const uint8_t *>(1);

    // No include mask and no missing rows: no mask, and still the length.
    EXPECT_EQ(table->getNonmissingMask(&out, {x}, nullptr, 0), 2);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(x->getNonmissingMask(&out, nullptr, 0), 2);
    EXPECT_EQ(out, nullptr);

    struct Case {
        const char *what;
        QList<DSColumn *> columns;
        std::vector<uint8_t> mask;
        bool hasMask;
        std::vector<uint8_t> expected;
    };
    const Case cases[] = {
        {"missing rows of y", {x, y}, {}, false, {0xFD, 0x01}},
        {"include mask alone", {x}, {0x0F, 0xFF}, true, {0x0F, 0x03}},
        {"include mask and y", {y}, {0xFF, 0xFF}, true, {0xFD, 0x01}},
        {"present mask of length 0 selects no row", {x}, {}, true, {0x00, 0x00}},
        {"a short mask leaves the rows past it out", {x}, {0xFF}, true, {0xFF, 0x00}},
    };
    for (const Case &c : cases) {
        // The mask sits at the end of its own allocation, so reading past its
        // length is caught by the address sanitizer.
        std::unique_ptr<uint8_t[]> owned(new uint8_t[c.mask.size() + 1]);
        uint8_t *mask = owned.get() + 1;
        std::copy(c.mask.begin(), c.mask.end(), mask);
        ASSERT_EQ(table->getNonmissingMask(&out, c.columns, c.hasMask ? mask : nullptr, qint64(c.mask.size())), 2)
            << c.what;
        ASSERT_NE(out, nullptr) << c.what;
        EXPECT_EQ(std::vector<uint8_t>(out, out + 2), c.expected) << c.what;
    }
}

// A row count that no table can have (from a damaged file or a hostile
// pasted archive, which only check that it is an integer) reads as the
// nearest count a table can have: nothing sizes a buffer by it.
TEST_F(DSTableTest, StoredRowCountsOutsideTheRangeOfATable)
{
    auto *weights = newColumn(QStringLiteral("w"));
    weights->values = {1, 2, 3};
    table->insertNewColumns({weights}, 0);
    table->setFrequency_weights_column(weights);
    table->setApply_frequency_weights(true);
    const struct {
        qlonglong stored;
        qint64 rows;
    } cases[] = {{-5, 0}, {std::numeric_limits<qlonglong>::min(), 0}, {3, 3},
                 {qlonglong(1) << 40, 2147483647}};
    for (const auto &c : cases) {
        table->setPrimitiveValue(c.stored, QStringLiteral("num_records"));
        EXPECT_EQ(table->num_records(), c.rows) << c.stored;
        if (c.rows > 3)
            continue;  // a real table of that size is not made here
        const int32_t *w = nullptr;
        EXPECT_EQ(table->getFrequencyWeights(&w), c.rows) << c.stored;
        const uint8_t *mask = nullptr;
        EXPECT_EQ(table->getNonmissingMask(&mask, {weights}, nullptr, 0), (c.rows + 7) / 8) << c.stored;
    }
}

TEST_F(DSTableTest, DroppingAndAddingRowsKeepsTheCount)
{
    table->setNum_records(10);
    table->dropRows({1, 4, 8});
    EXPECT_EQ(table->num_records(), 7);
    table->addRows(5);
    EXPECT_EQ(table->num_records(), 12);
}

// Search terms: every whitespace character separates two terms, so two
// blanks make an empty term, which matches anything.
TEST_F(DSTableTest, ColumnSearch)
{
    const QList<DSColumn *> c = addColumns({"Age group", "age", "Group", "AGEGROUP", "Income", "Zürich"});
    c[4]->setTitle(QStringLiteral("household income by age group"));
    struct Case {
        const char *text;
        QList<DSColumn *> expected;
    };
    QString manyTerms;
    for (int i = 0; i < 33; ++i)
        manyTerms += QStringLiteral("a ");
    const Case cases[] = {
        {"", c},
        {" \t  ", c},
        {"age  group", {c[0], c[3], c[4]}},
        {"  AGE\tGroup ", {c[0], c[3], c[4]}},
        {"group", {c[0], c[2], c[3], c[4]}},
        {"zürich", {c[5]}},
        {"ZÜRICH", {}},
        {"household", {c[4]}},
    };
    for (const Case &k : cases)
        EXPECT_EQ(table->columnsMatching(QString::fromUtf8(k.text)), k.expected) << k.text;
    EXPECT_TRUE(table->columnsMatching(manyTerms).isEmpty());
    EXPECT_EQ(table->columnsMatching(manyTerms.left(64)), (QList<DSColumn *>{c[0], c[1], c[3], c[4]}))
        << "32 terms still search";
}

// Deleting the active table activates the table that moves into its place,
// else the one before it; deleting the only table leaves none.
TEST_F(DSTableTest, ActiveTableAfterDeletingTheActiveOne)
{
    DSDataRoot *root = document.data_root();
    DSTable *t0 = table;
    DSTable *t1 = newTable(QStringLiteral("one"));
    DSTable *t2 = newTable(QStringLiteral("two"));
    context().processPendingChanges();

    root->setActive_table(t1);
    ASSERT_TRUE(context().deleteObject(t1));
    context().processPendingChanges();
    EXPECT_EQ(root->active_table(), t2);
    EXPECT_EQ(t2->index(), 1);
    EXPECT_EQ(t1->index(), -1);
    EXPECT_EQ(root->sortedTables(), (QList<DSTable *>{t0, t2}));

    ASSERT_TRUE(context().deleteObject(t2));
    context().processPendingChanges();
    EXPECT_EQ(root->active_table(), t0) << "the table before it";

    root->setActive_table(t0);
    ASSERT_TRUE(context().deleteObject(t0));
    EXPECT_EQ(root->active_table(), nullptr);
    EXPECT_TRUE(root->tables().isEmpty());
    context().processPendingChanges();

    // Undo brings the tables and their order back.
    context().undoManager()->undo();
    context().undoManager()->undo();
    context().undoManager()->undo();
    QList<qint64> order;
    for (DSTable *t : root->sortedTables())
        order.append(t->index());
    EXPECT_EQ(root->sortedTables(), (QList<DSTable *>{t0, t1, t2}));
    EXPECT_EQ(order, (QList<qint64>{0, 1, 2}));
}

// View flags go through their setters one byte at a time.
TEST_F(DSTableTest, ViewFlagsDefaultsAndPadlocks)
{
    EXPECT_EQ(table->viewFlags(), 0x10101u);
    EXPECT_TRUE(table->showTable());
    EXPECT_TRUE(table->showRecords());
    EXPECT_TRUE(table->showModeler());
    // Setters as plain functions, not member pointers: GCC's alignment check
    // takes a member pointer's function address, which -O1 leaves
    // unaligned, for an object's.
    using Setter = void (*)(DSTable *, bool);
    struct Step {
        Setter set;
        bool show;
        quint64 expected;
    };
    const Step steps[] = {
        {[](DSTable *t, bool on) { t->setShowSummary(on); }, true, 0x10201},
        {[](DSTable *t, bool on) { t->setShowModel(on); }, true, 0x10202},
        {[](DSTable *t, bool on) { t->setShowModel(on); }, false, 0x10200},
        {[](DSTable *t, bool on) { t->setShowPredictor(on); }, true, 0x20200},
        {[](DSTable *t, bool on) { t->setShowPivot(on); }, true, 0x20400},
        {[](DSTable *t, bool on) { t->setShowRecords(on); }, false, 0x20000},
    };
    for (const Step &s : steps) {
        s.set(table, s.show);
        EXPECT_EQ(table->viewFlags(), s.expected) << std::hex << s.expected;
    }
    table->setViewFlags(0xAB000000u | 0x1);
    table->setShowModel(true);
    EXPECT_EQ(table->viewFlags(), 0xAB000002u) << "higher bytes are carried along";

    // Defaults of a table inserted anywhere but a new document.
    DSTable *other = newTable(QStringLiteral("other"));
    EXPECT_EQ(other->viewFlags(), 0x10101u);
    EXPECT_TRUE(other->showSummaryCharts());
    EXPECT_FALSE(other->edit_data_unlocked());
    EXPECT_FALSE(other->build_model_unlocked());
    EXPECT_FALSE(other->show_filters || other->show_pivots || other->show_results || other->show_instruments
                 || other->show_constant_hazard_line);
    EXPECT_EQ(other->active_model(), nullptr);
    EXPECT_EQ(other->active_pivot(), nullptr);
    EXPECT_EQ(other->active_filter_set(), nullptr);
    EXPECT_EQ(other->column_filter_summary, QString());
    EXPECT_EQ(other->pivot_numeric_functions(), (DSIndexSet{0}));
    EXPECT_EQ(other->pivot_category_functions(), (DSIndexSet{21}));
    EXPECT_EQ(other->pivot_time_functions(), (DSIndexSet{10}));
    EXPECT_EQ(other->pivot_text_functions(), (DSIndexSet{21}));
    other->setPivot_numeric_functions({0, 10, 11});
    other->resetPivotFunctions();
    EXPECT_EQ(other->pivot_numeric_functions(), (DSIndexSet{0}));
    EXPECT_DOUBLE_EQ(other->confidence_level(), 0.95);
    EXPECT_TRUE(other->boolForKey(QStringLiteral("sort_ascending")));
    EXPECT_EQ(other->integerForKey(QStringLiteral("summary_table_column_mask")), 7);
    EXPECT_EQ(other->integerForKey(QStringLiteral("covariate_table_column_mask")), 1);
    EXPECT_TRUE(table->edit_data_unlocked()) << "the new document's table is unlocked";
}

TEST_F(DSTableTest, NewTablesCopyTheColumnMasksOfTheUserDefaults)
{
    DSUserDefaults &defaults = DSUserDefaults::standardUserDefaults();
    defaults.setInteger(3, QStringLiteral("summary_table_column_mask"));
    DSTable *other = newTable(QStringLiteral("other"));
    defaults.removeObjectForKey(QStringLiteral("summary_table_column_mask"));
    EXPECT_EQ(other->integerForKey(QStringLiteral("summary_table_column_mask")), 3);
}

TEST_F(DSTableTest, SelectionsCovariateSetAndLabelColours)
{
    const QList<DSColumn *> c = addColumns({"n1", "n2"});
    auto *text = newColumn<DSTextColumn>(QStringLiteral("t"), "DSTextDataColumn");
    table->insertNewColumns({text}, 0);
    EXPECT_TRUE(text->treat_as_categories()) << "a new text column starts as categories";
    text->setTreat_as_categories(false);

    EXPECT_EQ(table->active_column(), nullptr);
    table->column_selection()->addColumn(c[0]);
    EXPECT_EQ(table->active_column(), c[0]);
    EXPECT_EQ(table->active_column_category(), nullptr);
    table->column_selection()->addColumn(c[1]);
    EXPECT_EQ(table->active_column(), nullptr);
    EXPECT_EQ(table->active_column_category(), nullptr);

    EXPECT_TRUE(table->covariateSetContainsOnlyNames({}));
    table->addColumnToCovariateSet(c[1]);
    table->addColumnToCovariateSet(text);
    EXPECT_EQ(table->numberOfColumnsInCovariateSet(), 1);
    EXPECT_EQ(table->sortedCovariateSet(), QList<DSColumn *>{c[1]});
    text->setTreat_as_categories(true);
    EXPECT_EQ(table->sortedCovariateSet(), (QList<DSColumn *>{text, c[1]}));
    EXPECT_TRUE(table->covariateSetContainsOnlyNames({"t", "n2"}));
    EXPECT_FALSE(table->covariateSetContainsOnlyNames({"t"}));
    context().deleteObject(c[1]);
    table->removeFaultedColumnsFromCovariateSet();
    EXPECT_EQ(table->sortedCovariateSet(), QList<DSColumn *>{text});

    table->replaceHueForLabel(QStringLiteral("yes"), 0.25);
    EXPECT_EQ(table->label_colors(), (QVariantMap{{QStringLiteral("yes"), 0.25}}));
    table->replaceHueForLabel(QStringLiteral("no"), 0.5);
    table->replaceHueForLabel(QStringLiteral("yes"), 0.75);
    EXPECT_EQ(table->label_colors(), (QVariantMap{{QStringLiteral("yes"), 0.75}, {QStringLiteral("no"), 0.5}}));
}

TEST_F(DSTableTest, InputTables)
{
    DSTable *a = newTable(QStringLiteral("a"));
    DSTable *b = newTable(QStringLiteral("b"));
    EXPECT_EQ(table->input(), nullptr);
    table->setInput(a);
    EXPECT_EQ(table->input(), a);
    table->setInput(b);
    EXPECT_EQ(table->input(), b);
    EXPECT_EQ(table->objectsForKey(QStringLiteral("inputs")).size(), 1);
    table->setInput(nullptr);
    EXPECT_EQ(table->input(), nullptr);
    context().processPendingChanges();
    EXPECT_TRUE(context().objectsOfEntity(QStringLiteral("DSTableInput")).isEmpty());
}

} // namespace
