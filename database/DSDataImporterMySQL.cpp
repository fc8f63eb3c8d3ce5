#include "database/DSDataImporterMySQL.h"

#include "database/DSDatabaseSQLQuery.h"
#include "database/ds_database_timeout.h"
#include "model/util/ds_sql_text.h"
#include "database/ds_sql_values.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTextDataColumn.h"
#include "model/DSTimeDataColumn.h"

#include <mysql.h>

#include <sys/socket.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// How one result field is read.
enum class Read { None, Number, Bit, Year, Time, Text };

struct Buffer
{
    Read read = Read::None;
    int timeType = 1; // of a Time read, from the field's type (ds_mysql_time_s)
    std::vector<char> bytes;
    unsigned long length = 0;
    my_bool isNull = 0;
    my_bool error = 0;
};

QString clientError(MYSQL *connection)
{
    return QString::fromUtf8(mysql_error(connection));
}

// What went wrong with a statement: its own error, else its connection's
// (a server gone away is the connection's), never an empty text.
QString statementError(MYSQL_STMT *stmt, MYSQL *connection)
{
    QString text = QString::fromUtf8(mysql_stmt_error(stmt));
    if (text.isEmpty())
        text = clientError(connection);
    if (text.isEmpty())
        text = QStringLiteral("Lost connection to server during query");
    return text;
}

} // namespace

// Stops the server's work when the import is aborted while the client
// library waits inside a call: a KILL QUERY sent on a connection of its
// own ends the running statement, so the waiting call returns with an
// error at once. A server that cannot take the KILL (frozen) has the
// import's socket shut down instead, half a second later.
class DSDataImporterMySQL::StopWatch
{
public:
    StopWatch(const DSDataImporterMySQL &importer, MYSQL *connection, const QUrl &url)
        : m_importer(importer), m_url(url), m_threadId(mysql_thread_id(connection)),
          m_socket(int(mysql_get_socket(connection))), m_thread([this] { run(); })
    {
    }
    ~StopWatch()
    {
        {
            std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }

private:
    void run()
    {
        std::unique_lock lock(m_mutex);
        while (!m_done && !m_importer.asyncAbort())
            m_changed.wait_for(lock, std::chrono::milliseconds(50));
        if (m_done)
            return;
        // The KILL runs on a thread of its own: against a frozen server it
        // would wait for its own timeouts.
        std::thread([url = m_url, id = m_threadId] {
            unsigned number = 0;
            QString text;
            if (MYSQL *killer = openConnection(url, false, &number, &text, 2)) {
                mysql_query(killer, QByteArray("KILL QUERY " + QByteArray::number(qulonglong(id))).constData());
                mysql_close(killer);
            }
        }).detach();
        if (!m_changed.wait_for(lock, std::chrono::milliseconds(500), [this] { return m_done; }))
            ::shutdown(m_socket, SHUT_RDWR);
    }

    const DSDataImporterMySQL &m_importer;
    const QUrl m_url;
    const unsigned long m_threadId;
    const int m_socket;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_done = false;
    std::thread m_thread;
};

// One prepared statement with its bound buffers; closes and frees on
// destruction.
struct DSDataImporterMySQL::Statement
{
    MYSQL_STMT *stmt = nullptr;
    MYSQL_RES *metadata = nullptr;
    std::vector<Buffer> buffers;
    std::vector<MYSQL_BIND> binds;

