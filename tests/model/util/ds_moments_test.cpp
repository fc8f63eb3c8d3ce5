#include "model/util/ds_moments.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

const double nan = std::numeric_limits<double>::quiet_NaN();
const double inf = std::numeric_limits<double>::infinity();

// Two passes in long double over the values less the first one (a
// difference that is exact for values of one magnitude), so that nothing of
// the reference is rounded at the magnitude of the data.
struct reference {
    long double weight = 0, mean = 0, m2 = 0;
    reference(const std::vector<double> &x, const std::vector<double> &w)
    {
        const double origin = x[0];
        long double sum = 0;
        for (size_t i = 0; i < x.size(); ++i) {
            weight += w[i];
            sum += w[i] * (long double)(x[i] - origin);
        }
        const long double offset = sum / weight;
        for (size_t i = 0; i < x.size(); ++i)
            m2 += w[i] * ((x[i] - origin) - offset) * ((x[i] - origin) - offset);
        mean = origin + offset;
    }
};

ds_moments_s added_one_by_one(const std::vector<double> &x, const std::vector<double> &w)
{
    ds_moments_s m;
    ds_moments_init(&m);
    for (size_t i = 0; i < x.size(); ++i)
        ds_moments_add(&m, x[i], w[i]);
    return m;
}

ds_moments_s added_as_array(const std::vector<double> &x, const std::vector<double> &w)
{
    ds_moments_s m;
    ds_moments_init(&m);
    ds_moments_add_values(&m, x.data(), w.data(), int64_t(x.size()));
    return m;
}

// Cut into pieces of uneven length, each added as an array and merged in order.
ds_moments_s merged_in_pieces(const std::vector<double> &x, const std::vector<double> &w)
{
    ds_moments_s all;
    ds_moments_init(&all);
    for (size_t first = 0, length = 1; first < x.size(); first += length, length = length * 3 + 1) {
        const size_t n = std::min(length, x.size() - first);
        ds_moments_s piece;
        ds_moments_init(&piece);
        ds_moments_add_values(&piece, x.data() + first, w.data() + first, int64_t(n));
        ds_moments_merge(&all, &piece);
    }
    return all;
}

TEST(Moments, SmallCases)
{
    const struct {
        std::vector<double> x, w;
        double mean, biased, unbiased, min, max;
    } cases[] = {
        {{1, 3}, {1, 1}, 2, 1, 2, 1, 3},
        {{1, 2, 10}, {3, 1, 0}, 1.25, 0.1875, 0.25, 1, 2},
        {{5}, {2}, 5, 0, 0, 5, 5},  // weight 2 is two values: n - 1 = 1
        {{5}, {1}, 5, 0, nan, 5, 5},
        {{-4, nan, 7}, {1, 0, 0}, -4, 0, nan, -4, -4},  // weight 0: NaN skipped, no extreme
        {{}, {}, 0, nan, nan, nan, nan},
    };
    for (const auto &c : cases)
        for (const ds_moments_s &m : {added_one_by_one(c.x, c.w), added_as_array(c.x, c.w)}) {
            EXPECT_DOUBLE_EQ(m.mean, c.mean);
            const double got[] = {ds_moments_variance_biased(&m), ds_moments_variance_unbiased(&m), m.min, m.max};
            const double want[] = {c.biased, c.unbiased, c.min, c.max};
            for (int i = 0; i < 4; ++i) {
                if (std::isnan(want[i]))
                    EXPECT_TRUE(std::isnan(got[i])) << i;
                else
                    EXPECT_DOUBLE_EQ(got[i], want[i]) << i;
            }
        }
}

// Adding one value at a time, adding arrays, and merging pieces agree with
// a two-pass reference in extended precision, also far from zero where a
// rounded mean alone would cost the variance most of its digits.
TEST(Moments, AgreeWithTwoPassesFarFromZero)
{
    std::mt19937_64 rng(11);
    for (double base : {0.0, 1e9, 7.3e8, -2e13}) {
        std::normal_distribution<double> noise(base, 1.5);
        std::vector<double> x, w;
        for (int i = 0; i < 20000; ++i) {
            x.push_back(noise(rng));
            w.push_back(double(rng() % 6));
        }
        const reference ref(x, w);
        for (const ds_moments_s &m : {added_one_by_one(x, w), added_as_array(x, w), merged_in_pieces(x, w)}) {
            EXPECT_EQ(m.weight, double(ref.weight));
            EXPECT_NEAR(m.mean + m.mean_low, double(ref.mean), 1e-15 * std::fabs(double(ref.mean)) + 1e-15) << base;
            EXPECT_NEAR(m.m2, double(ref.m2), 1e-13 * double(ref.m2)) << base;
        }
    }
}

TEST(Moments, InfiniteValues)
{
    const struct {
        std::vector<double> x;
        double mean;
    } cases[] = {{{1, inf, 2}, inf}, {{inf, 1, inf}, inf}, {{-inf, 3}, -inf}, {{inf, -inf, 1}, nan}};
    for (const auto &c : cases) {
        const std::vector<double> w(c.x.size(), 1.0);
        for (const ds_moments_s &m : {added_one_by_one(c.x, w), added_as_array(c.x, w)}) {
            if (std::isnan(c.mean))
                EXPECT_TRUE(std::isnan(m.mean));
            else
                EXPECT_EQ(m.mean, c.mean);
            EXPECT_TRUE(std::isnan(ds_moments_variance_unbiased(&m)));
        }
    }
}

