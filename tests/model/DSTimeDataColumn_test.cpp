// Stored time columns: import, storage, value and calendar sources, missing
// masks with the missing-values predicate, formatters and edits. The
// program also runs under two other time zones (CMakeLists.txt): only the
// picked date of a predicate moves with the zone, never what it marks.

#include "TimeColumnsTestSupport.h"

#include "model/DSTable.h"
#include "model/ds_compression.h"
#include "platform/calendar/DSDatePatternGenerator.h"
#include "platform/calendar/DSPlatformDateFormatter.h"

#include <QDateTime>

#include <gtest/gtest.h>

#include <cmath>

namespace {

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

} // namespace
