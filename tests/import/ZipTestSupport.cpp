#include "ZipTestSupport.h"

#include <QFile>
#include <QTemporaryDir>

#include <zip.h>

QByteArray ds_make_zip(const QList<ZipEntrySpec> &entries)
{
    QTemporaryDir dir;
    const QByteArray path = dir.filePath(QStringLiteral("t.zip")).toUtf8();
    zipFile zip = zipOpen64(path.constData(), APPEND_STATUS_CREATE);
    for (const ZipEntrySpec &entry : entries) {
        zip_fileinfo info{};
        const QByteArray name = entry.name.toUtf8();
        zipOpenNewFileInZip64(zip, name.constData(), &info, nullptr, 0, nullptr, 0, nullptr,
                              entry.level == 0 ? 0 : Z_DEFLATED, entry.level, 0);
        zipWriteInFileInZip(zip, entry.data.constData(), unsigned(entry.data.size()));
        zipCloseFileInZip(zip);
    }
    zipClose(zip, nullptr);
    QFile file(QString::fromUtf8(path));
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

QByteArray ds_make_xlsx(const QList<QPair<QString, QByteArray>> &parts)
{
    QList<ZipEntrySpec> entries;
    for (const auto &[name, data] : parts)
        entries.append(ZipEntrySpec{name, data, -1});
    return ds_make_zip(entries);
}

namespace {

qsizetype findRecord(const QByteArray &zip, const char *signature, qsizetype nameOffset, qsizetype nameLengthOffset,
                     const QString &name)
{
    const QByteArray wanted = name.toUtf8();
    for (qsizetype at = zip.indexOf(signature); at >= 0; at = zip.indexOf(signature, at + 1)) {
        const int length = uchar(zip[at + nameLengthOffset]) | uchar(zip[at + nameLengthOffset + 1]) << 8;
        if (zip.mid(at + nameOffset, length) == wanted)
            return at;
    }
    return -1;
}

} // namespace

qsizetype ds_zip_central_record(const QByteArray &zip, const QString &name)
{
    return findRecord(zip, "PK\x01\x02", 46, 28, name);
}

qsizetype ds_zip_local_header(const QByteArray &zip, const QString &name)
{
    return findRecord(zip, "PK\x03\x04", 30, 26, name);
}

void ds_zip_put32(QByteArray *zip, qsizetype offset, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        (*zip)[offset + i] = char((value >> (8 * i)) & 0xFF);
}
