#include "model/util/ds_sort.h"
#include "tests/support/ds_test_sizes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <numeric>
#include <random>
#include <vector>

namespace {

struct Pair {
    double value;
    int32_t companion;
};

std::vector<double> random_values(int64_t n, uint32_t seed, double ties_step = 0)
{
    std::mt19937_64 rng(seed);
    std::normal_distribution<double> normal(100.0, 1000.0);
    std::vector<double> v(static_cast<size_t>(n));
    for (double &x : v) {
        x = normal(rng);
        if (ties_step > 0)
            x = std::round(x / ties_step) * ties_step;
    }
    return v;
}

// A stable sort is unique: ascending values, and among equal values the
// original positions (the companions) ascending. Checking that, and that
// each value is the one its companion came from, equals comparing with
// std::stable_sort without the second big array.
void expect_stably_sorted(const std::vector<double> &original, const std::vector<double> &sorted,
                          const std::vector<int32_t> &companions)
{
    ASSERT_EQ(original.size(), sorted.size());
    std::vector<bool> seen(original.size(), false);
    for (size_t i = 0; i < sorted.size(); ++i) {
        const int32_t c = companions[i];
        ASSERT_TRUE(c >= 0 && size_t(c) < original.size() && !seen[c]) << "place " << i;
        seen[c] = true;
        ASSERT_EQ(std::memcmp(&sorted[i], &original[c], sizeof(double)), 0) << "place " << i;
        if (i > 0) {
            ASSERT_LE(sorted[i - 1], sorted[i]) << "place " << i;
            if (sorted[i - 1] == sorted[i]) {
                ASSERT_LT(companions[i - 1], c) << "tie at place " << i;
            }
        }
    }
}

void sort_and_check(const std::vector<double> &original)
{
    std::vector<double> values = original;
    std::vector<int32_t> companions(values.size());
    std::iota(companions.begin(), companions.end(), 0);
    ds_sort(values.data(), companions.data(), int64_t(values.size()));
    expect_stably_sorted(original, values, companions);

    std::vector<double> alone = original;
    ds_sort(alone.data(), nullptr, int64_t(alone.size()));
    EXPECT_EQ(alone, values);
}

TEST(Sort, TenMillionWithCompanionsEqualsStableSort)
{
    DS_SKIP_UNDER_SANITIZER();
    const int64_t n = 10000000;
    // Ties (a grid of 0.5) make the comparison test stability too.
    const std::vector<double> original = random_values(n, 7, 0.5);
    std::vector<double> values = original;
    std::vector<int32_t> companions(static_cast<size_t>(n));
    std::iota(companions.begin(), companions.end(), 0);
    ds_sort(values.data(), companions.data(), n);

    std::vector<Pair> expected(static_cast<size_t>(n));
    for (int64_t i = 0; i < n; ++i)
        expected[i] = {original[i], int32_t(i)};
    std::stable_sort(expected.begin(), expected.end(),
                     [](const Pair &a, const Pair &b) { return a.value < b.value; });
    for (int64_t i = 0; i < n; ++i) {
        ASSERT_EQ(values[i], expected[i].value) << i;
        ASSERT_EQ(companions[i], expected[i].companion) << i;
    }
}

TEST(Sort, ChunkCountsFollowTheSize)
{
    const struct {
        int64_t count, chunks;
    } cases[] = {
        {0, 1}, {4095, 1}, {4096, 16}, {16777216, 16}, {16777217, 64},
        {67108864, 64}, {67108865, 256},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ds_sort_chunk_count(c.count), c.chunks) << c.count;
}

// Sizes on each side of the thresholds, for each kind of chunk: general
// values, whole numbers spanning less than 8,192 (counted), whole numbers
// spanning more, already sorted runs, reversed runs and one repeated value.
TEST(Sort, EveryPathAgreesWithAStableSort)
{
    const int64_t sizes[] = {2, 31, 32, 33, 1000, 4095, 4096, 4097, 65537};
    for (int64_t n : sizes) {
        SCOPED_TRACE(n);
        sort_and_check(random_values(n, uint32_t(n)));
        sort_and_check(random_values(n, uint32_t(n), 0.25));

        std::vector<double> small_ints(static_cast<size_t>(n)), wide_ints(static_cast<size_t>(n)), ascending(static_cast<size_t>(n)),
            descending(static_cast<size_t>(n)), same(static_cast<size_t>(n), 3.5);
        std::mt19937 rng{static_cast<uint32_t>(n)};
        for (int64_t i = 0; i < n; ++i) {
            small_ints[i] = double(int(rng() % 8191) - 4000);
            wide_ints[i] = double(int(rng() % 8193) - 4000);
            ascending[i] = double(i / 3);
            descending[i] = -double(i / 3);
        }
        small_ints[0] = -4000;
        small_ints[n - 1] = 4190;
        sort_and_check(small_ints);
        sort_and_check(wide_ints);
        sort_and_check(ascending);
        sort_and_check(descending);
        sort_and_check(same);
    }
}

TEST(Sort, AboveSixteenMillionUsesMoreChunksAndStillSorts)
{
    DS_SKIP_UNDER_SANITIZER();
    const int64_t n = 16777217;
    std::vector<double> original(static_cast<size_t>(n));
    std::mt19937_64 rng(3);
    for (double &x : original)
        x = double(rng() % 1000000) / 8;
    sort_and_check(original);
}

TEST(Sort, SignedZerosAndInfinitiesKeepTheirOrder)
{
    std::vector<double> original;
    for (int i = 0; i < 5000; ++i) {
        const double pick[] = {0.0, -0.0, std::numeric_limits<double>::infinity(),
                               -std::numeric_limits<double>::infinity(), 1e-310, -1e-310, 2.5};
        original.push_back(pick[(i * 7919) % 7]);
    }
    sort_and_check(original);
    std::vector<double> small(original.begin(), original.begin() + 100);
    sort_and_check(small);
}

TEST(Sort, QuicksortSortsAndCarriesCompanions)
{
    const int32_t sizes[] = {0, 1, 2, 3, 17, 1000, 100000};
    for (int32_t n : sizes) {
        const std::vector<double> kinds[] = {
            random_values(n, 11),
            random_values(n, 12, 10000.0),
            std::vector<double>(size_t(n), 1.0),
        };
        for (const std::vector<double> &original : kinds) {
            std::vector<double> values = original;
            std::vector<int32_t> companions(static_cast<size_t>(n));
            std::iota(companions.begin(), companions.end(), 0);
            ds_quicksort(values.data(), companions.data(), n);
            EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
            for (int32_t i = 0; i < n; ++i)
                ASSERT_EQ(values[i], original[companions[i]]);
        }
    }
    // Sorted and reversed input must not take quadratic time (a million
    // values would take minutes with the first value as pivot).
    std::vector<double> reversed(1000000);
    for (size_t i = 0; i < reversed.size(); ++i)
        reversed[i] = double(reversed.size() - i);
    ds_quicksort(reversed.data(), nullptr, int32_t(reversed.size()));
    EXPECT_TRUE(std::is_sorted(reversed.begin(), reversed.end()));
}

TEST(Sort, ComparatorsOrderNaNAndNullLast)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        double a, b;
        int expected;
    } cases[] = {
        {1, 2, -1}, {2, 1, 1}, {1, 1, 0}, {nan, nan, 0}, {nan, 1, 1}, {1, nan, -1}, {-0.0, 0.0, 0},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(ds_compare_doubles(&c.a, &c.b), c.expected) << c.a << " " << c.b;
        struct {
            double value;
            int64_t rows;
        } ra{c.a, 1}, rb{c.b, 2};
        EXPECT_EQ(ds_compare_value_records(&ra, &rb), c.expected);
    }

    const char *texts[] = {"b", nullptr, "a", "\xc3\xa9", nullptr, "B"};
    qsort(texts, 6, sizeof(const char *), ds_compare_strings);
    EXPECT_STREQ(texts[0], "B");
    EXPECT_STREQ(texts[1], "a");
    EXPECT_STREQ(texts[2], "b");
    EXPECT_STREQ(texts[3], "\xc3\xa9");  // bytes above 0x7f sort after ASCII
    EXPECT_EQ(texts[4], nullptr);
    EXPECT_EQ(texts[5], nullptr);
}

TEST(Sort, UniqueKeepsTheFirstOfEachRun)
{
    double values[] = {1, 1, 2, 3, 3, 3, 4, 1};
    EXPECT_EQ(ds_unique(values, 8, sizeof(double), ds_compare_doubles), 5);
    const double expected[] = {1, 2, 3, 4, 1};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(values[i], expected[i]);
    EXPECT_EQ(ds_unique(values, 0, sizeof(double), ds_compare_doubles), 0);
    EXPECT_EQ(ds_unique(values, 1, sizeof(double), ds_compare_doubles), 1);
}

}  // namespace
