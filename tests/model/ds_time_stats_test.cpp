// Period counts of time rows against pandas (fixtures/make_time_periods.py)
// on a million timestamps: kept out of the sanitizer builds for its size.

#include "model/ds_time_stats.h"
#include "model/ds_time_units.h"
#include "ds_test_time.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <vector>

namespace {

// pandas: to_period(freq).value_counts() of the same million timestamps.
TEST(ds_time_period_counts, MillionTimestampsEqualPandas)
{
    QFile file(OSTREL_TEST_SOURCE_DIR "/fixtures/time_periods.json");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject expected = QJsonDocument::fromJson(file.readAll()).object();
    const int64_t count = expected["count"].toInteger();
    std::vector<double> values(size_t(count), 0.0);
    uint64_t state = 0x1900;
    const int64_t first = int64_t(ds_test_time(2019, 6, 1)), last = int64_t(ds_test_time(2022, 3, 1));
    const uint64_t quarters = uint64_t(last - first) * 4;
    for (double &v : values) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        v = double(first) + double((state >> 11) % quarters) / 4.0;
    }
    const ds_time_rows_s rows{values.data(), nullptr, count, nullptr, 0, nullptr, 0};
    const ds_time_stats_s stats = ds_time_stats(rows, nullptr, 0, 1);
    const QJsonObject units = expected["units"].toObject();
    ASSERT_EQ(units.size(), 6);
    for (auto it = units.begin(); it != units.end(); ++it) {
        const int64_t unit = it.key().toLongLong();
        const QJsonArray pandas = it.value().toObject()["counts"].toArray();
        const int64_t n = ds_time_bucket_count(stats, unit);
        ASSERT_EQ(n, pandas.size()) << "unit " << unit;
        std::vector<double> counts(static_cast<size_t>(n)), limits(static_cast<size_t>(2 * n));
        ds_time_period_counts(rows, nullptr, 0, stats, unit, nullptr, 1, counts.data(), limits.data());
        EXPECT_EQ(limits[0], it.value().toObject()["first"].toDouble()) << "unit " << unit;
        for (int64_t j = 0; j < n; ++j)
            ASSERT_EQ(counts[size_t(j)], pandas[j].toDouble()) << "unit " << unit << ", period " << j;
    }
}

} // namespace
