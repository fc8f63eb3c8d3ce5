#pragma once

#include "model/DSDurationFormatter.h"

#include <QLocale>
#include <QString>
#include <cstdint>
#include <memory>

// How a column's numbers are shown: the attributes of the stored number
// format, with the defaults a new column gets. The stored entity reads and
// writes these through the functions below.
struct ds_number_format_s
{
    // 1 decimal, 2 currency, 3 percent, 4 scientific, 500 duration.
    int number_style = DSPlatformNumberFormatter::DecimalStyle;
    bool show_fractional_digits = true;
    int minimum_fractional_digits = 0;
    bool apply_minimum_fractional_digits = false;
    int maximum_fractional_digits = 3;
    bool show_grouping_separator = true;
    // Bits 16 day, 32 hour, 64 minute, 128 second, 4096 week.
    uint64_t duration_allowed_units = DSDurationFormatter::kAllUnits;
    // 0 positional, 1 abbreviated unit letters, 2 short unit words.
    int duration_units_style = DSDurationFormatter::PositionalStyle;

    bool operator==(const ds_number_format_s &) const = default;
};

// A new formatter showing numbers as `format` says, in `locale`.
std::unique_ptr<DSDurationFormatter> ds_number_format_formatter(const ds_number_format_s &format,
                                                                const QLocale &locale = QLocale());

// The bin-resolution scheme of histograms: 0 numbers, 1 days (durations),
// 2 weeks (durations that may use weeks).
int ds_number_format_resolution_scheme(const ds_number_format_s &format);

// Takes what a spreadsheet format code says: its fraction digits when it
// has a ".", then its style (duration, then scientific, percent and currency,
// a later one winning). Nothing is ever switched on: a code cannot turn
// fraction digits or grouping on.
void ds_number_format_read_excel(ds_number_format_s *format, const char *code);

// The spreadsheet format code of `format` ("#,##0.00##", "0%", "0.###E+0",
// "[h]:mm:ss" for durations), and its pieces; the currency symbol is the
// locale's.
QString ds_number_format_excel_string(const ds_number_format_s &format, const QLocale &locale = QLocale());
QString ds_number_format_excel_string_for_integers(const ds_number_format_s &format,
                                                   const QLocale &locale = QLocale());
QString ds_number_format_excel_prefix(const ds_number_format_s &format, const QLocale &locale = QLocale());
QString ds_number_format_excel_lhs(const ds_number_format_s &format);
QString ds_number_format_excel_rhs(const ds_number_format_s &format);
QString ds_number_format_excel_postfix(const ds_number_format_s &format);
QString ds_number_format_excel_without_fraction(const ds_number_format_s &format,
                                                const QLocale &locale = QLocale());
