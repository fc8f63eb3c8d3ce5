// Distribution functions: p-values, critical values, confidence intervals,
// densities and the test statistics whose null distributions live here.
//
// Every function is pure and thread-safe: it keeps no state, allocates only
// what it frees before returning, never throws and reports nothing. A NaN
// argument gives a NaN result (NaN bounds for the intervals); so does an
// argument outside the function's domain (a negative count, df below 1).
//
// Conventions shared by every function below:
// - A "level" is a significance level such as 0.05. A "confidence" is a
//   confidence level such as 0.95. Each parameter says which it is.
// - p-values lie in [0, 1].
// - Critical values are upper-tail: a statistic beyond the critical value at
//   a level has a p-value below that level, so the value at 0.9 lies below
//   the one at 0.1. A level of 0 gives the value beyond which nothing lies
//   (+infinity, or 1 for a Kolmogorov-Smirnov D); a level of 1 gives the
//   bottom of the statistic's range.
// - The z and t critical values are two-sided, matching the two-sided
//   p-values of hypothesis code 0: estimate +/- critical value x standard
//   error is the interval at confidence 1 - level.
// - Hypothesis codes of ds_p_value_normal and ds_p_value_t: 1 tests the null
//   "the parameter is at least 0" (the p-value is the lower tail, P(Z <= z));
//   -1 tests "the parameter is at most 0" (the upper tail, P(Z >= z)); every
//   other code, 0 included, is two-sided.
// - Intervals write the lower bound to out[0] and the upper bound to out[1].
#pragma once

#include <cstdint>

// ---- p-values -------------------------------------------------------------

// Standard normal p-value of z for the hypothesis code.
double ds_p_value_normal(double z, int hypothesis) noexcept;

// Student's t p-value of t with df degrees of freedom for the hypothesis code.
double ds_p_value_t(double t, int64_t df, int hypothesis) noexcept;

// Upper-tail chi-square p-value, P(X >= statistic); 1 for a statistic <= 0.
double ds_p_value_chi_square(double statistic, int64_t df) noexcept;

// Upper-tail F p-value, P(X >= f); 1 for f <= 0.
double ds_p_value_f(double f, int64_t df1, int64_t df2) noexcept;

// P(D_n >= d) for the two-sided one-sample Kolmogorov-Smirnov statistic of a
// sample of n from a continuous distribution. In the tail (p below about
// 0.02) for every n: twice Smirnov's exact one-sided tail (relative error
// below 2e-11); in the body up to n = 140 and for small d up to n = 100,000:
// Marsaglia-Tsang-Wang's exact matrix power; elsewhere in the body the
// Pelz-Good asymptotic series, whose absolute error is about 0.06 / n^2:
// 3e-6 at n = 141, 6e-8 at n = 1,000, below 1e-9 from n = 8,000 on.
double ds_p_value_kolmogorov_smirnov(double d, int64_t n) noexcept;

// P(T >= statistic) under Kiefer's limiting distribution of the k-sample
// statistic T (see ds_kolmogorov_smirnov_k_sample) with df = k - 1. With
// df = 1, T is the square of the two-sample K = sqrt(n1 n2 / (n1 + n2)) D and
// the result is the Kolmogorov distribution's tail at sqrt(T). To 10 digits
// down to the smallest double, for df from 1 to 50. Beyond, the Bessel
// series gives tails of 1e-8 and more to 9 digits up to df 400; elsewhere
// only the ends are certain: 0 where a bound puts the tail below the
// smallest double, 1 where it rounds to 1, NaN between.
double ds_p_value_kolmogorov_smirnov_k_sample(double statistic, double df) noexcept;

// Royston's (1995) p-value of the Shapiro-Wilk W of a sample of n, 3 <= n <=
// 5,000 (exact for n = 3); NaN outside that range or for W outside (0, 1].
double ds_p_value_shapiro_wilk(double w, int64_t n) noexcept;

// ---- critical values -------------------------------------------------------

// Two-sided standard normal critical value: z with P(|Z| >= z) = level.
double ds_critical_value_z_score(double level) noexcept;

// Two-sided t critical value: t with P(|T| >= t) = level, df degrees of freedom.
double ds_critical_value_t(double level, int64_t df) noexcept;

// Chi-square value with upper tail level.
double ds_critical_value_chi_square(double level, int64_t df) noexcept;

// F value with upper tail level.
double ds_critical_value_f(double level, int64_t df1, int64_t df2) noexcept;

// The D whose ds_p_value_kolmogorov_smirnov equals level for a sample of n:
// every larger D has a p-value below level, every smaller one at or above it.
double ds_critical_value_kolmogorov_smirnov(double level, int64_t n) noexcept;

// The k-sample statistic whose ds_p_value_kolmogorov_smirnov_k_sample equals
// level, in the same sense; NaN for df above 50.
double ds_critical_value_kolmogorov_smirnov_k_sample(double level, double df) noexcept;

// ---- quantiles, densities and special functions ---------------------------

