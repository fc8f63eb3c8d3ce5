// What the distribution functions share inside the library: Boost.Math set
// to answer NaN or infinite instead of throwing, so that no exception leaves
// a function of sterna.h; the root finder behind the critical values; and the
// limiting Kolmogorov distribution, which the one-sample and the k-sample
// tests both use.
#pragma once

#include <boost/math/policies/policy.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>
#include <vector>

namespace sterna {

template <bool extended>
using PolicyOf = boost::math::policies::policy<
    boost::math::policies::domain_error<boost::math::policies::ignore_error>,
    boost::math::policies::pole_error<boost::math::policies::ignore_error>,
    boost::math::policies::overflow_error<boost::math::policies::ignore_error>,
    boost::math::policies::underflow_error<boost::math::policies::ignore_error>,
    boost::math::policies::denorm_error<boost::math::policies::ignore_error>,
    boost::math::policies::evaluation_error<boost::math::policies::ignore_error>,
    boost::math::policies::rounding_error<boost::math::policies::ignore_error>,
    boost::math::policies::indeterminate_result_error<boost::math::policies::ignore_error>,
    boost::math::policies::promote_double<extended>>;

// Double precision throughout: several times faster than Boost's default of
// computing doubles in long double, and as accurate but in the far tails.
using Policy = PolicyOf<false>;
// Long double inside: for the far tails, where double-precision terms
// underflow before the answer does.
using ExtendedPolicy = PolicyOf<true>;

constexpr double not_a_number = std::numeric_limits<double>::quiet_NaN();
constexpr double infinite = std::numeric_limits<double>::infinity();

// The x with f(x) = level for a continuous f that falls from above level at lo
// to below it at hi: f at the answer is >= level, and f is below level from
// a few doubles above it on (where f is monotone). f is called about 10 to 20
// times.
template <class F>
double solve_decreasing(F f, double level, double lo, double hi);

// f() with any exception turned into NaN: Boost 1.74's root finders can
// throw whatever the policy says (newton_raphson_iterate raises its
// evaluation error directly), and work arrays can fail to allocate; no
// exception may leave a noexcept function of sterna.h.
template <class F>
auto guarded(F f) noexcept -> decltype(f())
{
    try {
        return f();
    } catch (...) {
        return std::numeric_limits<decltype(f())>::quiet_NaN();
    }
}

// The x >= 0 with upper_tail(x) = level for a continuous upper tail that
// falls from 1 at 0: the search that stands in when Boost's inversion fails.
template <class UpperTail>
double upper_quantile_by_search(UpperTail upper_tail, double level)
{
    double hi = 1;
    while (upper_tail(hi) >= level && hi < 1e300)
        hi *= 2;
    return solve_decreasing(upper_tail, level, 0, hi);
}

// The frequency weight of entry i: weights[i], none below 0, or 1 without
// weights.
inline int64_t frequency_weight(const int32_t *weights, int64_t i)
{
    return weights ? std::max<int32_t>(weights[i], 0) : 1;
}

// The n entries of values in ascending order, ties in their own order:
// order[k] is the index of the k-th. Ascending input is read in place.
class AscendingOrder {
public:
    AscendingOrder(const double *values, int64_t n)
    {
        if (std::is_sorted(values, values + n))
            return;
        order_.resize(size_t(n));
        std::iota(order_.begin(), order_.end(), 0);
        std::stable_sort(order_.begin(), order_.end(), [&](int64_t a, int64_t b) { return values[a] < values[b]; });
    }

    int64_t operator[](int64_t k) const { return order_.empty() ? k : order_[size_t(k)]; }

private:
    std::vector<int64_t> order_;
};

// The limiting Kolmogorov distribution K(x) = P(sup |B(t)| <= x) of a
// Brownian bridge B: its distribution function, its upper tail 1 - K(x)
// (accurate in the far tail) and its density. 0, 1 and 0 for x <= 0.
long double kolmogorov_limit_cdf(long double x);
long double kolmogorov_limit_sf(long double x);
long double kolmogorov_limit_pdf(long double x);

}  // namespace sterna

#include <boost/math/tools/toms748_solve.hpp>

template <class F>
double sterna::solve_decreasing(F f, double level, double lo, double hi)
{
    auto g = [&](double x) { return f(x) - level; };
    double glo = g(lo);
    double ghi = g(hi);
    if (!(glo >= 0))
        return lo;
    if (!(ghi < 0))
        return hi;
    boost::uintmax_t iterations = 200;
    // The search ends once lo and hi are a few doubles apart; closer, the
    // rounding noise of f stalls the interpolation.
    auto close = [](double a, double b) {
        return std::fabs(b - a) <= 4 * std::numeric_limits<double>::epsilon() * std::fabs(a);
    };
    auto bracket = boost::math::tools::toms748_solve(g, lo, hi, glo, ghi, close, iterations, Policy());
    // toms748 keeps g(first) and g(second) of opposite signs; the answer is the
    // end that is not significant.
    double a = bracket.first, b = bracket.second;
    return g(a) >= 0 ? a : b;
}
