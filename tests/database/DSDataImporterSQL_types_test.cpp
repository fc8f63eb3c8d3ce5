// The SQL importers against the servers' own clients: every type of each
// server, NULLs in each, far years, as the connector lists the table and
// the importer reads it, cell by cell against what psql -A -t and
// mysql --batch print (fixtures/make_types.sh); Stop during a long
// statement, a frozen server, a connection killed mid-import, and
// same-named tables in two schemas.
#include "DatabaseServers.h"

#include "../import/ImportTestSupport.h"
#include "database/DSDataImporterMySQL.h"
#include "database/DSDataImporterPostgreSQL.h"
#include "database/DSDatabaseConnectorMySQL.h"
#include "database/DSDatabaseConnectorPostgreSQL.h"
#include "database/DSDatabaseSQLQuery.h"
#include "database/DSDatabaseTableQuery.h"
#include "database/ds_database_timeout.h"
#include "import/DSImportOperation.h"
#include "model/DSDataTable.h"
#include "model/DSNumberFormatter.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTextDataColumn.h"
#include "model/DSTimeDataColumn.h"
#include "platform/calendar/ds_gmt_calendar.h"
#include "platform/predicate/DSComparisonPredicate.h"
#include "platform/predicate/DSCompoundPredicate.h"

#include <QElapsedTimer>
#include <QFile>

#include <gtest/gtest.h>

#include <libpq-fe.h>
#include <mysql.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <thread>

