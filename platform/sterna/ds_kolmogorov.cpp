// The one-sample Kolmogorov-Smirnov distribution of D_n, its limit, and the
// statistics against a normal or a uniform distribution.
//
// The tail P(D_n >= d) is taken, region by region, from the method that is
// exact or most accurate there (after Simard and L'Ecuyer, 2011):
// - the closed forms of Ruben and Gambino near the ends of [0, 1];
// - twice Smirnov's one-sided sum where the tail is small (exact for d >= 1/2;
//   elsewhere it leaves out the chance that both one-sided statistics reach
//   d, at most about 2e-11 of the tail where the region begins);
// - Marsaglia, Tsang and Wang's matrix power (exact) for the body at small n
//   and for small d at moderate n;
// - the Pelz-Good asymptotic series, to 1/n^(3/2), everywhere else.
#include "platform/sterna/sterna.h"
#include "platform/sterna/sterna_internal.h"

#include <boost/math/distributions/normal.hpp>
#include <boost/math/special_functions/gamma.hpp>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <numeric>
#include <vector>

using namespace sterna;

namespace {

using std::numbers::pi_v;
constexpr long double pi = pi_v<long double>;
constexpr long double pi2 = pi * pi;
constexpr long double sqrt_2pi = 2.506628274631000502415765284811045253L;
constexpr long double sqrt_half_pi = 1.253314137315500251207882642405522627L;

// Below this many observations the body of the distribution is exact.
constexpr int64_t exact_body_limit = 140;
// Up to this many, small values of d take the exact matrix power (its size
// grows with n d, which stays small there).
constexpr int64_t exact_small_d_limit = 100000;

// Sum of term(k) for k = first, first + 1, ... until three terms in a row no
// longer add to the sum (terms that fall off like exp(-c k^2); one term alone
// may vanish where its polynomial factor crosses 0).
template <class Term>
long double series(int first, Term term)
{
    long double sum = 0;
    int negligible = 0;
    for (int k = first; k < first + 1000 && negligible < 3; ++k) {
        const long double t = term(k);
        sum += t;
        negligible = std::fabs(t) <= 1e-22L * std::fabs(sum) ? negligible + 1 : 0;
    }
    return sum;
}

// ---- Marsaglia, Tsang and Wang (2003): P(D_n < d) exactly -----------------

struct ScaledMatrix {
    int m;
    std::vector<double> v;
    int exponent = 0;  // the matrix is v x 2^exponent
};

ScaledMatrix multiply(const ScaledMatrix &a, const ScaledMatrix &b)
{
    const int m = a.m;
    ScaledMatrix c{m, std::vector<double>(size_t(m) * m), a.exponent + b.exponent};
    for (int i = 0; i < m; ++i)
        for (int k = 0; k < m; ++k) {
            const double aik = a.v[i * m + k];
            if (aik == 0)
                continue;
            for (int j = 0; j < m; ++j)
                c.v[i * m + j] += aik * b.v[k * m + j];
        }
    // Keep the entries near 1 so that high powers neither overflow nor underflow.
    double largest = 0;
    for (double x : c.v)
        largest = std::max(largest, std::fabs(x));
    if (largest > 0) {
        int e;
        std::frexp(largest, &e);
        for (double &x : c.v)
            x = std::ldexp(x, -e);
        c.exponent += e;
    }
    return c;
}

ScaledMatrix power(const ScaledMatrix &h, int64_t n)
{
    if (n == 1)
        return h;
    const ScaledMatrix half = power(h, n / 2);
    const ScaledMatrix square = multiply(half, half);
    return n % 2 ? multiply(h, square) : square;
}

double mtw_cdf(int64_t n, double d)
{
    const double nd = double(n) * d;
    const int k = int(nd) + 1;
    const int m = 2 * k - 1;
    const double h = k - nd;
    ScaledMatrix hm{m, std::vector<double>(size_t(m) * m)};
    auto at = [&](int i, int j) -> double & { return hm.v[size_t(i) * m + j]; };
    for (int i = 0; i < m; ++i)
        for (int j = 0; j < m; ++j)
            at(i, j) = i - j + 1 >= 0 ? 1 : 0;
    for (int i = 0; i < m; ++i) {
        at(i, 0) -= std::pow(h, i + 1);
        at(m - 1, i) -= std::pow(h, m - i);
    }
    if (2 * h - 1 > 0)
        at(m - 1, 0) += std::pow(2 * h - 1, m);
    for (int i = 0; i < m; ++i)
        for (int j = 0; j <= i + 1 && j < m; ++j)
            for (int g = 2; g <= i - j + 1; ++g)
                at(i, j) /= g;
    const ScaledMatrix q = power(hm, n);
    // The answer is Q[k-1][k-1] x n! / n^n x 2^exponent; the factorial ratio
    // is taken one factor at a time, rescaling as it shrinks.
    long double s = q.v[size_t(k - 1) * m + (k - 1)];
    long exponent = q.exponent;
    for (int64_t i = 1; i <= n; ++i) {
        s = s * i / n;
        if (s < 1e-100L) {
            int e;
            s = std::frexp(s, &e);
            exponent += e;
        }
    }
    return double(std::ldexp(s, int(std::max<long>(exponent, -100000))));
}

// ---- Smirnov's one-sided tail P(D_n+ >= d) ---------------------------------

// lgamma(x + 1) - (x ln x - x + ln sqrt(2 pi x)), Stirling's correction of x!.
long double stirling_correction(long double x)
{
    if (x < 10)
        return boost::math::lgamma(x + 1, Policy()) - (x * std::log(x) - x + 0.5L * std::log(2 * pi * x));
    static const long double coefficients[] = {
        1.0L / 12, -1.0L / 360, 1.0L / 1260, -1.0L / 1680, 1.0L / 1188,
        -691.0L / 360360, 1.0L / 156, -3617.0L / 122400, 43867.0L / 244188,
    };
    const long double inverse_square = 1 / (x * x);
    long double sum = 0;
    for (int i = std::size(coefficients) - 1; i >= 0; --i)
        sum = sum * inverse_square + coefficients[i];
    return sum / x;
}

// Logarithm of term j of Birnbaum and Tingey's sum, C(n, j) d (d + j/n)^(j-1)
// (1 - d - j/n)^(n-j), for 0 <= j < n (1 - d). The powers reach n, so the
// factors are regrouped to keep every product near n d instead of n: with
// Stirling's form of C(n, j), the term is
//   sqrt(n / (2 pi j (n-j))) e^(c(n) - c(j) - c(n-j)) d / (d + j/n)
//   x (1 + n d / j)^j (1 - n d / (n - j))^(n-j).
long double smirnov_log_term(int64_t n, double d, int64_t j)
{
    const long double nd = (long double)n * d;
    if (j == 0)
        return n * std::log1p(-(long double)d);
    const long double jl = j, rest = n - j;
    return 0.5L * std::log(n / (2 * pi * jl * rest)) + stirling_correction(n) - stirling_correction(jl)
           - stirling_correction(rest) + std::log((long double)d) - std::log(d + jl / n)
           + jl * std::log1p(nd / jl) + rest * std::log1p(-nd / rest);
}

// Birnbaum and Tingey's sum over j < n (1 - d), every step-th term taken
// (times step); NaN when the terms at either end are not negligible.
long double smirnov_sum(int64_t n, double d, int64_t step)
{
    const long double nd = (long double)n * d;
    std::vector<long double> logs;
    for (int64_t j = 0; (long double)(n - j) - nd > 0; j += step)
        logs.push_back(smirnov_log_term(n, d, j));
    if (logs.empty())
        return 0;
    const long double top = *std::max_element(logs.begin(), logs.end());
    if (step > 1 && (logs.front() > top - 60 || logs.back() > top - 60))
        return std::numeric_limits<long double>::quiet_NaN();
    long double sum = 0;
    for (long double l : logs)
        sum += std::exp(l - top);
    return step * sum * std::exp(top);
}

// The terms of the sum form one smooth bell about sqrt(n) / (4 d) wide. Once
// the bell lies clear of both ends, a sampled sum h sum_k f(k h) equals
// sum_j f(j) but for aliasing terms of order exp(-2 pi^2 (width / h)^2),
// below rounding at 20 samples per width: about 80 sqrt(n) d samples in all,
// whatever n.
long double smirnov_upper(int64_t n, double d)
{
    const double width = std::sqrt(double(n)) / (4 * d);
    const auto step = std::max<int64_t>(1, int64_t(width / 20));
    if (step > 1) {
        const long double sampled = smirnov_sum(n, d, step);
        if (!std::isnan(sampled))
            return sampled;
    }
    return smirnov_sum(n, d, 1);
}

// ---- Pelz and Good (1976) ---------------------------------------------------

struct Probability {
    long double cdf, sf;
};

// P(D_n <= d) ~ K0(z) + K1(z)/sqrt(n) + K2(z)/n + K3(z)/n^(3/2), z = sqrt(n) d.
// K2 and K3 come in their theta-function form. K0 and K1 switch to their
// alternating forms for z >= 1, so that the tail 1 - P keeps its digits.
Probability pelz_good(int64_t n, double d)
{
    const long double rn = std::sqrt((long double)n);
    const long double z = rn * d;
    const long double z2 = z * z, z4 = z2 * z2, z6 = z4 * z2, z8 = z4 * z4;
    const long double pi4 = pi2 * pi2, pi6 = pi4 * pi2;
    auto half_theta = [&](int k) {  // exp(-pi^2 (k + 1/2)^2 / (2 z^2)) and (k + 1/2)^2
        const long double s2 = (k + 0.5L) * (k + 0.5L);
        return std::pair{std::exp(-pi2 * s2 / (2 * z2)), s2};
    };
    auto whole_theta = [&](int k) { return std::exp(-pi2 * k * k / (2 * z2)); };

    const long double k2 =
        sqrt_half_pi / (36 * z6 * z)
            * series(0, [&](int k) {
                  auto [e, s2] = half_theta(k);
                  return (6 * z6 + 2 * z4 + pi2 * (2 * z4 - 5 * z2) * s2 + pi4 * (1 - 2 * z2) * s2 * s2) * e;
              })
        - sqrt_half_pi / (18 * z2 * z) * series(1, [&](int k) { return pi2 * k * k * whole_theta(k); });
    const long double k3 =
        sqrt_half_pi / (3240 * z4 * z6)
            * series(0, [&](int k) {
                  auto [e, s2] = half_theta(k);
                  return (-30 * z6 - 90 * z8 + pi2 * (135 * z4 - 96 * z6) * s2
                          + pi4 * (212 * z4 - 60 * z2) * s2 * s2 + pi6 * (5 - 30 * z2) * s2 * s2 * s2)
                         * e;
              })
        + sqrt_half_pi / (108 * z6)
              * series(1, [&](int k) { return (3 * pi2 * k * k * z2 - pi4 * k * k * k * k) * whole_theta(k); });
    const long double small_terms = k2 / n + k3 / (n * rn);

    if (z < 1) {
        const long double k0 = kolmogorov_limit_cdf(z);
        const long double k1 =
            sqrt_half_pi / (3 * z4) * series(0, [&](int k) {
                auto [e, s2] = half_theta(k);
                return (pi2 * s2 - z2) * e;
            });
        const long double cdf = k0 + k1 / rn + small_terms;
        return {cdf, 1 - cdf};
    }
    // 1 - K0 and K1 as sums over exp(-2 k^2 z^2) (Poisson summation of the
    // theta forms): K1 = (4z/3) sum (-1)^(k-1) k^2 exp(-2 k^2 z^2).
    const long double k0_tail = kolmogorov_limit_sf(z);
    const long double k1 = 4 * z / 3 * series(1, [&](int k) {
                               return (k % 2 ? 1 : -1) * (long double)k * k * std::exp(-2 * k * k * z2);
                           });
    const long double sf = k0_tail - k1 / rn - small_terms;
    return {1 - sf, sf};
}

// ---- the tail of D_n ------------------------------------------------------

// n! (2t - 1)^n / n^n with t = n d, for 1/2 < t <= 1 (Ruben and Gambino).
long double lower_end_cdf(int64_t n, double d)
{
    const long double t = (long double)n * d;
    if (n <= exact_body_limit) {
        long double p = 1;
        for (int64_t i = 1; i <= n; ++i)
            p *= i * (2 * t - 1) / n;
        return p;
    }
    return std::exp(boost::math::lgamma((long double)n + 1, Policy()) + n * std::log((2 * t - 1) / n));
}

long double kolmogorov_sf(int64_t n, double d)
{
    if (d >= 1)
        return 0;
    const double t = double(n) * d;
    if (t <= 0.5)
        return 1;
    if (t <= 1)
        return 1 - lower_end_cdf(n, d);
    if (t >= double(n - 1))
        return 2 * std::pow(1 - (long double)d, (long double)n);
    const double w = t * d;  // n d^2
    if (n <= exact_body_limit) {
        if (d >= 0.5 || w >= 4)
            return std::min(1.0L, 2 * smirnov_upper(n, d));
        return 1 - (long double)mtw_cdf(n, d);
    }
    if (w >= 370)
        return 0;
    if (d >= 0.5 || w >= 2.2)
        return std::min(1.0L, 2 * smirnov_upper(n, d));
    if (n <= exact_small_d_limit && double(n) * std::pow(d, 1.5) <= 1.4)
        return 1 - (long double)mtw_cdf(n, d);
    return std::clamp(pelz_good(n, d).sf, 0.0L, 1.0L);
}

}  // namespace

