// The SQL importers against real PostgreSQL and MariaDB servers: the SQL
// text run on both, every column kind against the servers' own clients,
// zoned times, validation, failures and progress with abort.
#include "DatabaseServers.h"

#include "../import/ImportTestSupport.h"
#include "database/DSDataImporterMySQL.h"
#include "database/DSDataImporterPostgreSQL.h"
#include "database/DSDatabaseSQLQuery.h"
#include "database/DSDatabaseTableQuery.h"
#include "database/ds_database_timeout.h"
#include "model/DSDataTable.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTextDataColumn.h"
#include "model/DSTimeDataColumn.h"
#include "platform/calendar/ds_gmt_calendar.h"
#include "platform/predicate/DSComparisonPredicate.h"
#include "platform/predicate/DSCompoundPredicate.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <mysql.h>

#include <csignal>
#include <cmath>

namespace {

using Op = DSPredicateOperatorType;

DSDatabaseTableQueryPtr tableQuery(const QString &name, const QList<std::pair<QString, qint64>> &columns)
{
    auto q = std::make_shared<DSDatabaseTableQuery>();
    q->setSource_table_name(name);
    QList<DSDatabaseColumnInfoPtr> list;
    for (const auto &[columnName, kind] : columns)
        list.append(std::make_shared<DSDatabaseColumnInfo>(columnName, kind));
    q->setColumns(list);
    return q;
}

DSPredicatePtr cmp(const QString &column, Op op, const DSPredicateValue &value)
{
    return DSComparisonPredicate::make(DSExpression::forConstantValue(DSPredicateValue::fromString(column)), op,
                                       DSExpression::forConstantValue(value));
}

template <class T>
T *column(DSDataTable *table, qint64 i)
{
    return ds_object_cast<T>(table->columnAtIndex(i));
}

double gmt(int64_t y, int mo, int d, int h = 0, int mi = 0, double s = 0)
{
    ds_gmt_date_s date;
    date.year = y, date.month = mo, date.day = d, date.hour = h, date.minute = mi, date.second = s;
    return ds_gmt_absolute_time(date);
}

using ServerTest = DialectTest;

// The texts of the rows a text condition selects, imported in id order.
std::vector<std::string> selectedTexts(Dialect d, const QUrl &url, const DSPredicatePtr &predicate,
                                       bool backslashEscapes = true)
{
    auto q = tableQuery(QStringLiteral("wild"), {{"id", 1}, {"s", 4}});
    q->setApply_predicate(true);
    q->setPredicate(predicate);
    q->setApply_sort(true);
    q->setSort_by_column_name(QStringLiteral("id"));
    auto imp = ds_sql_importer(d, url, {q});
    if (auto *my = dynamic_cast<DSDataImporterMySQL *>(imp.get()))
        my->setBackslashEscapes(backslashEscapes);
    ImportRun run(imp);
    run.run();
    EXPECT_EQ(run.errorText(), QString());
    const QList<DSDataTable *> tables = run.tables();
    if (tables.size() != 1)
        return {};
    return ds_text_values(column<DSTextDataColumn>(tables[0], 1));
}

} // namespace

