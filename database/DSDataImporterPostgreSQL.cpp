#include "database/DSDataImporterPostgreSQL.h"

#include "database/DSDatabaseSQLQuery.h"
#include "database/ds_database_timeout.h"
#include "model/util/ds_sql_text.h"
#include "database/ds_sql_values.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTextDataColumn.h"
#include "model/DSTimeDataColumn.h"
#include "platform/calendar/ds_gmt_calendar.h"

#include <QDateTime>

#include <libpq-fe.h>

#include <poll.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <string>
#include <thread>

namespace {

// The column an import makes for a kind code of columnTypeForFieldType.
int columnKindForType(unsigned type)
{
    if (type == 1186)
        return DSDataImporterSQL::DurationColumn;
    switch (DSDataImporterPostgreSQL::columnTypeForFieldType(type)) {
    case 1: return DSDataImporterSQL::NumericColumn;
    case 2: return DSDataImporterSQL::BooleanColumn;
    case 5:
    case 6: return DSDataImporterSQL::TimeColumn;
    case 7: return DSDataImporterSQL::TimeOfDayColumn;
    default: return DSDataImporterSQL::TextColumn;
    }
}

QString errorText(PGconn *connection)
{
    return QString::fromUtf8(PQerrorMessage(connection)).trimmed();
}

// Asks the server to stop the connection's running statement, on a thread
// of its own: the request opens a connection of its own and waits for the
// server's answer, which a frozen server never gives, and Stop must not
// wait for it.
void requestCancel(PGconn *connection)
{
    PGcancel *cancel = PQgetCancel(connection);
    if (!cancel)
        return;
    std::thread([cancel] {
        char buffer[256];
        PQcancel(cancel, buffer, sizeof buffer);
        PQfreeCancel(cancel);
    }).detach();
}

} // namespace

struct DSDataImporterPostgreSQL::QueryRun
{
    ResultTable result;
    QList<Oid> types;       // of the fields
    bool madeTable = false; // the first row was seen
    std::string scratch;
};

qint64 DSDataImporterPostgreSQL::columnTypeForFieldType(unsigned type)
{
    switch (type) {
    case 16: return 2;
    case 20: case 21: case 23: case 700: case 701: case 1700: case 1186: return 1;
    case 1082: return 5;
    case 702: case 1114: case 1184: return 6;
    case 1083: case 1266: return 7;
    default: return 4;
    }
}

PGconn *DSDataImporterPostgreSQL::connectionForURL(const QUrl &url)
{
    const std::string host = url.host().toStdString();
    const std::string port = std::to_string(url.port(5432));
    const std::string user = url.userName().toStdString();
    const std::string password = url.password().toStdString();
    const QString path = url.path();
    const std::string database = path.mid(path.lastIndexOf(u'/') + 1).toStdString();
    const std::string timeout = std::to_string(ds_database_connect_timeout().load());
    // Values travel as separate parameters, so no quote or backslash in a
    // password needs escaping. The session's styles are the ones the value
    // readers read, whatever the server's defaults.
    const char *keys[] = {"host", "port", "user", "password", "dbname", "connect_timeout", "application_name",
                          "sslmode", "client_encoding", "options", nullptr};
    const char *values[] = {host.c_str(), port.c_str(), user.c_str(), password.c_str(), database.c_str(),
                            timeout.c_str(), "Ostrel", "prefer", "UTF8",
                            "-c TimeZone=UTC -c DateStyle=ISO -c IntervalStyle=postgres", nullptr};
    return PQconnectdbParams(keys, values, 0);
}

std::optional<QList<QStringList>> DSDataImporterPostgreSQL::executeRows(const QString &sql, PGconn *connection,
                                                                        DSError *error)
{
    PGresult *result = PQexec(connection, sql.toUtf8().constData());
    if (PQresultStatus(result) != PGRES_TUPLES_OK) {
        if (error)
            *error = ds_make_error(1, QStringLiteral("Error fetching: %1").arg(errorText(connection)));
        PQclear(result);
        return std::nullopt;
    }
    QList<QStringList> rows;
    const int n = PQntuples(result), fields = PQnfields(result);
    for (int i = 0; i < n; ++i) {
        QStringList row;
        for (int f = 0; f < fields; ++f)
            row.append(QString::fromUtf8(PQgetvalue(result, i, f), PQgetlength(result, i, f)));
        rows.append(row);
    }
    PQclear(result);
    return rows;
}

