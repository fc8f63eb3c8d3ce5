#include "ModelTestSupport.h"

#include "model/DSUserDefaults.h"
#include "model/ds_application_defaults.h"
#include "model/ds_number_format_options.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QVariantMap entry(int maximum, int minimum, bool apply)
{
    return {{QStringLiteral("maximum_decimal_digits"), maximum},
            {QStringLiteral("minimum_decimal_digits"), minimum},
            {QStringLiteral("apply_minimum_decimal_digits"), apply}};
}

TEST(ApplicationDefaults, AreExactlyTheRegisteredTable)
{
    struct Case {
        const char *key;
        QVariant value;
    };
    const QVariantMap localhost{{QStringLiteral("hostname"), QStringLiteral("localhost")}};
    const Case cases[] = {
        {"always_open_splash", true},
        {"did_finish_tutorial", false},
        {"did_rate_in_app_store", false},
        {"action_count", qlonglong(0)},
        {"launch_count", qlonglong(0)},
        {"significance_scheme", qlonglong(0)},
        {"the_bottom_line_style", qlonglong(0)},
        {"summary_table_column_mask", qlonglong(7)},
        {"covariate_table_column_mask", qlonglong(1)},
        {"outcome_table_column_mask", qlonglong(5)},
        {"explanatory_table_column_mask", qlonglong(79)},
        {"database_servers", QVariantList{localhost}},
        {"database_row_limit", qlonglong(10000)},
        {"database_apply_row_limit", true},
        {"recent_database_urls", QVariantList()},
        {"database_recent_queries", QVariantMap()},
    };
    const QVariantMap defaults = ds_application_defaults();
    for (const Case &c : cases) {
        const QVariant value = defaults.value(QString::fromLatin1(c.key));
        EXPECT_EQ(value.typeId(), c.value.typeId()) << c.key;
        EXPECT_EQ(value, c.value) << c.key;
    }

    // Fourteen digit entries, each its registered option set.
    const QVariantMap options = defaults.value(QStringLiteral("number_format_options")).toMap();
    const QVariantMap percent = entry(1, 0, false), format = entry(3, 1, false), fixed = entry(3, 3, true),
                      predicted = entry(2, 2, true);
    const std::pair<const char *, QVariantMap> entries[] = {
        {"percentages", percent},  {"mean_values", format},      {"standard_deviations", format},
        {"p_values", fixed},       {"r_squared", fixed},         {"correlations", fixed},
        {"covariances", format},   {"test_statistics", format},  {"critical_values", format},
        {"coefficients", format},  {"odds_ratios", format},      {"standard_errors", format},
        {"log_likelihoods", format}, {"predicted_values", predicted},
    };
    EXPECT_EQ(options.size(), 14);
    for (const auto &[name, set] : entries)
        EXPECT_EQ(options.value(QString::fromLatin1(name)).toMap(), set) << name;
    EXPECT_EQ(defaults.size(), qsizetype(std::size(cases)) + 1);
}

// Stored values win over registered ones, in memory and in a settings file
// read back by a fresh instance; removing the stored value lets the
// registered one answer again.
TEST(UserDefaults, StoredValueWinsOverRegistered)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.ini"));
    DSUserDefaults memory;
    DSUserDefaults file(path);
    for (DSUserDefaults *defaults : {&memory, &file}) {
        defaults->registerDefaults(ds_application_defaults());
        EXPECT_EQ(defaults->integerForKey(QStringLiteral("database_row_limit")), 10000);
        EXPECT_FALSE(defaults->hasStoredValue(QStringLiteral("database_row_limit")));
        defaults->setInteger(250, QStringLiteral("database_row_limit"));
        defaults->setBool(false, QStringLiteral("always_open_splash"));
        defaults->setObject(QVariantMap{{QStringLiteral("p_values"), entry(4, 2, true)}},
                            QStringLiteral("number_format_options"));
        defaults->synchronize();
        EXPECT_EQ(defaults->integerForKey(QStringLiteral("database_row_limit")), 250);
        EXPECT_FALSE(defaults->boolForKey(QStringLiteral("always_open_splash")));
    }

    DSUserDefaults reread(path);
    reread.registerDefaults(ds_application_defaults());
    EXPECT_EQ(reread.integerForKey(QStringLiteral("database_row_limit")), 250);
    EXPECT_FALSE(reread.boolForKey(QStringLiteral("always_open_splash")));
    EXPECT_TRUE(reread.boolForKey(QStringLiteral("database_apply_row_limit")));
    const auto options = reread.dictionaryForKey(QStringLiteral("number_format_options"));
    ASSERT_TRUE(options);
    EXPECT_EQ(options->value(QStringLiteral("p_values")).toMap(), entry(4, 2, true));

    reread.removeObjectForKey(QStringLiteral("database_row_limit"));
    EXPECT_EQ(reread.integerForKey(QStringLiteral("database_row_limit")), 10000);
}

