#include "database/ds_sqlite_quote_identifier.h"

QString ds_sqlite_quote_identifier(const QString &name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}
