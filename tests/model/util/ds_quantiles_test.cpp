#include "model/util/ds_integer_range.h"
#include "model/util/ds_quantiles.h"
#include "model/util/ds_select.h"
#include "model/util/ds_sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <map>
#include <numeric>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

const double inf = std::numeric_limits<double>::infinity();

std::vector<double> quantiles(std::vector<double> values, std::vector<int32_t> weights, int k,
                              bool average)
{
    std::vector<double> cut(size_t(k) + 1);
    ds_quantiles(values.data(), weights.empty() ? nullptr : weights.data(), int64_t(values.size()),
                 cut.data(), k, average);
    return cut;
}

// The value at weighted position p of the ascending order, by expanding the
// weights: the definition the selection must meet.
double expanded_at(std::vector<double> values, const std::vector<int32_t> &weights, int64_t p)
{
    std::vector<double> big;
    for (size_t i = 0; i < values.size(); ++i)
        big.insert(big.end(), size_t(weights.empty() ? 1 : weights[i]), values[i]);
    std::sort(big.begin(), big.end());
    return big[size_t(p)];
}

// 0, 1, .., 99, and the interior percentile cuts of 0 .. 99: the values 1 .. 99.
std::vector<double> hundred()
{
    std::vector<double> v(100);
    std::iota(v.begin(), v.end(), 0.0);
    return v;
}

std::vector<double> percentile_cuts()
{
    std::vector<double> v = hundred();
    v.erase(v.begin());
    return v;
}

TEST(Quantiles, SmallCases)
{
    const struct {
        std::vector<double> values;
        std::vector<int32_t> weights;
        int k;
        bool average;
        std::vector<double> interior;
    } cases[] = {
        {{1, 2, 3, 4}, {}, 2, false, {3}},
        {{4, 2, 3, 1}, {}, 2, true, {2.5}},
        {{5, 1, 4, 2, 3}, {}, 2, true, {3}},  // W odd: no averaging
        {{1, 2, 3, 4}, {}, 3, true, {2, 3}},  // k odd: no averaging
        {{10, 9, 8, 7, 6, 5, 4, 3, 2, 1}, {}, 4, false, {3, 6, 8}},
        {{1.5, 2.5, 0.5}, {1, 1, 10}, 2, false, {0.5}},
        {{1.5, 2.5, 0.5}, {1, 1, 10}, 2, true, {0.5}},  // a == b: no mean taken
        {{7.5}, {}, 2, true, {7.5}},  // p = 0: nothing before it to average
        {{3.25, 1.25}, {0, 4}, 4, true, {1.25, 1.25, 1.25}},
        {{1, 2}, {1, 1}, 2, true, {1.5}},  // whole numbers take the counting path
        {{1.5, 2.5}, {0, 0}, 2, false, {NAN}},  // no weight at all
        // i / k as a double puts cuts 29, 57 and 58 one place low; W = 300
        // does the same to cuts 41, 57, 69 and 82.
        {hundred(), {}, 100, false, percentile_cuts()},
        {hundred(), std::vector<int32_t>(100, 3), 100, false, percentile_cuts()},
    };
    for (const auto &c : cases) {
        const std::vector<double> cut = quantiles(c.values, c.weights, c.k, c.average);
        EXPECT_EQ(cut.front(), -inf);
        EXPECT_EQ(cut.back(), inf);
        for (int i = 1; i < c.k; ++i) {
            if (std::isnan(c.interior[i - 1]))
                EXPECT_TRUE(std::isnan(cut[i]));
            else
                EXPECT_EQ(cut[i], c.interior[i - 1]) << "case with k " << c.k << ", cut " << i;
        }
    }
}

TEST(Quantiles, EmptyInputFramesNaN)
{
    double cut[5] = {1, 1, 1, 1, 1};
    ds_quantiles(nullptr, nullptr, 0, cut, 4, true);
    EXPECT_EQ(cut[0], -inf);
    EXPECT_TRUE(std::isnan(cut[1]) && std::isnan(cut[2]) && std::isnan(cut[3]));
    EXPECT_EQ(cut[4], inf);
    ds_sorted_quantiles(nullptr, nullptr, 0, cut, 4);
    EXPECT_TRUE(std::isnan(cut[2]));
    double untouched = 9;
    ds_quantiles(nullptr, nullptr, 0, &untouched, 0, false);
    ds_quantiles(nullptr, nullptr, 0, &untouched, -3, false);
    EXPECT_EQ(untouched, 9);
}

