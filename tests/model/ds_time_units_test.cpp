// Time units against Python's datetime (fixtures/make_time_units.py) and
// the cases the design lists. Nothing here may depend on the time zone: the
// program also runs under two other zones (CMakeLists.txt).

#include "model/DSDate.h"
#include "model/DSDateFormatter.h"
#include "model/ds_time_units.h"
#include "ds_test_time.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

// The absolute time of a GMT calendar date.
double at(int64_t y, int mo, int d, int h = 0, int mi = 0, double s = 0)
{
    return ds_test_time(y, mo, d, h, mi, s);
}

struct Digest
{
    __int128 total = 0;
    uint64_t hash = 0;
    void add(int64_t v)
    {
        total += v;
        hash = hash * 1000003u + uint64_t(v);
    }
};

void expectDigest(const Digest &d, const QJsonValue &expected, const char *what, int unit)
{
    const QJsonObject o = expected.toObject();
    __int128 sum = 0;
    const QByteArray text = o["sum"].toString().toLatin1();
    const bool negative = text.startsWith('-');
    for (char c : text.mid(negative ? 1 : 0))
        sum = sum * 10 + (c - '0');
    if (negative)
        sum = -sum;
    EXPECT_TRUE(d.total == sum) << what << " sum, unit " << unit;
    EXPECT_EQ(d.hash, o["hash"].toString().toULongLong()) << what << " hash, unit " << unit;
}

TEST(ds_time_units, FloorLengthAndStepEqualPythonDatetime)
{
    QFile file(OSTREL_TEST_SOURCE_DIR "/fixtures/time_units.json");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject expected = QJsonDocument::fromJson(file.readAll()).object();
    const int64_t count = expected["count"].toInteger();
    ASSERT_EQ(count, 100000);

    std::vector<Digest> floors(ds_time_unit_count), lengths(ds_time_unit_count), steps(ds_time_unit_count);
    Digest weeks, weekdays;
    uint64_t state = 0x2001;
    const int64_t t0 = int64_t(at(1000, 1, 1));
    const uint64_t quarters = uint64_t(int64_t(at(3000, 1, 1)) - t0) * 4;
    for (int64_t i = 0; i < count; ++i) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        const double t = double(t0) + double((state >> 11) % quarters) / 4.0;
        const int64_t n = int64_t((state >> 40) % 6);
        for (int64_t unit = 0; unit < ds_time_unit_count; ++unit) {
            double length = 0;
            const double start = ds_time_floor(unit, &length, t);
            floors[unit].add(int64_t(start));
            lengths[unit].add(int64_t(length));
            steps[unit].add(int64_t(ds_gmt_add_units(start, ds_gregorian_units(unit, n))));
        }
        int64_t weekYear = 0;
        int week = 0;
        ds_gmt_iso_week(t, &weekYear, &week);
        weeks.add(weekYear * 100 + week);
        weekdays.add(ds_gmt_day_of_week(t));
    }
    for (int unit = 0; unit < ds_time_unit_count; ++unit) {
        expectDigest(floors[unit], expected["floors"].toArray()[unit], "floor", unit);
        expectDigest(lengths[unit], expected["lengths"].toArray()[unit], "length", unit);
        expectDigest(steps[unit], expected["steps"].toArray()[unit], "step", unit);
    }
    expectDigest(weeks, expected["iso_weeks"], "ISO week", 10);
    expectDigest(weekdays, expected["iso_weekdays"], "ISO weekday", 10);
}

