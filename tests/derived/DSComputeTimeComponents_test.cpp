// The twelve time components and the time-of-day column: the ISO week,
// ISO year and day of year of every day of 1900-2100 against Python's
// datetime (fixtures/make_time_components.py), the edges of each component
// and of its precision bound as one table, labels, names and ranges.

#include "DerivedTestSupport.h"
#include "../model/TimeColumnsTestSupport.h"

#include "derived/DSComputeDayOfMonthColumn.h"
#include "derived/DSComputeDayOfWeekColumn.h"
#include "derived/DSComputeDayOfYearColumn.h"
#include "derived/DSComputeGregorianYearColumn.h"
#include "derived/DSComputeHourOfDayColumn.h"
#include "derived/DSComputeHourOfWeekColumn.h"
#include "derived/DSComputeISOWeekNumberingYearColumn.h"
#include "derived/DSComputeMinuteOfDayColumn.h"
#include "derived/DSComputeMinuteOfHourColumn.h"
#include "derived/DSComputeMonthOfYearColumn.h"
#include "derived/DSComputeQuarterOfYearColumn.h"
#include "derived/DSComputeWeekOfYearColumn.h"
#include "derived/DSTimeOfDayColumn.h"
#include "model/DSNumberFormatter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kDay = 86400;

class DSComputeTimeComponentsTest : public ::testing::Test, public TimeColumnsFixture
{
protected:
    static void SetUpTestSuite() { ds_derived_test_setup(); }

public:
    template <class T>
    T *component(const char *entity, DSColumn *input, bool fraction = false)
    {
        auto *column = addComputed<T>(*this, entity, {input});
        column->setInclude_fraction(fraction);
        return column;
    }
    DSComputeTimeComponentColumn *component(const std::string &entity, DSColumn *input, bool fraction)
    {
        auto *column = context().insertNewObject<DSComputeTimeComponentColumn>(QString::fromStdString(entity));
        column->addInputColumn(input);
        column->setInclude_fraction(fraction);
        table()->insertNewColumns({column}, table()->columns().size());
        return column;
    }
};

bool isMissing(DSColumn *column, qint64 row)
{
    const std::vector<qint64> rows = missingRows(column);
    return std::find(rows.begin(), rows.end(), row) != rows.end();
}

TEST_F(DSComputeTimeComponentsTest, IsoWeekYearAndDayOfYearEqualPythonForEveryDayOf1900To2100)
{
    const auto rows = readCsvRows(QStringLiteral("fixtures/time_components.csv"), 3);
    ASSERT_EQ(rows.size(), 73414u);
    std::vector<double> times;
    const double first = ds_test_time(1900, 1, 1);
    for (size_t k = 0; k < rows.size(); ++k)
        times.push_back(first + double(k) * kDay + double((k * 7919) % 86400));
    DSTimeDataColumn *t = addTimeColumn(times, {1});
    const std::vector<double> isoYear =
        valuesOf(component<DSComputeISOWeekNumberingYearColumn>("DSComputeISOWeekNumberingYearColumn", t));
    const std::vector<double> week = valuesOf(component<DSComputeWeekOfYearColumn>("DSComputeWeekOfYearColumn", t));
    const std::vector<double> doy = valuesOf(component<DSComputeDayOfYearColumn>("DSComputeDayOfYearColumn", t));
    ASSERT_EQ(isoYear.size(), rows.size());
    ASSERT_EQ(week.size(), rows.size());
    ASSERT_EQ(doy.size(), rows.size());
    qint64 wrong = 0;
    for (size_t k = 0; k < rows.size(); ++k) {
        const bool same = isoYear[k] == rows[k][0].toDouble() && week[k] == rows[k][1].toDouble() &&
                          doy[k] == rows[k][2].toDouble();
        if (!same && ++wrong <= 5)
            ADD_FAILURE() << "day " << k << ": " << isoYear[k] << " " << week[k] << " " << doy[k];
    }
    EXPECT_EQ(wrong, 0);
}

