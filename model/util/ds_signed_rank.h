#pragma once
// The signed-rank sum of paired differences, with what the Wilcoxon test
// needs besides it: how many differences were ranked, the ties among them
// and the zero differences left out.

#include <cstdint>

struct ds_signed_rank_s {
    double sum;      // |sum of sign x weight x mid-rank| of the non-zero differences
    int64_t count;   // total weight of the non-zero differences
    double ties;     // sum of t^3 - t over the runs of t equal absolute differences
    int64_t zeros;   // total weight of the zero differences
};

// Ranks the absolute values of the non-zero differences ascending, ties
// sharing their mid-rank, each difference counting once whatever its
// weight (weights NULL: every weight 1); the frequency weight multiplies
// its signed rank. NaN differences are skipped. sum is NaN when no
// difference is non-zero. differences and weights are only read; the work
// arrays are freed before it returns.
ds_signed_rank_s ds_signed_rank(const double *differences, const int32_t *weights, int64_t count);
