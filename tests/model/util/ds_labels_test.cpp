#include "model/DSDateFormatter.h"
#include "model/util/ds_labels.h"
#include "platform/format/DSPlatformNumberFormatter.h"
#include "tests/support/ds_qt_printers.h"

#include <cmath>
#include <gtest/gtest.h>
#include <vector>

namespace {

const QLocale kUS(QLocale::English, QLocale::UnitedStates);

TEST(Labels, Bins)
{
    const DSPlatformNumberFormatter f(DSPlatformNumberFormatter::DecimalStyle, kUS);
    const std::vector<double> three{10, 20, 30}, one{10}, none;
    const struct
    {
        const std::vector<double> *cuts;
        int bin;
        double lo, hi, width;
        const char *label; // null: no label
    } cases[] = {
        {&three, 0, 5, 38, 10, "0 \u2264 X < 10"},
        {&three, 1, 5, 38, 10, "10 \u2264 X < 20"},
        {&three, 3, 5, 38, 10, "30 \u2264 X \u2264 40"},
        {&three, 4, 5, 38, 10, nullptr},
        {&three, -1, 5, 38, 10, nullptr},
        {&one, 0, 0, 50, NAN, "0 \u2264 X < 10"},
        {&one, 1, 0, 50, NAN, "10 \u2264 X \u2264 50"},
        {&one, 0, 10, 50, NAN, "X < 10"},
        {&one, 0, -INFINITY, 50, NAN, "X < 10"},
        {&one, 1, 0, 10, NAN, "X = 10"},
        {&one, 1, 0, INFINITY, NAN, "10 \u2264 X"},
        {&three, 0, -INFINITY, INFINITY, NAN, "X < 10"},
        {&three, 3, -INFINITY, INFINITY, NAN, "30 \u2264 X"},
        {&none, 0, 4, 4, NAN, "X = 4"},
        {&none, 0, 1, 4, NAN, "1 \u2264 X \u2264 4"},
        {&none, 7, 1, 4, NAN, "1 \u2264 X \u2264 4"},
    };
    for (const auto &c : cases) {
        const QString label = ds_bin_label(c.bin, *c.cuts, "X", &f, c.lo, c.hi, c.width);
        if (c.label)
            EXPECT_EQ(label, QString::fromUtf8(c.label)) << c.bin;
        else
            EXPECT_TRUE(label.isNull()) << c.bin;
    }
}

TEST(Labels, Periods)
{
    const double y1990 = -347155200, y2000 = -31622400, jun1 = 391737600, jul1 = 394329600;
    const double jun3 = 391910400, jun10 = 392515200, h = 3600;
    const struct
    {
        bool timeOfDay;
        double start, end;
        const char *label;
    } cases[] = {
        {false, y1990, y2000, "1990s"},
        {false, jun1, jul1, "June 2013"},
        {false, jun3, jun3 + 86400, "Jun 3, 2013"},
        {false, jun3, jun10, "Jun 3 - Jun 9, 2013"},
        {false, 410054400, 410659200, "Dec 30, 2013 - Jan 5, 2014"},
        {false, jun3 + 10 * h, jun3 + 11 * h, "Jun 3, 2013 10:00 - 10:59\u202FAM"},
        {false, jun3 + 11 * h, jun3 + 13 * h, "Jun 3, 2013 11:00\u202FAM - 12:59\u202FPM"},
        {false, jun3 + 23 * h, jun3 + 25 * h, "Jun 3, 2013 11:00\u202FPM - Jun 4, 2013 12:59\u202FAM"},
        {false, jun3 + 10 * h, jun3 + 10 * h + 60, "Jun 3, 2013, 10:00\u202FAM"},
        {true, 10 * h, 11 * h, "10:00 - 10:59\u202FAM"},
        {true, 13 * h, 13 * h + 900, "01:00 - 1:14\u202FPM"},
        {true, 0, 60, "12:00\u202FAM"},
        {false, jun3, jun3 + 3 * 86400, nullptr},
        {true, 0, 86400, nullptr},
    };
    DSDateFormatter f(kUS);
    for (const auto &c : cases) {
        const QString label = ds_time_span_label(&f, c.timeOfDay, c.start, c.end);
        if (c.label)
            EXPECT_EQ(label, QString::fromUtf8(c.label)) << c.start;
        else
            EXPECT_TRUE(label.isNull()) << c.start << " gave " << label.toStdString();
    }
    const double y1991 = y1990 + 365 * 86400.0;
    EXPECT_EQ(ds_time_span_label(&f, false, y1990, y1991), "1990");
    EXPECT_EQ(ds_time_span_label(&f, false, y1990, y1990 + 1826 * 86400.0), "1990 - 1994");
    EXPECT_EQ(ds_time_span_label(&f, false, jun1, jun1 + 92 * 86400.0), "Jun - Aug 2013");
}

TEST(Labels, PatternsAndQuotes)
{
    const QVariantMap fixed{{"minimum_decimal_digits", 3}, {"apply_minimum_decimal_digits", true},
                            {"maximum_decimal_digits", 3}};
    const QVariantMap loose{{"minimum_decimal_digits", 1}, {"apply_minimum_decimal_digits", false},
                            {"maximum_decimal_digits", 3}};
    EXPECT_EQ(ds_number_pattern(fixed), "#,##0.000");
    EXPECT_EQ(ds_number_pattern(loose), "#,##0.###");
    EXPECT_EQ(ds_number_pattern({}), "#,##0");
    EXPECT_EQ(ds_escape_quotes_backslash("say \"hi\""), "say \\\"hi\\\"");
    EXPECT_EQ(ds_escape_quotes_doubled("say \"hi\""), "say \"\"hi\"\"");
    EXPECT_FALSE(ds_escape_quotes_doubled(QString()).isNull());
    EXPECT_TRUE(ds_escape_quotes_doubled(QString()).isEmpty());
    const DSPlatformNumberFormatter percent(DSPlatformNumberFormatter::PercentStyle, kUS);
    EXPECT_EQ(ds_format_number(&percent, 0.5), "50%");
    EXPECT_TRUE(ds_format_number(nullptr, 0.5).isNull());
}

} // namespace
