// The conversions of server values into stored values.
#include "database/ds_sql_values.h"
#include "platform/calendar/ds_gmt_calendar.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

double gmt(int64_t y, int mo, int d, int h = 0, int mi = 0, double s = 0)
{
    ds_gmt_date_s date;
    date.year = y, date.month = mo, date.day = d, date.hour = h, date.minute = mi, date.second = s;
    return ds_gmt_absolute_time(date);
}

} // namespace

TEST(DSSQLValues, PostgreSQLTexts)
{
    using Fn = double (*)(const char *, size_t);
    struct Case
    {
        Fn fn;
        const char *text;
        double expected; // NaN: missing
    } cases[] = {
        {ds_pgsql_number_value, "12", 12},
        {ds_pgsql_number_value, "-1.5e3", -1500},
        {ds_pgsql_number_value, "0.1", 0.1},
        {ds_pgsql_number_value, "NaN", NAN},
        {ds_pgsql_number_value, "", NAN},
        {ds_pgsql_number_value, "12abc", NAN},
        {ds_pgsql_bool_value, "t", 1},
        {ds_pgsql_bool_value, "f", 0},
        {ds_pgsql_bool_value, "", NAN},
        {ds_pgsql_date_value, "2020-02-29", gmt(2020, 2, 29)},
        {ds_pgsql_date_value, "0044-03-15 BC", gmt(-43, 3, 15)},
        {ds_pgsql_date_value, "2020-13-01", NAN},
        {ds_pgsql_date_value, "infinity", NAN},
        {ds_pgsql_date_value, "2020-02", NAN},
        {ds_pgsql_time_value, "13:45:30.75", 13 * 3600 + 45 * 60 + 30},
        {ds_pgsql_time_value, "00:00:00", 0},
        {ds_pgsql_time_value, "13:45:30+05:30", 13 * 3600 + 45 * 60 + 30},
        {ds_pgsql_time_value, "13:45", NAN},
        {ds_pgsql_timestamp_value, "2020-01-01 12:00:00.999", gmt(2020, 1, 1, 12)},
        {ds_pgsql_timestamp_value, "2020-01-01 12:00:00+01", gmt(2020, 1, 1, 11)},
        {ds_pgsql_timestamp_value, "2020-01-01 12:00:00-03:30", gmt(2020, 1, 1, 15, 30)},
        {ds_pgsql_timestamp_value, "2020-01-01 00:30:00+05:30:15", gmt(2019, 12, 31, 19, 0, -15)},
        {ds_pgsql_timestamp_value, "2020-01-01", NAN},
        {ds_pgsql_timestamp_value, "2020-01-01 12:00:00 junk", NAN},
        {ds_pgsql_abstime_value, "978307200.5", 0},
        {ds_pgsql_abstime_value, "0", -kDSUnixToAbsoluteTime},
        {ds_pgsql_date_value, "32768-01-01", gmt(32768, 1, 1)},
        {ds_pgsql_date_value, "275000-06-30", gmt(275000, 6, 30)},
        {ds_pgsql_date_value, "4714-11-24 BC", gmt(-4713, 11, 24)},
        {ds_pgsql_date_value, "5874897-12-31", gmt(5874897, 12, 31)},
        {ds_pgsql_timestamp_value, "294276-12-31 23:59:59", gmt(294276, 12, 31, 23, 59, 59)},
        {ds_pgsql_timestamp_value, "32768-01-01 00:00:00+01", gmt(32767, 12, 31, 23)},
        // Intervals as the server's epoch of them counts their seconds.
        {ds_pgsql_interval_value, "00:00:00", 0},
        {ds_pgsql_interval_value, "1 year 2 mons 3 days 04:05:06.5", (365.25 + 60 + 3) * 86400 + 14706.5},
        {ds_pgsql_interval_value, "-1 years +2 mons", -(0 * 365.25 + 10 * 30) * 86400},
        {ds_pgsql_interval_value, "-00:00:01.25", -1.25},
        {ds_pgsql_interval_value, "1 day -100:00:00", 86400 - 360000},
        {ds_pgsql_interval_value, "178000000 years", 178000000 * 365.25 * 86400},
        {ds_pgsql_interval_value, "3 weeks", NAN},
        {ds_pgsql_interval_value, "", NAN},
        {ds_pgsql_interval_value, "1 day  2 days", NAN},
    };
    for (const Case &c : cases) {
        const double x = c.fn(c.text, std::strlen(c.text));
        if (std::isnan(c.expected))
            EXPECT_TRUE(std::isnan(x)) << c.text << " gave " << x;
        else
            EXPECT_DOUBLE_EQ(x, c.expected) << c.text;
    }
    // The length bounds the read: no terminating zero is needed.
    EXPECT_DOUBLE_EQ(ds_pgsql_number_value("123456", 3), 123);
    // A numeric of any length reads as its nearest double: 2.5 in
    // numeric(1000,600), and a thousand digits of a third.
    const std::string wide = "2." + std::string(1, '5') + std::string(599, '0');
    EXPECT_EQ(ds_pgsql_number_value(wide.data(), wide.size()), 2.5);
    const std::string third = "0." + std::string(1000, '3');
    EXPECT_EQ(ds_pgsql_number_value(third.data(), third.size()), 1.0 / 3);
    const std::string big = std::string(400, '9');
    EXPECT_EQ(ds_pgsql_number_value(big.data(), big.size()), INFINITY);
}