TEST(ds_time_units, FloorCases)
{
    struct Case
    {
        int64_t unit;
        double time, start, length;
    } cases[] = {
        // A week starts on Monday.
        {10, at(2020, 3, 8, 23, 59), at(2020, 3, 2), 604800},
        {12, at(2020, 8, 15), at(2020, 7, 1), 92 * 86400.0},
        {12, at(2020, 2, 15), at(2020, 1, 1), 91 * 86400.0},
        {11, at(2020, 2, 29, 23, 59, 59.5), at(2020, 2, 1), 29 * 86400.0},
        {11, at(2021, 2, 1), at(2021, 2, 1), 28 * 86400.0},
        {13, at(2020, 12, 31), at(2020, 7, 1), 184 * 86400.0},
        {14, at(2000, 6, 1), at(2000, 1, 1), 366 * 86400.0},
        {17, at(1999, 12, 31, 23), at(1990, 1, 1), 3652 * 86400.0},
        {20, at(2000, 1, 1), at(2000, 1, 1), 36525 * 86400.0},
        {8, at(2020, 1, 1, 13, 30), at(2020, 1, 1, 12), 43200},
        {3, at(2020, 1, 1, 13, 44, 59), at(2020, 1, 1, 13, 30), 900},
        {0, at(1990, 1, 1, 0, 0, 0.75), at(1990, 1, 1), 1},
        // Before the epoch days and weeks still floor towards the past.
        {9, at(1800, 5, 5, 5), at(1800, 5, 5), 86400},
        {10, at(1800, 5, 5, 5), at(1800, 5, 5), 604800},
        // Years before 0 keep their period.
        {17, at(-5, 6, 1), at(-10, 1, 1), 3652 * 86400.0},
    };
    for (const Case &c : cases) {
        double length = 0;
        EXPECT_EQ(ds_time_floor(c.unit, &length, c.time), c.start) << "unit " << c.unit;
        EXPECT_EQ(length, c.length) << "unit " << c.unit;
    }
    double length = 0;
    EXPECT_TRUE(std::isnan(ds_time_floor(9, &length, NAN)));
    EXPECT_TRUE(std::isnan(length));
    EXPECT_TRUE(std::isnan(ds_time_floor(24, &length, 0)));
    EXPECT_TRUE(std::isnan(ds_time_floor(-1, nullptr, 0)));
}

