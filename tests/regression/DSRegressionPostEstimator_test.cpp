// The post-estimator's tests and products on a small hand-made fit whose
// answers can be worked out directly.
#include "regression/DSRegressionPostEstimator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr double N = std::numeric_limits<double>::quiet_NaN();

// b = (1, 2, NaN), V diagonal (1, 4, 1) with one off-diagonal covariance
// between the first two stored in the upper triangle only.
DSRegressionPostEstimator fitted()
{
    const double b[] = {1, 2, N};
    const double V[] = {1, 0, 0, /**/ 0.5, 4, 0, /**/ 0, 0, 1};
    DSRegressionPostEstimator post;
    post.setCoefficients(b, 2, b + 2, 1, V);
    return post;
}

struct WaldCase {
    int code;
    QList<int64_t> indexes;
    int64_t q;
    double W;
};

TEST(DSRegressionPostEstimatorTest, WaldStatisticsOfEachHypothesis)
{
    // Var(b0) 1, Var(b1) 4, Cov 0.5: det 3.75.
    const double joint = (1 * 4 - 2 * 1 * 2 * 0.5 + 4 * 1) / 3.75; // b'V^-1 b
    const WaldCase cases[] = {
        {2, {0}, 1, 1.0},
        {2, {0, 1}, 2, joint},
        {2, {0, 1, 2, 7, -1}, 2, joint},        // NaN, past the end and negative dropped
        {3, {0}, 0, N},                         // one coefficient: nothing to compare
        {3, {0, 1}, 1, 1.0 / (1 + 4 - 1)},      // (b0 - b1)^2 / Var(b0 - b1)
        {4, {0, 1}, 1, 9.0 / (1 + 4 + 1)},      // (b0 + b1)^2 / Var
        {5, {0, 1}, 1, 4.0 / 6},                // (b0 + b1 - 1)^2 / Var
        {2, {2}, 0, N},
        {9, {0, 1}, 0, N},
    };
    const DSRegressionPostEstimator post = fitted();
    for (const WaldCase &c : cases) {
        int64_t q = -1;
        const double W = post.waldStatisticForNullHypothesis(c.code, c.indexes, &q);
        EXPECT_EQ(q, c.q) << c.code;
        if (std::isnan(c.W))
            EXPECT_TRUE(std::isnan(W)) << c.code;
        else
            EXPECT_NEAR(W, c.W, 1e-12) << c.code;
    }
    int64_t untouched = -7;
    EXPECT_TRUE(std::isnan(DSRegressionPostEstimator().waldStatisticForNullHypothesis(2, {0}, &untouched)));
    EXPECT_EQ(untouched, -7) << "no fit leaves q alone";
}

TEST(DSRegressionPostEstimatorTest, VarianceAndFittedValuesUseTheLeadingBlock)
{
    const DSRegressionPostEstimator post = fitted();
    const double g[] = {1, 1, 1, 1};
    EXPECT_DOUBLE_EQ(post.varianceForGradientVector(g, 2), 1 + 4 + 2 * 0.5);
    EXPECT_DOUBLE_EQ(post.varianceForGradientVector(g, 1), 1);
    EXPECT_TRUE(std::isnan(post.varianceForGradientVector(g, 4)));
    EXPECT_DOUBLE_EQ(post.fittedValueForRowVector(g, 0, 3), 3) << "a NaN coefficient adds 0";
    EXPECT_DOUBLE_EQ(post.fittedValueForRowVector(g, 1, 1), 2);
    EXPECT_TRUE(std::isnan(post.fittedValueForRowVector(g, 1, 3)));
}

} // namespace
