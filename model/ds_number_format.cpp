#include "model/ds_number_format.h"

#include "model/util/ds_excel_format.h"

namespace {

using Style = DSPlatformNumberFormatter::Style;

const QString kDurationCode = QStringLiteral("[h]:mm:ss");

} // namespace

std::unique_ptr<DSDurationFormatter> ds_number_format_formatter(const ds_number_format_s &format,
                                                                const QLocale &locale)
{
    auto formatter = std::make_unique<DSDurationFormatter>(format.number_style, locale);
    formatter->setAllowedUnits(format.duration_allowed_units);
    formatter->setUnitsStyle(format.duration_units_style);
    formatter->setUsesGroupingSeparator(format.show_grouping_separator);
    const bool minimum = format.show_fractional_digits && format.apply_minimum_fractional_digits;
    formatter->setMinimumFractionDigits(minimum ? format.minimum_fractional_digits : 0);
    formatter->setMaximumFractionDigits(format.show_fractional_digits ? format.maximum_fractional_digits : 0);
    return formatter;
}

int ds_number_format_resolution_scheme(const ds_number_format_s &format)
{
    if (format.number_style != Style::DurationStyle)
        return 0;
    return (format.duration_allowed_units & DSDurationFormatter::WeekUnit) ? 2 : 1;
}

void ds_number_format_read_excel(ds_number_format_s *format, const char *code)
{
    const int zeros = ds_excel_format_zero_decimals(code);
    const int decimals = ds_excel_format_decimals(code);
    if (zeros > 0) {
        format->apply_minimum_fractional_digits = true;
        format->minimum_fractional_digits = zeros;
    } else if (zeros == 0) {
        format->apply_minimum_fractional_digits = false;
    }
    if (decimals > 0)
        format->maximum_fractional_digits = decimals;
    else if (decimals == 0)
        format->show_fractional_digits = false;

    if (ds_excel_format_is_duration(code)) {
        format->number_style = Style::DurationStyle;
        format->duration_units_style = DSDurationFormatter::PositionalStyle;
    }
    if (ds_excel_format_is_scientific(code))
        format->number_style = Style::ScientificStyle;
    if (ds_excel_format_has_percent(code))
        format->number_style = Style::PercentStyle;
    if (ds_excel_format_has_currency(code))
        format->number_style = Style::CurrencyStyle;
}

QString ds_number_format_excel_prefix(const ds_number_format_s &format, const QLocale &locale)
{
    if (format.number_style != Style::CurrencyStyle)
        return QString();
    return DSPlatformNumberFormatter(Style::CurrencyStyle, locale).currencySymbol();
}

QString ds_number_format_excel_lhs(const ds_number_format_s &format)
{
    return format.show_grouping_separator ? QStringLiteral("#,##0") : QStringLiteral("0");
}

QString ds_number_format_excel_rhs(const ds_number_format_s &format)
{
    if (!format.show_fractional_digits)
        return QString();
    const QChar required = format.apply_minimum_fractional_digits ? u'0' : u'#';
    QString fraction;
    for (int i = 0; i < format.minimum_fractional_digits; ++i)
        fraction += required;
    for (int i = format.minimum_fractional_digits; i < format.maximum_fractional_digits; ++i)
        fraction += u'#';
    return fraction;
}

QString ds_number_format_excel_postfix(const ds_number_format_s &format)
{
    if (format.number_style == Style::PercentStyle)
        return QStringLiteral("%");
    if (format.number_style == Style::ScientificStyle)
        return QStringLiteral("E+0");
    return QString();
}

QString ds_number_format_excel_without_fraction(const ds_number_format_s &format, const QLocale &locale)
{
    return ds_number_format_excel_prefix(format, locale) + ds_number_format_excel_lhs(format)
           + ds_number_format_excel_postfix(format);
}

QString ds_number_format_excel_string(const ds_number_format_s &format, const QLocale &locale)
{
    if (format.number_style == Style::DurationStyle)
        return kDurationCode;
    const QString fraction = ds_number_format_excel_rhs(format);
    if (fraction.isEmpty())
        return ds_number_format_excel_without_fraction(format, locale);
    return ds_number_format_excel_prefix(format, locale) + ds_number_format_excel_lhs(format) + u'.' + fraction
           + ds_number_format_excel_postfix(format);
}

QString ds_number_format_excel_string_for_integers(const ds_number_format_s &format, const QLocale &locale)
{
    if (format.number_style == Style::DurationStyle)
        return kDurationCode;
    if (format.show_fractional_digits && format.minimum_fractional_digits != 0
        && format.apply_minimum_fractional_digits)
        return ds_number_format_excel_string(format, locale);
    return ds_number_format_excel_without_fraction(format, locale);
}
