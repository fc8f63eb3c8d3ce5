#include "import/ds_import_error.h"

#include "import/ZipException.h"

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

DSError ds_damaged_archive_error(const QString &kind, const QUrl &url, const ZipException &failure)
{
    return ds_make_error(1, QStringLiteral("The %1 file is damaged or incomplete: “%2” (%3)")
                                .arg(kind, url.fileName(), failure.reason()));
}