// One input value with its interval, one component: its value (NaN when the
// row must be missing).
struct ComponentCase
{
    const char *entity;
    double t;
    double interval;
    bool fraction;
    double expected;
};

TEST_F(DSComputeTimeComponentsTest, ComponentsAndTheirPrecisionBounds)
{
    const double monday = 0;
    const double t1330 = ds_test_time(2024, 5, 17, 13, 30, 0);
    const double t1007 = ds_test_time(2024, 5, 17, 10, 7, 30);
    const ComponentCase cases[] = {
        {"DSComputeDayOfWeekColumn", monday, 1, false, 1},
        {"DSComputeHourOfWeekColumn", monday, 1, false, 0},
        {"DSComputeDayOfWeekColumn", -kDay, 1, false, 7},
        {"DSComputeDayOfWeekColumn", -1, 1, false, 7},
        {"DSComputeHourOfWeekColumn", -3600, 1, false, 167},
        {"DSComputeHourOfWeekColumn", ds_test_time(2024, 5, 19, 23, 59, 59), 1, false, 167},
        {"DSComputeHourOfDayColumn", t1330, 1, false, 13},
        {"DSComputeHourOfDayColumn", t1330, 1, true, 13.5},
        {"DSComputeMinuteOfHourColumn", t1007, 1, false, 7},
        {"DSComputeMinuteOfHourColumn", t1007, 1, true, 7.5},
        {"DSComputeMinuteOfDayColumn", t1330, 1, false, 810},
        {"DSComputeMinuteOfDayColumn", t1007, 1, true, 607.5},
        // a quarter hour keeps its minute of the hour, not of the day
        {"DSComputeMinuteOfHourColumn", t1330, 900, false, 30},
        {"DSComputeMinuteOfDayColumn", t1330, 900, false, NaN},
        {"DSComputeMinuteOfDayColumn", t1330, 60, false, 810},
        // an hour loses both minutes and keeps the hours
        {"DSComputeMinuteOfHourColumn", t1330, 3600, false, NaN},
        {"DSComputeMinuteOfDayColumn", t1330, 3600, false, NaN},
        {"DSComputeHourOfDayColumn", t1330, 3600, false, 13},
        {"DSComputeHourOfWeekColumn", t1330, 3600, false, 109},
        {"DSComputeHourOfDayColumn", t1330, kDay, false, NaN},
        // a month keeps its quarter and month, not its day
        {"DSComputeQuarterOfYearColumn", ds_test_time(2023, 8, 1), 31 * kDay, false, 3},
        {"DSComputeMonthOfYearColumn", ds_test_time(2023, 8, 1), 31 * kDay, false, 8},
        {"DSComputeDayOfMonthColumn", ds_test_time(2023, 8, 1), 31 * kDay, false, NaN},
        {"DSComputeDayOfMonthColumn", ds_test_time(2023, 8, 31), kDay, false, 31},
        {"DSComputeMonthOfYearColumn", ds_test_time(2023, 8, 1), 61 * kDay, false, NaN},
        {"DSComputeQuarterOfYearColumn", ds_test_time(2023, 1, 1), 181 * kDay, false, NaN},
        {"DSComputeQuarterOfYearColumn", ds_test_time(2023, 12, 31), kDay, false, 4},
        // a whole leap year still has its year
        {"DSComputeGregorianYearColumn", ds_test_time(2024, 1, 1), 366 * kDay, false, 2024},
        {"DSComputeGregorianYearColumn", ds_test_time(2024, 1, 1), 367 * kDay, false, NaN},
        {"DSComputeGregorianYearColumn", ds_test_time(1600, 12, 31, 23, 59, 59), 1, false, 1600},
        {"DSComputeISOWeekNumberingYearColumn", ds_test_time(2021, 1, 1), kDay, false, 2020},
        {"DSComputeWeekOfYearColumn", ds_test_time(2021, 1, 1), kDay, false, 53},
        {"DSComputeWeekOfYearColumn", ds_test_time(2024, 12, 30), 7 * kDay, false, 1},
        {"DSComputeISOWeekNumberingYearColumn", ds_test_time(2024, 12, 30), 7 * kDay, false, 2025},
        {"DSComputeWeekOfYearColumn", ds_test_time(2024, 12, 30), 8 * kDay, false, NaN},
        {"DSComputeWeekOfYearColumn", ds_test_time(2026, 12, 31), kDay, false, 53},
        {"DSComputeISOWeekNumberingYearColumn", ds_test_time(2026, 12, 31), kDay, false, 2026},
        {"DSComputeDayOfYearColumn", ds_test_time(2024, 12, 31, 23), 3600, false, 366},
        {"DSComputeDayOfYearColumn", ds_test_time(2024, 12, 31, 23), 2 * kDay, false, NaN},
        // an unknown interval never hides a value; a missing value is missing
        {"DSComputeHourOfDayColumn", t1330, NaN, false, 13},
        {"DSComputeHourOfDayColumn", NaN, 1, false, NaN},
        {"DSComputeDayOfWeekColumn", NaN, 1, false, NaN},
    };
    std::vector<double> times, intervals;
    for (const ComponentCase &c : cases) {
        times.push_back(c.t);
        intervals.push_back(c.interval);
    }
    DSTimeDataColumn *t = addTimeColumn(times, intervals);
    for (size_t i = 0; i < std::size(cases); ++i) {
        const ComponentCase &c = cases[i];
        SCOPED_TRACE(std::string(c.entity) + " row " + std::to_string(i));
        DSComputeTimeComponentColumn *column = component(c.entity, t, c.fraction);
        EXPECT_EQ(isMissing(column, qint64(i)), std::isnan(c.expected));
        if (!std::isnan(c.expected)) {
            const std::vector<double> one = valuesOf(column, qint64(i), 1);
            ASSERT_EQ(one.size(), 1u);
            EXPECT_EQ(one[0], c.expected);
        }
        EXPECT_EQ(column->containsOnlyIntegers(), !c.fraction);
    }
}

