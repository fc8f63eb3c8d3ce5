// Confidence intervals against R (fixtures/make_intervals.R): exact Poisson
// intervals, Wilson score intervals, t and normal intervals of a mean.
#include "platform/sterna/sterna.h"

#include "fixture_table.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(SternaIntervals, AgreeWithR)
{
    for (const FixtureRow &row : readFixture("intervals.csv")) {
        const std::string kind = row.text("kind");
        const double a = row.number("a"), b = row.number("b"), level = row.number("level");
        double bounds[2] = {0, 0};
        if (kind == "poisson") {
            ds_poisson_confidence_interval(a, level, bounds);
        } else if (kind == "wilson") {
            ds_multinomial_confidence_interval(int64_t(a), int64_t(b), level, bounds);
        } else if (kind == "t") {
            const double q = ds_confidence_interval_t(a, b, level, NAN, int64_t(row.number("df")), bounds);
            // The quantile handed back gives the same bounds when passed back.
            double again[2];
            EXPECT_EQ(ds_confidence_interval_t(a, b, level, q, int64_t(row.number("df")), again), q);
            EXPECT_EQ(again[0], bounds[0]);
            EXPECT_EQ(again[1], bounds[1]);
        } else {
            ds_confidence_interval_z(a, b, level, bounds);
        }
        SCOPED_TRACE("line " + std::to_string(row.line) + ": " + kind);
        EXPECT_TRUE(closeRelative(bounds[0], row.number("lower"), 1e-10));
        EXPECT_TRUE(closeRelative(bounds[1], row.number("upper"), 1e-10));
    }
}

TEST(SternaIntervals, BadArgumentsGiveNaNBounds)
{
    struct Case {
        const char *what;
        void (*fill)(double[2]);
    } cases[] = {
        {"count above total", [](double o[2]) { ds_multinomial_confidence_interval(5, 4, 0.05, o); }},
        {"no total", [](double o[2]) { ds_multinomial_confidence_interval(0, 0, 0.05, o); }},
        {"NaN level", [](double o[2]) { ds_multinomial_confidence_interval(1, 4, NAN, o); }},
        {"negative count", [](double o[2]) { ds_poisson_confidence_interval(-1, 0.95, o); }},
        {"NaN count", [](double o[2]) { ds_poisson_confidence_interval(NAN, 0.95, o); }},
        {"confidence above 1", [](double o[2]) { ds_poisson_confidence_interval(3, 1.5, o); }},
        {"NaN mean", [](double o[2]) { ds_confidence_interval_t(NAN, 1, 0.95, NAN, 5, o); }},
        {"NaN standard error", [](double o[2]) { ds_confidence_interval_z(1, NAN, 0.95, o); }},
        {"no degrees of freedom", [](double o[2]) { ds_confidence_interval_t(1, 1, 0.95, NAN, 0, o); }},
    };
    for (const Case &c : cases) {
        double bounds[2] = {0, 0};
        c.fill(bounds);
        EXPECT_TRUE(std::isnan(bounds[0]) && std::isnan(bounds[1])) << c.what;
    }
}

TEST(SternaIntervals, PoissonCountsNeedNotBeWhole)
{
    double lower[2], middle[2], upper[2];
    ds_poisson_confidence_interval(4, 0.95, lower);
    ds_poisson_confidence_interval(4.5, 0.95, middle);
    ds_poisson_confidence_interval(5, 0.95, upper);
    EXPECT_LT(lower[0], middle[0]);
    EXPECT_LT(middle[0], upper[0]);
    EXPECT_LT(lower[1], middle[1]);
    EXPECT_LT(middle[1], upper[1]);
}

TEST(SternaIntervals, StandardDeviationIsTheStandardErrorOfTheMean)
{
    // Variance 2.5 of 10 values: the mean's standard error is 0.5.
    EXPECT_DOUBLE_EQ(ds_standard_deviation(10, 2.5), 0.5);
    double bounds[2];
    const double q = ds_confidence_interval_t(4, ds_standard_deviation(10, 2.5), 0.95, NAN, 9, bounds);
    EXPECT_DOUBLE_EQ(q, ds_critical_value_t(0.05, 9));
    EXPECT_NEAR(bounds[1] - 4, 0.5 * q, 1e-14);
}

}  // namespace