// Finite values whose sum overflows: a hundred copies of 1e308 have the mean
// 1e308 and no spread; -1e308 and 1e308 have the mean 0 and a variance
// beyond the largest double.
TEST(Moments, SumsBeyondTheLargestDouble)
{
    const double big = 1e308, largest = std::numeric_limits<double>::max();
    const struct {
        std::vector<double> x;
        double mean, variance;
    } cases[] = {
        {std::vector<double>(100, big), big, 0},
        {{-big, big}, 0, inf},
        {{big, -big, big, -big, big}, 0.2 * big, inf},
        {{big, big, 0.5 * big}, big / 6 * 5, inf},
        {{largest, largest, largest}, largest, 0},
    };
    for (const auto &c : cases) {
        const std::vector<double> w(c.x.size(), 1.0);
        for (const ds_moments_s &m : {added_one_by_one(c.x, w), added_as_array(c.x, w), merged_in_pieces(c.x, w)}) {
            EXPECT_NEAR(m.mean, c.mean, 1e-15 * std::fabs(c.x[0])) << c.x.size() << " values from " << c.x[0];
            if (std::isinf(c.variance))
                EXPECT_EQ(ds_moments_variance_biased(&m), inf) << c.x.size() << " values from " << c.x[0];
            else
                EXPECT_NEAR(ds_moments_variance_biased(&m), c.variance, 1e-13 * c.variance + 1e-300);
        }
    }
}

TEST(Moments, MergingAnEmptyState)
{
    ds_moments_s a = added_as_array({1, 2, 3}, {1, 1, 1}), empty;
    ds_moments_init(&empty);
    const ds_moments_s before = a;
    ds_moments_merge(&a, &empty);
    EXPECT_EQ(a.m2, before.m2);
    EXPECT_EQ(a.mean, before.mean);
    ds_moments_merge(&empty, &a);
    EXPECT_EQ(empty.m2, before.m2);
    EXPECT_EQ(empty.min, 1);
}

TEST(Comoments, AgreeWithTwoPasses)
{
    std::mt19937_64 rng(3);
    for (double base : {0.0, 1e9}) {
        std::normal_distribution<double> noise(0, 2);
        std::vector<double> x, y, w;
        for (int i = 0; i < 5000; ++i) {
            const double a = noise(rng);
            x.push_back(base + a);
            y.push_back(-base + 0.5 * a + noise(rng));
            w.push_back(double(rng() % 4));
        }
        long double n = 0, mx = 0, my = 0;
        for (size_t i = 0; i < x.size(); ++i) {
            n += w[i];
            mx += w[i] * (long double)x[i];
            my += w[i] * (long double)y[i];
        }
        mx /= n;
        my /= n;
        long double sxx = 0, syy = 0, sxy = 0;
        for (size_t i = 0; i < x.size(); ++i) {
            sxx += w[i] * (x[i] - mx) * (x[i] - mx);
            syy += w[i] * (y[i] - my) * (y[i] - my);
            sxy += w[i] * (x[i] - mx) * (y[i] - my);
        }
        ds_comoments_s one, all;
        ds_comoments_init(&one);
        ds_comoments_init(&all);
        for (size_t i = 0; i < x.size(); ++i)
            ds_comoments_add(&one, x[i], y[i], w[i]);
        ds_comoments_add_values(&all, x.data(), y.data(), w.data(), 3000);
        ds_comoments_s rest;
        ds_comoments_init(&rest);
        ds_comoments_add_values(&rest, x.data() + 3000, y.data() + 3000, w.data() + 3000, 2000);
        ds_comoments_merge(&all, &rest);
        for (const ds_comoments_s &c : {one, all}) {
            EXPECT_NEAR(c.c_xy, double(sxy), 1e-12 * std::fabs(double(sxy))) << base;
            EXPECT_NEAR(c.m2_x, double(sxx), 1e-12 * double(sxx)) << base;
            EXPECT_NEAR(ds_comoments_correlation(&c), double(sxy / std::sqrt(sxx * syy)), 1e-12) << base;
            EXPECT_NEAR(ds_comoments_covariance_unbiased(&c), double(sxy / (n - 1)), 1e-12 * std::fabs(double(sxy / n)));
        }
    }
}

TEST(Comoments, PerfectAndUndefinedCorrelations)
{
    ds_comoments_s c;
    ds_comoments_init(&c);
    const double x[] = {1, 2, 3, 4}, y[] = {2, 4, 6, 8};
    ds_comoments_add_values(&c, x, y, nullptr, 4);
    EXPECT_DOUBLE_EQ(ds_comoments_correlation(&c), 1);
    EXPECT_NEAR(ds_comoments_covariance_unbiased(&c), 10.0 / 3, 1e-15);
    ds_comoments_s flat;
    ds_comoments_init(&flat);
    const double same[] = {5, 5, 5, 5};
    ds_comoments_add_values(&flat, x, same, nullptr, 4);
    EXPECT_TRUE(std::isnan(ds_comoments_correlation(&flat)));
    EXPECT_EQ(ds_comoments_covariance_unbiased(&flat), 0);
}

}  // namespace