TEST_P(ServerTest, LikePatternsMatchExactlyTheirRows)
{
    const QString setup = d() == PostgreSQL
                              ? QStringLiteral("CREATE TABLE wild (id int, s text); INSERT INTO wild VALUES "
                                               "(1, E'%_\\\\''x'), (2, E'a_\\\\''x'), (3, E'%x\\\\''x'), (4, 'plain'), "
                                               "(5, E'y%_\\\\'''), (6, E'%_\\\\')")
                              : QStringLiteral("CREATE TABLE wild (id int, s text); INSERT INTO wild VALUES "
                                               "(1, '%_\\\\''x'), (2, 'a_\\\\''x'), (3, '%x\\\\''x'), (4, 'plain'), "
                                               "(5, 'y%_\\\\'''), (6, '%_\\\\')");
    const QUrl dbURL = url(makeDatabase("wild", setup));
    const QString wild = QStringLiteral("%_\\'");
    using V = std::vector<std::string>;
    EXPECT_EQ(selectedTexts(d(), dbURL, cmp("s", Op::BeginsWith, DSPredicateValue::fromString(wild))),
              (V{"%_\\'x"}));
    EXPECT_EQ(selectedTexts(d(), dbURL, cmp("s", Op::EndsWith, DSPredicateValue::fromString(wild))), (V{"y%_\\'"}));
    EXPECT_EQ(selectedTexts(d(), dbURL, cmp("s", Op::Contains, DSPredicateValue::fromString(QStringLiteral("_\\'")))),
              (V{"%_\\'x", "a_\\'x", "y%_\\'"}));
    EXPECT_EQ(selectedTexts(d(), dbURL, cmp("s", Op::EqualTo, DSPredicateValue::fromString(QStringLiteral("%_\\")))),
              (V{"%_\\"}));
    EXPECT_EQ(selectedTexts(d(), dbURL, cmp("s", Op::Like, DSPredicateValue::fromString(QStringLiteral("_\\_%")))),
              (V{"%_\\'x", "a_\\'x", "%_\\"}));
    // AND(a, OR(b, c)): without the parentheses row 4 would come too.
    auto andOr = DSCompoundPredicate::andPredicate(
        {cmp("s", Op::Contains, DSPredicateValue::fromString(QStringLiteral("x"))),
         DSCompoundPredicate::orPredicate({cmp("s", Op::BeginsWith, DSPredicateValue::fromString(QStringLiteral("a"))),
                                           cmp("s", Op::EqualTo, DSPredicateValue::fromString(QStringLiteral("plain")))})});
    EXPECT_EQ(selectedTexts(d(), dbURL, andOr), (V{"a_\\'x"}));
}

TEST_P(ServerTest, MySQLUnderAnsiQuotesAndNoBackslashEscapes)
{
    if (d() != MySQL)
        GTEST_SKIP() << "a MySQL sql_mode";
    const QString db = makeDatabase("modes",
                                    QStringLiteral("CREATE TABLE wild (id int, s text); INSERT INTO wild VALUES "
                                                   "(1, '%_\\\\''x'), (2, 'a_\\\\''x'), (6, '%_\\\\')"));
    // A server whose sessions start in this mode: the importer reads it
    // from its own session.
    ASSERT_EQ(ds_my_exec(db, QStringLiteral("SET GLOBAL sql_mode = 'ANSI_QUOTES,NO_BACKSLASH_ESCAPES'")), "");
    auto q = tableQuery(QStringLiteral("wild"), {{"id", 1}, {"s", 4}});
    q->setApply_predicate(true);
    q->setPredicate(cmp("s", Op::BeginsWith, DSPredicateValue::fromString(QStringLiteral("%_\\'"))));
    DSDataImporterMySQL probe(url(db), {q});
    DSError error;
    if (MYSQL *connection = probe.connectionForURL(url(db), &error))
        mysql_close(connection);
    EXPECT_FALSE(probe.backslashEscapes());
    auto imp = std::make_shared<DSDataImporterMySQL>(url(db), QList<DSDatabaseQueryPtr>{q});
    ImportRun run(imp);
    run.run();
    ds_my_exec(db, QStringLiteral("SET GLOBAL sql_mode = DEFAULT"));
    EXPECT_FALSE(imp->backslashEscapes());
    EXPECT_EQ(run.errorText(), QString());
    ASSERT_EQ(run.tables().size(), 1);
    EXPECT_EQ(ds_text_values(column<DSTextDataColumn>(run.tables()[0], 1)), (std::vector<std::string>{"%_\\'x"}));
}

