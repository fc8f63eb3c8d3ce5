#include "model/util/ds_integer_range.h"

#include "platform/dispatch/ds_parallel_for.h"

#include <algorithm>
#include <cmath>

static inline bool is_int32(double v)
{
    // Range first: converting an out-of-range double to int is undefined.
    return v >= -2147483648.0 && v <= 2147483647.0 && v == std::trunc(v);
}

bool ds_integer_range(const double *values, int64_t count, int64_t limit,
                      int32_t *out_min, int32_t *out_max)
{
    if (count <= 0)
        return false;
    int64_t lo = INT64_MAX, hi = INT64_MIN;
    for (int64_t i = 0; i < count; ++i) {
        const double v = values[i];
        if (!is_int32(v))
            return false;
        const int64_t x = int64_t(v);
        lo = std::min(lo, x);
        hi = std::max(hi, x);
        if (hi - lo >= limit)
            return false;
    }
    if (out_min)
        *out_min = int32_t(lo);
    if (out_max)
        *out_max = int32_t(hi);
    return true;
}

bool ds_integer_range_parallel(const double *values, int64_t count, int64_t limit,
                               int32_t *out_min, int32_t *out_max)
{
    if (count < limit)
        return ds_integer_range(values, count, limit, out_min, out_max);
    struct Partial {
        bool ok = false;
        int32_t min = 0, max = 0;
    } partial[ds_row_chunks];
    ds_parallel_for(ds_row_chunks, uint64_t(count), [&](uint64_t i, int64_t first, int64_t end) {
        // An empty chunk holds no value that could fail.
        if (first >= end)
            partial[i] = {true, INT32_MAX, INT32_MIN};
        else
            partial[i].ok = ds_integer_range(values + first, end - first, limit,
                                             &partial[i].min, &partial[i].max);
    });
    int32_t lo = INT32_MAX, hi = INT32_MIN;
    for (const Partial &p : partial) {
        if (!p.ok)
            return false;
        lo = std::min(lo, p.min);
        hi = std::max(hi, p.max);
    }
    if (out_min)
        *out_min = lo;
    if (out_max)
        *out_max = hi;
    return true;
}