TEST(DSSQLValues, MySQLFields)
{
    const unsigned char one[] = {0x01};
    const unsigned char wide[] = {0x01, 0x00, 0xff};
    EXPECT_EQ(ds_mysql_bit_value(one, 1), 1);
    EXPECT_EQ(ds_mysql_bit_value(wide, 3), 65791);
    EXPECT_EQ(ds_mysql_bit_value(one, 0), 0);
    EXPECT_TRUE(std::isnan(ds_mysql_bit_value(wide, 9)));

    double interval = -1;
    EXPECT_DOUBLE_EQ(ds_mysql_year_value(2012, &interval), gmt(2012, 1, 1));
    EXPECT_DOUBLE_EQ(interval, 366 * 86400.0);
    EXPECT_DOUBLE_EQ(ds_mysql_year_value(2013, &interval), gmt(2013, 1, 1));
    EXPECT_DOUBLE_EQ(interval, 365 * 86400.0);
    EXPECT_TRUE(std::isnan(ds_mysql_year_value(0, &interval)));
    // Years the calendar cannot hold are missing before any conversion
    // (2^63 and more have no int64).
    for (double year : {-1.0, 0.5, 9223372036854775808.0, 7.7e17, 1e300, double(kDSGMTYearLimit) + 1, double(INFINITY),
                        -double(INFINITY), double(NAN)}) {
        interval = -1;
        EXPECT_TRUE(std::isnan(ds_mysql_year_value(year, &interval))) << year;
        EXPECT_EQ(interval, 0) << year;
    }
    EXPECT_DOUBLE_EQ(ds_mysql_year_value(double(kDSGMTYearLimit) - 1, &interval), gmt(kDSGMTYearLimit - 1, 1, 1));

    struct Case
    {
        ds_mysql_time_s fields;
        double value, interval;
    } cases[] = {
        {{2, 0, 0, 0, 13, 45, 30, false}, 13 * 3600 + 45 * 60 + 30, 1},
        {{2, 0, 0, 1, 2, 0, 0, true}, -(86400 + 7200), 1},
        {{0, 2021, 7, 4, 0, 0, 0, false}, gmt(2021, 7, 4), 86400},
        {{1, 2021, 7, 4, 5, 6, 7, false}, gmt(2021, 7, 4, 5, 6, 7), 1},
        {{1, 0, 0, 0, 0, 0, 0, false}, NAN, 0},
        // The kind comes from the column: a zero time is midnight, a date
        // and time at midnight keeps the interval of a second.
        {{2, 0, 0, 0, 0, 0, 0, false}, 0, 1},
        {{1, 2021, 7, 4, 0, 0, 0, false}, gmt(2021, 7, 4), 1},
        {{1, 9999, 12, 31, 23, 59, 59, false}, gmt(9999, 12, 31, 23, 59, 59), 1},
        {{0, 1, 1, 1, 0, 0, 0, false}, gmt(1, 1, 1), 86400},
    };
    for (const Case &c : cases) {
        const double x = ds_mysql_time_value(c.fields, &interval);
        if (std::isnan(c.value)) {
            EXPECT_TRUE(std::isnan(x));
        } else {
            EXPECT_DOUBLE_EQ(x, c.value);
            EXPECT_DOUBLE_EQ(interval, c.interval);
        }
    }
}
