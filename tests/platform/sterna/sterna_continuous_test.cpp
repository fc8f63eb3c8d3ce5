// The normal, t, chi-square and F families, the inverse normal and the beta
// function against R (fixtures/make_continuous.R), and the contracts every
// caller relies on: NaN in gives NaN out, critical values are upper-tail and
// invert the p-values.
#include "platform/sterna/sterna.h"

#include "fixture_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

double valueOf(const FixtureRow &row)
{
    const std::string &f = row.text("function");
    const double a = row.number("a"), b = row.number("b"), c = row.number("c");
    if (f == "p_normal")
        return ds_p_value_normal(a, int(b));
    if (f == "p_t")
        return ds_p_value_t(a, int64_t(b), int(c));
    if (f == "p_chisq")
        return ds_p_value_chi_square(a, int64_t(b));
    if (f == "p_f")
        return ds_p_value_f(a, int64_t(b), int64_t(c));
    if (f == "q_z")
        return ds_critical_value_z_score(a);
    if (f == "q_t")
        return ds_critical_value_t(a, int64_t(b));
    if (f == "q_chisq")
        return ds_critical_value_chi_square(a, int64_t(b));
    if (f == "q_f")
        return ds_critical_value_f(a, int64_t(b), int64_t(c));
    if (f == "beta")
        return ds_beta(a, b);
    if (f == "lbeta")
        return ds_log_beta(a, b);
    ADD_FAILURE() << "unknown function " << f;
    return nan;
}

TEST(SternaContinuous, AgreesWithRToTenDigits)
{
    for (const FixtureRow &row : readFixture("continuous.csv")) {
        if (row.text("function") == "ppnd")
            continue;
        const double expected = row.number("expected");
        // ln B is compared absolutely near 0, where a relative error means nothing.
        const bool nearZeroLog = row.text("function") == "lbeta" && std::fabs(expected) < 1e-3;
        if (nearZeroLog)
            EXPECT_NEAR(valueOf(row), expected, 1e-13) << "line " << row.line;
        else
            EXPECT_TRUE(closeRelative(valueOf(row), expected, 1e-10))
                << "line " << row.line << ": " << row.text("function") << "(" << row.text("a") << ", "
                << row.text("b") << ", " << row.text("c") << ")";
    }
}

TEST(SternaContinuous, PpndAgreesWithQnormToTwelveDigits)
{
    for (const FixtureRow &row : readFixture("continuous.csv")) {
        if (row.text("function") != "ppnd")
            continue;
        int fault = -1;
        EXPECT_TRUE(closeRelative(ppnd(row.number("a"), &fault), row.number("expected"), 1e-12))
            << "line " << row.line << ": ppnd(" << row.text("a") << ")";
        EXPECT_EQ(fault, 0);
    }
}

TEST(SternaContinuous, PpndFlagsProbabilitiesOutsideTheOpenInterval)
{
    struct Case {
        double p, z;
    } cases[] = {{0, -inf}, {1, inf}, {-0.5, nan}, {1.5, nan}, {nan, nan}};
    for (const Case &c : cases) {
        int fault = 0;
        const double z = ppnd(c.p, &fault);
        EXPECT_EQ(fault, 1) << c.p;
        if (std::isnan(c.z))
            EXPECT_TRUE(std::isnan(z)) << c.p;
        else
            EXPECT_EQ(z, c.z) << c.p;
    }
    EXPECT_EQ(ppnd(0.5, nullptr), 0);  // the flag may be absent
}

TEST(SternaContinuous, NaNInGivesNaNOut)
{
    const std::function<double()> calls[] = {
        [] { return ds_p_value_normal(nan, 0); },
        [] { return ds_p_value_normal(nan, 1); },
        [] { return ds_p_value_t(nan, 5, 0); },
        [] { return ds_p_value_chi_square(nan, 3); },
        [] { return ds_p_value_f(nan, 2, 9); },
        [] { return ds_p_value_kolmogorov_smirnov(nan, 30); },
        [] { return ds_p_value_kolmogorov_smirnov_k_sample(nan, 2); },
        [] { return ds_p_value_kolmogorov_smirnov_k_sample(1.5, nan); },
        [] { return ds_p_value_shapiro_wilk(nan, 30); },
        [] { return ds_critical_value_z_score(nan); },
        [] { return ds_critical_value_t(nan, 4); },
        [] { return ds_critical_value_chi_square(nan, 4); },
        [] { return ds_critical_value_f(nan, 4, 7); },
        [] { return ds_critical_value_kolmogorov_smirnov(nan, 30); },
        [] { return ds_critical_value_kolmogorov_smirnov_k_sample(nan, 3); },
        [] { return ppnd(nan, nullptr); },
        [] { return double(ds_kolmogorov_pdf(nan)); },
        [] { return double(ds_kolmogorov_k_pdf(nan, 2)); },
        [] { return ds_beta(nan, 2); },
        [] { return ds_log_beta(2, nan); },
        [] { return ds_correlation_z_score(nan, 0, 30); },
        [] { return ds_standard_deviation(10, nan); },
        [] { return ds_shapiro_wilk_z_score(nan, 30); },
    };
    int index = 0;
    for (const auto &call : calls)
        EXPECT_TRUE(std::isnan(call())) << "call " << index++;
}

