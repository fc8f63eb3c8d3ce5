// Pivots on small stored columns: record codes and labels by input kind,
// rows under the mask, ranking and ditto marks, computed aggregations, and
// the export as a new table that survives a save and a reopening in a new
// process.

#include "PivotTestSupport.h"

#include "../model/TimeColumnsTestSupport.h"

#include "model/DSDataRoot.h"
#include "model/DSNumericPartition.h"
#include "model/DSStatDocument.h"
#include "model/DSTimeDataColumn.h"
#include "model/DSTimePartition.h"
#include "model/ds_time_units.h"
#include "pivot/DSAggregationInput.h"
#include "pivot/DSComputeDifferenceAggregation.h"
#include "pivot/DSComputeDivisionAggregation.h"
#include "pivot/DSComputeProductAggregation.h"
#include "pivot/DSComputeSumAggregation.h"
#include "platform/store/DSObjectFactory.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

class DSPivotTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        ds_columns_test_setup();
        DSObjectFactory::registerClass<TestIndicatorColumn>(QStringLiteral("DSIndicatorLocalColumn"));
    }
};

// The record's display row.
int64_t rowOfRecord(const DSPivot *pivot, int64_t record)
{
    const int32_t valueIndex = pivot->record2valueIndex()[size_t(record)];
    for (int64_t r = 0; r < pivot->numberOfRows(); ++r)
        if (pivot->convertRowToValueIndex(r) == valueIndex)
            return r;
    return -1;
}

TEST_F(DSPivotTest, CodesAreMixedRadixOfTheLabels)
{
    ColumnsFixture tables;
    std::vector<double> a, b;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 4; ++j) {
            a.push_back(i);
            b.push_back(j);
        }
    DSNumericColumn *first = tables.addColumn(a, QStringLiteral("a"));
    DSNumericColumn *second = tables.addColumn(b, QStringLiteral("b"));
    first->setTreat_as_categories(true);
    second->setTreat_as_categories(true);
    DSPivot *pivot = ds_pivot_on(tables.table(), {first, second});
    pivot->recomputePivot();
    pivot->recomputeValuesWithMask(nullptr, 0);
    EXPECT_EQ(pivot->widthForPivot(0), 4);
    EXPECT_EQ(pivot->widthForPivot(1), 1);
    EXPECT_EQ(pivot->strideForPivot(0), 12);
    // Record 9 holds a = 2, b = 1.
    EXPECT_EQ(pivot->record2labelIndex()[9], 9);
    const int64_t r = rowOfRecord(pivot, 9);
    EXPECT_EQ(pivot->convertRowToLabelIndex(r), 9);
    EXPECT_EQ(pivot->labelPositionForRow(0, r), 2);
    EXPECT_EQ(pivot->labelPositionForRow(1, r), 1);
    EXPECT_EQ(pivot->labelForPivot(0, 2), QStringLiteral("2"));
    EXPECT_EQ(pivot->labelForPivot(1, 1), QStringLiteral("1"));
    EXPECT_EQ(pivot->numberOfRows(), 12);
}

// Codes are exact integers: five inputs of 2,000 labels make codes near
// 3.2e16, past 2^53, where two codes 1 apart are one double; 7,000 labels
// each pass 2^63 - 1, and then there is no row rather than merged ones.
TEST_F(DSPivotTest, CodesStayExactAndNeverOverflow)
{
    for (const int64_t levels : {2000, 7000}) {
        ColumnsFixture tables;
        // The diagonal gives every input all its labels; two more records
        // differ only in the last input, at the largest codes.
        std::vector<std::vector<double>> values(5);
        for (int64_t i = 0; i < levels; ++i)
            for (auto &column : values)
                column.push_back(double(i));
        for (double last : {0.0, 1.0}) {
            for (size_t k = 0; k < 4; ++k)
                values[k].push_back(double(levels - 1));
            values[4].push_back(last);
        }
        QList<DSColumn *> inputs;
        for (size_t k = 0; k < values.size(); ++k) {
            DSNumericColumn *column = tables.addColumn(values[k], QStringLiteral("c%1").arg(k));
            column->setTreat_as_categories(true);
            inputs << column;
        }
        DSPivot *pivot = ds_pivot_on(tables.table(), inputs);
        pivot->recomputePivot();
        pivot->recomputeValuesWithMask(nullptr, 0);
        if (levels == 7000) {
            EXPECT_EQ(pivot->numberOfRows(), 0);
            EXPECT_FALSE(pivot->overflowMessage().isEmpty());
            continue;
        }
        EXPECT_TRUE(pivot->overflowMessage().isNull());
        ASSERT_EQ(pivot->numberOfRows(), levels + 2);
        const int64_t r = pivot->numberOfRows() - 1;
        EXPECT_GT(pivot->convertRowToLabelIndex(r), int64_t(1) << 53);
        EXPECT_EQ(pivot->labelPositionForRow(4, r), levels - 1);  // the diagonal's last record
        EXPECT_EQ(pivot->labelPositionForRow(4, r - 1), 1);
        EXPECT_EQ(pivot->labelPositionForRow(4, r - 2), 0);
        EXPECT_EQ(pivot->labelPositionForRow(3, r - 2), levels - 1);
    }
}

