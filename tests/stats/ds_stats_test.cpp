#include "model/util/ds_stats.h"

#include <gtest/gtest.h>
#include <tbb/task_arena.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace {

const double nan = std::numeric_limits<double>::quiet_NaN();
const uint64_t all_options = ds_stats_extremes | ds_stats_moments | ds_stats_quartiles;

struct column_data {
    std::vector<double> values;
    std::vector<int32_t> weights = {};   // empty: unweighted
    std::vector<uint8_t> missing = {};   // empty: no mask

    ds_numeric_rows_s rows() const
    {
        return {values.data(), int64_t(values.size()), missing.empty() ? nullptr : missing.data(),
                int64_t(missing.size()), weights.empty() ? nullptr : weights.data(),
                int64_t(weights.size())};
    }
};

// Expected fields of a case; a NaN expects NaN.
struct stats_case {
    const char *what;
    column_data column;
    std::vector<uint8_t> mask;  // with mask_given
    bool mask_given;
    uint64_t options;
    double min, max, avg, var_biased, var_unbiased, q1, med, q3, mad;
    int64_t count, missing;
};

void expect_field(double actual, double wanted, const char *field, const char *what)
{
    if (std::isnan(wanted))
        EXPECT_TRUE(std::isnan(actual)) << what << " " << field << " " << actual;
    else
        EXPECT_DOUBLE_EQ(actual, wanted) << what << " " << field;
}

TEST(Stats, EdgeCases)
{
    const stats_case cases[] = {
        {"no stored values", {}, {}, false, all_options, nan, nan, nan, nan, nan, nan, nan, nan, nan, 0, 0},
        {"every taken row missing", {{nan, 2, nan}, {2, 5, 3}, {0b010}}, {0b111}, true, all_options,
         nan, nan, nan, nan, nan, nan, nan, nan, nan, 0, 10},
        {"one row", {{7.5}}, {}, false, all_options, 7.5, 7.5, 7.5, 0, nan, 7.5, 7.5, 7.5, 0, 1, 0},
        {"1 to 4, quartiles", {{4, 2, 1, 3}}, {}, false, ds_stats_quartiles,
         nan, nan, nan, nan, nan, 2, 2.5, 4, 1, 4, 0},  // 0x20 is one of 0xF0
        {"options 0", {{1, 2, nan}, {1, 1, 4}}, {}, false, 0, nan, nan, nan, nan, nan, nan, nan, nan, nan, 2, 4},
        {"mask of length 0", {{1, 2, nan}}, {}, true, all_options, nan, nan, nan, nan, nan, nan, nan, nan, nan, 0, 0},
        // Rows of weight 0 count nowhere and never set an extreme.
        {"weight 0", {{-100, 1, 3, 100, nan}, {0, 1, 1, 0, 0}}, {}, false, all_options,
         1, 3, 2, 1, 2, 1, 2, 3, 1, 2, 0},
        {"weights expand", {{1, 2, 10}, {3, 1, 0}}, {}, false, all_options,
         1, 2, 1.25, 0.1875, 0.25, 1, 1, 2, 0, 4, 0},
        // NaN values are missing even where the mask does not say so.
        {"NaN unmarked", {{nan, 1, 3}}, {}, false, ds_stats_moments | ds_stats_extremes,
         1, 3, 2, 1, 2, nan, nan, nan, nan, 2, 1},
        {"the mask takes rows 0 and 2", {{5, 100, 7, 9}}, {0b0101}, true, ds_stats_moments | ds_stats_mad,
         nan, nan, 6, 1, 2, 5, 6, 7, 1, 2, 0},
        // A row past the mask's bytes is not taken; a row past the weights weighs 1.
        {"short mask and weights", {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, {2}}, {0xFF}, true, ds_stats_extremes,
         1, 8, nan, nan, nan, nan, nan, nan, nan, 9, 0},
    };
    const uint8_t no_rows = 0;  // a mask that is present with length 0
    for (const stats_case &c : cases) {
        const ds_numeric_rows_s rows = c.column.rows();
        const uint8_t *mask = !c.mask_given ? nullptr : c.mask.empty() ? &no_rows : c.mask.data();
        const ds_stats_s s = ds_calculate_stats(&rows, mask, int64_t(c.mask.size()), c.options);
        expect_field(s.min, c.min, "min", c.what);
        expect_field(s.max, c.max, "max", c.what);
        expect_field(s.avg, c.avg, "avg", c.what);
        expect_field(s.var_biased, c.var_biased, "var_biased", c.what);
        expect_field(s.var_unbiased, c.var_unbiased, "var_unbiased", c.what);
        expect_field(s.q1, c.q1, "q1", c.what);
        expect_field(s.med, c.med, "med", c.what);
        expect_field(s.q3, c.q3, "q3", c.what);
        expect_field(s.mad, c.mad, "mad", c.what);
        EXPECT_TRUE(std::isnan(s.skew) && std::isnan(s.kurt)) << c.what;
        EXPECT_EQ(s.count, c.count) << c.what;
        EXPECT_EQ(s.missing, c.missing) << c.what;
    }
}

