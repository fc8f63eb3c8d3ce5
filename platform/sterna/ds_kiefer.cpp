// Kiefer's k-sample Kolmogorov-Smirnov statistic and its limiting
// distribution (Kiefer, Ann. Math. Statist. 30, 1959).
//
// With h = k - 1 groups of freedom, T = sup_x sum_j n_j (F_j(x) - F(x))^2
// tends to sup_t |B_h(t)|^2 for an h-dimensional Brownian bridge B_h, whose
// distribution function is
//   A_h(a) = 4 / (Gamma(h/2) 2^(h/2) a^(h/2))
//            x sum_n g_n^(h-2) / J_(h/2)(g_n)^2 x exp(-g_n^2 / (2a)),
// g_n the positive zeros of the Bessel function J_(h/2 - 1). For h = 1 this
// is the Kolmogorov distribution at sqrt(a), taken from its own series.
#include "platform/sterna/sterna.h"
#include "platform/sterna/sterna_internal.h"

#include <boost/math/special_functions/bessel.hpp>
#include <boost/math/special_functions/gamma.hpp>

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>
#include <numeric>
#include <vector>

using namespace sterna;

namespace {

// Beyond this the tail is far below the smallest double for every h.
long double far_tail(long double h) { return 50 * (h + 10); }

struct Kiefer {
    long double cdf = 0, pdf = 0;
};

// The series of A_h for one h, evaluated at any a > 0. The Bessel zeros and
// the logarithms of their weights g^(h-2) / J_(h/2)(g)^2 do not depend on a,
// so they are found once, as far as the largest a asked for needs them.
class KieferSeries {
public:
    explicit KieferSeries(long double h)
        : h_(h),
          log_constant_(std::log(4.0L) - boost::math::lgamma(h / 2, Policy()) - h / 2 * std::log(2.0L))
    {
    }

    // A_h(a) and its derivative, for h > 1 and 0 < a < far_tail(h).
    Kiefer at(long double a)
    {
        const long double base = log_constant_ - h_ / 2 * std::log(a);
        Kiefer result;
        int negligible = 0;
        for (size_t n = 0; n < 100000 && negligible < 3; ++n) {
            if (n == zeros_.size())
                addZero();
            const long double g = zeros_[n];
            const long double term = std::exp(base + log_weights_[n] - g * g / (2 * a));
            result.cdf += term;
            result.pdf += term * (g * g / (2 * a * a) - h_ / (2 * a));
            negligible = term <= 1e-22L * result.cdf ? negligible + 1 : 0;
        }
        return result;
    }

private:
    void addZero()
    {
        const int index = int(zeros_.size()) + 1;
        const long double g = boost::math::cyl_bessel_j_zero(h_ / 2 - 1, index, Policy());
        const long double j = boost::math::cyl_bessel_j(h_ / 2, g, Policy());
        zeros_.push_back(g);
        log_weights_.push_back((h_ - 2) * std::log(g) - 2 * std::log(std::fabs(j)));
    }

