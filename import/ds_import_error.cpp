#include "import/ds_import_error.h"

#include "import/ZipException.h"

#include <QtGlobal>

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
    // The reason names the entry, and the archive by its whole path: it goes
    // to the log, the user sees the file's name.
    qWarning("%s", qPrintable(failure.reason()));
    return ds_import_file_error(QStringLiteral("The %1 file is damaged or incomplete").arg(kind), url);
}

DSError ds_parse_file_error(const QString &kind, const QUrl &url)
{
    return ds_make_error(1, QStringLiteral("Error parsing %1 file: %2").arg(kind, url.fileName()));
}
