#include "platform/store/DSStoreFile.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

bool failWithErrno(QString *error, const QString &what)
{
    if (error)
        *error = what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
    return false;
}

bool syncPath(const QString &path, int flags, QString *error)
{
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC);
    if (fd < 0)
        return failWithErrno(error, QStringLiteral("could not open “%1” to sync it").arg(path));
    const bool ok = ::fsync(fd) == 0;
    const int savedErrno = errno;
    ::close(fd);
    errno = savedErrno;
    return ok || failWithErrno(error, QStringLiteral("could not sync “%1”").arg(path));
}

} // namespace

QString ds_store_partial_path(const QString &path)
{
    const QFileInfo info(path);
    return info.absoluteDir().filePath(QLatin1Char('.') + info.fileName() + QStringLiteral(".partial"));
}

bool ds_store_sync_file(const QString &path, QString *error)
{
    return syncPath(path, O_RDONLY, error);
}

bool ds_store_replace_file(const QString &from, const QString &to, QString *error)
{
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        return failWithErrno(error, QStringLiteral("could not rename “%1” to “%2”").arg(from, to));
    return syncPath(QFileInfo(to).absolutePath(), O_RDONLY | O_DIRECTORY, error);
}