    const long double h_;
    const long double log_constant_;
    std::vector<long double> zeros_, log_weights_;
};

// Up to this many degrees of freedom the Bessel series, and beyond its
// reach the saddle-point path, give the tail to 10 digits. Further on,
// Hankel's series is not yet asymptotic where the tail needs it (|z| must
// stand well above h^2 / 8) and the Bessel series' 1 - A is noise there:
// the distribution functions answer NaN rather than a wrong number.
constexpr long double largest_df = 50;

bool valid_df(long double h) { return h >= 1 && h <= largest_df; }

// K_nu(z) / I_nu(z) x e^(2z) / pi for large |z| (Re z > 0): the ratio of
// Hankel's asymptotic series of the two, sum a_k / z^k over sum (-1)^k
// a_k / z^k, each summed to its smallest term; the terms of I's second
// exponential are e^(-2z) smaller and left out. NaN where the smallest
// term is not below 1e-18 of the sum, or the largest so big that summing
// costs more than 6 digits: there the series cannot give 12.
std::complex<long double> hankel_ratio(long double nu, std::complex<long double> z)
{
    const long double mu = 4 * nu * nu;
    std::complex<long double> term = 1, even = 1, odd = 0;
    long double previous = 1, largest = 1;
    bool converged = false;
    for (int k = 1; k < 4000 && !converged; ++k) {
        const long double factor = mu - (2.0L * k - 1) * (2.0L * k - 1);
        if (factor == 0) {  // half-integer nu: the series ends
            previous = 0;
            break;
        }
        // The terms may grow at first (while (2k - 1)^2 < mu) and dip where
        // (2k - 1)^2 passes mu; once they grow by more than |z| can make up
        // after that, the series has passed its smallest term.
        if (factor < 0 && -factor > 8.0L * k * std::abs(z))
            break;
        term *= factor / (8.0L * k * z);
        const long double size = std::abs(term);
        (k % 2 ? odd : even) += term;
        previous = size;
        largest = std::max(largest, size);
        converged = size < 1e-21L * std::abs(even + odd);
    }
    const long double smallest = std::min(std::abs(even + odd), std::abs(even - odd));
    if (previous > 1e-18L * smallest || largest > 1e6L * smallest)
        return {std::numeric_limits<long double>::quiet_NaN(), 0};
    return (even + odd) / (even - odd);
}

// The integral below along the line z = z0 + i y, trapezoidal steps of
// sqrt(a) / 8 (the integrand falls off like e^(-y^2 / 2a) at least), as a
// multiple of its value at y = 0 without the ratio; NaN where Hankel's
// series fails on the line or where the sum cancels more than 4 digits.
long double path_integral(long double a, long double h, long double z0)
{
    const long double nu = h / 2 - 1;
    const long double step = std::sqrt(a) / 8;
    long double sum = 0, largest = 0;
    for (int n = 0; n < 4000; ++n) {
        const long double y = n * step;
        const std::complex<long double> iy(0, y);
        const std::complex<long double> exponent =
            (2.0L * z0 * iy - y * y) / (2 * a) - 2.0L * iy + (h - 1) * std::log(1.0L + iy / z0);
        if (exponent.real() < -52)
            break;
        const std::complex<long double> ratio = hankel_ratio(nu, z0 + iy);
        if (std::isnan(ratio.real()))
            return std::numeric_limits<long double>::quiet_NaN();
        const long double value = (std::exp(exponent) * ratio).real();
        sum += n == 0 ? value : 2 * value;
        largest = std::max(largest, std::fabs(value));
    }
    if (!(largest < 1e4L * std::fabs(sum)))
        return std::numeric_limits<long double>::quiet_NaN();
    return sum * step;
}

// 1 - A_h(a) far in the tail, where 1 - A loses its digits to the sum. The
// tail is the chance that a Brownian bridge leaves the ball of radius
// sqrt(a); in Laplace terms it is (2 pi s)^(h/2) times the inverse
// transform at s = 1/a of 2 z^(2 nu) K_nu(z) / ((2 pi)^(h/2) 2^nu
// Gamma(nu + 1) I_nu(z)), z = sqrt(2 lambda), nu = h/2 - 1, that is
//   1 - A_h(a) = a^(-h/2) / (2^(h/2-1) Gamma(h/2)) / (2 pi i)
//                x integral of e^(z^2 / 2a - 2z) z^(h-1) pi R(z) dz
// over a line z = z0 + i y, R = hankel_ratio. Through the saddle point z0
// of e^(z^2 / 2a - 2z) z^(h-1) the integrand falls off like a Gaussian in y
// without turning, so the trapezoidal rule converges fast and nothing
// cancels. Where Hankel's series needs a larger |z| (h large against a),
// the line moves right, which costs a little cancellation. NaN where no
// line gives the tail.
long double kiefer_far_tail(long double a, long double h)
{
    const long double square = a * a - (h - 1) * a;
    long double z0 = a + std::sqrt(std::max(square, 0.0L));
    for (int attempt = 0; attempt < 8; ++attempt, z0 *= 1.25L) {
        const long double log_scale = z0 * z0 / (2 * a) - 2 * z0 + (h - 1) * std::log(z0) - h / 2 * std::log(a)
                                      - (h / 2 - 1) * std::log(2.0L) - boost::math::lgamma(h / 2, Policy())
                                      - std::log(std::numbers::pi_v<long double>);
        if (log_scale < -800)  // far below the smallest double
            return 0;
        const long double integral = path_integral(a, h, z0);
        if (!std::isnan(integral))
            return std::exp(log_scale) * std::numbers::pi_v<long double> * integral;
    }
    return std::numeric_limits<long double>::quiet_NaN();
}

// Below this the difference 1 - A_h may keep fewer than 11 digits (its
// terms reach 1e-17 for 40 degrees of freedom), and the tail is taken along
// the saddle-point path instead where that path holds.
constexpr long double far_tail_start = 1e-6L;

// P(T >= a) for h degrees of freedom; the series is that of h. A search
// for the level `bound` only needs to know that a tail is well below it:
// such a tail is left as the Bessel series gives it.
long double kiefer_sf(long double a, long double h, KieferSeries &series, long double bound = 0)
{
    if (!(a > 0))
        return 1;
    if (h == 1)
        return kolmogorov_limit_sf(std::sqrt(a));
    const long double body = a >= far_tail(h) ? 0 : std::clamp(1 - series.at(a).cdf, 0.0L, 1.0L);
    if (body >= far_tail_start || body + 1e-15L < bound / 2)
        return body;
    const long double far = kiefer_far_tail(a, h);
    return far >= 0 && far <= far_tail_start ? far : body;
}

}  // namespace

