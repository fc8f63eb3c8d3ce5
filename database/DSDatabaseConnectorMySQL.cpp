#include "database/DSDatabaseConnectorMySQL.h"

#include "database/DSDataImporterMySQL.h"
#include "model/util/ds_sql_text.h"

#include <mysql.h>

int ds_mysql_connect_error_code(unsigned errorNumber, const QString &errorText)
{
    switch (errorNumber) {
    case 0: return 0;
    case 1044: case 1049: return 9;
    case 1045: return 10;
    case 2001: case 2002: case 2003: return 1;
    case 2005: return 3;
    case 2007: return 13;
    case 2008: return 12;
    case 2013: return 6;
    case 2026: return 2;
    default:
        qWarning("Unknown MySQL error: %s (%u)", errorText.toUtf8().constData(), errorNumber);
        return 17;
    }
}

DSDatabaseConnectorMySQL::~DSDatabaseConnectorMySQL()
{
    disconnect();
}

qint64 DSDatabaseConnectorMySQL::columnKindForField(int type, unsigned charsetnr)
{
    if (type == 16)
        return 3;
    if (ds_mysql_type_is_numeric(type))
        return 1;
    if (type == 7 || type == 12)
        return 6;
    if (type == 10 || type == 13 || type == 14)
        return 5;
    if (type == 11)
        return 7;
    // Text, and every other type, which the import reads as the text the
    // server sends.
    (void)charsetnr;
    return 4;
}

bool DSDatabaseConnectorMySQL::connect(DSError *error)
{
    disconnect();
    unsigned number = 0;
    QString text;
    MYSQL *connection = DSDataImporterMySQL::openConnection(url(), true, &number, &text);
    if (!connection) {
        if (error)
            setError(error, ds_mysql_connect_error_code(number, text));
        return false;
    }
    std::lock_guard lock(m_connectionMutex);
    m_mysql_conn = connection;
    return true;
}

void DSDatabaseConnectorMySQL::disconnect()
{
    std::lock_guard lock(m_connectionMutex);
    if (m_mysql_conn)
        mysql_close(m_mysql_conn);
    m_mysql_conn = nullptr;
}

std::optional<QStringList> DSDatabaseConnectorMySQL::listing(const char *sql, DSError *error)
{
    std::optional<QStringList> rows =
        DSDataImporterMySQL::executeQuery(QString::fromUtf8(sql), m_mysql_conn, nullptr);
    if (!rows)
        setError(error, ds_mysql_connect_error_code(mysql_errno(m_mysql_conn),
                                                    QString::fromUtf8(mysql_error(m_mysql_conn))));
    return rows;
}

std::optional<QStringList> DSDatabaseConnectorMySQL::databaseArray(DSError *error)
{
    if (!connect(error))
        return std::nullopt;
    std::optional<QStringList> names = listing("SHOW DATABASES", error);
    disconnect();
    return userDatabases(std::move(names), QStringLiteral("information_schema"), error);
}

std::optional<QList<DSDatabaseTableQueryPtr>> DSDatabaseConnectorMySQL::tableArray(DSError *error)
{
    if (!connect(error))
        return std::nullopt;
    const std::optional<QStringList> names = listing("SHOW TABLES", error);
    if (!names) {
        disconnect();
        return std::nullopt;
    }
    QList<DSDatabaseTableQueryPtr> tables;
    for (const QString &name : *names) {
        MYSQL_STMT *stmt = mysql_stmt_init(m_mysql_conn);
        if (!stmt)
            continue;
        const QByteArray sql = QStringLiteral("SELECT * FROM %1 LIMIT 1").arg(ds_mysql_quote_identifier(name)).toUtf8();
        MYSQL_RES *metadata = nullptr;
        if (mysql_stmt_prepare(stmt, sql.constData(), (unsigned long)sql.size()) == 0 &&
            mysql_stmt_execute(stmt) == 0 && (metadata = mysql_stmt_result_metadata(stmt))) {
            const unsigned n = mysql_num_fields(metadata);
            const MYSQL_FIELD *fields = mysql_fetch_fields(metadata);
            QList<DSDatabaseColumnInfoPtr> columns;
            for (unsigned f = 0; f < n; ++f)
                columns.append(std::make_shared<DSDatabaseColumnInfo>(
                    QString::fromUtf8(fields[f].name), columnKindForField(int(fields[f].type), fields[f].charsetnr)));
            tables.append(listedTable(name, columns));
            mysql_free_result(metadata);
        }
        mysql_stmt_close(stmt);
    }
    disconnect();
    return tables;
}