std::optional<QStringList> DSDataImporterPostgreSQL::executeQuery(const QString &sql, PGconn *connection,
                                                                  DSError *error)
{
    const std::optional<QList<QStringList>> rows = executeRows(sql, connection, error);
    if (!rows)
        return std::nullopt;
    QStringList first;
    for (const QStringList &row : *rows)
        first.append(row.value(0));
    return first;
}

qint64 DSDataImporterPostgreSQL::executeCount(const QString &sql, PGconn *connection, DSError *error)
{
    return countFromRows(executeQuery(sql, connection, error), error);
}

int DSDataImporterPostgreSQL::errorCodeForSQLState(const char *sqlState)
{
    if (!sqlState)
        return 6;
    if (std::strcmp(sqlState, "42P01") == 0)
        return 2;
    if (std::strcmp(sqlState, "42703") == 0)
        return 3;
    if (std::strcmp(sqlState, "42601") == 0)
        return 5;
    return 6;
}

bool DSDataImporterPostgreSQL::validateURL(const QUrl &url, const DSDatabaseQuery &query, DSError *error)
{
    if (!dynamic_cast<const DSDatabaseSQLQuery *>(&query))
        return true;
    const QString text = queryStringForQuery(query);
    if (text.trimmed().isEmpty()) {
        if (error)
            *error = ds_make_error(4, stringForErrorCode(4));
        return false;
    }
    PGconn *connection = connectionForURL(url);
    if (PQstatus(connection) != CONNECTION_OK) {
        PQfinish(connection);
        if (error)
            *error = ds_make_error(1, stringForErrorCode(1));
        return false;
    }
    PGresult *result = PQprepare(connection, "foobar134431", text.toUtf8().constData(), 0, nullptr);
    const bool ok = PQresultStatus(result) == PGRES_COMMAND_OK;
    if (!ok && error) {
        const int code = errorCodeForSQLState(PQresultErrorField(result, PG_DIAG_SQLSTATE));
        *error = ds_make_error(code, stringForErrorCode(code));
    }
    PQclear(result);
    if (ok)
        PQclear(PQexec(connection, "DEALLOCATE foobar134431"));
    PQfinish(connection);
    return ok;
}

bool DSDataImporterPostgreSQL::importURL(const QUrl &url, const QList<DSDatabaseQueryPtr> &queries,
                                         DSObjectPool &pool, DSError *error)
{
    // A text of the server cannot hold a zero character; sent, a statement
    // would end there.
    for (const DSDatabaseQueryPtr &query : queries) {
        if (queryStringForQuery(*query).contains(QChar(0))) {
            if (error)
                *error = ds_make_error(1, QStringLiteral("A condition on \u201c%1\u201d holds a zero (NUL) "
                                                         "character, which PostgreSQL texts cannot hold.")
                                              .arg(query->table_name()));
            return false;
        }
    }
    PGconn *connection = connectionForURL(url);
    if (PQstatus(connection) != CONNECTION_OK) {
        if (error)
            *error = ds_make_error(1, QStringLiteral("Error connecting: %1").arg(errorText(connection)));
        PQfinish(connection);
        return false;
    }
    bool ok = countQueries(
        queries, [this, connection](const QString &sql, DSError *e) { return countRows(sql, connection, e); },
        error);
    for (qsizetype i = 0; ok && i < queries.size(); ++i)
        ok = importQuery(connection, *queries[i], pool, error);
    PQfinish(connection);
    if (ok)
        setAsyncProgress(1);
    return ok;
}

