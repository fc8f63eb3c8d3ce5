// The numeric, text and time partitions on columns of a table.
#include "TimeColumnsTestSupport.h"

#include "model/DSNumericPartition.h"
#include "model/DSTextPartition.h"
#include "model/DSTimePartition.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();

class DSPartitionTest : public ::testing::Test, public TimeColumnsFixture
{
protected:
    DSNumericPartition *numericPartition(const std::vector<double> &values)
    {
        DSNumericColumn *column = addColumn(values);
        column->makeDependencies();
        return ds_object_cast<DSNumericPartition>(column->covariate_partition());
    }
    DSTextPartition *textPartition(const std::vector<const char *> &texts)
    {
        DSTextColumn *column = addTextColumn(texts);
        column->makeDependencies();
        return ds_object_cast<DSTextPartition>(column->covariate_partition());
    }
    static QList<DSRange> ranges(std::initializer_list<std::pair<const char *, const char *>> pairs)
    {
        QList<DSRange> out;
        for (const auto &[first, last] : pairs)
            out.append(DSRange(QString::fromUtf8(first), QString::fromUtf8(last)));
        return out;
    }
};

TEST_F(DSPartitionTest, EveryColumnKindMakesItsPartitions)
{
    DSNumericColumn *number = addColumn({1});
    DSTextColumn *text = addTextColumn({"a"});
    DSTimeColumn *time = addTimeColumn({0}, {1});
    for (DSColumn *column : std::initializer_list<DSColumn *>{number, text, time})
        column->makeDependencies();
    EXPECT_NE(ds_object_cast<DSNumericPartition>(number->filter_partition()), nullptr);
    EXPECT_EQ(ds_object_cast<DSNumericPartition>(number->pivot_partition())->quantile_count(), 6);
    EXPECT_NE(ds_object_cast<DSTextPartition>(text->covariate_partition()), nullptr);
    EXPECT_TRUE(ds_object_cast<DSTextPartition>(text->covariate_partition())
                    ->propertyListForKey(QStringLiteral("custom_text_cutoffs"))
                    .isArray())
        << "an empty array when inserted";
    EXPECT_NE(ds_object_cast<DSTimePartition>(time->covariate_partition()), nullptr);
    EXPECT_NE(ds_object_cast<DSTimePartition>(time->pivot_partition()), nullptr);
    EXPECT_EQ(time->filter_partition(), nullptr) << "a time column has two";
}

TEST_F(DSPartitionTest, NumericCutoffsByType)
{
    DSNumericPartition *partition = numericPartition({1, 1, 1, 1, 2, 2, 3, 3});
    ASSERT_NE(partition, nullptr);
    struct Case
    {
        qint64 type;
        double lowest, highest;
        std::optional<QList<double>> cuts;
        double resolution;  // NaN: none
    } cases[] = {
        // Quartile cuts 1, 2, 3: the ends are dropped.
        {0, 1, 3, QList<double>{2}, nan},
        {1, 0, 10, QList<double>{2, 4, 6, 8}, 2},
        {2, 0, 10, QList<double>{7, 3.5}, nan},  // as stored
        {3, 0, 10, std::nullopt, nan},            // not a numeric type
        {1, 5, 5, QList<double>{}, nan},
        {1, nan, 5, QList<double>{}, nan},
    };
    partition->setQuantile_count(4);
    partition->setFixed_width_resolution_level(2);
    partition->setCustom_interval_cutoffs({7, 3.5});
    for (const Case &c : cases) {
        partition->setPartition_type(c.type);
        double resolution = -1;
        EXPECT_EQ(partition->cutoffValuesFromValue(c.lowest, c.highest, &resolution), c.cuts) << c.type;
        if (std::isnan(c.resolution))
            EXPECT_TRUE(std::isnan(resolution)) << c.type;
        else
            EXPECT_EQ(resolution, c.resolution) << c.type;
    }
    EXPECT_EQ(partition->fixedWidthResolutionFromValue(0, 10), 2);
    EXPECT_EQ(numericPartition({0, 3, 10})->fixedWidthResolutionFromValue(0, 10), 5)
        << "level 0 is the coarsest width";
}

