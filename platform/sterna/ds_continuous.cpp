// The normal, t, chi-square and F families, the beta function, Fisher's z and
// the t and normal intervals, on Boost.Math.
#include "platform/sterna/sterna.h"
#include "platform/sterna/sterna_internal.h"

#include <boost/math/distributions/chi_squared.hpp>
#include <boost/math/distributions/fisher_f.hpp>
#include <boost/math/distributions/normal.hpp>
#include <boost/math/distributions/students_t.hpp>
#include <boost/math/special_functions/beta.hpp>
#include <boost/math/special_functions/erf.hpp>
#include <boost/math/special_functions/gamma.hpp>

#include <algorithm>
#include <cmath>
#include <limits>

using namespace sterna;
namespace bm = boost::math;

namespace {

// Above this many degrees of freedom Boost's incomplete gamma and beta
// functions lose up to 7 digits in double precision; long double inside
// keeps 10.
constexpr double large_df = 1e5;

// compute(Policy()), or compute(ExtendedPolicy()) where the first is so
// small that it may have underflowed on the way, or where the degrees of
// freedom are large.
template <class Compute>
double tail_probability(Compute compute, double df = 0)
{
    if (df > large_df)
        return guarded([&] { return compute(ExtendedPolicy()); });
    const double p = guarded([&] { return compute(Policy()); });
    if (!(p < 1e-280))
        return p;
    return guarded([&] { return compute(ExtendedPolicy()); });
}

// P(X <= x), P(X >= x) or P(|X| >= |x|) of a distribution symmetric about 0,
// by hypothesis code (see sterna.h); make(policy) builds the distribution.
template <class Make>
double symmetric_p_value(Make make, double x, int hypothesis)
{
    if (std::isnan(x))
        return not_a_number;
    return tail_probability([&](auto policy) {
        const auto distribution = make(policy);
        switch (hypothesis) {
        case 1:
            return bm::cdf(distribution, x);
        case -1:
            return bm::cdf(bm::complement(distribution, x));
        default:
            return std::min(1.0, 2 * bm::cdf(bm::complement(distribution, std::fabs(x))));
        }
    });
}

// P(X >= x) of a distribution on [0, infinity) with df degrees of freedom
// (the larger of two); make(policy) builds it.
template <class Make>
double upper_tail(Make make, double x, double df)
{
    if (std::isnan(x))
        return not_a_number;
    if (x <= 0)
        return 1;
    if (std::isinf(x))
        return 0;
    return tail_probability([&](auto policy) { return bm::cdf(bm::complement(make(policy), x)); }, df);
}

// P(T >= t) of Student's t with 1 df, the Cauchy distribution: Boost squares
// t, which overflows from 1.3e154 on, where the tail is still 2e-155.
double cauchy_upper_tail(double t)
{
    constexpr double pi = 3.141592653589793238462643383279502884;
    return t >= 0 ? std::atan2(1.0, t) / pi : 1 - std::atan2(1.0, -t) / pi;
}

// The x with upper tail `tail`, for tail in [0, 1]; +infinity at 0 and the
// bottom of the support at 1. Where Boost's inversion gives up, a bracketed
// search on the tail takes over.
template <class Distribution>
double upper_quantile(const Distribution &distribution, double tail, double bottom)
{
    if (!(tail >= 0 && tail <= 1))
        return not_a_number;
    if (tail == 0)
        return infinite;
    if (tail == 1)
        return bottom;
    const double x = guarded([&] { return bm::quantile(bm::complement(distribution, tail)); });
    if (!std::isnan(x))
        return x;
    return guarded([&] {
        return upper_quantile_by_search([&](double v) { return bm::cdf(bm::complement(distribution, v)); }, tail);
    });
}

bool valid_df(int64_t df) { return df >= 1; }

// Below this level Boost's beta inversion may stop short (a tenth of the
// answer at 1e-100); the far tail is inverted here instead.
constexpr double far_level = 1e-12;

// The y with I_y(a, b) = level for a level below far_level: Newton's method
// on ln I against ln y, from the leading term of the series, I_y ~ y^a /
// (a B(a, b)), in long double so that neither y nor I underflows. NaN when
// the search fails.
long double beta_far_lower_quantile(double a, double b, double level)
{
    const long double la = a, lb = b, log_level = std::log((long double)level);
    long double u = (log_level + std::log(la) + ds_log_beta(a, b)) / la;  // ln y
    for (int i = 0; i < 60; ++i) {
        const long double y = std::exp(u);
        if (!(y < 1))
            return std::numeric_limits<long double>::quiet_NaN();
        const long double tail = bm::ibeta(la, lb, y, ExtendedPolicy());
        // d ln I / d ln y = y I'(y) / I(y)
        const long double slope = y * bm::ibeta_derivative(la, lb, y, ExtendedPolicy()) / tail;
        const long double step = (std::log(tail) - log_level) / slope;
        if (!std::isfinite(step))
            return std::numeric_limits<long double>::quiet_NaN();
        u -= step;
        if (std::fabs(step) < 1e-15L)
            break;
    }
    return std::exp(u);
}

}  // namespace

