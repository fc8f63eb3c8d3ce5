#include "model/ds_number_format.h"
#include "tests/support/ds_qt_printers.h"

#include <gtest/gtest.h>

// Found by argument-dependent lookup, so it lives beside the record's namespace.
static std::ostream &operator<<(std::ostream &os, const ds_number_format_s &f)
{
    return os << "{style " << f.number_style << ", show " << f.show_fractional_digits << ", min "
              << f.minimum_fractional_digits << (f.apply_minimum_fractional_digits ? " applied" : " not applied")
              << ", max " << f.maximum_fractional_digits << ", grouping " << f.show_grouping_separator
              << ", units " << f.duration_allowed_units << ", units style " << f.duration_units_style << "}";
}

namespace {

using S = DSPlatformNumberFormatter::Style;
const QLocale kUS(QLocale::English, QLocale::UnitedStates);

// Reading starts from a format whose every attribute differs from what a
// code could set, so the table shows exactly what each code changes.
ds_number_format_s start()
{
    ds_number_format_s f;
    f.number_style = S::DecimalStyle;
    f.show_fractional_digits = true;
    f.minimum_fractional_digits = 7;
    f.apply_minimum_fractional_digits = true;
    f.maximum_fractional_digits = 9;
    f.show_grouping_separator = false;
    f.duration_units_style = 1;
    return f;
}

ds_number_format_s with(int style, bool show, int min, bool applied, int max, int unitsStyle = 1,
                        bool grouping = false)
{
    ds_number_format_s f = start();
    f.number_style = style;
    f.show_fractional_digits = show;
    f.minimum_fractional_digits = min;
    f.apply_minimum_fractional_digits = applied;
    f.maximum_fractional_digits = max;
    f.duration_units_style = unitsStyle;
    f.show_grouping_separator = grouping;
    return f;
}

TEST(NumberFormat, SpreadsheetCodesBothWays)
{
    enum Direction { Reads, Writes };
    const struct
    {
        Direction direction;
        const char *code;
        ds_number_format_s format;
    } cases[] = {
        {Reads, "0.00%", with(S::PercentStyle, true, 2, true, 2)},
        {Reads, "#,##0.0#", with(S::DecimalStyle, true, 1, true, 2)},
        {Reads, "General", start()},
        {Reads, "$#,##0.00_);($#,##0.00)", with(S::CurrencyStyle, true, 2, true, 2)},
        {Reads, "0.00E+00", with(S::ScientificStyle, true, 2, true, 2)},
        {Reads, "0", with(S::DecimalStyle, false, 7, false, 9)},
        {Reads, "0.###E+0", with(S::ScientificStyle, true, 7, false, 3)},
        {Reads, "mm:ss", with(S::DurationStyle, true, 7, true, 9, 0)},
        {Reads, "h:mm:ss", with(S::DurationStyle, true, 7, true, 9, 0)},
        {Reads, "[h]:mm:ss", with(S::DurationStyle, true, 7, true, 9, 0)},
        {Reads, "h:mm", start()},
        {Reads, "0.0%;[Red]-0.0%", with(S::PercentStyle, true, 1, true, 1)},
        {Writes, "#,##0.00##", with(S::DecimalStyle, true, 2, true, 4, 1, true)},
        {Writes, "0%", with(S::PercentStyle, false, 2, true, 4)},
        {Writes, "0.###E+0", with(S::ScientificStyle, true, 1, false, 3)},
        {Writes, "$#,##0.00", with(S::CurrencyStyle, true, 2, true, 2, 1, true)},
        {Writes, "0", with(S::DecimalStyle, true, 0, true, 0)},
        {Writes, "[h]:mm:ss", with(S::DurationStyle, true, 2, true, 4)},
    };
    for (const auto &c : cases) {
        if (c.direction == Reads) {
            ds_number_format_s f = start();
            ds_number_format_read_excel(&f, c.code);
            EXPECT_EQ(f, c.format) << "reading " << c.code;
        } else {
            EXPECT_EQ(ds_number_format_excel_string(c.format, kUS), c.code) << c.format;
        }
    }
}

TEST(NumberFormat, CodesForIntegersAndPieces)
{
    const ds_number_format_s grouped = with(S::DecimalStyle, true, 2, true, 4, 1, true);
    EXPECT_EQ(ds_number_format_excel_string_for_integers(grouped, kUS), "#,##0.00##");
    EXPECT_EQ(ds_number_format_excel_string_for_integers(with(S::DecimalStyle, true, 2, false, 4), kUS), "0");
    EXPECT_EQ(ds_number_format_excel_string_for_integers(with(S::PercentStyle, true, 0, true, 2), kUS), "0%");
    EXPECT_EQ(ds_number_format_excel_string_for_integers(with(S::DurationStyle, true, 0, true, 2), kUS),
              "[h]:mm:ss");
    const ds_number_format_s money = with(S::CurrencyStyle, true, 1, true, 2, 1, true);
    EXPECT_EQ(ds_number_format_excel_prefix(money, kUS), "$");
    EXPECT_EQ(ds_number_format_excel_lhs(money), "#,##0");
    EXPECT_EQ(ds_number_format_excel_rhs(money), "0#");
    EXPECT_EQ(ds_number_format_excel_postfix(money), "");
    EXPECT_EQ(ds_number_format_excel_without_fraction(money, kUS), "$#,##0");
}

TEST(NumberFormat, FormatterAndResolutionScheme)
{
    ds_number_format_s f;
    f.maximum_fractional_digits = 2;
    f.minimum_fractional_digits = 1;
    f.apply_minimum_fractional_digits = true;
    auto formatter = ds_number_format_formatter(f, kUS);
    EXPECT_EQ(formatter->stringFromNumber(1234), "1,234.0");
    f.show_fractional_digits = false;
    EXPECT_EQ(ds_number_format_formatter(f, kUS)->stringFromNumber(1234.56), "1,235");
    f.number_style = S::DurationStyle;
    f.duration_units_style = 1;
    EXPECT_EQ(ds_number_format_formatter(f, kUS)->stringFromNumber(90061), "1d 1h 1m 1s");

    EXPECT_EQ(ds_number_format_resolution_scheme(ds_number_format_s{}), 0);
    EXPECT_EQ(ds_number_format_resolution_scheme(f), 2);
    f.duration_allowed_units = DSDurationFormatter::DayUnit | DSDurationFormatter::HourUnit;
    EXPECT_EQ(ds_number_format_resolution_scheme(f), 1);
}

} // namespace
