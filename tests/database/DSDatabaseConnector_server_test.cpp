// The connectors against real servers: listings, connection error codes,
// a stopped server, and the import failing within the connect timeout.
#include "DatabaseServers.h"

#include "../import/ImportTestSupport.h"
#include "database/DSDataImporterMySQL.h"
#include "database/DSDataImporterPostgreSQL.h"
#include "database/DSDatabaseConnectorMySQL.h"
#include "database/DSDatabaseConnectorPostgreSQL.h"
#include "database/DSDatabaseSQLQuery.h"
#include "database/ds_database_timeout.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <csignal>

namespace {

std::unique_ptr<DSDatabaseConnector> connector(Dialect d, const QUrl &url)
{
    if (d == PostgreSQL)
        return std::make_unique<DSDatabaseConnectorPostgreSQL>(url);
    return std::make_unique<DSDatabaseConnectorMySQL>(url);
}

using ConnectorTest = DialectTest;

// Continues a stopped server whatever the test's end.
struct Stopped
{
    qint64 pid;
    explicit Stopped(qint64 p) : pid(p) { ::kill(pid_t(pid), SIGSTOP); }
    ~Stopped() { ::kill(pid_t(pid), SIGCONT); }
};

} // namespace

TEST_P(ConnectorTest, ListsDatabasesAndTables)
{
    const QString db = makeDatabase("list", QStringLiteral("CREATE TABLE zeta (n int, s varchar(9), t date, h time); "
                                      "INSERT INTO zeta VALUES (1, 'a', '2020-01-01', '10:00:00'); "
                                      "CREATE TABLE alpha (flag boolean, v double precision); "
                                      "INSERT INTO alpha VALUES (true, 1.5); CREATE TABLE empty (x int)"));
    // Step 1 asks PostgreSQL through its "postgres" database, MySQL with "/".
    const std::optional<QStringList> names =
        connector(d(), url(d() == PostgreSQL ? QStringLiteral("postgres") : QString()))->databaseArray(nullptr);
    ASSERT_TRUE(names);
    EXPECT_TRUE(names->contains(db));
    EXPECT_FALSE(names->contains(QStringLiteral("postgres")) || names->contains(QStringLiteral("information_schema")));

    auto c = connector(d(), url(db));
    DSError error;
    const auto tables = c->tableArray(&error);
    ASSERT_TRUE(tables) << error.localizedDescription.toStdString();
    QStringList listed;
    for (const auto &t : *tables)
        listed << t->source_table_name();
    // An empty PostgreSQL table has no row to describe it.
    EXPECT_EQ(listed, d() == PostgreSQL ? QStringList({"alpha", "zeta"}) : QStringList({"alpha", "empty", "zeta"}));
    const auto &alpha = *tables->front();
    EXPECT_EQ(alpha.columns()[0]->type(), d() == PostgreSQL ? 2 : 1); // MySQL's BOOLEAN is TINYINT
    EXPECT_EQ(alpha.columns()[1]->type(), 1);
    const auto &zeta = *tables->back();
    QList<qint64> kinds;
    for (const auto &column : zeta.columns())
        kinds << column->type();
    EXPECT_EQ(kinds, QList<qint64>({1, 4, 5, 7}));
    EXPECT_TRUE(zeta.columns()[0]->is_enabled());
    EXPECT_FALSE(zeta.is_enabled());
    // The listing left the connector disconnected, so a cancel sends nothing.
    EXPECT_FALSE(c->cancel(nullptr));

    // "localhost" reaches the server on the URL's port (MySQL over TCP, not
    // the default socket, which this server does not have).
    QUrl local = url(db);
    local.setHost(QStringLiteral("localhost"));
    DSError localError;
    EXPECT_TRUE(connector(d(), local)->connect(&localError)) << localError.localizedDescription.toStdString();
}

TEST_P(ConnectorTest, UserDeniedPostgresGetsAnEmptyList)
{
    if (d() != PostgreSQL)
        GTEST_SKIP() << "PostgreSQL's database \"postgres\"";
    ds_pg_exec(QStringLiteral("postgres"), QStringLiteral("DROP ROLE IF EXISTS denied_pg"));
    ASSERT_EQ(ds_pg_exec(QStringLiteral("postgres"), QStringLiteral("CREATE ROLE denied_pg LOGIN PASSWORD 'pw'; "
                                                                    "REVOKE CONNECT ON DATABASE postgres FROM PUBLIC")),
              "");
    QUrl denied = url(QStringLiteral("postgres"), QStringLiteral("pw"));
    denied.setUserName(QStringLiteral("denied_pg"));
    DSError error;
    auto c = connector(d(), denied);
    EXPECT_FALSE(c->connect(&error));
    EXPECT_EQ(error.code, 5);
    error = DSError();
    const auto names = c->databaseArray(&error);
    ds_pg_exec(QStringLiteral("postgres"), QStringLiteral("GRANT CONNECT ON DATABASE postgres TO PUBLIC"));
    // Step 1 then falls back to a database name the user types.
    ASSERT_TRUE(names);
    EXPECT_TRUE(names->isEmpty());
    EXPECT_EQ(error.code, 0);
}

