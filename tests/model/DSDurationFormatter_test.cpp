#include "model/DSDurationFormatter.h"
#include "tests/support/ds_qt_printers.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

using D = DSDurationFormatter;

const QLocale kUS(QLocale::English, QLocale::UnitedStates);
constexpr uint64_t kHMS = D::HourUnit | D::MinuteUnit | D::SecondUnit;

TEST(DurationFormatter, WritesDurations)
{
    const struct
    {
        double seconds;
        int unitsStyle;
        uint64_t units;
        int maximumFractionDigits;
        const char *text;
    } cases[] = {
        {3930, D::PositionalStyle, D::kAllUnits, 0, "1:05:30"},
        {3930, D::AbbreviatedStyle, D::kAllUnits, 0, "1h 5m 30s"},
        {3930, D::ShortStyle, D::kAllUnits, 0, "1hr 5min 30sec"},
        {3600, D::AbbreviatedStyle, D::kAllUnits, 0, "1h"},
        {90061, D::AbbreviatedStyle, D::kAllUnits, 0, "1d 1h 1m 1s"},
        {604800 + 300, D::AbbreviatedStyle, D::kAllUnits, 0, "1w 0d 0h 5m"},
        {0, D::AbbreviatedStyle, D::kAllUnits, 0, "0s"},
        {0, D::AbbreviatedStyle, D::HourUnit | D::DayUnit, 0, "0h"},
        {0, D::AbbreviatedStyle, 0, 0, " "},
        {45, D::PositionalStyle, D::MinuteUnit | D::SecondUnit, 0, "0:45"},
        {0.5, D::PositionalStyle, kHMS, 1, "0:00:00.5"},
        {3600, D::PositionalStyle, kHMS, 0, "1:00:00"},
        {-3930, D::PositionalStyle, kHMS, 0, "1:05:30"},
        {1.25, D::AbbreviatedStyle, D::kAllUnits, 2, "1.25s"},
        {7260, D::AbbreviatedStyle, D::HourUnit, 0, "2h"},
        // The positional fields carry the weeks and days they cannot show.
        {90061, D::PositionalStyle, D::kAllUnits, 0, "25:01:01"},
        {2 * 604800.0, D::PositionalStyle, D::kAllUnits, 0, "336:00:00"},
        {3930, D::PositionalStyle, D::MinuteUnit | D::SecondUnit, 0, "65:30"},
    };
    for (const auto &c : cases) {
        D f(D::DurationStyle, kUS);
        f.setUnitsStyle(c.unitsStyle);
        f.setAllowedUnits(c.units);
        f.setMinimumFractionDigits(0);
        f.setMaximumFractionDigits(c.maximumFractionDigits);
        EXPECT_EQ(f.stringFromNumber(c.seconds), QString::fromUtf8(c.text))
            << c.seconds << " style " << c.unitsStyle << " units " << c.units;
    }
}

TEST(DurationFormatter, NoTextForWhatIsNoDuration)
{
    D f(D::DurationStyle, kUS);
    EXPECT_TRUE(f.stringFromNumber(NAN).isNull());
    EXPECT_TRUE(f.stringFromNumber(INFINITY).isNull());
    EXPECT_TRUE(f.stringFromNumber(1e300).isNull());
    f.setUnitsStyle(7);
    EXPECT_TRUE(f.stringFromNumber(60).isNull());
}

TEST(DurationFormatter, OtherStylesFormatAsNumbers)
{
    D f(D::DecimalStyle, kUS);
    EXPECT_EQ(f.stringFromNumber(3930.5), "3,930.5");
    EXPECT_EQ(f.numberFromString("3,930.5"), 3930.5);
}

TEST(DurationFormatter, ReadsDurations)
{
    D f(D::DurationStyle, kUS);
    EXPECT_EQ(f.numberFromString("1h 5m 30s"), 3930);
    EXPECT_EQ(f.numberFromString("1:05:30"), 3930);
    EXPECT_FALSE(f.numberFromString("1.5"));
}

TEST(DurationFormatter, LabelsAndComponents)
{
    const struct
    {
        uint64_t unit;
        const char *abbreviated, *shortLabel;
    } labels[] = {{D::DayUnit, "d", "dy"}, {D::HourUnit, "h", "hr"}, {D::MinuteUnit, "m", "min"},
                  {D::SecondUnit, "s", "sec"}, {D::WeekUnit, "w", "wk"}};
    for (const auto &l : labels) {
        EXPECT_EQ(D::componentLabelForUnit(l.unit, 1), l.abbreviated);
        EXPECT_EQ(D::componentLabelForUnit(l.unit, 2), l.shortLabel);
        EXPECT_TRUE(D::componentLabelForUnit(l.unit, 0).isNull());
    }
    EXPECT_TRUE(D::abbreviatedComponentLabelForUnit(8).isNull());
    D f(D::DurationStyle, kUS);
    f.setMaximumFractionDigits(1);
    EXPECT_EQ(f.formatComponents({{D::DayUnit, 2}, {D::SecondUnit, 1.5}}, 2), "2dy 1.5sec");
}

} // namespace
