#include "platform/format/DSPlatformNumberFormatter.h"

#include "platform/format/ds_icu.h"

#include <algorithm>
#include <cmath>
#include <unicode/dcfmtsym.h>
#include <unicode/decimfmt.h>
#include <unicode/numfmt.h>
#include <unicode/rbnf.h>

namespace {

// Splits an ICU pattern at its first ";" outside quotes.
std::pair<QString, QString> splitPattern(const QString &pattern)
{
    bool quoted = false;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == u'\'')
            quoted = !quoted;
        else if (pattern[i] == u';' && !quoted)
            return {pattern.left(i), pattern.mid(i + 1)};
    }
    return {pattern, QString()};
}

std::unique_ptr<icu::NumberFormat> makeFormat(int style, const icu::Locale &locale)
{
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::NumberFormat> format;
    switch (style) {
    case DSPlatformNumberFormatter::CurrencyStyle:
        format.reset(icu::NumberFormat::createInstance(locale, UNUM_CURRENCY, status));
        break;
    case DSPlatformNumberFormatter::PercentStyle:
        format.reset(icu::NumberFormat::createInstance(locale, UNUM_PERCENT, status));
        break;
    case DSPlatformNumberFormatter::ScientificStyle:
        format.reset(icu::NumberFormat::createInstance(locale, UNUM_SCIENTIFIC, status));
        break;
    case DSPlatformNumberFormatter::SpellOutStyle:
        format = std::make_unique<icu::RuleBasedNumberFormat>(icu::URBNF_SPELLOUT, locale, status);
        break;
    default:
        format.reset(icu::NumberFormat::createInstance(locale, UNUM_DECIMAL, status));
        break;
    }
    if (U_FAILURE(status) || !format) {
        status = U_ZERO_ERROR;
        format.reset(icu::NumberFormat::createInstance(icu::Locale::getRoot(), UNUM_DECIMAL, status));
    }
    if (style == DSPlatformNumberFormatter::NoStyle) {
        format->setMaximumFractionDigits(0);
        format->setGroupingUsed(false);
    } else if (style == DSPlatformNumberFormatter::ScientificStyle) {
        // One integer digit in the mantissa whatever the value, so that the
        // fraction digits count the digits after the point.
        format->setMinimumIntegerDigits(1);
        format->setMaximumIntegerDigits(1);
    }
    return format;
}

} // namespace

DSPlatformNumberFormatter::DSPlatformNumberFormatter(int style, const QLocale &locale)
    : m_style(style), m_locale(locale)
{
    reset();
}

DSPlatformNumberFormatter::DSPlatformNumberFormatter(const DSPlatformNumberFormatter &other)
    : m_style(other.m_style),
      m_locale(other.m_locale),
      m_multiplier(other.m_multiplier),
      m_explicitNegative(other.m_explicitNegative),
      m_scaleByHand(other.m_scaleByHand),
      m_baseMultiplier(other.m_baseMultiplier),
      m_baseScale(other.m_baseScale),
      m_format(other.m_format->clone())
{
}

DSPlatformNumberFormatter &DSPlatformNumberFormatter::operator=(const DSPlatformNumberFormatter &other)
{
    if (this != &other) {
        m_style = other.m_style;
        m_locale = other.m_locale;
        m_multiplier = other.m_multiplier;
        m_explicitNegative = other.m_explicitNegative;
        m_scaleByHand = other.m_scaleByHand;
        m_baseMultiplier = other.m_baseMultiplier;
        m_baseScale = other.m_baseScale;
        m_format.reset(other.m_format->clone());
        m_padded.reset();
    }
    return *this;
}

DSPlatformNumberFormatter::~DSPlatformNumberFormatter() = default;

std::unique_ptr<DSPlatformNumberFormatter> DSPlatformNumberFormatter::clone() const
{
    return std::make_unique<DSPlatformNumberFormatter>(*this);
}

void DSPlatformNumberFormatter::reset()
{
    m_padded.reset();
    m_format = makeFormat(m_style, ds_icu_locale(m_locale));
    m_explicitNegative = false;
    takeBaseScale();
    applyMultiplier();
}

