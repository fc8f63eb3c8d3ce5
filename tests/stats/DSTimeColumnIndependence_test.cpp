// Time columns against categories (independence of their periods) and
// against numbers (correlation), against R (fixtures/make_contingency.R).

#include "../model/TimeColumnsTestSupport.h"
#include "contingency_oracle.h"

#include "model/util/ds_contingency.h"
#include "platform/calendar/ds_gmt_calendar.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class DSTimeColumnIndependenceTest : public ::testing::Test, public TimeColumnsFixture
{
};

TEST_F(DSTimeColumnIndependenceTest, PeriodsAgainstCategoriesEqualR)
{
    const int months[] = {1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3};
    std::vector<double> times, groups = {1, 2, 1, 1, 2, 1, 2, 2, 1, 2, 2, 2, 1, 1, 1, 2, 1, 1};
    for (int m : months) {
        ds_gmt_date_s date{};
        date.year = 2019;
        date.month = m;
        date.day = 10;
        date.hour = 12;
        times.push_back(ds_gmt_absolute_time(date));
    }
    times.push_back(NAN);
    groups.push_back(2);
    DSTimeDataColumn *t = addTimeColumn(times, {86400});
    DSNumericColumn *h = addColumn(groups, QStringLiteral("h"));
    h->setTreat_as_categories(true);

    qint64 df = -7;
    const double chiSquare = t->calculateTimeIndependence(h, {}, &df, ds_time_unit_month, nullptr, 0);
    EXPECT_NEAR(chiSquare, ds_contingency_oracle("months_by_group"), 1e-10);
    EXPECT_EQ(df, qint64(ds_contingency_oracle("months_by_group_df")));

    // By the covariate partition: the cross-table of the column's own groups.
    const int32_t *bins = nullptr;
    qint64 count = 0;
    const qint64 rows = t->getCovariateIndexedValues(&bins, &count, {}, nullptr, 0);
    ASSERT_EQ(rows, 19);
    std::vector<int64_t> table(static_cast<size_t>(count * 2), 0);
    for (qint64 r = 0; r < 18; ++r)
        if (bins[r] < count)
            ++table[size_t(bins[r] * 2 + (groups[size_t(r)] == 2))];
    int64_t expectedDf = 0;
    const double expected = ds_contingency_chisq(table.data(), count, 2, &expectedDf);
    df = -7;
    EXPECT_NEAR(t->calculateIndependence(h, {}, &df, nullptr, 0), expected, 1e-12);
    EXPECT_EQ(df, expectedDf);
    // The category column asked about the time column answers the same table.
    EXPECT_NEAR(h->calculateIndependence(t, {}, &df, nullptr, 0), expected, 1e-12);
}

TEST_F(DSTimeColumnIndependenceTest, TimesAgainstNumbers)
{
    std::vector<double> xs;
    for (double d : {3, 1, 4, 1, 5, 9, 2, 6, 5, 3})
        xs.push_back(7e8 + d * 1e3);
    DSTimeDataColumn *t = addTimeColumn(xs, {1});
    DSNumericColumn *y = addColumn({2.5, 1.0, 3.7, 4.1, 0.5, 2.2, 1.9, 0.3, 3.3, 2.8}, QStringLiteral("y"));
    const ds_corr_s fromTime = t->calculateCorrelation(y, nullptr, 0);
    EXPECT_NEAR(fromTime.correlation, ds_contingency_oracle("time_numeric"), 1e-12);
    EXPECT_EQ(fromTime.count, 10);
    // Whichever side asks, one answer.
    const ds_corr_s fromNumber = y->calculateCorrelation(t, nullptr, 0);
    EXPECT_NEAR(fromNumber.correlation, fromTime.correlation, 1e-15);
    // A text column has no correlation with times.
    const ds_corr_s none = t->calculateCorrelation(addTextColumn({"a"}), nullptr, 0);
    EXPECT_TRUE(std::isnan(none.correlation));
    EXPECT_EQ(none.count, 0);
}

}  // namespace
