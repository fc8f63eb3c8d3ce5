#include "model/util/ds_sql_text.h"

QString ds_mysql_quote_string(const QString &text, bool backslashEscapes)
{
    QString s = text;
    if (backslashEscapes)
        s.replace(u'\\', QStringLiteral("\\\\"));
    s.replace(u'\'', QStringLiteral("''"));
    return u'\'' + s + u'\'';
}

QString ds_pgsql_quote_string(const QString &text)
{
    QString s = text;
    s.replace(u'\\', QStringLiteral("\\\\"));
    s.replace(u'\'', QStringLiteral("''"));
    return QStringLiteral("E'") + s + u'\'';
}

QString ds_mysql_quote_identifier(const QString &name)
{
    QString s = name;
    s.replace(u'`', QStringLiteral("``"));
    return u'`' + s + u'`';
}

QString ds_pgsql_quote_identifier(const QString &name)
{
    QString s = name;
    s.replace(u'"', QStringLiteral("\"\""));
    return u'"' + s + u'"';
}

QString ds_sqlite_quote_identifier(const QString &name)
{
    return ds_pgsql_quote_identifier(name);
}

QString ds_sql_escape_like(const QString &text)
{
    // The backslash is LIKE's escape character, so one in the text must be
    // escaped too, or it would escape the character after it.
    QString s = text;
    s.replace(u'\\', QStringLiteral("\\\\"));
    s.replace(u'%', QStringLiteral("\\%"));
    s.replace(u'_', QStringLiteral("\\_"));
    return s;
}

bool ds_pgsql_type_is_numeric(unsigned type)
{
    switch (type) {
    case 16: case 20: case 21: case 23: case 700: case 701: case 1700:
        return true;
    default:
        return false;
    }
}

bool ds_pgsql_type_is_text(unsigned type)
{
    switch (type) {
    case 17: case 18: case 19: case 25: case 114: case 142: case 1043:
        return true;
    default:
        return false;
    }
}

bool ds_pgsql_type_is_time(unsigned type)
{
    switch (type) {
    case 702: case 1082: case 1083: case 1114: case 1184: case 1266:
        return true;
    default:
        return false;
    }
}

bool ds_mysql_type_is_numeric(int type)
{
    switch (type) {
    case 0: case 1: case 2: case 3: case 4: case 5: case 8: case 9: case 16: case 246:
        return true;
    default:
        return false;
    }
}

bool ds_mysql_type_is_time(int type)
{
    return type == 7 || (type >= 10 && type <= 14);
}

bool ds_mysql_field_is_blob(int type, unsigned)
{
    return type >= 249 && type <= 252;
}

bool ds_mysql_field_is_text(int type, unsigned charsetnr)
{
    if (type == 15 || type == 247 || type == 253 || type == 254)
        return true;
    return ds_mysql_field_is_blob(type, charsetnr) && charsetnr != 0;
}
