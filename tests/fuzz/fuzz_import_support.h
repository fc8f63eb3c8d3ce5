#pragma once

// What the importers' fuzz targets share: the entity model, and reading
// back every table a parse made, so that saving and decoding its columns
// run on what the parse stored.

#include "app/ds_register_model_classes.h"
#include "model/DSDataImporter.h"
#include "model/DSDataTable.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTextDataColumn.h"
#include "model/DSTimeDataColumn.h"
#include "model/ds_application_defaults.h"
#include "platform/store/DSManagedObjectModel.h"
#include "platform/store/DSObjectPool.h"

#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

inline std::shared_ptr<const DSManagedObjectModel> ds_fuzz_model()
{
    static const auto loaded = [] {
        ds_register_application_defaults();
        ds_register_model_classes();
        return DSManagedObjectModel::modelNamed(QStringLiteral("DSDataModel006"));
    }();
    return loaded;
}

// Reads every column of the table back; traps when a column holds more rows
// than its table or, with a text limit, more text bytes than the limit.
inline void ds_fuzz_read_back(DSDataTable *table, size_t textByteLimit = 0)
{
    for (DSColumn *column : table->sortedColumns()) {
        qint64 k = 0;
        if (auto *numeric = ds_object_cast<DSNumericDataColumn>(column)) {
            const double *values = nullptr;
            k = numeric->getValues(&values);
        } else if (auto *time = ds_object_cast<DSTimeDataColumn>(column)) {
            const double *values = nullptr, *intervals = nullptr;
            k = time->getTimeValues(&values, &intervals);
        } else if (auto *text = ds_object_cast<DSTextDataColumn>(column)) {
            const char *const *texts = nullptr;
            k = text->getTextValues(&texts);
            size_t bytes = 0;
            for (qint64 i = 0; i < k; ++i)
                bytes += std::strlen(texts[i] ? texts[i] : "");
            if (textByteLimit && bytes > textByteLimit)
                __builtin_trap();
        }
        if (k > table->num_records())
            __builtin_trap();
    }
}

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
        for (DSManagedObject *object : pool.objectsOfEntity(QStringLiteral("DSDataTable")))
            ds_fuzz_read_back(ds_object_cast<DSDataTable>(object));
    return 0;
}
