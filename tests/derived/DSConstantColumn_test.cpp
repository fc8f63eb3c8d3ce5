// Constant columns and the reading of a typed line into one: the kind each
// form of text makes, the value, name and integer test, the rows of a
// range, the whole long text served, and the locale's decimal comma.

#include "DerivedTestSupport.h"

#include "derived/DSNumericConstantColumn.h"
#include "derived/DSTextConstantColumn.h"
#include "derived/DSTimeConstantColumn.h"
#include "derived/ds_insert_constant_column.h"
#include "model/DSNumberFormatter.h"
#include "model/ds_time_units.h"
#include "platform/calendar/ds_gmt_calendar.h"

#include <QDateTime>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <string>

namespace {

class DSConstantColumnTest : public ::testing::Test, public ColumnsFixture
{
protected:
    static void SetUpTestSuite() { ds_derived_test_setup(); }

    // A constant for the text, placed in a table of rows rows.
    DSColumn *constant(const QString &text, qint64 rows = 10)
    {
        if (table()->num_records() < rows)
            addColumn(std::vector<double>(size_t(rows), 1.0), QStringLiteral("x"));
        DSColumn *column = ds_insert_constant_column(text, &context());
        if (column)
            table()->insertNewColumns({column}, table()->columns().size());
        return column;
    }
};

double gmtMidnight(int year, int month, int day)
{
    return double(QDateTime(QDate(year, month, day), QTime(0, 0), QTimeZone::utc()).toSecsSinceEpoch())
           - kDSUnixToAbsoluteTime;
}

TEST_F(DSConstantColumnTest, EachFormOfTextMakesItsKindOfConstant)
{
    struct Case
    {
        const char *text;
        const char *kind; // numeric, duration, time of day, date, text
        double value;
        double interval;
        const char *name;
        bool integral;
    };
    const Case cases[] = {
        {"3.5", "numeric", 3.5, 0, "3.5", false},
        {"42", "numeric", 42, 0, "42", true},
        {" -7 ", "numeric", -7, 0, "-7", true},
        {"2h 30m", "duration", 9000, 0, nullptr, true},
        {"7:45 PM", "time of day", 71100, 60, "7:45\u202FPM", false},
        {"7:45:10 PM", "time of day", 71110, 1, nullptr, false},
        // Clock forms without AM or PM read as durations first.
        {"19:45:10", "duration", 71110, 0, nullptr, true},
        {"3/14/2015", "date", gmtMidnight(2015, 3, 14), 86400, "3/14/2015", false},
        {"hello", "text", 0, 0, "hello", false},
        {"1,000", "text", 0, 0, "1,000", false},
        {"inf", "text", 0, 0, "inf", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        DSColumn *column = constant(QString::fromUtf8(c.text));
        ASSERT_NE(column, nullptr);
        const std::string kind = c.kind;
        if (auto *number = dynamic_cast<DSNumericConstantColumn *>(column)) {
            EXPECT_TRUE(kind == "numeric" || kind == "duration");
            EXPECT_EQ(number->value(), c.value);
            EXPECT_EQ(number->containsOnlyIntegers(), c.integral);
            const bool duration = number->number_formatter() && number->number_formatter()->number_style() == 500;
            EXPECT_EQ(duration, kind == "duration");
        } else if (auto *time = dynamic_cast<DSTimeConstantColumn *>(column)) {
            EXPECT_TRUE(kind == "time of day" || kind == "date");
            EXPECT_EQ(time->isTimeOfDay(), kind == "time of day");
            EXPECT_EQ(time->value(), c.value);
            EXPECT_EQ(time->interval(), c.interval);
            if (kind == "date") {
                EXPECT_EQ(time->minimumTimeUnit(), ds_time_unit_day);
                EXPECT_EQ(time->maximumTimeUnit(), ds_time_unit_day);
            }
        } else {
            auto *text = dynamic_cast<DSTextConstantColumn *>(column);
            ASSERT_NE(text, nullptr);
            EXPECT_EQ(kind, "text");
            EXPECT_EQ(text->value(), QString::fromUtf8(c.text));
        }
        if (c.name) {
            EXPECT_EQ(column->name().replace(QChar(0x202F), QChar(' ')).toStdString(),
                      QString::fromUtf8(c.name).replace(QChar(0x202F), QChar(' ')).toStdString());
        }
        EXPECT_TRUE(missingRows(column).empty());
    }
    EXPECT_EQ(ds_insert_constant_column(QString(), &context()), nullptr);
}

TEST_F(DSConstantColumnTest, TheLocaleDecimalCommaReadsAsANumber)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    DSColumn *column = constant(QStringLiteral("3,5"));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    auto *number = dynamic_cast<DSNumericConstantColumn *>(column);
    ASSERT_NE(number, nullptr);
    EXPECT_EQ(number->value(), 3.5);
}

TEST_F(DSConstantColumnTest, RangesHoldTheValueInEveryRowAsked)
{
    auto *text = static_cast<DSTextConstantColumn *>(constant(QStringLiteral("hello")));
    struct Range
    {
        qint64 offset, limit, expected;
    };
    for (const Range r : {Range{3, 0, 7}, Range{3, -1, 7}, Range{3, 4, 4}, Range{3, 100, 7}, Range{10, 0, 0},
                          Range{12, 3, 0}, Range{0, 10, 10}}) {
        SCOPED_TRACE(testing::Message() << r.offset << ", " << r.limit);
        const char *const *rows = nullptr;
        ASSERT_EQ(text->getTextValues(&rows, r.offset, r.limit), r.expected);
        for (qint64 i = 0; i < r.expected; ++i)
            EXPECT_STREQ(rows[i], "hello");
        auto *number = static_cast<DSNumericConstantColumn *>(constant(QStringLiteral("2.5")));
        const std::vector<double> values = valuesOf(number, r.offset, r.limit > 0 ? r.limit : 100);
        EXPECT_EQ(qint64(values.size()), r.offset < 10 ? std::min<qint64>(r.limit > 0 ? r.limit : 100, 10 - r.offset) : 0);
        for (double v : values)
            EXPECT_EQ(v, 2.5);
        auto *time = static_cast<DSTimeConstantColumn *>(constant(QStringLiteral("3/14/2015")));
        const double *v = nullptr, *d = nullptr;
        ASSERT_EQ(time->getTimeValues(&v, &d, r.offset, r.limit), r.expected);
        for (qint64 i = 0; i < r.expected; ++i) {
            EXPECT_EQ(v[i], gmtMidnight(2015, 3, 14));
            EXPECT_EQ(d[i], 86400);
        }
    }
}

// A text longer than a fixed buffer comes back whole, shared by every row.
TEST_F(DSConstantColumnTest, ALongTextIsServedWhole)
{
    const QString longText = QString(4999, QLatin1Char('a')) + QLatin1Char('z');
    auto *text = static_cast<DSTextConstantColumn *>(constant(longText));
    const char *const *rows = nullptr;
    ASSERT_EQ(text->getTextValues(&rows), 10);
    EXPECT_EQ(std::strlen(rows[9]), 5000u);
    EXPECT_EQ(rows[0], rows[9]);
    EXPECT_EQ(rows[0][4999], 'z');
    EXPECT_EQ(text->maximumTextValueLength(), 5000u);
    EXPECT_EQ(text->name(), longText);
}

} // namespace