// Whole numbers spanning 8,191 are counted, spanning 8,192 selected; both
// must give what the expanded definition gives.
TEST(Quantiles, CountingAndSelectionAgree)
{
    for (int span : {8191, 8192}) {
        for (int64_t n : {int64_t(100), int64_t(20000)}) {
            std::mt19937 rng(uint32_t(span + n));
            std::vector<double> values(static_cast<size_t>(n));
            std::vector<int32_t> weights(static_cast<size_t>(n));
            for (int64_t i = 0; i < n; ++i) {
                values[i] = double(int(rng() % uint32_t(span)) - 100);
                weights[i] = int32_t(rng() % 4);
            }
            values[0] = -100;
            values[1] = -100 + span - 1;
            const int64_t total = std::accumulate(weights.begin(), weights.end(), int64_t(0));
            for (int k : {2, 4, 7}) {
                const auto cut = quantiles(values, weights, k, false);
                const auto unweighted = quantiles(values, {}, k, false);
                for (int i = 1; i < k; ++i) {
                    EXPECT_EQ(cut[i], expanded_at(values, weights, i * total / k))
                        << "span " << span << " n " << n << " k " << k;
                    EXPECT_EQ(unweighted[i], expanded_at(values, {}, i * n / k));
                }
            }
        }
    }
}

struct FixtureSet {
    std::vector<double> x;
    std::vector<int32_t> w;
};

struct Expected {
    int set, k, averaged, i;
    double value;
};

std::vector<std::vector<std::string>> read_csv(const std::string &path)
{
    std::ifstream in(path);
    EXPECT_TRUE(in.good()) << path;
    std::vector<std::vector<std::string>> rows;
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::stringstream s(line);
        std::string f;
        while (std::getline(s, f, ','))
            fields.push_back(f);
        rows.push_back(fields);
    }
    return rows;
}

// Cut values computed by R as sort(rep(x, w))[floor(i W / k) + 1] in whole
// numbers, which R's quantile(type = 1) confirms (and the averaged median as
// median(rep(x, w))): fixtures/make_weighted_quantiles.R. Set 7 is 0 .. 99,
// set 8 has W = 300.
TEST(Quantiles, WeightedCutsMatchR)
{
    std::map<int, FixtureSet> sets;
    for (const auto &row : read_csv(std::string(OSTREL_TEST_SOURCE_DIR) + "/fixtures/weighted_quantiles_data.csv")) {
        FixtureSet &s = sets[std::stoi(row[0])];
        s.x.push_back(std::strtod(row[1].c_str(), nullptr));
        s.w.push_back(std::stoi(row[2]));
    }
    ASSERT_EQ(sets.size(), 8u);
    std::map<std::tuple<int, int, int>, std::vector<Expected>> groups;
    for (const auto &row : read_csv(std::string(OSTREL_TEST_SOURCE_DIR) + "/fixtures/weighted_quantiles_expected.csv")) {
        const Expected e{std::stoi(row[0]), std::stoi(row[1]), std::stoi(row[2]), std::stoi(row[3]),
                         std::strtod(row[4].c_str(), nullptr)};
        groups[{e.set, e.k, e.averaged}].push_back(e);
    }
    ASSERT_GT(groups.size(), 30u);
    for (const auto &[key, rows] : groups) {
        const auto [set, k, averaged] = key;
        const FixtureSet &s = sets[set];
        SCOPED_TRACE("set " + std::to_string(set) + " k " + std::to_string(k) +
                     (averaged ? " averaged" : ""));
        const auto cut = quantiles(s.x, s.w, k, averaged != 0);
        for (const Expected &e : rows)
            EXPECT_EQ(cut[e.i], e.value) << "cut " << e.i;
        if (averaged)
            continue;

        // The same cuts from the values sorted with their weights.
        std::vector<double> sorted = s.x;
        std::vector<int32_t> weights = s.w;
        ds_sort(sorted.data(), weights.data(), int64_t(sorted.size()));
        std::vector<double> sorted_cut(size_t(k) + 1);
        ds_sorted_quantiles(sorted.data(), weights.data(), int64_t(sorted.size()), sorted_cut.data(), k);
        for (const Expected &e : rows)
            EXPECT_EQ(sorted_cut[e.i], e.value) << "sorted cut " << e.i;

        // Sets 5 and 7 have every weight 1: no weights at all must give the same.
        if (set == 5 || set == 7) {
            const auto plain = quantiles(s.x, {}, k, false);
            ds_sorted_quantiles(sorted.data(), nullptr, int64_t(sorted.size()), sorted_cut.data(), k);
            for (const Expected &e : rows) {
                EXPECT_EQ(plain[e.i], e.value);
                EXPECT_EQ(sorted_cut[e.i], e.value);
            }
        }
    }
}

