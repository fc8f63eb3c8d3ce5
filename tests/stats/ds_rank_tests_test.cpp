// The Kruskal-Wallis, Friedman and two-sample Kolmogorov-Smirnov statistics
// against R (fixtures/make_rank_tests.R) and the hand-worked small cases.
#include "fixture_lines.h"
#include "platform/sterna/sterna.h"
#include "model/util/ds_rank_tests.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

// One fixture line: statistic;df;codes;values.
struct FixtureLine
{
    double statistic;
    int64_t df;
    std::vector<int32_t> codes;
    std::vector<double> values;
};

std::vector<FixtureLine> readFixture(const char *name)
{
    std::vector<FixtureLine> lines;
    for (const auto &f : ds_fixture_lines(name))
        lines.push_back({std::stod(f.at(0)), std::stoll(f.at(1)), ds_fixture_list<int32_t>(f.at(2)),
                         ds_fixture_list<double>(f.at(3))});
    return lines;
}

// The entries repeated by their weights, as R sees weighted rows.
struct Expanded
{
    std::vector<double> values;
    std::vector<int32_t> groups;
};

Expanded expand(const std::vector<double> &values, const std::vector<int32_t> &groups,
                const std::vector<int32_t> &weights)
{
    Expanded out;
    for (size_t i = 0; i < values.size(); ++i)
        for (int32_t r = 0; r < weights[i]; ++r) {
            out.values.push_back(values[i]);
            out.groups.push_back(groups[i]);
        }
    return out;
}

TEST(ds_rank_tests, KruskalWallisWorkedCases)
{
    const std::vector<double> x = {1, 2, 3, 4, 5, 6};
    const std::vector<int32_t> g = {0, 0, 0, 1, 1, 1};
    const std::vector<int32_t> twos(6, 2);
    int64_t df = -1;
    EXPECT_NEAR(ds_kruskal_wallis(x.data(), g.data(), nullptr, 6, 2, &df), 3.857142857, 1e-9);
    EXPECT_EQ(df, 1);
    EXPECT_NEAR(ds_kruskal_wallis(x.data(), g.data(), twos.data(), 6, 2, &df), 8.485714286, 1e-9);
    // An empty third group does not count in df.
    EXPECT_NEAR(ds_kruskal_wallis(x.data(), g.data(), nullptr, 6, 3, &df), 3.857142857, 1e-9);
    EXPECT_EQ(df, 1);

    const std::vector<double> tied = {7, 7, 7, 7};
    EXPECT_TRUE(std::isnan(ds_kruskal_wallis(tied.data(), g.data(), nullptr, 4, 2, &df)));
    df = -1;
    EXPECT_TRUE(std::isnan(ds_kruskal_wallis(nullptr, nullptr, nullptr, 0, 2, &df)));
    EXPECT_EQ(df, -1) << "no entry: df untouched";
}

TEST(ds_rank_tests, KruskalWallisEqualsR)
{
    const std::vector<FixtureLine> lines = readFixture("kruskal_wallis.txt");
    ASSERT_GT(lines.size(), 150u);
    for (const FixtureLine &c : lines) {
        int64_t df = -1;
        const double h = ds_kruskal_wallis(c.values.data(), c.codes.data(), nullptr, int64_t(c.values.size()), 6, &df);
        EXPECT_NEAR(h, c.statistic, 1e-9 * (1 + c.statistic));
        EXPECT_EQ(df, c.df);
    }
}

TEST(ds_rank_tests, WeightedKruskalWallisEqualsRepeatedRows)
{
    const std::vector<FixtureLine> lines = readFixture("kruskal_wallis.txt");
    for (size_t l = 0; l < 40 && l < lines.size(); ++l) {
        const FixtureLine &c = lines[l];
        std::vector<int32_t> weights;
        for (size_t i = 0; i < c.values.size(); ++i)
            weights.push_back(int32_t(1 + (i * 7 + l) % 4));
        const Expanded e = expand(c.values, c.codes, weights);
        const double weighted =
            ds_kruskal_wallis(c.values.data(), c.codes.data(), weights.data(), int64_t(c.values.size()), 6, nullptr);
        const double repeated =
            ds_kruskal_wallis(e.values.data(), e.groups.data(), nullptr, int64_t(e.values.size()), 6, nullptr);
        EXPECT_NEAR(weighted, repeated, 1e-9 * (1 + repeated));
    }
}

TEST(ds_rank_tests, FriedmanEqualsRInItsFForm)
{
    const std::vector<FixtureLine> lines = readFixture("friedman.txt");
    ASSERT_EQ(lines.size(), 200u);
    for (const FixtureLine &c : lines) {
        const int64_t k = c.codes[0];
        const auto columns = ds_fixture_columns(c.values, k);
        std::vector<const double *> pointers;
        for (const auto &column : columns)
            pointers.push_back(column.data());
        int64_t df1 = -1, df2 = -1;
        const double f = ds_friedman(pointers.data(), k, int64_t(columns[0].size()), nullptr, 0, nullptr, 0, &df1, &df2);
        if (std::isfinite(c.statistic)) {
            EXPECT_NEAR(f, c.statistic, 1e-9 * (1 + std::fabs(c.statistic)));
        }
        EXPECT_EQ(df1, k - 1);
        EXPECT_EQ(df2, c.df);
    }
}

TEST(ds_rank_tests, FriedmanWorkedCasesAndMask)
{
    // The first column always larger: the statistic divides by 0.
    const std::vector<double> a = {5, 6, 7}, b = {1, 2, 3};
    const double *columns[] = {a.data(), b.data()};
    int64_t df1 = 0, df2 = 0;
    EXPECT_TRUE(std::isinf(ds_friedman(columns, 2, 3, nullptr, 0, nullptr, 0, &df1, &df2)));
    EXPECT_EQ(df1, 1);
    EXPECT_EQ(df2, 2);
    df1 = -7;
    EXPECT_TRUE(std::isnan(ds_friedman(columns, 1, 3, nullptr, 0, nullptr, 0, &df1, nullptr)));
    EXPECT_EQ(df1, -7);

    // A weight of 3 counts as three identical rows; a masked row not at all.
    const std::vector<double> x = {1, 4, 2, 9, 0}, y = {2, 3, 2, 1, 5}, z = {3, 3, 1, 0, 4};
    const std::vector<int32_t> weights = {1, 3, 1, 2, 1};
    const uint8_t mask[] = {0x0f};  // row 4 left out
    const std::vector<double> rx = {1, 4, 4, 4, 2, 9, 9}, ry = {2, 3, 3, 3, 2, 1, 1}, rz = {3, 3, 3, 3, 1, 0, 0};
    const double *weighted[] = {x.data(), y.data(), z.data()};
    const double *repeated[] = {rx.data(), ry.data(), rz.data()};
    EXPECT_NEAR(ds_friedman(weighted, 3, 5, mask, 1, weights.data(), 5, nullptr, &df2),
                ds_friedman(repeated, 3, 7, nullptr, 0, nullptr, 0, nullptr, nullptr), 1e-12);
    EXPECT_EQ(df2, 12);
}

TEST(ds_rank_tests, TwoSampleKolmogorovSmirnovEqualsR)
{
    for (const FixtureLine &c : readFixture("ks_two_sample.txt")) {
        const double t = ds_kolmogorov_smirnov_k_sample(c.values.data(), c.codes.data(), nullptr,
                                                        int64_t(c.values.size()), 2);
        EXPECT_NEAR(std::sqrt(t), c.statistic, 1e-9);
    }
}

}  // namespace
