// Stored time columns: import, storage, value and calendar sources, missing
// masks with the missing-values predicate, formatters and edits. The
// program also runs under two other time zones (CMakeLists.txt): only the
// picked date of a predicate moves with the zone, never what it marks.

#include "TimeColumnsTestSupport.h"

#include "model/DSDataRoot.h"
#include "model/DSTable.h"
#include "model/ds_compression.h"
#include "model/ds_time_stats.h"
#include "platform/calendar/DSDatePatternGenerator.h"
#include "platform/calendar/DSPlatformDateFormatter.h"
#include "platform/store/DSUndoManager.h"

#include <QDateTime>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <tuple>
#include <utility>

namespace {

// Rows of a time column as the bits of their values and intervals, so NaN
// payloads and -0 compare exactly.
std::vector<std::pair<uint64_t, uint64_t>> rowsOf(DSTimeColumn *column)
{
    const double *values = nullptr, *intervals = nullptr;
    const qint64 n = column->getTimeValues(&values, &intervals);
    std::vector<std::pair<uint64_t, uint64_t>> rows;
    for (qint64 i = 0; i < n; ++i)
        rows.emplace_back(ds_bits(values[i]), ds_bits(intervals[i]));
    return rows;
}

std::vector<std::pair<uint64_t, uint64_t>> rowsOf(const std::vector<double> &values, const std::vector<double> &intervals)
{
    std::vector<std::pair<uint64_t, uint64_t>> rows;
    for (size_t i = 0; i < values.size(); ++i)
        rows.emplace_back(ds_bits(values[i]), ds_bits(intervals[i]));
    return rows;
}

class DSTimeDataColumnTest : public ::testing::Test, public TimeColumnsFixture
{
protected:
    static std::vector<bool> missingRows(DSColumn *column, qint64 rows)
    {
        const uint8_t *mask = nullptr;
        const qint64 length = column->getMissingMask(&mask, 0, rows);
        std::vector<bool> bits;
        for (qint64 r = 0; r < rows; ++r)
            bits.push_back(ds_bit(mask, length, r));
        return bits;
    }

