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

// Writes the bytes as a file of the name in a scratch folder, parses it with
// a new importer of the class, and reads back every table made.
template <class Importer>
int ds_fuzz_file_importer(const uint8_t *data, size_t size, const char *fileName)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QString::fromLatin1(fileName));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    file.write(reinterpret_cast<const char *>(data), qint64(size));
    file.close();
    DSObjectPool pool(ds_fuzz_model());
    Importer importer({QUrl::fromLocalFile(path)});
    DSError error;
    if (importer.parseIntoPool(pool, &error))
        ds_fuzz_read_back(pool, 0);
    return 0;
}
