#pragma once

#include <QLoggingCategory>

// The messages the file-format libraries print about the files they read.
// Each failure they report already reaches the user as the import's error,
// so the category is quiet below warnings; QT_LOGGING_RULES
// "ostrel.import.info=true" shows them.
Q_DECLARE_LOGGING_CATEGORY(ds_import_log)

// Logs a library's message as info, named after the library (once) and
// without its trailing line break.
void ds_import_log_library_message(const char *library, const char *message);
