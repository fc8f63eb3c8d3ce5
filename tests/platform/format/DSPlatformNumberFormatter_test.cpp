#include "platform/format/DSPlatformNumberFormatter.h"
#include "tests/support/ds_qt_printers.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

using F = DSPlatformNumberFormatter;

const QLocale kUS(QLocale::English, QLocale::UnitedStates);

// A test-only window on the decimal notation the subclasses build on.
class Exposed : public F
{
public:
    using F::F;
    using F::decimalString;
};

TEST(PlatformNumberFormatter, StylesWriteAsTheLocaleDoes)
{
    const struct
    {
        int style;
        int minimum, maximum; // -1: the style's default
        double value;
        const char *text;
    } cases[] = {
        {F::DecimalStyle, -1, -1, 1234.5678, "1,234.568"},
        {F::DecimalStyle, 2, 2, 1234.0, "1,234.00"},
        {F::DecimalStyle, -1, -1, -0.5, "-0.5"},
        {F::PercentStyle, -1, -1, 0.125, "12%"},
        {F::PercentStyle, -1, 1, 0.125, "12.5%"},
        {F::ScientificStyle, -1, 3, 1234.5, "1.234E3"},
        {F::ScientificStyle, -1, 3, 0.0002, "2E-4"},
        {F::ScientificStyle, 1, 3, 0.0002, "2.0E-4"},
        {F::CurrencyStyle, -1, -1, 3.5, "$3.50"},
        {F::NoStyle, -1, -1, 1234.56, "1235"},
        {F::DurationStyle, -1, -1, 3930, "3,930"},
        {F::SpellOutStyle, -1, -1, 3, "three"},
    };
    for (const auto &c : cases) {
        F f(c.style, kUS);
        if (c.minimum >= 0)
            f.setMinimumFractionDigits(c.minimum);
        if (c.maximum >= 0)
            f.setMaximumFractionDigits(c.maximum);
        EXPECT_EQ(f.stringFromNumber(c.value), QString::fromUtf8(c.text)) << c.style << " " << c.value;
    }
}

TEST(PlatformNumberFormatter, LocaleDecidesSeparators)
{
    F f(F::DecimalStyle, QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(f.stringFromNumber(1234.5), "1.234,5");
    EXPECT_EQ(f.numberFromString("1.234,5"), 1234.5);
    f.setLocale(kUS);
    EXPECT_EQ(f.stringFromNumber(1234.5), "1,234.5");
}

TEST(PlatformNumberFormatter, ReadsWholeTextsOnly)
{
    F decimal(F::DecimalStyle, kUS), percent(F::PercentStyle, kUS);
    EXPECT_EQ(decimal.numberFromString(" 1,234.5 "), 1234.5);
    EXPECT_EQ(decimal.numberFromString("-2"), -2);
    EXPECT_EQ(percent.numberFromString("12%"), 0.12);
    EXPECT_FALSE(decimal.numberFromString("12abc"));
    EXPECT_FALSE(decimal.numberFromString(""));
    EXPECT_FALSE(decimal.numberFromString("abc"));
}

TEST(PlatformNumberFormatter, FormatsAndMultiplier)
{
    F f(F::DecimalStyle, kUS);
    EXPECT_EQ(f.positiveFormat(), "#,##0.###");
    EXPECT_EQ(f.negativeFormat(), "-#,##0.###");
    f.setMultiplier(0.001);
    EXPECT_EQ(f.stringFromNumber(1234), "1.234");
    EXPECT_EQ(f.numberFromString("1.234"), 1234);
    f.setPositiveFormat("#,##0.###K");
    f.setNegativeFormat("-#,##0.###K");
    EXPECT_EQ(f.stringFromNumber(1234), "1.234K");
    EXPECT_EQ(f.stringFromNumber(-1234), "-1.234K");
    f.setMultiplier(1);
    f.setPositiveFormat("0.0");
    EXPECT_EQ(f.stringFromNumber(12), "12.0");
    EXPECT_EQ(f.minimumFractionDigits(), 1);
    EXPECT_EQ(f.stringFromNumber(1234), "1234.0");
    F percent(F::PercentStyle, kUS);
    percent.setPositiveFormat("#,##0.0%");
    EXPECT_EQ(percent.stringFromNumber(0.125), "12.5%");
    f.setMultiplier(2.5);
    EXPECT_EQ(f.stringFromNumber(2), "5.0");
}

TEST(PlatformNumberFormatter, StyleResetsDigitsAndCloneKeepsThem)
{
    F f(F::DecimalStyle, kUS);
    f.setMaximumFractionDigits(1);
    f.setUsesGroupingSeparator(false);
    const auto copy = f.clone();
    EXPECT_EQ(copy->stringFromNumber(1234.56), "1234.6");
    f.setNumberStyle(F::DecimalStyle);
    EXPECT_EQ(f.maximumFractionDigits(), 3);
    EXPECT_TRUE(f.usesGroupingSeparator());
    EXPECT_EQ(F(F::CurrencyStyle, kUS).currencySymbol(), "$");
}

TEST(PlatformNumberFormatter, DecimalNotationPadsIntegerDigits)
{
    Exposed f(F::DurationStyle, kUS);
    f.setMinimumFractionDigits(0);
    f.setMaximumFractionDigits(1);
    EXPECT_EQ(f.decimalString(0.5, 2), "00.5");
    EXPECT_EQ(f.decimalString(5, 2), "05");
    EXPECT_EQ(f.decimalString(30, 2), "30");
    f.setMaximumFractionDigits(2);
    EXPECT_EQ(f.decimalString(0.25, 2), "00.25");
    EXPECT_EQ(f.decimalString(0.25, 1), "0.25");
    Exposed percent(F::PercentStyle, kUS);
    EXPECT_EQ(percent.decimalString(7, 2), "07");
}

} // namespace

namespace {

TEST(PlatformNumberFormatter, AccommodatesExponents)
{
    const struct
    {
        int style, minimum, exponent, expected;
    } cases[] = {
        {F::DecimalStyle, 1, -5, 5},
        {F::DecimalStyle, 1, -1, 1},
        {F::DecimalStyle, 2, 3, 2},
        {F::PercentStyle, 0, -5, 3},
        {F::PercentStyle, 1, -2, 1},
    };
    for (const auto &c : cases) {
        F f(c.style, kUS);
        f.setMinimumFractionDigits(c.minimum);
        f.accommodateExponent(c.exponent);
        EXPECT_EQ(f.minimumFractionDigits(), c.expected) << c.style << " " << c.exponent;
        EXPECT_EQ(f.maximumFractionDigits(), c.expected) << c.style << " " << c.exponent;
    }
    F scientific(F::ScientificStyle, kUS);
    scientific.setMaximumFractionDigits(2);
    scientific.accommodateExponent(-6);
    EXPECT_EQ(scientific.maximumFractionDigits(), 2);
}

} // namespace
