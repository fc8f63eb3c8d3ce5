// Dates and times put together from part columns: the edges of each part
// as tables, and random year-month-day rows against pandas' to_datetime
// (fixtures/make_time_composition.py).

#include "DerivedTestSupport.h"
#include "../model/TimeColumnsTestSupport.h"

#include "derived/DSTimeCompositionColumn.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kDay = 86400;
using C = DSTimeCompositionColumn;

class DSTimeCompositionColumnTest : public ::testing::Test, public TimeColumnsFixture
{
protected:
    static void SetUpTestSuite() { ds_derived_test_setup(); }

    C *composition(qint64 year, qint64 subyear, qint64 hour = C::NoHour)
    {
        auto *column = context().insertNewObject<C>(QStringLiteral("DSTimeCompositionColumn"));
        column->setYear_input_type(year);
        column->setSubyear_input_type(subyear);
        column->setHour_input_type(hour);
        table()->insertNewColumns({column}, table()->columns().size());
        return column;
    }
    struct Rows
    {
        std::vector<double> values, intervals;
        std::vector<qint64> missing;
    };
    static Rows rowsOf(C *column)
    {
        Rows rows;
        const double *v = nullptr, *d = nullptr;
        const qint64 n = column->getTimeValues(&v, &d, 0, column->table()->num_records());
        rows.values.assign(v, v + n);
        rows.intervals.assign(d, d + n);
        rows.missing = missingRows(column);
        return rows;
    }
};

// The value and interval of each row, NaN value for a missing row.
void expectRows(DSTimeCompositionColumnTest *, const std::vector<double> &values, const std::vector<double> &intervals,
                C *column)
{
    const double *v = nullptr, *d = nullptr;
    const qint64 n = column->getTimeValues(&v, &d, 0, qint64(values.size()));
    ASSERT_EQ(n, qint64(values.size()));
    const std::vector<qint64> missing = missingRows(column);
    for (size_t i = 0; i < values.size(); ++i) {
        SCOPED_TRACE(i);
        const bool isMissing = std::find(missing.begin(), missing.end(), qint64(i)) != missing.end();
        EXPECT_EQ(isMissing, std::isnan(values[i]));
        if (!std::isnan(values[i])) {
            EXPECT_EQ(v[i], values[i]);
            EXPECT_EQ(d[i], intervals[i]);
        }
    }
}

TEST_F(DSTimeCompositionColumnTest, YearsAndTheirWindows)
{
    DSColumn *yy = addColumn({30, 99, 0, 29, 2.5, NaN, 100}, QStringLiteral("yy"));
    DSColumn *yyyy = addColumn({2024, 2023, 0, 9999, 10000, -1, 1999.5}, QStringLiteral("yyyy"));
    C *window1930 = composition(C::TwoDigitYear, C::NoSubyear);
    window1930->setPartAt(C::TwoDigitYearSlot, yy);
    window1930->setTwo_digit_year_start(1930);
    expectRows(this,
               {ds_test_time(1930, 1, 1), ds_test_time(1999, 1, 1), ds_test_time(2000, 1, 1), ds_test_time(2029, 1, 1),
                NaN, NaN, NaN},
               {365 * kDay, 365 * kDay, 366 * kDay, 365 * kDay}, window1930);
    C *window2000 = composition(C::TwoDigitYear, C::NoSubyear);
    window2000->setPartAt(C::TwoDigitYearSlot, yy);
    window2000->setTwo_digit_year_start(2000);
    EXPECT_EQ(rowsOf(window2000).values[0], ds_test_time(2030, 1, 1));
    EXPECT_EQ(rowsOf(window2000).values[1], ds_test_time(2099, 1, 1));

    C *year = composition(C::FourDigitYear, C::NoSubyear);
    year->setPartAt(C::FourDigitYearSlot, yyyy);
    expectRows(this,
               {ds_test_time(2024, 1, 1), ds_test_time(2023, 1, 1), ds_test_time(0, 1, 1), ds_test_time(9999, 1, 1), NaN,
                NaN, NaN},
               {31622400, 31536000, 366 * kDay, 365 * kDay}, year);
    EXPECT_EQ(year->name(), QStringLiteral("date(yyyy)"));
    EXPECT_EQ(year->maximumTimeUnit(), 14);

    C *constant = composition(C::ConstantYear, C::NoSubyear);
    EXPECT_EQ(rowsOf(constant).missing.size(), 7u);
    constant->setConstant_year(2024);
    EXPECT_TRUE(rowsOf(constant).missing.empty());
    EXPECT_EQ(constant->name(), QStringLiteral("date(2024)"));

    C *text = composition(C::FourDigitYear, C::NoSubyear);
    text->setPartAt(C::FourDigitYearSlot, addTextColumn({"2024", "2025"}));
    EXPECT_EQ(rowsOf(text).missing.size(), 7u);
}

