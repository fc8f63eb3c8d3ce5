#pragma once

#include "model/DSDate.h"
#include "platform/calendar/DSDatePatternGenerator.h"
#include "platform/calendar/DSPlatformDateFormatter.h"

#include <QHash>

// Writes absolute times in GMT from date templates ("yMd", "jmm", "MMMd"),
// in the locale's best pattern for each template, with a cache from template
// to pattern that grows for the formatter's lifetime. One thread at a time.
class DSDateFormatter
{
public:
    explicit DSDateFormatter(const QLocale &locale = QLocale());

    // The locale's pattern for `tmpl` (cached). A "J" (hour without a day
    // period marker) becomes "j" for a locale whose generator lacks it.
    QString formatForTemplate(const QString &tmpl);

    // The text of `time` (seconds since 2001-01-01 00:00:00 GMT) in `format`.
    QString formattedStringForTimeFormat(double time, const QString &format);
    // The same with the pattern of a template.
    QString formattedStringForTimeTemplate(double time, const QString &tmpl);
    // The same for the absolute time of a date.
    QString formattedStringForDateTemplate(const DSDate &date, const QString &tmpl)
    {
        return formattedStringForTimeTemplate(date.timeIntervalSinceReferenceDate(), tmpl);
    }

    // Whether the locale's generator understands the template symbol "J".
    bool supportsJ() const { return m_supportsJ; }

    // The formatter that writes the texts; its pattern is the last one used.
    const DSPlatformDateFormatter &dateFormatter() const { return m_formatter; }

private:
    DSPlatformDateFormatter m_formatter;
    DSDatePatternGenerator m_generator;
    QHash<QString, QString> m_template2format;
    bool m_supportsJ;
};