namespace {

// ln of an upper bound of 1 - A_h(a) that holds for every h. With B(t) =
// (1 - t) W(t / (1 - t)), the bridge leaves the ball when the Brownian
// motion W meets ||W(u)||^2 >= a (1 + u)^2; for every lambda > 0,
// (1 + 2 lambda u)^(-h/2) exp(lambda ||W(u)||^2 / (1 + 2 lambda u)) is a
// martingale from 1, so by Ville's inequality the chance is at most
// exp(max over u of f(u)), f(u) = h/2 ln(1 + 2 lambda u) - lambda a (1 +
// u)^2 / (1 + 2 lambda u), concave in u. The best of a few lambdas is taken.
long double kiefer_log_upper_bound(long double a, long double h)
{
    long double best = 0;
    for (long double lambda = 1.0L / 16; lambda <= 1024; lambda *= 2) {
        auto f = [&](long double u) {
            return h / 2 * std::log1p(2 * lambda * u) - lambda * a * (1 + u) * (1 + u) / (1 + 2 * lambda * u);
        };
        long double lo = 0, hi = 1;
        while (f(2 * hi) > f(hi) && hi < 1e30L)
            hi *= 2;
        hi *= 2;
        for (int i = 0; i < 200; ++i) {  // ternary search on the concave f
            const long double m1 = lo + (hi - lo) / 3, m2 = hi - (hi - lo) / 3;
            (f(m1) < f(m2) ? lo : hi) = f(m1) < f(m2) ? m1 : m2;
        }
        best = std::min(best, f((lo + hi) / 2));
    }
    return best;
}

// The Bessel series beyond largest_df: up to this many degrees of freedom,
// for tails of at least series_floor.
constexpr long double largest_series_df = 400;
constexpr long double series_floor = 1e-8L;

// Beyond largest_df: the Bessel series where its tail keeps its digits;
// elsewhere only what bounds make certain: 0 where the tail is below the
// smallest double, 1 where even the chance that the bridge is outside the
// ball at t = 1/2, P(chi-square(h) >= 4a), rounds to 1; NaN between.
double kiefer_sf_beyond_series(long double a, long double h)
{
    if (!(a > 0))
        return 1;
    // In the body the Bessel series still holds: its terms are positive, so
    // 1 - A carries an absolute error of some 1e-18 (the exponents' rounding
    // grows with h), and a tail of 1e-8 or more keeps 9 digits. Its zeros
    // cost more as the order grows; past a few hundred degrees of freedom
    // only the bounds answer.
    if (h <= largest_series_df && a < far_tail(h)) {
        KieferSeries series(h);
        const long double body = 1 - series.at(a).cdf;
        if (body >= series_floor)
            return double(std::min(body, 1.0L));
    }
    if (kiefer_log_upper_bound(a, h) < -746)
        return 0;
    if (boost::math::gamma_q(double(h / 2), double(2 * a), Policy()) == 1)
        return 1;
    return not_a_number;
}

}  // namespace

