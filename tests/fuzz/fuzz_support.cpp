#include "fuzz_support.h"

#include "app/ds_register_model_classes.h"
#include "model/DSDataTable.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTextDataColumn.h"
#include "model/DSTimeDataColumn.h"
#include "model/ds_application_defaults.h"
#include "platform/store/DSManagedObjectModel.h"
#include "platform/store/DSObjectPool.h"

#include <QtEndian>

#include <zlib.h>

#include <cstring>

std::shared_ptr<const DSManagedObjectModel> ds_fuzz_model()
{
    static const auto loaded = [] {
        ds_register_application_defaults();
        ds_register_model_classes();
        return DSManagedObjectModel::modelNamed(QStringLiteral("DSDataModel006"));
    }();
    return loaded;
}

void ds_fuzz_read_back(DSObjectPool &pool, size_t maxTextBytes)
{
    for (DSManagedObject *object : pool.objectsOfEntity(QStringLiteral("DSDataTable"))) {
        auto *table = ds_object_cast<DSDataTable>(object);
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
                if (maxTextBytes && bytes > maxTextBytes)
                    __builtin_trap();
            }
            if (k > table->num_records())
                __builtin_trap();
        }
    }
}

namespace {

void put16(QByteArray *out, quint16 v)
{
    char b[2];
    qToLittleEndian(v, b);
    out->append(b, 2);
}

void put32(QByteArray *out, quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    out->append(b, 4);
}

// The fields a local header and a central record share, from the version
// needed to the extra field's length.
void putEntryFields(QByteArray *out, const QByteArray &name, const QByteArray &content)
{
    put16(out, 20);
    put16(out, 0);  // flags
    put16(out, 0);  // stored
    put32(out, 0);  // time and date
    put32(out, quint32(crc32(0, reinterpret_cast<const Bytef *>(content.constData()), uInt(content.size()))));
    put32(out, quint32(content.size()));
    put32(out, quint32(content.size()));
    put16(out, quint16(name.size()));
    put16(out, 0);
}

} // namespace

QByteArray ds_fuzz_stored_zip(const QList<QByteArray> &names, const QList<QByteArray> &contents)
{
    QByteArray zip, directory;
    for (qsizetype i = 0; i < names.size(); ++i) {
        const quint32 offset = quint32(zip.size());
        put32(&zip, 0x04034b50);
        putEntryFields(&zip, names[i], contents[i]);
        zip += names[i] + contents[i];
        put32(&directory, 0x02014b50);
        put16(&directory, 20);
        putEntryFields(&directory, names[i], contents[i]);
        put16(&directory, 0);  // comment length
        put16(&directory, 0);  // disk
        put16(&directory, 0);  // internal attributes
        put32(&directory, 0);  // external attributes
        put32(&directory, offset);
        directory += names[i];
    }
    const quint32 start = quint32(zip.size());
    zip += directory;
    put32(&zip, 0x06054b50);
    put32(&zip, 0);
    put16(&zip, quint16(names.size()));
    put16(&zip, quint16(names.size()));
    put32(&zip, quint32(directory.size()));
    put32(&zip, start);
    put16(&zip, 0);
    return zip;
}