TEST_F(DSPartitionTest, NumericCountsPerGroup)
{
    // Without a missing row the flag stays down.
    bool anyMissing = true;
    std::vector<qint64> two(2);
    numericPartition({1, 2})->populateCounts(two.data(), {1.5}, nan, nullptr, 0, nullptr, &anyMissing);
    EXPECT_FALSE(anyMissing);
    EXPECT_EQ(two, (std::vector<qint64>{1, 1}));

    DSNumericPartition *partition = numericPartition({0, 1, 2, 3, 5, 7, 9, 10, nan, 4});
    partition->setPartition_type(1);
    partition->setFixed_width_resolution_level(2);
    EXPECT_EQ(partition->fixedWidthResolution(), 2);
    const QList<double> cuts = {2, 4, 6, 8};
    const uint8_t firstFour[] = {0x0f, 0};
    const uint8_t lastTwo[] = {0, 0b11};
    struct Case
    {
        const uint8_t *mask;
        qint64 length;
        std::vector<qint64> counts;
        qint64 missing;
    } cases[] = {
        {nullptr, 0, {2, 2, 2, 1, 2}, 1},
        {firstFour, 0, {0, 0, 0, 0, 0}, 0},  // a mask of length 0 takes no row
        {firstFour, 2, {2, 2, 0, 0, 0}, 0},
        {lastTwo, 2, {0, 0, 1, 0, 0}, 1},
    };
    for (const Case &c : cases) {
        std::vector<qint64> counts(5, -1);
        qint64 missing = -1;
        bool anyMissing = false;
        partition->populateCounts(counts.data(), cuts, 2, c.mask, c.length, &missing, &anyMissing);
        EXPECT_EQ(counts, c.counts) << c.length;
        EXPECT_EQ(missing, c.missing) << c.length;
        EXPECT_TRUE(anyMissing) << "a missing row outside the mask sets the flag too";
    }
}

TEST_F(DSPartitionTest, TextCutoffsRangesAndCounts)
{
    DSTextPartition *fruit = textPartition({"pear", "apple", nullptr, "kiwi", "melon", "apple"});
    ASSERT_NE(fruit, nullptr);
    struct Case
    {
        QStringList custom;
        QList<qint64> positions;
    } cases[] = {
        {{"m"}, {2}},             // melon
        {{"zzz"}, {3}},           // after every text: the last, not 4
        {{"m", "a", "m"}, {2, 0, 2}},  // in their order, duplicates kept
        {{}, {}},
    };
    fruit->setPartition_type(2);
    for (const Case &c : cases) {
        fruit->setCustom_text_cutoffs(c.custom);
        bool anyMissing = false;
        EXPECT_EQ(fruit->indexCutoffValues(&anyMissing), c.positions) << c.custom.join(',').toStdString();
        EXPECT_EQ(anyMissing, !c.custom.isEmpty()) << "unwritten without custom texts";
    }
    std::vector<qint64> counts(2, -1);
    qint64 missing = -1;
    fruit->populateCounts(counts.data(), {2}, nullptr, 0, &missing);
    EXPECT_EQ(counts, (std::vector<qint64>{3, 2}));
    EXPECT_EQ(missing, 1);
    const uint8_t firstThree = 0b111;
    fruit->populateCounts(counts.data(), {2}, &firstThree, 1, &missing);
    EXPECT_EQ(counts, (std::vector<qint64>{1, 1}));
    EXPECT_EQ(missing, 1);

    DSTextPartition *prefixed = textPartition({"banana", "apple", "cherry", "avocado", "blueberry"});
    prefixed->setPartition_type(3);
    prefixed->setCommon_prefix_length(1);
    EXPECT_EQ(prefixed->indexCutoffValues(nullptr), (QList<qint64>{2, 4}));
    EXPECT_EQ(prefixed->textRangesForIndexCutoffValues({2, 4}),
              ranges({{"apple", "avocado"}, {"banana", "blueberry"}, {"cherry", "cherry"}}));
    EXPECT_EQ(prefixed->displayableTextRangesForIndexCutoffValues({2, 4}), ranges({{"a", "a"}, {"b", "b"}, {"c", "c"}}));
    EXPECT_EQ(prefixed->textRangesForIndexCutoffValues({2, 2}),
              ranges({{"apple", "avocado"}, {"", ""}, {"banana", "cherry"}}))
        << "an empty group shows as empty texts";
    EXPECT_EQ(prefixed->textRangesForIndexCutoffValues({0}), ranges({{"apple", ""}, {"apple", "cherry"}}));
    EXPECT_EQ(prefixed->textRangesForIndexCutoffValues({}), ranges({{"apple", "cherry"}}));
    prefixed->setCommon_prefix_length(0);
    EXPECT_EQ(prefixed->indexCutoffValues(nullptr), QList<qint64>{}) << "one group";

    prefixed->setPartition_type(2);
    prefixed->setCustom_text_cutoffs({"b", "c"});
    EXPECT_EQ(prefixed->displayableTextRangesForIndexCutoffValues({2, 4}),
              ranges({{"apple", "avocado"}, {"b", "blueberry"}, {"c", "cherry"}}));
    prefixed->setPartition_type(1);
    EXPECT_EQ(prefixed->indexCutoffValues(nullptr), std::nullopt) << "fixed width is not a text type";
    EXPECT_TRUE(prefixed->displayableTextRangesForIndexCutoffValues({2}).isEmpty());
}

