#pragma once
// Whether an array of doubles holds only whole numbers within a small span,
// which lets sorts and quantiles count values instead of comparing them.

#include <cstdint>

// True when count > 0, every value is a whole number representable as a
// signed 32-bit integer (NaN is not) and max - min < limit. On success the
// minimum and maximum are written to the out arguments that are not NULL.
bool ds_integer_range(const double *values, int64_t count, int64_t limit,
                      int32_t *out_min, int32_t *out_max);

// As ds_integer_range, tested over 24 parallel chunks (serially below limit
// values). Each chunk applies the limit to its own span only: the caller
// tests max - min of the result against the limit itself.
bool ds_integer_range_parallel(const double *values, int64_t count, int64_t limit,
                               int32_t *out_min, int32_t *out_max);