TEST_P(ServerTest, EveryKindEqualsTheServersClient)
{
    const QString longText = QString(1000, QChar(0xE9)); // 2,000 bytes of UTF-8
    QString output;
    const char *kinds;
    QString db;
    auto q = std::make_shared<DSDatabaseTableQuery>();
    q->setSource_table_name(QStringLiteral("alltypes"));
    q->setApply_sort(true);
    q->setSort_by_column_name(QStringLiteral("id"));
    const DatabaseServers &s = DatabaseServers::get();
    if (d() == PostgreSQL) {
        db = makeDatabase("kinds", QStringLiteral(
            "CREATE TABLE alltypes (id int, i bigint, r double precision, nm numeric, bo boolean, tx text, "
            "by bytea, d date, t time, ts timestamp, tz timestamptz);"
            "INSERT INTO alltypes VALUES "
            "(1, -42, 0.1, 12345.678, true, repeat(E'\\u00e9', 1000), '\\x0102', '2012-02-29', '13:45:30.5', "
            "'2020-01-01 12:00:00.75', '2020-01-01 12:00+01'),"
            "(2, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),"
            "(3, 9007199254740993, 1e-300, -0.5, false, 'plain', '', '1999-12-31', '00:00:00', "
            "'1970-01-01 00:00:00', '1999-12-31 23:59:59-08')"));
        for (const char *c : {"id", "i", "r", "nm", "bo", "tx", "by", "d", "t", "ts", "tz"})
            q->setColumns(QList<DSDatabaseColumnInfoPtr>(q->columns()) << std::make_shared<DSDatabaseColumnInfo>(QString::fromUtf8(c), 0));
        output = ds_run_client(QStringLiteral("psql"),
                               {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                                QString::number(s.pgPort), QStringLiteral("-U"), s.user, QStringLiteral("-d"), db,
                                QStringLiteral("-A"), QStringLiteral("-t"), QStringLiteral("-F"), QStringLiteral("\t"),
                                QStringLiteral("-P"), QStringLiteral("null=NULL"), QStringLiteral("-c"),
                                QStringLiteral("SELECT id, i, r, nm, bo::int, tx, by, extract(epoch from d), "
                                               "floor(extract(epoch from t)), floor(extract(epoch from ts)), "
                                               "extract(epoch from tz) FROM alltypes ORDER BY id")});
        kinds = "nnnnnxxasaa";
    } else {
        db = makeDatabase("kinds", QStringLiteral(
            "CREATE TABLE alltypes (id int, i bigint, r double, nm decimal(12,3), bi bit(3), bo boolean, tx text, "
            "bl blob, d date, t time, dt datetime, ts timestamp NULL, y year);"
            "INSERT INTO alltypes VALUES "
            "(1, -42, 0.1, 12345.678, b'101', 1, REPEAT('\u00e9', 1000), x'41424344', '2012-02-29', '13:45:30', "
            "'2020-01-01 12:00:00', '2020-01-01 16:00:00', 2012),"
            "(2, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),"
            "(3, 9007199254740993, 1e-300, -0.5, b'0', 0, 'plain', '', '1999-12-31', '23:59:59', "
            "'1970-01-01 00:00:01', '1999-12-31 23:59:59', 1999)"));
        for (const char *c : {"id", "i", "r", "nm", "bi", "bo", "tx", "bl", "d", "t", "dt", "ts", "y"})
            q->setColumns(QList<DSDatabaseColumnInfoPtr>(q->columns()) << std::make_shared<DSDatabaseColumnInfo>(QString::fromUtf8(c), 0));
        output = ds_run_client(QStringLiteral("mysql"),
                               {QStringLiteral("--no-defaults"), QStringLiteral("-h"), QStringLiteral("127.0.0.1"),
                                QStringLiteral("-P"), QString::number(s.myPort), QStringLiteral("-u"), s.user,
                                QStringLiteral("--default-character-set=utf8mb4"), QStringLiteral("--batch"),
                                QStringLiteral("--skip-column-names"), db, QStringLiteral("-e"),
                                QStringLiteral("SET time_zone = '+00:00'; SELECT id, i, r, nm, bi+0, bo, tx, bl, "
                                               "UNIX_TIMESTAMP(CAST(d AS DATETIME)), TIME_TO_SEC(t), "
                                               "UNIX_TIMESTAMP(dt), UNIX_TIMESTAMP(ts), "
                                               "UNIX_TIMESTAMP(MAKEDATE(y, 1)) FROM alltypes ORDER BY id")});
        kinds = "nnnnnnxxasaaa";
    }
    ImportRun run(ds_sql_importer(d(), url(db), {q}));
    run.run();
    ASSERT_EQ(run.errorText(), QString());
    ASSERT_EQ(run.tables().size(), 1);
    DSDataTable *table = run.tables()[0];
    EXPECT_EQ(table->name(), QStringLiteral("alltypes"));
    ds_expect_equals_client(table, output, kinds);

    // The long text arrives whole, and the interval of each time kind.
    const int textColumn = d() == PostgreSQL ? 5 : 6;
    EXPECT_EQ(ds_text_values(column<DSTextDataColumn>(table, textColumn))[0], longText.toStdString());
    const int date = d() == PostgreSQL ? 7 : 8;
    EXPECT_EQ(ds_time_intervals(column<DSTimeDataColumn>(table, date))[0], 86400);
    EXPECT_EQ(column<DSTimeDataColumn>(table, date + 1)->relative_time_unit(), 1);
    EXPECT_EQ(ds_time_intervals(column<DSTimeDataColumn>(table, date + 1))[0], 1);
    EXPECT_EQ(ds_time_intervals(column<DSTimeDataColumn>(table, date + 2))[0], 1);
    // A zoned value keeps its instant: 12:00+01 in Berlin's session, 16:00
    // under +05:00.
    EXPECT_EQ(ds_time_values(column<DSTimeDataColumn>(table, date + 3))[0], gmt(2020, 1, 1, 11));
    if (d() == PostgreSQL) {
        auto *flag = column<DSNumericDataColumn>(table, 4);
        EXPECT_TRUE(flag->treat_as_categories());
        EXPECT_EQ(flag->category_labels().value(0).toString(), QStringLiteral("FALSE"));
        EXPECT_EQ(flag->category_labels().value(1).toString(), QStringLiteral("TRUE"));
    } else {
        auto *year = column<DSTimeDataColumn>(table, 12);
        EXPECT_EQ(ds_time_values(year)[0], gmt(2012, 1, 1));
        EXPECT_EQ(ds_time_intervals(year)[0], 366 * 86400.0);
        EXPECT_EQ(ds_time_intervals(year)[2], 365 * 86400.0);
    }
}