// 48 rows make 24 chunks of 2: a chunk whose rows are all missing still
// adds their weight, and a chunk of weight-0 rows lends no extremes.
TEST(Stats, ChunksWithoutValues)
{
    column_data c;
    for (int i = 0; i < 48; ++i) {
        c.values.push_back(i);
        c.weights.push_back(1);
    }
    c.values[0] = c.values[1] = nan;
    c.weights[0] = 4;
    c.weights[46] = c.weights[47] = 0;
    const ds_numeric_rows_s rows = c.rows();
    const ds_stats_s s = ds_calculate_stats(&rows, nullptr, 0, all_options);
    EXPECT_EQ(s.missing, 5);
    EXPECT_EQ(s.count, 44);
    EXPECT_EQ(s.min, 2);
    EXPECT_EQ(s.max, 45);
    EXPECT_DOUBLE_EQ(s.avg, 23.5);
}

TEST(Stats, DifferencesOfTwoColumns)
{
    const column_data a{{5, 7, nan, 10, 4}, {1, 2, 1, 1, 0}, {0b01000}};
    const column_data b{{1, 2, 3, nan, 1}};
    const ds_numeric_rows_s ra = a.rows(), rb = b.rows();
    // Row 2 is missing in a (NaN), row 3 in both (a's mask, b's NaN);
    // row 4 weighs 0.
    const ds_stats_s s = ds_calculate_difference_stats(&ra, &rb, nullptr, 0, all_options);
    EXPECT_EQ(s.count, 3);
    EXPECT_EQ(s.missing, 2);
    EXPECT_EQ(s.min, 4);
    EXPECT_EQ(s.max, 5);
    EXPECT_DOUBLE_EQ(s.avg, 14.0 / 3);
    EXPECT_EQ(s.med, 5);

    const column_data shorter{{1, 2, 3}};
    const ds_numeric_rows_s rs = shorter.rows();
    const ds_stats_s fixed = ds_calculate_difference_stats(&ra, &rs, nullptr, 0, all_options);
    EXPECT_EQ(fixed.count, 0);
    EXPECT_EQ(fixed.missing, 0);
    EXPECT_TRUE(std::isnan(fixed.avg) && std::isnan(fixed.min) && std::isnan(fixed.med));
}

