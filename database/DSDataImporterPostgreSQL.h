#pragma once

#include "database/DSDataImporterSQL.h"

struct pg_conn;

// Imports query results from a PostgreSQL server through libpq, each query
// in single-row mode so no result set is held whole.
class DSDataImporterPostgreSQL : public DSDataImporterSQL
{
public:
    using DSDataImporterSQL::DSDataImporterSQL;

    QString className() const override { return QStringLiteral("DSDataImporterPostgreSQL"); }

    // An empty text is refused ("Empty query") without connecting; other
    // custom SQL is prepared by the server and deallocated, not run.
    bool validateURL(const QUrl &url, const DSDatabaseQuery &query, DSError *error) override;
    bool importURL(const QUrl &url, const QList<DSDatabaseQueryPtr> &queries, DSObjectPool &pool,
                   DSError *error) override;

    QString quoteString(const QString &text) const override;
    QString quoteIdentifier(const QString &name) const override;
    QString operatorStringForOperatorType(DSPredicateOperatorType type) const override;

    // A connection to the URL's server and database (its last path
    // component), with the connect timeout, SSL when the server offers it,
    // the application's name, texts in UTF-8 and the session in UTC, so
    // zoned timestamps arrive with their instant. The caller owns it (PQfinish) and checks
    // its status.
    static pg_conn *connectionForURL(const QUrl &url);
    // The first field of every row the statement answers, as text; none
    // with the error "Error fetching: %s" when it answers no rows.
    static std::optional<QStringList> executeQuery(const QString &sql, pg_conn *connection, DSError *error);
    // Every field of every row the statement answers, as texts; none with
    // the error "Error fetching: %s" as executeQuery.
    static std::optional<QList<QStringList>> executeRows(const QString &sql, pg_conn *connection, DSError *error);
    static qint64 executeCount(const QString &sql, pg_conn *connection, DSError *error);
    // The query error code of a server error's SQLSTATE: undefined table 2,
    // undefined column 3, syntax error 5, anything else 6.
    static int errorCodeForSQLState(const char *sqlState);
    // The column kind code (DSDatabaseColumnInfo) of a field type: boolean
    // 2; the integer, floating-point and numeric types and interval 1;
    // date 5; the timestamps and absolute time 6; time and time with zone
    // 7; every other type 4, read as its text form, so no column is left
    // out.
    static qint64 columnTypeForFieldType(unsigned type);

protected:
    QString valueStringForKind(const DSPredicateValue &value, qint64 columnType) const override;
    QString columnStringForKind(const QString &quotedColumn, qint64 columnType) const override;

private:
    struct QueryRun;
    enum class Wait { Ready, Aborted, Failed };
    // Waits until the connection's next result can be taken without
    // blocking, reading what arrives and checking the abort flag between
    // waits of at most a tenth of a second. Aborted after a cancel request
    // went to the server; Failed with the error when the connection broke
    // or the server sent nothing for the connect timeout.
    Wait waitForResult(pg_conn *connection, DSError *error);
    // executeCount's answer, its statement sent and waited for as an
    // import's: stopped by an abort, limited by the read timeout.
    qint64 countRows(const QString &sql, pg_conn *connection, DSError *error);
    // Sends one query and appends its rows; false ends the import (with the
    // error, or none after an abort).
    bool importQuery(pg_conn *connection, const DSDatabaseQuery &query, DSObjectPool &pool, DSError *error);
    // Appends the values of one single-row result; false when memory ran
    // out.
    bool appendRow(QueryRun &run, const struct pg_result *row);
};