double ds_p_value_kolmogorov_smirnov_k_sample(double statistic, double df) noexcept
{
    if (std::isnan(statistic) || !(df >= 1))
        return not_a_number;
    if (!valid_df(df))
        return guarded([&] { return kiefer_sf_beyond_series(statistic, df); });
    return guarded([&] {
        KieferSeries series(df);
        return double(kiefer_sf(statistic, df, series));
    });
}

double ds_critical_value_kolmogorov_smirnov_k_sample(double level, double df) noexcept
{
    if (!(level >= 0 && level <= 1) || !valid_df(df))
        return not_a_number;
    if (level == 0)
        return infinite;
    return guarded([&] {
        KieferSeries series(df);
        auto sf = [&](double a) { return double(kiefer_sf(a, df, series, level)); };
        double hi = df + 10;
        while (sf(hi) >= level && hi < far_tail(df))
            hi *= 2;
        return solve_decreasing(sf, level, 0, hi);
    });
}

long double ds_kolmogorov_k_pdf(long double x, long double df) noexcept
{
    if (std::isnan(x) || !valid_df(df))
        return std::numeric_limits<long double>::quiet_NaN();
    if (!(x > 0))
        return 0;
    if (df == 1) {
        // T = K^2: the density of K at sqrt(x) over d(K^2)/dK.
        const long double k = std::sqrt(x);
        return kolmogorov_limit_pdf(k) / (2 * k);
    }
    if (x >= far_tail(df))
        return 0;
    return guarded([&] { return std::max(0.0L, KieferSeries(df).at(x).pdf); });
}

namespace {

double k_sample_statistic(const double *values, const int32_t *groups, const int32_t *weights, int64_t n,
                          int64_t group_count)
{
    if (!values || !groups || n < 1 || group_count < 2)
        return not_a_number;
    auto weight = [&](int64_t i) { return frequency_weight(weights, i); };

    std::vector<int64_t> group_total(size_t(group_count), 0);
    for (int64_t i = 0; i < n; ++i) {
        if (groups[i] < 0 || groups[i] >= group_count || std::isnan(values[i]))
            return not_a_number;
        group_total[size_t(groups[i])] += weight(i);
    }
    std::vector<int64_t> present;
    for (int64_t j = 0; j < group_count; ++j)
        if (group_total[size_t(j)] > 0)
            present.push_back(j);
    if (present.size() < 2)
        return not_a_number;
    const int64_t total = std::accumulate(group_total.begin(), group_total.end(), int64_t(0));

    // Entries may come in any order (runs of ties close group by group).
    const AscendingOrder entry(values, n);

    std::vector<int64_t> below(size_t(group_count), 0);
    int64_t below_total = 0;
    long double t = 0;
    for (int64_t k = 0; k < n; ++k) {
        const int64_t i = entry[k];
        below[size_t(groups[i])] += weight(i);
        below_total += weight(i);
        // The empirical distributions are compared once all ties of a value are in.
        if (k + 1 < n && values[entry[k + 1]] == values[i])
            continue;
        long double sum = 0;
        for (int64_t j : present) {
            // n_j (F_j - F)^2 = (c_j N - n_j C)^2 / (N^2 n_j), the difference exact in integers.
            const __int128 difference =
                (__int128)below[size_t(j)] * total - (__int128)group_total[size_t(j)] * below_total;
            const long double scaled = (long double)difference / total;
            sum += scaled * scaled / group_total[size_t(j)];
        }
        t = std::max(t, sum);
    }
    return double(t);
}

}  // namespace

double ds_kolmogorov_smirnov_k_sample(const double *values, const int32_t *groups, const int32_t *weights,
                                      int64_t n, int64_t group_count) noexcept
{
    return guarded([&] { return k_sample_statistic(values, groups, weights, n, group_count); });
}