TEST(SternaContinuous, ArgumentsOutsideTheDomainGiveNaN)
{
    EXPECT_TRUE(std::isnan(ds_p_value_t(1, 0, 0)));
    EXPECT_TRUE(std::isnan(ds_p_value_chi_square(1, 0)));
    EXPECT_TRUE(std::isnan(ds_p_value_f(1, 3, -2)));
    EXPECT_TRUE(std::isnan(ds_critical_value_chi_square(1.5, 3)));
    EXPECT_TRUE(std::isnan(ds_critical_value_z_score(-0.1)));
    EXPECT_TRUE(std::isnan(ds_beta(0, 1)));
    EXPECT_TRUE(std::isnan(ds_correlation_z_score(1.2, 0, 30)));
    EXPECT_TRUE(std::isnan(ds_correlation_z_score(0.5, 0, 3)));
    EXPECT_TRUE(std::isnan(ds_standard_deviation(0, 2)));
}

TEST(SternaContinuous, CriticalValuesAreUpperTailAndInvertThePValues)
{
    struct Family {
        const char *name;
        std::function<double(double)> critical;
        std::function<double(double)> p;
    };
    const Family families[] = {
        {"z", ds_critical_value_z_score, [](double z) { return ds_p_value_normal(z, 0); }},
        {"t(7)", [](double a) { return ds_critical_value_t(a, 7); }, [](double t) { return ds_p_value_t(t, 7, 0); }},
        {"chi-square(4)", [](double a) { return ds_critical_value_chi_square(a, 4); },
         [](double x) { return ds_p_value_chi_square(x, 4); }},
        {"F(3, 20)", [](double a) { return ds_critical_value_f(a, 3, 20); },
         [](double x) { return ds_p_value_f(x, 3, 20); }},
        {"KS(25)", [](double a) { return ds_critical_value_kolmogorov_smirnov(a, 25); },
         [](double d) { return ds_p_value_kolmogorov_smirnov(d, 25); }},
        {"KS(3000)", [](double a) { return ds_critical_value_kolmogorov_smirnov(a, 3000); },
         [](double d) { return ds_p_value_kolmogorov_smirnov(d, 3000); }},
        {"Kiefer(3)", [](double a) { return ds_critical_value_kolmogorov_smirnov_k_sample(a, 3); },
         [](double x) { return ds_p_value_kolmogorov_smirnov_k_sample(x, 3); }},
    };
    for (const Family &family : families) {
        EXPECT_LT(family.critical(0.9), family.critical(0.1)) << family.name;
        for (double level : {0.5, 0.1, 0.05, 0.01, 1e-4}) {
            const double c = family.critical(level);
            EXPECT_NEAR(family.p(c), level, 1e-9 * level) << family.name << " at " << level;
            EXPECT_LT(family.p(c * (1 + 1e-9)), level) << family.name << " at " << level;
        }
    }
}

TEST(SternaContinuous, LevelsAtTheEndsOfTheRange)
{
    EXPECT_EQ(ds_critical_value_z_score(0), inf);
    EXPECT_EQ(ds_critical_value_z_score(1), 0);
    EXPECT_EQ(ds_critical_value_chi_square(0, 3), inf);
    EXPECT_EQ(ds_critical_value_f(1, 3, 8), 0);
    EXPECT_EQ(ds_critical_value_kolmogorov_smirnov(0, 20), 1);
    EXPECT_EQ(ds_critical_value_kolmogorov_smirnov_k_sample(0, 2), inf);
}

TEST(SternaContinuous, EdgeCasesTheCallersName)
{
    EXPECT_EQ(ds_p_value_chi_square(0, 1), 1);
    double bounds[2];
    ds_confidence_interval_z(10, 1, 0.95, bounds);
    EXPECT_NEAR(bounds[0], 10 - 1.959963984540054, 1e-12);
    EXPECT_NEAR(bounds[1], 10 + 1.959963984540054, 1e-12);
    // The t density's peak, as the pictures take it from the beta function.
    EXPECT_NEAR(1 / (std::sqrt(5.0) * ds_beta(0.5, 2.5)), 0.3796066898224944, 1e-15);
    // Fisher's z of r = 1 is infinite.
    EXPECT_EQ(ds_correlation_z_score(1, 0, 4), inf);
    EXPECT_NEAR(ds_correlation_z_score(0.5, 0, 28), 5 * std::atanh(0.5), 1e-15);
    EXPECT_NEAR(ds_correlation_z_score(0.5, 0.5, 28), 0, 1e-15);
}

TEST(SternaContinuous, HypothesisCodesPickTheTail)
{
    struct Case {
        int code;
        double p;
    } cases[] = {{0, 0.04999579029644087}, {7, 0.04999579029644087}, {1, 0.97500210485177952},
                 {-1, 0.024997895148220435}};
    for (const Case &c : cases) {
        EXPECT_TRUE(closeRelative(ds_p_value_normal(1.96, c.code), c.p, 1e-14)) << c.code;
        EXPECT_TRUE(closeRelative(ds_p_value_t(1.96, 100000000, c.code), c.p, 1e-6)) << c.code;
    }
}

}  // namespace
