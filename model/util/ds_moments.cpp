#include "model/util/ds_moments.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const double nan_value = std::numeric_limits<double>::quiet_NaN();
const double inf = std::numeric_limits<double>::infinity();

// Values per block of ds_moments_add_values: the block and its weights stay
// in the first-level cache between the two passes.
constexpr int64_t block_length = 512;

inline double weight_at(const double *weights, int64_t i)
{
    return weights ? weights[i] : 1.0;
}

// The mean of a block summed about a shift m: m + S1 / W, where S1 is the
// weighted sum of deviations. A mean that is not finite (an infinite value)
// stays as the plain sum gave it, since deviations from it are NaN.
inline double shifted_mean(double shift, double deviations, double weight)
{
    return std::isfinite(shift) ? shift + deviations / weight : shift;
}

// The weighted mean of two means, exact when they are equal (two infinite
// means of one sign stay infinite).
inline double merged_mean(double mean_a, double mean_b, double weight_b, double weight)
{
    return mean_a == mean_b ? mean_a : mean_a + (mean_b - mean_a) * (weight_b / weight);
}

}  // namespace

void ds_moments_init(ds_moments_s *state)
{
    *state = {0.0, 0.0, 0.0, nan_value, nan_value};
}

void ds_moments_add(ds_moments_s *state, double x, double w)
{
    if (!(w > 0))
        return;
    if (state->weight == 0) {
        *state = {w, x, 0.0, x, x};
        return;
    }
    state->weight += w;
    const double delta = x - state->mean;
    state->mean = merged_mean(state->mean, x, w, state->weight);
    state->m2 += w * delta * (x - state->mean);
    if (x < state->min)
        state->min = x;
    else if (x > state->max)
        state->max = x;
}

void ds_moments_add_values(ds_moments_s *state, const double *values, const double *weights,
                           int64_t count)
{
    for (int64_t first = 0; first < count; first += block_length) {
        const int64_t end = std::min(count, first + block_length);
        double total = 0, sum = 0, lo = inf, hi = -inf;
        for (int64_t i = first; i < end; ++i) {
            const double w = weight_at(weights, i);
            const double x = w > 0 ? values[i] : 0.0;
            total += w;
            sum += w * x;
            lo = std::min(lo, w > 0 ? x : inf);
            hi = std::max(hi, w > 0 ? x : -inf);
        }
        if (!(total > 0))
            continue;
        const double shift = sum / total;
        double deviations = 0, squares = 0;
        for (int64_t i = first; i < end; ++i) {
            const double w = weight_at(weights, i);
            const double d = w > 0 ? values[i] - shift : 0.0;
            deviations += w * d;
            squares += w * d * d;
        }
        ds_moments_s block;
        block.weight = total;
        block.mean = shifted_mean(shift, deviations, total);
        block.m2 = std::isfinite(shift) ? std::max(0.0, squares - deviations * deviations / total) : nan_value;
        block.min = lo;
        block.max = hi;
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
    const double delta = from->mean - into->mean;
    const double mean = merged_mean(into->mean, from->mean, from->weight, weight);
    into->m2 = into->m2 + from->m2 + delta * delta * (into->weight * from->weight / weight);
    into->mean = mean;
    into->weight = weight;
    if (from->min < into->min)
        into->min = from->min;
    if (from->max > into->max)
        into->max = from->max;
}

double ds_moments_variance_biased(const ds_moments_s *state)
{
    return state->weight > 0 ? state->m2 / state->weight : nan_value;
}

double ds_moments_variance_unbiased(const ds_moments_s *state)
{
    return state->weight >= 2 ? state->m2 / (state->weight - 1) : nan_value;
}

void ds_comoments_init(ds_comoments_s *state)
{
    *state = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
}

void ds_comoments_add(ds_comoments_s *state, double x, double y, double w)
{
    if (!(w > 0))
        return;
    const ds_comoments_s one = {w, x, y, 0.0, 0.0, 0.0};
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
        ds_comoments_s block;
        block.weight = total;
        block.mean_x = shifted_mean(shift_x, dx, total);
        block.mean_y = shifted_mean(shift_y, dy, total);
        block.m2_x = finite ? std::max(0.0, xx - dx * dx / total) : nan_value;
        block.m2_y = finite ? std::max(0.0, yy - dy * dy / total) : nan_value;
        block.c_xy = finite ? xy - dx * dy / total : nan_value;
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
    const double dx = from->mean_x - into->mean_x;
    const double dy = from->mean_y - into->mean_y;
    const double f = into->weight * from->weight / weight;
    into->m2_x += from->m2_x + dx * dx * f;
    into->m2_y += from->m2_y + dy * dy * f;
    into->c_xy += from->c_xy + dx * dy * f;
    into->mean_x = merged_mean(into->mean_x, from->mean_x, from->weight, weight);
    into->mean_y = merged_mean(into->mean_y, from->mean_y, from->weight, weight);
    into->weight = weight;
}

double ds_comoments_covariance_unbiased(const ds_comoments_s *state)
{
    return state->weight >= 2 ? state->c_xy / (state->weight - 1) : nan_value;
}

double ds_comoments_correlation(const ds_comoments_s *state)
{
    if (!(state->weight > 0) || state->m2_x == 0 || state->m2_y == 0)
        return nan_value;
    return state->c_xy / std::sqrt(state->m2_x * state->m2_y);
}