TEST(ds_time_units, TruncateWritesOnePeriod)
{
    ds_gmt_units_s step;
    ds_gmt_date_s d = ds_gregorian_truncate(ds_gmt_date(at(2020, 8, 15, 10)), 12, &step);
    EXPECT_EQ(d.month, 7);
    EXPECT_EQ(d.day, 1);
    EXPECT_EQ(d.hour, 0);
    EXPECT_EQ(step.months, 3);
    EXPECT_EQ(step.years + step.days + step.hours + step.minutes, 0);
    ds_gregorian_truncate(ds_gmt_date(0), 0, &step);
    EXPECT_EQ(step.seconds, 1);
    ds_gregorian_truncate(ds_gmt_date(0), 10, &step);
    EXPECT_EQ(step.days, 7);
    EXPECT_EQ(ds_gregorian_units(10, 3).days, 21);
    EXPECT_EQ(ds_gregorian_units(16, 2).years, 10);
    EXPECT_EQ(ds_gregorian_units(0, 5).seconds, 0);

    const int flags[] = {32, 16, 16, 16, 16, 8, 8, 8, 8, 4, 4, 2, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    for (int unit = 0; unit < ds_time_unit_count; ++unit)
        EXPECT_EQ(ds_time_unit_calendar_flag(unit), flags[unit]) << unit;
}

TEST(ds_time_units, UnitForInterval)
{
    const struct
    {
        double seconds;
        int64_t unit;
    } cases[] = {{59, 1},          {0, 1},       {60, 1},         {300, 2},       {86400, 9},
                 {2419199, 10},    {2419200, 11}, {7776000, 12},  {31535999, 13}, {31536000, 14},
                 {1e12, 23},       {NAN, -1}};
    for (const auto &c : cases)
        EXPECT_EQ(ds_time_unit_for_interval(c.seconds), c.unit) << c.seconds;
}

TEST(ds_time_units, UnitForRange)
{
    auto stats = [](double start, double end, double interval) {
        ds_time_stats_s s;
        s.min_start = start;
        s.max_end = end;
        s.min_interval = interval;
        return s;
    };
    const double day0 = at(2020, 1, 1);
    // 12 whole weeks do not exceed 20 and the week is longer than the data's
    // interval, while 90 days do.
    EXPECT_EQ(ds_time_unit_for_summary(stats(day0, day0 + 90 * 86400.0, 86400)), 9);
    // The day is no finer than the data's own interval.
    EXPECT_EQ(ds_time_unit_for_summary(stats(day0, day0 + 10 * 86400.0, 86400)), 9);
    // 36 five-minute periods in 3 hours.
    EXPECT_EQ(ds_time_unit_for_summary(stats(day0, day0 + 3 * 3600.0, 60)), 2);
    // 30 years of yearly data: two-year periods (15) do not exceed 20.
    EXPECT_EQ(ds_time_unit_for_summary(stats(at(1990, 1, 1), at(2020, 1, 1), 31536000)), 14);
    EXPECT_EQ(ds_time_unit_for_summary(stats(at(1800, 1, 1), at(2020, 1, 1), 86400)), 17);
    EXPECT_EQ(ds_time_unit_for_thumbnail(stats(day0, day0 + 10 * 86400.0, 3600)), 9);
    EXPECT_EQ(ds_time_unit_for_thumbnail(stats(day0, day0 + 5 * 86400.0, 3600)), 8);
    EXPECT_EQ(ds_time_unit_for_summary(stats(NAN, NAN, NAN)), 1);
}

TEST(ds_time_units, Names)
{
    EXPECT_STREQ(ds_time_unit_name(0), "Second");
    EXPECT_STREQ(ds_time_unit_plural_name(0), "periods");
    EXPECT_EQ(ds_time_period_name(0), nullptr);
    EXPECT_EQ(ds_time_period_adjective(0), nullptr);
    EXPECT_STREQ(ds_time_unit_name(13), "Half-year");
    EXPECT_STREQ(ds_time_period_name(13), "Six-month period");
    EXPECT_STREQ(ds_time_period_adjective(13), "Semiyearly");
    EXPECT_STREQ(ds_time_unit_plural_name(23), "millennia");
    EXPECT_STREQ(ds_time_period_name(4), "30-minute period");
    for (int64_t outside : {-1, 24}) {
        EXPECT_STREQ(ds_time_unit_name(outside), "period");
        EXPECT_STREQ(ds_time_unit_plural_name(outside), "periods");
        EXPECT_EQ(ds_time_period_name(outside), nullptr);
        EXPECT_EQ(ds_time_period_adjective(outside), nullptr);
    }
    // Nominal lengths are whole base units, except that a quarter counts
    // 90 days and a half-year 180, not 3 or 6 times 28.
    for (int unit = 0; unit < ds_time_unit_count; ++unit) {
        const ds_time_unit_s &u = ds_time_units[unit];
        EXPECT_EQ(u.index, unit);
        if (unit == 12 || unit == 13)
            EXPECT_EQ(u.nominal_seconds, u.multiplier * 30 * 86400);
        else
            EXPECT_EQ(u.nominal_seconds, u.multiplier * ds_time_units[u.base].nominal_seconds) << "unit " << unit;
    }
}

TEST(ds_time_units, FormatUnits)
{
    const struct
    {
        const char *format;
        int dialect;
        int64_t coarsest, finest;
    } cases[] = {
        {"yyyy-mm-dd", 0, 14, 9},
        {"h:mm", 0, 5, 1},
        {"yyyy-mm-dd h:mm", 0, 14, 1},
        {"0.00", 0, 0, 23},
        {"\"unterminated", 0, -1, -1},
        {"%td", 1, 14, 9},
        {"%tc", 1, 14, 0},
        {"CCYY-NN-DD", 1, 14, 9},
        {"HH:MM", 1, 5, 1},
        {"yMd", 2, 14, 9},
        {"jmm", 2, 5, 1},
        {"yMd jmm", 2, 14, 1},
        {"'unterminated", 2, -1, -1},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(ds_format_coarsest_unit(c.format, c.dialect), c.coarsest) << c.format;
        EXPECT_EQ(ds_format_finest_unit(c.format, c.dialect), c.finest) << c.format;
    }
}

TEST(ds_time_units, BinTimes)
{
    const double d0 = at(2020, 1, 1), d1 = d0 + 86400, d2 = d1 + 86400;
    const double cuts[] = {d0, d1, d2};
    const double values[] = {d1, d2 + 5, NAN, d0 - 1, d0 + 10, d1 - 1};
    int32_t bins[6];
    ds_bin_times(values, bins, 6, nullptr, 0, cuts, 3);
    EXPECT_EQ(std::vector<int32_t>(bins, bins + 6), (std::vector<int32_t>{1, 1, 2, 0, 0, 0}));
    const uint8_t mask[] = {0b111101};
    ds_bin_times(values, bins, 6, mask, 1, cuts, 3);
    EXPECT_EQ(std::vector<int32_t>(bins, bins + 6), (std::vector<int32_t>{1, 2, 2, 0, 0, 0}));
    // A mask of length 0 takes no row.
    ds_bin_times(values, bins, 6, mask, 0, cuts, 3);
    EXPECT_EQ(std::vector<int32_t>(bins, bins + 6), (std::vector<int32_t>(6, 2)));
    // One cut or none: no bins, every row 0.
    for (int64_t n : {0, 1}) {
        ds_bin_times(values, bins, 6, nullptr, 0, cuts, n);
        EXPECT_EQ(std::vector<int32_t>(bins, bins + 6), (std::vector<int32_t>(6, 0)));
    }
    // Enough rows for every chunk.
    std::vector<double> many(10000);
    std::vector<int32_t> out(many.size());
    for (size_t i = 0; i < many.size(); ++i)
        many[i] = d0 + double(i) * 17.28 * 2;
    ds_bin_times(many.data(), out.data(), int64_t(many.size()), nullptr, 0, cuts, 3);
    for (size_t i = 0; i < many.size(); ++i)
        ASSERT_EQ(out[i], many[i] < d1 ? 0 : 1) << i;
}

TEST(ds_time_units, IsoStamps)
{
    const double t = at(2020, 8, 15, 13, 45, 7.9);
    const struct
    {
        double time, resolution;
        const char *text;
    } cases[] = {
        {t, 31536000, "2020"},
        {t, 7776000, "2020-Q3"},
        {t, 2419200, "2020-08"},
        {t, 604800, "2020-W33"},
        {at(2021, 1, 1), 604800, "2020-W53"},
        {at(2019, 12, 30), 604800, "2020-W01"},
        {t, 86400, "2020-08-15"},
        {t, 3600, "2020-08-15T13:00"},
        {t, 60, "2020-08-15T13:45"},
        {t, 1, "2020-08-15T13:45:07"},
        {at(1000, 1, 1), 1, "1000-01-01T00:00:00"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ds_iso_time_string(c.time, c.resolution).toStdString(), c.text);
    const double clock = 13 * 3600 + 45 * 60 + 7;
    EXPECT_EQ(ds_iso_clock_string(clock, 3600), "13:00");
    EXPECT_EQ(ds_iso_clock_string(clock, 60), "13:45");
    EXPECT_EQ(ds_iso_clock_string(clock, 1), "13:45:07");
    EXPECT_EQ(ds_iso_timestamp_string(t), "2020-08-15 13-45-07");
    EXPECT_TRUE(ds_iso_time_string(NAN, 1).isEmpty());
}

TEST(DSDate, FieldsAndFormatting)
{
    const DSDate date = DSDate::dateWithTimeIntervalSinceReferenceDate(at(2020, 8, 15), 86400);
    EXPECT_EQ(date.timeIntervalSinceReferenceDate(), at(2020, 8, 15));
    EXPECT_EQ(date.duration(), 86400);
    EXPECT_FALSE(date.isTimeOfDay());
    const DSDate clock = DSDate::dateWithTimeIntervalSinceMidnight(49500, 60);
    EXPECT_TRUE(clock.isTimeOfDay());
    EXPECT_EQ(clock.timeIntervalSinceReferenceDate(), 49500);
    DSDateFormatter formatter(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(formatter.formattedStringForDateTemplate(date, QStringLiteral("yMd")), QStringLiteral("8/15/2020"));
}

} // namespace
