#include "model/util/ds_moments.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const double moments_nan = std::numeric_limits<double>::quiet_NaN();
const double inf = std::numeric_limits<double>::infinity();

// Values per block of the add_values functions: the block and its weights
// stay in the first-level cache between the two passes.
constexpr int64_t block_length = 512;

inline double weight_at(const double *weights, int64_t i)
{
    return weights ? weights[i] : 1.0;
}

// A mean to twice the precision of a double is a pair high + low.

// Adds step to the mean (high, low): Knuth's two-sum keeps the rounding
// error of high + step in low. Both must be finite.
inline void move_mean(double &high, double &low, double step)
{
    const double sum = high + step;
    const double back = sum - high;
    const double error = (high - (sum - back)) + (step - back);
    const double total_low = low + error;
    high = sum + total_low;
    low = total_low - (high - sum);
}

// The mean of a block: its rough mean plus the mean deviation from it.
inline void set_mean(double &high, double &low, double rough, double correction)
{
    high = rough;
    low = 0;
    if (std::isfinite(rough))
        move_mean(high, low, correction);
}

// Moves the mean (high, low) of weight weight_a to the mean of both it and
// the mean (other_high, other_low) of weight weight_b, and returns the
// difference of the two means, as precisely as they are known. A mean that
// is not finite (an infinite value was added) gives the plain weighted mean,
// NaN for infinities of both signs, and a NaN difference.
inline double merge_mean(double &high, double &low, double weight_a, double other_high,
                         double other_low, double weight_b)
{
    const double weight = weight_a + weight_b;
    if (!std::isfinite(high) || !std::isfinite(other_high)) {
        high = high == other_high ? high : (weight_a * high + weight_b * other_high) / weight;
        low = 0;
        return moments_nan;
    }
    const double delta = ((other_high - high) - low) + other_low;
    if (!std::isfinite(delta)) {
        // Means more than the largest double apart (near -1e308 and 1e308):
        // their weighted mean is finite, and so wide a spread has an
        // infinite variance.
        high = high * (weight_a / weight) + other_high * (weight_b / weight);
        low = 0;
        return delta;
    }
    move_mean(high, low, delta * (weight_b / weight));
    return delta;
}

// The moments of the values[first .. end) of weight above 0, each times
// scale: the block's rough mean first, then the deviations from it, small
// and exact enough to correct it. Weight 0 when no value has weight.
ds_moments_s block_moments(const double *values, const double *weights, int64_t first, int64_t end, double scale)
{
    double total = 0, sum = 0, lo = inf, hi = -inf;
    for (int64_t i = first; i < end; ++i) {
        const double w = weight_at(weights, i);
        const double x = w > 0 ? values[i] * scale : 0.0;
        total += w;
        sum += w * x;
        lo = std::min(lo, w > 0 ? x : inf);
        hi = std::max(hi, w > 0 ? x : -inf);
    }
    ds_moments_s block = {total, 0.0, 0.0, 0.0, lo, hi};
    if (!(total > 0))
        return block;
    const double shift = sum / total;
    double deviations = 0, squares = 0;
    for (int64_t i = first; i < end; ++i) {
        const double w = weight_at(weights, i);
        const double d = w > 0 ? values[i] * scale - shift : 0.0;
        deviations += w * d;
        squares += w * d * d;
    }
    set_mean(block.mean, block.mean_low, shift, deviations / total);
    // Squares beyond the largest double leave M2 infinite, not NaN or 0.
    if (!std::isfinite(shift))
        block.m2 = moments_nan;
    else
        block.m2 = std::isinf(squares) ? squares : std::max(0.0, squares - deviations * deviations / total);
    return block;
}

// Finite values whose sums overflow (near 1e308) are summed in units of
// 2^600, which is exact but for values below 2^-422, nothing beside them.
// M2 may then exceed the largest double: it becomes infinite.
ds_moments_s block_moments_scaled(const double *values, const double *weights, int64_t first, int64_t end)
{
    ds_moments_s block = block_moments(values, weights, first, end, 0x1p-600);
    block.mean = std::ldexp(block.mean, 600);
    block.mean_low = std::ldexp(block.mean_low, 600);
    block.m2 = std::ldexp(block.m2, 1200);
    block.min = std::ldexp(block.min, 600);
    block.max = std::ldexp(block.max, 600);
    return block;
}

}  // namespace

void ds_moments_init(ds_moments_s *state)
{
    *state = {0.0, 0.0, 0.0, 0.0, moments_nan, moments_nan};
}

void ds_moments_add(ds_moments_s *state, double x, double w)
{
    if (!(w > 0))
        return;
    const ds_moments_s one = {w, x, 0.0, 0.0, x, x};
    ds_moments_merge(state, &one);
}

