#pragma once

// What the importer fuzz targets share: the entity model, and reading back
// every table an import made, so that storing and decoding its columns run
// on what the parse appended.
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

#include <cstdint>
#include <cstring>
#include <memory>

inline std::shared_ptr<const DSManagedObjectModel> fuzz_model()
{
    static const auto loaded = [] {
        ds_register_application_defaults();
        ds_register_model_classes();
        return DSManagedObjectModel::modelNamed(QStringLiteral("DSDataModel006"));
    }();
    return loaded;
}

// Decodes every column of the table; traps when a column holds more rows
// than its table or more text than `max_text_bytes`.
inline void fuzz_read_back(DSDataTable *table, size_t max_text_bytes)
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
            if (bytes > max_text_bytes)
                __builtin_trap();
        }
        if (k > table->num_records())
            __builtin_trap();
    }
}

// Writes the bytes as the named file of a folder of this process and
// answers its URL (empty when it cannot be written).
inline QUrl fuzz_write_file(const QString &name, const QByteArray &bytes)
{
    static QTemporaryDir dir;
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return {};
    return QUrl::fromLocalFile(file.fileName());
}

// Runs the importer into a new pool and reads back every table it made.
inline void fuzz_import_and_read_back(DSDataImporter &importer, size_t max_text_bytes)
{
    DSObjectPool pool(fuzz_model());
    DSError error;
    if (importer.parseIntoPool(pool, &error))
        for (DSManagedObject *table : pool.objectsOfEntity(QStringLiteral("DSDataTable")))
            fuzz_read_back(ds_object_cast<DSDataTable>(table), max_text_bytes);
}
