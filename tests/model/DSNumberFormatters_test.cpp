#include "model/DSShortNumberFormatter.h"
#include "model/DSSmallNumberFormatter.h"
#include "tests/support/ds_qt_printers.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

using F = DSPlatformNumberFormatter;
const QLocale kUS(QLocale::English, QLocale::UnitedStates);

TEST(SmallNumberFormatter, Modes)
{
    enum Mode { Plain, Scientific, Unrepresentable };
    const struct
    {
        Mode mode;
        double center;
        double value;
        const char *text;
    } cases[] = {
        {Unrepresentable, 0, 0.0004, "<0.001"},
        {Unrepresentable, 0, -0.0004, ">-0.001"},
        {Unrepresentable, 0, 0, "0"},
        {Unrepresentable, 0, -0.0, "0"},
        {Unrepresentable, 0, 0.25, "0.25"},
        {Unrepresentable, 0, 0.001, "0.001"},
        {Scientific, 0, 0.0004, "4E-4"},
        {Scientific, 0, -0.00012345, "-1.234E-4"},
        {Scientific, 0, 0, "0"},
        {Scientific, 0, 12.5, "12.5"},
        // Odds ratios sit around 1: values too close to it keep their sign.
        {Scientific, 1, 1.0002, "1+2E-4"},
        {Scientific, 1, 0.9997, "1-3E-4"},
        {Scientific, 1, 1, "1"},
        {Scientific, 1, 1.5, "1.5"},
        {Scientific, 1, 0.0004, "0"},
        {Plain, 0, 0.0004, "0"},
        {Unrepresentable, 1, 1.0002, "1"},
        {Scientific, 0, NAN, "NaN"},
    };
    for (const auto &c : cases) {
        DSSmallNumberFormatter f(F::DecimalStyle, kUS);
        f.setMinimumFractionDigits(0);
        f.setMaximumFractionDigits(3);
        f.setCentralValue(c.center);
        f.setUsesScientificFormatter(c.mode == Scientific);
        f.setShowsUnrepresentableNumber(c.mode == Unrepresentable);
        EXPECT_EQ(f.stringFromNumber(c.value), QString::fromUtf8(c.text)) << c.mode << " " << c.center << " " << c.value;
    }
}

TEST(SmallNumberFormatter, DigitsReachTheScientificFormatterAndCopies)
{
    DSSmallNumberFormatter f(F::DecimalStyle, kUS);
    f.setUsesScientificFormatter(true);
    f.setMinimumFractionDigits(2);
    f.setMaximumFractionDigits(2);
    EXPECT_EQ(f.stringFromNumber(0.0004), "4.00E-4");
    const auto copy = f.clone();
    f.setMaximumFractionDigits(5);
    EXPECT_EQ(copy->stringFromNumber(0.0004), "4.00E-4");
    EXPECT_EQ(f.stringFromNumber(0.0004), "0.0004");
    DSSmallNumberFormatter percent(F::PercentStyle, kUS);
    percent.setShowsUnrepresentableNumber(true);
    EXPECT_EQ(percent.stringFromNumber(0.0001), "0%");
}

QVariantMap singleEntry(const char *pattern)
{
    QVariantMap entry{{"type", "1000"}, {"count", "other"}, {"pattern", QString::fromUtf8(pattern)}};
    return QVariantMap{{"root", QVariantList{entry}}};
}

TEST(ShortNumberFormatter, ScalesByThePatternAndRestores)
{
    DSShortNumberFormatter f(singleEntry("0K"), F::DecimalStyle, kUS);
    EXPECT_EQ(f.stringFromNumber(1234), "1.234K");
    EXPECT_EQ(f.stringFromNumber(12), "12");
    EXPECT_EQ(f.stringFromNumber(-1234), "-1.234K");
    f.setMaximumFractionDigits(1);
    EXPECT_EQ(f.stringFromNumber(1234), "1.2K");
    EXPECT_EQ(f.multiplier(), 1);
    EXPECT_EQ(f.positiveFormat(), "#,##0.#");
}

TEST(ShortNumberFormatter, ShippedPatterns)
{
    const struct
    {
        QLocale locale;
        double value;
        const char *text;
    } cases[] = {
        {kUS, 1234, "1.234K"},
        {kUS, 5600000, "5.6M"},
        {kUS, 56000000, "56M"},
        {kUS, 999, "999"},
        {kUS, 2.5e9, "2.5B"},
        {QLocale(QLocale::English, QLocale::India), 250000, "2.5L"},
        {QLocale(QLocale::German, QLocale::Germany), 5600, "5.600"},
        {QLocale(QLocale::German, QLocale::Germany), 5600000, "5,6\u00a0Mio."},
        {QLocale(QLocale::Japanese, QLocale::Japan), 56000, "5.6万"},
    };
    for (const auto &c : cases) {
        DSShortNumberFormatter f(F::DecimalStyle, c.locale);
        EXPECT_EQ(f.stringFromNumber(c.value), QString::fromUtf8(c.text)) << c.locale.name().toStdString();
    }
    DSShortNumberFormatter f(F::DecimalStyle, kUS);
    EXPECT_FALSE(f.patternsForLocale(QLocale(QLocale::English, QLocale::UnitedStates)).isEmpty());
    EXPECT_EQ(f.patternsForLocale(QLocale(QLocale::English, QLocale::UnitedStates)),
              f.pattern_dict().value("en").toList());
    EXPECT_EQ(f.patternsForLocale(QLocale::c()), f.pattern_dict().value("root").toList());
    DSShortNumberFormatter percent(F::PercentStyle, kUS);
    EXPECT_EQ(percent.stringFromNumber(12.34), "1,234%");
}

} // namespace