    ~Statement()
    {
        if (metadata)
            mysql_free_result(metadata);
        if (stmt)
            mysql_stmt_close(stmt);
    }
};

MYSQL *DSDataImporterMySQL::openConnection(const QUrl &url, bool withDatabase, unsigned *errorNumber,
                                           QString *errorText, int timeoutSeconds)
{
    MYSQL *connection = mysql_init(nullptr);
    if (!connection) {
        *errorNumber = 2008;
        *errorText = QStringLiteral("MySQL client ran out of memory");
        return nullptr;
    }
    // Reads and writes have the connect timeout too: a server that stops
    // answering ends the wait with an error instead of holding it.
    const unsigned timeout = unsigned(timeoutSeconds > 0 ? timeoutSeconds : ds_database_connect_timeout().load());
    mysql_options(connection, MYSQL_OPT_CONNECT_TIMEOUT, &timeout);
    mysql_options(connection, MYSQL_OPT_READ_TIMEOUT, &timeout);
    mysql_options(connection, MYSQL_OPT_WRITE_TIMEOUT, &timeout);
    mysql_options(connection, MYSQL_SET_CHARSET_NAME, "utf8mb4");
    const unsigned protocol = MYSQL_PROTOCOL_TCP;
    mysql_options(connection, MYSQL_OPT_PROTOCOL, &protocol);
    QString host = url.host();
    if (host == QStringLiteral("localhost"))
        host = QStringLiteral("127.0.0.1");
    const QString path = url.path();
    const std::string database = path.mid(path.lastIndexOf(u'/') + 1).toStdString();
    const bool chooseDatabase = withDatabase && path != QStringLiteral("/") && !database.empty();
    if (!mysql_real_connect(connection, host.toUtf8().constData(), url.userName().toUtf8().constData(),
                            url.password().toUtf8().constData(), chooseDatabase ? database.c_str() : nullptr,
                            unsigned(url.port(3306)), nullptr, CLIENT_FOUND_ROWS)) {
        *errorNumber = mysql_errno(connection);
        *errorText = clientError(connection);
        mysql_close(connection);
        return nullptr;
    }
    return connection;
}

MYSQL *DSDataImporterMySQL::connectionForURL(const QUrl &url, DSError *error)
{
    unsigned number = 0;
    QString text;
    MYSQL *connection = openConnection(url, true, &number, &text);
    if (connection && mysql_query(connection, "SET time_zone = '+00:00'") != 0) {
        text = clientError(connection);
        mysql_close(connection);
        connection = nullptr;
    }
    if (!connection) {
        if (error)
            *error = ds_make_error(1, QStringLiteral("Error connecting to database: %1").arg(text));
        return nullptr;
    }
    const std::optional<QStringList> mode = executeQuery(QStringLiteral("SELECT @@SESSION.sql_mode"), connection,
                                                         nullptr);
    m_backslashEscapes = !(mode && !mode->isEmpty() && mode->first().contains(QStringLiteral("NO_BACKSLASH_ESCAPES")));
    return connection;
}

std::optional<QStringList> DSDataImporterMySQL::executeQuery(const QString &sql, MYSQL *connection, DSError *error)
{
    MYSQL_RES *result = nullptr;
    if (mysql_query(connection, sql.toUtf8().constData()) != 0 || !(result = mysql_store_result(connection))) {
        if (error)
            *error = ds_make_error(1, QStringLiteral("Error executing %1: %2").arg(sql, clientError(connection)));
        return std::nullopt;
    }
    QStringList rows;
    while (MYSQL_ROW row = mysql_fetch_row(result)) {
        const unsigned long *lengths = mysql_fetch_lengths(result);
        rows.append(row[0] ? QString::fromUtf8(row[0], qsizetype(lengths[0])) : QString());
    }
    mysql_free_result(result);
    return rows;
}

qint64 DSDataImporterMySQL::executeCount(const QString &sql, MYSQL *connection, DSError *error)
{
    return countFromRows(executeQuery(sql, connection, error), error);
}

int DSDataImporterMySQL::errorCodeForErrorNumber(unsigned errorNumber)
{
    switch (errorNumber) {
    case 1054: return 3;
    case 1064: return 5;
    case 1065: return 4;
    case 1146: return 2;
    default: return 6;
    }
}

bool DSDataImporterMySQL::validateURL(const QUrl &url, const DSDatabaseQuery &query, DSError *error)
{
    if (!dynamic_cast<const DSDatabaseSQLQuery *>(&query))
        return true;
    MYSQL *connection = connectionForURL(url, nullptr);
    if (!connection) {
        if (error)
            *error = ds_make_error(1, stringForErrorCode(1));
        return false;
    }
    MYSQL_STMT *stmt = mysql_stmt_init(connection);
    const QByteArray text = queryStringForQuery(query).toUtf8();
    const bool ok = stmt && mysql_stmt_prepare(stmt, text.constData(), (unsigned long)text.size()) == 0;
    if (!ok) {
        const unsigned number = stmt ? mysql_stmt_errno(stmt) : mysql_errno(connection);
        const int code = errorCodeForErrorNumber(number);
        if (code == 6)
            qWarning("Error preparing MySQL statement: %s", stmt ? mysql_stmt_error(stmt) : mysql_error(connection));
        if (error)
            *error = ds_make_error(code, stringForErrorCode(code));
    }
    if (stmt)
        mysql_stmt_close(stmt);
    mysql_close(connection);
    return ok;
}

bool DSDataImporterMySQL::importURL(const QUrl &url, const QList<DSDatabaseQueryPtr> &queries, DSObjectPool &pool,
                                    DSError *error)
{
    MYSQL *connection = connectionForURL(url, error);
    if (!connection)
        return false;
    bool ok;
    {
        StopWatch stopWatch(*this, connection, url);
        ok = countQueries(
            queries,
            [this, connection](const QString &sql, DSError *e) {
                const qint64 n = executeCount(sql, connection, e);
                // A count the Stop killed is no failure to show.
                if (n < 0 && asyncAbort() && e)
                    *e = DSError();
                return n;
            },
            error);
        for (qsizetype i = 0; ok && i < queries.size(); ++i)
            ok = importQuery(connection, *queries[i], pool, error);
    }
    mysql_close(connection);
    if (ok)
        setAsyncProgress(1);
    return ok;
}

namespace {

// The buffer of a field and the column an import makes for it (-1: the
// field is not read).
int prepareBuffer(const MYSQL_FIELD &field, Buffer *buffer, MYSQL_BIND *bind)
{
    const int type = int(field.type);
    int kind = -1;
    enum_field_types bufferType = MYSQL_TYPE_NULL;
    size_t size = 0;
    if (type == MYSQL_TYPE_BIT) {
        // BIT arrives as its raw bytes, most significant first.
        buffer->read = Read::Bit, bufferType = MYSQL_TYPE_BLOB, size = 8, kind = DSDataImporterSQL::NumericColumn;
    } else if (ds_mysql_type_is_numeric(type)) {
        buffer->read = Read::Number, bufferType = MYSQL_TYPE_DOUBLE, size = sizeof(double);
        kind = DSDataImporterSQL::NumericColumn;
    } else if (type == MYSQL_TYPE_YEAR) {
        buffer->read = Read::Year, bufferType = MYSQL_TYPE_DOUBLE, size = sizeof(double);
        kind = DSDataImporterSQL::TimeColumn;
    } else if (ds_mysql_type_is_time(type)) {
        // A TIME read into a date-and-time record loses its days and sign.
        buffer->read = Read::Time, size = sizeof(MYSQL_TIME);
        bufferType = type == MYSQL_TYPE_TIME ? MYSQL_TYPE_TIME : MYSQL_TYPE_DATETIME;
        kind = type == MYSQL_TYPE_TIME ? DSDataImporterSQL::TimeOfDayColumn : DSDataImporterSQL::TimeColumn;
        // The kind of value comes from the column, not from each record:
        // the library calls a date and time at midnight a date, and a zero
        // time nothing.
        buffer->timeType = type == MYSQL_TYPE_TIME                                  ? 2
                           : type == MYSQL_TYPE_DATE || type == MYSQL_TYPE_NEWDATE ? 0
                                                                                   : 1;
    } else {
        // Text, and every other type (geometry, a NULL-only column) as the
        // text the server sends, so no column is left out.
        buffer->read = Read::Text, size = 1024, kind = DSDataImporterSQL::TextColumn;
        bufferType = ds_mysql_field_is_blob(type, field.charsetnr) || !ds_mysql_field_is_text(type, field.charsetnr)
                         ? MYSQL_TYPE_BLOB
                         : MYSQL_TYPE_STRING;
    }
    *bind = MYSQL_BIND{};
    buffer->bytes.assign(size, 0);
    bind->buffer_type = bufferType;
    bind->buffer = buffer->bytes.data();
    bind->buffer_length = (unsigned long)size;
    bind->length = &buffer->length;
    bind->is_null = &buffer->isNull;
    bind->error = &buffer->error;
    return kind;
}

// Appends the field's value of the fetched row to its column. A text longer
// than the bound buffer is fetched again whole. False when memory ran out
// or the text could not be fetched.
bool appendField(MYSQL_STMT *stmt, unsigned field, Buffer &buffer, DSColumnSlots::Slot &slot, std::string *scratch)
{
    if (buffer.isNull)
        return slot.data->appendEmptyValue();
    switch (buffer.read) {
    case Read::Number: {
        double x;
        std::memcpy(&x, buffer.bytes.data(), sizeof x);
        return static_cast<DSNumericDataColumn *>(slot.column)->appendValue(x);
    }
    case Read::Bit:
        return static_cast<DSNumericDataColumn *>(slot.column)
            ->appendValue(ds_mysql_bit_value(reinterpret_cast<const unsigned char *>(buffer.bytes.data()),
                                             std::min<size_t>(buffer.length, 9)));
    case Read::Year: {
        double year, interval;
        std::memcpy(&year, buffer.bytes.data(), sizeof year);
        const double t = ds_mysql_year_value(year, &interval);
        return static_cast<DSTimeDataColumn *>(slot.column)->appendTimeValue(t, interval);
    }
    case Read::Time: {
        MYSQL_TIME time;
        std::memcpy(&time, buffer.bytes.data(), sizeof time);
        ds_mysql_time_s fields;
        fields.time_type = buffer.timeType;
        fields.year = time.year, fields.month = time.month, fields.day = time.day;
        fields.hour = time.hour, fields.minute = time.minute, fields.second = time.second;
        fields.neg = time.neg;
        double interval;
        const double t = ds_mysql_time_value(fields, &interval);
        return static_cast<DSTimeDataColumn *>(slot.column)->appendTimeValue(t, interval);
    }
    case Read::Text: {
        if (buffer.length < buffer.bytes.size())
            return DSDataImporterSQL::appendText(slot, buffer.bytes.data(), buffer.length, scratch);
        std::string whole(buffer.length, '\0');
        MYSQL_BIND bind{};
        bind.buffer_type = MYSQL_TYPE_BLOB;
        bind.buffer = whole.data();
        bind.buffer_length = buffer.length;
        unsigned long length = 0;
        bind.length = &length;
        if (mysql_stmt_fetch_column(stmt, &bind, field, 0) != 0)
            return false;
        return DSDataImporterSQL::appendText(slot, whole.data(), std::min<size_t>(length, whole.size()), scratch);
    }
    case Read::None:
        break;
    }
    return true;
}

} // namespace

bool DSDataImporterMySQL::importQuery(MYSQL *connection, const DSDatabaseQuery &query, DSObjectPool &pool,
                                      DSError *error)
{
    auto fail = [&](const char *format, const QString &text) {
        if (error)
            *error = ds_make_error(1, QString::fromUtf8(format).arg(text));
        return false;
    };
    Statement s;
    s.stmt = mysql_stmt_init(connection);
    if (!s.stmt)
        return fail("Error preparing statement: %1", clientError(connection));
    const QByteArray text = queryStringForQuery(query).toUtf8();
    if (mysql_stmt_prepare(s.stmt, text.constData(), (unsigned long)text.size()) != 0)
        return !asyncAbort() && fail("Error preparing statement: %1", statementError(s.stmt, connection));
    if (mysql_stmt_execute(s.stmt) != 0)
        return !asyncAbort() && fail("Error fetching data: %1", statementError(s.stmt, connection));
    s.metadata = mysql_stmt_result_metadata(s.stmt);
    const unsigned n = s.metadata ? mysql_num_fields(s.metadata) : 0;
    const MYSQL_FIELD *fields = s.metadata ? mysql_fetch_fields(s.metadata) : nullptr;
    s.buffers.resize(n);
    s.binds.resize(n);
    QStringList names;
    QList<int> kinds;
    std::vector<int> slotOfField(n, -1);
    for (unsigned f = 0; f < n; ++f) {
        if (asyncAbort())
            return false;
        const int kind = prepareBuffer(fields[f], &s.buffers[f], &s.binds[f]);
        if (kind < 0)
            continue;
        slotOfField[f] = int(names.size());
        names.append(QString::fromUtf8(fields[f].name));
        kinds.append(kind);
    }
    if (names.isEmpty())
        return !asyncAbort();
    ResultTable result;
    std::string scratch;
    if (!makeTable(pool, query.table_name(), names, kinds, &result)) {
        dropTable(&result);
        return fail("%1", QStringLiteral("Out of memory"));
    }
    if (mysql_stmt_bind_result(s.stmt, s.binds.data()) != 0) {
        dropTable(&result);
        return fail("Error fetching data: %1", statementError(s.stmt, connection));
    }
    if (asyncAbort()) {
        dropTable(&result);
        return false;
    }
    for (;;) {
        const int status = mysql_stmt_fetch(s.stmt);
        if (status == MYSQL_NO_DATA)
            break;
        if (status != 0 && status != MYSQL_DATA_TRUNCATED) {
            dropTable(&result);
            return !asyncAbort() && fail("Error fetching data: %1", statementError(s.stmt, connection));
        }
        for (unsigned f = 0; f < n; ++f) {
            if (slotOfField[f] < 0)
                continue;
            if (!appendField(s.stmt, f, s.buffers[f], *result.slots.slotAt(slotOfField[f]), &scratch)) {
                dropTable(&result);
                return fail("Error fetching data: %1", QStringLiteral("Out of memory"));
            }
        }
        ++result.rows;
        rowImported();
        if (asyncAbort()) {
            dropTable(&result);
            return false;
        }
    }
    if (!result.finish())
        return fail("%1", QStringLiteral("Out of memory"));
    return true;
}

QString DSDataImporterMySQL::quoteString(const QString &text) const
{
    return ds_mysql_quote_string(text, m_backslashEscapes);
}

QString DSDataImporterMySQL::quoteIdentifier(const QString &name) const
{
    return ds_mysql_quote_identifier(name);
}

QString DSDataImporterMySQL::operatorStringForOperatorType(DSPredicateOperatorType type) const
{
    if (type == DSPredicateOperatorType::Matches)
        return QStringLiteral("REGEXP");
    return DSDataImporterSQL::operatorStringForOperatorType(type);
}

QString DSDataImporterMySQL::comparisonStringForComparisonPredicate(const DSComparisonPredicate &leaf,
                                                                    qint64 columnType) const
{
    QString text = DSDataImporterSQL::comparisonStringForComparisonPredicate(leaf, columnType);
    const DSPredicateOperatorType op = leaf.predicateOperatorType();
    // Under NO_BACKSLASH_ESCAPES a LIKE has no escape character unless one
    // is named, and the escaped wildcards would match a backslash instead.
    if (!m_backslashEscapes && columnType == 4 &&
        (op == DSPredicateOperatorType::BeginsWith || op == DSPredicateOperatorType::EndsWith ||
         op == DSPredicateOperatorType::Contains))
        text += QStringLiteral(" ESCAPE '\\'");
    return text;
}

QString DSDataImporterMySQL::valueStringForKind(const DSPredicateValue &value, qint64 columnType) const
{
    switch (columnType) {
    case 3: {
        const double x = value.toDouble();
        return std::isfinite(x) ? QString::number(qint64(x)) : QStringLiteral("NULL");
    }
    case 5:
    case 6:
    case 7:
        return localDateOrTime(value, columnType);
    default:
        return QStringLiteral("NULL");
    }
}

QString DSDataImporterMySQL::columnStringForKind(const QString &quotedColumn, qint64 columnType) const
{
    return columnType == 5 || columnType == 6 ? QStringLiteral("CAST(%1 AS DATE)").arg(quotedColumn) : quotedColumn;
}
