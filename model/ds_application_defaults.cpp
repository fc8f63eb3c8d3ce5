#include "model/ds_application_defaults.h"

#include "model/DSUserDefaults.h"
#include "model/ds_number_format_options.h"

QVariantMap ds_application_defaults()
{
    const QVariantMap localServer{{QStringLiteral("hostname"), QStringLiteral("localhost")}};
    return QVariantMap{
        {QStringLiteral("always_open_splash"), true},
        {QStringLiteral("did_finish_tutorial"), false},
        {QStringLiteral("did_rate_in_app_store"), false},
        {QStringLiteral("action_count"), qlonglong(0)},
        {QStringLiteral("launch_count"), qlonglong(0)},
        {QStringLiteral("significance_scheme"), qlonglong(0)},
        {QStringLiteral("the_bottom_line_style"), qlonglong(0)},
        {QStringLiteral("number_format_options"), ds_registered_number_format_options()},
        {QStringLiteral("summary_table_column_mask"), qlonglong(7)},
        {QStringLiteral("covariate_table_column_mask"), qlonglong(1)},
        {QStringLiteral("outcome_table_column_mask"), qlonglong(5)},
        {QStringLiteral("explanatory_table_column_mask"), qlonglong(79)},
        {QStringLiteral("database_servers"), QVariantList{localServer}},
        {QStringLiteral("database_row_limit"), qlonglong(10000)},
        {QStringLiteral("database_apply_row_limit"), true},
        {QStringLiteral("recent_database_urls"), QVariantList()},
        {QStringLiteral("database_recent_queries"), QVariantMap()},
    };
}

void ds_register_application_defaults()
{
    DSUserDefaults::standardUserDefaults().registerDefaults(ds_application_defaults());
}