TEST_P(ServerTest, RowLimitsIdentifiersAndEmptyResults)
{
    const QString setup =
        d() == PostgreSQL
            ? QStringLiteral("CREATE TABLE \"we`i\"\"rd\" (\"c`o\"\"l\" int); INSERT INTO \"we`i\"\"rd\" "
                             "SELECT g FROM generate_series(1, 250) g; CREATE TABLE empty (x int)")
            : QStringLiteral("CREATE TABLE `we``i\"rd` (`c``o\"l` int); INSERT INTO `we``i\"rd` "
                             "WITH RECURSIVE g(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM g WHERE n < 250) "
                             "SELECT n FROM g; CREATE TABLE empty (x int)");
    const QUrl dbURL = url(makeDatabase("limits", setup));
    auto make = [](qint64 disposition) {
        auto q = tableQuery(QStringLiteral("we`i\"rd"), {{QStringLiteral("c`o\"l"), 1}});
        q->setApply_sort(true);
        q->setSort_by_column_name(QStringLiteral("c`o\"l"));
        q->setApply_row_limit(true);
        q->setRow_limit(100);
        q->setRow_disposition(disposition);
        return q;
    };
    auto first = make(0), last = make(1);
    auto none = tableQuery(QStringLiteral("empty"), {{QStringLiteral("x"), 1}});
    ImportRun run(ds_sql_importer(d(), dbURL, {first, last, none}));
    run.run();
    ASSERT_EQ(run.errorText(), QString());
    EXPECT_EQ(first->unlimited_count(), 250);
    const QList<DSDataTable *> tables = run.tables();
    // A query without rows makes an empty table on MySQL and none on
    // PostgreSQL, whose columns come from the first row.
    ASSERT_EQ(tables.size(), d() == PostgreSQL ? 2 : 3);
    const std::vector<double> a = ds_column_values(column<DSNumericDataColumn>(tables[0], 0));
    const std::vector<double> b = ds_column_values(column<DSNumericDataColumn>(tables[1], 0));
    ASSERT_EQ(a.size(), 100u);
    ASSERT_EQ(b.size(), 100u);
    EXPECT_EQ(a.front(), 1);
    EXPECT_EQ(a.back(), 100);
    EXPECT_EQ(b.front(), 151);
    EXPECT_EQ(b.back(), 250);
    EXPECT_EQ(column<DSNumericDataColumn>(tables[0], 0)->name(), QStringLiteral("c`o\"l"));
    if (d() == MySQL) {
        EXPECT_EQ(tables[2]->num_records(), 0);
    }
}

