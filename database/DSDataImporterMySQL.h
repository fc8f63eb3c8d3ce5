#pragma once

#include "database/DSDataImporterSQL.h"

struct st_mysql;

// Imports query results from a MySQL or MariaDB server through MariaDB
// Connector/C prepared statements, one row at a time into buffers bound
// once per query.
class DSDataImporterMySQL : public DSDataImporterSQL
{
public:
    using DSDataImporterSQL::DSDataImporterSQL;

    QString className() const override { return QStringLiteral("DSDataImporterMySQL"); }

    // Custom SQL is prepared by the server, not run.
    bool validateURL(const QUrl &url, const DSDatabaseQuery &query, DSError *error) override;
    bool importURL(const QUrl &url, const QList<DSDatabaseQueryPtr> &queries, DSObjectPool &pool,
                   DSError *error) override;

    // Strings follow the session's sql_mode: whether a backslash escapes
    // inside a string literal, and whether LIKE has it as its escape.
    bool backslashEscapes() const { return m_backslashEscapes; }
    void setBackslashEscapes(bool on) { m_backslashEscapes = on; }

    QString quoteString(const QString &text) const override;
    QString quoteIdentifier(const QString &name) const override;
    QString operatorStringForOperatorType(DSPredicateOperatorType type) const override;
    QString comparisonStringForComparisonPredicate(const DSComparisonPredicate &leaf,
                                                   qint64 columnType) const override;

    // A connection to the URL's database, the session in UTC and UTF-8, and
    // backslashEscapes() set from its sql_mode. None with "Error
    // connecting to database: %s" when it fails. The caller closes it.
    st_mysql *connectionForURL(const QUrl &url, DSError *error);
    // Opens a client connection to the URL's server: the database is the
    // URL's last path component, or none when withDatabase is false or the
    // path is "/". "localhost" becomes 127.0.0.1 (a TCP connection to the
    // URL's port, never a socket). Connecting, reads and writes time out
    // after timeoutSeconds, or the connect timeout when it is 0. None with
    // the client's error number and text when it fails (the handle is
    // closed).
    static st_mysql *openConnection(const QUrl &url, bool withDatabase, unsigned *errorNumber, QString *errorText,
                                    int timeoutSeconds = 0);

    // The first field of every row the statement answers, as text; none
    // with "Error executing %s: %s" when it fails or answers no result set.
    static std::optional<QStringList> executeQuery(const QString &sql, st_mysql *connection, DSError *error);
    static qint64 executeCount(const QString &sql, st_mysql *connection, DSError *error);
    // The query error code of a client error number: 1054 3, 1064 5,
    // 1065 4, 1146 2, any other 6.
    static int errorCodeForErrorNumber(unsigned errorNumber);

protected:
    QString valueStringForKind(const DSPredicateValue &value, qint64 columnType) const override;
    QString columnStringForKind(const QString &quotedColumn, qint64 columnType) const override;

private:
    struct Statement;
    class StopWatch;
    bool importQuery(st_mysql *connection, const DSDatabaseQuery &query, DSObjectPool &pool, DSError *error);

    bool m_backslashEscapes = true;
};
