#pragma once
// The record of a correlation between two row properties under a row mask,
// shared by the column kinds and the correlation tests.

#include <cstdint>

struct ds_corr_s {
    double correlation;  // r; NaN when either variance is 0
    double covariance;   // weighted, with denominator n - 1
    int64_t count;       // n, the total frequency weight of the rows used
    double p_value;      // of the z score, two-sided
    double r_squared;    // r x r
    double z_score;      // Fisher's z of r against 0
};

// Sets r and, when r is a number, Fisher's z against 0 with count
// observations, its two-sided normal p-value and r^2; all four NaN
// otherwise. The covariance and count are the caller's.
void ds_corr_finish(ds_corr_s *c, double r);