namespace {

QString fixture(const char *name)
{
    QFile file(QStringLiteral(OSTREL_TEST_SOURCE_DIR "/fixtures/") + QString::fromUtf8(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return QString::fromUtf8(file.readAll());
}

// The first field of the first row a statement answers, through the
// importers' own statement helpers; a null text when it fails or answers
// nothing.
QString firstValue(Dialect d, const QUrl &url, const QString &sql)
{
    std::optional<QStringList> rows;
    if (d == PostgreSQL) {
        PGconn *connection = DSDataImporterPostgreSQL::connectionForURL(url);
        if (PQstatus(connection) == CONNECTION_OK)
            rows = DSDataImporterPostgreSQL::executeQuery(sql, connection, nullptr);
        PQfinish(connection);
    } else {
        unsigned number = 0;
        QString text;
        if (MYSQL *connection = DSDataImporterMySQL::openConnection(url, true, &number, &text)) {
            rows = DSDataImporterMySQL::executeQuery(sql, connection, nullptr);
            mysql_close(connection);
        }
    }
    return rows && !rows->isEmpty() ? rows->first() : QString();
}

// The server's id of the session running a statement that starts with the
// text (a PostgreSQL backend's process, a MariaDB connection); 0 while
// none runs. Waits up to 20 s for one.
qint64 sessionRunning(Dialect d, const QUrl &url, const QString &statementStart)
{
    const QString sql =
        d == PostgreSQL
            ? QStringLiteral("SELECT pid FROM pg_stat_activity WHERE state = 'active' AND query LIKE '%1%%'")
                  .arg(statementStart)
            : QStringLiteral("SELECT id FROM information_schema.processlist WHERE info LIKE '%1%%' AND id != "
                             "CONNECTION_ID()")
                  .arg(statementStart);
    QElapsedTimer wait;
    wait.start();
    while (wait.elapsed() < 20000) {
        const qint64 id = firstValue(d, url, sql).toLongLong();
        if (id)
            return id;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return 0;
}

// Restores the connect timeout the test shortened.
struct ShortTimeout
{
    int saved = ds_database_connect_timeout().exchange(2);
    ~ShortTimeout() { ds_database_connect_timeout() = saved; }
};

using TypesTest = DialectTest;

} // namespace

TEST_P(TypesTest, EveryTypeEqualsTheClientsOutput)
{
    const bool pg = d() == PostgreSQL;
    const QString db = makeDatabase("types", fixture(pg ? "types_pg.sql" : "types_my.sql"));
    // The table as the connector lists it: every column with a kind.
    std::unique_ptr<DSDatabaseConnector> connector;
    if (pg)
        connector = std::make_unique<DSDatabaseConnectorPostgreSQL>(url(db));
    else
        connector = std::make_unique<DSDatabaseConnectorMySQL>(url(db));
    DSError error;
    const auto tables = connector->tableArray(&error);
    ASSERT_TRUE(tables) << error.localizedDescription.toStdString();
    ASSERT_EQ(tables->size(), 1);
    DSDatabaseTableQueryPtr q = tables->front();
    EXPECT_EQ(q->table_name(), QStringLiteral("types"));
    for (const DSDatabaseColumnInfoPtr &column : q->columns())
        EXPECT_NE(column->type(), 0) << column->name().toStdString();
    q->setApply_sort(true);
    q->setSort_by_column_name(QStringLiteral("id"));

    ImportRun run(ds_sql_importer(d(), url(db), {q}));
    run.run();
    ASSERT_EQ(run.errorText(), QString());
    ASSERT_EQ(run.tables().size(), 1);
    DSDataTable *table = run.tables()[0];
    QStringList names;
    for (const DSDatabaseColumnInfoPtr &column : q->columns())
        names.append(column->name());
    for (int c = 0; c < names.size(); ++c)
        EXPECT_EQ(table->columnAtIndex(c)->name(), names[c]);
    ds_expect_equals_client(table, fixture(pg ? "types_pg.out" : "types_my.out"),
                       pg ? "nnnnnnnnnxxxxxxxxnxxxxxassaa" : "nnnnnnnfnnnnxxxxxxxxasaaa");

    auto *time = ds_object_cast<DSTimeDataColumn>(ds_column_named(table, "t"));
    ASSERT_TRUE(time);
    EXPECT_EQ(time->relative_time_unit(), 1);
    // A zero time of day is midnight, not missing; a date and time at
    // midnight keeps the interval of a second, a date a day's.
    EXPECT_EQ(ds_time_values(time)[0], 0);
    const char *dateTime = pg ? "ts" : "dt";
    for (const char *name : {dateTime, "ts"})
        for (double interval : ds_time_intervals(ds_object_cast<DSTimeDataColumn>(ds_column_named(table, name))))
            EXPECT_TRUE(interval == 1 || interval == 0) << name;
    for (double interval : ds_time_intervals(ds_object_cast<DSTimeDataColumn>(ds_column_named(table, "d"))))
        EXPECT_TRUE(interval == 86400 || interval == 0);
    if (pg) {
        // An interval is a duration in seconds.
        auto *duration = ds_object_cast<DSNumericDataColumn>(ds_column_named(table, "iv"));
        ASSERT_TRUE(duration);
        ASSERT_TRUE(duration->number_formatter());
        EXPECT_EQ(duration->number_formatter()->number_style(), 500);
        // The far years land in their own years.
        const std::vector<double> dates = ds_time_values(ds_object_cast<DSTimeDataColumn>(ds_column_named(table, "d")));
        EXPECT_EQ(ds_gmt_date(dates[5]).year, 32768);
        EXPECT_EQ(ds_gmt_date(dates[6]).year, 275000);
        EXPECT_EQ(ds_gmt_date(dates[7]).year, -4713);
    }
}

TEST_P(TypesTest, StopEndsALongStatementAtOnce)
{
    const bool pg = d() == PostgreSQL;
    const QString db = makeDatabase(
        "stop", pg ? QStringLiteral("CREATE VIEW slow AS SELECT 1 AS s FROM pg_sleep(15)")
                   : QStringLiteral("CREATE VIEW slow AS SELECT 1 AS s FROM DUAL WHERE SLEEP(15) = 0"));
    const QString sleep = pg ? QStringLiteral("SELECT pg_sleep(15)") : QStringLiteral("SELECT SLEEP(15)");
    // The count of a table query, and a custom statement.
    auto table = std::make_shared<DSDatabaseTableQuery>();
    table->setSource_table_name(QStringLiteral("slow"));
    table->setColumns({std::make_shared<DSDatabaseColumnInfo>(QStringLiteral("s"), 1)});
    struct Case
    {
        DSDatabaseQueryPtr query;
        QString running;
    } cases[] = {
        {table, QStringLiteral("SELECT COUNT(*) FROM ")},
        {std::make_shared<DSDatabaseSQLQuery>(sleep + QStringLiteral(" AS s")), sleep},
    };
    for (const Case &c : cases) {
        auto imp = ds_sql_importer(d(), url(db), {c.query});
        DSImportOperation operation;
        operation.start(imp, ds_import_test_model());
        ASSERT_NE(sessionRunning(d(), url(db), c.running), 0) << c.running.toStdString();
        QElapsedTimer timer;
        timer.start();
        imp->setAsyncAbort(true);
        ASSERT_TRUE(operation.waitForDone(10000));
        EXPECT_LT(timer.elapsed(), 1000) << c.running.toStdString();
        EXPECT_FALSE(imp->asyncResult());
        EXPECT_FALSE(imp->asyncError()) << imp->asyncError()->localizedDescription.toStdString();
        // The server let go of the statement too.
        QElapsedTimer gone;
        gone.start();
        const QString probe = pg ? QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE state = 'active' "
                                                  "AND query LIKE '%1%%'")
                                       .arg(c.running)
                                 : QStringLiteral("SELECT COUNT(*) FROM information_schema.processlist WHERE "
                                                  "info LIKE '%1%%' AND id != CONNECTION_ID()")
                                       .arg(c.running);
        while (firstValue(d(), url(db), probe) != QStringLiteral("0") && gone.elapsed() < 5000)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_LT(gone.elapsed(), 2000) << c.running.toStdString();
    }
}

TEST_P(TypesTest, AFrozenServerEndsTheImportAfterTheTimeout)
{
    const bool pg = d() == PostgreSQL;
    const QString db = makeDatabase("frozen", QStringLiteral("CREATE TABLE t (a int)"));
    const ShortTimeout timeout;
    // A statement that would answer after a second, well inside the limit,
    // had the server not stopped.
    const QString sql = pg ? QStringLiteral("SELECT 1 AS a FROM pg_sleep(1)") : QStringLiteral("SELECT SLEEP(1) AS a");
    auto imp = ds_sql_importer(d(), url(db), {std::make_shared<DSDatabaseSQLQuery>(sql)});
    DSImportOperation operation;
    operation.start(imp, ds_import_test_model());
    const qint64 session = sessionRunning(d(), url(db), sql);
    ASSERT_NE(session, 0);
    // PostgreSQL's backend of the import, or the whole MariaDB server.
    const pid_t frozen = pid_t(pg ? session : DatabaseServers::get().myPid);
    ASSERT_EQ(::kill(frozen, SIGSTOP), 0);
    QElapsedTimer timer;
    timer.start();
    const bool done = operation.waitForDone(20000);
    const qint64 elapsed = timer.elapsed();
    ::kill(frozen, SIGCONT);
    ASSERT_TRUE(done);
    EXPECT_GE(elapsed, 1000);
    EXPECT_LT(elapsed, 8000);
    EXPECT_FALSE(imp->asyncResult());
    ASSERT_TRUE(imp->asyncError());
    const QString message = imp->asyncError()->localizedDescription;
    EXPECT_TRUE(message.startsWith(pg ? QStringLiteral("Error fetching: ") : QStringLiteral("Error fetching data: ")))
        << message.toStdString();
    EXPECT_GT(message.size(), 24) << message.toStdString();
}

TEST_P(TypesTest, AConnectionLostMidImportNamesTheReason)
{
    const bool pg = d() == PostgreSQL;
    const QString db = makeDatabase("lost", QStringLiteral("CREATE TABLE t (a int)"));
    const QString sql = pg ? QStringLiteral("SELECT 1 AS a FROM pg_sleep(10)") : QStringLiteral("SELECT SLEEP(10) AS a");
    auto imp = ds_sql_importer(d(), url(db), {std::make_shared<DSDatabaseSQLQuery>(sql)});
    DSImportOperation operation;
    operation.start(imp, ds_import_test_model());
    const qint64 session = sessionRunning(d(), url(db), sql);
    ASSERT_NE(session, 0);
    EXPECT_EQ(exec(db, pg ? QStringLiteral("SELECT pg_terminate_backend(%1)").arg(session)
                          : QStringLiteral("KILL CONNECTION %1").arg(session)),
              "");
    ASSERT_TRUE(operation.waitForDone(10000));
    EXPECT_FALSE(imp->asyncResult());
    ASSERT_TRUE(imp->asyncError());
    // "Error …: " and the client library's reason.
    const QString message = imp->asyncError()->localizedDescription;
    EXPECT_TRUE(message.startsWith(QStringLiteral("Error "))) << message.toStdString();
    EXPECT_FALSE(message.section(QStringLiteral(": "), 1).trimmed().isEmpty()) << message.toStdString();
}

namespace {

// An empty PostgreSQL database of that name, made afresh.
QString freshPostgreSQLDatabase(const char *name)
{
    ds_import_test_model();
    const QString db = QString::fromUtf8(name);
    ds_pg_exec(QStringLiteral("postgres"), QStringLiteral("DROP DATABASE IF EXISTS %1").arg(db));
    EXPECT_EQ(ds_pg_exec(QStringLiteral("postgres"), QStringLiteral("CREATE DATABASE %1").arg(db)), "");
    return db;
}

} // namespace

INSTANTIATE_TEST_SUITE_P(Dialects, TypesTest, ::testing::Values(PostgreSQL, MySQL), ds_dialect_name);

TEST(DSDataImporterPostgreSQLSchemas, EachSchemasTableIsListedAndImportsItsOwnRows)
{
    SKIP_WITHOUT_POSTGRESQL();
    const QString db = freshPostgreSQLDatabase("schemas_pg");
    // The user's own schema comes first on the default search path; a
    // third schema is added to it, and one stays off it.
    const QString user = DatabaseServers::get().user;
    ASSERT_EQ(ds_pg_exec(db, QStringLiteral(
                                 "CREATE SCHEMA %1; CREATE SCHEMA extra; CREATE SCHEMA hidden;"
                                 "CREATE TABLE public.t (a int); INSERT INTO public.t VALUES (1), (2);"
                                 "CREATE TABLE %1.t (a int); INSERT INTO %1.t VALUES (10);"
                                 "CREATE TABLE extra.u (a int); INSERT INTO extra.u VALUES (7);"
                                 "CREATE TABLE hidden.h (a int); INSERT INTO hidden.h VALUES (0);"
                                 "ALTER DATABASE %2 SET search_path = \"$user\", public, extra")
                                 .arg(user, db)),
              "");
    DSDatabaseConnectorPostgreSQL connector(DatabaseServers::get().pgURL(db));
    DSError error;
    const auto tables = connector.tableArray(&error);
    ASSERT_TRUE(tables) << error.localizedDescription.toStdString();
    QStringList names;
    for (const DSDatabaseTableQueryPtr &table : *tables)
        names.append(table->table_name());
    EXPECT_EQ(names, (QStringList{user + QStringLiteral(".t"), QStringLiteral("public.t"), QStringLiteral("u")}));
    QList<DSDatabaseQueryPtr> queries(tables->begin(), tables->end());
    ImportRun run(std::make_shared<DSDataImporterPostgreSQL>(DatabaseServers::get().pgURL(db), queries));
    run.run();
    ASSERT_EQ(run.errorText(), QString());
    ASSERT_EQ(run.tables().size(), 3);
    const std::vector<std::vector<double>> expected = {{10}, {1, 2}, {7}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(run.tables()[i]->name(), names[i]);
        EXPECT_EQ(ds_column_values(ds_object_cast<DSNumericDataColumn>(run.tables()[i]->columnAtIndex(0))),
                  expected[size_t(i)])
            << names[i].toStdString();
    }
}

TEST(DSDataImporterPostgreSQLConditions, AZeroCharacterInAConditionIsRefusedByName)
{
    SKIP_WITHOUT_POSTGRESQL();
    const QString db = freshPostgreSQLDatabase("nul_pg");
    ASSERT_EQ(ds_pg_exec(db, QStringLiteral("CREATE TABLE t (s text); INSERT INTO t VALUES ('a')")), "");
    auto q = std::make_shared<DSDatabaseTableQuery>();
    q->setSource_table_name(QStringLiteral("t"));
    q->setColumns({std::make_shared<DSDatabaseColumnInfo>(QStringLiteral("s"), 4)});
    q->setApply_predicate(true);
    q->setPredicate(DSCompoundPredicate::andPredicate({DSComparisonPredicate::make(
        DSExpression::forConstantValue(DSPredicateValue::fromString(QStringLiteral("s"))),
        DSPredicateOperatorType::EqualTo,
        DSExpression::forConstantValue(DSPredicateValue::fromString(QStringLiteral("a") + QChar(0) + u'b')))}));
    ImportRun run(std::make_shared<DSDataImporterPostgreSQL>(DatabaseServers::get().pgURL(db),
                                                             QList<DSDatabaseQueryPtr>{q}));
    run.run();
    EXPECT_TRUE(run.tables().isEmpty());
    EXPECT_TRUE(run.errorText().contains(QStringLiteral("zero (NUL) character"))) << run.errorText().toStdString();
}
