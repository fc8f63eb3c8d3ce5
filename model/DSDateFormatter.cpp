#include "model/DSDateFormatter.h"

DSDateFormatter::DSDateFormatter(const QLocale &locale)
    : m_formatter(locale), m_generator(locale), m_supportsJ(!m_generator.bestPattern(QStringLiteral("J")).isEmpty())
{
}

QString DSDateFormatter::formatForTemplate(const QString &tmpl)
{
    auto it = m_template2format.constFind(tmpl);
    if (it == m_template2format.constEnd()) {
        QString skeleton = tmpl;
        if (!m_supportsJ)
            skeleton.replace(QLatin1Char('J'), QLatin1Char('j'));
        it = m_template2format.insert(tmpl, m_generator.bestPattern(skeleton));
    }
    return *it;
}

QString DSDateFormatter::formattedStringForTimeFormat(double time, const QString &format)
{
    m_formatter.setDateFormat(format);
    return m_formatter.stringFromTime(time);
}

QString DSDateFormatter::formattedStringForTimeTemplate(double time, const QString &tmpl)
{
    return formattedStringForTimeFormat(time, formatForTemplate(tmpl));
}
