#include "import/DSDataImporterMDB.h"

#include "import/ds_boolean_column.h"
#include "import/ds_import_error.h"
#include "import/ds_insert_data_column.h"
#include "import/ds_text_decoding.h"
#include "model/DSDataTable.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTextDataColumn.h"
#include "model/DSTimeDataColumn.h"
#include "model/ds_time_units.h"
#include "platform/store/DSObjectPool.h"

#include <QFile>
#include <QFileInfo>

#include <mdbtools.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Catalog flags of the system tables.
constexpr unsigned k_systemTableFlags = 0x80000002u;

enum ColumnKind { SkippedColumn, BooleanColumn, NumberColumn, TimeColumn, TextColumn };

ColumnKind kindOfType(int type)
{
    switch (type) {
    case MDB_BOOL:
        return BooleanColumn;
    case MDB_BYTE: case MDB_INT: case MDB_LONGINT: case MDB_MONEY: case MDB_FLOAT: case MDB_DOUBLE:
    case MDB_NUMERIC:
        return NumberColumn;
    case MDB_DATETIME:
        return TimeColumn;
    case MDB_TEXT: case MDB_MEMO:
        return TextColumn;
    default:
        return SkippedColumn;
    }
}

struct MdbCloser
{
    void operator()(MdbHandle *mdb) const { mdb_close(mdb); }
};
struct TableDefFree
{
    void operator()(MdbTableDef *table) const { mdb_free_tabledef(table); }
};

// Whether mdbtools can walk the definition's pages: it reads the first byte
// of the page usage map without looking whether there is one.
bool usageMapIsSound(const MdbTableDef *definition)
{
    return definition->usage_map && definition->map_sz >= 1;
}

// Reads the catalog's own definition (always on page 2) first, as the
// catalog read would, and answers whether its page map can be walked.
bool catalogIsSound(MdbHandle *mdb)
{
    MdbCatalogEntry catalog{};
    catalog.mdb = mdb;
    catalog.object_type = MDB_TABLE;
    catalog.table_pg = 2;
    std::unique_ptr<MdbTableDef, TableDefFree> definition(mdb_read_table(&catalog));
    return definition && usageMapIsSound(definition.get());
}

bool isSystemTable(const MdbCatalogEntry *entry)
{
    return (unsigned(entry->flags) & k_systemTableFlags) != 0;
}

// One table's bound buffers and the columns made from its first row.
struct TableRead
{
    MdbTableDef *definition = nullptr;
    std::vector<std::vector<char>> buffers;
    std::vector<int> lengths;
    // Per imported column: its position in the definition, kind and column.
    struct Imported
    {
        int position;
        ColumnKind kind;
        DSColumn *column;
        DSDataColumn *data;
    };
    std::vector<Imported> columns;
    std::string decoded;

    void bind()
    {
        const int count = int(definition->num_cols);
        buffers.assign(size_t(count), std::vector<char>(MDB_BIND_SIZE, 0));
        lengths.assign(size_t(count), 0);
        for (int k = 0; k < count; ++k)
            mdb_bind_column(definition, k + 1, buffers[size_t(k)].data(), &lengths[size_t(k)]);
    }
    // The columns of every importable field; false when the pool has no
    // entity for one.
    bool makeColumns(DSObjectPool &pool)
    {
        for (unsigned k = 0; k < definition->num_cols; ++k) {
            auto *field = static_cast<MdbColumn *>(g_ptr_array_index(definition->columns, k));
            const ColumnKind kind = kindOfType(field->col_type);
            if (kind == SkippedColumn)
                continue;
            const auto [column, data] = ds_insert_data_column(
                pool, kind == TimeColumn   ? DSDataColumnKind::Time
                      : kind == TextColumn ? DSDataColumnKind::Text
                                           : DSDataColumnKind::Numeric);
            if (column && kind == BooleanColumn)
                ds_make_boolean_column(column);
            if (!column)
                return false;
            column->setName(QString::fromUtf8(field->name));
            columns.push_back({int(k), kind, column, data});
        }
        return true;
    }
    // Appends the fetched row; false when memory ran out.
    bool appendRow()
    {
        bool ok = true;
        for (const Imported &c : columns) {
            std::vector<char> &buffer = buffers[size_t(c.position)];
            buffer.back() = '\0';
            const char *value = buffer.data();
            if (c.kind == TextColumn) {
                const size_t length = std::strlen(value);
                const char *text = ds_is_valid_utf8(value, length)             ? value
                                   : ds_decode_text(value, length, &decoded) ? decoded.c_str()
                                                                              : "";
                ok &= static_cast<DSTextDataColumn *>(c.column)->appendTextValue(text);
            } else if (c.kind == TimeColumn) {
                double interval = 0;
                const double t = DSDataImporterMDB::timeFromBoundText(value, &interval);
                ok &= static_cast<DSTimeDataColumn *>(c.column)->appendTimeValue(t, interval);
            } else {
                const double x = *value ? std::strtod(value, nullptr) : NAN;
                ok &= static_cast<DSNumericDataColumn *>(c.column)->appendValue(x);
            }
        }
        return ok;
    }
    void discard()
    {
        for (const Imported &c : columns)
            c.data->teardown();
        columns.clear();
    }
};

} // namespace