    static std::vector<double> valuesOf(DSTimeColumn *column)
    {
        const double *v = nullptr;
        const qint64 n = column->getTimeValues(&v, nullptr);
        return std::vector<double>(v, v + n);
    }
};

TEST_F(DSTimeDataColumnTest, TimeOfDayStoresSecondsSinceMidnight)
{
    DSTimeDataColumn *column = addTimeColumn({ds_test_time(2020, 5, 1, 13, 45), ds_test_time(1950, 1, 2, 0, 0, 30)},
                                             {60}, true);
    EXPECT_EQ(valuesOf(column), (std::vector<double>{49500, 30}));
    column->replaceTimeValueAtIndex(1, ds_test_time(1999, 12, 31, 23, 59), 60);
    EXPECT_EQ(valuesOf(column), (std::vector<double>{49500, 86340}));
}

TEST_F(DSTimeDataColumnTest, ImportPadsToTheTableWithEmptyRows)
{
    table()->setNum_records(5);
    DSTimeDataColumn *column = addTimeColumn({0, 86400, 172800}, {86400});
    const double *values = nullptr, *intervals = nullptr;
    ASSERT_EQ(column->getTimeValues(&values, &intervals), 5);
    EXPECT_EQ(values[2], 172800);
    EXPECT_TRUE(std::isnan(values[3]) && std::isnan(values[4]));
    EXPECT_EQ(std::vector<double>(intervals, intervals + 5), (std::vector<double>{86400, 86400, 86400, 0, 0}));
    EXPECT_EQ(missingRows(column, 5), (std::vector<bool>{false, false, false, true, true}));
    // The stored arrays hold five rows each.
    EXPECT_EQ(zlibInflate(column->time_values())->size(), 5 * 8);
    EXPECT_EQ(zlibInflate(column->time_intervals())->size(), 5 * 8);

    DSTimeDataColumn *full = addTimeColumn({1, 2, 3, 4, 5}, {60}, false, QStringLiteral("u"));
    const uint8_t *mask = nullptr;
    EXPECT_EQ(full->getMissingMask(&mask), 0);
    EXPECT_EQ(mask, nullptr);
}

TEST_F(DSTimeDataColumnTest, RangesAndCalendarSources)
{
    const double sunday = ds_test_time(2020, 3, 8, 23, 59);
    DSTimeDataColumn *column = addTimeColumn({sunday, NAN, ds_test_time(2020, 3, 9, 12), ds_test_time(1600, 2, 29, 6)},
                                             {60, 0, 86400 * 1.5, 3600});
    const double *values = nullptr, *intervals = nullptr;
    EXPECT_EQ(column->getTimeValues(&values, &intervals, 4, 10), 0);
    EXPECT_EQ(values, nullptr);
    EXPECT_EQ(intervals, nullptr);
    EXPECT_EQ(column->getTimeValues(&values, &intervals, 2, 10), 2);
    EXPECT_EQ(values[0], ds_test_time(2020, 3, 9, 12));

    const ds_gmt_date_s *dates = nullptr;
    const ds_gmt_units_s *steps = nullptr;
    ASSERT_EQ(column->getGregorianDates(&dates, &steps, 2, 2), 2);
    EXPECT_EQ(dates[0].day, 9);
    EXPECT_EQ(dates[0].hour, 12);
    EXPECT_EQ(steps[0].days, 1);
    EXPECT_EQ(steps[0].seconds, 43200);
    EXPECT_EQ(dates[1].year, 1600);
    EXPECT_EQ(dates[1].month, 2);
    EXPECT_EQ(dates[1].day, 29);
    EXPECT_EQ(column->getGregorianDates(&dates, &steps, 9, 2), 0);
    EXPECT_EQ(dates, nullptr);

    const int32_t *days = nullptr;
    ASSERT_EQ(column->getDaysOfWeek(&days), 4);
    EXPECT_EQ(std::vector<int32_t>(days, days + 4), (std::vector<int32_t>{7, 0, 1, 2}));

    const int32_t *rows = nullptr;
    ASSERT_EQ(column->getSortedValues(&values, &rows), 3);
    EXPECT_EQ(std::vector<int32_t>(rows, rows + 3), (std::vector<int32_t>{3, 0, 2}));
}

TEST_F(DSTimeDataColumnTest, FormattersByTemplateIntervalAndUnit)
{
    DSTimeDataColumn *column = addTimeColumn({0}, {60});
    DSTimeDataColumn *clock = addTimeColumn({0}, {60}, true, QStringLiteral("c"));
    EXPECT_EQ(column->formatterForInterval(3600), column->dateAndTimeFormatter());
    EXPECT_EQ(column->formatterForInterval(86400), column->dateFormatter());
    EXPECT_EQ(column->formatterForTimeUnit(9), column->dateFormatter());
    EXPECT_EQ(column->formatterForTimeUnit(8), column->dateAndTimeFormatter());
    for (double interval : {60.0, 86400.0, 1e9})
        EXPECT_EQ(clock->formatterForInterval(interval), clock->timeOfDayFormatter());
    EXPECT_EQ(clock->formatterForTimeUnit(14), clock->timeOfDayFormatter());
    // The locale's pattern for the template, written in GMT.
    const DSDatePatternGenerator generator;
    EXPECT_EQ(column->dateFormatter()->dateFormat(), generator.bestPattern(QStringLiteral("yMd")));
    EXPECT_EQ(column->monthFormatter()->dateFormat(), generator.bestPattern(QStringLiteral("LLLL")));
    const QString text = column->yearFormatter()->stringFromTime(ds_test_time(2020, 12, 31, 23, 59));
    EXPECT_TRUE(text.contains(QStringLiteral("2020"))) << text.toStdString();
}

TEST_F(DSTimeDataColumnTest, TimeUnitsOfTheIntervals)
{
    DSTimeDataColumn *dates = addTimeColumn({0, 86400}, {86400});
    EXPECT_EQ(dates->minimumTimeUnit(), 9);
    DSTimeDataColumn *mixed = addTimeColumn({0, 86400}, {60, 86400}, false, QStringLiteral("m"));
    EXPECT_EQ(mixed->minimumTimeUnit(), 1);
    EXPECT_EQ(mixed->maximumTimeUnit(), 9);
}

// The picked date is a local midnight; the rows it marks are those before
// (or at) that calendar day's midnight on the GMT scale, in any zone.
TEST_F(DSTimeDataColumnTest, PredicateMovesThePickedDateOntoTheStoredScale)
{
    const double day = ds_test_time(2020, 3, 2);
    DSTimeDataColumn *column = addTimeColumn({day - 1, day, day + 1, day + 86399, day + 86400, NAN}, {1});
    const QDateTime picked(QDate(2020, 3, 2), QTime(0, 0));  // local midnight
    const double seconds = double(picked.toSecsSinceEpoch()) - kDSUnixToAbsoluteTime;
    const QString d = QString::number(seconds, 'f', 0);
    struct Case
    {
        QString predicate;
        std::vector<bool> missing;
    } cases[] = {
        {QStringLiteral("value < DATE(%1)").arg(d), {true, false, false, false, false, true}},
        {QStringLiteral("value <= DATE(%1)").arg(d), {true, true, false, false, false, true}},
        {QStringLiteral("value > DATE(%1)").arg(d), {false, false, true, true, true, true}},
        {QStringLiteral("value >= DATE(%1)").arg(d), {false, true, true, true, true, true}},
        {QStringLiteral("value == DATE(%1)").arg(d), {false, true, false, false, false, true}},
        {QStringLiteral("value != DATE(%1)").arg(d), {true, false, true, true, true, true}},
    };
    for (const Case &c : cases) {
        usePredicate(column, c.predicate.toUtf8().constData());
        EXPECT_EQ(missingRows(column, 6), c.missing) << c.predicate.toStdString();
    }
    column->setApply_missing_values_predicate(false);
    EXPECT_EQ(missingRows(column, 6), (std::vector<bool>{false, false, false, false, false, true}));
}

TEST_F(DSTimeDataColumnTest, PredicateOnTimesOfDayComparesTheMinute)
{
    DSTimeDataColumn *column = addTimeColumn({49500, 49530, 49560, 3600}, {1}, true);
    const QDateTime picked(QDate(2021, 7, 1), QTime(13, 45, 20));
    const double seconds = double(picked.toSecsSinceEpoch()) - kDSUnixToAbsoluteTime;
    usePredicate(column, QStringLiteral("value == DATE(%1)").arg(seconds, 0, 'f', 0).toUtf8().constData());
    EXPECT_EQ(missingRows(column, 4), (std::vector<bool>{true, false, false, false}));
}

TEST_F(DSTimeDataColumnTest, ManyEqualityValuesMarkAsOneByOne)
{
    std::vector<double> values;
    for (int i = 0; i < 2000; ++i)
        values.push_back(ds_test_time(2020, 1, 1) + (i % 37) * 86400.0);
    DSTimeDataColumn *column = addTimeColumn(values, {86400});
    auto picked = [](int k) {
        const QDateTime local(QDate(2020, 1, 1).addDays(k), QTime(0, 0));
        return QStringLiteral("value == DATE(%1)").arg(double(local.toSecsSinceEpoch()) - kDSUnixToAbsoluteTime, 0, 'f', 0);
    };
    const QStringList some = {picked(3), picked(10), picked(11)};
    const QStringList many = {picked(3), picked(10), picked(11), picked(30), picked(36)};
    usePredicate(column, many.join(QStringLiteral(" OR ")).toUtf8().constData());
    const std::vector<bool> fromMany = missingRows(column, 2000);
    usePredicate(column, some.join(QStringLiteral(" OR ")).toUtf8().constData());
    std::vector<bool> fromSome = missingRows(column, 2000);
    usePredicate(column, QStringList{picked(30), picked(36)}.join(QStringLiteral(" OR ")).toUtf8().constData());
    const std::vector<bool> rest = missingRows(column, 2000);
    for (size_t i = 0; i < fromSome.size(); ++i) {
        fromSome[i] = fromSome[i] || rest[i];
        const int day = int(i % 37);
        ASSERT_EQ(fromMany[i], day == 3 || day == 10 || day == 11 || day == 30 || day == 36) << i;
    }
    EXPECT_EQ(fromMany, fromSome);
}

TEST_F(DSTimeDataColumnTest, EditsKeepBothArraysInStep)
{
    DSTimeDataColumn *column = addTimeColumn({10, 20, 30, 40}, {1, 2, 3, 4});
    column->dropRows({1, 3});
    table()->setNum_records(2);
    const double *values = nullptr, *intervals = nullptr;
    ASSERT_EQ(column->getTimeValues(&values, &intervals), 2);
    EXPECT_EQ(std::vector<double>(values, values + 2), (std::vector<double>{10, 30}));
    EXPECT_EQ(std::vector<double>(intervals, intervals + 2), (std::vector<double>{1, 3}));
    column->addRows(2);
    table()->setNum_records(4);
    ASSERT_EQ(column->getTimeValues(&values, &intervals), 4);
    EXPECT_TRUE(std::isnan(values[3]));
    EXPECT_EQ(intervals[3], 0);
    EXPECT_EQ(missingRows(column, 4), (std::vector<bool>{false, false, true, true}));
    EXPECT_TRUE(column->replaceTimeValueAtIndex(2, 99, 9));
    EXPECT_FALSE(column->replaceTimeValueAtIndex(4, 99, 9));
    column->getTimeValues(&values, &intervals);
    EXPECT_EQ(values[2], 99);
    EXPECT_EQ(intervals[2], 9);
    EXPECT_EQ(missingRows(column, 4), (std::vector<bool>{false, false, false, true}));
}

// Cell edits in a document wait in memory for its save, as those of
// numeric and text columns do: the stored arrays stay as they were, the
// missing mask and the calendar dates follow each edit, and undo and redo
// go cell by cell.
TEST_F(DSTimeDataColumnTest, CellEditsWaitForTheSaveAndUndoCellByCell)
{
    const double day = 86400;
    const std::vector<double> values = {ds_test_time(2020, 1, 31), NAN, ds_test_time(1999, 12, 31, 23, 59),
                                        ds_test_time(2024, 2, 29, 6)};
    const std::vector<double> intervals = {day, 0, 60, 3600};
    EditedDocument d;
    DSTimeDataColumn *t = d.addTimeColumn(values, intervals);
    const QByteArray storedValues = t->time_values(), storedIntervals = t->time_intervals();
    struct Edit
    {
        const char *what;
        qint64 row;
        double value, interval;
        bool missing;
        ds_gmt_date_s date;
    } edits[] = {
        {"a date in a leap year", 0, ds_test_time(2000, 2, 29), day, false, {2000, 2, 29, 0, 0, 0}},
        {"an empty row gets a time", 1, ds_test_time(1600, 3, 1, 12, 30), 60, false, {1600, 3, 1, 12, 30, 0}},
        {"a time is emptied", 2, NAN, 0, true, ds_gmt_date_none()},
        {"the same row again", 0, ds_test_time(2021, 7, 4, 18, 5, 30), 1, false, {2021, 7, 4, 18, 5, 30}},
    };
    std::vector<double> v = values, i = intervals;
    DSUndoManager *undo = d.undoManager();
    ASSERT_TRUE(undo);
    for (const Edit &e : edits) {
        undo->beginUndoGrouping();
        ASSERT_TRUE(t->replaceTimeValueAtIndex(e.row, e.value, e.interval)) << e.what;
        undo->endUndoGrouping();
        v[size_t(e.row)] = e.value;
        i[size_t(e.row)] = e.interval;
        EXPECT_EQ(rowsOf(t), rowsOf(v, i)) << e.what;
        EXPECT_EQ(missingRows(t, 4)[size_t(e.row)], e.missing) << e.what;
        const ds_gmt_date_s *dates = nullptr;
        ASSERT_EQ(t->getGregorianDates(&dates, nullptr, e.row, 1), 1) << e.what;
        EXPECT_EQ(std::tie(dates[0].year, dates[0].month, dates[0].day, dates[0].hour, dates[0].minute),
                  std::tie(e.date.year, e.date.month, e.date.day, e.date.hour, e.date.minute))
            << e.what;
        EXPECT_TRUE(t->hasUnsavedEdits()) << e.what;
        EXPECT_EQ(t->storedState(), DSStoredColumnState::Edited) << e.what;
    }
    EXPECT_EQ(t->time_values(), storedValues) << "the stored arrays wait for the save";
    EXPECT_EQ(t->time_intervals(), storedIntervals);
    EXPECT_TRUE(d.document.managedObjectContext()->hasChanges());
    for (size_t k = 0; k < std::size(edits); ++k)
        undo->undo();
    EXPECT_EQ(rowsOf(t), rowsOf(values, intervals));
    EXPECT_EQ(missingRows(t, 4), (std::vector<bool>{false, true, false, false}));
    undo->redo();
    v = values;
    i = intervals;
    v[0] = edits[0].value;
    i[0] = edits[0].interval;
    EXPECT_EQ(rowsOf(t), rowsOf(v, i)) << "redo edits again";
}

// A hundred cell edits of a 1,000,000-row column, each its own undo step,
// then a hundred undos: the times come back bit for bit, and the undo
// records hold cells, not arrays (one copy of the two arrays is 16 MB).
TEST_F(DSTimeDataColumnTest, HundredEditsThenHundredUndos)
{
    std::vector<double> values(1'000'000), intervals(1'000'000, 86400);
    for (size_t k = 0; k < values.size(); ++k)
        values[k] = ds_test_time(1990, 1, 1) + double(k % 20000) * 86400;
    values[7] = NAN;
    intervals[7] = 0;
    EditedDocument d;
    DSTimeDataColumn *t = d.addTimeColumn(values, intervals);
    const auto before = rowsOf(t);
    DSUndoManager *undo = d.undoManager();
    ASSERT_TRUE(undo);
    const qint64 held = undo->heldBytes();
    std::vector<double> v = values, i = intervals;
    for (int k = 0; k < 100; ++k) {
        const qint64 row = qint64((uint64_t(k) * 7919 * 7919) % values.size());
        const double value = k % 3 == 0 ? NAN : ds_test_time(2030, 1, 1) + k * 60;
        const double interval = k % 3 == 0 ? 0 : 60;
        undo->beginUndoGrouping();
        ASSERT_TRUE(t->replaceTimeValueAtIndex(row, value, interval));
        undo->endUndoGrouping();
        v[size_t(row)] = value;
        i[size_t(row)] = interval;
    }
    EXPECT_EQ(rowsOf(t), rowsOf(v, i));
    EXPECT_LT(undo->heldBytes() - held, 1'000'000) << "a hundred cell records";
    for (int k = 0; k < 100; ++k)
        undo->undo();
    EXPECT_EQ(rowsOf(t), before);
    EXPECT_LT(undo->heldBytes() - held, 1'000'000) << "and their redo records";
    undo->redo();
    EXPECT_NE(rowsOf(t), before) << "redo edits again";
}

// Saved and reopened in a new process, the times are the edited ones (an
// edit past the stored rows included), and the save leaves the column
// without unsaved edits.
TEST_F(DSTimeDataColumnTest, SaveAndReopenInANewProcess)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("times.ostrel"));
    const double a = ds_test_time(2020, 5, 1), b = ds_test_time(1950, 1, 2, 0, 0, 30);
    std::vector<double> v = {a, b, NAN}, i = {86400, 1, 0};
    {
        EditedDocument d;
        DSTimeDataColumn *t = d.addTimeColumn(v, i);
        auto *table = ds_object_cast<DSDataTable>(d.document.active_table());
        ASSERT_TRUE(t->replaceTimeValueAtIndex(2, b + 7, 60));
        table->setNum_records(5);
        ASSERT_TRUE(t->replaceTimeValueAtIndex(4, a - 0.5, 0.5));
        ASSERT_TRUE(t->replaceTimeValueAtIndex(0, NAN, 0));
        v = {NAN, b, b + 7, NAN, a - 0.5};
        i = {0, 1, 60, 0, 0.5};
        ASSERT_EQ(rowsOf(t), rowsOf(v, i));
        DSError error;
        ASSERT_TRUE(d.save(path, DSSaveOperation::SaveAs, &error)) << error.localizedDescription.toStdString();
        EXPECT_FALSE(t->hasUnsavedEdits());
        EXPECT_EQ(rowsOf(t), rowsOf(v, i)) << "the saved arrays stay decoded";
    }
    const ChildResult child = ds_run_child(QStringLiteral("times"), {path});
    ASSERT_EQ(child.exitCode, 0);
    QStringList rows;
    for (size_t k = 0; k < v.size(); ++k)
        rows << QString::number(ds_bits(v[k]), 16) + QLatin1Char('/') + QString::number(ds_bits(i[k]), 16);
    EXPECT_EQ(child.output, QStringLiteral("rows 5\nd: ") + rows.join(QLatin1Char(' ')));
}

