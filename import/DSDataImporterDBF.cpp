#include "import/DSDataImporterDBF.h"

#include "import/ds_boolean_column.h"
#include "import/ds_import_error.h"
#include "import/ds_insert_data_column.h"
#include "model/DSDataTable.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTextDataColumn.h"
#include "model/util/ds_parse.h"
#include "platform/store/DSObjectPool.h"

#include <QFile>
#include <QFileInfo>

#include <shapefil.h>

#include <cmath>
#include <memory>

namespace {

enum FieldKind { NumberField, LogicalField, DateField, TextField };

struct DBFCloser
{
    void operator()(DBFInfo *handle) const { DBFClose(handle); }
};
using DBFFile = std::unique_ptr<DBFInfo, DBFCloser>;

FieldKind fieldKind(DBFFieldType type)
{
    if (type == FTInteger || type == FTDouble)
        return NumberField;
    if (type == FTDate)
        return DateField;
    return type == FTLogical ? LogicalField : TextField;
}

// dBase writes an empty date as zeros or blanks; either is no date.
bool isEmptyDate(const char *field)
{
    for (; *field; ++field)
        if (*field != '0' && *field != ' ')
            return false;
    return true;
}

// Whether the header's fields lie inside its records, fill them exactly
// (the deletion flag and then each field), and the file holds every record
// the header counts, so no read goes past the data. A zeroed or overwritten
// field descriptor leaves its field with no length, so the fields no
// longer add up to the record and every later field would be misread.
bool layoutFits(const DBFInfo *handle, qint64 fileSize)
{
    qint64 fieldBytes = 1;
    for (int j = 0; j < handle->nFields; ++j) {
        if (handle->panFieldOffset[j] < 0 || handle->panFieldSize[j] < 0 ||
            handle->panFieldOffset[j] + handle->panFieldSize[j] > handle->nRecordLength)
            return false;
        fieldBytes += handle->panFieldSize[j];
    }
    return fieldBytes == handle->nRecordLength &&
           qint64(handle->nHeaderLength) + qint64(handle->nRecords) * handle->nRecordLength <= fileSize;
}

} // namespace

DSDataImporterDBF::DSDataImporterDBF(const QList<QUrl> &urls) : DSDataImporter(urls)
{
}

bool DSDataImporterDBF::parseIntoPool(DSObjectPool &pool, DSError *error)
{
    const qsizetype n = urls().size();
    for (qsizetype i = 0; i < n; ++i) {
        const QUrl &url = urls()[i];
        const QString path = url.toLocalFile();
        DBFFile dbf(DBFOpen(QFile::encodeName(path).constData(), "rb"));
        if (!dbf)
            return ds_fail_import(error, ds_import_file_error(QStringLiteral("Failed to open DBF file"), url));
        const int fieldCount = DBFGetFieldCount(dbf.get());
        const int recordCount = DBFGetRecordCount(dbf.get());
        if (fieldCount == -1)
            return ds_fail_import(
                error, ds_import_file_error(QStringLiteral("Failed to read field count in DBF file"), url));
        if (recordCount == -1)
            return ds_fail_import(
                error, ds_import_file_error(QStringLiteral("Failed to read record count in DBF file"), url));
        if (!layoutFits(dbf.get(), QFileInfo(path).size()))
            return ds_fail_import(
                error, ds_import_file_error(QStringLiteral("The DBF file is damaged or incomplete"), url));

        auto *table = pool.insertNewObject<DSDataTable>(QStringLiteral("DSDataTable"));
        if (!table)
            return ds_fail_import(
                error, ds_make_error(1, QStringLiteral("The document has no tables to import into.")));
        table->setName(QFileInfo(url.fileName()).completeBaseName());
        table->setNum_records(recordCount);

        QList<FieldKind> kinds;
        QList<DSDataColumn *> columns;
        for (int j = 0; j < fieldCount; ++j) {
            char name[XBASE_FLDNAME_LEN_READ + 1] = {};
            const FieldKind kind = fieldKind(DBFGetFieldInfo(dbf.get(), j, name, nullptr, nullptr));
            const auto [column, data] = ds_insert_data_column(
                pool, kind == TextField || kind == DateField ? DSDataColumnKind::Text : DSDataColumnKind::Numeric);
            if (column && kind == LogicalField)
                ds_make_boolean_column(column);
            if (!column)
                return ds_fail_import(
                    error,
                    ds_make_error(1, QStringLiteral("The document has no columns of this kind to import into.")));
            column->setName(QString::fromLatin1(name));
            column->setTable(table);
            column->setIndex(j);
            kinds.append(kind);
            columns.append(data);
        }

        bool appended = true;
        for (int r = 0; r < recordCount; ++r) {
            for (int j = 0; j < fieldCount; ++j) {
                const char *field = DBFReadStringAttribute(dbf.get(), r, j);
                if (!field || (kinds[j] == DateField && isEmptyDate(field)))
                    appended &= columns[j]->appendEmptyValue();
                else if (kinds[j] == TextField || kinds[j] == DateField)
                    appended &= static_cast<DSTextDataColumn *>(columns[j])
                                    ->appendTextValue(QString::fromLatin1(field).toUtf8().constData());
                else
                    appended &= static_cast<DSNumericDataColumn *>(columns[j])
                                    ->appendValue(kinds[j] == LogicalField ? ds_logical_value(field)
                                                                           : ds_parse_number(field, "$,"));
            }
            if (r % 100 == 0)
                setAsyncProgress((double(r) / recordCount + i) / n);
        }
        if (!appended) {
            for (DSDataColumn *column : columns)
                column->teardown();
            return ds_fail_import(error, ds_make_error(1, QStringLiteral("Out of memory")));
        }
        if (!DSDataColumn::saveAfterImport(columns))
            return ds_fail_import(error, ds_make_error(1, QStringLiteral("Out of memory")));
        setAsyncProgress(double(i + 1) / n);
    }
    return true;
}
