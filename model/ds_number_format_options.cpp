#include "model/ds_number_format_options.h"

#include "model/DSSmallNumberFormatter.h"
#include "model/DSUserDefaults.h"

namespace {

const QString k_maximum = QStringLiteral("maximum_decimal_digits");
const QString k_minimum = QStringLiteral("minimum_decimal_digits");
const QString k_apply = QStringLiteral("apply_minimum_decimal_digits");

QVariantMap optionSet(int maximum, int minimum, bool apply)
{
    return QVariantMap{{k_maximum, maximum}, {k_minimum, minimum}, {k_apply, apply}};
}

QVariantMap asEntry(const QVariant &entry)
{
    return entry.typeId() == QMetaType::QVariantMap ? entry.toMap() : QVariantMap();
}

bool has(const QVariantMap &map, const QString &key)
{
    return map.value(key).isValid();
}

QVariantMap storedEntryNamed(const QString &name)
{
    const auto options = DSUserDefaults::standardUserDefaults().dictionaryForKey(
        QStringLiteral("number_format_options"));
    return options ? asEntry(options->value(name)) : QVariantMap();
}

} // namespace

QVariantMap ds_default_percent_format_options()
{
    return optionSet(1, 0, false);
}

QVariantMap ds_default_format_options()
{
    return optionSet(3, 1, false);
}

QVariantMap ds_default_fixed_place_format_options()
{
    return optionSet(3, 3, true);
}

QVariantMap ds_default_predicted_values_format_options()
{
    return optionSet(2, 2, true);
}

const std::array<ds_result_format_entry_s, 14> &ds_result_format_entries()
{
    using S = DSResultFormatterSetup;
    static const std::array<ds_result_format_entry_s, 14> entries{{
        {"percentages", S::Percent, ds_default_percent_format_options, ds_default_percent_format_options},
        {"mean_values", S::ScientificFallback, ds_default_format_options, ds_default_format_options},
        {"standard_deviations", S::ScientificFallback, ds_default_format_options, ds_default_format_options},
        {"p_values", S::Unrepresentable, ds_default_fixed_place_format_options, ds_default_fixed_place_format_options},
        {"r_squared", S::Unrepresentable, ds_default_fixed_place_format_options, ds_default_fixed_place_format_options},
        {"correlations", S::Unrepresentable, ds_default_fixed_place_format_options, ds_default_fixed_place_format_options},
        {"covariances", S::Plain, ds_default_format_options, ds_default_format_options},
        {"test_statistics", S::Plain, ds_default_format_options, ds_default_format_options},
        {"critical_values", S::Plain, ds_default_format_options, ds_default_format_options},
        {"coefficients", S::ScientificFallback, ds_default_format_options, ds_default_format_options},
        {"odds_ratios", S::OddsRatio, ds_default_format_options, ds_default_format_options},
        {"standard_errors", S::ScientificFallback, ds_default_format_options, ds_default_format_options},
        {"log_likelihoods", S::Plain, ds_default_format_options, ds_default_fixed_place_format_options},
        {"predicted_values", S::ScientificFallback, ds_default_predicted_values_format_options, ds_default_format_options},
    }};
    return entries;
}

int ds_result_format_index(const QString &name)
{
    const auto &entries = ds_result_format_entries();
    for (size_t i = 0; i < entries.size(); ++i)
        if (name == QLatin1String(entries[i].name))
            return int(i);
    return -1;
}

std::unique_ptr<DSSmallNumberFormatter> ds_make_result_formatter(const ds_result_format_entry_s &entry)
{
    using S = DSResultFormatterSetup;
    auto formatter = std::make_unique<DSSmallNumberFormatter>(
        entry.setup == S::Percent ? DSPlatformNumberFormatter::PercentStyle : DSPlatformNumberFormatter::DecimalStyle);
    formatter->setUsesScientificFormatter(entry.setup == S::ScientificFallback || entry.setup == S::OddsRatio);
    formatter->setShowsUnrepresentableNumber(entry.setup == S::Unrepresentable);
    if (entry.setup == S::OddsRatio)
        formatter->setCentralValue(1.0);
    const QVariantMap digits = entry.fallback();
    formatter->setMinimumFractionDigits(ds_minimum_digits_for_options(QVariant(), digits));
    formatter->setMaximumFractionDigits(ds_maximum_digits_for_options(QVariant(), digits));
    return formatter;
}

QVariantMap ds_registered_number_format_options()
{
    QVariantMap options;
    for (const ds_result_format_entry_s &entry : ds_result_format_entries())
        options.insert(QString::fromLatin1(entry.name), entry.registered());
    return options;
}

int ds_minimum_digits_for_options(const QVariant &entryValue, const QVariantMap &fallback)
{
    const QVariantMap entry = asEntry(entryValue);
    if (has(entry, k_apply)) {
        if (!entry.value(k_apply).toBool())
            return 0;
        if (has(entry, k_minimum))
            return entry.value(k_minimum).toInt();
    }
    return fallback.value(k_apply).toBool() ? fallback.value(k_minimum).toInt() : 0;
}

int ds_maximum_digits_for_options(const QVariant &entryValue, const QVariantMap &fallback)
{
    const QVariantMap entry = asEntry(entryValue);
    return has(entry, k_maximum) ? entry.value(k_maximum).toInt() : fallback.value(k_maximum).toInt();
}

int ds_minimum_digits_for_options_named(const QString &name)
{
    return ds_minimum_digits_for_options(storedEntryNamed(name), QVariantMap());
}

int ds_maximum_digits_for_options_named(const QString &name)
{
    return ds_maximum_digits_for_options(storedEntryNamed(name), QVariantMap());
}
