#include "database/DSDatabaseConnector.h"

bool DSDatabaseConnector::connect(DSError *)
{
    return false;
}

bool DSDatabaseConnector::cancel(DSError *)
{
    return false;
}

std::optional<QStringList> DSDatabaseConnector::databaseArray(DSError *)
{
    return std::nullopt;
}

std::optional<QList<DSDatabaseTableQueryPtr>> DSDatabaseConnector::tableArray(DSError *)
{
    return std::nullopt;
}

QString DSDatabaseConnector::stringForErrorCode(int code)
{
    switch (code) {
    case 1: return QStringLiteral("Can't connect");
    case 3: return QStringLiteral("Unknown host");
    case 4: return QStringLiteral("Access denied");
    case 5: return QStringLiteral("User denied");
    case 6: return QStringLiteral("Lost server");
    case 7: return QStringLiteral("No user name");
    case 8: return QStringLiteral("Unknown user");
    case 9: return QStringLiteral("Unknown database");
    case 10: return QStringLiteral("Invalid password");
    case 11: return QStringLiteral("Empty password");
    case 12: return QStringLiteral("Out of memory");
    case 13: return QStringLiteral("Unsupported version");
    case 14: return QStringLiteral("Server timeout");
    default: return QStringLiteral("Unknown error");
    }
}

void DSDatabaseConnector::setError(DSError *error, int code)
{
    if (error)
        *error = ds_make_error(code, stringForErrorCode(code));
}

std::optional<QStringList> DSDatabaseConnector::userDatabases(std::optional<QStringList> names,
                                                              const QString &serverOwn, DSError *error)
{
    if (!names)
        return names;
    names->removeAll(serverOwn);
    if (!names->isEmpty())
        return names;
    if (error)
        *error = ds_make_error(1, QStringLiteral("Empty database"));
    return std::nullopt;
}

DSDatabaseTableQueryPtr DSDatabaseConnector::listedTable(const QString &name,
                                                         const QList<DSDatabaseColumnInfoPtr> &columns)
{
    auto table = std::make_shared<DSDatabaseTableQuery>();
    table->setSource_table_name(name);
    table->setColumns(columns);
    return table;
}
