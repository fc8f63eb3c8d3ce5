// The analyses of variance against R (fixtures/make_anova.R) and the
// hand-worked small cases.
#include "fixture_lines.h"
#include "model/util/ds_anova.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

// One fixture line: F;df1;df2;first codes;second codes;values.
struct Design
{
    double f;
    int64_t df1, df2;
    std::vector<int32_t> a, b;
    std::vector<double> y;
};

std::vector<Design> readFixture(const char *name)
{
    std::vector<Design> designs;
    for (const auto &f : ds_fixture_lines(name))
        designs.push_back({std::stod(f.at(0)), std::stoll(f.at(1)), std::stoll(f.at(2)), ds_fixture_list<int32_t>(f.at(3)),
                           ds_fixture_list<int32_t>(f.at(4)), ds_fixture_list<double>(f.at(5))});
    return designs;
}

std::vector<const double *> pointers(const std::vector<std::vector<double>> &columns)
{
    std::vector<const double *> out;
    for (const auto &column : columns)
        out.push_back(column.data());
    return out;
}

TEST(ds_anova, WorkedCases)
{
    int64_t df1 = 0, df2 = 0;
    const std::vector<double> y = {1, 2, 3, 4, 5, 6};
    const std::vector<int32_t> g = {0, 0, 0, 1, 1, 1};
    EXPECT_NEAR(ds_anova_one_way(y.data(), g.data(), nullptr, 6, 2, &df1, &df2), 13.5, 1e-12);
    EXPECT_EQ(df1, 1);
    EXPECT_EQ(df2, 4);
    const std::vector<int32_t> one(6, 0);
    EXPECT_TRUE(std::isnan(ds_anova_one_way(y.data(), one.data(), nullptr, 6, 2, nullptr, nullptr)));

    const std::vector<double> c1 = {1, 2, 3}, c2 = {2, 4, 6};
    const double *columns[] = {c1.data(), c2.data()};
    EXPECT_NEAR(ds_anova_repeated_measures(columns, 2, 3, nullptr, 0, nullptr, 0, &df1, &df2), 12, 1e-12);
    EXPECT_EQ(df1, 1);
    EXPECT_EQ(df2, 2);
    df1 = -5;
    EXPECT_TRUE(std::isnan(ds_anova_repeated_measures(columns, 1, 3, nullptr, 0, nullptr, 0, &df1, nullptr)));
    const uint8_t none = 0;
    EXPECT_TRUE(std::isnan(ds_anova_repeated_measures(columns, 2, 3, &none, 1, nullptr, 0, &df1, nullptr)));
    EXPECT_EQ(df1, -5) << "refused: nothing written";

    const std::vector<double> cells = {1, 3, 5, 7, 2, 4, 10, 12};
    const std::vector<int32_t> a = {0, 0, 1, 1, 0, 0, 1, 1}, b = {0, 0, 0, 0, 1, 1, 1, 1};
    EXPECT_NEAR(ds_anova_two_way(cells.data(), a.data(), b.data(), nullptr, 8, 2, 2, &df1, &df2), 4, 1e-12);
    EXPECT_EQ(df1, 1);
    EXPECT_EQ(df2, 4);
    const std::vector<int32_t> a1 = {0, 1, 0, 1}, b1 = {0, 0, 1, 1};
    EXPECT_TRUE(std::isnan(ds_anova_two_way(cells.data(), a1.data(), b1.data(), nullptr, 4, 2, 2, nullptr, nullptr)))
        << "one row per cell";
}

TEST(ds_anova, OneWayEqualsR)
{
    for (const Design &d : readFixture("one_way.txt")) {
        int64_t df1 = 0, df2 = 0;
        const double f = ds_anova_one_way(d.y.data(), d.a.data(), nullptr, int64_t(d.y.size()), 6, &df1, &df2);
        EXPECT_NEAR(f, d.f, 1e-9 * (1 + d.f));
        EXPECT_EQ(df1, d.df1);
        EXPECT_EQ(df2, d.df2);
    }
}

TEST(ds_anova, TwoWayInteractionEqualsR)
{
    // Balanced and unbalanced designs alike.
    for (const Design &d : readFixture("two_way.txt")) {
        int64_t df1 = 0, df2 = 0;
        const double f =
            ds_anova_two_way(d.y.data(), d.a.data(), d.b.data(), nullptr, int64_t(d.y.size()), 4, 4, &df1, &df2);
        EXPECT_NEAR(f, d.f, 1e-8 * (1 + d.f));
        EXPECT_EQ(df1, d.df1);
        EXPECT_EQ(df2, d.df2);
    }
}

TEST(ds_anova, RepeatedMeasuresEqualsR)
{
    for (const Design &d : readFixture("repeated.txt")) {
        const int64_t k = d.a[0];
        const auto columns = ds_fixture_columns(d.y, k);
        int64_t df1 = 0, df2 = 0;
        const double f = ds_anova_repeated_measures(pointers(columns).data(), k, int64_t(columns[0].size()), nullptr,
                                                    0, nullptr, 0, &df1, &df2);
        EXPECT_NEAR(f, d.f, 1e-9 * (1 + d.f));
        EXPECT_EQ(df1, d.df1);
        EXPECT_EQ(df2, d.df2);
    }
}

TEST(ds_anova, WeightsCountAsRepeatedRows)
{
    const std::vector<Design> twoWay = readFixture("two_way.txt");
    for (size_t l = 45; l < 60; ++l) {
        const Design &d = twoWay[l];
        Design rep{};
        std::vector<int32_t> weights;
        for (size_t i = 0; i < d.y.size(); ++i) {
            weights.push_back(int32_t(1 + (i * 5 + l) % 3));
            for (int32_t r = 0; r < weights.back(); ++r) {
                rep.y.push_back(d.y[i]);
                rep.a.push_back(d.a[i]);
                rep.b.push_back(d.b[i]);
            }
        }
        const int64_t n = int64_t(d.y.size()), m = int64_t(rep.y.size());
        EXPECT_NEAR(ds_anova_two_way(d.y.data(), d.a.data(), d.b.data(), weights.data(), n, 4, 4, nullptr, nullptr),
                    ds_anova_two_way(rep.y.data(), rep.a.data(), rep.b.data(), nullptr, m, 4, 4, nullptr, nullptr),
                    1e-8);
        EXPECT_NEAR(ds_anova_one_way(d.y.data(), d.a.data(), weights.data(), n, 4, nullptr, nullptr),
                    ds_anova_one_way(rep.y.data(), rep.a.data(), nullptr, m, 4, nullptr, nullptr), 1e-9);
    }
    // Repeated measures: a weight of 3 on a row, a masked row left out.
    const std::vector<double> x = {1, 4, 2, 9}, y = {2, 3, 5, 1};
    const std::vector<double> rx = {1, 4, 4, 4, 2}, ry = {2, 3, 3, 3, 5};
    const std::vector<int32_t> weights = {1, 3, 1, 2};
    const uint8_t mask = 0x07;
    const double *weighted[] = {x.data(), y.data()};
    const double *repeated[] = {rx.data(), ry.data()};
    EXPECT_NEAR(ds_anova_repeated_measures(weighted, 2, 4, &mask, 1, weights.data(), 4, nullptr, nullptr),
                ds_anova_repeated_measures(repeated, 2, 5, nullptr, 0, nullptr, 0, nullptr, nullptr), 1e-12);
}

}  // namespace
