#pragma once

#include <QLocale>
#include <QString>
#include <memory>
#include <optional>
#include <unicode/uversion.h>

U_NAMESPACE_BEGIN
class SimpleDateFormat;
U_NAMESPACE_END

// A date formatter for one locale on ICU's SimpleDateFormat: absolute times
// (seconds since 2001-01-01 00:00:00 GMT) to text, always in the Gregorian
// calendar and in GMT, whatever TZ and the locale's own calendar say.
// Starts with the locale's long date and long time format. An instance is
// used by one thread at a time.
class DSPlatformDateFormatter
{
public:
    explicit DSPlatformDateFormatter(const QLocale &locale = QLocale());
    enum Style { NoStyle, ShortStyle, MediumStyle, LongStyle, FullStyle };
    // The locale's format of the date and time styles; NoStyle leaves that
    // part out.
    DSPlatformDateFormatter(const QLocale &locale, Style dateStyle, Style timeStyle);
    DSPlatformDateFormatter(const DSPlatformDateFormatter &other);
    DSPlatformDateFormatter &operator=(const DSPlatformDateFormatter &other);
    ~DSPlatformDateFormatter();

    const QLocale &locale() const { return m_locale; }

    // The pattern in ICU's (Unicode) date pattern syntax ("M/d/y").
    QString dateFormat() const;
    void setDateFormat(const QString &pattern);

    // The locale's pattern of a date style and a time style (NoStyle leaves
    // that part out; both NoStyle keep the pattern as it is).
    void setStyles(Style dateStyle, Style timeStyle);

    // The text of `time`; a null QString for a NaN or infinite time.
    QString stringFromTime(double time) const;
    // The absolute time the whole of `text` reads as under the pattern, or
    // nothing when the pattern does not take all of it.
    std::optional<double> timeFromString(const QString &text) const;

private:
    QLocale m_locale;
    std::unique_ptr<icu::SimpleDateFormat> m_format;
};