TEST_F(DSPivotTest, LabelsByInputKind)
{
    TimeColumnsFixture tables;
    DSNumericColumn *x = tables.addColumn({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, NAN}, QStringLiteral("x"));
    auto *cuts = ds_object_cast<DSNumericPartition>(x->pivot_partition());
    cuts->setPartition_type(2);
    cuts->setCustom_interval_cutoffs({3, 6});
    DSNumericColumn *same = tables.addColumn(std::vector<double>(11, 4), QStringLiteral("same"));
    DSTextColumn *text = tables.addTextColumn({"b", "a", "c", "a", nullptr, "b", "c", "a", "b", "c", "a"},
                                              QStringLiteral("s"));
    text->setTreat_as_categories(true);
    DSPivot *pivot = ds_pivot_on(tables.table(), {x, same, text});
    pivot->recomputePivot();
    pivot->recomputeValuesWithMask(nullptr, 0);

    // Numeric bins run from the highest down, then "Missing".
    ASSERT_EQ(pivot->numberOfLabelsForPivot(0), 4);
    EXPECT_EQ(pivot->labelForPivot(0, 3), QStringLiteral("Missing"));
    EXPECT_EQ(pivot->labelPositionForRow(0, rowOfRecord(pivot, 9)), 0);  // x = 10
    EXPECT_EQ(pivot->labelPositionForRow(0, rowOfRecord(pivot, 0)), 2);  // x = 1
    EXPECT_EQ(pivot->labelPositionForRow(0, rowOfRecord(pivot, 10)), 3);
    EXPECT_EQ(pivot->labelPositionForRow(0, 0), 0);  // code order: highest bin first
    // One distinct value: one label for every record.
    EXPECT_EQ(pivot->numberOfLabelsForPivot(1), 1);
    // Text categories ascending, then "Missing" with the value "".
    EXPECT_EQ(pivot->numberOfLabelsForPivot(2), 4);
    EXPECT_EQ(pivot->labelForPivot(2, 0), QStringLiteral("a"));
    EXPECT_EQ(pivot->labelForPivot(2, 3), QStringLiteral("Missing"));
    EXPECT_EQ(pivot->stringValueForPivot(2, 3), QString());
}

// An indicator has no partition: it takes the category route, its labels
// FALSE, TRUE and "Missing" whether or not it is treated as categories.
TEST_F(DSPivotTest, AnIndicatorInputTakesTheCategoryRoute)
{
    for (const bool categories : {true, false}) {
        ColumnsFixture tables;
        TestIndicatorColumn *flag = ds_add_indicator(tables, {1, 0, 1, NAN, 0, 1});
        flag->setTreat_as_categories(categories);
        EXPECT_FALSE(flag->pivot_partition());
        DSPivot *pivot = ds_pivot_on(tables.table(), {flag});
        pivot->recomputePivot();
        pivot->recomputeValuesWithMask(nullptr, 0);
        ASSERT_EQ(pivot->numberOfLabelsForPivot(0), 3);
        EXPECT_EQ(pivot->labelForPivot(0, 0), QStringLiteral("FALSE"));
        EXPECT_EQ(pivot->labelForPivot(0, 1), QStringLiteral("TRUE"));
        EXPECT_EQ(pivot->labelForPivot(0, 2), QStringLiteral("Missing"));
        EXPECT_EQ(pivot->stringValueForPivot(0, 2), QString());
        EXPECT_EQ(pivot->numberOfRows(), 3);
        EXPECT_EQ(pivot->labelPositionForRow(0, rowOfRecord(pivot, 5)), 1);
        EXPECT_EQ(pivot->labelPositionForRow(0, rowOfRecord(pivot, 3)), 2);
        auto *count = ds_object_cast<DSAggregation>(tables.table()->aggregationAtIndex(0));
        EXPECT_EQ(count->doubleValueAtIndex(pivot->convertRowToValueIndex(1)), 3);
    }
}

