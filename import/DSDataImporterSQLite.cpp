#include "import/DSDataImporterSQLite.h"

#include "model/util/ds_sql_text.h"
#include "import/DSColumnSlots.h"
#include "import/ds_import_error.h"
#include "import/ds_insert_data_column.h"
#include "import/ds_text_decoding.h"
#include "model/DSDataTable.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTextDataColumn.h"
#include "model/DSTimeDataColumn.h"
#include "model/util/ds_parse.h"
#include "platform/store/DSObjectPool.h"

#include <QFileInfo>

#include <sqlite3.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct TableListContext
{
    QStringList names;
    const DSDataImporter *importer = nullptr;
};

// Collects the "name" column of each row of the table list; stops (SQLite
// then answers SQLITE_ABORT) once the import is aborted.
int ds_sqlite_table_name_callback(void *data, int count, char **values, char **names)
{
    auto *context = static_cast<TableListContext *>(data);
    if (context->importer->asyncAbort())
        return 1;
    for (int c = 0; c < count; ++c)
        if (names[c] && std::strcmp(names[c], "name") == 0)
            context->names.append(QString::fromUtf8(values[c] ? values[c] : ""));
    return 0;
}

// Reads the one value of a COUNT(*) row; a row of another shape stops the
// statement.
int ds_sqlite_count_callback(void *data, int count, char **values, char **)
{
    if (count != 1)
        return 1;
    *static_cast<qint64 *>(data) = values[0] ? std::strtoll(values[0], nullptr, 10) : 0;
    return 0;
}

// The statement's text cell as UTF-8: the bytes themselves when valid,
// else their Windows-1252 reading, else the empty text. The pointer lives
// until the next cell or *decoded changes.
const char *cellText(sqlite3_stmt *statement, int c, std::string *decoded)
{
    const char *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, c));
    if (!text)
        return "";
    const size_t length = std::strlen(text);
    if (ds_is_valid_utf8(text, length))
        return text;
    return ds_decode_text(text, length, decoded) ? decoded->c_str() : "";
}

// Collects the answer rows of PRAGMA quick_check; an intact file answers
// the single row "ok".
int ds_sqlite_check_callback(void *data, int count, char **values, char **)
{
    static_cast<QStringList *>(data)->append(QString::fromUtf8(count > 0 && values[0] ? values[0] : ""));
    return 0;
}

// Interrupts the check of a large file once the import is aborted.
int ds_sqlite_abort_handler(void *data)
{
    return static_cast<const DSDataImporter *>(data)->asyncAbort() ? 1 : 0;
}

// Whether SQLite's own consistency check finds a database file damaged. A
// file cut short or overwritten otherwise reads as tables with rows
// missing, or rows whose columns are gone, without any statement failing.
// A file that is no database at all is not called damaged: the table list
// then fails and says so.
// An aborted import interrupts the check; the caller looks at the abort
// flag before the answer.
bool isDamaged(sqlite3 *db, const DSDataImporter *importer)
{
    QStringList answers;
    char *message = nullptr;
    sqlite3_progress_handler(db, 10000, ds_sqlite_abort_handler, const_cast<DSDataImporter *>(importer));
    const int checked = sqlite3_exec(db, "PRAGMA quick_check", ds_sqlite_check_callback, &answers, &message);
    sqlite3_progress_handler(db, 0, nullptr, nullptr);
    sqlite3_free(message);
    if (checked == SQLITE_NOTADB)
        return false;
    return checked != SQLITE_OK || answers != QStringList{QStringLiteral("ok")};
}

// A cell of a numeric column as a number. SQLite converts a text or a blob
// that is not a number to 0, which would pass for data: such a cell is
// missing, and a text that is a number (stored in a column without numeric
// affinity) is read as one.
double numberOfCell(sqlite3_stmt *statement, int c)
{
    const int type = sqlite3_column_type(statement, c);
    if (type == SQLITE_INTEGER || type == SQLITE_FLOAT)
        return sqlite3_column_double(statement, c);
    if (type != SQLITE_TEXT)
        return NAN;
    const char *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, c));
    return text ? ds_parse_number(text, "") : double(NAN);
}

} // namespace

