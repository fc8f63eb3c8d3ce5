// The column aggregation's accumulation edge cases, its names and its
// formats, on small stored columns and a generated indicator column.

#include "PivotTestSupport.h"

#include "../model/TimeColumnsTestSupport.h"

#include "model/DSNumberFormatter.h"
#include "model/ds_row_mask.h"
#include "platform/store/DSObjectFactory.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

namespace {

enum class Kind { Numeric, Indicator, Categories };

// A mask over the records: none (every record), one of length 0 (no
// record), or these bytes.
struct Mask
{
    bool present = false;
    std::vector<uint8_t> bytes;
};
const Mask k_everyRecord;
const Mask k_noRecord{true, {}};

struct Case
{
    const char *what;
    Kind kind;
    std::vector<double> values;  // NaN missing; indicators 0 and 1
    std::vector<double> weights;  // none: unweighted
    Mask mask;
    int64_t tag;
    double expected;
};

class DSColumnAggregationTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        ds_columns_test_setup();
        DSObjectFactory::registerClass<TestIndicatorColumn>(QStringLiteral("DSIndicatorLocalColumn"));
    }

    // The aggregation of tag over a new column of kind holding values, all
    // records in group 0, accumulated under the mask.
    DSColumnAggregation *accumulate(TimeColumnsFixture &tables, Kind kind, const std::vector<double> &values,
                                    const std::vector<double> &weights, const Mask &mask, int64_t tag)
    {
        DSColumn *column = nullptr;
        if (kind == Kind::Indicator) {
            // New indicators are treated as categories; the 0/1 rules are
            // those of the plain kind.
            column = ds_add_indicator(tables, values);
            column->setTreat_as_categories(false);
        } else {
            column = tables.addColumn(values, QStringLiteral("x"));
            column->setTreat_as_categories(kind == Kind::Categories);
        }
        if (!weights.empty()) {
            tables.table()->setFrequency_weights_column(tables.addColumn(weights, QStringLiteral("w")));
            tables.table()->setApply_frequency_weights(true);
        }
        DSColumnAggregation *aggregation = ds_add_aggregation(tables.table(), column, tag);
        const int32_t *w = nullptr;
        const qint64 weighted = tables.table()->getFrequencyWeights(&w);
        EXPECT_EQ(weighted > 0, !weights.empty());
        const std::vector<int32_t> groups(values.size(), 0);
        // A mask of no bytes is still a mask: its pointer is not null.
        static const uint8_t everyBit = 0xFF;
        const uint8_t *bytes = !mask.present ? nullptr : mask.bytes.empty() ? &everyBit : mask.bytes.data();
        aggregation->recomputeValuesByIndex(groups.data(), qint64(values.size()), 1, w, bytes,
                                            qint64(mask.bytes.size()));
        return aggregation;
    }
};

