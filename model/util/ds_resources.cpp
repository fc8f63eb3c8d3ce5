#include "model/util/ds_resources.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString ds_resource_path(const QString &name)
{
    if (QCoreApplication::instance()) {
        const QString installed =
            QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../share/ostrel/") + name);
        if (QFileInfo::exists(installed))
            return QDir::cleanPath(installed);
    }
    return QDir(QStringLiteral(OSTREL_BUILD_SHARE_DIR)).filePath(name);
}
