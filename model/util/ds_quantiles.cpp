#include "model/util/ds_quantiles.h"

#include "model/util/ds_integer_range.h"
#include "model/util/ds_select.h"
#include "platform/dispatch/ds_parallel_for.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr int64_t counting_limit = 8192;

int64_t total_weight(const int32_t *weights, int64_t count)
{
    if (!weights)
        return count;
    int64_t total = 0;
    for (int64_t i = 0; i < count; ++i)
        total += weights[i];
    return total;
}

// Fills cut with -infinity, NaN .. NaN, +infinity.
void frame_cuts(double *cut, int k)
{
    cut[0] = -std::numeric_limits<double>::infinity();
    for (int i = 1; i < k; ++i)
        cut[i] = std::numeric_limits<double>::quiet_NaN();
    cut[k] = std::numeric_limits<double>::infinity();
}

// Frames cut and returns the total weight to cut, 0 when there is nothing
// to cut. Writes nothing when k <= 0.
int64_t start_cuts(const int32_t *weights, int64_t count, double *cut, int k)
{
    if (k <= 0)
        return 0;
    frame_cuts(cut, k);
    return count > 0 ? total_weight(weights, count) : 0;
}

// floor(i x total / k) in whole numbers: i / k as a double is rounded, and
// 29 / 100 x 100 falls just short of 29. total = q k + r splits the product
// so that nothing overflows (i r < k^2).
int64_t target_position(int i, int k, int64_t total)
{
    const int64_t q = total / k, r = total % k;
    return i * q + int64_t(i) * r / k;
}

// The values at ascending positions of whole numbers in [lo, hi], by counting
// each integer's weight (per chunk, then added in chunk order).
void count_positions(const double *values, const int32_t *weights, int64_t count, int32_t lo,
                     int32_t hi, const std::vector<int64_t> &positions, std::vector<double> &out)
{
    const size_t span = size_t(int64_t(hi) - lo + 1);
    std::vector<int64_t> partial(ds_row_chunks * span, 0);
    ds_parallel_for(ds_row_chunks, uint64_t(count), [&](uint64_t c, int64_t first, int64_t end) {
        int64_t *counts = partial.data() + c * span;
        for (int64_t i = first; i < end; ++i)
            counts[size_t(int64_t(values[i]) - lo)] += weights ? weights[i] : 1;
    });
    size_t next = 0;
    int64_t cumulative = 0;
    for (size_t v = 0; v < span && next < positions.size(); ++v) {
        int64_t n = 0;
        for (uint64_t c = 0; c < ds_row_chunks; ++c)
            n += partial[c * span + v];
        for (; next < positions.size() && positions[next] < cumulative + n; ++next)
            out[next] = double(int64_t(lo) + int64_t(v));
        cumulative += n;
    }
}

}  // namespace

void ds_quantiles(double *values, int32_t *weights, int64_t count, double *cut, int k,
                  bool average_median)
{
    const int64_t total = start_cuts(weights, count, cut, k);
    if (total <= 0)
        return;

    // Positions for cuts 1 .. k-1, plus p[m] - 1 just before p[m] when the
    // median is averaged.
    const int m = k / 2;
    std::vector<int64_t> positions;
    int averaged_at = -1;  // index in positions of p[m] - 1
    for (int i = 1; i < k; ++i) {
        const int64_t p = target_position(i, k, total);
        if (average_median && total % 2 == 0 && k % 2 == 0 && i == m && p > 0) {
            averaged_at = int(positions.size());
            positions.push_back(p - 1);
        }
        positions.push_back(p);
    }

    std::vector<double> found(positions.size());
    int32_t lo, hi;
    if (ds_integer_range_parallel(values, count, counting_limit, &lo, &hi) &&
        int64_t(hi) - lo < counting_limit)
        count_positions(values, weights, count, lo, hi, positions, found);
    else
        ds_select_ranks(values, count, weights, total, found.data(), positions.data(),
                        int64_t(positions.size()), 0, true);

    size_t next = 0;
    for (int i = 1; i < k; ++i) {
        if (int(next) == averaged_at) {
            const double a = found[next++], b = found[next++];
            cut[i] = a == b ? a : 0.5 * a + 0.5 * b;
        } else {
            cut[i] = found[next++];
        }
    }
}

void ds_sorted_quantiles(const double *values, const int32_t *weights, int64_t count,
                         double *cut, int k)
{
    const int64_t total = start_cuts(weights, count, cut, k);
    if (total <= 0)
        return;
    int64_t index = 0, before = 0;
    for (int i = 1; i < k; ++i) {
        const int64_t p = target_position(i, k, total);
        if (!weights) {
            cut[i] = values[std::min(p, count - 1)];
            continue;
        }
        while (index < count - 1 && p - before >= weights[index])
            before += weights[index++];
        cut[i] = values[index];
    }
}
