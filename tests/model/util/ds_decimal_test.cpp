#include "model/util/ds_decimal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>

std::ostream &operator<<(std::ostream &out, const ds_decimal_s &w)
{
    return out << "{" << w.scalar << ", " << w.mantissa << ", " << w.exponent << "}";
}

namespace {

constexpr int64_t minute = 60, hour = 3600, day = 86400, week = 604800;

struct NiceCase {
    int level;
    int64_t min_bins;
    unsigned scheme;
    double min, max;
    double out_min, out_max;
    ds_decimal_s width;
    int64_t bins;
};

TEST(Decimal, NiceResolutionCases)
{
    const NiceCase cases[] = {
        {1, 10, 0, 0, 100, 0, 110, {1, 1, 1}, 11},
        {2, 10, 0, 0, 100, 0, 110, {1, 5, 0}, 22},
        // [0, 0] works on [-1, 1]: width 10 gives 2 bins on [-10, 10], 5 gives 4.
        {1, 3, 0, 0, 0, -10, 10, {1, 5, 0}, 4},
        // Three hours of times by days: 1 day, 12 h, 4 h, 2 h and 1 h give too
        // few bins; 30 minutes give 7 on [0, 12600].
        {1, 5, 1, 0, 10800, 0, 12600, {minute, 30, 0}, 7},
        // 0.01 and 0.005 (on the grid of 0.01) give 1 and 2 bins; 0.002 gives 3.
        {1, 2, 0, 0.001, 0.004, 0, 0.006, {1, 2, -3}, 3},
        // 10000 down to 500 give at most 6 bins; 200 gives 8 on [-200, 1400].
        {1, 7, 0, -37, 1234, -200, 1400, {1, 2, 2}, 8},
        {3, 7, 0, -37, 1234, -200, 1400, {1, 5, 1}, 32},
    };
    for (const NiceCase &c : cases) {
        double lo = c.min, hi = c.max;
        ds_decimal_s width{};
        EXPECT_EQ(ds_nice_resolution(c.level, c.min_bins, c.scheme, &lo, &hi, &width), c.bins)
            << "[" << c.min << ", " << c.max << "] level " << c.level;
        EXPECT_EQ(width, c.width);
        EXPECT_DOUBLE_EQ(lo, c.out_min);
        EXPECT_DOUBLE_EQ(hi, c.out_max);
    }
}

// An empty range v is searched as [2v, 0] or [0, 2v].
TEST(Decimal, NiceResolutionWidensEmptyRanges)
{
    const struct {
        double value, from, to;
    } cases[] = {{3, 0, 6}, {-3, -6, 0}, {0, -1, 1}};
    for (const auto &c : cases) {
        double lo = c.value, hi = c.value, wlo = c.from, whi = c.to;
        ds_decimal_s width{}, wide{};
        const int64_t bins = ds_nice_resolution(2, 5, 0, &lo, &hi, &width);
        EXPECT_EQ(bins, ds_nice_resolution(2, 5, 0, &wlo, &whi, &wide));
        EXPECT_EQ(width, wide);
        EXPECT_EQ(lo, wlo);
        EXPECT_EQ(hi, whi);
        EXPECT_LE(lo, c.from);
        EXPECT_GE(hi, c.to);
    }
}

TEST(Decimal, NiceResolutionRefusesNonFiniteBounds)
{
    const double nan = std::numeric_limits<double>::quiet_NaN(),
                 inf = std::numeric_limits<double>::infinity();
    const double bounds[][2] = {{nan, 1}, {0, nan}, {-inf, 0}, {0, inf}};
    for (const auto &b : bounds) {
        double lo = b[0], hi = b[1];
        ds_decimal_s width{1, 1, 1};
        EXPECT_EQ(ds_nice_resolution(1, 10, 0, &lo, &hi, &width), 0);
        EXPECT_EQ(width.scalar, 0);
    }
    // An unknown scheme never steps: the search must still end.
    double lo = 0, hi = 100;
    ds_nice_resolution(1, 10, 7, &lo, &hi, nullptr);
    // A request for more bins than doubles can hold ends too.
    lo = 0;
    hi = 1;
    EXPECT_GT(ds_nice_resolution(1, INT64_MAX, 0, &lo, &hi, nullptr), 0);
}

struct StepCase {
    unsigned scheme;
    ds_decimal_s width, finer, coarser;
};

TEST(Decimal, StepsBetweenWidths)
{
    const StepCase cases[] = {
        {0, {1, 1, 0}, {1, 5, -1}, {1, 2, 0}},
        {0, {1, 2, 3}, {1, 1, 3}, {1, 5, 3}},
        {0, {1, 5, -2}, {1, 2, -2}, {1, 1, -1}},
        {0, {1, 4, 0}, {1, 4, 0}, {1, 1, 1}},  // coarser takes 4 as 5
        {0, {1, 3, 0}, {1, 3, 0}, {1, 3, 0}},  // other mantissas stay
        {1, {1, 1, 0}, {1, 5, -1}, {1, 2, 0}},
        {1, {1, 5, 0}, {1, 2, 0}, {1, 10, 0}},
        {1, {1, 30, 0}, {1, 10, 0}, {minute, 1, 0}},
        {1, {minute, 1, 0}, {1, 30, 0}, {minute, 2, 0}},
        {1, {minute, 30, 0}, {minute, 10, 0}, {hour, 1, 0}},
        {1, {hour, 1, 0}, {minute, 30, 0}, {hour, 2, 0}},
        {1, {hour, 4, 0}, {hour, 2, 0}, {hour, 12, 0}},
        {1, {hour, 12, 0}, {hour, 4, 0}, {day, 1, 0}},
        {1, {day, 1, 0}, {hour, 12, 0}, {day, 2, 0}},
        {1, {day, 5, 0}, {day, 2, 0}, {day, 1, 1}},
        {1, {day, 1, 1}, {day, 5, 0}, {day, 2, 1}},
        {1, {1, 5, -1}, {1, 2, -1}, {1, 1, 0}},
        {2, {day, 1, 0}, {hour, 12, 0}, {week, 1, 0}},
        {2, {week, 1, 0}, {day, 1, 0}, {week, 2, 0}},
        {2, {week, 5, 0}, {week, 2, 0}, {week, 1, 1}},
        {2, {week, 1, 1}, {week, 5, 0}, {week, 2, 1}},
        {2, {1, 1, 0}, {1, 5, -1}, {1, 2, 0}},
        {5, {1, 1, 0}, {1, 1, 0}, {1, 1, 0}},
    };
    for (const StepCase &c : cases) {
        EXPECT_EQ(ds_resolution_finer(c.scheme, c.width), c.finer) << "scheme " << c.scheme << " " << c.width;
        EXPECT_EQ(ds_resolution_coarser(c.scheme, c.width), c.coarser) << "scheme " << c.scheme << " " << c.width;
    }
}

// Walking each time ladder from a tenth of a second up to past its largest
// unit gives ever larger allowed widths, and every step reverses.
TEST(Decimal, TimeLaddersAreOrderedAndReversible)
{
    for (unsigned scheme : {1u, 2u}) {
        ds_decimal_s w{1, 1, -1};
        double previous = 0;
        int steps = 0;
        while (ds_resolution_size(scheme, w) < 100.0 * week) {
            const double size = ds_resolution_size(scheme, w);
            EXPECT_GT(size, previous) << scheme << " " << w;
            EXPECT_TRUE(ds_resolution_allowed(scheme, w)) << scheme << " " << w;
            const ds_decimal_s up = ds_resolution_coarser(scheme, w);
            EXPECT_EQ(ds_resolution_finer(scheme, up), w) << scheme << " " << w;
            previous = size;
            w = up;
            ++steps;
        }
        // 0.1 s to 0.5 s, the 17 or 18 rungs of exponent 0, then 10 to 500
        // days or 10 to 50 weeks.
        EXPECT_EQ(steps, scheme == 1 ? 3 + 17 + 6 : 3 + 18 + 3);
    }
}

TEST(Decimal, AllowedWidths)
{
    const struct {
        unsigned scheme;
        ds_decimal_s width;
        bool allowed;
    } cases[] = {
        {0, {1, 5, 7}, true},       {0, {1, 4, 0}, false},     {0, {60, 2, -3}, true},
        {1, {1, 30, 0}, true},      {1, {1, 4, 0}, false},     {1, {minute, 10, 0}, true},
        {1, {hour, 4, 0}, true},    {1, {hour, 5, 0}, false},  {1, {day, 5, 0}, true},
        {2, {day, 2, 0}, false},    {2, {day, 1, 0}, true},    {2, {week, 5, 0}, true},
        {1, {1, 2, -3}, true},      {1, {1, 2, 1}, false},     {1, {day, 2, 1}, true},
        {2, {day, 2, 1}, false},    {2, {week, 5, 2}, true},   {1, {7, 1, 0}, false},
        {3, {1, 1, 0}, false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ds_resolution_allowed(c.scheme, c.width), c.allowed) << c.scheme << " " << c.width;
}

TEST(Decimal, InitialWidths)
{
    const struct {
        unsigned scheme;
        double min, max;
        ds_decimal_s width;
    } cases[] = {
        {0, 0, 100, {1, 1, 2}},        {0, 0, 101, {1, 1, 3}},        {0, 0, 0.05, {1, 1, -1}},
        {1, 0, 0.05, {1, 1, -1}},      {1, 0, 3600, {day, 1, 0}},     {1, 0, 86400, {day, 1, 0}},
        {1, 0, 86400 * 50.0, {day, 1, 2}}, {2, 0, 86400 * 30.0, {week, 1, 1}},
        {9, 0, 100, {1, 1, 0}},        {0, 5, 5, {1, 1, 0}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ds_resolution_initial(c.scheme, c.min, c.max), c.width)
            << c.scheme << " [" << c.min << ", " << c.max << "]";
    EXPECT_EQ(ds_resolution_size(1, {day, 5, 1}), 4320000.0);
    EXPECT_EQ(ds_resolution_size(0, {1, 2, -2}), 0.02);
}

}  // namespace
