// Whole imports (count, fetch, convert, compress the columns) of a
// 1,000,000 × 6 table from PostgreSQL and MariaDB on loopback, and the
// count statement alone. run_sql_import_bench.sh starts the servers, fills
// the tables and times psql's \copy and mysql --quick --batch on the same
// rows in the same run.
//
//   OSTREL_SQL_BENCH_STATE=/tmp/x/servers.env sql_import_bench
#include "app/ds_register_model_classes.h"
#include "database/DSDataImporterMySQL.h"
#include "database/DSDataImporterPostgreSQL.h"
#include "database/DSDatabaseTableQuery.h"
#include "model/ds_application_defaults.h"
#include "platform/store/DSManagedObjectModel.h"
#include "platform/store/DSObjectPool.h"

#include <QFile>
#include <QHash>

#include <benchmark/benchmark.h>

#include <libpq-fe.h>
#include <mysql.h>

#include <cstdlib>

namespace {

// The servers' state file as the test fixture writes it (KEY=VALUE lines).
QHash<QString, QString> serverState()
{
    QHash<QString, QString> state;
    const char *path = std::getenv("OSTREL_SQL_BENCH_STATE");
    QFile file(QString::fromLocal8Bit(path ? path : ""));
    if (!path || !file.open(QIODevice::ReadOnly))
        return state;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        state.insert(line.section(u'=', 0, 0), line.section(u'=', 1));
    }
    return state;
}

QUrl benchURL(const char *scheme, const char *portKey)
{
    const QHash<QString, QString> state = serverState();
    QUrl url;
    url.setScheme(QString::fromUtf8(scheme));
    url.setUserName(state.value(QStringLiteral("DB_USER")));
    url.setPassword(state.value(QStringLiteral("DB_PASSWORD")));
    url.setHost(QStringLiteral("127.0.0.1"));
    url.setPort(state.value(QString::fromUtf8(portKey)).toInt());
    url.setPath(QStringLiteral("/bench"));
    return url;
}

DSDatabaseQueryPtr benchQuery()
{
    auto q = std::make_shared<DSDatabaseTableQuery>();
    q->setSource_table_name(QStringLiteral("bench_rows"));
    QList<DSDatabaseColumnInfoPtr> columns;
    for (const char *name : {"id", "x", "y", "s", "d", "ts"})
        columns.append(std::make_shared<DSDatabaseColumnInfo>(QString::fromUtf8(name), 0));
    q->setColumns(columns);
    return q;
}

template <class Importer>
void Import(benchmark::State &state, const char *scheme, const char *portKey)
{
    const QUrl url = benchURL(scheme, portKey);
    if (url.port() <= 0) {
        state.SkipWithError("set OSTREL_SQL_BENCH_STATE (run_sql_import_bench.sh does)");
        return;
    }
    ds_register_application_defaults();
    ds_register_model_classes();
    const auto model = DSManagedObjectModel::modelNamed(QStringLiteral("DSDataModel006"));
    for (auto _ : state) {
        Importer importer(url, {benchQuery()});
        importer.asyncParse(model);
        if (!importer.asyncResult()) {
            state.SkipWithError(importer.asyncError() ? qPrintable(importer.asyncError()->localizedDescription)
                                                      : "the import failed");
            return;
        }
        benchmark::DoNotOptimize(importer.asyncResult()->objects().size());
    }
    state.SetItemsProcessed(state.iterations() * 1000000);
}

void ImportPostgreSQL(benchmark::State &state)
{
    Import<DSDataImporterPostgreSQL>(state, "pgsql", "PG_PORT");
}

void ImportMySQL(benchmark::State &state)
{
    Import<DSDataImporterMySQL>(state, "mysql", "MY_PORT");
}

void CountPostgreSQL(benchmark::State &state)
{
    const QUrl url = benchURL("pgsql", "PG_PORT");
    PGconn *connection = DSDataImporterPostgreSQL::connectionForURL(url);
    if (PQstatus(connection) != CONNECTION_OK) {
        state.SkipWithError("no PostgreSQL server");
        PQfinish(connection);
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(
            DSDataImporterPostgreSQL::executeCount(QStringLiteral("SELECT COUNT(*) FROM \"bench_rows\""), connection, nullptr));
    PQfinish(connection);
}

void CountMySQL(benchmark::State &state)
{
    const QUrl url = benchURL("mysql", "MY_PORT");
    DSDataImporterMySQL importer(url, {});
    MYSQL *connection = importer.connectionForURL(url, nullptr);
    if (!connection) {
        state.SkipWithError("no MariaDB server");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(
            DSDataImporterMySQL::executeCount(QStringLiteral("SELECT COUNT(*) FROM `bench_rows`"), connection, nullptr));
    mysql_close(connection);
}

BENCHMARK(ImportPostgreSQL)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(ImportMySQL)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(CountPostgreSQL)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(CountMySQL)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