icu::DecimalFormat *DSPlatformNumberFormatter::decimal() const
{
    return dynamic_cast<icu::DecimalFormat *>(m_format.get());
}

QString DSPlatformNumberFormatter::stringFromNumber(double value) const
{
    icu::UnicodeString out;
    if (m_scaleByHand)
        value *= m_multiplier;
    m_format->format(value, out);
    return ds_qstring(out);
}

QString DSPlatformNumberFormatter::stringFromNumberWithSignificantDigits(double value, int significantDigits) const
{
    if (numberStyle() != DecimalStyle || value == 0 || !std::isfinite(value) || m_scaleByHand)
        return stringFromNumber(value);
    const int needed = significantDigits - 1 - int(std::floor(std::log10(std::fabs(value))));
    if (needed <= maximumFractionDigits())
        return stringFromNumber(value);
    std::unique_ptr<DSPlatformNumberFormatter> finer = clone();
    finer->setMaximumFractionDigits(std::min(needed, 15));
    return finer->stringFromNumber(value);
}

std::optional<double> DSPlatformNumberFormatter::numberFromString(const QString &text) const
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    const icu::UnicodeString source = ds_unicode(trimmed);
    icu::Formattable result;
    icu::ParsePosition position(0);
    m_format->parse(source, result, position);
    if (position.getIndex() != source.length() || position.getErrorIndex() >= 0)
        return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    double value = result.getDouble(status);
    if (U_FAILURE(status))
        return std::nullopt;
    if (m_scaleByHand)
        value /= m_multiplier;
    return value;
}

void DSPlatformNumberFormatter::setNumberStyle(int style)
{
    m_style = style;
    reset();
}

void DSPlatformNumberFormatter::setLocale(const QLocale &locale)
{
    const int minimum = minimumFractionDigits(), maximum = maximumFractionDigits();
    const bool grouping = usesGroupingSeparator();
    m_locale = locale;
    reset();
    m_format->setMinimumFractionDigits(minimum);
    m_format->setMaximumFractionDigits(maximum);
    m_format->setGroupingUsed(grouping);
}

int DSPlatformNumberFormatter::minimumFractionDigits() const { return m_format->getMinimumFractionDigits(); }
int DSPlatformNumberFormatter::maximumFractionDigits() const { return m_format->getMaximumFractionDigits(); }
int DSPlatformNumberFormatter::minimumIntegerDigits() const { return m_format->getMinimumIntegerDigits(); }
bool DSPlatformNumberFormatter::usesGroupingSeparator() const { return m_format->isGroupingUsed(); }

void DSPlatformNumberFormatter::setMinimumFractionDigits(int digits)
{
    m_padded.reset();
    m_format->setMinimumFractionDigits(digits);
}

void DSPlatformNumberFormatter::setMaximumFractionDigits(int digits)
{
    m_padded.reset();
    m_format->setMaximumFractionDigits(digits);
}

void DSPlatformNumberFormatter::setMinimumIntegerDigits(int digits)
{
    m_padded.reset();
    m_format->setMinimumIntegerDigits(digits);
}

void DSPlatformNumberFormatter::setUsesGroupingSeparator(bool uses)
{
    m_padded.reset();
    m_format->setGroupingUsed(uses);
}

QString DSPlatformNumberFormatter::positiveFormat() const
{
    const icu::DecimalFormat *format = decimal();
    if (!format)
        return QString();
    icu::UnicodeString pattern;
    format->toPattern(pattern);
    return splitPattern(ds_qstring(pattern)).first;
}

QString DSPlatformNumberFormatter::negativeFormat() const
{
    const icu::DecimalFormat *format = decimal();
    if (!format)
        return QString();
    icu::UnicodeString pattern;
    format->toPattern(pattern);
    const auto [positive, negative] = splitPattern(ds_qstring(pattern));
    return negative.isNull() ? QLatin1Char('-') + positive : negative;
}

void DSPlatformNumberFormatter::setPositiveFormat(const QString &pattern)
{
    applyPatterns(pattern, m_explicitNegative ? negativeFormat() : QString());
}

void DSPlatformNumberFormatter::setNegativeFormat(const QString &pattern)
{
    m_explicitNegative = true;
    applyPatterns(positiveFormat(), pattern);
}

