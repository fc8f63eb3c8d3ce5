#pragma once

#include "model/DSDurationFormatter.h"
#include "model/ds_number_format.h"
#include "platform/store/DSManagedObject.h"

#include <memory>

// The stored number format of a numeric column or a pivot aggregation
// (entity "DSNumberFormatter"): style, fraction digits, grouping and the
// units of durations, read from and written as spreadsheet format codes.
// The attributes' defaults are in the entity model.
class DSNumberFormatter : public DSManagedObject
{
public:
    int number_style() const { return int(integerForKey(QStringLiteral("number_style"))); }
    void setNumber_style(int style) { setPrimitiveValue(style, QStringLiteral("number_style")); }
    bool show_fractional_digits() const { return boolForKey(QStringLiteral("show_fractional_digits")); }
    void setShow_fractional_digits(bool show) { setPrimitiveValue(show, QStringLiteral("show_fractional_digits")); }
    int minimum_fractional_digits() const { return int(integerForKey(QStringLiteral("minimum_fractional_digits"))); }
    void setMinimum_fractional_digits(int digits)
    {
        setPrimitiveValue(digits, QStringLiteral("minimum_fractional_digits"));
    }
    bool apply_minimum_fractional_digits() const
    {
        return boolForKey(QStringLiteral("apply_minimum_fractional_digits"));
    }
    void setApply_minimum_fractional_digits(bool apply)
    {
        setPrimitiveValue(apply, QStringLiteral("apply_minimum_fractional_digits"));
    }
    int maximum_fractional_digits() const { return int(integerForKey(QStringLiteral("maximum_fractional_digits"))); }
    void setMaximum_fractional_digits(int digits)
    {
        setPrimitiveValue(digits, QStringLiteral("maximum_fractional_digits"));
    }
    bool show_grouping_separator() const { return boolForKey(QStringLiteral("show_grouping_separator")); }
    void setShow_grouping_separator(bool show) { setPrimitiveValue(show, QStringLiteral("show_grouping_separator")); }
    uint64_t duration_allowed_units() const { return uint64_t(integerForKey(QStringLiteral("duration_allowed_units"))); }
    void setDuration_allowed_units(uint64_t units)
    {
        setPrimitiveValue(qint64(units), QStringLiteral("duration_allowed_units"));
    }
    int duration_units_style() const { return int(integerForKey(QStringLiteral("duration_units_style"))); }
    void setDuration_units_style(int style) { setPrimitiveValue(style, QStringLiteral("duration_units_style")); }

    // All attributes at once; setFormat writes only those that differ.
    ds_number_format_s format() const;
    void setFormat(const ds_number_format_s &format);

    // A new display formatter set up from the attributes, always a
    // DSDurationFormatter, in the user's locale. The caller owns it.
    std::unique_ptr<DSDurationFormatter> NSNumberFormatter() const;
    // The bin-resolution scheme of histograms: 0 numbers, 1 days, 2 weeks.
    int resolutionScheme() const;

    // Takes the digits and style a spreadsheet format code shows (see
    // ds_number_format_read_excel); a code without "." keeps the digits.
    void setExcelFormatString(const QString &code);
    QString ExcelFormatString() const;
    QString ExcelFormatStringForIntegers() const;
    QString ExcelFormatStringPrefix() const;
    QString ExcelFormatStringLHS() const;
    QString ExcelFormatStringRHS() const;
    QString ExcelFormatStringPostfix() const;
    QString ExcelFormatStringWithoutFraction() const;
};