TEST(Stats, GroupsSkipIndexesOutOfRange)
{
    const column_data c{{1, 2, 3, 4, 5, 6, nan, 100, -100}, {1, 1, 1, 1, 1, 2, 3, 1, 1}};
    const int32_t groups[] = {0, 0, 1, 1, 1, 1, 1, 2, -1};  // 2 and -1 are no group of 2
    const ds_numeric_rows_s rows = c.rows();
    ds_stats_s sentinel = ds_stats_not_computed();
    sentinel.avg = 42;
    ds_stats_s results[3] = {sentinel, sentinel, sentinel};
    ds_calculate_multiple_stats(results, 2, groups, &rows, nullptr, 0, all_options);
    EXPECT_EQ(results[0].count, 2);
    EXPECT_DOUBLE_EQ(results[0].avg, 1.5);
    EXPECT_DOUBLE_EQ(results[0].var_unbiased, 0.5);
    EXPECT_EQ(results[0].med, 1.5);
    EXPECT_EQ(results[1].count, 5);
    EXPECT_EQ(results[1].missing, 3);
    EXPECT_EQ(results[1].min, 3);
    EXPECT_EQ(results[1].max, 6);
    EXPECT_DOUBLE_EQ(results[1].avg, 24.0 / 5);
    EXPECT_EQ(results[1].q1, 4);
    EXPECT_EQ(results[1].med, 5);
    EXPECT_EQ(results[1].q3, 6);
    // The third record is the caller's, beyond the count: untouched.
    EXPECT_EQ(results[2].count, -1);
    EXPECT_EQ(results[2].avg, 42);

    // Without group indexes every record is a group without rows.
    ds_calculate_multiple_stats(results, 2, nullptr, &rows, nullptr, 0, all_options);
    EXPECT_EQ(results[1].count, 0);
    EXPECT_TRUE(std::isnan(results[1].avg) && std::isnan(results[1].min) && std::isnan(results[1].mad));
}

// Values near 10^9 and near the time values of today (7 x 10^8 seconds):
// the variance keeps its digits where sums of squares would lose them all.
TEST(Stats, VarianceFarFromZero)
{
    const struct {
        double base;
        double step;
    } cases[] = {{1e9, 0.1}, {7.2e8, 1}, {-3e12, 0.001}, {1e15, 1}};
    for (const auto &c : cases) {
        column_data col;
        for (int i = 0; i < 1000; ++i)
            col.values.push_back(c.base + c.step * (i % 10));
        // The data as stored: each value rounded once to a double.
        long double mean = 0, squares = 0;
        for (double v : col.values)
            mean += v;
        mean /= col.values.size();
        for (double v : col.values)
            squares += (v - mean) * (v - mean);
        const double wanted = double(squares / (col.values.size() - 1));
        const ds_numeric_rows_s rows = col.rows();
        const ds_stats_s s = ds_calculate_stats(&rows, nullptr, 0, ds_stats_moments);
        EXPECT_NEAR(s.var_unbiased, wanted, 1e-12 * wanted) << c.base;
        EXPECT_GE(s.var_biased, 0);
    }
}

// Partial results merged in chunk order give the same bits on one thread
// as on many.
TEST(Stats, SameBitsOnAnyNumberOfThreads)
{
    std::mt19937_64 rng(5);
    std::normal_distribution<double> noise(0, 3);
    column_data c;
    for (int i = 0; i < 300000; ++i) {
        c.values.push_back(7e8 + noise(rng));
        c.weights.push_back(int32_t(rng() % 4));
    }
    const ds_numeric_rows_s rows = c.rows();
    const ds_stats_s many = ds_calculate_stats(&rows, nullptr, 0, all_options);
    ds_stats_s one;
    tbb::task_arena(1).execute([&] { one = ds_calculate_stats(&rows, nullptr, 0, all_options); });
    EXPECT_EQ(std::memcmp(&many, &one, sizeof one), 0);
}

TEST(Stats, DistinctQuantileCuts)
{
    const struct {
        std::vector<double> sorted;
        std::vector<int32_t> weights;
        int k;
        std::vector<double> cuts;
    } cases[] = {
        {std::vector<double>(10, 3.5), {}, 4, {3.5}},
        {{1, 1, 2, 2}, {}, 5, {1, 2}},
        {{1, 2, 3, 4}, {}, 4, {2, 3, 4}},
        {{1, 2, 3}, {0, 5, 1}, 2, {2}},
        {{1, 2}, {0, 0}, 3, {}},
        {{1, 2}, {}, 1, {}},
        {{}, {}, 4, {}},
    };
    for (const auto &c : cases) {
        std::vector<double> out(size_t(std::max(c.k, 1)));
        const int64_t n = ds_distinct_quantile_cuts(c.sorted.data(), c.weights.empty() ? nullptr : c.weights.data(),
                                                    int64_t(c.sorted.size()), c.k, out.data());
        out.resize(size_t(n));
        EXPECT_EQ(out, c.cuts) << c.k;
    }
}

}  // namespace