TEST_F(DSPartitionTest, TextQuantilePositions)
{
    // Quartile cuts at index positions 0, 2, 2: the single position 2.
    DSTextPartition *partition = textPartition({"a", "a", "a", "b", "c", "c", "c", "c"});
    partition->setPartition_type(0);
    partition->setQuantile_count(4);
    bool anyMissing = true;
    EXPECT_EQ(partition->indexCutoffValues(&anyMissing), QList<qint64>{2});
    EXPECT_FALSE(anyMissing);

    // Grouped by the partition as a covariate: a, a, a, b | c, c, c, c.
    DSTextColumn *column = partition->textColumn();
    column->setTreat_as_categories(false);
    const int32_t *groups = nullptr;
    qint64 bins = 0;
    ASSERT_EQ(column->getCovariateIndexedValues(&groups, &bins, {}, nullptr, 0), 8);
    EXPECT_EQ(bins, 2);
    EXPECT_EQ(std::vector<int32_t>(groups, groups + 8), (std::vector<int32_t>{0, 0, 0, 0, 1, 1, 1, 1}));
}

TEST_F(DSPartitionTest, TimeUnitsAndLimits)
{
    const double start = ds_test_time(2020, 1, 1);
    std::vector<double> days;
    for (int d = 0; d < 10; ++d)
        days.push_back(start + d * 86400.0 + 3600);
    days.push_back(nan);
    DSTimeColumn *column = addTimeColumn(days, {86400});
    column->makeDependencies();
    auto *partition = ds_object_cast<DSTimePartition>(column->covariate_partition());
    ASSERT_NE(partition, nullptr);
    const ds_time_stats_s stats = column->calculateStatsForMask(nullptr, 0, 1);

    // Ten days lie in two weeks (from Monday 30 December).
    struct Case
    {
        qint64 level, unit;
    } cases[] = {{0, 10}, {1, 9}, {9, 1}, {40, 1}};
    for (const Case &c : cases) {
        partition->setTime_resolution_level(c.level);
        EXPECT_EQ(partition->timeUnitForStats(stats), c.unit) << c.level;
    }

    partition->setTime_resolution_level(1);
    qint64 missing = -1;
    const QList<double> limits = partition->cutoffsForStats(stats, &missing);
    ASSERT_EQ(limits.size(), 11);
    for (int d = 0; d <= 10; ++d)
        EXPECT_EQ(limits[d], start + d * 86400.0);
    EXPECT_EQ(missing, 1);

    // The rows grouped by those days; the missing row gets the day count.
    const int32_t *groups = nullptr;
    qint64 bins = 0;
    ASSERT_EQ(column->getCovariateIndexedValues(&groups, &bins, {}, nullptr, 0), 11);
    EXPECT_EQ(bins, 10);
    EXPECT_EQ(groups[0], 0);
    EXPECT_EQ(groups[9], 9);
    EXPECT_EQ(groups[10], 10);

    ds_time_stats_s none;
    missing = -1;
    EXPECT_TRUE(partition->cutoffsForStats(none, &missing).isEmpty());
    EXPECT_EQ(missing, -1) << "no earliest start: the missing count is not written";

    // A range of five thousand years stops at the millennium.
    ds_time_stats_s vast;
    vast.min_start = 0;
    vast.max_start = vast.max_end = 1.6e11;
    partition->setTime_resolution_level(0);
    EXPECT_EQ(partition->timeUnitForStats(vast), 23);
}

}  // namespace
