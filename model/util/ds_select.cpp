#include "model/util/ds_select.h"

#include "model/util/ds_sort.h"
#include "platform/dispatch/ds_parallel_for.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <utility>
#include <vector>

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

// Selecting among many values on several cores: a sorted sample brackets
// each wanted position between two values; one parallel pass counts the
// weight below each bracket and gathers the values inside it (in chunk
// order), and the positions are selected among those few. Returns false,
// having written nothing, when the sample misjudged a position (the caller
// then selects over all values).
constexpr int64_t sampled_selection_min = 1 << 20;
constexpr int64_t sample_size = 1 << 14;

// Values gathered from a bracket, with their weights when there are any.
struct Gathered {
    std::vector<double> values;
    std::vector<int32_t> weights;
};

struct Bracket {
    double lo, hi;             // the values inside, both ends included
    int64_t first, end;        // the positions it answers, [first, end)
    int64_t below = 0;         // weight of the values under lo
    int64_t inside = 0;        // weight of the values inside
    Gathered gathered;
};

std::vector<Bracket> sample_brackets(const double *values, int64_t count, const int32_t *weights,
                                     const int64_t *positions, int64_t num_positions,
                                     int64_t base, int64_t total)
{
    const int64_t stride = count / sample_size;
    std::vector<double> sample(sample_size);
    std::vector<int32_t> sample_weights(weights ? sample_size : 0);
    for (int64_t i = 0; i < sample_size; ++i) {
        sample[i] = values[i * stride];
        if (weights)
            sample_weights[i] = weights[i * stride];
    }
    ds_sort(sample.data(), weights ? sample_weights.data() : nullptr, sample_size);
    std::vector<int64_t> cumulative(sample_size);  // weight up to and including i
    int64_t running = 0;
    for (int64_t i = 0; i < sample_size; ++i)
        cumulative[i] = running += weights ? sample_weights[i] : 1;
    std::vector<Bracket> brackets;
    if (running == 0)
        return brackets;
    // Four standard deviations of a sampled rank, and some.
    const double margin = 4.0 * std::sqrt(double(running)) + 16.0 * double(running) / double(sample_size);
    auto value_at = [&](double sample_position) {
        if (sample_position < 0)
            return -std::numeric_limits<double>::infinity();
        const auto at = std::upper_bound(cumulative.begin(), cumulative.end(), int64_t(sample_position));
        return at == cumulative.end() ? std::numeric_limits<double>::infinity()
                                      : sample[at - cumulative.begin()];
    };
    for (int64_t i = 0; i < num_positions; ++i) {
        const double centre = double(positions[i] - base) / double(total) * double(running);
        const double lo = value_at(centre - margin), hi = value_at(centre + margin);
        if (!brackets.empty() && lo <= brackets.back().hi) {
            brackets.back().hi = std::max(brackets.back().hi, hi);
            brackets.back().end = i + 1;
        } else {
            Bracket next;
            next.lo = lo;
            next.hi = hi;
            next.first = i;
            next.end = i + 1;
            brackets.push_back(std::move(next));
        }
    }
    return brackets;
}

bool sampled_select_ranks(const double *values, int64_t count, const int32_t *weights,
                          int64_t total, double *out_values, const int64_t *positions,
                          int64_t num_positions, int64_t base)
{
    std::vector<Bracket> brackets =
        sample_brackets(values, count, weights, positions, num_positions, base, total);
    if (brackets.empty())
        return false;
    const size_t nb = brackets.size();
    // Per chunk: the weight in each gap below a bracket, and the values inside.
    std::vector<int64_t> gaps(ds_row_chunks * nb, 0);
    std::vector<std::vector<Gathered>> gathered(ds_row_chunks, std::vector<Gathered>(nb));
    // Bracket bounds, with a last slot above every bracket (its lo +infinity,
    // so nothing lands inside it).
    std::vector<double> his(nb), los(nb + 1, std::numeric_limits<double>::infinity());
    for (size_t b = 0; b < nb; ++b) {
        his[b] = brackets[b].hi;
        los[b] = brackets[b].lo;
    }
    ds_parallel_for(ds_row_chunks, uint64_t(count), [&](uint64_t c, int64_t first, int64_t end) {
        // Local sums: neighbouring chunks' slots share cache lines.
        std::vector<int64_t> gap(nb + 1, 0);
        std::vector<Gathered> &mine = gathered[c];
        const double *hi = his.data(), *lo = los.data();
        for (int64_t i = first; i < end; ++i) {
            const double v = values[i];
            // The first bracket not wholly below v, counted without branches
            // (random values would mispredict a search).
            size_t b = 0;
            if (nb <= 16)
                for (size_t j = 0; j < nb; ++j)
                    b += hi[j] < v;
            else
                b = size_t(std::partition_point(hi, hi + nb, [v](double h) { return h < v; }) - hi);
            const int32_t w = weights ? weights[i] : 1;
            const bool inside = v >= lo[b];
            gap[b] += inside ? 0 : w;
            if (inside) {
                mine[b].values.push_back(v);
                if (weights)
                    mine[b].weights.push_back(w);
            }
        }
        std::copy(gap.begin(), gap.end() - 1, gaps.begin() + ptrdiff_t(c * nb));
    });
    int64_t below = 0;
    for (size_t b = 0; b < nb; ++b) {
        Bracket &bracket = brackets[b];
        for (uint64_t c = 0; c < ds_row_chunks; ++c)
            below += gaps[c * nb + b];
        bracket.below = below;
        Gathered &all = bracket.gathered;
        for (uint64_t c = 0; c < ds_row_chunks; ++c) {
            const Gathered &part = gathered[c][b];
            all.values.insert(all.values.end(), part.values.begin(), part.values.end());
            all.weights.insert(all.weights.end(), part.weights.begin(), part.weights.end());
        }
        bracket.inside = weights ? std::accumulate(all.weights.begin(), all.weights.end(), int64_t(0))
                                 : int64_t(all.values.size());
        if (positions[bracket.first] - base < below ||
            positions[bracket.end - 1] - base >= below + bracket.inside)
            return false;
        below += bracket.inside;
    }
    ds_dispatch_apply(nb, [&](uint64_t b) {
        Bracket &bracket = brackets[b];
        Gathered &all = bracket.gathered;
        ds_select_ranks(all.values.data(), int64_t(all.values.size()),
                        weights ? all.weights.data() : nullptr, bracket.inside,
                        out_values + bracket.first, positions + bracket.first,
                        bracket.end - bracket.first, base + bracket.below, false);
    });
    return true;
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
    if (concurrent && count >= sampled_selection_min &&
        sampled_select_ranks(values, count, weights, weights ? total_weight : count, out_values,
                             positions, num_positions, base_position))
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