TEST_F(DSTimeCompositionColumnTest, SubyearParts)
{
    DSColumn *year = addColumn({2023, 2024, 2023, 2024, 2023, 2021, 2020, 2021}, QStringLiteral("y"));
    DSColumn *part = addColumn({4, 2, 0, 1, 2.5, 1, 53, 53}, QStringLiteral("p"));
    DSColumn *day = addColumn({1, 29, 1, 366, 29, 31, 30, 14}, QStringLiteral("d"));
    const auto with = [&](qint64 subyear, C::Slot slot) {
        C *column = composition(C::FourDigitYear, subyear);
        column->setPartAt(C::FourDigitYearSlot, year);
        column->setPartAt(slot, part);
        return column;
    };
    expectRows(this,
               {ds_test_time(2023, 10, 1), ds_test_time(2024, 4, 1), NaN, ds_test_time(2024, 1, 1), NaN,
                ds_test_time(2021, 1, 1), NaN, NaN},
               {7948800, 91 * kDay, 0, 91 * kDay, 0, 90 * kDay}, with(C::Quarter, C::QuarterSlot));
    expectRows(this,
               {ds_test_time(2023, 4, 1), ds_test_time(2024, 2, 1), NaN, ds_test_time(2024, 1, 1), NaN,
                ds_test_time(2021, 1, 1), NaN, NaN},
               {30 * kDay, 29 * kDay, 0, 31 * kDay, 0, 31 * kDay}, with(C::Month, C::MonthSlot));
    expectRows(this,
               {ds_test_time(2023, 1, 23), ds_test_time(2024, 1, 8), NaN, ds_test_time(2024, 1, 1), NaN,
                ds_test_time(2021, 1, 4), ds_test_time(2020, 12, 28), ds_test_time(2022, 1, 3)},
               {7 * kDay, 7 * kDay, 0, 7 * kDay, 0, 7 * kDay, 7 * kDay, 7 * kDay}, with(C::Week, C::WeekSlot));

    C *count = composition(C::FourDigitYear, C::DayCount);
    count->setPartAt(C::FourDigitYearSlot, year);
    count->setPartAt(C::DayOfYearSlot, day);
    expectRows(this,
               {ds_test_time(2023, 1, 1), ds_test_time(2024, 1, 29), ds_test_time(2023, 1, 1), ds_test_time(2024, 12, 31),
                ds_test_time(2023, 1, 29), ds_test_time(2021, 1, 31), ds_test_time(2020, 1, 30), ds_test_time(2021, 1, 14)},
               std::vector<double>(8, kDay), count);
    count->setPartAt(C::DayOfYearSlot, addColumn({366, 0}, QStringLiteral("n")));
    EXPECT_EQ(rowsOf(count).values[0], ds_test_time(2024, 1, 1));
    EXPECT_EQ(rowsOf(count).missing[0], 1);

    C *dated = composition(C::FourDigitYear, C::MonthAndDay);
    dated->setPartAt(C::FourDigitYearSlot, year);
    dated->setPartAt(C::MonthSlot, part);
    dated->setPartAt(C::DayOfMonthSlot, day);
    // 2023-02-29 and month 0 do not exist; a month of 2.5 is read as 2
    expectRows(this,
               {ds_test_time(2023, 4, 1), ds_test_time(2024, 2, 29), NaN, NaN, NaN, ds_test_time(2021, 1, 31), NaN, NaN},
               std::vector<double>(8, kDay), dated);
    EXPECT_EQ(dated->name(), QStringLiteral("date(y, p, d)"));
    EXPECT_EQ(dated->maximumTimeUnit(), 9);
    EXPECT_FALSE(dated->needsDeletion());
    dated->setPartAt(C::DayOfMonthSlot, nullptr);
    EXPECT_TRUE(dated->needsDeletion());
}

