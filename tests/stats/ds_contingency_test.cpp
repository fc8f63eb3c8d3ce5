// The contingency statistics on plain tables, against SciPy, statsmodels
// and R (fixtures/make_contingency.py, fixtures/make_contingency.R).

#include "contingency_oracle.h"

#include "model/util/ds_contingency.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

TEST(DSContingency, PearsonChiSquare)
{
    struct Case
    {
        const char *name;
        std::vector<int64_t> table;
        int64_t rows, columns;
    } cases[] = {
        {"chisq_2x2", {10, 20, 30, 40}, 2, 2},
        // Empty rows and columns take no part: the same as without them.
        {"chisq_2x2", {10, 0, 20, 30, 0, 40}, 2, 3},
        {"chisq_empty_row", {12, 5, 0, 0, 7, 14, 3, 9}, 4, 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        int64_t df = -7;
        const double chiSquare = ds_contingency_chisq(c.table.data(), c.rows, c.columns, &df);
        const double expected = ds_contingency_oracle(c.name);
        EXPECT_NEAR(chiSquare, expected, 1e-12 * expected);
        EXPECT_EQ(df, int64_t(ds_contingency_oracle(std::string(c.name) + "_df")));
    }
    EXPECT_NEAR(ds_contingency_chisq(std::vector<int64_t>{10, 20, 30, 40}.data(), 2, 2, nullptr), 0.7937, 5e-5);
    // A table without counts has no degrees of freedom.
    int64_t df = -7;
    EXPECT_EQ(ds_contingency_chisq(std::vector<int64_t>(6, 0).data(), 2, 3, &df), 0);
    EXPECT_EQ(df, 0);
}

TEST(DSContingency, MarginalHomogeneity)
{
    struct Case
    {
        const char *name;
        std::vector<int64_t> table;
        int64_t K;
    } cases[] = {
        {"mcnemar", {30, 15, 5, 50}, 2},
        {"stuart_maxwell_3", {20, 5, 3, 8, 30, 4, 2, 6, 25}, 3},
        {"stuart_maxwell_4", {12, 3, 2, 1, 4, 15, 3, 2, 1, 5, 18, 3, 2, 1, 4, 20}, 4},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        int64_t df = -7;
        const double statistic = ds_marginal_homogeneity_chisq(c.table.data(), c.K, &df);
        const double expected = ds_contingency_oracle(c.name);
        EXPECT_NEAR(statistic, expected, 1e-9 * expected);
        EXPECT_EQ(df, int64_t(ds_contingency_oracle(std::string(c.name) + "_df")));
    }
}

TEST(DSContingency, MarginalHomogeneityEdges)
{
    // A category that never occurs in the second margin is dropped: the
    // statistic is that of the categories present in both margins.
    int64_t df = -7;
    const std::vector<int64_t> dropped = {30, 15, 4, 5, 50, 6, 0, 0, 0};
    EXPECT_TRUE(std::isfinite(ds_marginal_homogeneity_chisq(dropped.data(), 3, &df)));
    EXPECT_EQ(df, 1);
    // One category in use: NaN, df untouched.
    df = -7;
    EXPECT_TRUE(std::isnan(ds_marginal_homogeneity_chisq(std::vector<int64_t>{9, 0, 0, 0}.data(), 2, &df)));
    EXPECT_EQ(df, -7);
    // No discordant pairs: the variance is singular, NaN with df 0.
    df = -7;
    EXPECT_TRUE(std::isnan(ds_marginal_homogeneity_chisq(std::vector<int64_t>{9, 0, 0, 4}.data(), 2, &df)));
    EXPECT_EQ(df, 0);
}

TEST(DSContingency, InvertMatrix)
{
    // Column-major 2 x 2 inside a leading dimension of 3.
    std::vector<double> m = {4, 2, 99, 7, 6, 99};
    const int64_t length = ds_dgetri_workspace_size(2);
    EXPECT_GE(length, 1);
    std::vector<double> workspace(static_cast<size_t>(length));
    std::vector<int32_t> pivots(2);
    ASSERT_EQ(ds_invert_matrix(m.data(), 2, 3, pivots.data(), workspace.data(), length), 0);
    EXPECT_NEAR(m[0], 0.6, 1e-15);
    EXPECT_NEAR(m[1], -0.2, 1e-15);
    EXPECT_NEAR(m[3], -0.7, 1e-15);
    EXPECT_NEAR(m[4], 0.4, 1e-15);
    EXPECT_EQ(m[2], 99);
    std::vector<double> singular = {1, 2, 2, 4};
    EXPECT_NE(ds_invert_matrix(singular.data(), 2, 2, pivots.data(), workspace.data(), length), 0);
}

}  // namespace
