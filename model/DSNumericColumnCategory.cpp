#include "model/DSNumericColumnCategory.h"

#include "model/util/ds_labels.h"

QString DSNumericColumnCategory::formattedNumber() const
{
    return ds_format_number(m_formatter.get(), m_value);
}

QString DSNumericColumnCategory::longValue() const
{
    if (!label().isNull())
        return label();
    return std::isnan(m_value) ? QStringLiteral("Missing") : formattedNumber();
}

QString DSNumericColumnCategory::formattedValue() const
{
    if (!label().isNull())
        return throughTextFormatter(label());
    if (std::isnan(m_value))
        return throughTextFormatter(QStringLiteral("Missing"));
    return formattedNumber();
}

double DSNumericColumnCategory::hue() const
{
    if (!label().isNull())
        return tableHueFor(label()).value_or(ds_hue_for_text(label().toUtf8().constData()));
    unsigned char buffer[kDSDoubleKeyBytes];
    return ds_hue_for_number(buffer, m_value);
}
