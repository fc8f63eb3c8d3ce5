#pragma once

#include "database/DSDatabaseConnector.h"

struct st_mysql;

// The connection error code of a MySQL client error number: 1044 and 1049
// 9, 1045 10, 2001 to 2003 1, 2005 3, 2007 13, 2008 12, 2013 6, 2026 2, 0 0;
// any other number is logged with the client's text and gives 17.
int ds_mysql_connect_error_code(unsigned errorNumber, const QString &errorText);

// The MySQL server's listings through MariaDB Connector/C. Step 1 gives it
// the URL with the path "/" (no database chosen); every table is listed,
// empty ones too (their columns come from the result metadata).
class DSDatabaseConnectorMySQL : public DSDatabaseConnector
{
public:
    using DSDatabaseConnector::DSDatabaseConnector;
    ~DSDatabaseConnectorMySQL() override;

    bool connect(DSError *error) override;
    void disconnect() override;
    // Every database but "information_schema"; "Empty database" (code 1)
    // when none is left.
    std::optional<QStringList> databaseArray(DSError *error) override;
    std::optional<QList<DSDatabaseTableQueryPtr>> tableArray(DSError *error) override;

    // The column kind of a MySQL field type and character-set number: text
    // (4) for every type not read as a number, a bit field or a time, as
    // the import reads it.
    static qint64 columnKindForField(int type, unsigned charsetnr);

private:
    // The result of a listing statement; none with a connection error built
    // from the client's error number.
    std::optional<QStringList> listing(const char *sql, DSError *error);

    st_mysql *m_mysql_conn = nullptr;
};
