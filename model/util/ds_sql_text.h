#pragma once

#include <QString>

// Quoting, escaping and type classification for the SQL the database
// importers and connectors send. Pure functions; any thread.

// A MySQL string literal: single quotes (valid under ANSI_QUOTES, where a
// double-quoted text is an identifier), every single quote doubled and,
// unless the session's sql_mode has NO_BACKSLASH_ESCAPES, every backslash
// doubled. A null text is the empty text.
QString ds_mysql_quote_string(const QString &text, bool backslashEscapes = true);
// A PostgreSQL escape-string literal E'…': backslashes and single quotes
// doubled, so the text means the same whatever standard_conforming_strings
// says. A null text is the empty text.
QString ds_pgsql_quote_string(const QString &text);
// A MySQL identifier in backquotes, each backquote inside doubled.
QString ds_mysql_quote_identifier(const QString &name);
// A PostgreSQL identifier in double quotes, each double quote inside doubled.
QString ds_pgsql_quote_identifier(const QString &name);
// An SQLite identifier, quoted as PostgreSQL's: any table name, quotes,
// spaces and keywords included, can stand in the SQLite file importer's
// statements.
QString ds_sqlite_quote_identifier(const QString &name);
// The text with every backslash, then every "%" and every "_" preceded by
// a backslash, so a LIKE pattern matches all three literally (the string
// quoting then doubles backslashes where the dialect needs it).
QString ds_sql_escape_like(const QString &text);

// PostgreSQL type identifiers read as numbers (boolean included), as text,
// and as dates or times.
bool ds_pgsql_type_is_numeric(unsigned type);
bool ds_pgsql_type_is_text(unsigned type);
bool ds_pgsql_type_is_time(unsigned type);
// MySQL field types read as numbers (bit included) and as dates or times.
bool ds_mysql_type_is_numeric(int type);
bool ds_mysql_type_is_time(int type);
// A MySQL field of one of the blob types; of a text type, or a blob type
// with a character set.
bool ds_mysql_field_is_blob(int type, unsigned charsetnr);
bool ds_mysql_field_is_text(int type, unsigned charsetnr);
