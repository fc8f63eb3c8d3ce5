// The calendar fields of spreadsheet codes, Stata formats and Unicode
// patterns.

#include "platform/horrel/hrl_field_mask.h"

#include <gtest/gtest.h>

namespace {

constexpr uint16_t S = hrl_field_second, Mi = hrl_field_minute, H = hrl_field_hour, AP = hrl_field_am_pm,
                   D = hrl_field_day, W = hrl_field_week, Mo = hrl_field_month, Q = hrl_field_quarter,
                   HY = hrl_field_half_year, Y = hrl_field_year, C = hrl_field_century, F = hrl_field_fraction;

struct Case
{
    const char *format;
    int dialect;
    int result;  // 0 read, 1 failed
    uint16_t mask;
};

const Case cases[] = {
    // Spreadsheet codes: "m" is a minute after hours or before seconds.
    {"yyyy-mm-dd h:mm", 0, 0, Y | Mo | D | H | Mi},
    {"yyyy-mm-dd", 0, 0, Y | Mo | D},
    {"m/d/yy", 0, 0, Mo | D | Y},
    {"mmm-yy", 0, 0, Mo | Y},
    {"h:mm AM/PM", 0, 0, H | Mi | AP},
    {"h:mm:ss A/P", 0, 0, H | Mi | S | AP},
    {"mm:ss.0", 0, 0, Mi | S | F},
    {"[h]:mm:ss", 0, 0, H | Mi | S},
    {"[mm]:ss", 0, 0, Mi | S},
    {"dddd, mmmm d, yyyy", 0, 0, D | Mo | Y},
    {"[$-409]d-mmm-yyyy;@", 0, 0, D | Mo | Y},
    {"\"Day\" d \\m", 0, 0, D},
    {"[Red]0.00;[Blue]-0.00", 0, 0, 0},
    {"0.00E+00", 0, 0, 0},
    {"General", 0, 0, 0},
    {"#,##0_);(#,##0)", 0, 0, 0},
    {"", 0, 0, 0},
    {"\"open", 0, 1, 0},
    {"[h:mm", 0, 1, 0},
    // Stata: the whole format, or what follows "%t" and the type letter.
    {"%tc", 1, 0, D | Mo | Y | H | Mi | S},
    {"%tC", 1, 0, D | Mo | Y | H | Mi | S},
    {"%td", 1, 0, D | Mo | Y},
    {"%-td", 1, 0, D | Mo | Y},
    {"%tdCCYY-NN-DD", 1, 0, Y | Mo | D},
    {"%tw", 1, 0, Y | W},
    {"%tm", 1, 0, Y | Mo},
    {"%tq", 1, 0, Y | Q},
    {"%th", 1, 0, Y | HY},
    {"%ty", 1, 0, Y},
    {"CCYY-NN-DD HH:MM:SS.sss", 1, 0, Y | Mo | D | H | Mi | S | F},
    {"Dayname, Month dd, CCYY", 1, 0, D | Mo | Y},
    {"hh:MM am", 1, 0, H | Mi | AP},
    {"CC", 1, 0, C},
    {"YY!qq", 1, 0, Y | Q},
    {"%tz", 1, 1, 0},
    {"XYZ", 1, 1, 0},
    // Unicode patterns and skeletons.
    {"yMd jmm", 2, 0, Y | Mo | D | H | Mi},
    {"yMd", 2, 0, Y | Mo | D},
    {"jmm", 2, 0, H | Mi},
    {"EEEE, d MMMM y", 2, 0, D | Mo | Y},
    {"h:mm:ss.SSS a zzzz", 2, 0, H | Mi | S | F | AP},
    {"QQQ y", 2, 0, Q | Y},
    {"'week' w 'of' Y", 2, 0, W | Y},
    {"HH 'o''clock'", 2, 0, H},
    {"G y", 2, 0, Y},
    {"'open", 2, 1, 0},
    {"yMd t", 2, 1, 0},
    // Any dialect: no UTF-8, unknown dialect.
    {"yyyy\xff", 0, 1, 0},
    {"yMd", 3, 1, 0},
};

TEST(hrl_field_mask, Cases)
{
    for (const Case &c : cases) {
        uint16_t mask = 0xFFFF;
        EXPECT_EQ(hrl_field_mask(c.format, c.dialect, &mask) != 0, c.result != 0) << c.format;
        EXPECT_EQ(mask, c.mask) << c.format << " (dialect " << c.dialect << ")";
    }
    uint16_t mask = 0;
    EXPECT_NE(hrl_field_mask(nullptr, 0, &mask), 0);
    EXPECT_NE(hrl_field_mask("yMd", 2, nullptr), 0);
}

} // namespace