TEST_F(DSPivotTest, RowsUnderTheMask)
{
    ColumnsFixture tables;
    DSNumericColumn *c = tables.addColumn({1, 1, 2, 3, 3, 3}, QStringLiteral("c"));
    c->setTreat_as_categories(true);
    DSTable *table = tables.table();
    // The table's own default: no input, a count of rows.
    auto *pivot = ds_object_cast<DSPivot>(table->pivotAtIndex(0));
    auto *count = ds_object_cast<DSAggregation>(table->aggregationAtIndex(0));
    ASSERT_TRUE(pivot && count);
    pivot->recomputePivot();
    pivot->recomputeValuesWithMask(nullptr, 0);
    EXPECT_EQ(pivot->numberOfRows(), 1);
    EXPECT_EQ(count->doubleValueAtIndex(0), 6);
    const uint8_t none = 0;
    pivot->recomputeValuesWithMask(&none, 0);
    EXPECT_EQ(pivot->numberOfRows(), 0);

    // Records outside the mask make no row, but their labels stay.
    pivot->addInput(0, c);
    const uint8_t firstThree = 0x07;
    pivot->recomputePivot();
    pivot->recomputeValuesWithMask(&firstThree, 1);
    EXPECT_EQ(pivot->numberOfLabelsForPivot(0), 3);
    EXPECT_EQ(pivot->numberOfRows(), 2);
    EXPECT_EQ(count->doubleValueAtIndex(0), 2);
    EXPECT_EQ(count->doubleValueAtIndex(1), 1);
}

TEST_F(DSPivotTest, RankingAndDittoMarks)
{
    ColumnsFixture tables;
    // Groups 0..3 of g with x means 3, NaN, 1, 2; h splits each in two.
    DSNumericColumn *g = tables.addColumn({0, 0, 1, 1, 2, 2, 3, 3}, QStringLiteral("g"));
    DSNumericColumn *h = tables.addColumn({0, 1, 0, 1, 0, 1, 0, 1}, QStringLiteral("h"));
    DSNumericColumn *x = tables.addColumn({3, 3, NAN, NAN, 1, 5, 2, 2}, QStringLiteral("x"));
    g->setTreat_as_categories(true);
    h->setTreat_as_categories(true);
    DSTable *table = tables.table();
    DSColumnAggregation *mean = ds_add_aggregation(table, x, 0);
    DSPivot *pivot = ds_pivot_on(table, {g});
    const auto order = [&]() {
        pivot->recomputePivot();
        pivot->recomputeValuesWithMask(nullptr, 0);
        std::vector<double> means;
        for (int64_t r = 0; r < pivot->numberOfRows(); ++r)
            means.push_back(mean->doubleValueAtIndex(pivot->convertRowToValueIndex(r)));
        return means;
    };
    EXPECT_TRUE(pivot->wantsDittoMarksForPivot(0));
    pivot->setSort_by_aggregation(mean);
    std::vector<double> means = order();
    ASSERT_EQ(means.size(), 4u);
    EXPECT_EQ(means[0], 3);
    EXPECT_EQ(means[2], 2);
    EXPECT_TRUE(std::isnan(means[3])) << "NaN last descending";
    EXPECT_FALSE(pivot->wantsDittoMarksForPivot(0));
    pivot->setSort_aggregation_ascending(true);
    means = order();
    EXPECT_TRUE(std::isnan(means[0])) << "NaN first ascending";
    EXPECT_EQ(means[1], 2);

    // Within the groups of g: its labels stay together, in label order,
    // ranked inside by h's means.
    pivot->addInput(1, h);
    table->setPrimitiveValue(2, QStringLiteral("pivot_input_count"));
    pivot->setFixed_input_count(1);
    pivot->setSort_aggregation_ascending(false);
    means = order();
    ASSERT_EQ(means.size(), 8u);
    const double expected[] = {3, 3, NAN, NAN, 5, 1, 2, 2};
    for (int64_t r = 0; r < 8; ++r) {
        EXPECT_EQ(pivot->labelPositionForRow(0, r), r / 2) << r;
        if (!std::isnan(expected[r])) {
            EXPECT_EQ(means[size_t(r)], expected[r]) << r;
        }
    }
    EXPECT_EQ(pivot->labelPositionForRow(1, 4), 1);  // 5 before 1 in g = 2
    EXPECT_TRUE(pivot->wantsDittoMarksForPivot(0));
    EXPECT_FALSE(pivot->wantsDittoMarksForPivot(1));
    pivot->setSort_by_aggregation(nullptr);
    EXPECT_TRUE(pivot->wantsDittoMarksForPivot(1));
}

