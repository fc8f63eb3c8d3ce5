// Shapiro-Wilk W, its normal score and p-value against R's shapiro.test for
// samples of 3 to 5,000 (fixtures/make_shapiro_wilk.R).
#include "platform/sterna/sterna.h"

#include "fixture_table.h"
#include "lcg_samples.h"

#include <boost/math/distributions/normal.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

TEST(SternaShapiroWilk, AgreesWithRShapiroTest)
{
    for (const FixtureRow &row : readFixture("shapiro_wilk.csv")) {
        const auto n = int64_t(row.number("n"));
        std::vector<double> x = lcgSample(row.text("shape"), n, int64_t(row.number("seed")));
        std::sort(x.begin(), x.end());
        SCOPED_TRACE("line " + std::to_string(row.line) + ": " + row.text("shape") + " n " + std::to_string(n));

        const double w = ds_shapiro_wilk(x.data(), nullptr, n);
        EXPECT_TRUE(closeRelative(w, row.number("w"), 1e-9));
        const double p = ds_p_value_shapiro_wilk(w, n);
        EXPECT_TRUE(closeRelative(p, row.number("p"), 1e-6));
        // The score is the normal quantile of the p-value's complement.
        const double z = ds_shapiro_wilk_z_score(w, n);
        const boost::math::normal standard;
        EXPECT_TRUE(closeRelative(boost::math::cdf(boost::math::complement(standard, z)), p, 1e-12));
    }
}

TEST(SternaShapiroWilk, WeightsCountAsRepeatedValuesAndOrderDoesNotMatter)
{
    const double values[] = {2.5, -1, 0, 4, 3.25, 7, 1};
    const int32_t weights[] = {3, 1, 0, 2, 1, 1, 4};
    std::vector<double> expanded;
    for (int i = 0; i < 7; ++i)
        expanded.insert(expanded.end(), size_t(weights[i]), values[i]);
    std::sort(expanded.begin(), expanded.end());
    const double w = ds_shapiro_wilk(expanded.data(), nullptr, int64_t(expanded.size()));
    EXPECT_GT(w, 0.5);
    EXPECT_DOUBLE_EQ(ds_shapiro_wilk(values, weights, 7), w);
}

TEST(SternaShapiroWilk, SamplesItCannotJudge)
{
    const double two[] = {1, 2};
    const double same[] = {4, 4, 4, 4};
    EXPECT_TRUE(std::isnan(ds_shapiro_wilk(two, nullptr, 2)));
    EXPECT_TRUE(std::isnan(ds_shapiro_wilk(same, nullptr, 4)));
    const int32_t many[] = {2500, 2501};
    EXPECT_TRUE(std::isnan(ds_shapiro_wilk(two, many, 2)));  // 5,001 observations
    const int32_t enough[] = {2500, 2500};
    EXPECT_FALSE(std::isnan(ds_shapiro_wilk(two, enough, 2)));

    EXPECT_TRUE(std::isnan(ds_p_value_shapiro_wilk(0.9, 2)));
    EXPECT_TRUE(std::isnan(ds_p_value_shapiro_wilk(0.9, 5001)));
    EXPECT_TRUE(std::isnan(ds_p_value_shapiro_wilk(1.01, 50)));
    EXPECT_TRUE(std::isnan(ds_p_value_shapiro_wilk(0, 50)));
    EXPECT_EQ(ds_p_value_shapiro_wilk(1, 50), 1);
    EXPECT_EQ(ds_p_value_shapiro_wilk(1, 3), 1);
    // n = 3: W has its exact distribution on [3/4, 1].
    EXPECT_EQ(ds_p_value_shapiro_wilk(0.75, 3), 0);
    EXPECT_NEAR(ds_p_value_shapiro_wilk(0.875, 3), 6 / M_PI * (std::asin(std::sqrt(0.875)) - M_PI / 3), 1e-15);
}

}  // namespace
