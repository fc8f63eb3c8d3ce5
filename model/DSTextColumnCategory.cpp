#include "model/DSTextColumnCategory.h"

QString DSTextColumnCategory::longValue() const
{
    if (!label().isNull())
        return label();
    return m_value.isNull() ? QStringLiteral("Missing") : m_value;
}

double DSTextColumnCategory::hue() const
{
    const QString text = longValue();
    return tableHueFor(text).value_or(ds_hue_for_text(text.toUtf8().constData()));
}

QString DSTextColumnCategory::valueWithoutNewlines() const
{
    if (m_value.isNull())
        return QString();
    QString text = m_value;
    return text.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
}
