#include "import/ds_import_log.h"

#include <QByteArray>

Q_LOGGING_CATEGORY(ds_import_log, "ostrel.import", QtWarningMsg)

void ds_import_log_library_message(const char *library, const char *message)
{
    const QByteArray text = QByteArray(message).trimmed();
    // ReadStat names itself already.
    if (text.startsWith(QByteArray(library).append(':')))
        qCInfo(ds_import_log, "%s", text.constData());
    else
        qCInfo(ds_import_log, "%s: %s", library, text.constData());
}