void ds_moments_add_values(ds_moments_s *state, const double *values, const double *weights,
                           int64_t count)
{
    for (int64_t first = 0; first < count; first += block_length) {
        const int64_t end = std::min(count, first + block_length);
        ds_moments_s block = block_moments(values, weights, first, end, 1.0);
        if (!(block.weight > 0))
            continue;
        const bool overflowed = !std::isfinite(block.mean) || std::isnan(block.m2);
        if (overflowed && std::isfinite(block.min) && std::isfinite(block.max))
            block = block_moments_scaled(values, weights, first, end);
        ds_moments_merge(state, &block);
    }
}

void ds_moments_merge(ds_moments_s *into, const ds_moments_s *from)
{
    if (!(from->weight > 0))
        return;
    if (!(into->weight > 0)) {
        *into = *from;
        return;
    }
    const double weight = into->weight + from->weight;
    const double delta = merge_mean(into->mean, into->mean_low, into->weight, from->mean,
                                    from->mean_low, from->weight);
    into->m2 = into->m2 + from->m2 + delta * delta * (into->weight * from->weight / weight);
    into->weight = weight;
    if (from->min < into->min)
        into->min = from->min;
    if (from->max > into->max)
        into->max = from->max;
}

double ds_moments_variance_biased(const ds_moments_s *state)
{
    return state->weight > 0 ? state->m2 / state->weight : moments_nan;
}

double ds_moments_variance_unbiased(const ds_moments_s *state)
{
    return state->weight >= 2 ? state->m2 / (state->weight - 1) : moments_nan;
}

void ds_comoments_init(ds_comoments_s *state)
{
    *state = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
}

void ds_comoments_add(ds_comoments_s *state, double x, double y, double w)
{
    if (!(w > 0))
        return;
    const ds_comoments_s one = {w, x, 0.0, y, 0.0, 0.0, 0.0, 0.0};
    ds_comoments_merge(state, &one);
}

void ds_comoments_add_values(ds_comoments_s *state, const double *x, const double *y,
                             const double *weights, int64_t count)
{
    for (int64_t first = 0; first < count; first += block_length) {
        const int64_t end = std::min(count, first + block_length);
        double total = 0, sum_x = 0, sum_y = 0;
        for (int64_t i = first; i < end; ++i) {
            const double w = weight_at(weights, i);
            total += w;
            sum_x += w * (w > 0 ? x[i] : 0.0);
            sum_y += w * (w > 0 ? y[i] : 0.0);
        }
        if (!(total > 0))
            continue;
        const double shift_x = sum_x / total, shift_y = sum_y / total;
        double dx = 0, dy = 0, xx = 0, yy = 0, xy = 0;
        for (int64_t i = first; i < end; ++i) {
            const double w = weight_at(weights, i);
            const double a = w > 0 ? x[i] - shift_x : 0.0;
            const double b = w > 0 ? y[i] - shift_y : 0.0;
            dx += w * a;
            dy += w * b;
            xx += w * a * a;
            yy += w * b * b;
            xy += w * a * b;
        }
        const bool finite = std::isfinite(shift_x) && std::isfinite(shift_y);
        ds_comoments_s block = {total, 0.0, 0.0, 0.0, 0.0, moments_nan, moments_nan, moments_nan};
        set_mean(block.mean_x, block.mean_x_low, shift_x, dx / total);
        set_mean(block.mean_y, block.mean_y_low, shift_y, dy / total);
        if (finite) {
            block.m2_x = std::max(0.0, xx - dx * dx / total);
            block.m2_y = std::max(0.0, yy - dy * dy / total);
            block.c_xy = xy - dx * dy / total;
        }
        ds_comoments_merge(state, &block);
    }
}

void ds_comoments_merge(ds_comoments_s *into, const ds_comoments_s *from)
{
    if (!(from->weight > 0))
        return;
    if (!(into->weight > 0)) {
        *into = *from;
        return;
    }
    const double weight = into->weight + from->weight;
    const double dx = merge_mean(into->mean_x, into->mean_x_low, into->weight, from->mean_x,
                                 from->mean_x_low, from->weight);
    const double dy = merge_mean(into->mean_y, into->mean_y_low, into->weight, from->mean_y,
                                 from->mean_y_low, from->weight);
    const double f = into->weight * from->weight / weight;
    into->m2_x += from->m2_x + dx * dx * f;
    into->m2_y += from->m2_y + dy * dy * f;
    into->c_xy += from->c_xy + dx * dy * f;
    into->weight = weight;
}

double ds_comoments_covariance_unbiased(const ds_comoments_s *state)
{
    return state->weight >= 2 ? state->c_xy / (state->weight - 1) : moments_nan;
}

double ds_comoments_correlation(const ds_comoments_s *state)
{
    if (!(state->weight > 0) || state->m2_x == 0 || state->m2_y == 0)
        return moments_nan;
    return state->c_xy / std::sqrt(state->m2_x * state->m2_y);
}
