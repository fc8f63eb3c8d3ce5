#include "model/ds_time_stats.h"

#include "model/ds_time_units.h"
#include "model/util/ds_corr.h"
#include "model/util/ds_moments.h"
#include "model/util/ds_quantiles.h"
#include "model/util/ds_row_weight.h"
#include "platform/dispatch/ds_parallel_for.h"
#include "platform/sterna/sterna.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace {

constexpr double kDay = 86400.0;

int32_t weightOf(const ds_time_rows_s &rows, int64_t row)
{
    return ds_row_weight(row, rows.weights, rows.num_weights);
}

// The running minimum and maximum: NaN until the first candidate.
void keepMin(double &m, double x)
{
    if (std::isnan(m) || x < m)
        m = x;
}

void keepMax(double &m, double x)
{
    if (std::isnan(m) || x > m)
        m = x;
}

// Whole seconds since midnight, in [0, 86400). The value is floored, not
// truncated, to whole seconds: truncating would move a time before 2001
// with a fraction of a second to the next second of the clock. Exact for
// whole seconds below 2^53, and without fmod, which would cost more than
// the rest of the row.
double timeOfDay(double v)
{
    const double t = std::floor(v);
    return t - std::floor(t / kDay) * kDay;
}

// The quartiles and (with the bit) the median absolute deviation of the
// used rows' values.
void addQuartiles(const ds_time_rows_s &rows, const uint8_t *mask, int64_t mask_length, uint64_t options,
                  ds_time_stats_s &s)
{
    std::vector<double> values;
    std::vector<int32_t> weights;
    try {
        values.reserve(size_t(rows.count));
        if (rows.weights)
            weights.reserve(size_t(rows.count));
    } catch (const std::bad_alloc &) {
        return;
    }
    for (int64_t row = 0; row < rows.count; ++row) {
        if (!ds_row_admitted(mask, mask_length, row) || ds_time_row_missing(rows, row))
            continue;
        values.push_back(rows.values[row]);
        if (rows.weights)
            weights.push_back(weightOf(rows, row));
    }
    int32_t *w = rows.weights ? weights.data() : nullptr;
    double cut[5];
    ds_quantiles(values.data(), w, int64_t(values.size()), cut, 4, true);
    s.q1_start = cut[1];
    s.med_start = cut[2];
    s.q3_start = cut[3];
    if (!(options & ds_time_stats_mad))
        return;
    for (double &v : values)
        v = std::fabs(v - s.med_start);
    ds_quantiles(values.data(), w, int64_t(values.size()), cut, 2, true);
    s.mad = cut[1];
}

} // namespace

ds_time_stats_s ds_time_stats(const ds_time_rows_s &rows, const uint8_t *mask, int64_t mask_length, uint64_t options)
{
    ds_time_stats_s s;
    if (!(options & ds_time_stats_basic))
        return s;
    std::array<ds_time_stats_s, ds_row_chunks> parts;
    ds_parallel_for(ds_row_chunks, uint64_t(std::max<int64_t>(rows.count, 0)), [&](uint64_t chunk, int64_t first, int64_t end) {
        ds_time_stats_s &p = parts[chunk];
        for (int64_t row = first; row < end; ++row) {
            if (!ds_row_admitted(mask, mask_length, row))
                continue;
            const int32_t w = weightOf(rows, row);
            p.count += w;
            if (ds_time_row_missing(rows, row)) {
                p.missing_count += w;
                continue;
            }
            const double v = rows.values[row];
            const double d = rows.intervals ? rows.intervals[row] : 0;
            keepMin(p.min_start, v);
            keepMax(p.max_start, v);
            keepMax(p.max_end, v + d);
            keepMin(p.min_interval, d);
            keepMax(p.max_interval, d);
            if (d < kDay) {
                const double clock = timeOfDay(v);
                keepMin(p.min_start_time_of_day, clock);
                keepMax(p.max_start_time_of_day, clock);
            }
        }
    });
    for (const ds_time_stats_s &p : parts) {
        s.count += p.count;
        s.missing_count += p.missing_count;
        if (!std::isnan(p.min_start)) {
            keepMin(s.min_start, p.min_start);
            keepMax(s.max_start, p.max_start);
            keepMax(s.max_end, p.max_end);
            keepMin(s.min_interval, p.min_interval);
            keepMax(s.max_interval, p.max_interval);
        }
        if (!std::isnan(p.min_start_time_of_day)) {
            keepMin(s.min_start_time_of_day, p.min_start_time_of_day);
            keepMax(s.max_start_time_of_day, p.max_start_time_of_day);
        }
    }
    s.total_interval = s.max_end - s.min_start;
    if (s.count != 0 && (options & ds_time_stats_quartile_bits))
        addQuartiles(rows, mask, mask_length, options, s);
    return s;
}

