#pragma once

#include <QLocale>
#include <QString>
#include <memory>
#include <optional>
#include <unicode/uversion.h>

U_NAMESPACE_BEGIN
class NumberFormat;
class DecimalFormat;
U_NAMESPACE_END

// The number formatter every display format builds on: numbers to text and
// back for one locale and one number style, on ICU's DecimalFormat.
//
// Setting the number style or the locale puts the format back to that
// style's defaults for the locale (decimal: grouping, 0 to 3 fraction digits;
// percent: x100 and no fraction; currency: the locale's currency format;
// scientific: a one-digit mantissa and an exponent); the digit, grouping,
// format and multiplier setters then refine it. Texts of "none" are null
// QStrings. An instance is used by one thread at a time.
class DSPlatformNumberFormatter
{
public:
    enum Style : int {
        NoStyle = 0,
        DecimalStyle = 1,
        CurrencyStyle = 2,
        PercentStyle = 3,
        ScientificStyle = 4,
        SpellOutStyle = 5,
        // Seconds as a duration; formats as the decimal style here and as a
        // duration in DSDurationFormatter.
        DurationStyle = 500,
    };

    explicit DSPlatformNumberFormatter(int style = DecimalStyle, const QLocale &locale = QLocale());
    DSPlatformNumberFormatter(const DSPlatformNumberFormatter &other);
    DSPlatformNumberFormatter &operator=(const DSPlatformNumberFormatter &other);
    virtual ~DSPlatformNumberFormatter();

    // A copy of the same class with the same settings.
    virtual std::unique_ptr<DSPlatformNumberFormatter> clone() const;

    // The text of `value` (NaN and infinities as the locale writes them), or
    // a null QString where a subclass has no text for it.
    virtual QString stringFromNumber(double value) const;
    // As stringFromNumber(), but a non-zero value in the decimal style that
    // the maximum fraction digits would cut to fewer than `digits`
    // significant digits (0.012 with one digit reads "0") is written with
    // as many more fraction digits as it needs, up to 15.
    QString stringFromNumberWithSignificantDigits(double value, int significantDigits) const;
    // The number the whole text (white space around it allowed) stands for,
    // or none.
    virtual std::optional<double> numberFromString(const QString &text) const;

    int numberStyle() const { return m_style; }
    void setNumberStyle(int style);
    const QLocale &locale() const { return m_locale; }
    virtual void setLocale(const QLocale &locale);

    int minimumFractionDigits() const;
    virtual void setMinimumFractionDigits(int digits);
    int maximumFractionDigits() const;
    virtual void setMaximumFractionDigits(int digits);
    int minimumIntegerDigits() const;
    void setMinimumIntegerDigits(int digits);
    bool usesGroupingSeparator() const;
    void setUsesGroupingSeparator(bool uses);

    // Number patterns in ICU's syntax ("#,##0.###", "-#,##0.###"). A format
    // set here replaces the digits and grouping with the pattern's.
    QString positiveFormat() const;
    void setPositiveFormat(const QString &pattern);
    QString negativeFormat() const;
    void setNegativeFormat(const QString &pattern);

    // A factor applied to values before they are written (and removed from
    // parsed ones); 1 for none. Percent's x100 is part of its style, not of
    // this factor.
    double multiplier() const { return m_multiplier; }
    void setMultiplier(double multiplier);

    // The locale's currency symbol ("$" for en_US).
    QString currencySymbol() const;

    // Widens the fraction digits so that a value whose smallest magnitude
    // has the decimal exponent `exponent` shows a significant digit: both
    // the minimum and the maximum become -exponent (two fewer for percent),
    // but never fewer than the current minimum. Scientific formats keep
    // their digits.
    void accommodateExponent(int exponent);

protected:
    // `value` in the decimal notation of this formatter's locale, fraction
    // digits and grouping, with at least `minimumIntegerDigits` integer
    // digits (padded with zeros).
    QString decimalString(double value, int minimumIntegerDigits) const;

private:
    icu::DecimalFormat *decimal() const;
    void reset();
    void applyPatterns(const QString &positive, const QString &negative);
    void applyMultiplier();
    void takeBaseScale();

    int m_style;
    QLocale m_locale;
    double m_multiplier = 1;
    bool m_explicitNegative = false;
    bool m_scaleByHand = false;
    int32_t m_baseMultiplier = 1;
    int32_t m_baseScale = 0;
    std::unique_ptr<icu::NumberFormat> m_format;
    // The decimal notation of decimalString, made on first use and dropped
    // whenever the format changes; never copied.
    mutable std::unique_ptr<icu::NumberFormat> m_padded;
    mutable int m_paddedIntegerDigits = 0;
};
