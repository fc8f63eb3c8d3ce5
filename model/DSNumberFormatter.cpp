#include "model/DSNumberFormatter.h"

ds_number_format_s DSNumberFormatter::format() const
{
    ds_number_format_s f;
    f.number_style = number_style();
    f.show_fractional_digits = show_fractional_digits();
    f.minimum_fractional_digits = minimum_fractional_digits();
    f.apply_minimum_fractional_digits = apply_minimum_fractional_digits();
    f.maximum_fractional_digits = maximum_fractional_digits();
    f.show_grouping_separator = show_grouping_separator();
    f.duration_allowed_units = duration_allowed_units();
    f.duration_units_style = duration_units_style();
    return f;
}

// Unchanged attributes are not written, so that reading a code records only
// what the code changed in the document's undo.
void DSNumberFormatter::setFormat(const ds_number_format_s &f)
{
    const ds_number_format_s old = format();
    if (f.number_style != old.number_style)
        setNumber_style(f.number_style);
    if (f.show_fractional_digits != old.show_fractional_digits)
        setShow_fractional_digits(f.show_fractional_digits);
    if (f.minimum_fractional_digits != old.minimum_fractional_digits)
        setMinimum_fractional_digits(f.minimum_fractional_digits);
    if (f.apply_minimum_fractional_digits != old.apply_minimum_fractional_digits)
        setApply_minimum_fractional_digits(f.apply_minimum_fractional_digits);
    if (f.maximum_fractional_digits != old.maximum_fractional_digits)
        setMaximum_fractional_digits(f.maximum_fractional_digits);
    if (f.show_grouping_separator != old.show_grouping_separator)
        setShow_grouping_separator(f.show_grouping_separator);
    if (f.duration_allowed_units != old.duration_allowed_units)
        setDuration_allowed_units(f.duration_allowed_units);
    if (f.duration_units_style != old.duration_units_style)
        setDuration_units_style(f.duration_units_style);
}

std::unique_ptr<DSDurationFormatter> DSNumberFormatter::NSNumberFormatter() const
{
    return ds_number_format_formatter(format());
}

int DSNumberFormatter::resolutionScheme() const
{
    return ds_number_format_resolution_scheme(format());
}

void DSNumberFormatter::setExcelFormatString(const QString &code)
{
    ds_number_format_s f = format();
    ds_number_format_read_excel(&f, code.toUtf8().constData());
    setFormat(f);
}

QString DSNumberFormatter::ExcelFormatString() const
{
    return ds_number_format_excel_string(format());
}

QString DSNumberFormatter::ExcelFormatStringForIntegers() const
{
    return ds_number_format_excel_string_for_integers(format());
}

QString DSNumberFormatter::ExcelFormatStringPrefix() const
{
    return ds_number_format_excel_prefix(format());
}

QString DSNumberFormatter::ExcelFormatStringLHS() const
{
    return ds_number_format_excel_lhs(format());
}

QString DSNumberFormatter::ExcelFormatStringRHS() const
{
    return ds_number_format_excel_rhs(format());
}

QString DSNumberFormatter::ExcelFormatStringPostfix() const
{
    return ds_number_format_excel_postfix(format());
}

QString DSNumberFormatter::ExcelFormatStringWithoutFraction() const
{
    return ds_number_format_excel_without_fraction(format());
}
