#include "model/DSSmallNumberFormatter.h"

#include <cmath>

DSSmallNumberFormatter::DSSmallNumberFormatter(int style, const QLocale &locale)
    : DSPlatformNumberFormatter(style, locale),
      m_smallFormatter(std::make_unique<DSPlatformNumberFormatter>(ScientificStyle, locale))
{
}

DSSmallNumberFormatter::DSSmallNumberFormatter(const DSSmallNumberFormatter &other)
    : DSPlatformNumberFormatter(other),
      m_smallFormatter(other.m_smallFormatter->clone()),
      m_center(other.m_center),
      m_useSmallFormatter(other.m_useSmallFormatter),
      m_showUnrepresentable(other.m_showUnrepresentable)
{
}

DSSmallNumberFormatter &DSSmallNumberFormatter::operator=(const DSSmallNumberFormatter &other)
{
    if (this != &other) {
        DSPlatformNumberFormatter::operator=(other);
        m_smallFormatter = other.m_smallFormatter->clone();
        m_center = other.m_center;
        m_useSmallFormatter = other.m_useSmallFormatter;
        m_showUnrepresentable = other.m_showUnrepresentable;
    }
    return *this;
}

std::unique_ptr<DSPlatformNumberFormatter> DSSmallNumberFormatter::clone() const
{
    return std::make_unique<DSSmallNumberFormatter>(*this);
}

void DSSmallNumberFormatter::setLocale(const QLocale &locale)
{
    DSPlatformNumberFormatter::setLocale(locale);
    m_smallFormatter->setLocale(locale);
}

void DSSmallNumberFormatter::setMinimumFractionDigits(int digits)
{
    DSPlatformNumberFormatter::setMinimumFractionDigits(digits);
    m_smallFormatter->setMinimumFractionDigits(digits);
}

void DSSmallNumberFormatter::setMaximumFractionDigits(int digits)
{
    DSPlatformNumberFormatter::setMaximumFractionDigits(digits);
    m_smallFormatter->setMaximumFractionDigits(digits);
}

QString DSSmallNumberFormatter::stringFromNumber(double value) const
{
    const auto base = [this](double v) { return DSPlatformNumberFormatter::stringFromNumber(v); };
    if (numberStyle() != DecimalStyle)
        return base(value);
    const double v = value == 0 ? 0 : value; // -0 is written as 0
    const double c = m_center;
    const double e = std::pow(10.0, -maximumFractionDigits());
    if (!std::isfinite(v) || std::fabs(v - c) >= e || v == c)
        return base(v);
    if (m_useSmallFormatter) {
        if (c == 0)
            return m_smallFormatter->stringFromNumber(v);
        return base(c) + (v > c ? QLatin1Char('+') : QLatin1Char('-'))
               + m_smallFormatter->stringFromNumber(std::fabs(v - c));
    }
    if (m_showUnrepresentable && c == 0)
        return v > 0 ? QLatin1Char('<') + base(e) : QLatin1Char('>') + base(-e);
    return base(v);
}
