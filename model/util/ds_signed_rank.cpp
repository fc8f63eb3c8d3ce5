#include "model/util/ds_signed_rank.h"

#include "model/util/ds_sort.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

ds_signed_rank_s ds_signed_rank(const double *differences, const int32_t *weights, int64_t count)
{
    ds_signed_rank_s result = {std::numeric_limits<double>::quiet_NaN(), 0, 0, 0};
    std::vector<double> magnitude;
    std::vector<int32_t> signed_weight;
    for (int64_t i = 0; i < count; ++i) {
        const double d = differences[i];
        const int32_t w = weights ? weights[i] : 1;
        if (std::isnan(d))
            continue;
        if (d == 0) {
            result.zeros += w;
            continue;
        }
        magnitude.push_back(std::fabs(d));
        signed_weight.push_back(d > 0 ? w : -w);
        result.count += w;
    }
    const auto ranked = int64_t(magnitude.size());
    if (ranked == 0)
        return result;
    ds_sort(magnitude.data(), signed_weight.data(), ranked);

    // Ranks are held doubled, so that mid-ranks stay whole: a run of t equal
    // values from position p (from 1) has the mid-rank p + (t - 1) / 2.
    int64_t doubled_sum = 0;
    for (int64_t first = 0; first < ranked;) {
        int64_t end = first + 1;
        while (end < ranked && magnitude[size_t(end)] == magnitude[size_t(first)])
            ++end;
        const int64_t t = end - first;
        const int64_t doubled_rank = 2 * (first + 1) + t - 1;
        for (int64_t i = first; i < end; ++i)
            doubled_sum += doubled_rank * signed_weight[size_t(i)];
        result.ties += double(t) * double(t) * double(t) - double(t);
        first = end;
    }
    result.sum = double(std::llabs(doubled_sum)) / 2;
    return result;
}
