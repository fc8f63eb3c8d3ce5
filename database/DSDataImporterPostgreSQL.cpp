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

#include <cmath>
#include <cstring>
#include <string>

namespace {

// The column kind an import makes for a field type, or -1 for none.
int columnKindForType(Oid type)
{
    if (type == 16)
        return DSDataImporterSQL::BooleanColumn;
    if (ds_pgsql_type_is_numeric(type))
        return DSDataImporterSQL::NumericColumn;
    if (ds_pgsql_type_is_text(type))
        return DSDataImporterSQL::TextColumn;
    if (type == 1083 || type == 1266)
        return DSDataImporterSQL::TimeOfDayColumn;
    if (ds_pgsql_type_is_time(type))
        return DSDataImporterSQL::TimeColumn;
    return -1;
}

QString errorText(PGconn *connection)
{
    return QString::fromUtf8(PQerrorMessage(connection)).trimmed();
}

} // namespace

struct DSDataImporterPostgreSQL::QueryRun
{
    ResultTable result;
    QList<Oid> types;       // of the fields that have a column
    QList<int> fields;      // their field numbers
    bool madeTable = false; // the first row was seen
    std::string scratch;
};

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
    // password needs escaping.
    const char *keys[] = {"host", "port", "user", "password", "dbname", "connect_timeout", "application_name",
                          "sslmode", "client_encoding", "options", nullptr};
    const char *values[] = {host.c_str(), port.c_str(), user.c_str(), password.c_str(), database.c_str(),
                            timeout.c_str(), "Ostrel", "prefer", "UTF8", "-c TimeZone=UTC", nullptr};
    return PQconnectdbParams(keys, values, 0);
}

std::optional<QStringList> DSDataImporterPostgreSQL::executeQuery(const QString &sql, PGconn *connection,
                                                                  DSError *error)
{
    PGresult *result = PQexec(connection, sql.toUtf8().constData());
    if (PQresultStatus(result) != PGRES_TUPLES_OK) {
        if (error)
            *error = ds_make_error(1, QStringLiteral("Error fetching: %1").arg(errorText(connection)));
        PQclear(result);
        return std::nullopt;
    }
    QStringList rows;
    const int n = PQntuples(result);
    for (int i = 0; i < n; ++i)
        rows.append(QString::fromUtf8(PQgetvalue(result, i, 0), PQgetlength(result, i, 0)));
    PQclear(result);
    return rows;
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
    PGconn *connection = connectionForURL(url);
    if (PQstatus(connection) != CONNECTION_OK) {
        if (error)
            *error = ds_make_error(1, QStringLiteral("Error connecting: %1").arg(errorText(connection)));
        PQfinish(connection);
        return false;
    }
    bool ok = countQueries(
        queries, [connection](const QString &sql, DSError *e) { return executeCount(sql, connection, e); }, error);
    for (qsizetype i = 0; ok && i < queries.size(); ++i)
        ok = importQuery(connection, *queries[i], pool, error);
    PQfinish(connection);
    if (ok)
        setAsyncProgress(1);
    return ok;
}

bool DSDataImporterPostgreSQL::importQuery(PGconn *connection, const DSDatabaseQuery &query, DSObjectPool &pool,
                                           DSError *error)
{
    if (!PQsendQuery(connection, queryStringForQuery(query).toUtf8().constData()) ||
        !PQsetSingleRowMode(connection)) {
        if (error)
            *error = ds_make_error(1, QStringLiteral("Error connecting: %1").arg(errorText(connection)));
        return false;
    }
    if (asyncAbort())
        return false;
    QueryRun run;
    bool failed = false;
    while (PGresult *result = PQgetResult(connection)) {
        const ExecStatusType status = PQresultStatus(result);
        if (failed) {
            // Drains what remains of the statement.
        } else if (status == PGRES_SINGLE_TUPLE) {
            if (!run.madeTable) {
                run.madeTable = true;
                QStringList names;
                QList<int> kinds;
                for (int f = 0; f < PQnfields(result); ++f) {
                    const int kind = columnKindForType(PQftype(result, f));
                    if (kind < 0)
                        continue;
                    names.append(QString::fromUtf8(PQfname(result, f)));
                    kinds.append(kind);
                    run.types.append(PQftype(result, f));
                    run.fields.append(f);
                }
                if (!names.isEmpty() && !makeTable(pool, query.table_name(), names, kinds, &run.result)) {
                    if (error)
                        *error = ds_make_error(1, QStringLiteral("Out of memory"));
                    failed = true;
                }
            }
            if (!failed && run.result.table) {
                for (qsizetype c = 0; c < run.fields.size(); ++c) {
                    DSColumnSlots::Slot &slot = *run.result.slots.slotAt(c);
                    const int f = run.fields[c];
                    const char *text = PQgetvalue(result, 0, f);
                    const size_t length = size_t(PQgetlength(result, 0, f));
                    bool appended;
                    if (PQgetisnull(result, 0, f)) {
                        appended = slot.data->appendEmptyValue();
                    } else {
                        const Oid type = run.types[c];
                        if (slot.kind == TextColumn) {
                            appended = appendText(slot, text, length, &run.scratch);
                        } else if (slot.kind == BooleanColumn) {
                            appended = static_cast<DSNumericDataColumn *>(slot.column)
                                           ->appendValue(ds_pgsql_bool_value(text, length));
                        } else if (slot.kind == NumericColumn) {
                            appended = static_cast<DSNumericDataColumn *>(slot.column)
                                           ->appendValue(ds_pgsql_number_value(text, length));
                        } else {
                            double t, interval = 1;
                            if (type == 1082)
                                t = ds_pgsql_date_value(text, length), interval = 86400;
                            else if (type == 1083 || type == 1266)
                                t = ds_pgsql_time_value(text, length);
                            else if (type == 702)
                                t = ds_pgsql_abstime_value(text, length);
                            else
                                t = ds_pgsql_timestamp_value(text, length);
                            appended = static_cast<DSTimeDataColumn *>(slot.column)
                                           ->appendTimeValue(t, std::isnan(t) ? 0 : interval);
                        }
                    }
                    if (!appended) {
                        if (error)
                            *error = ds_make_error(1, QStringLiteral("Out of memory"));
                        failed = true;
                        break;
                    }
                }
                ++run.result.rows;
            }
            rowImported();
        } else if (status != PGRES_TUPLES_OK) {
            if (error)
                *error = ds_make_error(1, QStringLiteral("Error connecting: %1").arg(errorText(connection)));
            failed = true;
        }
        PQclear(result);
        if (!failed && asyncAbort()) {
            // The rest of the rows is not wanted: the server stops sending
            // and the connection is closed by the caller.
            if (PGcancel *cancel = PQgetCancel(connection)) {
                char buffer[256];
                PQcancel(cancel, buffer, sizeof buffer);
                PQfreeCancel(cancel);
            }
            failed = true;
        }
    }
    if (failed) {
        if (run.result.table)
            dropTable(&run.result);
        return false;
    }
    if (run.result.table && !run.result.finish()) {
        if (error)
            *error = ds_make_error(1, QStringLiteral("Out of memory"));
        return false;
    }
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