DSDataImporterMDB::DSDataImporterMDB(const QList<QUrl> &urls) : DSDataImporter(urls)
{
}

double DSDataImporterMDB::timeFromBoundText(const char *text, double *interval)
{
    int year = 0;
    signed char month = 0, day = 0, hour = 0, minute = 0;
    double second = 0;
    if (std::sscanf(text, "%d-%hhd-%hhd %hhd:%hhd:%lf", &year, &month, &day, &hour, &minute, &second) != 6) {
        *interval = 86400;
        return NAN;
    }
    *interval = 1;
    const ds_gmt_date_s date{year, month, day, hour, minute, second};
    return ds_time_floor(ds_time_unit_second, nullptr, ds_gmt_absolute_time(date));
}

bool DSDataImporterMDB::parseIntoPool(DSObjectPool &pool, DSError *error)
{
    const qsizetype n = urls().size();
    for (qsizetype i = 0; i < n; ++i) {
        if (asyncAbort())
            return false;
        const QUrl &url = urls()[i];
        std::unique_ptr<MdbHandle, MdbCloser> mdb(
            mdb_open(QFile::encodeName(url.toLocalFile()).constData(), MDB_NOFLAGS));
        if (!mdb)
            return ds_fail_import(error, ds_import_file_error(QStringLiteral("Error opening the file"), url));
        mdb_set_date_fmt(mdb.get(), "%F %T");
        mdb_set_boolean_fmt_numbers(mdb.get());
        // mdbtools zero-fills a page cut short; a file of whole pages at
        // least holds every page it has.
        if (QFileInfo(url.toLocalFile()).size() % mdb->fmt->pg_size != 0)
            return ds_fail_import(
                error, ds_import_file_error(QStringLiteral("The Access file is damaged or incomplete"), url));
        // The catalog lists at least its own table: an empty one was not read.
        GPtrArray *catalog = catalogIsSound(mdb.get()) ? mdb_read_catalog(mdb.get(), MDB_TABLE) : nullptr;
        if (!catalog || catalog->len == 0)
            return ds_fail_import(
                error, ds_import_file_error(QStringLiteral("File does not appear to be an Access database"), url));

        qint64 userTables = 0;
        for (guint e = 0; e < catalog->len; ++e)
            if (!isSystemTable(static_cast<MdbCatalogEntry *>(g_ptr_array_index(catalog, e))))
                ++userTables;
        qint64 tablesDone = 0;
        for (guint e = 0; e < catalog->len; ++e) {
            if (asyncAbort())
                return false;
            auto *entry = static_cast<MdbCatalogEntry *>(g_ptr_array_index(catalog, e));
            if (isSystemTable(entry))
                continue;
            std::unique_ptr<MdbTableDef, TableDefFree> definition(mdb_read_table(entry));
            if (!definition || !usageMapIsSound(definition.get()) || !mdb_read_columns(definition.get()))
                return ds_fail_import(error, ds_import_file_error(QStringLiteral("Error reading from table"), url));
            mdb_rewind_table(definition.get());
            TableRead read;
            read.definition = definition.get();
            read.bind();
            const double rowCount = std::max(1.0, double(definition->num_rows));
            qint64 records = 0;
            bool nothingImported = false;
            while (mdb_fetch_row(definition.get())) {
                if (asyncAbort()) {
                    read.discard();
                    return false;
                }
                if (records == 0) {
                    if (!read.makeColumns(pool)) {
                        read.discard();
                        return ds_fail_import(
                            error,
                            ds_make_error(1, QStringLiteral("The document has no columns of this kind to import into.")));
                    }
                    nothingImported = read.columns.empty();
                    if (nothingImported)
                        break;
                }
                if (!read.appendRow()) {
                    read.discard();
                    return ds_fail_import(error, ds_make_error(1, QStringLiteral("Out of memory")));
                }
                ++records;
                if (records % 100 == 0)
                    setAsyncProgress(((records / rowCount + tablesDone) / userTables + i) / n);
            }
            // A page that cannot be read ends the rows early and silently.
            if (!nothingImported && records < qint64(definition->num_rows)) {
                read.discard();
                return ds_fail_import(error, ds_import_file_error(QStringLiteral("Error reading from table"), url));
            }
            if (!read.columns.empty()) {
                auto *table = pool.insertNewObject<DSDataTable>(QStringLiteral("DSDataTable"));
                if (!table) {
                    read.discard();
                    return ds_fail_import(
                        error, ds_make_error(1, QStringLiteral("The document has no tables to import into.")));
                }
                table->setName(QString::fromUtf8(entry->object_name));
                table->setNum_records(records);
                QList<DSDataColumn *> columns;
                for (const TableRead::Imported &c : read.columns) {
                    c.column->setTable(table);
                    columns.append(c.data);
                }
                if (!DSDataColumn::saveAfterImport(columns))
                    return ds_fail_import(error, ds_make_error(1, QStringLiteral("Out of memory")));
                qint64 index = 0;
                for (const TableRead::Imported &c : read.columns)
                    c.column->setIndex(index++);
            }
            ++tablesDone;
            setAsyncProgress((double(tablesDone) / userTables + i) / n);
        }
    }
    return true;
}
