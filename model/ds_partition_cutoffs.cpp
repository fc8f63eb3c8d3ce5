#include "model/ds_partition_cutoffs.h"

#include "model/util/ds_decimal.h"

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