// Deflating the edited arrays fails at save: the save reports it, the
// package on disk keeps its bytes, and the edit still reads back and is
// saved by the next save.
TEST_F(DSTimeDataColumnTest, AFailedDeflateFailsTheSave)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("edited.ostrel"));
    EditedDocument d;
    DSTimeDataColumn *t = d.addTimeColumn({0, 86400, 172800}, {86400, 86400, 86400});
    DSError error;
    ASSERT_TRUE(d.save(path, DSSaveOperation::SaveAs, &error)) << error.localizedDescription.toStdString();
    const QMap<QString, QByteArray> onDisk = ds_package_files(path);
    ASSERT_FALSE(onDisk.isEmpty());

    ASSERT_TRUE(t->replaceTimeValueAtIndex(1, 3600, 60));
    EXPECT_FALSE(d.saveWithoutMemory(path, &error));
    EXPECT_FALSE(error.localizedDescription.isEmpty());
    EXPECT_EQ(ds_package_files(path), onDisk);
    EXPECT_EQ(valuesOf(t), (std::vector<double>{0, 3600, 172800}));
    EXPECT_TRUE(t->hasUnsavedEdits());

    ASSERT_TRUE(d.save(path, DSSaveOperation::Save, &error)) << error.localizedDescription.toStdString();
    EXPECT_FALSE(t->hasUnsavedEdits());
    const QByteArray stored = zlibInflate(t->time_intervals()).value_or(QByteArray());
    ASSERT_EQ(stored.size(), 3 * qsizetype(sizeof(double)));
    std::vector<double> inflated(3);
    std::memcpy(inflated.data(), stored.constData(), size_t(stored.size()));
    EXPECT_EQ(inflated, (std::vector<double>{86400, 60, 86400})) << "the stored intervals hold the edit";
}

// A copy of an edited column takes the edits; the original keeps them
// unsaved.
TEST_F(DSTimeDataColumnTest, ACopyTakesUnsavedEdits)
{
    EditedDocument d;
    DSTimeDataColumn *t = d.addTimeColumn({0, 86400}, {86400, 86400});
    ASSERT_TRUE(t->replaceTimeValueAtIndex(1, 7200, 60));
    auto *copy = ds_object_cast<DSTimeDataColumn>(d.document.data_root()->duplicateManagedObject(t));
    ASSERT_TRUE(copy);
    EXPECT_EQ(rowsOf(copy), rowsOf({0, 7200}, {86400, 60}));
    EXPECT_TRUE(t->hasUnsavedEdits());
    EXPECT_EQ(rowsOf(t), rowsOf({0, 7200}, {86400, 60}));
}

} // namespace