TEST_P(ServerTest, TextsArriveAsUTF8WhateverTheServerHolds)
{
    // A PostgreSQL database in Latin-1, and MySQL bytes that are not UTF-8.
    QString db;
    if (d() == PostgreSQL) {
        db = QStringLiteral("latin_pg");
        exec(admin(), QStringLiteral("DROP DATABASE IF EXISTS %1").arg(db));
        ASSERT_EQ(exec(admin(), QStringLiteral("CREATE DATABASE %1 ENCODING 'LATIN1' LC_COLLATE 'C' LC_CTYPE 'C' "
                                               "TEMPLATE template0")
                                    .arg(db)),
                  "");
        ASSERT_EQ(exec(db, QStringLiteral("CREATE TABLE t (s text); INSERT INTO t VALUES (E'caf\\u00e9')")), "");
    } else {
        db = makeDatabase("bytes", QStringLiteral("CREATE TABLE t (s blob); INSERT INTO t VALUES (x'636166E9')"));
    }
    ImportRun run(ds_sql_importer(d(), url(db), {tableQuery(QStringLiteral("t"), {{"s", 4}})}));
    run.run();
    ASSERT_EQ(run.errorText(), QString());
    ASSERT_EQ(run.tables().size(), 1);
    EXPECT_EQ(ds_text_values(column<DSTextDataColumn>(run.tables()[0], 0)), (std::vector<std::string>{"caf\xc3\xa9"}));
}

TEST_P(ServerTest, ValidationOfCustomSQL)
{
    const QUrl dbURL = url(makeDatabase("valid", QStringLiteral("CREATE TABLE t (a int)")));
    struct Case
    {
        const char *sql;
        int code; // 0: passes
        const char *message;
    } cases[] = {
        {"SELECT a FROM t", 0, ""},
        {"SELEKT a FROM t", 5, "Syntax error"},
        {"SELECT a FROM missing_table", 2, "Unknown table"},
        {"SELECT nope FROM t", 3, "Unknown column"},
    };
    for (const Case &c : cases) {
        auto imp = ds_sql_importer(d(), dbURL, {std::make_shared<DSDatabaseSQLQuery>(QString::fromUtf8(c.sql)),
                                       tableQuery(QStringLiteral("t"), {{"a", 1}})});
        DSError error;
        EXPECT_EQ(imp->validateQueries(&error), c.code == 0) << c.sql;
        if (c.code) {
            EXPECT_EQ(error.code, c.code) << c.sql;
            EXPECT_EQ(error.localizedDescription.toStdString(), c.message) << c.sql;
        }
    }
    // An empty text: PostgreSQL refuses it before connecting (the closed
    // port would say "Lost connection"); MySQL's server calls it empty.
    QUrl closed = dbURL;
    closed.setPort(1);
    auto blank = std::make_shared<DSDatabaseSQLQuery>(QStringLiteral(" \n\t"));
    DSError error;
    EXPECT_FALSE(ds_sql_importer(d(), d() == PostgreSQL ? closed : dbURL, {blank})->validateQueries(&error));
    EXPECT_EQ(error.code, 4);
    EXPECT_EQ(error.localizedDescription, QStringLiteral("Empty query"));
    // Table queries always pass, even against a server that is not there.
    EXPECT_TRUE(ds_sql_importer(d(), closed, {tableQuery(QStringLiteral("t"), {{"a", 1}})})->validateQueries(&error));
    EXPECT_FALSE(ds_sql_importer(d(), closed, {std::make_shared<DSDatabaseSQLQuery>(QStringLiteral("SELECT 1"))})
                     ->validateQueries(&error));
    EXPECT_EQ(error.localizedDescription, QStringLiteral("Lost connection"));
}