// ---- the limiting distribution ---------------------------------------------

long double sterna::kolmogorov_limit_cdf(long double x)
{
    if (!(x > 0))
        return std::isnan(x) ? x : 0;
    if (x < 1) {
        const long double c = pi2 / (8 * x * x);
        return sqrt_2pi / x * series(1, [&](int k) { return std::exp(-(2 * k - 1) * (2 * k - 1) * c); });
    }
    return 1 - kolmogorov_limit_sf(x);
}

long double sterna::kolmogorov_limit_sf(long double x)
{
    if (std::isnan(x))
        return x;
    if (x < 1)
        return 1 - kolmogorov_limit_cdf(x);
    return 2 * series(1, [&](int k) { return (k % 2 ? 1 : -1) * std::exp(-2 * k * k * x * x); });
}

long double sterna::kolmogorov_limit_pdf(long double x)
{
    if (!(x > 0))
        return std::isnan(x) ? x : 0;
    if (x < 1) {
        const long double x2 = x * x;
        return sqrt_2pi * series(1, [&](int k) {
                   const long double a = (2 * k - 1) * (2 * k - 1) * pi2 / 8;
                   return std::exp(-a / x2) * (2 * a / (x2 * x2) - 1 / x2);
               });
    }
    return 8 * x * series(1, [&](int k) {
               return (k % 2 ? 1 : -1) * (long double)k * k * std::exp(-2 * k * k * x * x);
           });
}