struct DSDataImporterSQLite::TableRead
{
    QUrl url;
    QString name;
    DSObjectPool *pool = nullptr;
    DSDataTable *table = nullptr;
    DSColumnSlots slots;
    qint64 records = 0;
    // The progress a table's rows move through.
    double progressStart = 0;
    double progressEnd = 1;
    qint64 total = 0;
    std::string decoded;

    // Makes the table and the counting slots of the first row.
    void begin(sqlite3_stmt *statement);
    // Applies cell c of the current row to its slot. False when memory or
    // the document's entities ran out.
    bool applyCell(sqlite3_stmt *statement, int c);
    // Releases the columns' buffers after a failure or an abort.
    void discard();
};

void DSDataImporterSQLite::TableRead::begin(sqlite3_stmt *statement)
{
    QStringList names;
    const int count = sqlite3_column_count(statement);
    for (int c = 0; c < count; ++c)
        names.append(QString::fromUtf8(sqlite3_column_name(statement, c)));
    slots.reset(names);
    table = pool->insertNewObject<DSDataTable>(QStringLiteral("DSDataTable"));
    if (table)
        table->setName(name);
}

bool DSDataImporterSQLite::TableRead::applyCell(sqlite3_stmt *statement, int c)
{
    DSColumnSlots::Slot &slot = *slots.slotAt(c);
    const int type = sqlite3_column_type(statement, c);
    if (!slot.column) {
        if (type == SQLITE_BLOB || type == SQLITE_NULL)
            return DSColumnSlots::addEmptyCell(slot);
        DSDataColumnKind kind = DSDataColumnKind::Numeric;
        if (type == SQLITE_TEXT && !std::isnan(ds_parse_date(cellText(statement, c, &decoded), nullptr)))
            kind = DSDataColumnKind::Time;
        else if (type == SQLITE_TEXT)
            kind = DSDataColumnKind::Text;
        const DSNewDataColumn made = ds_insert_data_column(*pool, kind);
        if (!made.column || !slots.place(c, made.column, made.data, int(kind), table))
            return false;
    }
    if (type == SQLITE_NULL)
        return slot.data->appendEmptyValue();
    if (slot.kind == int(DSDataColumnKind::Numeric))
        return static_cast<DSNumericDataColumn *>(slot.column)->appendValue(numberOfCell(statement, c));
    if (slot.kind == int(DSDataColumnKind::Time)) {
        double interval = 0;
        const double t = ds_parse_date(cellText(statement, c, &decoded), &interval);
        return static_cast<DSTimeDataColumn *>(slot.column)->appendTimeValue(t, interval);
    }
    return static_cast<DSTextDataColumn *>(slot.column)->appendTextValue(cellText(statement, c, &decoded));
}

void DSDataImporterSQLite::TableRead::discard()
{
    for (qsizetype i = 0; i < slots.size(); ++i)
        if (DSDataColumn *column = slots.slotAt(i)->data)
            column->teardown();
    slots.reset({});
    table = nullptr;
}

DSDataImporterSQLite::DSDataImporterSQLite(const QList<QUrl> &urls) : DSDataImporter(urls)
{
}

