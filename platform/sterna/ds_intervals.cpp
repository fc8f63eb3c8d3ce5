// Confidence intervals of a proportion (Wilson's score interval) and of a
// Poisson count (the exact, Garwood, interval).
#include "platform/sterna/sterna.h"
#include "platform/sterna/sterna_internal.h"

#include <boost/math/special_functions/gamma.hpp>

#include <algorithm>
#include <cmath>

using namespace sterna;

namespace {

void write(double out[2], double lower, double upper)
{
    out[0] = lower;
    out[1] = upper;
}

// The x with P(G <= x) = p, and the x with P(G >= x) = q, for G gamma
// distributed with the shape and scale 1.
double gamma_quantile_below(double shape, double p)
{
    const double x = guarded([&] { return boost::math::gamma_p_inv(shape, p, Policy()); });
    if (!std::isnan(x))
        return x;
    return guarded([&] {
        return upper_quantile_by_search([&](double v) { return 1 - boost::math::gamma_p(shape, v, Policy()); }, 1 - p);
    });
}

double gamma_quantile_above(double shape, double q)
{
    const double x = guarded([&] { return boost::math::gamma_q_inv(shape, q, Policy()); });
    if (!std::isnan(x))
        return x;
    return guarded([&] {
        return upper_quantile_by_search([&](double v) { return boost::math::gamma_q(shape, v, Policy()); }, q);
    });
}

}  // namespace

void ds_multinomial_confidence_interval(int64_t count, int64_t total, double level, double out[2]) noexcept
{
    if (!(level >= 0 && level <= 1) || total <= 0 || count < 0 || count > total)
        return write(out, not_a_number, not_a_number);
    if (level == 0)
        return write(out, 0, 1);
    // The score interval is the set of proportions the score test at this
    // level does not reject, so unlike the Wald interval it stays inside
    // [0, 1] and is not empty at a count of 0 or of total.
    const double n = double(total);
    const double p = double(count) / n;
    const double z = ds_critical_value_z_score(level);
    const double z22n = z * z / (2 * n);
    const double spread = z * std::sqrt(p * (1 - p) / n + z22n / (2 * n));
    const double lower = count == 0 ? 0 : (p + z22n - spread) / (1 + 2 * z22n);
    const double upper = count == total ? 1 : (p + z22n + spread) / (1 + 2 * z22n);
    write(out, std::max(lower, 0.0), std::min(upper, 1.0));
}

void ds_poisson_confidence_interval(double count, double confidence, double out[2]) noexcept
{
    if (!(count >= 0) || std::isinf(count) || !(confidence >= 0 && confidence <= 1))
        return write(out, not_a_number, not_a_number);
    const double tail = (1 - confidence) / 2;
    // The lower bound has `tail` below it in the gamma(count) distribution,
    // the upper bound `tail` above it in the gamma(count + 1) distribution.
    const double lower = count == 0 || tail == 0 ? 0 : gamma_quantile_below(count, tail);
    const double upper = tail == 0 ? infinite : gamma_quantile_above(count + 1, tail);
    write(out, lower, upper);
}