template <class T>
T *addComputed(DSTable *table, const char *entity, const QList<DSAggregation *> &sources)
{
    auto *computed = ds_object_cast<T>(table->insertNewObjectOfEntity(QString::fromLatin1(entity)));
    computed->setIs_enabled(true);
    computed->setValue(QVariant::fromValue<DSManagedObject *>(table), QStringLiteral("table"));
    table->insertAggregation(computed, table->sortedAggregations().size() - 1);
    for (DSAggregation *source : sources)
        computed->addInputAggregation(source);
    return computed;
}

TEST_F(DSPivotTest, ComputedAggregations)
{
    ColumnsFixture tables;
    // Group 0: x present, y missing; group 1: both missing.
    DSNumericColumn *g = tables.addColumn({0, 0, 1}, QStringLiteral("g"));
    DSNumericColumn *x = tables.addColumn({1, 2, NAN}, QStringLiteral("x"));
    DSNumericColumn *y = tables.addColumn({NAN, NAN, NAN}, QStringLiteral("y"));
    DSNumericColumn *c = tables.addColumn({7, 8, 8}, QStringLiteral("c"));
    g->setTreat_as_categories(true);
    c->setTreat_as_categories(true);
    DSTable *table = tables.table();
    auto *rows = ds_object_cast<DSAggregation>(table->aggregationAtIndex(0));
    DSColumnAggregation *countX = ds_add_aggregation(table, x, 21);
    DSColumnAggregation *countY = ds_add_aggregation(table, y, 21);
    DSColumnAggregation *byC = ds_add_aggregation(table, c, 21);
    auto *sum = addComputed<DSComputeSumAggregation>(table, "DSComputeSumAggregation", {rows, countX, countY});
    auto *difference =
        addComputed<DSComputeDifferenceAggregation>(table, "DSComputeDifferenceAggregation", {rows, countX});
    auto *product = addComputed<DSComputeProductAggregation>(table, "DSComputeProductAggregation", {rows, countX});
    auto *quotient = addComputed<DSComputeDivisionAggregation>(table, "DSComputeDivisionAggregation", {countX, countY});
    // A computed aggregation reads another; a category input reads its count.
    auto *nested = addComputed<DSComputeSumAggregation>(table, "DSComputeSumAggregation", {sum, byC, byC});
    nested->inputAtIndex(1)->setCategory_value(QCborValue(8.0));
    nested->inputAtIndex(2)->setCategory_value(QCborValue(99.0));
    DSPivot *pivot = ds_pivot_on(table, {g});
    pivot->recomputePivot();
    pivot->recomputeValuesWithMask(nullptr, 0);

    EXPECT_EQ(sum->name(), QStringLiteral("count + count(x) + count(y)"));
    EXPECT_EQ(difference->name(), QString::fromUtf8("count \u2212 count(x)"));
    EXPECT_EQ(product->name(), QString::fromUtf8("count \u00D7 count(x)"));
    EXPECT_EQ(quotient->name(), QStringLiteral("count(x) / count(y)"));
    EXPECT_EQ(quotient->functionName(), QStringLiteral("Aggregate Quotient"));
    EXPECT_TRUE(quotient->canServeAsInput());
    EXPECT_EQ(nested->inputAtIndex(1)->name(), QStringLiteral("count(8)"));
    EXPECT_TRUE(nested->inputAtIndex(2)->name().isNull());

    EXPECT_EQ(sum->doubleValueAtIndex(0), 2 + 2 + 0);
    EXPECT_EQ(difference->doubleValueAtIndex(1), 1 - 0);
    EXPECT_EQ(product->doubleValueAtIndex(0), 2 * 2);
    EXPECT_TRUE(std::isinf(quotient->doubleValueAtIndex(0))) << "count / 0";
    EXPECT_TRUE(std::isnan(quotient->doubleValueAtIndex(1))) << "0 / 0";
    // The gone category reads NaN, never the source's plain count.
    EXPECT_EQ(nested->inputAtIndex(1)->doubleValueAtIndex(0), 1);
    EXPECT_TRUE(std::isnan(nested->inputAtIndex(2)->doubleValueAtIndex(0)));
    EXPECT_TRUE(std::isnan(nested->doubleValueAtIndex(0)));
    nested->inputAtIndex(2)->setCategory_value(QCborValue());
    pivot->recomputeValuesWithMask(nullptr, 0);
    EXPECT_EQ(nested->doubleValueAtIndex(0), 4 + 1 + 2);
}

