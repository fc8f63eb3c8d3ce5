// The query objects, the SQL text both dialects build from them, the quoting
// and classification functions, and the error-code tables; nothing here
// talks to a server.
#include "database/DSDataImporterMySQL.h"
#include "database/DSDataImporterPostgreSQL.h"
#include "database/DSDatabaseConnectorMySQL.h"
#include "database/DSDatabaseConnectorPostgreSQL.h"
#include "database/DSDatabaseSQLQuery.h"
#include "database/DSDatabaseTableQuery.h"
#include "model/util/ds_sql_text.h"
#include "platform/calendar/ds_gmt_calendar.h"
#include "platform/predicate/DSComparisonPredicate.h"
#include "platform/predicate/DSCompoundPredicate.h"

#include <QDateTime>

#include <gtest/gtest.h>

namespace {

using Op = DSPredicateOperatorType;

DSPredicatePtr cmp(const QString &column, Op op, const DSPredicateValue &value)
{
    return DSComparisonPredicate::make(DSExpression::forConstantValue(DSPredicateValue::fromString(column)), op,
                                       DSExpression::forConstantValue(value));
}

DSPredicateValue text(const QString &s)
{
    return DSPredicateValue::fromString(s);
}

DSPredicateValue number(double x)
{
    return DSPredicateValue::fromNumber(x);
}

// A local date and time as the predicate editor holds it.
DSPredicateValue localDate(int y, int mo, int d, int h, int mi)
{
    const QDateTime local(QDate(y, mo, d), QTime(h, mi));
    return DSPredicateValue::fromDate(double(local.toSecsSinceEpoch()) - kDSUnixToAbsoluteTime);
}

// The table "t" with the columns n (numeric), s (text), f (boolean),
// b (bit), d (date and time), h (time of day); s is not ticked.
DSDatabaseTableQueryPtr table(const QString &name = QStringLiteral("t"))
{
    auto q = std::make_shared<DSDatabaseTableQuery>();
    q->setSource_table_name(name);
    const std::pair<const char *, qint64> columns[] = {{"n", 1}, {"s", 4}, {"f", 2}, {"b", 3}, {"d", 6}, {"h", 7}};
    QList<DSDatabaseColumnInfoPtr> list;
    for (const auto &[columnName, kind] : columns)
        list.append(std::make_shared<DSDatabaseColumnInfo>(QString::fromUtf8(columnName), kind));
    list[1]->setIs_enabled(false);
    q->setColumns(list);
    return q;
}

DSDatabaseTableQueryPtr where(DSPredicatePtr predicate)
{
    auto q = table();
    q->setApply_predicate(true);
    q->setPredicate(std::move(predicate));
    return q;
}

const QString kSelectMy = QStringLiteral("SELECT `n`, `f`, `b`, `d`, `h` FROM `t`");
const QString kSelectPg = QStringLiteral("SELECT \"n\", \"f\", \"b\", \"d\", \"h\" FROM \"t\"");

} // namespace

TEST(DSDatabaseTableQuery, LimitedCountAndDefaults)
{
    struct Case
    {
        bool apply;
        qint64 limit, unlimited, expected;
    } cases[] = {
        {true, 40, 50, 40}, {true, 40, 30, 30}, {true, 50, 50, 50}, {true, 0, 50, 50},
        {true, -3, 50, 50}, {false, 10, 50, 50}, {true, 10, 0, 0},
    };
    for (const Case &c : cases) {
        DSDatabaseTableQuery q;
        q.setApply_row_limit(c.apply);
        q.setRow_limit(c.limit);
        q.setUnlimited_count(c.unlimited);
        EXPECT_EQ(q.limited_count(), c.expected) << c.limit << " of " << c.unlimited;
    }
    DSDatabaseTableQuery fresh;
    EXPECT_TRUE(fresh.sort_ascending());
    EXPECT_FALSE(fresh.is_enabled() || fresh.apply_predicate() || fresh.apply_row_limit() || fresh.apply_sort());
    EXPECT_TRUE(DSDatabaseColumnInfo().is_enabled());
    EXPECT_EQ(DSDatabaseSQLQuery(QStringLiteral("SELECT 1 AS t")).table_name(), QStringLiteral("New Table"));
    EXPECT_EQ(table(QStringLiteral("people"))->table_name(), QStringLiteral("people"));
}

