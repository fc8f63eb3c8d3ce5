#include "model/util/ds_distribution.h"
#include "model/util/ds_histogram.h"
#include "model/util/ds_row_weight.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

const double nan = std::numeric_limits<double>::quiet_NaN();

TEST(Histogram, BinsAtTheEdges)
{
    // minimum 0, width 0.1, 3 bins: 0.3 (at the maximum) goes to the last bin;
    // 0.29999999999 computes to 2.9999999999 and the 1e-10 term makes it 3,
    // clamped to bin 2 as well; 0.1 * 3 is 0.30000000000000004.
    const double values[] = {0.0, 0.05, 0.1, 0.2, 0.3, 0.29999999999, 0.7, -0.5, nan};
    const int32_t weights[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    int64_t counts[3] = {-1, -1, -1};
    ds_histogram_parallel(values, weights, 9, nullptr, 0, counts, 0.0, 0.3, 0.1, 3);
    EXPECT_EQ(counts[0], 1 + 2);
    EXPECT_EQ(counts[1], 3);
    EXPECT_EQ(counts[2], 4 + 5 + 6 + 7);

    // 2.9999999999 bins lands in bin 3 of 5.
    const double near[] = {2.9999999999, 2.99999};
    int64_t five[5];
    ds_histogram_parallel(near, nullptr, 2, nullptr, 0, five, 0.0, 5.0, 1.0, 5);
    EXPECT_EQ(five[3], 1);
    EXPECT_EQ(five[2], 1);
}

TEST(Histogram, MasksAndWeights)
{
    const double values[] = {0.5, 1.5, 2.5, 3.5, 4.5, 5.5, 6.5, 7.5, 8.5, 9.5};
    const int32_t weights[] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    const uint8_t mask[] = {0b10101010, 0b00000010};       // rows 1, 3, 5, 7, 9
    int64_t counts[10];
    ds_histogram_parallel(values, weights, 10, mask, 2, counts, 0, 10, 1, 10);
    for (int b = 0; b < 10; ++b)
        EXPECT_EQ(counts[b], b % 2) << b;
    ds_histogram_parallel(values, nullptr, 10, mask, 0, counts, 0, 10, 1, 10);
    for (int b = 0; b < 10; ++b)
        EXPECT_EQ(counts[b], 0);
    // A mask shorter than the rows admits none past its end.
    ds_histogram_parallel(values, nullptr, 10, mask, 1, counts, 0, 10, 1, 10);
    EXPECT_EQ(counts[9], 0);
    EXPECT_EQ(counts[7], 1);
}

// The parallel histogram must count what the serial one counts.
TEST(Histogram, ParallelEqualsSerial)
{
    const int64_t n = 200001;
    std::mt19937 rng(9);
    std::vector<double> values(n), zeros(n, 0.0);
    std::vector<int32_t> weights(n);
    std::vector<uint8_t> mask((n + 7) / 8);
    for (int64_t i = 0; i < n; ++i) {
        values[i] = double(rng() % 100000) / 997;
        weights[i] = int32_t(rng() % 5);
    }
    for (auto &m : mask)
        m = uint8_t(rng());
    std::vector<int64_t> parallel(37), serial(37);
    ds_histogram_parallel(values.data(), weights.data(), n, mask.data(), int64_t(mask.size()),
                          parallel.data(), 0, 101, 2.75, 37);
    ds_histogram_differences(values.data(), zeros.data(), weights.data(), n, mask.data(),
                             int64_t(mask.size()), 0, 101, 2.75, serial.data(), 37);
    EXPECT_EQ(parallel, serial);
}

TEST(Histogram, DifferencesCountAMinusB)
{
    const double a[] = {5, 7, 3, 10};
    const double b[] = {4, 4, 4, 0};
    int64_t counts[4];
    ds_histogram_differences(a, b, nullptr, 4, nullptr, 0, -2, 2, 1, counts, 4);
    // a - b = 1, 3, -1, 10: bins 3, 3 (clamped), 1, 3 (clamped)
    EXPECT_EQ(counts[0], 0);
    EXPECT_EQ(counts[1], 1);
    EXPECT_EQ(counts[2], 0);
    EXPECT_EQ(counts[3], 3);
}

TEST(Histogram, ByGroupIndex)
{
    const double values[] = {0.0, 0.5, 1.0, 0.99, 0.25, 0.75, 0.3, -1.0};
    const int32_t groups[] = {0, 0, 0, 1, 1, 2, -1, 1};
    const int32_t weights[] = {1, 2, 3, 4, 5, 6, 7, 8};
    int64_t counts[2 * 4];
    // width 0.25 over [0, 1]: 4 bins a group; group 2 and -1 are skipped, and
    // -1.0 lies below the minimum.
    ds_histogram_by_index(values, weights, 8, nullptr, 0, counts, 0, 1, 0.25, 4, groups, 2);
    const int64_t expected[] = {1, 0, 2, 3, 0, 5, 0, 4};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(counts[i], expected[i]) << i;

    // A value just below the maximum whose bin rounds to 4 stays in its group.
    const double edge[] = {0.9999999999999999};
    const int32_t one_group[] = {0};
    ds_histogram_by_index(edge, nullptr, 1, nullptr, 0, counts, 0, 1, 1.0 / 3.0 * 0.75, 4, one_group, 2);
    EXPECT_EQ(counts[3], 1);
    EXPECT_EQ(counts[4], 0);
}

TEST(Histogram, IndexByIntegerCutoffs)
{
    const int32_t cuts[] = {10, 20};
    const int32_t values[] = {9, 10, 19, 20, INT32_MIN, INT32_MAX, 15};
    const uint8_t mask[] = {0b00111111};  // row 6 masked out
    int32_t index[7];
    ds_index_by_int_cutoffs(values, index, 7, mask, 1, cuts, 2);
    const int32_t expected[] = {0, 1, 1, 2, 0, 2, 3};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(index[i], expected[i]) << i;
}

TEST(Histogram, IndexByDoubleCutoffs)
{
    const double cuts[] = {0.1 + 0.2, 1.0};  // 0.30000000000000004
    const double values[] = {0.3, 0.29, 0.5, 1.0, 2.0, nan, 0.2};
    const uint8_t mask[] = {0b00111111};
    int32_t index[7];
    ds_index_by_double_cutoffs(values, index, 7, mask, 1, cuts, 2, 0.1);
    // 0.3 prints as the cut value and so starts its bin.
    const int32_t expected[] = {1, 0, 1, 2, 2, 3, 3};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(index[i], expected[i]) << i;
    ds_index_by_double_cutoffs(values, index, 7, nullptr, 0, cuts, 2, nan);
    EXPECT_EQ(index[0], 0);  // no width, no nudge
}

TEST(RowWeight, Cases)
{
    const int32_t weights[] = {4, 0, 7};
    EXPECT_EQ(ds_row_weight(0, weights, 3), 4);
    EXPECT_EQ(ds_row_weight(1, weights, 3), 0);
    EXPECT_EQ(ds_row_weight(3, weights, 3), 1);
    EXPECT_EQ(ds_row_weight(2, nullptr, 3), 1);
    const uint8_t mask[] = {0b00000101};
    EXPECT_TRUE(ds_row_admitted(nullptr, 0, 5));
    EXPECT_TRUE(ds_row_admitted(mask, 1, 2));
    EXPECT_FALSE(ds_row_admitted(mask, 1, 1));
    EXPECT_FALSE(ds_row_admitted(mask, 0, 0));
    EXPECT_FALSE(ds_row_admitted(mask, 1, 8));
}

TEST(Distribution, Helpers)
{
    EXPECT_EQ(ds_logistic_cdf(0), 0.5);
    EXPECT_EQ(ds_logistic_pdf(0), 0.25);
    EXPECT_EQ(ds_normal_cdf(0), 0.5);
    EXPECT_EQ(ds_normal_pdf(0), 0.3989422804014326);
    EXPECT_NEAR(ds_normal_cdf(1.959963984540054), 0.975, 1e-15);
    EXPECT_NEAR(ds_normal_cdf(-8), 6.22096057427178e-16, 1e-28);
    EXPECT_NEAR(ds_logistic_cdf(2), 0.8807970779778823, 1e-15);
}

}  // namespace
