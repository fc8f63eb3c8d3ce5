#include "platform/calendar/DSPlatformDateFormatter.h"

#include "platform/calendar/ds_gmt_calendar.h"
#include "platform/calendar/ds_icu_calendar.h"

#include <cmath>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>

namespace {

icu::DateFormat::EStyle icuStyle(DSPlatformDateFormatter::Style style)
{
    switch (style) {
    case DSPlatformDateFormatter::ShortStyle:
        return icu::DateFormat::kShort;
    case DSPlatformDateFormatter::MediumStyle:
        return icu::DateFormat::kMedium;
    case DSPlatformDateFormatter::LongStyle:
        return icu::DateFormat::kLong;
    case DSPlatformDateFormatter::FullStyle:
        return icu::DateFormat::kFull;
    default:
        return icu::DateFormat::kNone;
    }
}

} // namespace

DSPlatformDateFormatter::DSPlatformDateFormatter(const QLocale &locale)
    : DSPlatformDateFormatter(locale, LongStyle, LongStyle)
{
}

DSPlatformDateFormatter::DSPlatformDateFormatter(const QLocale &locale, Style dateStyle, Style timeStyle)
    : m_locale(locale)
{
    const icu::Locale icuLocale = ds_icu_gregorian_locale(locale);
    std::unique_ptr<icu::DateFormat> format(
        icu::DateFormat::createDateTimeInstance(icuStyle(dateStyle), icuStyle(timeStyle), icuLocale));
    if (auto *simple = dynamic_cast<icu::SimpleDateFormat *>(format.get())) {
        format.release();
        m_format.reset(simple);
    } else {
        UErrorCode status = U_ZERO_ERROR;
        m_format = std::make_unique<icu::SimpleDateFormat>(icu::UnicodeString(u"MMMM d, y HH:mm:ss"),
                                                           icuLocale, status);
    }
    m_format->adoptTimeZone(icu::TimeZone::createTimeZone(icu::UnicodeString(u"GMT")));
}

DSPlatformDateFormatter::DSPlatformDateFormatter(const DSPlatformDateFormatter &other)
    : m_locale(other.m_locale), m_format(static_cast<icu::SimpleDateFormat *>(other.m_format->clone()))
{
}

DSPlatformDateFormatter &DSPlatformDateFormatter::operator=(const DSPlatformDateFormatter &other)
{
    if (this != &other) {
        m_locale = other.m_locale;
        m_format.reset(static_cast<icu::SimpleDateFormat *>(other.m_format->clone()));
    }
    return *this;
}

DSPlatformDateFormatter::~DSPlatformDateFormatter() = default;

QString DSPlatformDateFormatter::dateFormat() const
{
    icu::UnicodeString pattern;
    m_format->toPattern(pattern);
    return ds_qstring(pattern);
}

void DSPlatformDateFormatter::setDateFormat(const QString &pattern)
{
    m_format->applyPattern(ds_unicode(pattern));
}

void DSPlatformDateFormatter::setStyles(Style dateStyle, Style timeStyle)
{
    if (dateStyle == NoStyle && timeStyle == NoStyle)
        return;
    std::unique_ptr<icu::DateFormat> format(icu::DateFormat::createDateTimeInstance(
        icuStyle(dateStyle), icuStyle(timeStyle), ds_icu_gregorian_locale(m_locale)));
    if (auto *simple = dynamic_cast<icu::SimpleDateFormat *>(format.get())) {
        icu::UnicodeString pattern;
        simple->toPattern(pattern);
        m_format->applyPattern(pattern);
    }
}

QString DSPlatformDateFormatter::stringFromTime(double time) const
{
    if (!std::isfinite(time))
        return QString();
    icu::UnicodeString out;
    m_format->format((time + kDSUnixToAbsoluteTime) * 1000.0, out);
    return ds_qstring(out);
}

std::optional<double> DSPlatformDateFormatter::timeFromString(const QString &text) const
{
    const icu::UnicodeString source = ds_unicode(text);
    icu::ParsePosition position(0);
    const UDate date = m_format->parse(source, position);
    if (position.getErrorIndex() >= 0 || position.getIndex() != source.length() || source.isEmpty())
        return std::nullopt;
    return date / 1000.0 - kDSUnixToAbsoluteTime;
}
