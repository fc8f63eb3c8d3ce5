#pragma once

#include <QString>

// The name as an SQL identifier: every double quote doubled and the whole
// wrapped in double quotes, so any table or column name (quotes, spaces,
// keywords included) can stand in a statement's text. SQLite and
// PostgreSQL read identifiers this way.
QString ds_sqlite_quote_identifier(const QString &name);
