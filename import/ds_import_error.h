#pragma once

#include "model/DSError.h"

class ZipException;

#include <QString>
#include <QUrl>

// The error of a file an importer cannot read: the message followed by the
// file's name in quotes, so a user importing several files knows which one
// failed.
DSError ds_import_file_error(const QString &message, const QUrl &url);

// Stores the failure where the caller asked for it (error may be null) and
// answers false, the answer of a parse that failed.
bool ds_fail_import(DSError *error, const DSError &failure);

// The error of a file whose zip container is damaged or cut short (a
// workbook, a document): "The <kind> file is damaged or incomplete" with the
// file's name; the zip layer's reason goes to the log.
DSError ds_damaged_archive_error(const QString &kind, const QUrl &url, const ZipException &failure);

// The error of a workbook or document that could not be read, its archive
// included: "Error parsing <kind> file: f.xlsx" with the file's name, as
// the spreadsheet importers word it (kind "XLSX", "Numbers").
DSError ds_parse_file_error(const QString &kind, const QUrl &url);
