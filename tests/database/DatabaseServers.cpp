#include "DatabaseServers.h"

#include "database/DSDataImporterMySQL.h"
#include "database/DSDataImporterPostgreSQL.h"
#include "model/DSDataTable.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTextDataColumn.h"
#include "model/DSTimeDataColumn.h"
#include "platform/calendar/ds_gmt_calendar.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <libpq-fe.h>
#include <mysql.h>

const DatabaseServers &DatabaseServers::get()
{
    static const DatabaseServers servers = [] {
        DatabaseServers s;
        QFile file(QStringLiteral(OSTREL_TEST_BINARY_DIR "/servers.env"));
        if (!file.open(QIODevice::ReadOnly)) {
            s.error = QStringLiteral("the database servers were not started: run this test through ctest");
            return s;
        }
        while (!file.atEnd()) {
            const QString line = QString::fromUtf8(file.readLine()).trimmed();
            const qsizetype eq = line.indexOf(u'=');
            const QString key = line.left(eq), value = line.mid(eq + 1);
            if (key == u"PG_MISSING") s.pgMissing = value;
            else if (key == u"MY_MISSING") s.myMissing = value;
            else if (key == u"DB_USER") s.user = value;
            else if (key == u"DB_PASSWORD") s.password = value;
            else if (key == u"PG_BIN") s.pgBin = value;
            else if (key == u"PG_PORT") s.pgPort = value.toInt();
            else if (key == u"MY_PORT") s.myPort = value.toInt();
            else if (key == u"PG_PID") s.pgPid = value.toLongLong();
            else if (key == u"MY_PID") s.myPid = value.toLongLong();
        }
        return s;
    }();
    return servers;
}

static QUrl serverURL(const char *scheme, const DatabaseServers &s, int port, const QString &database,
                      const QString &password)
{
    QUrl url;
    url.setScheme(QString::fromUtf8(scheme));
    url.setUserName(s.user);
    url.setPassword(password.isNull() ? s.password : password);
    url.setHost(QStringLiteral("127.0.0.1"));
    url.setPort(port);
    url.setPath(u'/' + database);
    return url;
}

QUrl DatabaseServers::pgURL(const QString &database, const QString &pw) const
{
    return serverURL("pgsql", *this, pgPort, database, pw);
}

QUrl DatabaseServers::myURL(const QString &database, const QString &pw) const
{
    return serverURL("mysql", *this, myPort, database, pw);
}

QString ds_pg_exec(const QString &database, const QString &sql)
{
    const DatabaseServers &s = DatabaseServers::get();
    const QByteArray port = QByteArray::number(s.pgPort), user = s.user.toUtf8(), pw = s.password.toUtf8(),
                     db = database.toUtf8();
    const char *keys[] = {"host", "port", "user", "password", "dbname", nullptr};
    const char *values[] = {"127.0.0.1", port.constData(), user.constData(), pw.constData(), db.constData(), nullptr};
    PGconn *connection = PQconnectdbParams(keys, values, 0);
    QString message;
    if (PQstatus(connection) != CONNECTION_OK) {
        message = QString::fromUtf8(PQerrorMessage(connection));
    } else {
        PGresult *result = PQexec(connection, sql.toUtf8().constData());
        const ExecStatusType status = PQresultStatus(result);
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
            message = QString::fromUtf8(PQerrorMessage(connection));
        PQclear(result);
    }
    PQfinish(connection);
    return message;
}

QString ds_my_exec(const QString &database, const QString &sql)
{
    const DatabaseServers &s = DatabaseServers::get();
    MYSQL *connection = mysql_init(nullptr);
    mysql_options(connection, MYSQL_SET_CHARSET_NAME, "utf8mb4");
    QString message;
    if (!mysql_real_connect(connection, "127.0.0.1", s.user.toUtf8().constData(), s.password.toUtf8().constData(),
                            database.isEmpty() ? nullptr : database.toUtf8().constData(), unsigned(s.myPort),
                            nullptr, CLIENT_MULTI_STATEMENTS)) {
        message = QString::fromUtf8(mysql_error(connection));
    } else if (mysql_query(connection, sql.toUtf8().constData()) != 0) {
        message = QString::fromUtf8(mysql_error(connection));
    } else {
        // Every result of a multi-statement text, so its errors surface.
        do {
            if (MYSQL_RES *result = mysql_store_result(connection))
                mysql_free_result(result);
        } while (mysql_next_result(connection) == 0);
        if (mysql_errno(connection))
            message = QString::fromUtf8(mysql_error(connection));
    }
    mysql_close(connection);
    return message;
}

