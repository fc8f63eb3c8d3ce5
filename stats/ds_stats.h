#pragma once

#include <cstdint>

// The descriptive statistics of a numeric column under a row mask and
// frequency weights, as one plain record passed by value. Which groups of
// fields are filled depends on the options asked for (extremes, moments,
// quartiles); count and missing are always filled. A column caches one
// record per group and marks one not yet computed with count = -1.
struct ds_stats_s
{
    double min = 0;
    double max = 0;
    double avg = 0;
    double var_biased = 0;   // denominator count
    double var_unbiased = 0; // count / (count - 1) times var_biased
    double skew = 0;         // reserved
    double kurt = 0;         // reserved
    double q1 = 0;
    double med = 0;
    double q3 = 0;
    double mad = 0;     // median absolute deviation from med
    int64_t count = 0;   // total weight of the rows used
    int64_t missing = 0; // total weight of the admitted rows that are missing
};

// The record a column's cache holds while nothing is computed: every field
// 0, count -1.
inline ds_stats_s ds_stats_not_computed()
{
    ds_stats_s stats;
    stats.count = -1;
    return stats;
}