// One line a column of the table: name, kind and the values as text.
QString describeTable(DSTable *table)
{
    QStringList lines;
    lines << table->name() + QStringLiteral(" rows=") + QString::number(table->num_records());
    for (DSColumn *column : table->sortedColumns()) {
        QStringList cells;
        if (auto *numeric = ds_object_cast<DSNumericColumn>(column)) {
            const double *values = nullptr;
            const qint64 n = numeric->getValues(&values);
            for (qint64 i = 0; i < n; ++i)
                cells << QString::number(values[i], 'g', 17);
            cells.prepend(QStringLiteral("numeric"));
        } else if (auto *text = ds_object_cast<DSTextColumn>(column)) {
            const char *const *values = nullptr;
            const qint64 n = text->getTextValues(&values);
            for (qint64 i = 0; i < n; ++i)
                cells << QString::fromUtf8(values[i] ? values[i] : "<none>");
            cells.prepend(QStringLiteral("text"));
        } else if (auto *time = ds_object_cast<DSTimeColumn>(column)) {
            const double *values = nullptr, *intervals = nullptr;
            const qint64 n = time->getTimeValues(&values, &intervals);
            for (qint64 i = 0; i < n; ++i)
                cells << QString::number(values[i], 'g', 17) + u'/' + QString::number(intervals[i], 'g', 17);
            cells.prepend(QStringLiteral("time"));
        }
        lines << column->name() + u':' + cells.join(u' ');
    }
    return lines.join(u'\n');
}

// Midnight of 2013-09-03.
constexpr double k_firstDay = 399945600;

// A document whose table "t" holds a category column, a day column and a
// value column, with a ranked pivot on the first two.
struct PivotDocument
{
    DSStatDocument document;
    DSDataTable *table = nullptr;

    PivotDocument()
    {
        document.initWithType(DSStatDocument::nativeType);
        table = ds_object_cast<DSDataTable>(document.active_table());
        table->setName(QStringLiteral("t"));
        DSManagedObjectContext *context = document.managedObjectContext();
        auto *c = context->insertNewObject<DSNumericDataColumn>(QStringLiteral("DSNumericDataColumn"));
        auto *d = context->insertNewObject<DSTimeDataColumn>(QStringLiteral("DSTimeDataColumn"));
        auto *x = context->insertNewObject<DSNumericDataColumn>(QStringLiteral("DSNumericDataColumn"));
        c->setName(QStringLiteral("c"));
        d->setName(QStringLiteral("d"));
        x->setName(QStringLiteral("x"));
        table->insertNewColumns({c, d, x}, 0);
        const double cs[] = {1, 2, 1, 2, 1, 2}, xs[] = {1, 2, 3, 4, 5, 6};
        for (int i = 0; i < 6; ++i) {
            c->appendValue(cs[i]);
            d->appendTimeValue(k_firstDay + 86400 * (i / 2), 86400);
            x->appendValue(xs[i]);
        }
        table->setNum_records(6);
        DSDataColumn::saveAfterImport({c, d, x});
        c->setTreat_as_categories(true);
        // Periods of a day: finer than the partition's own choice.
        auto *periods = ds_object_cast<DSTimePartition>(d->pivot_partition());
        const qint64 unit = periods->timeUnitForStats(d->calculateStatsForMask(nullptr, 0, 1));
        periods->setTime_resolution_level(unit - ds_time_unit_day);
        DSColumnAggregation *mean = ds_add_aggregation(table, x, 0);
        ds_add_aggregation(table, c, 21);
        ds_add_aggregation(table, d, 10);
        DSPivot *pivot = ds_pivot_on(table, {c, d});
        pivot->setSort_by_aggregation(mean);
        context->processPendingChanges();
        pivot->recomputePivot();
        pivot->recomputeValuesWithMask(nullptr, 0);
    }
    DSPivot *pivot() const { return ds_object_cast<DSPivot>(table->pivotAtIndex(0)); }
};