TEST_F(DSTimeCompositionColumnTest, ClockTimesWithAndWithoutADate)
{
    DSColumn *hour12 = addColumn({12, 12, 1, 0, 13, 11, 11, 5}, QStringLiteral("h"));
    DSColumn *ampm = addTextColumn({"AM", "pm", "P.M.", "am", "am", "x", "", "a"}, QStringLiteral("ap"));
    C *clock = composition(C::NoYear, C::NoSubyear, C::Hour12);
    clock->setRelative_time_unit(1);
    clock->setPartAt(C::Hour12Slot, hour12);
    clock->setPartAt(C::AmPmSlot, ampm);
    expectRows(this, {0, 43200, 13 * 3600, NaN, NaN, NaN, NaN, 5 * 3600}, std::vector<double>(8, 3600), clock);
    EXPECT_EQ(clock->name(), QStringLiteral("time(h, ap)"));
    EXPECT_TRUE(clock->isTimeOfDay());

    DSColumn *coded = addColumn({1, 2, 3, 1, 1, 1, 1, 2}, QStringLiteral("code"));
    coded->setTreat_as_categories(true);
    QCborMap labels;
    labels.insert(1.0, QStringLiteral("am"));
    labels.insert(2.0, QStringLiteral("pm"));
    coded->setCategory_labels(labels);
    clock->setPartAt(C::AmPmSlot, coded);
    expectRows(this, {0, 43200, NaN, NaN, NaN, 11 * 3600, 11 * 3600, 17 * 3600}, std::vector<double>(8, 3600), clock);
    labels.insert(2.0, QStringLiteral("evening"));
    coded->setCategory_labels(labels);
    EXPECT_EQ(rowsOf(clock).missing.size(), 8u);

    DSColumn *hour24 = addColumn({14, 0, 23, 24}, QStringLiteral("H"));
    DSColumn *minute = addColumn({5, 59, 60, 0}, QStringLiteral("M"));
    C *time = composition(C::NoYear, C::NoSubyear, C::Hour24);
    time->setPartAt(C::Hour24Slot, hour24);
    time->setPartAt(C::MinuteSlot, minute);
    time->setHas_minute_input(true);
    expectRows(this, {50700, 59 * 60, NaN, NaN, NaN, NaN, NaN, NaN}, std::vector<double>(8, 60), time);
    EXPECT_EQ(time->maximumTimeUnit(), 1);

    DSTimeDataColumn *day = addTimeColumn({ds_test_time(2024, 3, 1, 17, 44), NaN}, {kDay}, false, QStringLiteral("day"));
    time->setPartAt(C::DateSlot, day);
    time->setHas_date_input(true);
    const Rows rows = rowsOf(time);
    EXPECT_EQ(rows.values[0], ds_test_time(2024, 3, 1, 14, 5));
    EXPECT_EQ(rows.missing, (std::vector<qint64>{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(time->name(), QStringLiteral("time(H, M, day)"));
}

TEST_F(DSTimeCompositionColumnTest, RandomDatesEqualPandas)
{
    const auto rows = readCsvRows(QStringLiteral("fixtures/time_composition.csv"), 4);
    ASSERT_EQ(rows.size(), 2000u);
    std::vector<double> year, month, day;
    for (const auto &row : rows) {
        year.push_back(row[0].toDouble());
        month.push_back(row[1].toDouble());
        day.push_back(row[2].toDouble());
    }
    C *dated = composition(C::FourDigitYear, C::MonthAndDay);
    dated->setPartAt(C::FourDigitYearSlot, addColumn(year, QStringLiteral("y")));
    dated->setPartAt(C::MonthSlot, addColumn(month, QStringLiteral("m")));
    dated->setPartAt(C::DayOfMonthSlot, addColumn(day, QStringLiteral("d")));
    const Rows composed = rowsOf(dated);
    ASSERT_EQ(composed.values.size(), rows.size());
    qint64 wrong = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        const double expected = rows[i][3] == "nan" ? NaN : rows[i][3].toDouble();
        if (!sameValue(composed.values[i], expected) && ++wrong <= 5)
            ADD_FAILURE() << "row " << i << ": " << composed.values[i] << " for " << expected;
    }
    EXPECT_EQ(wrong, 0);
}

} // namespace
