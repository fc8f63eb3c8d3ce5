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
    static qint64 executeCount(const QString &sql, pg_conn *connection, DSError *error);
    // The query error code of a server error's SQLSTATE: undefined table 2,
    // undefined column 3, syntax error 5, anything else 6.
    static int errorCodeForSQLState(const char *sqlState);

protected:
    QString valueStringForKind(const DSPredicateValue &value, qint64 columnType) const override;
    QString columnStringForKind(const QString &quotedColumn, qint64 columnType) const override;

private:
    struct QueryRun;
    // Sends one query and appends its rows; false ends the import (with the
    // error, or none after an abort).
    bool importQuery(pg_conn *connection, const DSDatabaseQuery &query, DSObjectPool &pool, DSError *error);
};