TEST(Select, QuickselectFindsEveryRank)
{
    for (int32_t n : {1, 2, 3, 10, 257}) {
        std::mt19937 rng{static_cast<uint32_t>(n)};
        std::vector<double> original(static_cast<size_t>(n));
        for (double &x : original)
            x = double(rng() % 20);  // plenty of ties
        std::vector<double> sorted = original;
        std::sort(sorted.begin(), sorted.end());
        for (int32_t k = 0; k < n; ++k) {
            std::vector<double> v = original;
            const double x = ds_quickselect(k, v.data(), n);
            ASSERT_EQ(x, sorted[k]) << "n " << n << " k " << k;
            ASSERT_EQ(v[k], x);
            for (int32_t i = 0; i < n; ++i)
                ASSERT_TRUE(i < k ? v[i] <= x : v[i] >= x) << "n " << n << " k " << k << " i " << i;
            std::sort(v.begin(), v.end());
            ASSERT_EQ(v, sorted);  // a reordering, nothing lost
        }
    }
    EXPECT_TRUE(std::isnan(ds_quickselect(0, nullptr, 0)));
}

TEST(Select, WeightedQuickselectReportsItsSpan)
{
    for (int64_t n : {1, 2, 3, 17, 500}) {
        std::mt19937 rng(uint32_t(n) * 3);
        std::vector<double> values(static_cast<size_t>(n));
        std::vector<int32_t> weights(static_cast<size_t>(n));
        for (int64_t i = 0; i < n; ++i) {
            values[i] = double(rng() % 50) / 4;
            weights[i] = int32_t(rng() % 4);  // zero weights included
        }
        weights[0] = 1;
        const int64_t total = std::accumulate(weights.begin(), weights.end(), int64_t(0));
        for (int64_t k = 0; k < total; k += std::max<int64_t>(1, total / 37)) {
            std::vector<double> v = values;
            std::vector<int32_t> w = weights;
            int64_t index = -2, before = -2;
            const double x = ds_weighted_quickselect(k, v.data(), n, w.data(), total, &index, &before);
            ASSERT_EQ(x, expanded_at(values, weights, k)) << "n " << n << " k " << k;
            ASSERT_EQ(v[index], x);
            ASSERT_EQ(before, std::accumulate(w.begin(), w.begin() + index, int64_t(0)));
            ASSERT_TRUE(before <= k && k < before + w[index]);
            for (int64_t i = 0; i < n; ++i)
                ASSERT_TRUE(i < index ? v[i] <= x : v[i] >= x);
        }
    }
}

TEST(Select, RanksOfManyPositionsAtOnce)
{
    std::mt19937 rng(5);
    std::vector<double> values(3000);
    std::vector<int32_t> weights(3000);
    for (size_t i = 0; i < values.size(); ++i) {
        values[i] = double(rng() % 100000) / 7;
        weights[i] = int32_t(rng() % 3);
    }
    const int64_t total = std::accumulate(weights.begin(), weights.end(), int64_t(0));
    const std::vector<int64_t> positions = {0, 0, 1, 7, 7, 8, 100, 1500, 1501, 2998, total - 1};
    for (bool concurrent : {false, true}) {
        for (bool weighted : {false, true}) {
            std::vector<double> v = values;
            std::vector<int32_t> w = weights;
            std::vector<double> out(positions.size(), -1);
            const int64_t base = 5;
            std::vector<int64_t> shifted;
            for (int64_t p : positions)
                shifted.push_back(std::min(p, weighted ? total - 1 : int64_t(v.size()) - 1) + base);
            std::sort(shifted.begin(), shifted.end());
            ds_select_ranks(v.data(), int64_t(v.size()), weighted ? w.data() : nullptr,
                            weighted ? total : int64_t(v.size()), out.data(), shifted.data(),
                            int64_t(shifted.size()), base, concurrent);
            for (size_t i = 0; i < shifted.size(); ++i)
                EXPECT_EQ(out[i], expanded_at(values, weighted ? weights : std::vector<int32_t>{},
                                              shifted[i] - base))
                    << "position " << shifted[i] << (weighted ? " weighted" : "");
        }
    }
}

