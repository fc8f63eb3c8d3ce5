#include "DatabaseServers.h"

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