double ds_p_value_normal(double z, int hypothesis) noexcept
{
    return symmetric_p_value([](auto policy) { return bm::normal_distribution<double, decltype(policy)>(); }, z,
                             hypothesis);
}

double ds_p_value_t(double t, int64_t df, int hypothesis) noexcept
{
    if (!valid_df(df))
        return not_a_number;
    if (df == 1 && !std::isnan(t)) {
        switch (hypothesis) {
        case 1:
            return cauchy_upper_tail(-t);
        case -1:
            return cauchy_upper_tail(t);
        default:
            return std::min(1.0, 2 * cauchy_upper_tail(std::fabs(t)));
        }
    }
    return symmetric_p_value(
        [df](auto policy) { return bm::students_t_distribution<double, decltype(policy)>(double(df)); }, t,
        hypothesis);
}

double ds_p_value_chi_square(double statistic, int64_t df) noexcept
{
    if (!valid_df(df))
        return not_a_number;
    return upper_tail(
        [df](auto policy) { return bm::chi_squared_distribution<double, decltype(policy)>(double(df)); }, statistic,
        double(df));
}

double ds_p_value_f(double f, int64_t df1, int64_t df2) noexcept
{
    if (!valid_df(df1) || !valid_df(df2))
        return not_a_number;
    return upper_tail(
        [df1, df2](auto policy) {
            return bm::fisher_f_distribution<double, decltype(policy)>(double(df1), double(df2));
        },
        f, double(std::max(df1, df2)));
}

double ds_critical_value_z_score(double level) noexcept
{
    // Two-sided: half the level in each tail. A level outside [0, 1] would
    // halve into a tail that has an answer, of the wrong sign.
    if (!(level >= 0 && level <= 1))
        return not_a_number;
    return upper_quantile(bm::normal_distribution<double, Policy>(), level / 2, 0);
}

double ds_critical_value_t(double level, int64_t df) noexcept
{
    // t^2 is F(1, df), whose upper tail is the two-sided tail of t; the F
    // inversion keeps its digits at levels where Boost's t quantile gives
    // up (an infinite t of either sign at 1e-300).
    // Far out, t is taken from the beta quantile directly: t^2 overflows
    // before t does (t is 6e299 at 1e-300 with 1 df).
    if (valid_df(df) && level > 0 && level < far_level)
        return guarded([&] {
            const long double y = beta_far_lower_quantile(df / 2.0, 0.5, level);
            return double(std::sqrt((long double)df * (1 - y) / y));
        });
    const double f = ds_critical_value_f(level, 1, df);
    return std::isnan(f) ? f : std::sqrt(f);
}

double ds_critical_value_chi_square(double level, int64_t df) noexcept
{
    if (!valid_df(df))
        return not_a_number;
    return upper_quantile(bm::chi_squared_distribution<double, Policy>(double(df)), level, 0);
}

