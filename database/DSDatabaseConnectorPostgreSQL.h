#pragma once

#include "database/DSDatabaseConnector.h"

struct pg_conn;

// The PostgreSQL server's listings through libpq. Step 1 gives it the URL
// with the database "postgres"; tables are those of the schema "public"
// that have at least one row (their columns come from a row).
class DSDatabaseConnectorPostgreSQL : public DSDatabaseConnector
{
public:
    using DSDatabaseConnector::DSDatabaseConnector;
    ~DSDatabaseConnectorPostgreSQL() override;

    bool connect(DSError *error) override;
    void disconnect() override;
    // Sends a cancel request for the running statement over a connection
    // of its own; false with code 1 and libpq's text when that fails, and
    // false without an error when nothing is connected.
    bool cancel(DSError *error) override;
    // The databases that are not templates, without "postgres"; an empty
    // list when the user may not open "postgres"; "Empty database" (code 1)
    // when none is left.
    std::optional<QStringList> databaseArray(DSError *error) override;
    std::optional<QList<DSDatabaseTableQueryPtr>> tableArray(DSError *error) override;

    // The connection error code of a failed connection's message.
    static int errorCodeForConnection(pg_conn *connection);
    // The same for a message as libpq writes it ("connection to server at
    // …, port … failed: " before the server's own text is dropped first).
    static int errorCodeForMessage(const char *message);
    // The column kind of a PostgreSQL type identifier.
    static qint64 columnKindForType(unsigned type);

private:
    pg_conn *m_pgsql_conn = nullptr;
};
