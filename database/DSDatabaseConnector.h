#pragma once

#include "database/DSDatabaseTableQuery.h"
#include "model/DSError.h"

#include <QStringList>
#include <QUrl>

#include <mutex>
#include <optional>

// One server for the listings of the database import sheet: connect, list
// the databases or a database's tables with their columns, disconnect. The
// connection is open only inside one listing, which runs on a background
// operation; cancel() may come from the main thread meanwhile.
//
// The URL carries the user, the password, the host, the port and a path:
// "/" for the whole server, or "/" and a database name. It is never logged.
//
// Connection error codes: 1 "Can't connect", 3 "Unknown host", 4 "Access
// denied", 5 "User denied", 6 "Lost server", 7 "No user name", 8 "Unknown
// user", 9 "Unknown database", 10 "Invalid password", 11 "Empty password",
// 12 "Out of memory", 13 "Unsupported version", 14 "Server timeout"; any
// other code (2, 17) reads "Unknown error".
class DSDatabaseConnector
{
public:
    explicit DSDatabaseConnector(const QUrl &url) : m_url(url) {}
    virtual ~DSDatabaseConnector() = default;
    DSDatabaseConnector(const DSDatabaseConnector &) = delete;
    DSDatabaseConnector &operator=(const DSDatabaseConnector &) = delete;

    const QUrl &url() const { return m_url; }

    // Opens the connection, closing one left open first. False with the
    // error and no connection. The base refuses.
    virtual bool connect(DSError *error);
    // Closes the open connection, if any.
    virtual void disconnect() {}
    // Asks the server to stop the running statement; true when the request
    // was sent. The base (and MySQL) sends nothing and answers false.
    virtual bool cancel(DSError *error);
    // The database names; none with the error. Leaves the connector
    // disconnected.
    virtual std::optional<QStringList> databaseArray(DSError *error);
    // One query per table, with its name and columns; none with the error.
    // Leaves the connector disconnected.
    virtual std::optional<QList<DSDatabaseTableQueryPtr>> tableArray(DSError *error);

    static QString stringForErrorCode(int code);

protected:
    static void setError(DSError *error, int code);
    // The listed database names without the server's own one; none with
    // "Empty database" (code 1) when nothing is left. None stays none.
    static std::optional<QStringList> userDatabases(std::optional<QStringList> names, const QString &serverOwn,
                                                    DSError *error);
    // A new table query of the listing: the table's name and its columns,
    // every one ticked.
    static DSDatabaseTableQueryPtr listedTable(const QString &name, const QList<DSDatabaseColumnInfoPtr> &columns);
    // Guards the connection handle between a listing closing it and a
    // cancel request reading it.
    std::mutex m_connectionMutex;

private:
    QUrl m_url;
};
