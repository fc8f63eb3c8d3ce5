// Time statistics, periods, summaries and correlations of time columns,
// against R (fixtures/make_time_oracle.R).

#include "TimeColumnsTestSupport.h"

#include "model/DSColumnSummary.h"
#include "model/DSNumericColumnCategory.h"
#include "model/DSTimeColumnCategory.h"
#include "model/util/ds_corr.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <sstream>

namespace {

const double kDay = 86400;

class DSTimeColumnStatsTest : public ::testing::Test, public TimeColumnsFixture
{
protected:
    static std::vector<qint64> countsOf(const DSColumnSummary &summary)
    {
        std::vector<qint64> counts;
        for (const auto &category : summary.categories())
            counts.push_back(category->count());
        return counts;
    }

    static std::vector<qint64> integerValuesOf(const DSColumnSummary &summary)
    {
        std::vector<qint64> values;
        for (const auto &category : summary.categories())
            values.push_back(static_cast<const DSTimeColumnCategory &>(*category).integerValue());
        return values;
    }
};

// name -> value of fixtures/time_oracle.csv.
std::map<std::string, double> oracle()
{
    std::map<std::string, double> values;
    std::ifstream in(OSTREL_TEST_SOURCE_DIR "/fixtures/time_oracle.csv");
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        const size_t comma = line.find(',');
        values[line.substr(0, comma)] = std::stod(line.substr(comma + 1));
    }
    return values;
}

TEST_F(DSTimeColumnStatsTest, StatisticsByOption)
{
    // 2020-01-01 .. 05 at 06:00, 07:00, ..., one plain date, one missing.
    std::vector<double> values, intervals;
    for (int i = 0; i < 5; ++i) {
        values.push_back(ds_test_time(2020, 1, 1 + i, 6 + i));
        intervals.push_back(60);
    }
    values.push_back(ds_test_time(2019, 12, 1));
    intervals.push_back(kDay);
    values.push_back(NAN);
    intervals.push_back(0);
    DSTimeDataColumn *column = addTimeColumn(values, intervals);

    const ds_time_stats_s none = column->calculateStatsForMask(nullptr, 0, 0xF0);
    EXPECT_TRUE(std::isnan(none.min_start) && std::isnan(none.med_start) && std::isnan(none.mad));
    EXPECT_EQ(none.count, 0);
    EXPECT_EQ(none.missing_count, 0);

    const ds_time_stats_s s = column->calculateStatsForMask(nullptr, 0, ds_time_stats_all);
    EXPECT_EQ(s.count, 7);
    EXPECT_EQ(s.missing_count, 1);
    EXPECT_EQ(s.min_start, ds_test_time(2019, 12, 1));
    EXPECT_EQ(s.max_start, ds_test_time(2020, 1, 5, 10));
    EXPECT_EQ(s.max_end, ds_test_time(2020, 1, 5, 10, 1));
    EXPECT_EQ(s.total_interval, s.max_end - s.min_start);
    EXPECT_EQ(s.min_interval, 60);
    EXPECT_EQ(s.max_interval, kDay);
    // The plain date does not enter the times of day.
    EXPECT_EQ(s.min_start_time_of_day, 6 * 3600);
    EXPECT_EQ(s.max_start_time_of_day, 10 * 3600);
    // Six values: the median averages the third and fourth.
    EXPECT_EQ(s.med_start, (ds_test_time(2020, 1, 2, 7) + ds_test_time(2020, 1, 3, 8)) / 2);
    EXPECT_EQ(s.q1_start, ds_test_time(2020, 1, 1, 6));
    EXPECT_EQ(s.q3_start, ds_test_time(2020, 1, 4, 9));
    EXPECT_FALSE(std::isnan(s.mad));

    const ds_time_stats_s basic = column->calculateStatsForMask(nullptr, 0, 1);
    EXPECT_TRUE(std::isnan(basic.med_start));

    // Masked to the last two rows.
    const uint8_t mask[] = {0b1100000};
    const ds_time_stats_s masked = column->calculateStatsForMask(mask, 1, 1);
    EXPECT_EQ(masked.count, 2);
    EXPECT_EQ(masked.missing_count, 1);
    EXPECT_TRUE(std::isnan(masked.min_start_time_of_day));
    const ds_time_stats_s nothing = column->calculateStatsForMask(mask, 0, 1);
    EXPECT_EQ(nothing.count, 0);

    // Before 2001 the time of day still counts from that day's midnight.
    DSTimeDataColumn *early = addTimeColumn({ds_test_time(1999, 12, 31, 23, 0, 0.5), ds_test_time(1900, 1, 1, 0, 0, 59.9)},
                                            {60}, false, QStringLiteral("e"));
    const ds_time_stats_s clock = early->calculateStatsForMask(nullptr, 0, 1);
    EXPECT_EQ(clock.min_start_time_of_day, 59);
    EXPECT_EQ(clock.max_start_time_of_day, 23 * 3600);

    DSTimeDataColumn *missing = addTimeColumn({NAN, NAN}, {0}, false, QStringLiteral("m"));
    const ds_time_stats_s empty = missing->calculateStatsForMask(nullptr, 0, ds_time_stats_all);
    EXPECT_EQ(empty.count, empty.missing_count);
    EXPECT_TRUE(std::isnan(empty.min_start) && std::isnan(empty.q1_start) && std::isnan(empty.max_end));
    EXPECT_EQ(DSTimeColumn::bucketCountForStats(empty, 9), 0);
    EXPECT_EQ(ds_time_unit_for_summary(empty), 1);
    const auto summary = missing->summaryForMask(nullptr, 0, NAN);
    EXPECT_EQ(summary->numberOfCategories(), 0);
    EXPECT_EQ(summary->total_count(), 0);
    EXPECT_EQ(summary->proportional_counts_chi_square(), 0);
}