void DSPlatformNumberFormatter::applyPatterns(const QString &positive, const QString &negative)
{
    m_padded.reset();
    icu::DecimalFormat *format = decimal();
    if (!format)
        return;
    const QString pattern = negative.isNull() || negative == QLatin1Char('-') + positive
                                ? positive
                                : positive + QLatin1Char(';') + negative;
    UErrorCode status = U_ZERO_ERROR;
    format->setMultiplier(1);
    format->setMultiplierScale(0);
    format->applyPattern(ds_unicode(pattern), status);
    takeBaseScale();
    applyMultiplier();
}

void DSPlatformNumberFormatter::setMultiplier(double multiplier)
{
    m_padded.reset();
    m_multiplier = multiplier;
    applyMultiplier();
}

// Powers of ten travel as ICU's exact decimal scale, other whole numbers as
// its multiplier, both on top of what the style's pattern holds (percent's
// x100); any other factor is applied to the double itself.
void DSPlatformNumberFormatter::applyMultiplier()
{
    icu::DecimalFormat *format = decimal();
    m_scaleByHand = !format && m_multiplier != 1;
    if (!format)
        return;
    const double exponent = std::round(std::log10(std::fabs(m_multiplier)));
    if (m_multiplier > 0 && std::pow(10.0, exponent) == m_multiplier) {
        format->setMultiplier(m_baseMultiplier);
        format->setMultiplierScale(m_baseScale + int32_t(exponent));
    } else if (m_multiplier == std::round(m_multiplier) && std::fabs(m_multiplier * m_baseMultiplier) < 2e9) {
        format->setMultiplierScale(m_baseScale);
        format->setMultiplier(m_baseMultiplier * int32_t(m_multiplier));
    } else {
        format->setMultiplierScale(m_baseScale);
        format->setMultiplier(m_baseMultiplier);
        m_scaleByHand = true;
    }
}

// The scale the current pattern brings, before any multiplier of ours.
void DSPlatformNumberFormatter::takeBaseScale()
{
    if (const icu::DecimalFormat *format = decimal()) {
        m_baseMultiplier = format->getMultiplier();
        m_baseScale = format->getMultiplierScale();
    }
}

QString DSPlatformNumberFormatter::currencySymbol() const
{
    if (const icu::DecimalFormat *format = decimal())
        return ds_qstring(format->getDecimalFormatSymbols()->getSymbol(icu::DecimalFormatSymbols::kCurrencySymbol));
    UErrorCode status = U_ZERO_ERROR;
    icu::DecimalFormatSymbols symbols(ds_icu_locale(m_locale), status);
    return ds_qstring(symbols.getSymbol(icu::DecimalFormatSymbols::kCurrencySymbol));
}

void DSPlatformNumberFormatter::accommodateExponent(int exponent)
{
    int needed = m_style == PercentStyle ? (exponent < -2 ? -exponent - 2 : 0) : -exponent;
    needed = std::max(needed, minimumFractionDigits());
    if (m_style == ScientificStyle)
        return;
    setMinimumFractionDigits(needed);
    setMaximumFractionDigits(needed);
}

QString DSPlatformNumberFormatter::decimalString(double value, int minimumIntegerDigits) const
{
    if (!m_padded || m_paddedIntegerDigits != minimumIntegerDigits) {
        if (decimal() && m_style != ScientificStyle && m_style != PercentStyle && m_style != CurrencyStyle) {
            auto *copy = static_cast<icu::DecimalFormat *>(m_format->clone());
            copy->setMultiplier(m_baseMultiplier);
            copy->setMultiplierScale(m_baseScale);
            m_padded.reset(copy);
        } else {
            m_padded = makeFormat(DecimalStyle, ds_icu_locale(m_locale));
            m_padded->setMinimumFractionDigits(minimumFractionDigits());
            m_padded->setMaximumFractionDigits(maximumFractionDigits());
            m_padded->setGroupingUsed(usesGroupingSeparator());
        }
        m_padded->setMinimumIntegerDigits(minimumIntegerDigits);
        m_paddedIntegerDigits = minimumIntegerDigits;
    }
    icu::UnicodeString out;
    m_padded->format(value, out);
    return ds_qstring(out);
}
