#include "model/util/ds_excel_format.h"
#include "tests/support/ds_qt_printers.h"

#include <gtest/gtest.h>

namespace {

TEST(ExcelFormatCodes, Tests)
{
    const struct
    {
        const char *code;
        int zeros, decimals;
        bool currency, percent, scientific, duration, numeric;
    } cases[] = {
        {"0.00%", 2, 2, false, true, false, false, true},
        {"#,##0.0#", 1, 2, false, false, false, false, true},
        {"0", 0, 0, false, false, false, false, true},
        {"General", -1, -1, false, false, false, false, true},
        {"general", -1, -1, false, false, false, false, true},
        {"$#,##0.00_);($#,##0.00)", 2, 2, true, false, false, false, true},
        {"0.00E+00", 2, 2, false, false, true, false, true},
        {"0.###E+0", 0, 3, false, false, true, false, true},
        {"[h]:mm:ss", -1, -1, false, false, false, true, true},
        {"mm:ss", -1, -1, false, false, false, true, true},
        {"mm:ss.0", 1, 1, false, false, false, true, true},
        {"h:mm:ss", -1, -1, false, false, false, true, true},
        {"h:mm", -1, -1, false, false, false, false, false},
        {"m/d/yy", -1, -1, false, false, false, false, false},
        {"yyyy-mm-dd", -1, -1, false, false, false, false, false},
        {"", -1, -1, false, false, false, false, true},
        {"#.#.#0", 0, 3, false, false, false, false, true},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(ds_excel_format_zero_decimals(c.code), c.zeros) << c.code;
        EXPECT_EQ(ds_excel_format_decimals(c.code), c.decimals) << c.code;
        EXPECT_EQ(ds_excel_format_has_currency(c.code), c.currency) << c.code;
        EXPECT_EQ(ds_excel_format_has_percent(c.code), c.percent) << c.code;
        EXPECT_EQ(ds_excel_format_is_scientific(c.code), c.scientific) << c.code;
        EXPECT_EQ(ds_excel_format_is_duration(c.code), c.duration) << c.code;
        EXPECT_EQ(ds_excel_format_is_numeric(c.code), c.numeric) << c.code;
    }
    EXPECT_EQ(ds_excel_format_zero_decimals(nullptr), -1);
    EXPECT_TRUE(ds_excel_format_is_numeric(nullptr));
    EXPECT_FALSE(ds_excel_format_is_duration(nullptr));
}

TEST(ExcelFormatCodes, SheetNames)
{
    EXPECT_EQ(ds_clean_sheet_name("a:b\\c/d?e*f[g]h", "x"), "abcdefgh");
    EXPECT_EQ(ds_clean_sheet_name("[:]", "Sheet1"), "Sheet1");
    EXPECT_EQ(ds_clean_sheet_name(QString(40, 'n'), "x"), QString(32, 'n'));
}

} // namespace