TEST_F(DSTimeColumnStatsTest, PeriodsAndBins)
{
    ds_time_stats_s s;
    s.min_start = ds_test_time(2020, 1, 1, 10);
    s.max_start = ds_test_time(2020, 1, 3, 8);
    EXPECT_EQ(DSTimeColumn::bucketCountForStats(s, 9), 3);
    s.min_start = ds_test_time(2020, 3, 1);  // a Sunday
    s.max_start = ds_test_time(2020, 3, 2);
    EXPECT_EQ(DSTimeColumn::bucketCountForStats(s, 10), 2);
    EXPECT_EQ(DSTimeColumn::bucketCountForStats(s, 0), 0);
    s.min_start = ds_test_time(2019, 11, 30);
    s.max_start = ds_test_time(2020, 2, 1);
    EXPECT_EQ(DSTimeColumn::bucketCountForStats(s, 11), 4);
    EXPECT_EQ(DSTimeColumn::bucketCountForStats(s, 12), 2);

    double limits[6];
    DSTimeColumn::assignBinLimits(limits, 3, 11, ds_test_time(2019, 12, 1));
    EXPECT_EQ(limits[0], ds_test_time(2019, 12, 1));
    EXPECT_EQ(limits[1], ds_test_time(2020, 1, 1));
    EXPECT_EQ(limits[4], ds_test_time(2020, 2, 1));
    EXPECT_EQ(limits[5], ds_test_time(2020, 3, 1));

    // A value at a period's start counts in that period.
    DSTimeDataColumn *column = addTimeColumn(
        {ds_test_time(2020, 1, 1), ds_test_time(2020, 1, 2), ds_test_time(2020, 1, 2, 23), ds_test_time(2020, 1, 4)}, {60});
    const ds_time_stats_s stats = column->calculateStatsForMask(nullptr, 0, 1);
    const std::optional<QVariantList> bins = column->binsForMask(nullptr, 0, stats, 9);
    ASSERT_TRUE(bins);
    ASSERT_EQ(bins->size(), 4);
    std::vector<double> counts;
    for (const QVariant &bin : *bins)
        counts.push_back(bin.toMap().value(QStringLiteral("count")).toDouble());
    EXPECT_EQ(counts, (std::vector<double>{1, 2, 0, 1}));
    EXPECT_EQ(bins->at(3).toMap().value(QStringLiteral("lower")).toDouble(), ds_test_time(2020, 1, 4));
    EXPECT_EQ(bins->at(3).toMap().value(QStringLiteral("index")).toInt(), 3);
    EXPECT_FALSE(column->binsForMask(nullptr, 0, stats, 0));

    const int32_t groups[] = {1, 0, 1, 7};
    const QVariantList perGroup = column->multipleBinsForMask(nullptr, 0, groups, 2, stats, 9);
    ASSERT_EQ(perGroup.size(), 2);
    EXPECT_EQ(perGroup[0].toMap().value(QStringLiteral("count")).toLongLong(), 1);
    EXPECT_EQ(perGroup[1].toMap().value(QStringLiteral("count")).toLongLong(), 2);
    EXPECT_EQ(perGroup[1].toMap().value(QStringLiteral("time_unit")).toLongLong(), 9);
    EXPECT_EQ(perGroup[1].toMap().value(QStringLiteral("bins")).toList().size(), 4);
}