TEST_F(DSPivotTest, ExportedTableSurvivesASaveAndAReopening)
{
    PivotDocument source;
    DSPivot *pivot = source.pivot();
    ASSERT_EQ(pivot->numberOfRows(), 6);
    DSDataTable *exported = pivot->insertDataTableInManagedObjectContext(source.document.managedObjectContext());
    ASSERT_TRUE(exported);
    EXPECT_EQ(exported->name(), QStringLiteral("t Pivot"));
    EXPECT_EQ(exported->num_records(), 6);
    EXPECT_EQ(exported->index(), 1);
    EXPECT_TRUE(exported->showRecords());
    const QList<DSColumn *> columns = exported->sortedColumns();
    QStringList names;
    for (DSColumn *column : columns)
        names << column->name();
    EXPECT_EQ(names, QStringList({QStringLiteral("c"), QStringLiteral("d"), QStringLiteral("count"),
                                  QStringLiteral("mean(x)"), QStringLiteral("c = 1"), QStringLiteral("c = 2"),
                                  QStringLiteral("min(d)")}));
    ASSERT_EQ(columns.size(), 7);
    EXPECT_TRUE(ds_object_cast<DSNumericColumn>(columns[0]));
    EXPECT_TRUE(ds_object_cast<DSTimeColumn>(columns[1]));
    EXPECT_TRUE(ds_object_cast<DSTimeColumn>(columns[6]));
    // Ranked by mean(x), highest first: c = 2 on the last day first.
    const double *means = nullptr;
    ASSERT_EQ(ds_object_cast<DSNumericColumn>(columns[3])->getValues(&means), 6);
    EXPECT_EQ(means[0], 6);
    EXPECT_EQ(means[5], 1);
    const double *categories = nullptr;
    ds_object_cast<DSNumericColumn>(columns[0])->getValues(&categories);
    EXPECT_EQ(categories[0], 2);
    const double *days = nullptr;
    ds_object_cast<DSTimeColumn>(columns[1])->getTimeValues(&days, nullptr);
    EXPECT_EQ(days[0], k_firstDay + 2 * 86400);

    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("pivot.ostrel"));
    DSError error;
    ASSERT_TRUE(source.document.writeSafelyToURL(QUrl::fromLocalFile(path), DSStatDocument::nativeType,
                                                 DSSaveOperation::SaveAs, &error))
        << error.localizedDescription.toStdString();
    const QString described = describeTable(exported);

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("OSTREL_PIVOT_CHILD_OPEN"), path);
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QStringLiteral("/proc/self/exe"), QStringList());
    ASSERT_TRUE(child.waitForFinished(60000));
    EXPECT_EQ(child.exitCode(), 0);
    const QString out = QString::fromUtf8(child.readAllStandardOutput());
    const qsizetype begin = out.indexOf(QStringLiteral("BEGIN-OUTPUT\n")), end = out.indexOf(QStringLiteral("\nEND-OUTPUT"));
    ASSERT_TRUE(begin >= 0 && end > begin) << out.toStdString();
    EXPECT_EQ(out.mid(begin + 13, end - begin - 13), described);
}

// The child of the test above: prints the reopened package's second table.
class ChildEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        const QString path = qEnvironmentVariable("OSTREL_PIVOT_CHILD_OPEN");
        if (path.isEmpty())
            return;
        ds_columns_test_setup();
        DSStatDocument document;
        DSError error;
        if (!document.readFromURL(QUrl::fromLocalFile(path), DSStatDocument::nativeType, &error)) {
            std::fprintf(stderr, "child: open failed: %s\n", qPrintable(error.localizedDescription));
            std::exit(1);
        }
        DSDataRoot *root = DSDataRoot::fetchDataRootFromContext(*document.managedObjectContext());
        DSTable *table = root ? root->tableAtIndex(1) : nullptr;
        if (!table)
            std::exit(2);
        std::fputs("BEGIN-OUTPUT\n", stdout);
        std::fputs(describeTable(table).toUtf8().constData(), stdout);
        std::fputs("\nEND-OUTPUT\n", stdout);
        std::fflush(stdout);
        std::exit(0);
    }
};

[[maybe_unused]] const auto *s_environment = ::testing::AddGlobalTestEnvironment(new ChildEnvironment);

} // namespace