long double ds_kolmogorov_pdf(long double x) noexcept
{
    return kolmogorov_limit_pdf(x);
}

double ds_p_value_kolmogorov_smirnov(double d, int64_t n) noexcept
{
    if (std::isnan(d) || n < 1)
        return not_a_number;
    return guarded([&] { return double(kolmogorov_sf(n, d)); });
}

double ds_critical_value_kolmogorov_smirnov(double level, int64_t n) noexcept
{
    if (std::isnan(level) || level < 0 || level > 1 || n < 1)
        return not_a_number;
    if (level == 0)
        return 1;
    // Below 1/(2n) the p-value is 1, above 1 it is 0.
    return guarded([&] {
        auto sf = [n](double d) { return double(kolmogorov_sf(n, d)); };
        // Bracket the root around Stephens' approximation from the limiting
        // distribution, d ~ z / (sqrt(n) + 0.12 + 0.11 / sqrt(n)), so that the
        // search needs few of the costlier exact tails.
        const double z = solve_decreasing([](double x) { return double(kolmogorov_limit_sf(x)); }, level, 0, 40);
        const double root = std::sqrt(double(n));
        const double guess = z / (root + 0.12 + 0.11 / root);
        double lo = std::max(0.5 / double(n), 0.9 * guess), hi = std::min(1.0, 1.1 * guess);
        if (!(sf(lo) >= level))
            lo = 0.5 / double(n);
        if (!(sf(hi) < level))
            hi = 1;
        return solve_decreasing(sf, level, lo, hi);
    });
}

