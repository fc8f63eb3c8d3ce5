// The GMT calendar over its whole range: far years land in their own year,
// never a wrapped one, and years outside the range are missing.
#include "../../model/ds_test_time.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

double at(int64_t y, int mo, int d, int h = 0, int mi = 0, double s = 0)
{
    return ds_test_time(y, mo, d, h, mi, s);
}

} // namespace

TEST(ds_gmt_calendar, FarDatesEqualPythonsCalendarBothWays)
{
    QFile file(OSTREL_TEST_SOURCE_DIR "/fixtures/gmt_calendar.csv");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
    file.readLine();
    int rows = 0;
    while (!file.atEnd()) {
        const QList<QByteArray> f = file.readLine().trimmed().split(',');
        ASSERT_EQ(f.size(), 4);
        const int64_t y = f[0].toLongLong();
        const int mo = f[1].toInt(), d = f[2].toInt();
        const double expected = double(f[3].toLongLong());
        const std::string what = f[0].toStdString() + "-" + f[1].toStdString() + "-" + f[2].toStdString();
        EXPECT_EQ(at(y, mo, d), expected) << what;
        EXPECT_EQ(at(y, mo, d, 23, 59, 59), expected + 86399) << what;
        for (double t : {expected, expected + 86399}) {
            const ds_gmt_date_s back = ds_gmt_date(t);
            EXPECT_EQ(back.year, y) << what;
            EXPECT_EQ(back.month, mo) << what;
            EXPECT_EQ(back.day, d) << what;
            EXPECT_EQ(back.hour, t == expected ? 0 : 23) << what;
            EXPECT_EQ(back.second, t == expected ? 0 : 59) << what;
        }
        EXPECT_TRUE(ds_gmt_time_in_range(expected)) << what;
        ++rows;
    }
    EXPECT_GT(rows, 1000);
}

TEST(ds_gmt_calendar, OutsideTheRangeIsMissing)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case
    {
        double year;
        bool inRange;
    } cases[] = {
        {double(kDSGMTYearLimit), true},  {-double(kDSGMTYearLimit), true}, {kDSGMTYearLimit + 1.0, false},
        {-kDSGMTYearLimit - 1.0, false},  {7.7e17, false},                   {9.3e18, false},
        {-9.3e18, false},                 {1e300, false},                    {nan, false},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(ds_gmt_year_in_range(c.year), c.inRange) << c.year;
        if (std::isnan(c.year) || std::fabs(c.year) > 9e18)
            continue;
        EXPECT_EQ(std::isnan(at(int64_t(c.year), 1, 1)), !c.inRange) << c.year;
    }
    EXPECT_TRUE(std::isnan(at(std::numeric_limits<int64_t>::max(), 12, 31, 23, 59, 59)));
    EXPECT_TRUE(std::isnan(at(std::numeric_limits<int64_t>::min(), 1, 1)));
    // Months carry over the years' limit only within the range.
    EXPECT_EQ(at(kDSGMTYearLimit - 1, 13, 1), at(kDSGMTYearLimit, 1, 1));
    const double first = at(-kDSGMTYearLimit, 1, 1), end = at(kDSGMTYearLimit, 12, 31, 23, 59, 59) + 1;
    EXPECT_TRUE(ds_gmt_time_in_range(first));
    EXPECT_FALSE(ds_gmt_time_in_range(first - 1));
    EXPECT_TRUE(ds_gmt_time_in_range(end - 1));
    EXPECT_FALSE(ds_gmt_time_in_range(end));
    EXPECT_FALSE(ds_gmt_time_in_range(nan));
    // A time beyond the range gives the fields of its nearest end, never
    // those of a wrapped year; weeks and weekdays stay defined.
    EXPECT_EQ(ds_gmt_date(1e300).year, kDSGMTYearLimit);
    EXPECT_EQ(ds_gmt_date(-1e300).year, -kDSGMTYearLimit);
    int64_t weekYear = 0;
    int week = 0;
    ds_gmt_iso_week(1e300, &weekYear, &week);
    EXPECT_GE(week, 1);
    EXPECT_GE(ds_gmt_day_of_week(-1e300), 1);
}

TEST(ds_gmt_calendar, IsoWeeksAndWeekdaysOfFarYears)
{
    // 32768-01-01 is a Monday, so it opens week 1 of 32768; 275000-06-30 is
    // a Monday too (checked with Python's datetime moved by whole 400-year
    // cycles: 2368-01-01 and 2200-06-30).
    int64_t weekYear = 0;
    int week = 0;
    ds_gmt_iso_week(at(32768, 1, 1), &weekYear, &week);
    EXPECT_EQ(weekYear, 32768);
    EXPECT_EQ(week, 1);
    EXPECT_EQ(ds_gmt_day_of_week(at(32768, 1, 1)), 1);
    EXPECT_EQ(ds_gmt_day_of_week(at(275000, 6, 30)), 1);
    ds_gmt_iso_week(at(-4713, 11, 24), &weekYear, &week);
    EXPECT_EQ(weekYear, -4713);
    EXPECT_EQ(week, 48);
}