ds_gregorian_stats_s ds_gregorian_stats(const ds_time_stats_s &stats)
{
    auto dateOf = [](double t) { return std::isfinite(t) ? ds_gmt_date(t) : ds_gmt_date_none(); };
    ds_gregorian_stats_s g;
    g.min_start = dateOf(stats.min_start);
    g.max_start = dateOf(stats.max_start);
    g.max_end = dateOf(stats.max_end);
    g.min_start_time_of_day = dateOf(stats.min_start_time_of_day);
    g.max_start_time_of_day = dateOf(stats.max_start_time_of_day);
    g.min_interval = stats.min_interval;
    g.max_interval = stats.max_interval;
    g.total_interval = stats.total_interval;
    g.count = stats.count;
    g.missing_count = stats.missing_count;
    return g;
}

int64_t ds_time_bucket_count(const ds_time_stats_s &stats, int64_t unit)
{
    if (unit <= ds_time_unit_second || unit >= ds_time_unit_count || !std::isfinite(stats.min_start)
        || !std::isfinite(stats.max_start))
        return 0;
    ds_gmt_units_s step;
    const double first = ds_gmt_absolute_time(ds_gregorian_truncate(ds_gmt_date(stats.min_start), unit, &step));
    const double last = ds_gmt_absolute_time(ds_gregorian_truncate(ds_gmt_date(stats.max_start), unit, nullptr));
    const double end = ds_gmt_add_units(last, step);
    const ds_gmt_unit base = ds_gmt_unit_for_calendar_flag(ds_time_unit_calendar_flag(unit));
    return std::max<int64_t>(ds_gmt_units_between(first, end, base) / ds_time_units[unit].multiplier, 0);
}

void ds_time_bin_limits(double *limits, int64_t count, int64_t unit, double start)
{
    for (int64_t j = 0; j < count; ++j) {
        limits[2 * j] = ds_gmt_add_units(start, ds_gregorian_units(unit, j));
        limits[2 * j + 1] = ds_gmt_add_units(start, ds_gregorian_units(unit, j + 1));
    }
}

namespace {

// The first period whose end is after v (the last for v at or past the last
// end), starting from a probe interpolated between the first start and the
// last end, so evenly spread times find theirs in about one step.
int64_t periodOf(const std::vector<double> &ends, double first, double v)
{
    const int64_t n = int64_t(ends.size());
    const double span = ends.back() - first;
    double guess = span > 0 ? double(n - 1) * (v - first) / span : 0;
    guess = std::clamp(guess, 0.0, double(n - 1));
    const int64_t p = int64_t(guess);
    if (ends[p] > v) {
        if (p == 0 || ends[p - 1] <= v)
            return p;
        return std::upper_bound(ends.begin(), ends.begin() + p, v) - ends.begin();
    }
    return std::min<int64_t>(std::upper_bound(ends.begin() + p + 1, ends.end(), v) - ends.begin(), n - 1);
}

} // namespace