DSDataImporterPostgreSQL::Wait DSDataImporterPostgreSQL::waitForResult(PGconn *connection, DSError *error)
{
    using Clock = std::chrono::steady_clock;
    const auto limit = std::chrono::seconds(ds_database_connect_timeout().load());
    auto lastHeard = Clock::now();
    while (PQisBusy(connection)) {
        if (asyncAbort()) {
            requestCancel(connection);
            return Wait::Aborted;
        }
        pollfd socket{PQsocket(connection), POLLIN, 0};
        const int ready = poll(&socket, 1, 100);
        if (ready < 0 && errno != EINTR) {
            if (error)
                *error = ds_make_error(1, QStringLiteral("Error fetching: %1").arg(QString::fromUtf8(strerror(errno))));
            return Wait::Failed;
        }
        if (ready > 0) {
            if (!PQconsumeInput(connection)) {
                if (error)
                    *error = ds_make_error(1, QStringLiteral("Error fetching: %1").arg(errorText(connection)));
                return Wait::Failed;
            }
            lastHeard = Clock::now();
        } else if (Clock::now() - lastHeard >= limit) {
            requestCancel(connection);
            if (error)
                *error = ds_make_error(1, QStringLiteral("Error fetching: the server sent nothing for %1 seconds")
                                              .arg(limit.count()));
            return Wait::Failed;
        }
    }
    return Wait::Ready;
}

qint64 DSDataImporterPostgreSQL::countRows(const QString &sql, PGconn *connection, DSError *error)
{
    if (!PQsendQuery(connection, sql.toUtf8().constData())) {
        if (error)
            *error = ds_make_error(1, QStringLiteral("Error fetching: %1").arg(errorText(connection)));
        return -1;
    }
    QStringList rows;
    bool failed = false;
    for (;;) {
        if (waitForResult(connection, error) != Wait::Ready)
            return -1;
        PGresult *result = PQgetResult(connection);
        if (!result)
            break;
        if (PQresultStatus(result) != PGRES_TUPLES_OK) {
            if (!failed && error)
                *error = ds_make_error(1, QStringLiteral("Error fetching: %1").arg(errorText(connection)));
            failed = true;
        }
        for (int i = 0; i < PQntuples(result); ++i)
            rows.append(QString::fromUtf8(PQgetvalue(result, i, 0), PQgetlength(result, i, 0)));
        PQclear(result);
    }
    return failed ? -1 : countFromRows(rows, error);
}

bool DSDataImporterPostgreSQL::importQuery(PGconn *connection, const DSDatabaseQuery &query, DSObjectPool &pool,
                                           DSError *error)
{
    const QString sql = queryStringForQuery(query);
    if (!PQsendQuery(connection, sql.toUtf8().constData()) || !PQsetSingleRowMode(connection)) {
        if (error)
            *error = ds_make_error(1, QStringLiteral("Error connecting: %1").arg(errorText(connection)));
        return false;
    }
    QueryRun run;
    auto fail = [&](const QString &message) {
        if (error && !message.isEmpty())
            *error = ds_make_error(1, message);
        if (run.result.table)
            dropTable(&run.result);
        return false;
    };
    for (;;) {
        DSError waitError;
        const Wait wait = waitForResult(connection, &waitError);
        if (wait == Wait::Aborted)
            return fail(QString());
        if (wait == Wait::Failed)
            return fail(waitError.localizedDescription);
        PGresult *result = PQgetResult(connection);
        if (!result)
            break;
        const ExecStatusType status = PQresultStatus(result);
        bool appended = true;
        if (status == PGRES_SINGLE_TUPLE) {
            if (!run.madeTable) {
                run.madeTable = true;
                QStringList names;
                QList<int> kinds;
                for (int f = 0; f < PQnfields(result); ++f) {
                    names.append(QString::fromUtf8(PQfname(result, f)));
                    kinds.append(columnKindForType(PQftype(result, f)));
                    run.types.append(PQftype(result, f));
                }
                appended = makeTable(pool, query.table_name(), names, kinds, &run.result);
            }
            appended = appended && appendRow(run, result);
            rowImported();
        } else if (status != PGRES_TUPLES_OK) {
            const QString message = QStringLiteral("Error connecting: %1").arg(errorText(connection));
            PQclear(result);
            return fail(message);
        }
        PQclear(result);
        if (!appended) {
            requestCancel(connection);
            return fail(QStringLiteral("Out of memory"));
        }
        if (asyncAbort()) {
            // The rest of the rows is not wanted: the server stops sending
            // and the connection is closed by the caller.
            requestCancel(connection);
            return fail(QString());
        }
    }
    if (run.result.table && !run.result.finish())
        return fail(QStringLiteral("Out of memory"));
    return true;
}