TEST_P(ServerTest, ProgressAcrossQueriesAndAbortInTheSecond)
{
    const QString setup =
        d() == PostgreSQL
            ? QStringLiteral("CREATE TABLE a AS SELECT g AS x FROM generate_series(1, 50) g; "
                             "CREATE TABLE b AS SELECT g AS x FROM generate_series(1, 30) g")
            : QStringLiteral("CREATE TABLE a (x int); CREATE TABLE b (x int); INSERT INTO a WITH RECURSIVE g(n) AS "
                             "(SELECT 1 UNION ALL SELECT n + 1 FROM g WHERE n < 50) SELECT n FROM g; "
                             "INSERT INTO b SELECT x FROM a WHERE x <= 30");
    const QUrl dbURL = url(makeDatabase("progress", setup));
    auto queries = [] {
        QList<DSDatabaseQueryPtr> list;
        for (const char *t : {"a", "b"}) {
            auto q = tableQuery(QString::fromUtf8(t), {{"x", 1}});
            q->setApply_row_limit(true);
            q->setRow_limit(40);
            list.append(q);
        }
        return list;
    };
    ImportRun run(ds_sql_importer(d(), dbURL, queries()));
    run.run();
    ASSERT_EQ(run.errorText(), QString());
    ASSERT_EQ(run.tables().size(), 2);
    EXPECT_EQ(run.tables()[0]->num_records(), 40);
    EXPECT_EQ(run.tables()[1]->num_records(), 30);
    // 70 rows in all: half of them after the 35th.
    EXPECT_NE(std::find(run.progress.begin(), run.progress.end(), 0.5), run.progress.end());
    EXPECT_FALSE(run.importer->asyncProgressIsIndeterminate());
    EXPECT_EQ(run.progress.back(), 1);

    // An abort while the second table's rows arrive: no tables, no error.
    auto aborted = ds_sql_importer(d(), dbURL, queries());
    ImportRun second(aborted);
    aborted->setProgressObserver([raw = aborted.get(), &second](double p) {
        second.progress.push_back(p);
        if (p > 45.0 / 70 && p < 1)
            raw->setAsyncAbort(true);
    });
    second.run();
    EXPECT_TRUE(second.tables().isEmpty());
    EXPECT_EQ(second.errorText(), QString());

    // Only custom SQL: no total to show.
    ImportRun custom(ds_sql_importer(d(), dbURL, {std::make_shared<DSDatabaseSQLQuery>(QStringLiteral("SELECT x FROM a"))}));
    custom.run();
    EXPECT_TRUE(custom.importer->asyncProgressIsIndeterminate());
    ASSERT_EQ(custom.tables().size(), 1);
    EXPECT_EQ(custom.tables()[0]->name(), QStringLiteral("New Table"));
    EXPECT_EQ(custom.tables()[0]->num_records(), 50);
}

TEST_P(ServerTest, FailuresOfConnectionAndStatement)
{
    const QUrl dbURL = url(makeDatabase("fail", QStringLiteral("CREATE TABLE t (a int)")));
    QUrl wrong = dbURL;
    wrong.setPassword(QStringLiteral("wrong"));
    ImportRun denied(ds_sql_importer(d(), wrong, {tableQuery(QStringLiteral("t"), {{"a", 1}})}));
    denied.run();
    EXPECT_TRUE(denied.tables().isEmpty());
    EXPECT_TRUE(denied.errorText().startsWith(d() == PostgreSQL ? QStringLiteral("1 Error connecting: ")
                                                                : QStringLiteral("1 Error connecting to database: ")))
        << denied.errorText().toStdString();
    EXPECT_FALSE(denied.errorText().contains(DatabaseServers::get().password));

    ImportRun missing(ds_sql_importer(d(), dbURL, {tableQuery(QStringLiteral("nope"), {{"a", 1}})}));
    missing.run();
    EXPECT_TRUE(missing.tables().isEmpty());
    EXPECT_TRUE(missing.errorText().startsWith(d() == PostgreSQL ? QStringLiteral("1 Error fetching: ")
                                                                 : QStringLiteral("1 Error executing ")))
        << missing.errorText().toStdString();

    ImportRun bad(ds_sql_importer(d(), dbURL, {std::make_shared<DSDatabaseSQLQuery>(QStringLiteral("SELECT nope FROM t"))}));
    bad.run();
    EXPECT_TRUE(bad.tables().isEmpty());
    EXPECT_TRUE(bad.errorText().startsWith(d() == PostgreSQL ? QStringLiteral("1 Error connecting: ")
                                                             : QStringLiteral("1 Error preparing statement: ")))
        << bad.errorText().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Dialects, ServerTest, ::testing::Values(PostgreSQL, MySQL), ds_dialect_name);
