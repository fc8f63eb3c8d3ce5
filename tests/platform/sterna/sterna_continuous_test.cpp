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
#include <vector>

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
    if (f == "p_kiefer")
        return ds_p_value_kolmogorov_smirnov_k_sample(a, b);
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

// Far tails: critical values at levels down to 1e-300, p-values of
// statistics near the largest double and of 1e10 degrees of freedom, and
// Kiefer's k-sample tail down to 1e-194, against mpmath at 50 digits
// (fixtures/make_tails.py) and R where mpmath gives up (make_tails.R).
TEST(SternaContinuous, FarTailsAgreeWithFiftyDigitsToTenDigits)
{
    for (const char *fixture : {"tails.csv", "tails_r.csv"})
        for (const FixtureRow &row : readFixture(fixture))
            EXPECT_TRUE(closeRelative(valueOf(row), row.number("expected"), 1e-10))
                << fixture << " line " << row.line << ": " << row.text("function") << "(" << row.text("a") << ", "
                << row.text("b") << ", " << row.text("c") << ")";
}

// Whatever the arguments, a p-value lies in [0, 1] and a critical value is
// 0 or more (or NaN), and neither goes the wrong way as the statistic or
// the level moves into the tail.
TEST(SternaContinuous, NoValueOfTheWrongSignOrDirection)
{
    const double levels[] = {1, 0.5, 1e-3, 1e-20, 1e-100, 1e-200, 1e-300, 1e-320, 0};
    const int64_t dfs[] = {1, 2, 3, 5, 30, 50, 1000, 100000, 10000000000};
    auto ascendsToInfinity = [](const std::vector<double> &values) {
        for (size_t i = 0; i < values.size(); ++i)
            if (!(values[i] >= 0) || (i > 0 && !(values[i] >= values[i - 1])))
                return false;
        return values.back() == inf;
    };
    for (int64_t df : dfs) {
        std::vector<double> t, chi, f, fSmall, kiefer;
        for (double level : levels) {
            t.push_back(ds_critical_value_t(level, df));
            chi.push_back(ds_critical_value_chi_square(level, df));
            f.push_back(ds_critical_value_f(level, df, 5));
            fSmall.push_back(ds_critical_value_f(level, 3, df));
            if (df <= 50)
                kiefer.push_back(ds_critical_value_kolmogorov_smirnov_k_sample(level, double(df)));
        }
        for (const auto &values : {t, chi, f, fSmall})
            EXPECT_TRUE(ascendsToInfinity(values)) << "df " << df;
        if (!kiefer.empty()) {
            EXPECT_TRUE(ascendsToInfinity(kiefer)) << "Kiefer, df " << df;
        }
    }
    const double statistics[] = {0, 1e-3, 1, 2, 10, 100, 1e3, 1e5, 1e10, 1e20, 1e100, 1e154, 1e200, 1e300,
                                 std::numeric_limits<double>::max(), inf};
    auto descendsToZero = [](const std::vector<double> &values) {
        for (size_t i = 0; i < values.size(); ++i)
            if (!(values[i] >= 0 && values[i] <= 1) || (i > 0 && !(values[i] <= values[i - 1])))
                return false;
        return values.back() == 0;
    };
    for (int64_t df : dfs) {
        std::vector<double> t, chi, f, kiefer;
        for (double x : statistics) {
            t.push_back(ds_p_value_t(x, df, 0));
            chi.push_back(ds_p_value_chi_square(x, df));
            f.push_back(ds_p_value_f(x, df, df));
            if (df <= 50)
                kiefer.push_back(ds_p_value_kolmogorov_smirnov_k_sample(x, double(df)));
        }
        for (const auto &values : {t, chi, f})
            EXPECT_TRUE(descendsToZero(values)) << "df " << df;
        if (!kiefer.empty()) {
            EXPECT_TRUE(descendsToZero(kiefer)) << "Kiefer, df " << df;
        }
    }
    // Kiefer's distribution on a fine grid through the switch to the far
    // tail, and beyond the 50 degrees of freedom it is computed for: NaN.
    for (double df : {2.0, 7.0, 15.0, 30.0, 40.0, 50.0}) {
        std::vector<double> tail;
        for (double a = 0.5; a < 500; a *= 1.01)
            tail.push_back(ds_p_value_kolmogorov_smirnov_k_sample(a, df));
        tail.push_back(0);
        EXPECT_TRUE(descendsToZero(tail)) << "Kiefer, df " << df;
    }
    for (int64_t n : {int64_t(1), int64_t(2), int64_t(10), int64_t(140), int64_t(141), int64_t(1000), int64_t(100000),
                      int64_t(10000000), int64_t(1000000000000)}) {
        std::vector<double> tail;
        for (double d = 1e-6; d < 1; d *= 1.05)
            tail.push_back(ds_p_value_kolmogorov_smirnov(d, n));
        tail.push_back(ds_p_value_kolmogorov_smirnov(1, n));
        EXPECT_TRUE(descendsToZero(tail)) << "Kolmogorov-Smirnov, n " << n;
        for (double level : levels) {
            const double d = ds_critical_value_kolmogorov_smirnov(level, n);
            EXPECT_TRUE(d >= 0 && d <= 1) << "Kolmogorov-Smirnov, n " << n << ", level " << level;
        }
    }
    for (int64_t n : {int64_t(3), int64_t(4), int64_t(11), int64_t(12), int64_t(100), int64_t(5000)}) {
        std::vector<double> tail;
        for (double w = 1; w > 0.01; w -= 0.001)
            tail.push_back(ds_p_value_shapiro_wilk(w, n));
        tail.push_back(0);
        EXPECT_TRUE(descendsToZero(tail)) << "Shapiro-Wilk, n " << n;
    }
    // Beyond 50 degrees of freedom, the ends that bounds make certain.
    EXPECT_EQ(ds_p_value_kolmogorov_smirnov_k_sample(5e5, 1e6), 0);
    EXPECT_EQ(ds_p_value_kolmogorov_smirnov_k_sample(1e4, 1e6), 1);
    EXPECT_TRUE(std::isnan(ds_p_value_kolmogorov_smirnov_k_sample(2.6e5, 1e6)));
    EXPECT_EQ(ds_p_value_kolmogorov_smirnov_k_sample(1000, 60), 0);
    EXPECT_EQ(ds_p_value_kolmogorov_smirnov_k_sample(1, 60), 1);
    EXPECT_TRUE(std::isnan(ds_critical_value_kolmogorov_smirnov_k_sample(0.05, 51)));
    for (double level : {-0.5, 1.5, -inf, inf, nan}) {
        EXPECT_TRUE(std::isnan(ds_critical_value_z_score(level))) << level;
        EXPECT_TRUE(std::isnan(ds_critical_value_t(level, 4))) << level;
        EXPECT_TRUE(std::isnan(ds_critical_value_chi_square(level, 4))) << level;
        EXPECT_TRUE(std::isnan(ds_critical_value_f(level, 2, 3))) << level;
        EXPECT_TRUE(std::isnan(ds_critical_value_kolmogorov_smirnov(level, 10))) << level;
        EXPECT_TRUE(std::isnan(ds_critical_value_kolmogorov_smirnov_k_sample(level, 2))) << level;
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
