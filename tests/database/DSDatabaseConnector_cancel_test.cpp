// Cancelling a PostgreSQL listing from another thread: a statement held by
// the server ends at once, and a cancel racing the listing's disconnect is
// safe. Run under ThreadSanitizer too.
#include "DatabaseServers.h"

#include "database/DSDatabaseConnectorPostgreSQL.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

// Whether a statement starting with the text is running on the server: the
// division fails while none is.
bool isRunning(const QString &database, const QString &statementStart)
{
    return ds_pg_exec(database, QStringLiteral("SELECT 1 / count(*)::int FROM pg_stat_activity WHERE state = "
                                               "'active' AND query LIKE '%1%%'")
                                    .arg(statementStart))
        .isEmpty();
}

} // namespace

TEST(DSDatabaseConnectorCancel, EndsAListingHeldByTheServer)
{
    SKIP_WITHOUT_POSTGRESQL();
    const QString db = QStringLiteral("cancel_pg");
    ds_pg_exec(QStringLiteral("postgres"), QStringLiteral("DROP DATABASE IF EXISTS %1").arg(db));
    ASSERT_EQ(ds_pg_exec(QStringLiteral("postgres"), QStringLiteral("CREATE DATABASE %1").arg(db)), "");
    ASSERT_EQ(ds_pg_exec(db, QStringLiteral("CREATE TABLE quick (a int); INSERT INTO quick VALUES (1); "
                                            "CREATE VIEW slow AS SELECT 1 AS s FROM pg_sleep(30)")),
              "");
    DSDatabaseConnectorPostgreSQL connector(DatabaseServers::get().pgURL(db));
    std::optional<QList<DSDatabaseTableQueryPtr>> tables;
    std::atomic<bool> done{false};
    std::thread listing([&] {
        tables = connector.tableArray(nullptr);
        done = true;
    });
    QElapsedTimer wait;
    wait.start();
    while (!isRunning(db, QStringLiteral("SELECT * FROM \"slow\"")) && wait.elapsed() < 20000)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    QElapsedTimer timer;
    timer.start();
    DSError error;
    EXPECT_TRUE(connector.cancel(&error)) << error.localizedDescription.toStdString();
    while (!done && timer.elapsed() < 30000)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const qint64 elapsed = timer.elapsed();
    listing.join();
    EXPECT_LT(elapsed, 1000);
    // The cancelled view is left out; the listing goes on with the others.
    ASSERT_TRUE(tables);
    ASSERT_EQ(tables->size(), 1);
    EXPECT_EQ(tables->front()->source_table_name(), QStringLiteral("quick"));
}

TEST(DSDatabaseConnectorCancel, RacingDisconnectIsSafe)
{
    SKIP_WITHOUT_POSTGRESQL();
    DSDatabaseConnectorPostgreSQL connector(DatabaseServers::get().pgURL(QStringLiteral("postgres")));
    std::atomic<bool> stop{false};
    std::thread canceller([&] {
        while (!stop)
            connector.cancel(nullptr);
    });
    for (int i = 0; i < 30; ++i) {
        DSError error;
        EXPECT_TRUE(connector.connect(&error)) << error.localizedDescription.toStdString();
        connector.disconnect();
    }
    stop = true;
    canceller.join();
    EXPECT_FALSE(connector.cancel(nullptr));
}