// ---- the statistics ---------------------------------------------------------

namespace {

// sup |F_n - F| of the weighted empirical distribution of the entries against
// cdf. Ascending input is read in place; anything else through a sorted order.
template <class Cdf>
double kolmogorov_smirnov_statistic(const double *values, const int32_t *weights, int64_t n, Cdf cdf)
{
    if (!values || n < 1)
        return not_a_number;
    const AscendingOrder entry(values, n);
    auto weight = [&](int64_t i) { return frequency_weight(weights, i); };

    int64_t total = 0;
    for (int64_t i = 0; i < n; ++i)
        total += weight(i);
    if (total == 0)
        return not_a_number;
    int64_t below = 0;
    double d = 0;
    // Within a run of ties the first entry sees the distribution just below
    // the value and the last one the distribution at it, so the run needs no
    // special care.
    for (int64_t k = 0; k < n; ++k) {
        const int64_t i = entry[k];
        const int64_t w = weight(i);
        if (w == 0)
            continue;
        const double f = cdf(values[i]);
        if (std::isnan(f))
            return not_a_number;
        const double before = double(below) / double(total);
        below += w;
        const double after = double(below) / double(total);
        d = std::max({d, f - before, after - f});
    }
    return d;
}

}  // namespace

double ds_kolmogorov_smirnov_normal(const double *values, const int32_t *weights, int64_t n,
                                    double mean, double sd) noexcept
{
    if (!std::isfinite(mean) || !(sd > 0) || !std::isfinite(sd))
        return not_a_number;
    const boost::math::normal_distribution<double, Policy> normal(mean, sd);
    return guarded([&] {
        return kolmogorov_smirnov_statistic(values, weights, n, [&](double x) {
            if (std::isnan(x))
                return not_a_number;
            return std::isinf(x) ? (x > 0 ? 1.0 : 0.0) : boost::math::cdf(normal, x);
        });
    });
}

double ds_kolmogorov_smirnov_uniform(const double *values, const int32_t *weights, int64_t n,
                                     double min, double max) noexcept
{
    if (!std::isfinite(min) || !std::isfinite(max) || !(max > min))
        return not_a_number;
    return guarded([&] {
        return kolmogorov_smirnov_statistic(values, weights, n, [&](double x) {
            if (std::isnan(x))
                return not_a_number;
            return std::clamp((x - min) / (max - min), 0.0, 1.0);
        });
    });
}
