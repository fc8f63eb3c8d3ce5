#include "model/util/ds_select.h"

#include "platform/dispatch/ds_parallel_for.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace {

// Values, and weights that move with them when Weighted.
template <bool Weighted>
struct Places {
    double *v;
    int32_t *w;

    void swap(int64_t i, int64_t j) const
    {
        std::swap(v[i], v[j]);
        if constexpr (Weighted)
            std::swap(w[i], w[j]);
    }
};

// One partition step of quickselect on [l, ir] (ir > l + 1): a median-of-
// three pivot, whose final place is returned; [l, j) holds values <= it and
// (j, ir] values >= it.
template <bool W>
int64_t partition(Places<W> a, int64_t l, int64_t ir)
{
    a.swap(l + (ir - l) / 2, l + 1);
    if (a.v[l] > a.v[ir])
        a.swap(l, ir);
    if (a.v[l + 1] > a.v[ir])
        a.swap(l + 1, ir);
    if (a.v[l] > a.v[l + 1])
        a.swap(l, l + 1);
    const double pivot = a.v[l + 1];
    int32_t pivot_weight = 0;
    if constexpr (W)
        pivot_weight = a.w[l + 1];
    int64_t i = l + 1, j = ir;
    for (;;) {
        do
            ++i;
        while (a.v[i] < pivot);
        do
            --j;
        while (a.v[j] > pivot);
        if (j < i)
            break;
        a.swap(i, j);
    }
    a.v[l + 1] = a.v[j];
    a.v[j] = pivot;
    if constexpr (W) {
        a.w[l + 1] = a.w[j];
        a.w[j] = pivot_weight;
    }
    return j;
}

// Swaps the first smallest (or largest) value into place `to`.
void extreme_to(double *v, int64_t count, int64_t to, bool largest)
{
    int64_t best = 0;
    for (int64_t i = 1; i < count; ++i)
        if (largest ? v[i] > v[best] : v[i] < v[best])
            best = i;
    std::swap(v[best], v[to]);
}

struct Selected {
    int64_t index;
    int64_t before;  // weight (or count) of the elements before index
};

Selected weighted_select(int64_t k, Places<true> a, int64_t count)
{
    int64_t l = 0, ir = count - 1, before_l = 0;
    while (ir > l + 1) {
        const int64_t j = partition(a, l, ir);
        int64_t before_j = before_l;
        for (int64_t i = l; i < j; ++i)
            before_j += a.w[i];
        if (k < before_j) {
            ir = j - 1;
        } else if (k >= before_j + a.w[j]) {
            l = j + 1;
            before_l = before_j + a.w[j];
        } else {
            return {j, before_j};
        }
    }
    if (ir == l + 1 && a.v[ir] < a.v[l])
        a.swap(l, ir);
    // One or two places left: the span of one of them holds k. Should the
    // weights not add up to the total, the last place is the best answer.
    int64_t before = before_l;
    for (int64_t i = l; i < ir; ++i) {
        if (k < before + a.w[i])
            return {i, before};
        before += a.w[i];
    }
    return {std::max(ir, int64_t(0)), before};
}

}  // namespace

double ds_quickselect_range(int64_t k, double *values, int64_t count)
{
    if (count <= 0)
        return std::numeric_limits<double>::quiet_NaN();
    k = std::clamp<int64_t>(k, 0, count - 1);
    if (k == 0 || k == count - 1) {
        extreme_to(values, count, k, k != 0);
        return values[k];
    }
    const Places<false> a{values, nullptr};
    int64_t l = 0, ir = count - 1;
    while (ir > l + 1) {
        const int64_t j = partition(a, l, ir);
        if (j >= k)
            ir = j - 1;
        if (j <= k)
            l = j + 1;
    }
    if (ir == l + 1 && values[ir] < values[l])
        a.swap(l, ir);
    return values[k];
}

double ds_quickselect(int32_t k, double *values, int32_t count)
{
    return ds_quickselect_range(k, values, count);
}

double ds_weighted_quickselect(int64_t k, double *values, int64_t count, int32_t *weights,
                               int64_t total_weight, int64_t *out_index,
                               int64_t *out_weight_before)
{
    Selected s{-1, 0};
    double value = std::numeric_limits<double>::quiet_NaN();
    if (count > 0 && total_weight > 0) {
        s = weighted_select(std::clamp<int64_t>(k, 0, total_weight - 1),
                            Places<true>{values, weights}, count);
        value = values[s.index];
    }
    if (out_index)
        *out_index = s.index;
    if (out_weight_before)
        *out_weight_before = s.before;
    return value;
}

void ds_select_ranks(double *values, int64_t count, int32_t *weights, int64_t total_weight,
                     double *out_values, const int64_t *positions, int64_t num_positions,
                     int64_t base_position, bool concurrent)
{
    if (num_positions <= 0 || count <= 0)
        return;
    const int64_t m = num_positions / 2;
    const int64_t k = positions[m] - base_position;
    Selected s;
    int64_t weight;
    double value;
    if (weights) {
        if (total_weight <= 0)
            return;
        value = ds_weighted_quickselect(k, values, count, weights, total_weight, &s.index, &s.before);
        weight = weights[s.index];
    } else {
        value = ds_quickselect_range(k, values, count);
        s = {std::clamp<int64_t>(k, 0, count - 1), std::clamp<int64_t>(k, 0, count - 1)};
        weight = 1;
    }
    // Neighbouring positions in the same span take the same value.
    int64_t lo = m, hi = m;
    out_values[m] = value;
    while (lo > 0 && positions[lo - 1] - base_position >= s.before)
        out_values[--lo] = value;
    while (hi + 1 < num_positions && positions[hi + 1] - base_position < s.before + weight)
        out_values[++hi] = value;

    auto left = [&] {
        ds_select_ranks(values, s.index, weights, s.before, out_values, positions, lo,
                        base_position, false);
    };
    auto right = [&] {
        const int64_t skip = s.index + 1;
        ds_select_ranks(values + skip, count - skip, weights ? weights + skip : nullptr,
                        total_weight - s.before - weight, out_values + hi + 1, positions + hi + 1,
                        num_positions - hi - 1, base_position + s.before + weight, false);
    };
    if (concurrent) {
        ds_dispatch_apply(2, [&](uint64_t i) { i == 0 ? left() : right(); });
    } else {
        left();
        right();
    }
}