TEST_F(DSTimeColumnStatsTest, PeriodSummary)
{
    std::vector<double> values;
    for (int i = 0; i < 10; ++i)
        values.push_back(ds_test_time(2020, 1, 1) + i * 3600.0);
    values.push_back(ds_test_time(2020, 1, 1, 23));
    DSTimeDataColumn *column = addTimeColumn(values, {3600});
    column->setDo_fix_time_unit(true);
    column->setFixed_time_unit(8);
    const auto summary = column->summaryForMask(nullptr, 0, 0.05);
    EXPECT_EQ(summary->time_unit(), 8);
    EXPECT_EQ(summary->total_count(), 11);
    EXPECT_EQ(summary->time_stats().count, 11);
    ASSERT_EQ(summary->numberOfCategories(), 2);
    const auto &morning = static_cast<const DSTimeColumnCategory &>(*summary->categoryAtIndex(0));
    EXPECT_EQ(morning.count(), 10);
    EXPECT_EQ(morning.value(), ds_test_time(2020, 1, 1));
    EXPECT_EQ(morning.interval(), 43200);
    // R: poisson.test(10)$conf.int
    EXPECT_NEAR(morning.count_lower_ci(), oracle().at("poisson_lower"), 1e-9);
    EXPECT_NEAR(morning.count_upper_ci(), oracle().at("poisson_upper"), 1e-9);
    EXPECT_FALSE(morning.label().isEmpty());
    // Both halves of the day are 12 hours of a 24-hour span: expected 5.5.
    EXPECT_NEAR(summary->proportional_counts_chi_square(), 2 * 4.5 * 4.5 / 5.5, 1e-12);

    column->setDo_fix_time_unit(false);
    const auto chosen = column->summaryForMask(nullptr, 0, NAN);
    EXPECT_EQ(chosen->time_unit(), 5);
    ASSERT_EQ(chosen->numberOfCategories(), 24);
    EXPECT_EQ(chosen->numberOfNonEmptyCategories(), 11);
    EXPECT_EQ(chosen->categoryAtIndex(12)->nonempty_index(), -1);
    EXPECT_EQ(chosen->categoryAtIndex(23)->nonempty_index(), 10);
    for (const auto &category : chosen->categories())
        EXPECT_TRUE(std::isnan(static_cast<const DSTimeColumnCategory &>(*category).count_upper_ci()));
}

