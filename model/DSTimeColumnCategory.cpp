#include "model/DSTimeColumnCategory.h"

#include "model/util/ds_labels.h"

QString DSTimeColumnCategory::longValue() const
{
    if (!label().isNull())
        return label();
    if (!hasValue())
        return QStringLiteral("Missing");
    const QString start = ds_format_time(m_formatter.get(), m_value);
    if (m_interval == 0)
        return start;
    const QString last = ds_format_time(m_formatter.get(), m_value + m_interval - 1);
    return last == start ? start : QStringLiteral("%1 - %2").arg(start, last);
}

double DSTimeColumnCategory::hue() const
{
    unsigned char buffer[kDSDoubleKeyBytes];
    return ds_hue_for_number(buffer, hasValue() ? m_value : 0.0);
}
