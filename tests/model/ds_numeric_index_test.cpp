#include "model/ds_numeric_bins.h"
#include "model/ds_numeric_index.h"
#include "model/util/ds_colors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace {

const double nan = std::numeric_limits<double>::quiet_NaN();
const double inf = std::numeric_limits<double>::infinity();

double nan_with_bits(uint64_t bits)
{
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

uint64_t bits_of(double v)
{
    uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

// The index and the positions from one build.
struct built {
    std::vector<double> index;
    std::vector<int32_t> positions;
};

built build(const std::vector<double> &values)
{
    built out;
    out.positions.assign(values.size(), -7);
    const int64_t length = ds_numeric_index_build(values.data(), int64_t(values.size()), [&](int64_t n) {
        out.index.resize(size_t(n));
        return out.index.data();
    }, out.positions.data());
    EXPECT_EQ(length, int64_t(out.index.size()));
    return out;
}

// Index entries compare by bits (NaN by being NaN), so -0 and +0 differ.
void expect_same_index(const std::vector<double> &got, const std::vector<double> &want, const char *what)
{
    ASSERT_EQ(got.size(), want.size()) << what;
    for (size_t i = 0; i < got.size(); ++i) {
        if (std::isnan(want[i]))
            EXPECT_TRUE(std::isnan(got[i])) << what << " entry " << i;
        else
            EXPECT_EQ(bits_of(got[i]), bits_of(want[i])) << what << " entry " << i << ": " << got[i];
    }
}

TEST(NumericIndex, SmallCases)
{
    const struct {
        const char *what;
        std::vector<double> values;
        std::vector<double> index;
        std::vector<int32_t> positions;
    } cases[] = {
        {"whole values and NaN", {3, 1, nan, 3, 2}, {1, 2, 3, nan}, {2, 0, 3, 2, 1}},
        // Not all whole: the two zeros are two entries, -0 first, and each
        // zero takes the entry of its sign.
        {"0.5, 0 and -0", {0.5, 0.0, -0.0, 0.0}, {-0.0, 0.0, 0.5}, {2, 1, 0, 1}},
        // All whole: one zero entry, signed as the first zero.
        {"1, 0 and -0", {1.0, 0.0, -0.0}, {0.0, 1.0}, {1, 0, 0}},
        {"1, -0 and 0", {1.0, -0.0, 0.0}, {-0.0, 1.0}, {1, 0, 0}},
        // Every NaN is the one NaN entry, whatever its payload or sign.
        {"NaN payloads", {nan_with_bits(0x7ff0000000000001ULL), 1.5, nan, nan_with_bits(0xfff8000000000000ULL)},
         {1.5, nan}, {1, 0, 1, 1}},
        {"NaN payloads, whole", {nan_with_bits(0x7ff4000000000000ULL), 2, nan}, {2, nan}, {1, 0, 1}},
        // A span of 8190 fits the presence table, 8191 does not: the same index either way.
        {"span 8190", {8190, 0, 5, 5}, {0, 5, 8190}, {2, 0, 1, 1}},
        {"span 8191", {8191, 0, 5, 5}, {0, 5, 8191}, {2, 0, 1, 1}},
        {"negative whole", {-3, -1, -3, -2}, {-3, -2, -1}, {0, 2, 0, 1}},
        {"infinities", {inf, -inf, 2, nan}, {-inf, 2, inf, nan}, {2, 0, 1, 3}},
        {"no values", {}, {nan}, {}},
        {"only NaN", {nan, nan}, {nan}, {0, 0}},
    };
    for (const auto &c : cases) {
        const built b = build(c.values);
        expect_same_index(b.index, c.index, c.what);
        EXPECT_EQ(b.positions, c.positions) << c.what;
        EXPECT_EQ(ds_numeric_unique_count(c.values.data(), int64_t(c.values.size())), int64_t(c.index.size())) << c.what;
        // Positions of a kept index answer the same.
        std::vector<int32_t> again(c.values.size(), -7);
        ds_numeric_index_positions(b.index.data(), int64_t(b.index.size()), c.values.data(), int64_t(c.values.size()),
                                   again.data());
        EXPECT_EQ(again, c.positions) << c.what;
    }
}

// The index by its definition: distinct bit patterns (one NaN) in ascending
// order, -0 before +0, NaN last; or, for whole values of a small span, one
// entry per whole number.
std::vector<double> reference_index(const std::vector<double> &values)
{
    bool any_nan = false, whole = true;
    double lo = inf, hi = -inf;
    std::vector<double> index;
    for (double v : values) {
        if (std::isnan(v)) {
            any_nan = true;
            continue;
        }
        index.push_back(v);
        whole = whole && std::fabs(v) < 9.2e18 && v == std::trunc(v);
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    const bool one_zero = whole && hi - lo + 2 <= 8192;
    // Ascending, -0 before +0; a stable sort keeps the first zero first.
    std::stable_sort(index.begin(), index.end(), [&](double a, double b) {
        return a < b || (!one_zero && a == 0 && b == 0 && std::signbit(a) && !std::signbit(b));
    });
    index.erase(std::unique(index.begin(), index.end(), [&](double a, double b) {
                    return a == b && (one_zero || std::signbit(a) == std::signbit(b));
                }),
                index.end());
    if (any_nan || index.empty())
        index.push_back(nan);
    return index;
}

std::vector<double> random_values(const char *kind, int64_t n, uint64_t seed)
{
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> u(0, 1);
    std::vector<double> v(static_cast<size_t>(n));
    for (double &x : v) {
        const double r = u(rng);
        if (!std::strcmp(kind, "small whole"))
            x = std::floor(r * 300) - 100;
        else if (!std::strcmp(kind, "few decimals"))
            x = std::floor(r * 1000) / 8 - 20;
        else if (!std::strcmp(kind, "wide whole"))
            x = std::floor(r * 50) * 1e6;
        else if (!std::strcmp(kind, "zeros"))
            x = r < 0.3 ? 0.0 : r < 0.6 ? -0.0 : r < 0.7 ? nan : std::floor(r * 40) / 3;
        else if (!std::strcmp(kind, "distinct and zeros"))
            x = r < 0.05 ? 0.0 : r < 0.1 ? -0.0 : (r - 0.5) * 1e6;
        else
            x = (r - 0.5) * 1e6;  // distinct
        if (u(rng) < 0.01)
            x = nan;
    }
    return v;
}

// Each way of building (presence table, hash sets, sorting) against the
// definition, with positions from the build and from a kept index.
TEST(NumericIndex, AgreesWithItsDefinition)
{
    const struct {
        const char *kind;
        int64_t n;
    } cases[] = {{"small whole", 100000}, {"few decimals", 100000}, {"wide whole", 50000},
                 {"zeros", 30000},        {"distinct", 1000},       {"distinct", 200000},
                 {"distinct and zeros", 1200000}};  // an index too large for binary searches
    for (const auto &c : cases) {
        const std::vector<double> values = random_values(c.kind, c.n, uint64_t(c.n));
        const std::vector<double> want = reference_index(values);
        const built b = build(values);
        expect_same_index(b.index, want, c.kind);
        const int64_t m = int64_t(b.index.size());
        const bool ends_in_nan = std::isnan(b.index.back());
        const bool zeros_apart = std::count(b.index.begin(), b.index.end(), 0.0) == 2;
        std::vector<int32_t> again(values.size());
        ds_numeric_index_positions(b.index.data(), m, values.data(), c.n, again.data());
        EXPECT_EQ(again, b.positions) << c.kind;
        for (int64_t i = 0; i < c.n; ++i) {
            const double v = values[size_t(i)], entry = b.index[size_t(b.positions[size_t(i)])];
            if (std::isnan(v))
                ASSERT_TRUE(ends_in_nan && b.positions[size_t(i)] == m - 1) << c.kind << " row " << i;
            else
                ASSERT_TRUE(entry == v && (!zeros_apart || std::signbit(entry) == std::signbit(v)))
                    << c.kind << " row " << i << " value " << v << " entry " << entry;
        }
    }
}

// The index asks for its block once, for the final length; a block that
// cannot be had fails the build.
TEST(NumericIndex, AsksForItsBlockOnce)
{
    for (const char *kind : {"small whole", "few decimals", "distinct"}) {
        const std::vector<double> values = random_values(kind, 300000, 8);
        std::vector<int64_t> asked;
        std::vector<double> block;
        const int64_t length = ds_numeric_index_build(values.data(), int64_t(values.size()), [&](int64_t n) {
            asked.push_back(n);
            block.resize(size_t(n));
            return block.data();
        }, nullptr);
        EXPECT_EQ(asked, std::vector<int64_t>{length}) << kind;
        EXPECT_EQ(ds_numeric_index_build(values.data(), int64_t(values.size()), [](int64_t) -> double * { return nullptr; },
                                         nullptr),
                  0)
            << kind;
    }
}

TEST(NumericIndex, SequentialIndex)
{
    const struct {
        uint64_t location, length;
        bool with_nan;
        std::vector<double> index;
    } cases[] = {
        {3, 2, true, {3, 4, 5, nan}},
        {3, 2, false, {3, 4, 5}},
        {7, 0, true, {nan}},
        {7, 0, false, {}},
    };
    for (const auto &c : cases) {
        std::vector<double> block;
        const int64_t n = ds_numeric_sequential_index(c.location, c.length, c.with_nan, [&](int64_t k) {
            block.resize(size_t(k));
            return block.data();
        });
        EXPECT_EQ(n, int64_t(block.size()));
        expect_same_index(block, c.index, "sequential");
    }
}

struct counted {
    double value;
    int64_t count, missing;
    bool operator==(const counted &o) const
    {
        return (value == o.value || (std::isnan(value) && std::isnan(o.value))) && count == o.count && missing == o.missing;
    }
};

std::vector<counted> counts_of(const std::vector<double> &values, const std::vector<int32_t> &weights,
                               const std::vector<uint8_t> &missing, const uint8_t *mask, int64_t mask_length)
{
    const built b = build(values);
    const ds_numeric_rows_s rows = {values.data(), int64_t(values.size()), missing.empty() ? nullptr : missing.data(),
                                    int64_t(missing.size()), weights.empty() ? nullptr : weights.data(),
                                    int64_t(weights.size())};
    std::vector<ds_num_counts_s> out(b.index.size());
    ds_numeric_index_counts(b.index.data(), int64_t(b.index.size()), b.positions.data(), &rows, mask, mask_length,
                            out.data());
    std::vector<counted> result;
    for (const ds_num_counts_s &c : out)
        result.push_back({c.value, c.count, c.missing});
    return result;
}

TEST(NumericIndex, WeightedCounts)
{
    const std::vector<double> values = {1, 2, 2, nan, 3};
    const std::vector<int32_t> weights = {1, 2, 3, 4, 5};
    const std::vector<uint8_t> missing = {0b11000};  // the NaN row, and 3 by the column's predicate
    const uint8_t mask[] = {0b11011};                // rows 0, 1, 3, 4
    // 3 is missing in its only row: flag 1, but its taken row still counts.
    EXPECT_EQ(counts_of(values, weights, missing, mask, 1),
              (std::vector<counted>{{1, 1, 0}, {2, 2, 0}, {3, 5, 1}, {nan, 4, 1}}));
    const uint8_t none = 0;
    EXPECT_EQ(counts_of(values, weights, missing, &none, 0),
              (std::vector<counted>{{1, 0, 0}, {2, 0, 0}, {3, 0, 1}, {nan, 0, 1}}));
    EXPECT_EQ(counts_of(values, {}, {}, nullptr, 0),
              (std::vector<counted>{{1, 1, 0}, {2, 2, 0}, {3, 1, 0}, {nan, 1, 1}}));
    EXPECT_EQ(counts_of({nan, nan, nan}, {2, 0, 7}, {0b111}, mask, 1), (std::vector<counted>{{nan, 2, 1}}));
}

// With many entries the counts run in fewer chunks; they must not change.
TEST(NumericIndex, CountsOfManyDistinctValues)
{
    const std::vector<double> values = random_values("distinct", 600000, 4);
    std::vector<int32_t> weights(values.size());
    std::vector<uint8_t> mask((values.size() + 7) / 8);
    std::mt19937 rng(2);
    for (int32_t &w : weights)
        w = int32_t(rng() % 5);
    for (uint8_t &m : mask)
        m = uint8_t(rng());
    const std::vector<counted> got = counts_of(values, weights, {}, mask.data(), int64_t(mask.size()));
    std::vector<std::pair<double, int64_t>> taken;
    int64_t nan_count = 0;
    for (size_t i = 0; i < values.size(); ++i) {
        const int64_t w = (mask[i / 8] >> (i % 8)) & 1 ? weights[i] : 0;
        if (std::isnan(values[i]))
            nan_count += w;
        else
            taken.emplace_back(values[i], w);
    }
    std::sort(taken.begin(), taken.end());
    std::vector<counted> want;
    for (const auto &[value, w] : taken)
        if (!want.empty() && want.back().value == value)
            want.back().count += w;
        else
            want.push_back({value, w, 0});
    want.push_back({nan, nan_count, 1});
    EXPECT_EQ(got, want);
}

TEST(NumericIndex, DisplayOrder)
{
    const struct {
        std::vector<double> index, ordered;
        std::vector<int32_t> order;
    } cases[] = {
        {{1, 5, 7}, {5, 9}, {1, 0, 2}},
        {{1, 5, 7}, {}, {0, 1, 2}},
        {{1, 5, 7, nan}, {nan, 7, 7, 1}, {3, 2, 0, 1}},
        {{nan}, {2}, {0}},
    };
    for (const auto &c : cases) {
        std::vector<int32_t> order(c.index.size(), -1);
        EXPECT_EQ(ds_numeric_index_order(c.index.data(), int64_t(c.index.size()), c.ordered.data(),
                                         int64_t(c.ordered.size()), order.data()),
                  int64_t(c.index.size()));
        EXPECT_EQ(order, c.order);
    }
}

TEST(NumericIndex, Hues)
{
    const double index[] = {-0.0, 0.0, 2.5, nan};
    double hues[4];
    ds_numeric_index_hues(index, 4, hues);
    EXPECT_EQ(hues[0], 0.3);
    EXPECT_EQ(hues[1], 0.3);
    unsigned char key[kDSDoubleKeyBytes];
    EXPECT_EQ(hues[2], ds_hue_for_number(key, 2.5));
    EXPECT_TRUE(std::isnan(hues[3]));
}

TEST(NumericIndex, WholeValues)
{
    const uint8_t second_missing[] = {0b10};
    const struct {
        std::vector<double> values;
        const uint8_t *missing;
        bool whole;
    } cases[] = {
        {{1, 2, nan, -7}, nullptr, true},
        {{1, 2.5}, nullptr, false},
        {{1, 2.5}, second_missing, true},  // a missing row does not count
        {{}, nullptr, true},
        {{9223372036854775808.0}, nullptr, false},  // 2^63 does not fit
        {{-9223372036854775808.0}, nullptr, true},
    };
    for (const auto &c : cases) {
        const ds_numeric_rows_s rows = {c.values.data(), int64_t(c.values.size()), c.missing, c.missing ? 1 : 0, nullptr, 0};
        EXPECT_EQ(ds_numeric_all_whole(&rows), c.whole) << c.values.size();
    }
}

TEST(NumericIndex, SortedValuesAndWeights)
{
    const std::vector<double> values = {2, 1, nan, 2, 0.5};
    const uint8_t missing[] = {0b10000};  // row 4 by the predicate
    const int32_t weights[] = {1, 3, 9, 2, 9};
    const ds_numeric_rows_s rows = {values.data(), 5, missing, 1, weights, 5};
    ASSERT_EQ(ds_numeric_present_count(&rows), 3);
    double sorted[3];
    int32_t row_numbers[3];
    ASSERT_EQ(ds_numeric_sort_present(&rows, sorted, row_numbers), 3);
    EXPECT_EQ(std::vector<double>(sorted, sorted + 3), (std::vector<double>{1, 2, 2}));
    EXPECT_EQ(std::vector<int32_t>(row_numbers, row_numbers + 3), (std::vector<int32_t>{1, 0, 3}));

    double *distinct = nullptr;
    int32_t *sums = nullptr;
    ASSERT_EQ(ds_numeric_distinct_weights(sorted, row_numbers, 3, weights, 5, nullptr, 0, &distinct, &sums), 2);
    EXPECT_EQ(std::vector<double>(distinct, distinct + 2), (std::vector<double>{1, 2}));
    EXPECT_EQ(std::vector<int32_t>(sums, sums + 2), (std::vector<int32_t>{3, 3}));
    std::free(distinct);
    std::free(sums);

    const uint8_t only_row_0 = 0b1;
    ASSERT_EQ(ds_numeric_distinct_weights(sorted, row_numbers, 3, weights, 5, &only_row_0, 1, &distinct, &sums), 1);
    EXPECT_EQ(distinct[0], 2);
    EXPECT_EQ(sums[0], 1);
    std::free(distinct);
    std::free(sums);

    EXPECT_EQ(ds_numeric_distinct_weights(sorted, nullptr, 3, nullptr, 0, nullptr, 0, &distinct, &sums), 2);
    EXPECT_EQ(sums[1], 2);
    std::free(distinct);
    std::free(sums);
    const uint8_t no_row = 0;
    EXPECT_EQ(ds_numeric_distinct_weights(sorted, row_numbers, 3, weights, 5, &no_row, 0, &distinct, &sums), 0);
    EXPECT_EQ(distinct, nullptr);
}

TEST(NumericIndex, SortedDifferences)
{
    const std::vector<double> a = {5, 1, nan, inf, 4, 7}, b = {1, 3, 0, inf, 0, 0};
    const int32_t weights[] = {1, 2, 3, 4, 0, 6};
    const uint8_t b_missing[] = {0b100000};  // row 5
    const ds_numeric_rows_s ra = {a.data(), 6, nullptr, 0, weights, 6};
    const ds_numeric_rows_s rb = {b.data(), 6, b_missing, 1, nullptr, 0};
    double *values = nullptr;
    int32_t *w = nullptr;
    // Row 2 is missing in a, row 3 gives no difference (inf - inf), row 5 is
    // missing in b, and rows past num_records are left out.
    ASSERT_EQ(ds_numeric_sorted_differences(&ra, &rb, 5, nullptr, 0, &values, &w), 3);
    EXPECT_EQ(std::vector<double>(values, values + 3), (std::vector<double>{-2, 4, 4}));
    EXPECT_EQ(std::vector<int32_t>(w, w + 3), (std::vector<int32_t>{2, 1, 0}));
    std::free(values);
    std::free(w);
    const ds_numeric_rows_s shorter = {b.data(), 5, nullptr, 0, nullptr, 0};
    EXPECT_EQ(ds_numeric_sorted_differences(&ra, &shorter, 5, nullptr, 0, &values, &w), 0);
    EXPECT_EQ(values, nullptr);
}

std::vector<std::vector<double>> edges_and_counts(const QVariantList &bins)
{
    std::vector<std::vector<double>> out;
    for (const QVariant &bin : bins) {
        const QVariantMap m = bin.toMap();
        out.push_back({m.value("lower").toDouble(), m.value("upper").toDouble(), m.value("count").toDouble(),
                       m.value("index", -1).toDouble()});
    }
    return out;
}

TEST(NumericBins, EdgesCountsAndEmptyBins)
{
    const std::vector<double> values = {0, 1, 2.5, 9.9, 10, nan, 3};
    const int32_t weights[] = {1, 1, 2, 1, 1, 5, 4};
    const uint8_t missing[] = {0b1100000};  // the NaN row and row 6 by the predicate
    const ds_numeric_rows_s rows = {values.data(), 7, missing, 1, weights, 7};
    const auto kept = ds_numeric_bins(&rows, nullptr, 0, 4, 2.5, 0, 10, false);
    ASSERT_TRUE(kept.has_value());
    EXPECT_EQ(edges_and_counts(*kept), (std::vector<std::vector<double>>{{0, 2.5, 2, 0}, {2.5, 5, 2, 1}, {7.5, 10, 2, 3}}));
    const auto all = ds_numeric_bins(&rows, nullptr, 0, 4, 2.5, 0, 10, true);
    EXPECT_EQ(edges_and_counts(*all)[2], (std::vector<double>{5, 7.5, 0, 2}));
    EXPECT_FALSE(ds_numeric_bins(&rows, nullptr, 0, 4, 2.5, nan, 10, true).has_value());

    // Differences against zeros, and groups 0 and 1 (rows of group 2 skipped).
    const std::vector<double> zeros(7, 0.0);
    const ds_numeric_rows_s zero_rows = {zeros.data(), 7, nullptr, 0, nullptr, 0};
    EXPECT_EQ(edges_and_counts(*ds_numeric_difference_bins(&rows, &zero_rows, nullptr, 0, 4, 2.5, 0, 10, false)),
              edges_and_counts(*kept));
    const ds_numeric_rows_s six = {zeros.data(), 6, nullptr, 0, nullptr, 0};
    EXPECT_FALSE(ds_numeric_difference_bins(&rows, &six, nullptr, 0, 4, 2.5, 0, 10, true).has_value());
    const int32_t groups[] = {0, 1, 1, 2, 0, 0, 0};
    const QVariantList per_group = ds_numeric_multiple_bins(&rows, nullptr, 0, groups, 2, 4, 2.5, 0, 10, false);
    ASSERT_EQ(per_group.size(), 2);
    EXPECT_EQ(edges_and_counts(per_group[0].toList()),
              (std::vector<std::vector<double>>{{0, 2.5, 1, -1}, {7.5, 10, 1, -1}}));
    EXPECT_EQ(edges_and_counts(per_group[1].toList()),
              (std::vector<std::vector<double>>{{0, 2.5, 1, -1}, {2.5, 5, 2, -1}}));
}

}  // namespace