TEST_F(DSTimeColumnStatsTest, MonthSummaryAgainstMonthLengths)
{
    const std::map<std::string, double> r = oracle();
    const std::vector<int> observed = {120, 95, 130, 101, 99, 140, 111, 118, 90, 105, 97, 132};
    // Proportional counts: four 365.25-day years.
    const std::vector<int> proportional = {124, 113, 124, 120, 124, 120, 124, 124, 120, 124, 120, 124};
    for (const auto &[counts, expected] : {std::pair{observed, r.at("month_chisq")}, std::pair{proportional, 0.0}}) {
        std::vector<double> values;
        for (int m = 0; m < 12; ++m)
            for (int i = 0; i < counts[size_t(m)]; ++i)
                values.push_back(ds_test_time(2021, m + 1, 1 + i % 28, i % 24));
        TimeColumnsFixture fresh;
        DSTimeDataColumn *column = fresh.addTimeColumn(values, {3600});
        const auto summary = column->monthSummaryForMask(nullptr, 0, NAN, nullptr);
        EXPECT_NEAR(summary->equal_counts_chi_square(), expected, 1e-10);
        EXPECT_EQ(summary->numberOfCategories(), 12);
        EXPECT_EQ(integerValuesOf(*summary), (std::vector<qint64>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
    }

    // Without test proportions the builder tests equal counts.
    std::vector<double> dates(12, 0);
    std::vector<qint64> counts(observed.begin(), observed.end()), codes(12, 0);
    DSTimeDataColumn *column = addTimeColumn({0}, {60});
    const auto equal = column->internalSummaryForDates(dates.data(), counts.data(), codes.data(), nullptr, 12, 0,
                                                       column->monthFormatter(), 0.05, column);
    EXPECT_NEAR(equal->equal_counts_chi_square(), r.at("month_equal_chisq"), 1e-10);
    EXPECT_EQ(equal->nonmissing_count(), 1338);
    // Wilson bounds at 0.05 (R: prop.test(120, 1338, correct = FALSE)).
    EXPECT_NEAR(equal->categoryAtIndex(0)->proportion_lower_ci(), r.at("wilson_lower"), 1e-12);
    EXPECT_NEAR(equal->categoryAtIndex(0)->proportion_upper_ci(), r.at("wilson_upper"), 1e-12);
    // The running share crosses 1/4 in April, 1/2 in June, 3/4 in September.
    EXPECT_EQ(equal->q1_category()->index(), 2);
    EXPECT_EQ(equal->median_category()->index(), 5);
    EXPECT_EQ(equal->q3_category()->index(), 8);
    EXPECT_EQ(equal->first_category()->index(), 0);
    EXPECT_EQ(equal->last_category()->index(), 11);
}

TEST_F(DSTimeColumnStatsTest, DaysOfTheMonthFollowTheCountedRows)
{
    DSTimeDataColumn *column = addTimeColumn({ds_test_time(2021, 2, 3), ds_test_time(2021, 2, 28), ds_test_time(2020, 2, 29),
                                              ds_test_time(2021, 3, 31), NAN},
                                             {kDay});
    struct Case
    {
        uint8_t mask;
        qsizetype categories;
        bool missing;
    } cases[] = {
        {0b00011, 28, false}, {0b00111, 29, false}, {0b01011, 31, false}, {0b10011, 29, true},
    };
    for (const Case &c : cases) {
        const auto summary = column->dayOfMonthSummaryForMask(&c.mask, 1, NAN, nullptr);
        EXPECT_EQ(summary->numberOfCategories(), c.categories) << int(c.mask);
        EXPECT_EQ(summary->categories().back()->is_missing(), c.missing) << int(c.mask);
    }
    const uint8_t feb2021 = 0b10011;
    const auto summary = column->dayOfMonthSummaryForMask(&feb2021, 1, NAN, nullptr);
    EXPECT_EQ(summary->categoryAtIndex(28)->is_missing(), true);
    EXPECT_EQ(summary->categoryAtIndex(28)->index(), 28);
}

TEST_F(DSTimeColumnStatsTest, WeekdaysYearsAndMissingOutsideTheMask)
{
    // 2020-03-02 is a Monday; the NaN row lies outside the mask.
    DSTimeDataColumn *column = addTimeColumn({ds_test_time(2020, 3, 2), ds_test_time(2020, 3, 8), ds_test_time(2020, 3, 9),
                                              ds_test_time(2018, 5, 5), NAN},
                                             {kDay});
    const uint8_t mask = 0b01111;
    const auto weekdays = column->dayOfWeekSummaryForMask(&mask, 1, NAN, nullptr);
    ASSERT_TRUE(weekdays);
    EXPECT_EQ(countsOf(*weekdays), (std::vector<qint64>{2, 0, 0, 0, 0, 1, 1}));
    EXPECT_EQ(integerValuesOf(*weekdays), (std::vector<qint64>{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(static_cast<const DSTimeColumnCategory &>(*weekdays->categoryAtIndex(0)).value(), 0);
    const auto months = column->monthSummaryForMask(&mask, 1, NAN, nullptr);
    EXPECT_EQ(months->numberOfCategories(), 12);
    const auto years = column->yearSummaryForMask(&mask, 1, NAN, nullptr);
    ASSERT_TRUE(years);
    EXPECT_EQ(integerValuesOf(*years), (std::vector<qint64>{2018, 2019, 2020}));
    EXPECT_EQ(countsOf(*years), (std::vector<qint64>{1, 0, 3}));
    // Without the mask the missing row follows the calendar categories.
    const auto all = column->yearSummaryForMask(nullptr, 0, NAN, nullptr);
    EXPECT_EQ(countsOf(*all), (std::vector<qint64>{1, 0, 3, 1}));
    EXPECT_EQ(integerValuesOf(*all).back(), -1);
    EXPECT_TRUE(std::isnan(all->categories().back()->proportion_of_nonmissing()));
    // Plain dates have no hour of the day.
    EXPECT_EQ(column->hourOfDaySummaryForMask(nullptr, 0, NAN, nullptr), nullptr);
}

TEST_F(DSTimeColumnStatsTest, HoursOfATimeOfDayColumn)
{
    DSTimeDataColumn *column = addTimeColumn({7 * 3600 + 5, 9 * 3600, 9 * 3600 + 59 * 60, 11 * 3600 + 1}, {60}, true);
    const auto hours = column->hourOfDaySummaryForMask(nullptr, 0, NAN, column);
    ASSERT_TRUE(hours);
    EXPECT_EQ(integerValuesOf(*hours), (std::vector<qint64>{7, 8, 9, 10, 11}));
    EXPECT_EQ(countsOf(*hours), (std::vector<qint64>{1, 0, 2, 0, 1}));
    EXPECT_EQ(hours->categoryAtIndex(0)->column(), column);
}

// R: cor and cov of pairs near 7 x 10^8 spread over minutes.
TEST_F(DSTimeColumnStatsTest, CorrelationOfTwoTimeColumnsEqualsR)
{
    std::ifstream in(OSTREL_TEST_SOURCE_DIR "/fixtures/time_pairs.csv");
    std::string line;
    std::getline(in, line);
    std::vector<double> x, y;
    while (std::getline(in, line)) {
        const size_t comma = line.find(',');
        x.push_back(std::stod(line.substr(0, comma)));
        y.push_back(std::stod(line.substr(comma + 1)));
    }
    ASSERT_EQ(x.size(), 1000u);
    DSTimeDataColumn *a = addTimeColumn(x, {1}, false, QStringLiteral("a"));
    DSTimeDataColumn *b = addTimeColumn(y, {1}, false, QStringLiteral("b"));
    const std::map<std::string, double> r = oracle();
    const ds_corr_s c = a->calculateCorrelation(b, nullptr, 0);
    EXPECT_NEAR(c.correlation, r.at("cor"), 1e-12);
    EXPECT_NEAR(c.covariance / r.at("cov"), 1, 1e-12);
    EXPECT_EQ(c.count, 1000);
    EXPECT_NEAR(c.r_squared, c.correlation * c.correlation, 1e-15);
    EXPECT_FALSE(std::isnan(c.p_value));

    const ds_corr_s self = a->calculateCorrelation(a, nullptr, 0);
    EXPECT_NEAR(self.correlation, 1, 1e-14);
    EXPECT_NEAR(self.r_squared, 1, 1e-14);

    const ds_corr_s other = a->calculateCorrelation(addTextColumn({"a", "b"}), nullptr, 0);
    EXPECT_TRUE(std::isnan(other.correlation));
    EXPECT_EQ(other.count, 0);
}

TEST_F(DSTimeColumnStatsTest, CorrelationsWithCategories)
{
    std::vector<double> times, groups;
    for (int i = 0; i < 600; ++i) {
        times.push_back(7e8 + (i % 3) * 1000.0 + (i * 37 % 101));
        groups.push_back(double(i % 3 == 2 ? 2 : (i * 7) % 2));
    }
    times[5] = NAN;
    DSTimeDataColumn *column = addTimeColumn(times, {1});
    ProbedDataColumn *group = addColumn(groups, QStringLiteral("g"));
    const int32_t *indexed = nullptr;
    qint64 bins = 0;
    ASSERT_EQ(group->getIndexedValues(&indexed, &bins), 600);
    ASSERT_EQ(bins, 3);

    ds_corr_s all[3];
    ds_corr_s untouched{};
    untouched.count = 42;
    EXPECT_FALSE(column->calculateMultipleCorrelations(&untouched, 0, indexed, nullptr, 0));
    EXPECT_EQ(untouched.count, 42);
    ASSERT_TRUE(column->calculateMultipleCorrelations(all, 3, indexed, nullptr, 0));

    for (int j = 0; j < 3; ++j) {
        // Pearson's r of the time and the indicator, two-pass in long double.
        long double n = 0, sx = 0, sy = 0;
        for (int i = 0; i < 600; ++i)
            if (!std::isnan(times[size_t(i)])) {
                n += 1;
                sx += times[size_t(i)];
                sy += indexed[i] == j;
            }
        const long double mx = sx / n, my = sy / n;
        long double cxy = 0, cxx = 0, cyy = 0;
        for (int i = 0; i < 600; ++i)
            if (!std::isnan(times[size_t(i)])) {
                const long double dx = times[size_t(i)] - mx, dy = (indexed[i] == j) - my;
                cxy += dx * dy;
                cxx += dx * dx;
                cyy += dy * dy;
            }
        const double expected = double(cxy / std::sqrt(cxx * cyy));
        EXPECT_NEAR(all[j].correlation, expected, 1e-12) << j;
        EXPECT_NEAR(all[j].covariance, double(cxy / (n - 1)), 1e-6) << j;
        EXPECT_EQ(all[j].count, 599);

        DSNumericColumnCategory category(nullptr);
        category.setColumn(group);
        category.setIndex(j);
        const ds_corr_s one = column->calculateCategoryCorrelation(&category, nullptr, 0);
        EXPECT_NEAR(one.correlation, expected, 1e-12) << j;
        EXPECT_NEAR(one.covariance, double(cxy / n), 1e-6) << j;
        EXPECT_NEAR(one.p_value, all[j].p_value, 1e-12);
    }
}

} // namespace
