#include "database/DSDatabaseConnectorPostgreSQL.h"

#include "database/DSDataImporterPostgreSQL.h"
#include "model/util/ds_sql_text.h"

#include <libpq-fe.h>

#include <cstring>

DSDatabaseConnectorPostgreSQL::~DSDatabaseConnectorPostgreSQL()
{
    disconnect();
}

int DSDatabaseConnectorPostgreSQL::errorCodeForMessage(const char *message)
{
    // libpq 15 names the server it tried before what went wrong.
    const char *text = message;
    if (std::strncmp(text, "connection to server ", 21) == 0)
        if (const char *failed = std::strstr(text, " failed: "))
            text = failed + 9;
    // A second attempt (another address, or without SSL) appends its own
    // lines; the rules read the first.
    const char *lineEnd = std::strchr(text, '\n');
    const QByteArray first = lineEnd ? QByteArray(text, lineEnd - text + 1) : QByteArray(text);
    struct Rule
    {
        bool equals;
        const char *text;
        int code;
    };
    static const Rule rules[] = {
        {true, "fe_sendauth: no password supplied\n", 11},
        {false, "FATAL:  no PostgreSQL user name specified", 7},
        {false, "could not connect to server", 1},
        {false, "Connection refused", 1},
        {false, "FATAL:  no pg_hba.conf entry for host", 4},
        {false, "FATAL:  role \"", 8},
        {false, "FATAL:  password authentication failed", 10},
        {false, "FATAL:  permission denied for database", 5},
        {false, "could not translate host name", 3},
        {true, "timeout expired\n", 14},
        {false, "FATAL:  database \"", 9},
    };
    for (const Rule &rule : rules) {
        const bool match = rule.equals ? first == rule.text : first.startsWith(rule.text);
        if (match)
            return rule.code;
    }
    qWarning("Unknown PostgreSQL error: %s", message);
    return 17;
}

int DSDatabaseConnectorPostgreSQL::errorCodeForConnection(PGconn *connection)
{
    return errorCodeForMessage(PQerrorMessage(connection));
}

qint64 DSDatabaseConnectorPostgreSQL::columnKindForType(unsigned type)
{
    return DSDataImporterPostgreSQL::columnTypeForFieldType(type);
}

bool DSDatabaseConnectorPostgreSQL::connect(DSError *error)
{
    disconnect();
    PGconn *connection = DSDataImporterPostgreSQL::connectionForURL(url());
    if (PQstatus(connection) != CONNECTION_OK) {
        setError(error, errorCodeForConnection(connection));
        PQfinish(connection);
        return false;
    }
    std::lock_guard lock(m_connectionMutex);
    m_pgsql_conn = connection;
    return true;
}

void DSDatabaseConnectorPostgreSQL::disconnect()
{
    std::lock_guard lock(m_connectionMutex);
    if (m_pgsql_conn)
        PQfinish(m_pgsql_conn);
    m_pgsql_conn = nullptr;
}

bool DSDatabaseConnectorPostgreSQL::cancel(DSError *error)
{
    std::lock_guard lock(m_connectionMutex);
    if (!m_pgsql_conn)
        return false;
    PGcancel *request = PQgetCancel(m_pgsql_conn);
    char buffer[256] = {};
    const bool sent = request && PQcancel(request, buffer, sizeof buffer);
    if (request)
        PQfreeCancel(request);
    if (!sent && error)
        *error = ds_make_error(1, QString::fromUtf8(buffer));
    return sent;
}

std::optional<QStringList> DSDatabaseConnectorPostgreSQL::databaseArray(DSError *error)
{
    DSError failure;
    if (!connect(&failure)) {
        if (failure.code == 5)
            return QStringList();
        if (error)
            *error = failure;
        return std::nullopt;
    }
    std::optional<QStringList> names = DSDataImporterPostgreSQL::executeQuery(
        QStringLiteral("SELECT datname FROM pg_database WHERE datistemplate = false ORDER BY datname"), m_pgsql_conn,
        error);
    disconnect();
    return userDatabases(std::move(names), QStringLiteral("postgres"), error);
}

std::optional<QList<DSDatabaseTableQueryPtr>> DSDatabaseConnectorPostgreSQL::tableArray(DSError *error)
{
    if (!connect(error))
        return std::nullopt;
    // Every schema of the search path, not only "public": a user's own
    // schema comes first on it. A name found in more than one schema is
    // shown with its schema's; each table is read through its schema.
    const std::optional<QList<QStringList>> names = DSDataImporterPostgreSQL::executeRows(
        QStringLiteral("SELECT table_schema, table_name, count(*) OVER (PARTITION BY table_name) "
                       "FROM information_schema.tables WHERE table_schema::name = ANY (current_schemas(false)) "
                       "ORDER BY table_name, array_position(current_schemas(false), table_schema::name)"),
        m_pgsql_conn, error);
    if (!names) {
        disconnect();
        return std::nullopt;
    }
    QList<DSDatabaseTableQueryPtr> tables;
    for (const QStringList &row : *names) {
        const QString &schema = row.value(0), &name = row.value(1);
        const QByteArray sql = QStringLiteral("SELECT * FROM %1.%2 LIMIT 1")
                                   .arg(ds_pgsql_quote_identifier(schema), ds_pgsql_quote_identifier(name))
                                   .toUtf8();
        if (!PQsendQuery(m_pgsql_conn, sql.constData()))
            continue;
        PQsetSingleRowMode(m_pgsql_conn);
        bool first = true;
        while (PGresult *result = PQgetResult(m_pgsql_conn)) {
            if (first && PQresultStatus(result) == PGRES_SINGLE_TUPLE) {
                QList<DSDatabaseColumnInfoPtr> columns;
                for (int f = 0; f < PQnfields(result); ++f)
                    columns.append(std::make_shared<DSDatabaseColumnInfo>(QString::fromUtf8(PQfname(result, f)),
                                                                          columnKindForType(PQftype(result, f))));
                DSDatabaseTableQueryPtr table = listedTable(name, columns);
                table->setSource_schema_name(schema);
                table->setQualifies_name(row.value(2).toInt() > 1);
                tables.append(table);
            }
            first = false;
            PQclear(result);
        }
    }
    disconnect();
    return tables;
}