void ds_time_period_counts(const ds_time_rows_s &rows, const uint8_t *mask, int64_t mask_length,
                           const ds_time_stats_s &stats, int64_t unit, const int32_t *group_index,
                           int64_t groups, double *counts, double *limits)
{
    const int64_t n = ds_time_bucket_count(stats, unit);
    if (n <= 0 || groups <= 0)
        return;
    std::vector<double> own(limits ? 0 : size_t(2 * n));
    double *lim = limits ? limits : own.data();
    const double first = ds_time_floor(unit, nullptr, stats.min_start);
    ds_time_bin_limits(lim, n, unit, first);
    std::vector<double> ends(static_cast<size_t>(n));
    for (int64_t j = 0; j < n; ++j)
        ends[size_t(j)] = lim[2 * j + 1];

    const size_t cells = size_t(groups * n);
    std::vector<std::vector<double>> parts(ds_row_chunks);
    ds_parallel_for(ds_row_chunks, uint64_t(std::max<int64_t>(rows.count, 0)), [&](uint64_t chunk, int64_t from, int64_t end) {
        std::vector<double> &part = parts[chunk];
        if (from >= end)
            return;
        part.assign(cells, 0.0);
        for (int64_t row = from; row < end; ++row) {
            if (!ds_row_admitted(mask, mask_length, row) || ds_time_row_missing(rows, row))
                continue;
            const int64_t g = group_index ? group_index[row] : 0;
            if (g < 0 || g >= groups)
                continue;
            part[size_t(g * n + periodOf(ends, first, rows.values[row]))] += weightOf(rows, row);
        }
    });
    std::fill(counts, counts + cells, 0.0);
    for (const std::vector<double> &part : parts)
        for (size_t i = 0; i < part.size(); ++i)
            counts[i] += part[i];
}

namespace {

// Weighted moments of the times taken by mask and not missing, and per
// chunk whatever `each` adds for those rows, merged in chunk order.
template <class Part, class Each>
void chunkedRows(const ds_time_rows_s &rows, int64_t count, const uint8_t *mask, int64_t mask_length,
                 std::array<Part, ds_row_chunks> &parts, const Each &each)
{
    ds_parallel_for(ds_row_chunks, uint64_t(std::max<int64_t>(count, 0)), [&](uint64_t chunk, int64_t from, int64_t end) {
        for (int64_t row = from; row < end; ++row)
            if (ds_row_admitted(mask, mask_length, row) && !ds_time_row_missing(rows, row))
                each(parts[chunk], row, double(weightOf(rows, row)));
    });
}

} // namespace

ds_corr_s ds_time_correlation(const ds_time_rows_s &a, const ds_time_rows_s &b, const uint8_t *mask,
                              int64_t mask_length)
{
    std::array<ds_comoments_s, ds_row_chunks> parts;
    for (ds_comoments_s &p : parts)
        ds_comoments_init(&p);
    chunkedRows(a, std::min(a.count, b.count), mask, mask_length, parts,
                [&](ds_comoments_s &p, int64_t row, double w) {
                    if (!ds_time_row_missing(b, row))
                        ds_comoments_add(&p, a.values[row], b.values[row], w);
                });
    ds_comoments_s all;
    ds_comoments_init(&all);
    for (const ds_comoments_s &p : parts)
        ds_comoments_merge(&all, &p);
    ds_corr_s c{};
    c.count = int64_t(all.weight);
    c.covariance = ds_comoments_covariance_unbiased(&all);
    ds_corr_finish(&c, ds_comoments_correlation(&all));
    return c;
}

namespace {

// Per chunk: the moments of the times, and per category the weight and the
// weighted sum of the times' deviations from a fixed shift (so that sums of
// values near 7 x 10^8 keep their digits).
struct CategoryPart
{
    ds_moments_s moments;
    std::vector<double> weight, shifted;
};

// The first value a correlation reads, as the shift of its sums.
double shiftOf(const ds_time_rows_s &rows, int64_t count)
{
    for (int64_t row = 0; row < count; ++row)
        if (!ds_time_row_missing(rows, row))
            return rows.values[row];
    return 0;
}

// Moments and per-category sums of the rows whose index is below k.
ds_moments_s categorySums(const ds_time_rows_s &rows, const int32_t *indexed, int64_t count, int64_t k,
                          const uint8_t *mask, int64_t mask_length, double shift, std::vector<double> &weight,
                          std::vector<double> &shifted)
{
    std::array<CategoryPart, ds_row_chunks> parts;
    for (CategoryPart &p : parts) {
        ds_moments_init(&p.moments);
        p.weight.assign(size_t(k), 0.0);
        p.shifted.assign(size_t(k), 0.0);
    }
    chunkedRows(rows, count, mask, mask_length, parts, [&](CategoryPart &p, int64_t row, double w) {
        const int64_t j = indexed[row];
        if (j < 0 || j >= k)
            return;
        ds_moments_add(&p.moments, rows.values[row], w);
        p.weight[size_t(j)] += w;
        p.shifted[size_t(j)] += w * (rows.values[row] - shift);
    });
    ds_moments_s all;
    ds_moments_init(&all);
    weight.assign(size_t(k), 0.0);
    shifted.assign(size_t(k), 0.0);
    for (const CategoryPart &p : parts) {
        ds_moments_merge(&all, &p.moments);
        for (int64_t j = 0; j < k; ++j) {
            weight[size_t(j)] += p.weight[size_t(j)];
            shifted[size_t(j)] += p.shifted[size_t(j)];
        }
    }
    return all;
}

// The correlation of the times with the indicator of one category of
// weight W and shifted sum S among n rows of moments m: cov = S / n -
// (mean - shift) q, q = W / n; the covariance field is cov x scale.
ds_corr_s categoryCorrelation(const ds_moments_s &m, double shift, double W, double S, double scale)
{
    ds_corr_s c{};
    const double n = m.weight;
    c.count = int64_t(n);
    const double q = W / n;
    const double cov = S / n - ((m.mean - shift) + m.mean_low) * q;
    const double V = ds_moments_variance_biased(&m);
    c.covariance = cov * scale;
    const double r = V != 0 && q * (1 - q) != 0 ? cov / (std::sqrt(q * (1 - q)) * std::sqrt(V)) : NAN;
    ds_corr_finish(&c, r);
    return c;
}

} // namespace