TEST(UserDefaults, ValuesOfAnotherKindReadAsNone)
{
    DSUserDefaults defaults;
    defaults.setObject(QStringLiteral("not a dictionary"), QStringLiteral("number_format_options"));
    EXPECT_FALSE(defaults.dictionaryForKey(QStringLiteral("number_format_options")));
    EXPECT_FALSE(defaults.arrayForKey(QStringLiteral("number_format_options")));
    EXPECT_EQ(defaults.integerForKey(QStringLiteral("missing")), 0);
}

// The digit rules of the result formatters, entry by entry.
TEST(NumberFormatOptions, DigitsFromStoredOptions)
{
    const QVariantMap format = ds_default_format_options();
    const QVariantMap fixed = ds_default_fixed_place_format_options();
    struct Case {
        const char *what;
        QVariant entry;
        QVariantMap fallback;
        int minimum, maximum;
    };
    const QVariantMap onlyApplyYes{{QStringLiteral("apply_minimum_decimal_digits"), true}};
    const QVariantMap applyNo{{QStringLiteral("apply_minimum_decimal_digits"), false},
                              {QStringLiteral("minimum_decimal_digits"), 5},
                              {QStringLiteral("maximum_decimal_digits"), 6}};
    const Case cases[] = {
        {"entry of its own", entry(4, 2, true), format, 2, 4},
        {"apply NO ignores the minimum", applyNo, fixed, 0, 6},
        {"apply YES without a minimum takes the fallback's rule", onlyApplyYes, fixed, 3, 3},
        {"apply YES without a minimum, fallback not applied", onlyApplyYes, format, 0, 3},
        {"no entry, format fallback", QVariant(), format, 0, 3},
        {"no entry, fixed-place fallback", QVariant(), fixed, 3, 3},
        {"not a dictionary", QStringLiteral("junk"), fixed, 3, 3},
        {"no entry, no fallback", QVariant(), QVariantMap(), 0, 0},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(ds_minimum_digits_for_options(c.entry, c.fallback), c.minimum) << c.what;
        EXPECT_EQ(ds_maximum_digits_for_options(c.entry, c.fallback), c.maximum) << c.what;
    }
}

// A stored "number_format_options" without some entries: each formatter
// takes the fields it lacks from its fallback set, which for predicted values
// is the format set (0 to 3 digits) and for log likelihoods the fixed-place
// set (3 to 3).
TEST(NumberFormatOptions, MissingEntriesUseTheirFallbackSets)
{
    const QVariantMap stored{{QStringLiteral("p_values"), entry(4, 4, true)}};
    struct Case {
        const char *name;
        int minimum, maximum;
    };
    const Case cases[] = {
        {"predicted_values", 0, 3}, {"log_likelihoods", 3, 3}, {"percentages", 0, 1},
        {"mean_values", 0, 3},      {"p_values", 4, 4},        {"correlations", 3, 3},
    };
    for (const Case &c : cases) {
        const ds_result_format_entry_s *found = nullptr;
        for (const ds_result_format_entry_s &e : ds_result_format_entries())
            if (QLatin1String(e.name) == QLatin1String(c.name))
                found = &e;
        ASSERT_TRUE(found) << c.name;
        const QVariant stored_entry = stored.value(QString::fromLatin1(c.name));
        EXPECT_EQ(ds_minimum_digits_for_options(stored_entry, found->fallback()), c.minimum) << c.name;
        EXPECT_EQ(ds_maximum_digits_for_options(stored_entry, found->fallback()), c.maximum) << c.name;
    }
}

TEST(NumberFormatOptions, NamedEntriesReadTheStoredOptionsWithoutFallback)
{
    DSUserDefaults &defaults = DSUserDefaults::standardUserDefaults();
    const QString key = QStringLiteral("number_format_options");
    EXPECT_EQ(ds_minimum_digits_for_options_named(QStringLiteral("p_values")), 3);
    EXPECT_EQ(ds_maximum_digits_for_options_named(QStringLiteral("predicted_values")), 2);
    defaults.setObject(QVariantMap{{QStringLiteral("p_values"), QVariantMap{}}}, key);
    EXPECT_EQ(ds_minimum_digits_for_options_named(QStringLiteral("p_values")), 0);
    EXPECT_EQ(ds_maximum_digits_for_options_named(QStringLiteral("p_values")), 0);
    defaults.removeObjectForKey(key);
}

} // namespace