TEST_F(DSComputeTimeComponentsTest, NamesLabelsCategoriesAndYearFormat)
{
    DSTimeDataColumn *t = addTimeColumn({0}, {1}, false, QStringLiteral("born"));
    auto *quarter = component<DSComputeQuarterOfYearColumn>("DSComputeQuarterOfYearColumn", t);
    auto *month = component<DSComputeMonthOfYearColumn>("DSComputeMonthOfYearColumn", t);
    auto *dow = component<DSComputeDayOfWeekColumn>("DSComputeDayOfWeekColumn", t);
    auto *year = component<DSComputeGregorianYearColumn>("DSComputeGregorianYearColumn", t);
    auto *isoYear = component<DSComputeISOWeekNumberingYearColumn>("DSComputeISOWeekNumberingYearColumn", t);
    auto *weekHour = component<DSComputeHourOfWeekColumn>("DSComputeHourOfWeekColumn", t);
    auto *dayMinute = component<DSComputeMinuteOfDayColumn>("DSComputeMinuteOfDayColumn", t);

    EXPECT_EQ(quarter->name(), QStringLiteral("quarter(born)"));
    EXPECT_EQ(dow->name(), QStringLiteral("dow(born)"));
    EXPECT_EQ(weekHour->name(), QStringLiteral("weekhour(born)"));
    EXPECT_EQ(dayMinute->name(), QStringLiteral("dayminute(born)"));
    EXPECT_EQ(isoYear->name(), QStringLiteral("isoyear(born)"));

    EXPECT_TRUE(quarter->treat_as_categories());
    EXPECT_TRUE(month->treat_as_categories());
    EXPECT_TRUE(dow->treat_as_categories());
    EXPECT_FALSE(year->treat_as_categories());
    EXPECT_EQ(quarter->category_labels().value(1.0).toString(), QStringLiteral("1st quarter"));
    EXPECT_EQ(quarter->category_labels().value(4.0).toString(), QStringLiteral("4th quarter"));
    EXPECT_EQ(month->category_labels().value(1.0).toString(), QStringLiteral("January"));
    EXPECT_EQ(month->category_labels().value(12.0).toString(), QStringLiteral("December"));
    EXPECT_EQ(dow->category_labels().value(1.0).toString(), QStringLiteral("Monday"));
    EXPECT_EQ(dow->category_labels().value(7.0).toString(), QStringLiteral("Sunday"));
    EXPECT_EQ(month->category_labels().size(), 12);

    ASSERT_NE(year->number_formatter(), nullptr);
    EXPECT_FALSE(year->number_formatter()->show_grouping_separator());
    ASSERT_NE(isoYear->number_formatter(), nullptr);
    EXPECT_FALSE(isoYear->number_formatter()->show_grouping_separator());
}

