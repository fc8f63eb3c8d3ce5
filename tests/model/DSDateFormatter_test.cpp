#include "model/DSDateFormatter.h"
#include "model/DSRange.h"
#include "model/util/ds_labels.h"
#include "tests/support/ds_qt_printers.h"

#include <QDateTime>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

const QLocale kUS(QLocale::English, QLocale::UnitedStates);

// ctest runs this program also under TZ=Asia/Tokyo and
// TZ=America/Los_Angeles: neither the patterns nor the texts may move.
TEST(DateFormatter, BestPatternsOfTemplates)
{
    DSDateFormatter f(kUS);
    EXPECT_EQ(f.formatForTemplate("yMd"), "M/d/y");
    EXPECT_EQ(f.formatForTemplate("jmm"), QString::fromUtf8("h:mm\u202Fa"));
    EXPECT_EQ(f.formatForTemplate("Jmm"), "hh:mm");
    EXPECT_EQ(f.formatForTemplate("MMMd"), "MMM d");
    EXPECT_EQ(f.formatForTemplate("y"), "y");
    EXPECT_TRUE(f.supportsJ());
    DSDateFormatter german(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(german.formatForTemplate("yMd"), "d.M.y");
    EXPECT_EQ(german.formatForTemplate("jmm"), "HH:mm");
}

TEST(DateFormatter, WritesInGmt)
{
    if (getenv("TZ")) { // the zone really is not GMT, so the test can fail
        EXPECT_NE(QDateTime(QDate(2001, 1, 1), QTime(0, 0)).offsetFromUtc(), 0);
    }
    DSDateFormatter f(kUS);
    const struct
    {
        double time;
        const char *tmpl;
        const char *text;
    } cases[] = {
        {0, "yMd", "1/1/2001"},
        {-1, "yMd", "12/31/2000"},
        {-1, "yMMMdjmm", "Dec 31, 2000, 11:59\u202FPM"},
        {12 * 3600 + 34 * 60, "jmm", "12:34\u202FPM"},
        {63158400, "MMMd", "Jan 2"},
        {-3155673600.0, "y", "1901"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(f.formattedStringForTimeTemplate(c.time, c.tmpl), QString::fromUtf8(c.text)) << c.tmpl;
    EXPECT_EQ(f.formattedStringForTimeFormat(0, "y's'"), "2001s");
    EXPECT_TRUE(f.formattedStringForTimeFormat(NAN, "y").isNull());
    EXPECT_EQ(ds_format_time(&f.dateFormatter(), 86400), "2001");
    DSPlatformDateFormatter days(kUS);
    days.setDateFormat("M/d/y");
    EXPECT_EQ(ds_format_time(&days, 86400), "1/2/2001");
    EXPECT_TRUE(ds_format_time(nullptr, 0).isNull());
}

TEST(DateFormatter, GregorianWhateverTheLocalesCalendar)
{
    DSDateFormatter thai(QLocale(QLocale::Thai, QLocale::Thailand));
    EXPECT_TRUE(thai.formattedStringForTimeFormat(0, "y").endsWith("2001"));
}

TEST(DateFormatter, PlainDateFormatterStartsLong)
{
    DSPlatformDateFormatter f(kUS);
    EXPECT_EQ(f.stringFromTime(0), "January 1, 2001 at 12:00:00\u202FAM GMT");
    DSPlatformDateFormatter copy = f;
    f.setDateFormat("y");
    EXPECT_EQ(copy.stringFromTime(0).left(7), "January");
    EXPECT_EQ(f.dateFormat(), "y");
}

TEST(Range, KeepsItsTwoValues)
{
    const DSRange r = DSRange::rangeFromValue(1.5, QStringLiteral("b"));
    EXPECT_EQ(r.firstValue().toDouble(), 1.5);
    EXPECT_EQ(r.lastValue().toString(), "b");
    const QVariant boxed = QVariant::fromValue(r);
    EXPECT_EQ(boxed.value<DSRange>(), r);
}

} // namespace
