// Quoted names stand in statements: each one names its own table in a real
// SQLite database, whatever quotes, spaces or keywords it holds.
#include "model/util/ds_sql_text.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <sqlite3.h>

namespace {

TEST(SQLiteQuoteIdentifier, QuotesAndDoublesQuotes)
{
    const struct
    {
        const char *name;
        const char *quoted;
    } cases[] = {
        {"plain", "\"plain\""}, {"a\"b", "\"a\"\"b\""}, {"\"", "\"\"\"\""}, {"", "\"\""}, {"select", "\"select\""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ds_sqlite_quote_identifier(QString::fromUtf8(c.name)).toStdString(), c.quoted) << c.name;
}

TEST(SQLiteQuoteIdentifier, NamesTheTableInStatements)
{
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    const QString names[] = {QStringLiteral("a\"b"), QStringLiteral("x\"\" y"), QStringLiteral("table"),
                             QStringLiteral("Größe; DROP")};
    for (const QString &name : names) {
        const QString quoted = ds_sqlite_quote_identifier(name);
        const QByteArray create = ("CREATE TABLE " + quoted + " (v); INSERT INTO " + quoted + " VALUES (1)").toUtf8();
        ASSERT_EQ(sqlite3_exec(db, create.constData(), nullptr, nullptr, nullptr), SQLITE_OK) << create.constData();
    }
    sqlite3_stmt *statement = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type='table' ORDER BY name", -1,
                                 &statement, nullptr),
              SQLITE_OK);
    QStringList stored;
    while (sqlite3_step(statement) == SQLITE_ROW)
        stored.append(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, 0))));
    sqlite3_finalize(statement);
    sqlite3_close(db);
    QStringList expected(std::begin(names), std::end(names));
    expected.sort();
    EXPECT_EQ(stored, expected);
}

} // namespace
