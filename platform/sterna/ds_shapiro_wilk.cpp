// The Shapiro-Wilk W test of normality by Royston's algorithm AS R94
// (Applied Statistics 44, 1995): approximate coefficients for W, and the
// normalising transformations of W for its p-value (exact for n = 3).
#include "platform/sterna/sterna.h"
#include "platform/sterna/sterna_internal.h"

#include <boost/math/distributions/normal.hpp>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

using namespace sterna;

namespace {

constexpr int64_t largest_sample = 5000;

template <size_t N>
double polynomial(const double (&c)[N], double x)
{
    double sum = c[N - 1];
    for (int i = int(N) - 2; i >= 0; --i)
        sum = sum * x + c[i];
    return sum;
}

// Royston's coefficients a_1 .. a_(n/2) of the upper half of the sorted
// sample (the lower half takes them negated, the middle of an odd sample 0);
// the full antisymmetric vector has unit length.
std::vector<double> coefficients(int64_t n)
{
    const int64_t half = n / 2;
    std::vector<double> a(static_cast<size_t>(half));
    if (n == 3) {
        a[0] = std::sqrt(0.5);
        return a;
    }
    static const double c1[] = {0.0, 0.221157, -0.147981, -2.071190, 4.434685, -2.706056};
    static const double c2[] = {0.0, 0.042981, -0.293762, -1.752461, 5.682633, -3.582633};
    // m_i: expected normal order statistics, Blom's approximation; negative
    // for the lower half.
    std::vector<double> m(static_cast<size_t>(half));
    double sum_m2 = 0;
    for (int64_t i = 0; i < half; ++i) {
        m[i] = ppnd((i + 1 - 0.375) / (n + 0.25), nullptr);
        sum_m2 += m[i] * m[i];
    }
    sum_m2 *= 2;
    const double root_sum = std::sqrt(sum_m2);
    const double u = 1 / std::sqrt(double(n));
    const double a1 = polynomial(c1, u) - m[0] / root_sum;
    double factor;
    int64_t first_plain;
    if (n > 5) {
        const double a2 = polynomial(c2, u) - m[1] / root_sum;
        factor = std::sqrt((sum_m2 - 2 * m[0] * m[0] - 2 * m[1] * m[1]) / (1 - 2 * a1 * a1 - 2 * a2 * a2));
        a[1] = a2;
        first_plain = 2;
    } else {
        factor = std::sqrt((sum_m2 - 2 * m[0] * m[0]) / (1 - 2 * a1 * a1));
        first_plain = 1;
    }
    a[0] = a1;
    for (int64_t i = first_plain; i < half; ++i)
        a[i] = -m[i] / factor;
    return a;
}

// W of an ascending sample of 3 to 5,000 values with a range above 0.
double shapiro_wilk_sorted(const std::vector<double> &x)
{
    const int64_t n = x.size();
    const std::vector<double> a = coefficients(n);
    auto coefficient = [&](int64_t i) {
        const int64_t j = n - 1 - i;
        return i < j ? -a[i] : i > j ? a[j] : 0.0;
    };
    // W is the squared correlation of the sample with the coefficients; 1 - W
    // is formed as a product of two differences so that W near 1 (large
    // samples) keeps its digits. Scaling by the range keeps sums of squares
    // of any data in range.
    const double range = x[n - 1] - x[0];
    double mean = 0;
    for (double v : x)
        mean += v / range;
    mean /= n;
    double ssa = 0, ssx = 0, sax = 0;
    for (int64_t i = 0; i < n; ++i) {
        const double ai = coefficient(i);
        const double xi = x[i] / range - mean;
        ssa += ai * ai;
        ssx += xi * xi;
        sax += ai * xi;
    }
    const double root = std::sqrt(ssa * ssx);
    const double one_minus_w = (root - sax) * (root + sax) / (ssa * ssx);
    return std::clamp(1 - one_minus_w, 0.0, 1.0);
}

double normal_upper_tail(double z)
{
    return boost::math::cdf(boost::math::complement(boost::math::normal_distribution<double, Policy>(), z));
}

// p-value for n = 3, where W has a closed-form distribution on [3/4, 1].
double exact_p_value_of_three(double w)
{
    constexpr double pi = std::numbers::pi;
    return std::clamp(6 / pi * (std::asin(std::sqrt(w)) - pi / 3), 0.0, 1.0);
}

bool valid(double w, int64_t n) { return n >= 3 && n <= largest_sample && w > 0 && w <= 1; }

// W of the sample the entries describe (see ds_shapiro_wilk).
double shapiro_wilk_of_entries(const double *values, const int32_t *weights, int64_t n)
{
    if (!values || n < 1)
        return not_a_number;
    int64_t total = 0;
    for (int64_t i = 0; i < n; ++i)
        total += frequency_weight(weights, i);
    if (total < 3 || total > largest_sample)
        return not_a_number;
    std::vector<double> x;
    x.reserve(size_t(total));
    for (int64_t i = 0; i < n; ++i) {
        if (std::isnan(values[i]))
            return not_a_number;
        x.insert(x.end(), size_t(frequency_weight(weights, i)), values[i]);
    }
    if (!std::is_sorted(x.begin(), x.end()))
        std::sort(x.begin(), x.end());
    if (!(x.back() - x.front() > 0) || !std::isfinite(x.back() - x.front()))
        return not_a_number;
    return shapiro_wilk_sorted(x);
}

}  // namespace

double ds_shapiro_wilk(const double *values, const int32_t *weights, int64_t n) noexcept
{
    return guarded([&] { return shapiro_wilk_of_entries(values, weights, n); });
}

double ds_shapiro_wilk_z_score(double w, int64_t n) noexcept
{
    if (std::isnan(w) || !valid(w, n))
        return not_a_number;
    if (n == 3)
        return -ppnd(exact_p_value_of_three(w), nullptr);
    // Royston's normalising transformations of log(1 - W): through a further
    // log for small samples, directly from 12 observations on.
    const double y = std::log1p(-w);
    const double size = double(n);
    double mean, sd, score;
    if (n <= 11) {
        static const double g[] = {-2.273, 0.459};
        static const double c3[] = {0.5440, -0.39978, 0.025054, -6.714e-4};
        static const double c4[] = {1.3822, -0.77857, 0.062767, -0.0020322};
        const double gamma = polynomial(g, size);
        // Beyond gamma lies no W a sample can have; its score is off the scale.
        if (y >= gamma)
            return infinite;
        score = -std::log(gamma - y);
        mean = polynomial(c3, size);
        sd = std::exp(polynomial(c4, size));
    } else {
        static const double c5[] = {-1.5861, -0.31082, -0.083751, 0.0038915};
        static const double c6[] = {-0.4803, -0.082676, 0.0030302};
        const double log_size = std::log(size);
        score = y;
        mean = polynomial(c5, log_size);
        sd = std::exp(polynomial(c6, log_size));
    }
    return (score - mean) / sd;
}

double ds_p_value_shapiro_wilk(double w, int64_t n) noexcept
{
    if (std::isnan(w) || !valid(w, n))
        return not_a_number;
    if (n == 3)
        return exact_p_value_of_three(w);
    return guarded([&] { return normal_upper_tail(ds_shapiro_wilk_z_score(w, n)); });
}