bool DSDataImporterSQLite::readTable(sqlite3 *db, TableRead *read, std::optional<DSError> *error)
{
    const QString quoted = ds_sqlite_quote_identifier(read->name);
    const QByteArray count = QStringLiteral("SELECT COUNT(*) FROM %1").arg(quoted).toUtf8();
    char *message = nullptr;
    const int counted = sqlite3_exec(db, count.constData(), ds_sqlite_count_callback, &read->total, &message);
    sqlite3_free(message);
    if (counted != SQLITE_OK) {
        *error = ds_import_file_error(QStringLiteral("Error counting rows"), read->url);
        return false;
    }
    const QByteArray select = QStringLiteral("SELECT * FROM %1").arg(quoted).toUtf8();
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(db, select.constData(), -1, &statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement);
        *error = ds_import_file_error(QStringLiteral("Error preparing SQLite statement"), read->url);
        return false;
    }
    bool ok = !asyncAbort();
    for (int step = ok ? sqlite3_step(statement) : SQLITE_DONE; ok && step != SQLITE_DONE;
         step = sqlite3_step(statement)) {
        if (step != SQLITE_ROW) {
            *error = ds_import_file_error(QStringLiteral("Error executing SQL select statement"), read->url);
            ok = false;
            break;
        }
        if (read->records == 0) {
            read->begin(statement);
            if (!read->table) {
                *error = ds_make_error(1, QStringLiteral("The document has no tables to import into."));
                ok = false;
                break;
            }
        }
        for (int c = 0; ok && c < read->slots.size(); ++c)
            if (!read->applyCell(statement, c)) {
                *error = ds_make_error(1, QStringLiteral("Out of memory"));
                ok = false;
            }
        ++read->records;
        if (read->records % 100 == 0) {
            const double share = double(read->records) / double(std::max(read->total, read->records));
            setAsyncProgress(read->progressStart + share * (read->progressEnd - read->progressStart));
        }
        if (asyncAbort())
            ok = false;
    }
    sqlite3_finalize(statement);
    if (!ok) {
        read->discard();
        return false;
    }
    if (read->table) {
        read->table->setNum_records(read->records);
        if (!read->slots.finish()) {
            *error = ds_make_error(1, QStringLiteral("Out of memory"));
            return false;
        }
    }
    return true;
}

bool DSDataImporterSQLite::parseDatabase(sqlite3 *db, qsizetype i, qsizetype n, DSObjectPool &pool,
                                         std::optional<DSError> *error)
{
    const QUrl &url = urls()[i];
    TableListContext list;
    list.importer = this;
    char *message = nullptr;
    const int listed = sqlite3_exec(db, "SELECT name FROM sqlite_master WHERE type='table' ORDER BY name",
                                    ds_sqlite_table_name_callback, &list, &message);
    sqlite3_free(message);
    if (listed == SQLITE_ABORT)
        return false;
    if (listed != SQLITE_OK) {
        *error = ds_import_file_error(QStringLiteral("Error reading table list from SQLite file"), url);
        return false;
    }
    const qsizetype tableCount = list.names.size();
    for (qsizetype j = 0; j < tableCount; ++j) {
        TableRead read;
        read.url = url;
        read.name = list.names[j];
        read.pool = &pool;
        read.progressStart = (double(j) / tableCount + i) / n;
        read.progressEnd = (double(j + 1) / tableCount + i) / n;
        if (!readTable(db, &read, error))
            return false;
        setAsyncProgress(read.progressEnd);
    }
    return true;
}

bool DSDataImporterSQLite::parseIntoPool(DSObjectPool &pool, DSError *error)
{
    const qsizetype n = urls().size();
    for (qsizetype i = 0; i < n; ++i) {
        if (asyncAbort())
            return false;
        const QUrl &url = urls()[i];
        std::optional<DSError> failure;
        sqlite3 *db = nullptr;
        const QByteArray path = url.toLocalFile().toUtf8();
        bool parsed = false;
        // SQLite takes an empty file for an empty database; no program
        // writes one, so it is a file that lost its contents.
        if (QFileInfo(url.toLocalFile()).size() == 0 ||
            sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
            failure = ds_import_file_error(QStringLiteral("Error opening the SQLite file"), url);
        else if (isDamaged(db, this) && !asyncAbort())
            failure = ds_import_file_error(QStringLiteral("The SQLite file is damaged or incomplete"), url);
        else if (!asyncAbort())
            parsed = parseDatabase(db, i, n, pool, &failure);
        sqlite3_close(db);
        if (!parsed) {
            if (error && failure)
                *error = *failure;
            return false;
        }
    }
    return true;
}