TEST(DSDatabaseTableQuery, DefaultPredicateByFirstColumnKind)
{
    struct Case
    {
        qint64 kind;
        const char *text; // the predicate's text form, or null for none
    } cases[] = {
        {1, "\"c\" > 0"},      {2, "\"c\" == TRUE"},         {3, "\"c\" == 1"},
        {4, "\"c\" == \"\""}, {0, nullptr},
    };
    for (const Case &c : cases) {
        DSDatabaseTableQuery q;
        q.setColumns({std::make_shared<DSDatabaseColumnInfo>(QStringLiteral("c"), c.kind)});
        const DSPredicatePtr p = q.default_predicate();
        if (!c.text) {
            EXPECT_FALSE(p) << c.kind;
            continue;
        }
        ASSERT_TRUE(p) << c.kind;
        const auto *compound = dynamic_cast<const DSCompoundPredicate *>(p.get());
        ASSERT_TRUE(compound);
        EXPECT_EQ(compound->compoundPredicateType(), DSCompoundPredicateType::And);
        ASSERT_EQ(compound->subpredicates().size(), 1u);
        EXPECT_EQ(compound->subpredicates()[0]->toString().toStdString(), c.text) << c.kind;
    }
    for (qint64 kind : {5, 6, 7}) {
        DSDatabaseTableQuery q;
        q.setColumns({std::make_shared<DSDatabaseColumnInfo>(QStringLiteral("c"), kind)});
        const DSPredicatePtr p = q.default_predicate();
        const auto *compound = dynamic_cast<const DSCompoundPredicate *>(p.get());
        ASSERT_TRUE(compound);
        const auto *leaf = dynamic_cast<const DSComparisonPredicate *>(compound->subpredicates()[0].get());
        ASSERT_TRUE(leaf);
        EXPECT_EQ(leaf->predicateOperatorType(), Op::EqualTo);
        const double now = double(QDateTime::currentSecsSinceEpoch()) - kDSUnixToAbsoluteTime;
        EXPECT_NEAR(leaf->rightExpression().constantValue().dateValue(), now, 5);
    }
    EXPECT_FALSE(DSDatabaseTableQuery().default_predicate());
}