namespace {

// The correlation with the indicator of a category; the covariance field
// scaled to denominator n - 1 when unbiased.
ds_corr_s oneCategoryCorrelation(const ds_time_rows_s &rows, const int32_t *indexed, int64_t num_indexed,
                                 int64_t category, const uint8_t *mask, int64_t mask_length, bool unbiased)
{
    // Two classes: the category (0) and every other row (1).
    const int64_t count = std::min(rows.count, num_indexed);
    std::vector<int32_t> inCategory(static_cast<size_t>(std::max<int64_t>(count, 0)));
    for (int64_t row = 0; row < count; ++row)
        inCategory[size_t(row)] = indexed[row] == category ? 0 : 1;
    const double shift = shiftOf(rows, count);
    std::vector<double> weight, shifted;
    const ds_moments_s m =
        categorySums(rows, inCategory.data(), count, 2, mask, mask_length, shift, weight, shifted);
    return categoryCorrelation(m, shift, weight[0], shifted[0], unbiased ? m.weight / (m.weight - 1) : 1.0);
}

} // namespace

ds_corr_s ds_time_category_correlation(const ds_time_rows_s &rows, const int32_t *indexed, int64_t num_indexed,
                                       int64_t category, const uint8_t *mask, int64_t mask_length)
{
    return oneCategoryCorrelation(rows, indexed, num_indexed, category, mask, mask_length, false);
}

ds_corr_s ds_category_correlation(const ds_time_rows_s &rows, const int32_t *indexed, int64_t num_indexed,
                                  int64_t category, const uint8_t *mask, int64_t mask_length)
{
    return oneCategoryCorrelation(rows, indexed, num_indexed, category, mask, mask_length, true);
}

ds_corr_s ds_point_biserial_correlation(const ds_time_rows_s &rows, const int32_t *classes, int64_t num_classes,
                                        const uint8_t *mask, int64_t mask_length)
{
    const int64_t count = std::min(rows.count, num_classes);
    const double shift = shiftOf(rows, count);
    std::vector<double> weight, shifted;
    const ds_moments_s m = categorySums(rows, classes, count, 2, mask, mask_length, shift, weight, shifted);
    return categoryCorrelation(m, shift, weight[0], shifted[0], m.weight / (m.weight - 1));
}

bool ds_time_multiple_correlations(const ds_time_rows_s &rows, const int32_t *indexed, ds_corr_s *out, int64_t k,
                                   const uint8_t *mask, int64_t mask_length)
{
    if (k < 1 || !out)
        return false;
    const double shift = shiftOf(rows, rows.count);
    std::vector<double> weight, shifted;
    const ds_moments_s m = categorySums(rows, indexed, rows.count, k, mask, mask_length, shift, weight, shifted);
    const double n = m.weight;
    for (int64_t j = 0; j < k; ++j)
        out[j] = categoryCorrelation(m, shift, weight[size_t(j)], shifted[size_t(j)], n / (n - 1));
    return true;
}