TEST_F(DSComputeTimeComponentsTest, RangesAgreeWithTheWholeColumnAndFollowEdits)
{
    std::vector<double> times;
    for (int k = 0; k < 2000; ++k)
        times.push_back(-5e8 + 7654321.5 * k);
    DSTimeDataColumn *t = addTimeColumn(times, {1});
    auto *week = component<DSComputeWeekOfYearColumn>("DSComputeWeekOfYearColumn", t);
    auto *hour = component<DSComputeHourOfDayColumn>("DSComputeHourOfDayColumn", t, true);
    for (DSNumericColumn *column : {static_cast<DSNumericColumn *>(week), static_cast<DSNumericColumn *>(hour)}) {
        const std::vector<double> whole = valuesOf(column);
        ASSERT_EQ(whole.size(), times.size());
        const std::vector<double> part = valuesOf(column, 1500, 1000);
        ASSERT_EQ(part.size(), 500u);
        EXPECT_TRUE(std::equal(part.begin(), part.end(), whole.begin() + 1500));
        EXPECT_TRUE(valuesOf(column, 2000, 10).empty());
    }
    ASSERT_TRUE(t->replaceTimeValueAtIndex(3, ds_test_time(2021, 1, 1, 6, 45), 60));
    EXPECT_EQ(valuesOf(week, 3, 1), std::vector<double>{53});
    EXPECT_EQ(valuesOf(hour, 3, 1), std::vector<double>{6.75});
}

TEST_F(DSComputeTimeComponentsTest, TimeOfDayKeepsTheClockAndLosesDays)
{
    DSTimeDataColumn *t = addTimeColumn({ds_test_time(2024, 2, 29, 13, 5, 7.25), ds_test_time(1999, 12, 31, 23, 59),
                                         ds_test_time(2024, 3, 1), NaN, ds_test_time(1850, 6, 1, 0, 0, 1)},
                                        {0.25, 60, kDay, 1, 1}, false, QStringLiteral("when"));
    auto *clock = context().insertNewObject<DSTimeOfDayColumn>(QStringLiteral("DSTimeOfDayColumn"));
    clock->addInputColumn(t);
    table()->insertNewColumns({clock}, table()->columns().size());
    EXPECT_TRUE(clock->isTimeOfDay());
    EXPECT_EQ(clock->name(), QStringLiteral("time(when)"));
    const double *values = nullptr, *intervals = nullptr;
    ASSERT_EQ(clock->getTimeValues(&values, &intervals, 0, 5), 5);
    EXPECT_EQ(values[0], 13 * 3600 + 5 * 60 + 7.25);
    EXPECT_EQ(values[1], 23 * 3600 + 59 * 60);
    EXPECT_EQ(values[4], 1);
    EXPECT_EQ(intervals[0], 0.25);
    EXPECT_EQ(intervals[2], kDay);
    EXPECT_EQ(missingRows(clock), (std::vector<qint64>{2, 3}));
    ASSERT_EQ(clock->getTimeValues(&values, nullptr, 1, 2), 2);
    EXPECT_EQ(values[0], 23 * 3600 + 59 * 60);

    clock->removeInputColumn(t);
    EXPECT_EQ(clock->getTimeValues(&values, nullptr, 0, 5), 0);
}

} // namespace