double ds_critical_value_f(double level, int64_t df1, int64_t df2) noexcept
{
    if (!valid_df(df1) || !valid_df(df2))
        return not_a_number;
    if (!(level > 0 && level < 1))
        return level == 0 ? infinite : level == 1 ? 0 : not_a_number;
    // F = (df2 / df1) x / y for the beta(df1/2, df2/2) quantile x and y = 1 - x.
    // The smaller of x and y is inverted directly (y as the lower quantile of
    // beta(df2/2, df1/2)) and the other comes with it, so neither loses its
    // digits to 1 - x.
    const double f = guarded([&] {
        if (level < far_level) {
            const long double y = beta_far_lower_quantile(df2 / 2.0, df1 / 2.0, level);
            return double((long double)df2 * (1 - y) / ((long double)df1 * y));
        }
        double x = 0, y = 0;
        if (level < 0.5)
            y = bm::ibeta_inv(df2 / 2.0, df1 / 2.0, level, &x, Policy());
        else
            x = bm::ibetac_inv(df1 / 2.0, df2 / 2.0, level, &y, Policy());
        return double(df2) * x / (double(df1) * y);
    });
    if (!std::isnan(f))
        return f;
    const bm::fisher_f_distribution<double, Policy> distribution{double(df1), double(df2)};
    return guarded([&] {
        return upper_quantile_by_search([&](double v) { return bm::cdf(bm::complement(distribution, v)); }, level);
    });
}

double ds_beta(double a, double b) noexcept
{
    if (!(a > 0 && b > 0))
        return not_a_number;
    return guarded([&] { return bm::beta(a, b, Policy()); });
}

namespace {

// lgamma(x) - ((x - 1/2) ln x - x + ln sqrt(2 pi)), Stirling's series; x >= 10,
// where eight terms reach double precision.
double stirling_correction(double x)
{
    static const double coefficients[] = {
        1.0 / 12, -1.0 / 360, 1.0 / 1260, -1.0 / 1680, 1.0 / 1188,
        -691.0 / 360360, 1.0 / 156, -3617.0 / 122400,
    };
    const double inverse_square = 1 / (x * x);
    double sum = 0;
    for (int i = std::size(coefficients) - 1; i >= 0; --i)
        sum = sum * inverse_square + coefficients[i];
    return sum / x;
}

}  // namespace

double ds_log_beta(double a, double b) noexcept
{
    const double p = std::min(a, b), q = std::max(a, b);
    if (std::isnan(a) || std::isnan(b) || !(p > 0))
        return not_a_number;
    if (std::isinf(q))
        return -infinite;
    constexpr double ln_sqrt_2pi = 0.918938533204672741780329736406;
    // Where a + b is large, lgamma(a) + lgamma(b) - lgamma(a + b) loses the
    // digits of the small difference between large numbers; Stirling's form
    // keeps the difference explicit.
    if (p >= 10) {
        const double correction = stirling_correction(p) + stirling_correction(q) - stirling_correction(p + q);
        return -0.5 * std::log(q) + ln_sqrt_2pi + correction + (p - 0.5) * std::log(p / (p + q))
               + q * std::log1p(-p / (p + q));
    }
    if (q >= 10) {
        const double correction = stirling_correction(q) - stirling_correction(p + q);
        return guarded([&] { return bm::lgamma(p, Policy()); }) + correction + p - p * std::log(p + q)
               + (q - 0.5) * std::log1p(-p / (p + q));
    }
    return std::log(guarded([&] { return bm::beta(p, q, Policy()); }));
}

double ds_correlation_z_score(double r, double rho0, int64_t n) noexcept
{
    if (!(std::fabs(r) <= 1 && std::fabs(rho0) <= 1) || n <= 3)
        return not_a_number;
    return (std::atanh(r) - std::atanh(rho0)) * std::sqrt(double(n - 3));
}

double ds_standard_deviation(int64_t count, double variance) noexcept
{
    if (count <= 0 || !(variance >= 0))
        return not_a_number;
    return std::sqrt(variance / double(count));
}

namespace {

void symmetric_interval(double centre, double half_width_unit, double quantile, double out[2])
{
    const double half_width = quantile * half_width_unit;
    out[0] = centre - half_width;
    out[1] = centre + half_width;
}

}  // namespace

double ds_confidence_interval_t(double mean, double standard_error, double confidence,
                                double cached_quantile, int64_t df, double out[2]) noexcept
{
    const double q = std::isnan(cached_quantile) ? ds_critical_value_t(1 - confidence, df) : cached_quantile;
    symmetric_interval(mean, standard_error, q, out);
    return q;
}

double ds_confidence_interval_z(double estimate, double standard_error, double confidence,
                                double out[2]) noexcept
{
    const double z = ds_critical_value_z_score(1 - confidence);
    symmetric_interval(estimate, standard_error, z, out);
    return z;
}
