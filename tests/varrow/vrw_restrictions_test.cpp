// Wald tests of linear restrictions R b = r, with and without coefficients
// fixed by constraints.
#include "varrow/varrow.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

struct WaldCase {
    const char *name;
    std::vector<double> R;             // q x n, column-major
    int64_t q;
    std::vector<double> r;
    std::vector<double> estimates;     // n
    std::vector<double> constraints;   // empty: none
    std::vector<double> variance;      // of the estimated coefficients
    double statistic;                  // NaN: no test
    int64_t degrees_of_freedom;
};

const double kNaN = NAN;

const WaldCase kCases[] = {
    {"one restriction", {0, 1, 0}, 1, {0}, {1, 2, 3}, {}, {1, 0, 0, 0, 1, 0, 0, 0, 1}, 4, 1},
    {"fixed coefficient left out", {0, 1, 0}, 1, {0}, {1, 2, 3}, {kNaN, kNaN, 0},
     {1, 0, 0, 1}, 4, 1},
    {"restriction on a fixed coefficient only", {0, 0, 1}, 1, {0}, {1, 2, 3},
     {kNaN, kNaN, 0}, {1, 0, 0, 1}, kNaN, 0},
    {"fixed part moves to the right-hand side", {1, 1}, 1, {5}, {2, 3}, {2, kNaN}, {1}, 0, 1},
    {"identical rows", {0, 0, 1, 1, 0, 0}, 2, {0, 0}, {1, 2, 3}, {},
     {1, 0, 0, 0, 1, 0, 0, 0, 1}, kNaN, 0},
    {"two restrictions", {1, 0, 0, 1, 0, 0}, 2, {1, 1}, {2, 3, 4}, {},
     {2, 0, 0, 0, 4, 0, 0, 0, 1}, 0.5 + 1.0, 2},
};

TEST(WaldTest, CasesGiveTheirStatistics)
{
    for (const WaldCase &c : kCases) {
        SCOPED_TRACE(c.name);
        int64_t n = (int64_t)c.estimates.size();
        VRWTestRestrictions_s *t = vrw_init_restrictions(n, 1);
        ASSERT_TRUE(t);
        std::vector<double> R = c.R, r = c.r;
        t->R[0] = R.data();
        t->q[0] = c.q;
        t->r[0] = r.data();
        int64_t dimension = (int64_t)std::lround(std::sqrt((double)c.variance.size()));
        double statistic = -1;
        int64_t df = -1;
        EXPECT_EQ(vrw_wald_test(c.variance.data(), dimension, c.estimates.data(),
                                c.constraints.empty() ? nullptr : c.constraints.data(), t,
                                &statistic, &df),
                  0);
        if (std::isnan(c.statistic))
            EXPECT_TRUE(std::isnan(statistic)) << statistic;
        else
            EXPECT_NEAR(statistic, c.statistic, 1e-12);
        EXPECT_EQ(df, c.degrees_of_freedom);
        EXPECT_EQ(r, c.r) << "the caller's right-hand side is left as it was";
        vrw_free_restrictions(t);
    }
}

TEST(WaldTest, TestsLeftEmptyGiveNaN)
{
    VRWTestRestrictions_s *t = vrw_init_restrictions(5, 2);
    std::vector<double> variance(25, 0.0), estimates(5, 1.0), statistics(2, -1.0);
    std::vector<int64_t> df(2, -1);
    EXPECT_EQ(vrw_wald_test(variance.data(), 5, estimates.data(), nullptr, t, statistics.data(),
                            df.data()),
              0);
    for (int i = 0; i < 2; i++) {
        EXPECT_TRUE(std::isnan(statistics[i]));
        EXPECT_EQ(df[i], 0);
    }
    vrw_free_restrictions(t);
}

} // namespace
