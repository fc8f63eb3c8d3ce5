// Time differences: random pairs against dateutil's relativedelta and
// truncated divisions (fixtures/make_time_differences.py), the edges as a
// table, and "Today" under two time zones from a clock the test sets.

#include "DerivedTestSupport.h"
#include "../model/TimeColumnsTestSupport.h"

#include "derived/DSComputeTimeDifferenceColumn.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <limits>

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
using D = DSComputeTimeDifferenceColumn;

class DSComputeTimeDifferenceColumnTest : public ::testing::Test, public TimeColumnsFixture
{
protected:
    static void SetUpTestSuite() { ds_derived_test_setup(); }
    void TearDown() override { D::setClock(nullptr); }

    D *difference(DSColumn *start, DSColumn *end, qint64 unit, qint64 count = 1)
    {
        auto *column = context().insertNewObject<D>(QStringLiteral("DSComputeTimeDifferenceColumn"));
        if (start)
            column->setStart_time(start);
        if (end)
            column->setEnd_time(end);
        column->setGregorian_unit(unit);
        column->setGregorian_unit_count(count);
        table()->insertNewColumns({column}, table()->columns().size());
        return column;
    }
};

TEST_F(DSComputeTimeDifferenceColumnTest, RandomPairsEqualRelativedeltaAndTruncatedDivisions)
{
    const auto rows = readCsvRows(QStringLiteral("fixtures/time_differences.csv"), 7);
    ASSERT_EQ(rows.size(), 3000u);
    std::vector<double> starts, ends;
    for (const auto &row : rows) {
        starts.push_back(row[0].toDouble());
        ends.push_back(row[1].toDouble());
    }
    DSColumn *s = addTimeColumn(starts, {1}, false, QStringLiteral("s"));
    DSColumn *e = addTimeColumn(ends, {1}, false, QStringLiteral("e"));
    const qint64 units[] = {D::Years, D::Months, D::Days, D::Hours, D::Minutes};
    for (int k = 0; k < 5; ++k) {
        SCOPED_TRACE(k);
        const std::vector<double> values = valuesOf(difference(s, e, units[k]));
        ASSERT_EQ(values.size(), rows.size());
        qint64 wrong = 0;
        for (size_t i = 0; i < rows.size(); ++i)
            if (values[i] != rows[i][2 + k].toDouble() && ++wrong <= 5)
                ADD_FAILURE() << rows[i][0].constData() << " to " << rows[i][1].constData() << ": " << values[i];
        EXPECT_EQ(wrong, 0);
    }
}

TEST_F(DSComputeTimeDifferenceColumnTest, EdgesOfUnitsAndSteps)
{
    const double start = ds_test_time(2020, 1, 15);
    DSColumn *s = addTimeColumn({start, start, start, start, start, start, NaN}, {1}, false, QStringLiteral("s"));
    DSColumn *e = addTimeColumn({ds_test_time(2021, 1, 14, 23, 59), ds_test_time(2021, 1, 15), start + 36 * 3600,
                                 start - 36 * 3600, ds_test_time(2020, 8, 15), start + 13 * 86400, start},
                                {1}, false, QStringLiteral("e"));
    EXPECT_EQ(valuesOf(difference(s, e, D::Years), 0, 2), (std::vector<double>{0, 1}));
    EXPECT_EQ(valuesOf(difference(s, e, D::Days), 2, 2), (std::vector<double>{1, -1}));
    D *quarters = difference(s, e, D::Months, 3);
    EXPECT_EQ(valuesOf(quarters, 4, 1), std::vector<double>{2});
    EXPECT_EQ(quarters->name(), QStringLiteral("quarters(s, e)"));
    D *weeks = difference(s, e, D::Days, 7);
    EXPECT_EQ(valuesOf(weeks, 5, 1), std::vector<double>{1});
    EXPECT_EQ(weeks->name(), QStringLiteral("weeks(s, e)"));
    EXPECT_EQ(missingRows(weeks), std::vector<qint64>{6});
    EXPECT_EQ(valuesOf(difference(s, e, 9), 0, 2), (std::vector<double>{0, 0}));
    // a count of 0 steps counts single units instead of dividing by zero
    EXPECT_EQ(valuesOf(difference(s, e, D::Hours, 0), 2, 1), std::vector<double>{36});
    EXPECT_EQ(valuesOf(difference(nullptr, nullptr, D::Days)), std::vector<double>(7, 0));
}

double fixedClock()
{
    return ds_test_time(2026, 12, 11, 6, 0);
}

TEST_F(DSComputeTimeDifferenceColumnTest, TodayIsTheWallClockOfTheLocalZone)
{
    D::setClock(fixedClock);
    DSColumn *s = addTimeColumn({ds_test_time(2026, 12, 11, 0, 0), NaN}, {1}, false, QStringLiteral("birth"));
    D *hours = difference(s, nullptr, D::Hours);
    EXPECT_EQ(hours->name(), QStringLiteral("hours(birth, TODAY)"));
    const char *saved = std::getenv("TZ");
    const std::string restore = saved ? saved : "";
    struct Zone
    {
        const char *tz;
        double hours;
    };
    for (const Zone &zone : {Zone{"UTC", 6}, Zone{"Asia/Tokyo", 15}, Zone{"America/New_York", 1}}) {
        SCOPED_TRACE(zone.tz);
        setenv("TZ", zone.tz, 1);
        tzset();
        EXPECT_EQ(valuesOf(hours, 0, 1), std::vector<double>{zone.hours});
    }
    if (saved)
        setenv("TZ", restore.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
    EXPECT_EQ(missingRows(hours), std::vector<qint64>{1});
}

} // namespace
