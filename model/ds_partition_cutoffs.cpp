#include "model/ds_partition_cutoffs.h"

#include "model/util/ds_decimal.h"
#include "model/util/ds_histogram.h"
#include "model/util/ds_row_weight.h"

#include <algorithm>
#include <cmath>
#include <limits>

std::vector<double> ds_fixed_width_cutoffs(double lowest, double highest, int level, unsigned scheme,
                                           double *resolution)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    if (resolution)
        *resolution = nan;
    std::vector<double> cuts;
    if (lowest == highest || std::isnan(lowest) || std::isnan(highest))
        return cuts;
    double lo = lowest;
    double hi = highest;
    ds_decimal_s width{};
    ds_nice_resolution(level, 3, scheme, &lo, &hi, &width);
    const double step = ds_resolution_size(scheme, width);
    if (!(step > 0) || !std::isfinite(step))
        return cuts;
    // Repeated addition, as the bin labels step, so a cut value prints as
    // the label that starts its bin. The grid always ends past the highest
    // value; a cut at either end would make a group of the extreme rows
    // alone, so, as with quantiles, the ends are no cut values.
    for (double x = lo + step; x < hi; x += step)
        if (x > lowest && x < highest)
            cuts.push_back(x);
    if (resolution)
        *resolution = step;
    return cuts;
}

double ds_fixed_width_step(double lowest, double highest, int level, unsigned scheme)
{
    double lo = lowest;
    double hi = highest;
    ds_decimal_s width{};
    ds_nice_resolution(level, 3, scheme, &lo, &hi, &width);
    const double step = ds_resolution_size(scheme, width);
    return step > 0 && std::isfinite(step) ? step : std::numeric_limits<double>::quiet_NaN();
}

namespace {

// Adds every admitted row to the missing count or to its group's counter.
void count_groups(const int32_t *group, int64_t count, int64_t num_cuts, const uint8_t *mask, int64_t mask_length,
                  const uint8_t *missing, int64_t missing_length, int64_t *counts, int64_t *number_missing)
{
    std::fill(counts, counts + num_cuts + 1, 0);
    int64_t missed = 0;
    for (int64_t row = 0; row < count; ++row) {
        if (!ds_row_admitted(mask, mask_length, row))
            continue;
        if (missing && ds_row_admitted(missing, missing_length, row))
            ++missed;
        else if (group[row] >= 0 && group[row] <= num_cuts)
            ++counts[group[row]];
    }
    if (number_missing)
        *number_missing = missed;
}

}  // namespace

void ds_count_by_double_cutoffs(const double *values, int64_t count, const double *cuts, int64_t num_cuts,
                                double resolution, const uint8_t *mask, int64_t mask_length,
                                const uint8_t *missing, int64_t missing_length, int64_t *counts,
                                int64_t *number_missing, bool *any_missing)
{
    std::vector<int32_t> group(size_t(std::max<int64_t>(count, 0)));
    ds_index_by_double_cutoffs(values, group.data(), count, mask, mask_length, cuts, num_cuts, resolution);
    count_groups(group.data(), count, num_cuts, mask, mask_length, missing, missing_length, counts, number_missing);
    if (any_missing)
        *any_missing = missing && std::any_of(missing, missing + std::max<int64_t>(missing_length, 0),
                                              [](uint8_t byte) { return byte != 0; });
}

void ds_count_by_int_cutoffs(const int32_t *positions, int64_t count, const int32_t *cuts, int64_t num_cuts,
                             const uint8_t *mask, int64_t mask_length, const uint8_t *missing,
                             int64_t missing_length, int64_t *counts, int64_t *number_missing)
{
    std::vector<int32_t> group(size_t(std::max<int64_t>(count, 0)));
    ds_index_by_int_cutoffs(positions, group.data(), count, mask, mask_length, cuts, num_cuts);
    count_groups(group.data(), count, num_cuts, mask, mask_length, missing, missing_length, counts, number_missing);
}

std::vector<int64_t> ds_custom_text_cutoffs(const std::vector<std::string_view> &sorted,
                                            const std::vector<std::string_view> &custom)
{
    std::vector<int64_t> positions;
    const int64_t count = int64_t(sorted.size());
    if (count == 0)
        return positions;
    positions.reserve(custom.size());
    // Bisection over [0, count - 1): a text after every text lands on the
    // last position, so the last group is never empty of texts.
    for (std::string_view text : custom) {
        const auto first = sorted.begin();
        const auto last = sorted.begin() + (count - 1);
        positions.push_back(std::lower_bound(first, last, text) - first);
    }
    return positions;
}

std::vector<int64_t> ds_common_prefix_cutoffs(const std::vector<std::string_view> &sorted,
                                              int64_t prefix_length)
{
    std::vector<int64_t> positions;
    if (prefix_length <= 0)
        return positions;
    const size_t n = size_t(prefix_length);
    for (size_t i = 1; i < sorted.size(); ++i)
        if (sorted[i - 1].substr(0, n) != sorted[i].substr(0, n))
            positions.push_back(int64_t(i));
    return positions;
}