bool DSDataImporterPostgreSQL::appendRow(QueryRun &run, const PGresult *row)
{
    for (qsizetype c = 0; c < run.types.size(); ++c) {
        DSColumnSlots::Slot &slot = *run.result.slots.slotAt(c);
        const int f = int(c);
        if (PQgetisnull(row, 0, f)) {
            if (!slot.data->appendEmptyValue())
                return false;
            continue;
        }
        const char *text = PQgetvalue(row, 0, f);
        size_t length = size_t(PQgetlength(row, 0, f));
        const Oid type = run.types[c];
        bool appended;
        switch (slot.kind) {
        case TextColumn:
            // A character(n) value arrives padded to its length.
            if (type == 1042)
                while (length > 0 && text[length - 1] == ' ')
                    --length;
            appended = appendText(slot, text, length, &run.scratch);
            break;
        case BooleanColumn:
            appended = static_cast<DSNumericDataColumn *>(slot.column)->appendValue(ds_pgsql_bool_value(text, length));
            break;
        case NumericColumn:
            appended =
                static_cast<DSNumericDataColumn *>(slot.column)->appendValue(ds_pgsql_number_value(text, length));
            break;
        case DurationColumn:
            appended =
                static_cast<DSNumericDataColumn *>(slot.column)->appendValue(ds_pgsql_interval_value(text, length));
            break;
        default: {
            double t, interval = 1;
            if (type == 1082)
                t = ds_pgsql_date_value(text, length), interval = 86400;
            else if (type == 1083 || type == 1266)
                t = ds_pgsql_time_value(text, length);
            else if (type == 702)
                t = ds_pgsql_abstime_value(text, length);
            else
                t = ds_pgsql_timestamp_value(text, length);
            appended = static_cast<DSTimeDataColumn *>(slot.column)->appendTimeValue(t, std::isnan(t) ? 0 : interval);
        }
        }
        if (!appended)
            return false;
    }
    ++run.result.rows;
    return true;
}

QString DSDataImporterPostgreSQL::quoteString(const QString &text) const
{
    return ds_pgsql_quote_string(text);
}

QString DSDataImporterPostgreSQL::quoteIdentifier(const QString &name) const
{
    return ds_pgsql_quote_identifier(name);
}

QString DSDataImporterPostgreSQL::operatorStringForOperatorType(DSPredicateOperatorType type) const
{
    if (type == DSPredicateOperatorType::Matches)
        return QStringLiteral("~");
    return DSDataImporterSQL::operatorStringForOperatorType(type);
}

QString DSDataImporterPostgreSQL::valueStringForKind(const DSPredicateValue &value, qint64 columnType) const
{
    switch (columnType) {
    case 2:
        return value.toDouble() != 0 ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case 5:
    case 6:
    case 7: {
        const QString text = localDateOrTime(value, columnType);
        if (text == QStringLiteral("NULL"))
            return text;
        return (columnType == 7 ? QStringLiteral("TIME ") : QStringLiteral("DATE ")) + text;
    }
    default:
        return QStringLiteral("NULL");
    }
}

QString DSDataImporterPostgreSQL::columnStringForKind(const QString &quotedColumn, qint64 columnType) const
{
    return columnType == 5 || columnType == 6 ? quotedColumn + QStringLiteral("::date") : quotedColumn;
}