// From 2^20 values on, concurrent selection brackets the positions with a
// sample; a sample that misjudges them (the last case puts outliers exactly
// where a stride sample looks) must fall back and still be right.
TEST(Select, ManyValuesThroughTheSample)
{
    const int64_t n = (1 << 20) + 3;
    const int64_t stride = n / (1 << 14);
    std::mt19937_64 rng(17);
    std::uniform_real_distribution<double> uniform(-1e3, 1e3);
    for (int kind = 0; kind < 3; ++kind) {
        std::vector<double> values(static_cast<size_t>(n));
        std::vector<int32_t> weights(static_cast<size_t>(n));
        for (int64_t i = 0; i < n; ++i) {
            const double u = uniform(rng);
            values[i] = kind == 0 ? u : kind == 1 ? std::round(u / 400) + 0.5 : (i % stride == 0 ? 1e9 - double(i) : u);
            weights[i] = int32_t(rng() % 3);
        }
        // The reference: sorted (value, weight) pairs and their running weight.
        std::vector<std::pair<double, int32_t>> pairs(static_cast<size_t>(n));
        for (int64_t i = 0; i < n; ++i)
            pairs[i] = {values[i], weights[i]};
        std::sort(pairs.begin(), pairs.end());
        std::vector<int64_t> running(static_cast<size_t>(n));
        int64_t total = 0;
        for (int64_t i = 0; i < n; ++i)
            running[i] = total += pairs[i].second;
        auto weighted_at = [&](int64_t p) {
            return pairs[std::upper_bound(running.begin(), running.end(), p) - running.begin()].first;
        };
        for (int k : {4, 100}) {
            SCOPED_TRACE("kind " + std::to_string(kind) + " k " + std::to_string(k));
            const auto cut = quantiles(values, weights, k, false);
            const auto plain = quantiles(values, {}, k, false);
            for (int i = 1; i < k; ++i) {
                EXPECT_EQ(cut[i], weighted_at(i * total / k)) << i;
                EXPECT_EQ(plain[i], pairs[size_t(i * n / k)].first) << i;
            }
        }
    }
}

TEST(IntegerRange, Cases)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        std::vector<double> values;
        int64_t limit;
        bool ok;
        int32_t min, max;
    } cases[] = {
        {{}, 10, false, 0, 0},
        {{3, 1, 2}, 10, true, 1, 3},
        {{3, 1, 2.5}, 10, false, 0, 0},
        {{3, nan}, 10, false, 0, 0},
        {{0, 9}, 10, true, 0, 9},
        {{0, 10}, 10, false, 0, 0},
        {{-2147483648.0, -2147483647.0}, 10, true, INT32_MIN, INT32_MIN + 1},
        {{2147483648.0}, 10, false, 0, 0},
        {{-0.0, 0.0}, 10, true, 0, 0},
    };
    for (const auto &c : cases) {
        int32_t lo = 77, hi = 77;
        EXPECT_EQ(ds_integer_range(c.values.data(), int64_t(c.values.size()), c.limit, &lo, &hi), c.ok);
        if (c.ok) {
            EXPECT_EQ(lo, c.min);
            EXPECT_EQ(hi, c.max);
        }
    }
    // The parallel test applies the limit per chunk only.
    std::vector<double> values(100000);
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = double(i / 5000);  // spans 20, each chunk less than 10
    int32_t lo, hi;
    EXPECT_FALSE(ds_integer_range(values.data(), int64_t(values.size()), 10, &lo, &hi));
    EXPECT_TRUE(ds_integer_range_parallel(values.data(), int64_t(values.size()), 10, &lo, &hi));
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, 19);
    values[77777] = 0.5;
    EXPECT_FALSE(ds_integer_range_parallel(values.data(), int64_t(values.size()), 10, &lo, &hi));
}

}  // namespace
