#include "model/util/ds_histogram.h"

#include "model/util/ds_row_weight.h"
#include "platform/dispatch/ds_parallel_for.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr double bin_nudge = 1e-10;

// The bin of a position counted in widths from the minimum: clamped to the
// last bin from above, -1 (not counted) below the first or for NaN.
inline int64_t clamped_bin(double position, int64_t bins)
{
    const double b = std::trunc(position);
    if (!(b >= 0))
        return -1;
    return b >= double(bins) ? bins - 1 : int64_t(b);
}

}  // namespace

void ds_histogram_parallel(const double *values, const int32_t *weights, int64_t count,
                           const uint8_t *mask, int64_t mask_length, int64_t *counts,
                           double minimum, double, double width, int64_t bins)
{
    if (bins <= 0)
        return;
    std::fill(counts, counts + bins, 0);
    const double scale = 1.0 / width;
    std::vector<int64_t> partial(ds_row_chunks * size_t(bins), 0);
    ds_parallel_for(ds_row_chunks, uint64_t(std::max<int64_t>(count, 0)),
                    [&](uint64_t chunk, int64_t first, int64_t end) {
                        int64_t *mine = partial.data() + chunk * uint64_t(bins);
                        for (int64_t row = first; row < end; ++row) {
                            if (!ds_row_admitted(mask, mask_length, row))
                                continue;
                            const int64_t bin = clamped_bin((values[row] - minimum) * scale + bin_nudge, bins);
                            if (bin >= 0)
                                mine[bin] += ds_row_weight(row, weights, count);
                        }
                    });
    for (uint64_t chunk = 0; chunk < ds_row_chunks; ++chunk)
        for (int64_t bin = 0; bin < bins; ++bin)
            counts[bin] += partial[chunk * uint64_t(bins) + uint64_t(bin)];
}

void ds_histogram_differences(const double *a, const double *b, const int32_t *weights,
                              int64_t count, const uint8_t *mask, int64_t mask_length,
                              double minimum, double, double width, int64_t *counts,
                              int64_t bins)
{
    if (bins <= 0)
        return;
    std::fill(counts, counts + bins, 0);
    const double scale = 1.0 / width;
    for (int64_t row = 0; row < count; ++row) {
        if (!ds_row_admitted(mask, mask_length, row))
            continue;
        const int64_t bin = clamped_bin((a[row] - b[row] - minimum) * scale + bin_nudge, bins);
        if (bin >= 0)
            counts[bin] += ds_row_weight(row, weights, count);
    }
}

void ds_histogram_by_index(const double *values, const int32_t *weights, int64_t count,
                           const uint8_t *mask, int64_t mask_length, int64_t *counts,
                           double minimum, double maximum, double width, int64_t bins,
                           const int32_t *group_index, int64_t groups)
{
    if (bins <= 0 || groups <= 0)
        return;
    std::fill(counts, counts + bins * groups, 0);
    const double scale = 1.0 / width;
    for (int64_t row = 0; row < count; ++row) {
        const int64_t g = group_index[row];
        if (g < 0 || g >= groups || !ds_row_admitted(mask, mask_length, row))
            continue;
        const double v = values[row];
        const int64_t bin = v >= maximum ? bins - 1 : clamped_bin((v - minimum) * scale, bins);
        if (bin >= 0)
            counts[g * bins + bin] += ds_row_weight(row, weights, count);
    }
}

void ds_index_by_int_cutoffs(const int32_t *values, int32_t *out_index, int64_t count,
                             const uint8_t *mask, int64_t mask_length, const int32_t *cuts,
                             int64_t num_cuts)
{
    const int32_t outside = int32_t(num_cuts + 1);
    ds_parallel_for(ds_row_chunks, uint64_t(std::max<int64_t>(count, 0)),
                    [&](uint64_t, int64_t first, int64_t end) {
                        for (int64_t row = first; row < end; ++row)
                            out_index[row] = ds_row_admitted(mask, mask_length, row)
                                                 ? int32_t(std::upper_bound(cuts, cuts + num_cuts, values[row]) - cuts)
                                                 : outside;
                    });
}

void ds_index_by_double_cutoffs(const double *values, int32_t *out_index, int64_t count,
                                const uint8_t *mask, int64_t mask_length, const double *cuts,
                                int64_t num_cuts, double width)
{
    const int32_t outside = int32_t(num_cuts + 1);
    const double nudge = std::isnan(width) ? 0 : width * bin_nudge;
    ds_parallel_for(ds_row_chunks, uint64_t(std::max<int64_t>(count, 0)),
                    [&](uint64_t, int64_t first, int64_t end) {
                        for (int64_t row = first; row < end; ++row) {
                            const double v = values[row];
                            out_index[row] = std::isnan(v) || !ds_row_admitted(mask, mask_length, row)
                                                 ? outside
                                                 : int32_t(std::upper_bound(cuts, cuts + num_cuts, v + nudge) - cuts);
                        }
                    });
}
