// The one-sample Kolmogorov-Smirnov distribution against scipy's kstwo
// (fixtures/make_kstwo.py), Kiefer's k-sample distribution against its
// Bessel series summed by scipy (fixtures/make_kiefer.py), and the
// statistics against R's ks.test (fixtures/make_ks_statistics.R).
#include "platform/sterna/sterna.h"

#include "fixture_table.h"
#include "lcg_samples.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>
#include <random>

namespace {

TEST(SternaKolmogorov, TailAgreesWithScipyKstwo)
{
    for (const FixtureRow &row : readFixture("kstwo.csv")) {
        if (row.text("kind") != "sf")
            continue;
        const auto n = int64_t(row.number("n"));
        const double d = row.number("x");
        EXPECT_TRUE(closeRelative(ds_p_value_kolmogorov_smirnov(d, n), row.number("expected"), 1e-10, 1e-290))
            << "line " << row.line << ": n " << n << ", d " << d;
    }
}

TEST(SternaKolmogorov, CriticalValuesAgreeWithScipyKstwo)
{
    for (const FixtureRow &row : readFixture("kstwo.csv")) {
        if (row.text("kind") != "isf")
            continue;
        const auto n = int64_t(row.number("n"));
        const double level = row.number("x");
        // The tails agree to about 1e-12 where they are steep, so the roots
        // do to about as much.
        EXPECT_TRUE(closeRelative(ds_critical_value_kolmogorov_smirnov(level, n), row.number("expected"), 1e-12))
            << "line " << row.line << ": n " << n << ", level " << level;
    }
}

TEST(SternaKolmogorov, LimitingDensityAgreesWithScipyKstwobign)
{
    // scipy's density is good to about 1e-9 near x = 0.9.
    for (const FixtureRow &row : readFixture("kstwo.csv")) {
        if (row.text("kind") != "pdf")
            continue;
        const double x = row.number("x");
        EXPECT_TRUE(closeRelative(double(ds_kolmogorov_pdf(x)), row.number("expected"), 1e-9))
            << "line " << row.line << ": x " << x;
    }
    // The two series meet at x = 1 without a step.
    EXPECT_NEAR(double(ds_kolmogorov_pdf(std::nextafter(1.0L, 0.0L))), double(ds_kolmogorov_pdf(1.0L)), 1e-15);
    EXPECT_EQ(ds_kolmogorov_pdf(0), 0);
    EXPECT_EQ(ds_kolmogorov_pdf(-1), 0);
}

TEST(SternaKolmogorov, KieferTailAgreesWithTheBesselSeries)
{
    for (const FixtureRow &row : readFixture("kiefer.csv")) {
        const double h = row.number("h"), a = row.number("a"), expected = row.number("expected");
        const double p = ds_p_value_kolmogorov_smirnov_k_sample(a, h);
        // The reference forms its tail as 1 minus a sum of doubles: about
        // 1e-14 absolute at best.
        EXPECT_TRUE(closeRelative(p, expected, 1e-10) || std::fabs(p - expected) < 2e-14)
            << "line " << row.line << ": h " << h << ", a " << a << ": got " << p << ", expected " << expected;
    }
}

// Beyond 50 degrees of freedom (fixtures/make_kiefer_beyond.py, mpmath at
// 50 digits): tails of 1e-8 and more to 9 digits; below that a 0 only where
// the tail is below the smallest double, else NaN, never a wrong number.
TEST(SternaKolmogorov, KieferTailBeyondFiftyDegreesOfFreedom)
{
    for (const FixtureRow &row : readFixture("kiefer_beyond.csv")) {
        const double h = row.number("h"), a = row.number("a"), expected = row.number("expected");
        const double p = ds_p_value_kolmogorov_smirnov_k_sample(a, h);
        if (expected >= 1e-8)
            EXPECT_TRUE(closeRelative(p, expected, 1e-9))
                << "line " << row.line << ": h " << h << ", a " << a << ": got " << p << ", expected " << expected;
        else
            EXPECT_TRUE(std::isnan(p) || (p == 0 && expected < 1e-300))
                << "line " << row.line << ": h " << h << ", a " << a << ": got " << p;
    }
}

TEST(SternaKolmogorov, KieferDensityIsTheSlopeOfItsDistribution)
{
    for (double h : {1.0, 2.0, 3.0, 6.0})
        for (double a : {0.4, 1.0, 2.5, 5.0, 9.0}) {
            // A five-point difference: a wide step keeps rounding of a tail
            // near 1 out of the slope.
            auto tail = [h](double x) { return ds_p_value_kolmogorov_smirnov_k_sample(x, h); };
            const double step = 1e-3 * a;
            const double slope = (tail(a + 2 * step) - 8 * tail(a + step) + 8 * tail(a - step) - tail(a - 2 * step))
                                 / (12 * step);
            // Rounding of the tail leaves the slope about 1e-12 absolute.
            EXPECT_NEAR(double(ds_kolmogorov_k_pdf(a, h)), slope, 1e-7 * slope + 1e-11) << "h " << h << ", a " << a;
        }
    // With one degree of freedom the statistic is the square of Kolmogorov's.
    for (double k : {0.5, 1.0, 1.36, 2.2})
        EXPECT_TRUE(closeRelative(double(2 * k * ds_kolmogorov_k_pdf(k * k, 1)), double(ds_kolmogorov_pdf(k)), 1e-15));
}

double mean(const std::vector<double> &x)
{
    return std::accumulate(x.begin(), x.end(), 0.0) / double(x.size());
}

double unbiasedSd(const std::vector<double> &x)
{
    const double m = mean(x);
    double ss = 0;
    for (double v : x)
        ss += (v - m) * (v - m);
    return std::sqrt(ss / double(x.size() - 1));
}

TEST(SternaKolmogorov, StatisticsAgreeWithRKsTest)
{
    for (const FixtureRow &row : readFixture("ks_statistics.csv")) {
        const std::string shape = row.text("shape");
        const auto n = int64_t(row.number("n")), seed = int64_t(row.number("seed"));
        const auto n2 = int64_t(row.number("n2"));
        std::vector<double> x = lcgSample(shape, n, seed);
        const std::vector<double> y = lcgSample(shape, n2, seed + 1);
        const double m = mean(x), sd = unbiasedSd(x);
        std::sort(x.begin(), x.end());
        SCOPED_TRACE("line " + std::to_string(row.line) + ": " + shape + " n " + std::to_string(n));

        EXPECT_TRUE(closeRelative(ds_kolmogorov_smirnov_normal(x.data(), nullptr, n, m, sd),
                                  row.number("d_normal"), 1e-12));
        EXPECT_TRUE(closeRelative(ds_kolmogorov_smirnov_uniform(x.data(), nullptr, n, x.front(), x.back()),
                                  row.number("d_uniform"), 1e-12));

        // Two samples, unsorted: T = n1 n2 / N D^2.
        std::vector<double> values = lcgSample(shape, n, seed);
        values.insert(values.end(), y.begin(), y.end());
        std::vector<int32_t> groups(size_t(n), 0);
        groups.resize(values.size(), 1);
        const double t = ds_kolmogorov_smirnov_k_sample(values.data(), groups.data(), nullptr,
                                                        int64_t(values.size()), 2);
        const double d = std::sqrt(t * double(n + n2) / double(n * n2));
        EXPECT_TRUE(closeRelative(d, row.number("d_two_sample"), 1e-12));
    }
}

TEST(SternaKolmogorov, WeightsCountAsRepeatedValues)
{
    std::mt19937_64 random(11);
    std::uniform_int_distribution<int32_t> weightOf(0, 4);
    std::normal_distribution<double> valueOf(3, 2);
    std::vector<double> values(60);
    std::vector<int32_t> weights(60);
    for (size_t i = 0; i < values.size(); ++i) {
        values[i] = std::round(valueOf(random) * 4) / 4;  // ties
        weights[i] = weightOf(random);
    }
    std::sort(values.begin(), values.end());
    std::vector<double> expanded;
    for (size_t i = 0; i < values.size(); ++i)
        expanded.insert(expanded.end(), size_t(weights[i]), values[i]);
    const auto n = int64_t(values.size()), total = int64_t(expanded.size());

    EXPECT_DOUBLE_EQ(ds_kolmogorov_smirnov_normal(values.data(), weights.data(), n, 3, 2),
                     ds_kolmogorov_smirnov_normal(expanded.data(), nullptr, total, 3, 2));
    EXPECT_DOUBLE_EQ(ds_kolmogorov_smirnov_uniform(values.data(), weights.data(), n, -3, 9),
                     ds_kolmogorov_smirnov_uniform(expanded.data(), nullptr, total, -3, 9));
    // Out-of-order input is read in order.
    std::vector<double> shuffled = values;
    std::vector<int32_t> shuffledWeights = weights;
    for (size_t i = shuffled.size() - 1; i > 0; --i) {
        const size_t j = random() % (i + 1);
        std::swap(shuffled[i], shuffled[j]);
        std::swap(shuffledWeights[i], shuffledWeights[j]);
    }
    EXPECT_DOUBLE_EQ(ds_kolmogorov_smirnov_normal(shuffled.data(), shuffledWeights.data(), n, 3, 2),
                     ds_kolmogorov_smirnov_normal(values.data(), weights.data(), n, 3, 2));
}

TEST(SternaKolmogorov, KSampleStatisticIsTheSameForRowsAndForRunsOfTies)
{
    // One entry per row in ascending order, as the several-column operation
    // passes them...
    std::mt19937_64 random(5);
    std::uniform_int_distribution<int> valueOf(0, 12), groupOf(0, 3);
    std::uniform_int_distribution<int32_t> weightOf(1, 3);
    struct Entry {
        double value;
        int32_t group, weight;
    };
    std::vector<Entry> rows(200);
    for (Entry &e : rows)
        e = {double(valueOf(random)), int32_t(groupOf(random)), weightOf(random)};
    std::sort(rows.begin(), rows.end(), [](const Entry &a, const Entry &b) { return a.value < b.value; });
    std::vector<double> values;
    std::vector<int32_t> groups, weights;
    for (const Entry &e : rows) {
        values.push_back(e.value);
        groups.push_back(e.group);
        weights.push_back(e.weight);
    }
    const double byRows = ds_kolmogorov_smirnov_k_sample(values.data(), groups.data(), weights.data(),
                                                         int64_t(rows.size()), 4);

    // ...and one entry per (value, group) run with its summed weight, in the
    // order the runs closed: group by group here, not ascending overall.
    std::map<std::pair<int32_t, double>, int32_t> runs;
    for (const Entry &e : rows)
        runs[{e.group, e.value}] += e.weight;
    std::vector<double> runValues;
    std::vector<int32_t> runGroups, runWeights;
    for (const auto &[key, weight] : runs) {
        runGroups.push_back(key.first);
        runValues.push_back(key.second);
        runWeights.push_back(weight);
    }
    const double byRuns = ds_kolmogorov_smirnov_k_sample(runValues.data(), runGroups.data(), runWeights.data(),
                                                         int64_t(runValues.size()), 4);
    EXPECT_GT(byRows, 0);
    EXPECT_DOUBLE_EQ(byRuns, byRows);

    // A group with no entries takes no part.
    const double withEmptyGroup = ds_kolmogorov_smirnov_k_sample(values.data(), groups.data(), weights.data(),
                                                                 int64_t(rows.size()), 6);
    EXPECT_DOUBLE_EQ(withEmptyGroup, byRows);
}

TEST(SternaKolmogorov, KSampleStatisticRefusesBadInput)
{
    const double values[] = {1, 2, 3, 4};
    const int32_t groups[] = {0, 1, 0, 2};
    const int32_t oneGroup[] = {0, 0, 0, 0};
    EXPECT_TRUE(std::isnan(ds_kolmogorov_smirnov_k_sample(values, groups, nullptr, 4, 2)));  // group 2 of 2
    EXPECT_TRUE(std::isnan(ds_kolmogorov_smirnov_k_sample(values, oneGroup, nullptr, 4, 2)));
    EXPECT_TRUE(std::isnan(ds_kolmogorov_smirnov_k_sample(values, groups, nullptr, 0, 3)));
    const double withNaN[] = {1, std::nan(""), 3, 4};
    EXPECT_TRUE(std::isnan(ds_kolmogorov_smirnov_k_sample(withNaN, groups, nullptr, 4, 3)));
    EXPECT_TRUE(std::isnan(ds_kolmogorov_smirnov_normal(values, nullptr, 4, 0, 0)));
    EXPECT_TRUE(std::isnan(ds_kolmogorov_smirnov_uniform(values, nullptr, 4, 2, 2)));
    const int32_t noWeight[] = {0, 0, 0, 0};
    EXPECT_TRUE(std::isnan(ds_kolmogorov_smirnov_normal(values, noWeight, 4, 0, 1)));
}

}  // namespace
