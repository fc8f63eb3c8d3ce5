#pragma once

// What the file importers' fuzz targets share: a parse of the bytes as a
// file, read back through fuzz_support.

#include "fuzz_support.h"

#include "model/DSDataImporter.h"
#include "platform/store/DSObjectPool.h"

#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include <cstddef>
#include <cstdint>
#include <memory>

// Writes the bytes as the named file of a scratch folder and answers its
// URL (empty when it cannot be written), for importers that need setting up.
inline QUrl ds_fuzz_write_file(const QString &name, const QByteArray &bytes)
{
    static QTemporaryDir dir;
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return {};
    return QUrl::fromLocalFile(file.fileName());
}

// Runs the importer into a new pool and reads back every table it made.
inline void ds_fuzz_import_and_read_back(DSDataImporter &importer, size_t textByteLimit = 0)
{
    DSObjectPool pool(ds_fuzz_model());
    DSError error;
    if (importer.parseIntoPool(pool, &error))
        ds_fuzz_read_back(pool, textByteLimit);
}

// Writes the bytes as a file of the name in a scratch folder, parses it with
// a new importer of the class, and reads back every table made.
template <class Importer>
int ds_fuzz_file_importer(const uint8_t *data, size_t size, const char *fileName)
{
    const QUrl url = ds_fuzz_write_file(QString::fromLatin1(fileName),
                                        QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (url.isEmpty())
        return 0;
    Importer importer({url});
    ds_fuzz_import_and_read_back(importer);
    return 0;
}
