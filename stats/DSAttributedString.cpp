#include "stats/DSAttributedString.h"

void DSAttributedString::append(const QString &text, DSTextAttributes attributes)
{
    if (text.isEmpty())
        return;
    if (!m_runs.isEmpty() && m_runs.last().attributes == attributes)
        m_runs.last().text += text;
    else
        m_runs.append({text, attributes});
}

void DSAttributedString::append(const DSAttributedString &other)
{
    for (const Run &run : other.m_runs)
        append(run.text, run.attributes);
}

QString DSAttributedString::string() const
{
    QString text;
    for (const Run &run : m_runs)
        text += run.text;
    return text;
}

QString DSAttributedString::markedString() const
{
    QString text;
    for (const Run &run : m_runs)
        text += run.attributes.italic ? QLatin1Char('*') + run.text + QLatin1Char('*') : run.text;
    return text;
}