std::vector<double> sequence(int n)
{
    std::vector<double> values(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        values[size_t(i)] = i;
    return values;
}

// n indicator values of which the first `trues` are true.
std::vector<double> flags(int n, int trues)
{
    std::vector<double> values(size_t(n), 0);
    std::fill_n(values.begin(), trues, 1);
    return values;
}

TEST_F(DSColumnAggregationTest, AccumulationEdgeCases)
{
    const double nan = NAN;
    const Case cases[] = {
        {"a null mask takes every record", Kind::Numeric, {1, 2, 3}, {}, k_everyRecord, 20, 3},
        {"a mask of length 0 takes no record", Kind::Numeric, {1, 2, 3}, {}, k_noRecord, 20, 0},
        {"so its mean is NaN", Kind::Numeric, {1, 2, 3}, {}, k_noRecord, 0, nan},
        {"a mask takes its records", Kind::Numeric, {1, 2, 4}, {}, {true, {0x5}}, 1, 5},
        {"tag 20 counts missing values", Kind::Numeric, {1, nan, 3}, {}, k_everyRecord, 20, 3},
        {"tag 21 does not", Kind::Numeric, {1, nan, 3}, {}, k_everyRecord, 21, 2},
        {"weight 3 counts three times in a mean", Kind::Numeric, {1, 5}, {3, 1}, k_everyRecord, 0, 2},
        {"and in a count", Kind::Numeric, {1, 5}, {3, 1}, k_everyRecord, 21, 4},
        {"weight 0 is never a percentile", Kind::Numeric, {-100, 1, 2}, {0, 1, 1}, k_everyRecord, 101, 1},
        {"nor a median", Kind::Numeric, {-100, 1, 2, 3}, {0, 1, 1, 1}, k_everyRecord, 150, 2},
        {"weights all 0 give no percentile", Kind::Numeric, {1, 2}, {0, 0}, k_everyRecord, 150, nan},
        {"weights all 0 give no mean", Kind::Numeric, {1, 2}, {0, 0}, k_everyRecord, 0, nan},
        {"p29 of W = 100 is rank 28", Kind::Numeric, sequence(100), {}, k_everyRecord, 129, 28},
        {"p29 of W = 100 weighted is rank 28", Kind::Numeric, sequence(50), std::vector<double>(50, 2),
         k_everyRecord, 129, 14},
        {"the median of 1..4 is 2.5", Kind::Numeric, {4, 1, 3, 2}, {}, k_everyRecord, 150, 2.5},
        {"the median of 1..3 is 2", Kind::Numeric, {3, 1, 2}, {}, k_everyRecord, 150, 2},
        {"the weighted median averages across weights", Kind::Numeric, {1, 2}, {1, 1}, k_everyRecord, 150, 1.5},
        {"q3 of 1..8", Kind::Numeric, {8, 7, 6, 5, 4, 3, 2, 1}, {}, k_everyRecord, 175, 7},
        {"the variance of weighted n = 1 is NaN", Kind::Numeric, {5, 7}, {1, 0}, k_everyRecord, 30, nan},
        {"the variance of 1 and 3 is 2", Kind::Numeric, {1, 3}, {}, k_everyRecord, 30, 2},
        {"the standard deviation of 1 and 3", Kind::Numeric, {1, 3}, {}, k_everyRecord, 31, std::sqrt(2.0)},
        {"the variance of 1e9 + {1, 2, 3} is 1", Kind::Numeric, {1e9 + 1, 1e9 + 2, 1e9 + 3}, {}, k_everyRecord, 30,
         1},
        {"count0, count+ and count-", Kind::Numeric, {-1, 0, 0, 2, nan}, {}, k_everyRecord, 23, 2},
        {"count+", Kind::Numeric, {-1, 0, 0, 2, nan}, {}, k_everyRecord, 24, 1},
        {"count-", Kind::Numeric, {-1, 0, 0, 2, nan}, {}, k_everyRecord, 25, 1},
        {"min and max ignore weights", Kind::Numeric, {-5, 1, 2}, {0, 1, 1}, k_everyRecord, 10, -5},
        {"an unknown tag is NaN", Kind::Numeric, {1, 2}, {}, k_everyRecord, 5, nan},
        {"an indicator's p70 above 30% true is 1", Kind::Indicator, flags(100, 31), {}, k_everyRecord, 170, 1},
        {"below 30% true it is 0", Kind::Indicator, flags(100, 29), {}, k_everyRecord, 170, 0},
        {"at exactly 30% true it is 0.5", Kind::Indicator, flags(100, 30), {}, k_everyRecord, 170, 0.5},
        {"an indicator's mean is its share of true", Kind::Indicator, {1, 0, 1, nan}, {}, k_everyRecord, 0, 2.0 / 3},
        {"an indicator's count0 counts false", Kind::Indicator, {1, 0, 0, nan}, {}, k_everyRecord, 23, 2},
        {"a categorical minimum has no number", Kind::Categories, {3, 1, 2}, {}, k_everyRecord, 10, nan},
        {"a categorical mean is of the values", Kind::Categories, {3, 1, 2}, {}, k_everyRecord, 0, 2},
    };
    for (const Case &c : cases) {
        TimeColumnsFixture tables;
        DSColumnAggregation *aggregation = accumulate(tables, c.kind, c.values, c.weights, c.mask, c.tag);
        const double got = aggregation->doubleValueAtIndex(0);
        if (std::isnan(c.expected))
            EXPECT_TRUE(std::isnan(got)) << c.what << ": " << got;
        else
            EXPECT_NEAR(got, c.expected, 1e-12 * std::max(1.0, std::fabs(c.expected))) << c.what;
        EXPECT_TRUE(std::isnan(aggregation->doubleValueAtIndex(1))) << c.what << ": no group 1";
    }
}

TEST_F(DSColumnAggregationTest, CategoricalResultsAnswerTheLongValue)
{
    TimeColumnsFixture tables;
    const struct
    {
        int64_t tag;
        const char *value;
    } cases[] = {{10, "1"}, {11, "3"}, {150, "2"}, {101, "1"}};
    for (const auto &c : cases) {
        DSColumnAggregation *aggregation = accumulate(tables, Kind::Categories, {3, 1, 2, 2}, {}, k_everyRecord, c.tag);
        EXPECT_TRUE(aggregation->hasStringValue());
        EXPECT_EQ(aggregation->stringValueAtIndex(0), QString::fromLatin1(c.value)) << c.tag;
        EXPECT_EQ(aggregation->formattedStringAtIndex(0), QString::fromLatin1(c.value)) << c.tag;
        EXPECT_TRUE(std::isnan(aggregation->doubleValueAtIndex(0))) << c.tag;
        EXPECT_FALSE(aggregation->canServeAsInput());
    }
    // One result per category: counts and proportions by category index.
    DSColumnAggregation *counts = accumulate(tables, Kind::Categories, {3, 1, 2, 2}, {}, k_everyRecord, 21);
    DSColumnAggregation *shares = accumulate(tables, Kind::Categories, {3, 1, 2, 2}, {}, k_everyRecord, 0);
    EXPECT_TRUE(counts->hasMultipleHeadings());
    EXPECT_EQ(counts->doubleValueAtIndex(0, 1), 2);
    EXPECT_EQ(shares->doubleValueAtIndex(0, 1), 0.5);
    EXPECT_TRUE(std::isnan(shares->doubleValueAtIndex(0, 7)));
    DSColumnAggregation *distinct = accumulate(tables, Kind::Categories, {3, 1, 2, 2}, {}, {true, {0xC}}, 22);
    EXPECT_EQ(distinct->doubleValueAtIndex(0), 1);
}

TEST_F(DSColumnAggregationTest, NamesAndFormats)
{
    TimeColumnsFixture tables;
    DSNumericColumn *x = tables.addColumn({1.5, 2.5}, QStringLiteral("x"));
    x->number_formatter()->setNumber_style(2);
    DSNumericColumn *c = tables.addColumn({1, 2}, QStringLiteral("c"));
    c->setTreat_as_categories(true);
    DSTimeColumn *clock = tables.addTimeColumn({3600, 7200}, {60}, true, QStringLiteral("clock"));
    DSTimeColumn *stamps = tables.addTimeColumn({3.6e8, 3.6e8 + 60}, {60}, false, QStringLiteral("stamp"));
    DSTimeColumn *days = tables.addTimeColumn({3.6e8, 3.6e8 + 86400}, {86400}, false, QStringLiteral("day"));
    DSTable *table = tables.table();
    const struct
    {
        DSColumn *column;
        int64_t tag;
        const char *name;
        int style;      // of the aggregation's own formatter; -1 not checked
        int64_t excel;  // after an accumulation
        bool numbers;   // hasNumberFormatter
    } cases[] = {
        {nullptr, 20, "count", 1, 0, true},
        {x, 20, "count", 1, 0, true},
        {x, 21, "count(x)", 1, 0, true},
        {x, 129, "p29(x)", 2, 0, true},
        {x, 125, "q1(x)", 2, 0, true},
        {x, 150, "median(x)", 2, 0, true},
        {x, 175, "q3(x)", 2, 0, true},
        {x, 105, "p05(x)", 2, 0, true},
        {x, 30, "var(x)", 1, 0, true},
        {x, 31, "stdev(x)", 2, 0, true},
        {x, 24, "count+(x)", 1, 0, true},
        {c, 0, "mean(c)", 3, 10, true},
        {c, 21, "count(c)", 1, 0, true},
        {clock, 10, "min(clock)", -1, 18, false},
        {stamps, 11, "max(stamp)", -1, 22, false},
        {days, 150, "median(day)", -1, 14, false},
        {days, 21, "count(day)", -1, 0, true},
    };
    for (const auto &k : cases) {
        DSColumnAggregation *aggregation = ds_add_aggregation(table, k.column, k.tag);
        const int32_t groups[] = {0, 0};
        aggregation->recomputeValuesByIndex(groups, 2, 1, nullptr, nullptr, 0);
        EXPECT_EQ(aggregation->name(), QString::fromUtf8(k.name));
        if (k.style >= 0) {
            EXPECT_EQ(aggregation->number_formatter()->number_style(), k.style) << k.name;
        }
        EXPECT_EQ(aggregation->ExcelFormatCode(), k.excel) << k.name;
        EXPECT_EQ(aggregation->hasNumberFormatter(), k.numbers) << k.name;
        EXPECT_EQ(aggregation->hasDateValue(), !k.numbers) << k.name;
    }
    EXPECT_EQ(ds_add_aggregation(table, nullptr, 20)->columnName(), QStringLiteral("All"));
    // Sums, extremes and percentiles show in the column's own live format.
    EXPECT_EQ(ds_add_aggregation(table, x, 1)->numberFormatter(), x->number_formatter());
    DSColumnAggregation *mean = ds_add_aggregation(table, x, 0);
    EXPECT_NE(mean->numberFormatter(), x->number_formatter());
    EXPECT_EQ(mean->numberFormatter()->number_style(), 2);
    // A day-unit median is a date at the start of its day.
    DSColumnAggregation *median = ds_add_aggregation(table, days, 150);
    const int32_t groups[] = {0, 0};
    median->recomputeValuesByIndex(groups, 2, 1, nullptr, nullptr, 0);
    ASSERT_TRUE(median->dateValueAtIndex(0));
    EXPECT_EQ(median->timeUnit(), ds_time_unit_day);
    EXPECT_EQ(median->dateValueAtIndex(0)->duration(), 86400);
}

} // namespace
