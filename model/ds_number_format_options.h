#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <array>
#include <memory>

class DSSmallNumberFormatter;

// The digit settings of the application's shared result formatters. Each
// entry of the user default "number_format_options" is a dictionary with
// "maximum_decimal_digits" (integer), "minimum_decimal_digits" (integer) and
// "apply_minimum_decimal_digits" (bool); an option set is such a dictionary.

QVariantMap ds_default_percent_format_options();           // 1, 0, NO
QVariantMap ds_default_format_options();                   // 3, 1, NO
QVariantMap ds_default_fixed_place_format_options();       // 3, 3, YES
QVariantMap ds_default_predicted_values_format_options();  // 2, 2, YES

// How a result formatter is set up besides its digits.
enum class DSResultFormatterSetup {
    Percent,            // percent style
    ScientificFallback, // decimal; values too small for the digits in scientific notation
    Unrepresentable,    // decimal; values too small for the digits shown as a bound
    Plain,              // decimal
    OddsRatio           // decimal, scientific fallback around a central value of 1
};

// One of the fourteen entries: its name in "number_format_options", its
// set-up, the option set registered for it and the one that fills the
// fields a stored entry lacks (the two differ for log likelihoods and
// predicted values).
struct ds_result_format_entry_s
{
    const char *name;
    DSResultFormatterSetup setup;
    QVariantMap (*registered)();
    QVariantMap (*fallback)();
};

// The fourteen entries in the order the formatters are configured.
const std::array<ds_result_format_entry_s, 14> &ds_result_format_entries();

// The place of the entry of that name among the fourteen, or -1.
int ds_result_format_index(const QString &name);

// A new result formatter of the entry (owned by the caller): its style and
// small-number set-up, with the digits of the entry's fallback set.
std::unique_ptr<DSSmallNumberFormatter> ds_make_result_formatter(const ds_result_format_entry_s &entry);

// The registered value of "number_format_options": every entry's registered set.
QVariantMap ds_registered_number_format_options();

// The minimum fraction digits of a stored entry (a dictionary; anything else
// counts as an entry without fields) with a fallback set:
// - an entry whose "apply_minimum_decimal_digits" is NO: 0;
// - one whose flag is YES and that has "minimum_decimal_digits": that value;
// - otherwise the fallback's "minimum_decimal_digits" when the fallback's
//   flag is YES, else 0.
int ds_minimum_digits_for_options(const QVariant &entry, const QVariantMap &fallback);

// The entry's "maximum_decimal_digits" when present, else the fallback's
// (0 when neither has one).
int ds_maximum_digits_for_options(const QVariant &entry, const QVariantMap &fallback);

// The two rules for the entry of that name in the stored "number_format_options"
// of the standard user defaults, with no fallback set (missing fields count
// as 0 and NO).
int ds_minimum_digits_for_options_named(const QString &name);
int ds_maximum_digits_for_options_named(const QString &name);
