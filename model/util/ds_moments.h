#pragma once
// Weighted moments in the four-part shape every row statistic shares:
// initialise, add values, merge two states, read the results off.
//
// A state keeps the total weight, the mean and M2 = sum of w (x - mean)^2,
// never the raw sums of x and x^2, so data far from zero (time values near
// 7 x 10^8, 10^9 plus noise) keeps its precision and a variance is never
// negative. The mean is carried to twice the precision of a double (its
// rounding error rides along in mean_low), since the deviations of data far
// from zero are smaller than the rounding of its mean. Partial states of
// parallel chunks combine with Chan's formula; merged in chunk order, they
// give the same bits on any number of cores.
//
// Weights are frequency weights: whole numbers of 0 or more. A value of
// weight 0 adds nothing, not even to the extremes.

#include <cstdint>

struct ds_moments_s {
    double weight;  // total weight of the values added
    double mean;      // weighted mean; 0 while weight is 0
    double mean_low;  // mean + mean_low is the mean to twice the precision
    double m2;        // sum of w (x - mean)^2
    double min;     // smallest value of weight above 0; NaN before the first
    double max;     // largest value of weight above 0; NaN before the first
};

// An empty state: weight, means and m2 0, extremes NaN.
void ds_moments_init(ds_moments_s *state);

// Adds one value x of weight w (Welford's update). w <= 0 changes nothing.
void ds_moments_add(ds_moments_s *state, double x, double w);

// Adds count values in order, each of its weight (weights NULL: every
// weight 1). The values are taken in blocks of a few hundred: each block's
// mean is found first and its deviations summed about it, so the block
// costs two passes over data in the first-level cache and one merge. Values
// of weight 0 may be NaN; they are skipped.
void ds_moments_add_values(ds_moments_s *state, const double *values, const double *weights,
                           int64_t count);

// Adds the state from into the state into (Chan's parallel formula); from is
// unchanged. Merging an empty state changes nothing.
void ds_moments_merge(ds_moments_s *into, const ds_moments_s *from);

// M2 / weight (denominator n); NaN when the weight is 0.
double ds_moments_variance_biased(const ds_moments_s *state);

// M2 / (weight - 1) (denominator n - 1); NaN when the weight is below 2.
double ds_moments_variance_unbiased(const ds_moments_s *state);

// Weighted co-moments of pairs (x, y), for covariances and correlations:
// the same shape and the same merge in two dimensions.
struct ds_comoments_s {
    double weight;  // total weight of the pairs added
    double mean_x;
    double mean_x_low;  // as ds_moments_s::mean_low
    double mean_y;
    double mean_y_low;
    double m2_x;    // sum of w (x - mean_x)^2
    double m2_y;    // sum of w (y - mean_y)^2
    double c_xy;    // sum of w (x - mean_x)(y - mean_y)
};

// An empty state: every field 0.
void ds_comoments_init(ds_comoments_s *state);

// Adds the pair (x, y) of weight w. w <= 0 changes nothing.
void ds_comoments_add(ds_comoments_s *state, double x, double y, double w);

// Adds count pairs in order, as ds_moments_add_values does for one column
// (weights NULL: every weight 1; pairs of weight 0 are skipped).
void ds_comoments_add_values(ds_comoments_s *state, const double *x, const double *y,
                             const double *weights, int64_t count);

// Adds the state from into the state into; from is unchanged.
void ds_comoments_merge(ds_comoments_s *into, const ds_comoments_s *from);

// c_xy / (weight - 1); NaN when the weight is below 2.
double ds_comoments_covariance_unbiased(const ds_comoments_s *state);

// c_xy / sqrt(m2_x m2_y); NaN when either variance is 0 or the weight is 0.
double ds_comoments_correlation(const ds_comoments_s *state);