TEST_P(ConnectorTest, ConnectionErrorCodes)
{
    QUrl closed = url(QStringLiteral("postgres"));
    closed.setPort(1);
    QUrl host = url(QStringLiteral("postgres"));
    host.setHost(QStringLiteral("nonexistent.invalid"));
    struct Case
    {
        const char *what;
        QUrl url;
        int code;
    } cases[] = {
        {"wrong password", url(QStringLiteral("postgres"), QStringLiteral("wrong")), 10},
        {"unknown database", url(QStringLiteral("no_such_database")), 9},
        {"unknown host", host, 3},
        {"closed port", closed, 1},
    };
    for (const Case &c : cases) {
        DSError error;
        auto conn = connector(d(), c.url);
        EXPECT_FALSE(conn->connect(&error)) << c.what;
        EXPECT_EQ(error.code, c.code) << c.what;
        EXPECT_EQ(error.localizedDescription, DSDatabaseConnector::stringForErrorCode(c.code)) << c.what;
        EXPECT_FALSE(conn->databaseArray(&error)) << c.what;
        EXPECT_EQ(error.code, c.code) << c.what;
    }
    DSError error;
    EXPECT_FALSE(connector(d(), cases[0].url)->tableArray(&error));
    EXPECT_EQ(error.localizedDescription, QStringLiteral("Invalid password"));
}

TEST_P(ConnectorTest, PasswordWithQuoteAndBackslash)
{
    const QString password = QStringLiteral("a'b\\c d");
    const QString role = d() == PostgreSQL ? QStringLiteral("quoted_pg") : QStringLiteral("quoted_my");
    if (d() == PostgreSQL) {
        ds_pg_exec(QStringLiteral("postgres"), QStringLiteral("DROP ROLE IF EXISTS %1").arg(role));
        ASSERT_EQ(ds_pg_exec(QStringLiteral("postgres"),
                             QStringLiteral("CREATE ROLE %1 LOGIN PASSWORD E'a\\'b\\\\c d'").arg(role)),
                  "");
    } else {
        ds_my_exec(QString(), QStringLiteral("DROP USER IF EXISTS '%1'@'127.0.0.1'").arg(role));
        ASSERT_EQ(ds_my_exec(QString(), QStringLiteral("CREATE USER '%1'@'127.0.0.1' IDENTIFIED BY 'a\\'b\\\\c d'")
                                            .arg(role)),
                  "");
    }
    QUrl u = url(d() == PostgreSQL ? QStringLiteral("postgres") : QString(), password);
    u.setUserName(role);
    auto c = connector(d(), u);
    DSError error;
    EXPECT_TRUE(c->connect(&error)) << error.localizedDescription.toStdString();
    c->disconnect();
}

TEST_P(ConnectorTest, OnlyTemplatesIsAnEmptyDatabaseList)
{
    if (d() != PostgreSQL)
        GTEST_SKIP() << "PostgreSQL's template databases";
    // Every other database becomes a template for the moment.
    ASSERT_EQ(ds_pg_exec(QStringLiteral("postgres"),
                         QStringLiteral("CREATE TEMP TABLE marked AS SELECT datname FROM pg_database WHERE NOT "
                                        "datistemplate AND datname <> 'postgres'; DO $$ DECLARE r record; BEGIN FOR r "
                                        "IN SELECT datname FROM marked LOOP EXECUTE format('ALTER DATABASE %I "
                                        "IS_TEMPLATE true', r.datname); END LOOP; END $$")),
              "");
    DSError error;
    const auto names = connector(d(), url(QStringLiteral("postgres")))->databaseArray(&error);
    ds_pg_exec(QStringLiteral("postgres"),
               QStringLiteral("DO $$ DECLARE r record; BEGIN FOR r IN SELECT datname FROM pg_database WHERE "
                              "datistemplate AND datname NOT IN ('template0', 'template1') LOOP EXECUTE "
                              "format('ALTER DATABASE %I IS_TEMPLATE false', r.datname); END LOOP; END $$"));
    EXPECT_FALSE(names);
    EXPECT_EQ(error.code, 1);
    EXPECT_EQ(error.localizedDescription, QStringLiteral("Empty database"));
}

TEST_P(ConnectorTest, StoppedServerFailsWithinTheTimeout)
{
    const QString db = makeDatabase("stopped", QStringLiteral("CREATE TABLE t (a int); INSERT INTO t VALUES (1)"));
    const DatabaseServers &s = DatabaseServers::get();
    const int saved = ds_database_connect_timeout().exchange(2);
    {
        Stopped stopped(d() == PostgreSQL ? s.pgPid : s.myPid);
        QElapsedTimer timer;
        timer.start();
        DSError error;
        EXPECT_FALSE(connector(d(), url(db))->connect(&error));
        EXPECT_FALSE(error.localizedDescription.isEmpty());
        EXPECT_LT(timer.restart(), 5000) << error.localizedDescription.toStdString();

        auto query = std::make_shared<DSDatabaseSQLQuery>(QStringLiteral("SELECT a FROM t"));
        std::shared_ptr<DSDataImporterSQL> imp;
        if (d() == PostgreSQL)
            imp = std::make_shared<DSDataImporterPostgreSQL>(url(db), QList<DSDatabaseQueryPtr>{query});
        else
            imp = std::make_shared<DSDataImporterMySQL>(url(db), QList<DSDatabaseQueryPtr>{query});
        EXPECT_FALSE(imp->validateQueries(&error));
        EXPECT_EQ(error.localizedDescription, QStringLiteral("Lost connection"));
        EXPECT_LT(timer.restart(), 5000);

        ImportRun run(imp);
        run.run();
        EXPECT_TRUE(run.tables().isEmpty());
        EXPECT_FALSE(run.errorText().isEmpty());
        EXPECT_LT(timer.restart(), 5000) << run.errorText().toStdString();
    }
    ds_database_connect_timeout() = saved;
    // Continued, the server answers again.
    EXPECT_TRUE(connector(d(), url(db))->connect(nullptr));
}

INSTANTIATE_TEST_SUITE_P(Dialects, ConnectorTest, ::testing::Values(PostgreSQL, MySQL), ds_dialect_name);