QString ds_run_client(const QString &program, const QStringList &arguments)
{
    const DatabaseServers &s = DatabaseServers::get();
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PGPASSWORD"), s.password);
    environment.insert(QStringLiteral("MYSQL_PWD"), s.password);
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

void DialectTest::SetUp()
{
    if (GetParam() == PostgreSQL)
        SKIP_WITHOUT_POSTGRESQL();
    else
        SKIP_WITHOUT_MARIADB();
    ds_import_test_model();
}

QUrl DialectTest::url(const QString &database, const QString &password) const
{
    const DatabaseServers &s = DatabaseServers::get();
    return d() == PostgreSQL ? s.pgURL(database, password) : s.myURL(database, password);
}

QString DialectTest::exec(const QString &database, const QString &sql) const
{
    return d() == PostgreSQL ? ds_pg_exec(database, sql) : ds_my_exec(database, sql);
}

QString DialectTest::makeDatabase(const char *base, const QString &setup) const
{
    const QString name = QStringLiteral("%1_%2").arg(QString::fromUtf8(base), d() == PostgreSQL ? "pg" : "my");
    EXPECT_EQ(exec(admin(), QStringLiteral("DROP DATABASE IF EXISTS %1").arg(name)), "");
    const QString charset = d() == MySQL ? QStringLiteral(" CHARACTER SET utf8mb4") : QString();
    EXPECT_EQ(exec(admin(), QStringLiteral("CREATE DATABASE %1%2").arg(name, charset)), "");
    EXPECT_EQ(exec(name, setup), "");
    return name;
}

std::string ds_dialect_name(const ::testing::TestParamInfo<Dialect> &info)
{
    return info.param == PostgreSQL ? "PostgreSQL" : "MySQL";
}

std::shared_ptr<DSDataImporterSQL> ds_sql_importer(Dialect d, const QUrl &url, const QList<DSDatabaseQueryPtr> &queries)
{
    if (d == PostgreSQL)
        return std::make_shared<DSDataImporterPostgreSQL>(url, queries);
    return std::make_shared<DSDataImporterMySQL>(url, queries);
}

void ds_expect_equals_client(DSDataTable *table, const QString &clientOutput, const char *kinds)
{
    const QStringList lines = clientOutput.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), table->num_records());
    const int n = int(std::strlen(kinds));
    ASSERT_EQ(ds_column_names(table).size(), n) << "a column was dropped";
    for (int c = 0; c < n; ++c) {
        DSColumn *col = table->columnAtIndex(c);
        ASSERT_TRUE(col) << c;
        std::vector<double> numbers;
        std::vector<std::string> texts;
        if (kinds[c] == 'n' || kinds[c] == 'f')
            numbers = ds_column_values(ds_object_cast<DSNumericDataColumn>(col));
        else if (kinds[c] == 'x')
            texts = ds_text_values(ds_object_cast<DSTextDataColumn>(col));
        else
            numbers = ds_time_values(ds_object_cast<DSTimeDataColumn>(col));
        ASSERT_TRUE(numbers.size() == size_t(lines.size()) || texts.size() == size_t(lines.size()))
            << col->name().toStdString();
        for (qsizetype r = 0; r < lines.size(); ++r) {
            const QStringList fields = lines[r].split(u'\t');
            ASSERT_EQ(fields.size(), n) << lines[r].toStdString();
            const QString &field = fields[c];
            const bool null = field == QLatin1String("NULL");
            const std::string where = "row " + std::to_string(r + 1) + " column " + col->name().toStdString();
            if (kinds[c] == 'x') {
                EXPECT_EQ(texts[size_t(r)], null ? "" : field.toStdString()) << where;
                continue;
            }
            const double x = numbers[size_t(r)];
            // strtod in the "C" locale reads NaN and Infinity as psql
            // writes them; the server's NaN is a missing value here.
            const double expected = null ? NAN
                                         : std::strtod(field.toUtf8().constData(), nullptr) -
                                               (kinds[c] == 'a' ? kDSUnixToAbsoluteTime : 0);
            // Stored numbers hold no infinities: the server's are missing.
            if (std::isnan(expected) || (kinds[c] != 'a' && std::isinf(expected)))
                EXPECT_TRUE(std::isnan(x)) << where << " gave " << x;
            else if (kinds[c] == 'f')
                EXPECT_NEAR(x, expected, std::fabs(expected) * 0x1p-24) << where;
            else
                EXPECT_EQ(x, expected) << where << " client " << field.left(40).toStdString();
        }
    }
}