TEST(DSSQLText, QuotingAndEscaping)
{
    struct Case
    {
        QString (*quote)(const QString &);
        const char *in, *out;
    } cases[] = {
        {[](const QString &s) { return ds_mysql_quote_string(s); }, "a'b\\c\"d", "'a''b\\\\c\"d'"},
        {[](const QString &s) { return ds_mysql_quote_string(s, false); }, "a'b\\c", "'a''b\\c'"},
        {ds_pgsql_quote_string, "a'b\\c\"d", "E'a''b\\\\c\"d'"},
        {ds_mysql_quote_identifier, "we`ird\"", "`we``ird\"`"},
        {ds_pgsql_quote_identifier, "we`ird\"", "\"we`ird\"\"\""},
        {ds_sql_escape_like, "50%_a\\b", "50\\%\\_a\\\\b"},
        {ds_pgsql_quote_string, "", "E''"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.quote(QString::fromUtf8(c.in)).toStdString(), c.out) << c.in;
    EXPECT_EQ(ds_mysql_quote_string(QString()), QStringLiteral("''"));
}

TEST(DSSQLText, TypeClassification)
{
    for (unsigned t : {16u, 20u, 21u, 23u, 700u, 701u, 1700u})
        EXPECT_TRUE(ds_pgsql_type_is_numeric(t)) << t;
    for (unsigned t : {17u, 18u, 19u, 25u, 114u, 142u, 1043u})
        EXPECT_TRUE(ds_pgsql_type_is_text(t)) << t;
    for (unsigned t : {702u, 1082u, 1083u, 1114u, 1184u, 1266u})
        EXPECT_TRUE(ds_pgsql_type_is_time(t)) << t;
    for (unsigned t : {0u, 26u, 1042u, 2950u, 3802u})
        EXPECT_FALSE(ds_pgsql_type_is_numeric(t) || ds_pgsql_type_is_text(t) || ds_pgsql_type_is_time(t)) << t;
    for (int t : {0, 1, 2, 3, 4, 5, 8, 9, 16, 246})
        EXPECT_TRUE(ds_mysql_type_is_numeric(t)) << t;
    for (int t : {7, 10, 11, 12, 13, 14})
        EXPECT_TRUE(ds_mysql_type_is_time(t)) << t;
    EXPECT_TRUE(ds_mysql_field_is_text(253, 0));
    EXPECT_TRUE(ds_mysql_field_is_text(252, 45));
    EXPECT_FALSE(ds_mysql_field_is_text(252, 0));
    EXPECT_TRUE(ds_mysql_field_is_blob(249, 0));
    EXPECT_FALSE(ds_mysql_field_is_text(245, 45) || ds_mysql_field_is_blob(253, 45));

    struct Kind
    {
        unsigned pgType;
        qint64 pgKind;
    } pg[] = {{16, 2}, {20, 1}, {1700, 1}, {25, 4}, {1043, 4}, {1082, 5},
              {1114, 6}, {1184, 6}, {702, 6}, {1083, 7}, {1266, 7}, {1186, 1}, {1042, 4}, {2950, 4}, {3802, 4}};
    for (const Kind &k : pg)
        EXPECT_EQ(DSDatabaseConnectorPostgreSQL::columnKindForType(k.pgType), k.pgKind) << k.pgType;
    struct MyKind
    {
        int type;
        unsigned charset;
        qint64 kind;
    } my[] = {{16, 63, 3}, {3, 63, 1}, {246, 63, 1}, {7, 63, 6}, {12, 63, 6}, {10, 63, 5},
              {13, 63, 5}, {11, 63, 7}, {253, 45, 4}, {252, 45, 4}, {252, 0, 4}, {245, 45, 4}, {255, 63, 4}};
    for (const MyKind &k : my)
        EXPECT_EQ(DSDatabaseConnectorMySQL::columnKindForField(k.type, k.charset), k.kind) << k.type;
}

TEST(DSSQLText, QueryTextInBothDialects)
{
    struct Case
    {
        const char *name;
        DSDatabaseQueryPtr query;
        QString mysql, pgsql; // after the SELECT … FROM of the table
    };
    auto limited = [](qint64 limit, qint64 disposition, qint64 count) {
        auto q = table();
        q->setApply_row_limit(true);
        q->setRow_limit(limit);
        q->setRow_disposition(disposition);
        q->setUnlimited_count(count);
        return q;
    };
    auto sorted = table();
    sorted->setApply_sort(true);
    sorted->setSort_by_column_name(QStringLiteral("s"));
    sorted->setSort_ascending(false);
    auto sortedLast = limited(100, 1, 250);
    sortedLast->setApply_sort(true);
    sortedLast->setSort_by_column_name(QStringLiteral("n"));
    auto unapplied = table();
    unapplied->setPredicate(cmp("n", Op::GreaterThan, number(1)));
    auto noPredicate = table();
    noPredicate->setApply_predicate(true);
    const QString wild = QStringLiteral("%_\\'");
    const Case cases[] = {
        {"plain", table(), "", ""},
        {"conditions off", unapplied, "", ""},
        {"conditions on, none set", noPredicate, "", ""},
        {"greater than 30", where(cmp("n", Op::GreaterThan, number(30))), " WHERE `n` > 30", " WHERE \"n\" > 30"},
        {"a small number exactly", where(cmp("n", Op::LessThan, number(1e-07))), " WHERE `n` < 1e-07",
         " WHERE \"n\" < 1e-07"},
        {"begins with wildcards", where(cmp("s", Op::BeginsWith, text(wild))),
         " WHERE `s` LIKE '\\\\%\\\\_\\\\\\\\''%'", " WHERE \"s\" LIKE E'\\\\%\\\\_\\\\\\\\''%'"},
        {"ends with", where(cmp("s", Op::EndsWith, text("a_b"))), " WHERE `s` LIKE '%a\\\\_b'",
         " WHERE \"s\" LIKE E'%a\\\\_b'"},
        {"contains", where(cmp("s", Op::Contains, text("5%"))), " WHERE `s` LIKE '%5\\\\%%'",
         " WHERE \"s\" LIKE E'%5\\\\%%'"},
        {"like keeps the user's wildcards", where(cmp("s", Op::Like, text("a%_"))), " WHERE `s` LIKE 'a%_'",
         " WHERE \"s\" LIKE E'a%_'"},
        {"equal to a quote", where(cmp("s", Op::EqualTo, text("O'Brien \"x\""))),
         " WHERE `s` = 'O''Brien \"x\"'", " WHERE \"s\" = E'O''Brien \"x\"'"},
        {"matches", where(cmp("s", Op::Matches, text("^a.*"))), " WHERE `s` REGEXP '^a.*'",
         " WHERE \"s\" ~ E'^a.*'"},
        {"not equal", where(cmp("n", Op::NotEqualTo, number(-2.5))), " WHERE `n` != -2.5", " WHERE \"n\" != -2.5"},
        {"boolean and bit", where(DSCompoundPredicate::andPredicate({cmp("f", Op::EqualTo, DSPredicateValue::fromBool(true)),
                                                                     cmp("b", Op::EqualTo, number(1))})),
         " WHERE `f` = NULL AND `b` = 1", " WHERE \"f\" = TRUE AND \"b\" = NULL"},
        {"date of a date and time", where(cmp("d", Op::GreaterThanOrEqualTo, localDate(2024, 3, 1, 23, 30))),
         " WHERE CAST(`d` AS DATE) >= '2024-03-01'", " WHERE \"d\"::date >= DATE '2024-03-01'"},
        {"time to the minute", where(cmp("h", Op::LessThanOrEqualTo, localDate(2024, 3, 1, 14, 5))),
         " WHERE `h` <= '14:05:00'", " WHERE \"h\" <= TIME '14:05:00'"},
        {"AND(a, OR(b, c))",
         where(DSCompoundPredicate::andPredicate(
             {cmp("n", Op::GreaterThan, number(1)),
              DSCompoundPredicate::orPredicate({cmp("s", Op::EqualTo, text("x")), cmp("s", Op::EqualTo, text("y"))})})),
         " WHERE `n` > 1 AND (`s` = 'x' OR `s` = 'y')", " WHERE \"n\" > 1 AND (\"s\" = E'x' OR \"s\" = E'y')"},
        {"OR of one nested AND", where(DSCompoundPredicate::orPredicate({DSCompoundPredicate::andPredicate(
                                      {cmp("n", Op::GreaterThan, number(1)), cmp("n", Op::LessThan, number(5))})})),
         " WHERE (`n` > 1 AND `n` < 5)", " WHERE (\"n\" > 1 AND \"n\" < 5)"},
        {"an empty OR", where(DSCompoundPredicate::orPredicate({})), " WHERE FALSE", " WHERE FALSE"},
        {"a column missing from the kinds", where(cmp("zz", Op::EqualTo, number(1))), " WHERE `zz` = NULL",
         " WHERE \"zz\" = NULL"},
        {"sorted by an unticked column", sorted, " ORDER BY `s` DESC", " ORDER BY \"s\" DESC"},
        {"first 100 of 250", limited(100, 0, 250), " LIMIT 100", " LIMIT 100"},
        {"last 100 of 250, sorted", sortedLast, " ORDER BY `n` ASC LIMIT 100 OFFSET 150",
         " ORDER BY \"n\" ASC LIMIT 100 OFFSET 150"},
        {"limit above the count", limited(300, 0, 250), "", ""},
        {"limit switched off", [&] { auto q = limited(100, 0, 250); q->setApply_row_limit(false); return q; }(), "", ""},
    };
    DSDataImporterMySQL my(QUrl(), {});
    DSDataImporterPostgreSQL pg(QUrl(), {});
    for (const Case &c : cases) {
        EXPECT_EQ(my.queryStringForQuery(*c.query), kSelectMy + c.mysql) << c.name;
        EXPECT_EQ(pg.queryStringForQuery(*c.query), kSelectPg + c.pgsql) << c.name;
    }
}

TEST(DSSQLText, CountsIdentifiersAndCustomSQL)
{
    DSDataImporterMySQL my(QUrl(), {});
    DSDataImporterPostgreSQL pg(QUrl(), {});
    auto q = where(cmp("n", Op::GreaterThan, number(2)));
    q->setApply_row_limit(true);
    q->setRow_limit(1);
    q->setUnlimited_count(9);
    EXPECT_EQ(my.baseQueryStringForQuery(*q, QStringLiteral("COUNT(*)")),
              QStringLiteral("SELECT COUNT(*) FROM `t` WHERE `n` > 2"));
    EXPECT_EQ(pg.baseQueryStringForQuery(*q, QStringLiteral("COUNT(*)")),
              QStringLiteral("SELECT COUNT(*) FROM \"t\" WHERE \"n\" > 2"));

    auto odd = std::make_shared<DSDatabaseTableQuery>();
    odd->setSource_table_name(QStringLiteral("we`i\"rd"));
    odd->setColumns({std::make_shared<DSDatabaseColumnInfo>(QStringLiteral("c`o\"l"), 1)});
    EXPECT_EQ(my.queryStringForQuery(*odd), QStringLiteral("SELECT `c``o\"l` FROM `we``i\"rd`"));
    EXPECT_EQ(pg.queryStringForQuery(*odd), QStringLiteral("SELECT \"c`o\"\"l\" FROM \"we`i\"\"rd\""));

    const DSDatabaseSQLQuery custom(QStringLiteral("select * from t where a = 'x' limit 3"));
    EXPECT_EQ(my.queryStringForQuery(custom), custom.query_string());
    EXPECT_EQ(pg.queryStringForQuery(custom), custom.query_string());
    EXPECT_TRUE(my.queryStringForQuery(DSDatabaseQuery()).isNull());

    // Under NO_BACKSLASH_ESCAPES a backslash is itself in a string, and LIKE
    // is told its escape character.
    my.setBackslashEscapes(false);
    EXPECT_EQ(my.queryStringForQuery(*where(cmp("s", Op::BeginsWith, text(QStringLiteral("%_\\'"))))),
              kSelectMy + QStringLiteral(" WHERE `s` LIKE '\\%\\_\\\\''%' ESCAPE '\\'"));
    EXPECT_EQ(my.queryStringForQuery(*where(cmp("s", Op::EqualTo, text(QStringLiteral("a\\b"))))),
              kSelectMy + QStringLiteral(" WHERE `s` = 'a\\b'"));
}

TEST(DSDatabaseErrors, MessagesAndCodes)
{
    const std::pair<int, const char *> connection[] = {
        {1, "Can't connect"},      {2, "Unknown error"},     {3, "Unknown host"},     {4, "Access denied"},
        {5, "User denied"},        {6, "Lost server"},       {7, "No user name"},     {8, "Unknown user"},
        {9, "Unknown database"},   {10, "Invalid password"}, {11, "Empty password"},  {12, "Out of memory"},
        {13, "Unsupported version"}, {14, "Server timeout"}, {17, "Unknown error"},
    };
    for (const auto &[code, message] : connection)
        EXPECT_EQ(DSDatabaseConnector::stringForErrorCode(code).toStdString(), message) << code;
    const std::pair<int, const char *> query[] = {
        {1, "Lost connection"}, {2, "Unknown table"}, {3, "Unknown column"},
        {4, "Empty query"},     {5, "Syntax error"},  {6, "Unknown error"},
    };
    for (const auto &[code, message] : query)
        EXPECT_EQ(DSDataImporterSQL::stringForErrorCode(code).toStdString(), message) << code;

    const std::pair<const char *, int> pg[] = {
        {"fe_sendauth: no password supplied\n", 11},
        {"fe_sendauth: no password supplied", 17},
        {"FATAL:  role \"nobody\" does not exist\n", 8},
        {"timeout expired\n", 14},
        {"timeout expired", 17},
        {"could not translate host name \"nonexistent.invalid\" to address: Name or service not known\n", 3},
        {"connection to server at \"127.0.0.1\", port 5432 failed: FATAL:  password authentication failed for "
         "user \"u\"\n", 10},
        {"connection to server at \"127.0.0.1\", port 5432 failed: FATAL:  database \"x\" does not exist\n", 9},
        {"connection to server at \"127.0.0.1\", port 1 failed: Connection refused\n\tIs the server running on that "
         "host and accepting TCP/IP connections?\n", 1},
        {"connection to server at \"127.0.0.1\", port 5432 failed: timeout expired\nconnection to server at "
         "\"::1\", port 5432 failed: timeout expired\n", 14},
        {"FATAL:  permission denied for database \"postgres\"\n", 5},
        {"FATAL:  no pg_hba.conf entry for host \"1.2.3.4\"\n", 4},
        {"something else\n", 17},
    };
    for (const auto &[message, code] : pg)
        EXPECT_EQ(DSDatabaseConnectorPostgreSQL::errorCodeForMessage(message), code) << message;

    const std::pair<unsigned, int> my[] = {{0, 0},    {1044, 9},  {1049, 9},  {1045, 10}, {2001, 1}, {2002, 1},
                                           {2003, 1}, {2005, 3},  {2007, 13}, {2008, 12}, {2013, 6}, {2026, 2},
                                           {9999, 17}};
    for (const auto &[number, code] : my)
        EXPECT_EQ(ds_mysql_connect_error_code(number, QStringLiteral("text")), code) << number;
    EXPECT_EQ(DSDatabaseConnector::stringForErrorCode(ds_mysql_connect_error_code(2026, QString())),
              QStringLiteral("Unknown error"));

    const std::pair<unsigned, int> myQuery[] = {{1054, 3}, {1064, 5}, {1065, 4}, {1146, 2}, {1, 6}};
    for (const auto &[number, code] : myQuery)
        EXPECT_EQ(DSDataImporterMySQL::errorCodeForErrorNumber(number), code) << number;
    const std::pair<const char *, int> pgQuery[] = {{"42P01", 2}, {"42703", 3}, {"42601", 5}, {"57014", 6}};
    for (const auto &[state, code] : pgQuery)
        EXPECT_EQ(DSDataImporterPostgreSQL::errorCodeForSQLState(state), code) << state;
    EXPECT_EQ(DSDataImporterPostgreSQL::errorCodeForSQLState(nullptr), 6);
}
