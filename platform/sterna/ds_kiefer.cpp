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

bool valid_df(long double h) { return h >= 1 && std::isfinite(h); }

// P(T >= a) for h degrees of freedom; the series is that of h.
long double kiefer_sf(long double a, long double h, KieferSeries &series)
{
    if (!(a > 0))
        return 1;
    if (h == 1)
        return kolmogorov_limit_sf(std::sqrt(a));
    if (a >= far_tail(h))
        return 0;
    return std::clamp(1 - series.at(a).cdf, 0.0L, 1.0L);
}

}  // namespace

double ds_p_value_kolmogorov_smirnov_k_sample(double statistic, double df) noexcept
{
    if (std::isnan(statistic) || !valid_df(df))
        return not_a_number;
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
        auto sf = [&](double a) { return double(kiefer_sf(a, df, series)); };
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