// Wichura's AS 241 (PPND16): z with Phi(z) = p, to about 16 digits. *fault
// (when not null) becomes 0, or 1 when p is not inside (0, 1); then the result
// is -infinity for p = 0, +infinity for p = 1 and NaN otherwise.
double ppnd(double p, int *fault) noexcept;

// Density of the limiting Kolmogorov distribution, P(sup |B(t)| <= x) for a
// Brownian bridge B; 0 for x <= 0.
long double ds_kolmogorov_pdf(long double x) noexcept;

// Density at x of Kiefer's limiting k-sample distribution with df = k - 1
// (the distribution of sup_t of a sum of df squared Brownian bridges); 0 for
// x <= 0.
long double ds_kolmogorov_k_pdf(long double x, long double df) noexcept;

// The beta function B(a, b) and its logarithm, a, b > 0. The logarithm stays
// accurate where B underflows (large a + b, as with F degrees of freedom).
double ds_beta(double a, double b) noexcept;
double ds_log_beta(double a, double b) noexcept;

// Fisher's z of a correlation r against the null correlation rho0 for n
// pairs: (atanh(r) - atanh(rho0)) x sqrt(n - 3); +/-infinity for r = +/-1;
// NaN for n <= 3 or |r| > 1.
double ds_correlation_z_score(double r, double rho0, int64_t n) noexcept;

// The standard error of the mean of count values whose (unbiased) variance
// is variance: sqrt(variance / count). NaN for count <= 0 or variance < 0.
double ds_standard_deviation(int64_t count, double variance) noexcept;

// ---- test statistics -------------------------------------------------------
// Weights are frequency weights: value i stands for weights[i] equal
// observations (entries below 1 stand for none); a null weights array means
// one each. The arrays belong to the caller and are only read.

// Shapiro-Wilk W (Royston's AS R94 coefficients) of the sample that values
// (ascending) and weights describe; n is the number of entries. NaN when the
// sample holds fewer than 3 or more than 5,000 observations, or when its
// range is 0. Values out of order are sorted in a private copy.
double ds_shapiro_wilk(const double *values, const int32_t *weights, int64_t n) noexcept;

// W of a sample of n as a standard normal score: the z whose upper tail is
// ds_p_value_shapiro_wilk(w, n). +infinity where that p-value is 0.
double ds_shapiro_wilk_z_score(double w, int64_t n) noexcept;

// sup |F_n(x) - F(x)| of the weighted empirical distribution of values
// (ascending; ties may repeat) against the normal (mean, sd) or the uniform
// (min, max) distribution. NaN when no entry has weight, sd <= 0 or
// max <= min. Values out of order are sorted in a private copy.
double ds_kolmogorov_smirnov_normal(const double *values, const int32_t *weights, int64_t n,
                                    double mean, double sd) noexcept;
double ds_kolmogorov_smirnov_uniform(const double *values, const int32_t *weights, int64_t n,
                                     double min, double max) noexcept;

// Kiefer's k-sample statistic T = sup_x sum_j n_j (F_j(x) - F(x))^2 of n
// entries, entry i being values[i] in group groups[i] (0 <= groups[i] <
// group_count) with weight weights[i]; F_j is group j's weighted empirical
// distribution, n_j its total weight, F the pooled one. The entries may come
// in any order and repeat a (value, group) pair: only the multiset counts,
// so one entry per row in ascending order and one entry per tied run with
// its summed weight give the same T. Groups without weight take no part.
// NaN when an entry names a group outside the range, when fewer than two
// groups have weight, or when a value is NaN.
double ds_kolmogorov_smirnov_k_sample(const double *values, const int32_t *groups,
                                      const int32_t *weights, int64_t n,
                                      int64_t group_count) noexcept;

// ---- confidence intervals --------------------------------------------------

// Wilson score interval of the proportion count / total at significance level
// (R's prop.test(count, total, correct = FALSE)). NaN bounds unless
// 0 <= count <= total, total > 0 and 0 <= level <= 1.
void ds_multinomial_confidence_interval(int64_t count, int64_t total, double level,
                                        double out[2]) noexcept;

// Exact (Garwood) interval of a Poisson count at the confidence level, as R's
// poisson.test: [qgamma(a/2, count), qgamma(1 - a/2, count + 1)] with
// a = 1 - confidence, the lower bound 0 for a count of 0. A count need not be
// whole (weighted counts). NaN bounds for a negative count or a confidence
// outside [0, 1].
void ds_poisson_confidence_interval(double count, double confidence, double out[2]) noexcept;

// Two-sided t interval mean +/- q x standard_error at the confidence level with
// df degrees of freedom, q being the t quantile at (1 + confidence) / 2.
// Returns q, which depends only on df and confidence: a caller may keep it and
// pass it back as cached_quantile to skip the quantile (NaN: compute it).
double ds_confidence_interval_t(double mean, double standard_error, double confidence,
                                double cached_quantile, int64_t df, double out[2]) noexcept;

// Two-sided normal interval estimate +/- z x standard_error at the confidence
// level; returns z.
double ds_confidence_interval_z(double estimate, double standard_error, double confidence,
                                double out[2]) noexcept;
