#include "import/ds_import_error.h"

DSError ds_import_file_error(const QString &message, const QUrl &url)
{
    return ds_make_error(1, QStringLiteral("%1: “%2”").arg(message, url.fileName()));
}

bool ds_fail_import(DSError *error, const DSError &failure)
{
    if (error)
        *error = failure;
    return false;
}

DSError ds_parse_file_error(const QString &kind, const QUrl &url)
{
    return ds_make_error(1, QStringLiteral("Error parsing %1 file: %2").arg(kind, url.fileName()));
}
