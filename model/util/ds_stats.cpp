#include "model/util/ds_stats.h"

#include "model/util/ds_moments.h"
#include "model/util/ds_quantiles.h"
#include "platform/dispatch/ds_parallel_for.h"

#include <cmath>
#include <limits>
#include <memory>
#include <new>
#include <vector>

namespace {

const double nan_value = std::numeric_limits<double>::quiet_NaN();

// Values a chunk collects before handing them to the moments in one block.
constexpr int block_length = 512;

// One column's rows.
struct column_reader {
    const ds_numeric_rows_s &rows;
    double value(int64_t row) const { return rows.values[row]; }
    bool missing(int64_t row) const { return ds_row_marked_missing(rows, row); }
    int32_t weight(int64_t row) const { return ds_row_frequency(rows, row); }
};

// The differences of two columns of one length, weighted by the first.
struct difference_reader {
    const ds_numeric_rows_s &a, &b;
    double value(int64_t row) const { return a.values[row] - b.values[row]; }
    bool missing(int64_t row) const { return ds_row_marked_missing(a, row) || ds_row_marked_missing(b, row); }
    int32_t weight(int64_t row) const { return ds_row_frequency(a, row); }
};

// Calls used(row, value, weight) for each row of [first, end) that the mask
// takes and that is not missing, in row order; returns the total weight of
// the taken rows that are missing.
template <class Reader, class Used>
int64_t visit_rows(const Reader &reader, const uint8_t *mask, int64_t mask_length, int64_t first,
                   int64_t end, Used &&used)
{
    int64_t missing = 0;
    for (int64_t row = first; row < end; ++row) {
        if (!ds_row_admitted(mask, mask_length, row))
            continue;
        const int32_t w = reader.weight(row);
        const double x = reader.value(row);
        if (std::isnan(x) || reader.missing(row)) {
            missing += w;
            continue;
        }
        used(row, x, w);
    }
    return missing;
}

// What one chunk of the row pass hands to the merge.
struct chunk_partial {
    ds_moments_s moments;
    int64_t count;    // weight of the rows used
    int64_t missing;  // weight of the taken rows that are missing
    int64_t entries;  // rows used whose weight is above 0
};

template <class Reader>
chunk_partial stats_chunk(const Reader &reader, const uint8_t *mask, int64_t mask_length,
                          int64_t first, int64_t end, bool want_moments)
{
    chunk_partial p = {};
    ds_moments_init(&p.moments);
    double xs[block_length], ws[block_length];
    int k = 0;
    p.missing = visit_rows(reader, mask, mask_length, first, end, [&](int64_t, double x, int32_t w) {
        p.count += w;
        if (w <= 0)
            return;
        ++p.entries;
        if (!want_moments)
            return;
        xs[k] = x;
        ws[k] = w;
        if (++k == block_length) {
            ds_moments_add_values(&p.moments, xs, ws, k);
            k = 0;
        }
    });
    ds_moments_add_values(&p.moments, xs, ws, k);
    return p;
}

// Copies the used rows of weight above 0, in row order, into values (and
// their weights into weights when it is not NULL); each chunk writes from
// its offset, the number of entries of the chunks before it.
template <class Reader>
void gather_chunks(const Reader &reader, const uint8_t *mask, int64_t mask_length, int64_t rows,
                   const int64_t *offsets, double *values, int32_t *weights)
{
    ds_parallel_for(ds_row_chunks, uint64_t(rows), [&](uint64_t chunk, int64_t first, int64_t end) {
        int64_t at = offsets[chunk];
        visit_rows(reader, mask, mask_length, first, end, [&](int64_t, double x, int32_t w) {
            if (w <= 0)
                return;
            values[at] = x;
            if (weights)
                weights[at] = w;
            ++at;
        });
    });
}

void fill_moments(ds_stats_s *out, const ds_moments_s &m, uint64_t options)
{
    if (out->count <= 0)
        return;
    if (options & ds_stats_extremes) {
        out->min = m.min;
        out->max = m.max;
    }
    if (options & ds_stats_moments) {
        out->avg = m.mean;
        out->var_biased = ds_moments_variance_biased(&m);
        out->var_unbiased = ds_moments_variance_unbiased(&m);
    }
}

void fill_quartiles(ds_stats_s *out, double *values, int32_t *weights, int64_t entries,
                    uint64_t options)
{
    double q[4];
    ds_quartiles_and_mad(values, weights, entries, options & ds_stats_mad, q);
    out->q1 = q[0];
    out->med = q[1];
    out->q3 = q[2];
    if (options & ds_stats_mad)
        out->mad = q[3];
}

template <class Reader>
ds_stats_s stats_of(const Reader &reader, int64_t rows, bool weighted, const uint8_t *mask,
                    int64_t mask_length, uint64_t options)
{
    ds_stats_s out = ds_stats_empty();
    const bool want_moments = options & (ds_stats_extremes | ds_stats_moments);
    chunk_partial partial[ds_row_chunks];
    ds_parallel_for(ds_row_chunks, uint64_t(rows), [&](uint64_t chunk, int64_t first, int64_t end) {
        partial[chunk] = stats_chunk(reader, mask, mask_length, first, end, want_moments);
    });

    ds_moments_s moments;
    ds_moments_init(&moments);
    int64_t offsets[ds_row_chunks], entries = 0;
    for (uint64_t c = 0; c < ds_row_chunks; ++c) {
        out.count += partial[c].count;
        out.missing += partial[c].missing;
        ds_moments_merge(&moments, &partial[c].moments);
        offsets[c] = entries;
        entries += partial[c].entries;
    }
    fill_moments(&out, moments, options);

    if (!(options & ds_stats_quartiles) || out.count <= 0)
        return out;
    std::unique_ptr<double[]> values(new (std::nothrow) double[size_t(entries)]);
    std::unique_ptr<int32_t[]> weights(weighted ? new (std::nothrow) int32_t[size_t(entries)] : nullptr);
    if (!values || (weighted && !weights))
        return out;
    gather_chunks(reader, mask, mask_length, rows, offsets, values.get(), weights.get());
    fill_quartiles(&out, values.get(), weights.get(), entries, options);
    return out;
}

}  // namespace

ds_stats_s ds_stats_empty()
{
    return {nan_value, nan_value, nan_value, nan_value, nan_value, nan_value, nan_value, nan_value, nan_value, nan_value, nan_value, 0, 0};
}

ds_stats_s ds_calculate_stats(const ds_numeric_rows_s *rows, const uint8_t *mask,
                              int64_t mask_length, uint64_t options)
{
    return stats_of(column_reader{*rows}, rows->count, rows->weights != nullptr, mask, mask_length,
                    options);
}

ds_stats_s ds_calculate_difference_stats(const ds_numeric_rows_s *a, const ds_numeric_rows_s *b,
                                         const uint8_t *mask, int64_t mask_length,
                                         uint64_t options)
{
    if (a->count != b->count)
        return ds_stats_empty();
    return stats_of(difference_reader{*a, *b}, a->count, a->weights != nullptr, mask, mask_length,
                    options);
}

void ds_calculate_multiple_stats(ds_stats_s *results, int64_t group_count,
                                 const int32_t *group_index, const ds_numeric_rows_s *rows,
                                 const uint8_t *mask, int64_t mask_length, uint64_t options)
{
    if (group_count <= 0)
        return;
    for (int64_t g = 0; g < group_count; ++g)
        results[g] = ds_stats_empty();
    if (!group_index)
        return;

    const column_reader reader{*rows};
    std::vector<ds_moments_s> moments;
    // entries[g + 1]: rows of weight above 0 in group g, then where group
    // g + 1 starts in the gathered copy.
    std::vector<int64_t> entries;
    try {
        moments.resize(size_t(group_count));
        entries.assign(size_t(group_count) + 1, 0);
    } catch (const std::bad_alloc &) {
        return;
    }
    for (ds_moments_s &m : moments)
        ds_moments_init(&m);
    for (int64_t row = 0; row < rows->count; ++row) {
        const int32_t g = group_index[row];
        if (g < 0 || g >= group_count || !ds_row_admitted(mask, mask_length, row))
            continue;
        const int32_t w = reader.weight(row);
        const double x = reader.value(row);
        if (std::isnan(x) || reader.missing(row)) {
            results[g].missing += w;
            continue;
        }
        results[g].count += w;
        ds_moments_add(&moments[size_t(g)], x, w);
        entries[size_t(g) + 1] += w > 0;
    }
    for (int64_t g = 0; g < group_count; ++g)
        fill_moments(&results[g], moments[size_t(g)], options);
    if (!(options & ds_stats_quartiles))
        return;

    for (int64_t g = 0; g < group_count; ++g)
        entries[size_t(g) + 1] += entries[size_t(g)];
    const int64_t total = entries[size_t(group_count)];
    const bool weighted = rows->weights != nullptr;
    std::vector<double> values;
    std::vector<int32_t> weights;
    std::vector<int64_t> next;
    try {
        values.resize(size_t(total));
        weights.resize(weighted ? size_t(total) : 0);
        next.assign(entries.begin(), entries.end() - 1);
    } catch (const std::bad_alloc &) {
        return;
    }
    visit_rows(reader, mask, mask_length, 0, rows->count, [&](int64_t row, double x, int32_t w) {
        const int32_t g = group_index[row];
        if (g < 0 || g >= group_count || w <= 0)
            return;
        const int64_t at = next[size_t(g)]++;
        values[size_t(at)] = x;
        if (weighted)
            weights[size_t(at)] = w;
    });
    for (int64_t g = 0; g < group_count; ++g) {
        const int64_t first = entries[size_t(g)];
        if (results[g].count > 0)
            fill_quartiles(&results[g], values.data() + first, weighted ? weights.data() + first : nullptr,
                           entries[size_t(g) + 1] - first, options);
    }
}

void ds_quartiles_and_mad(double *values, int32_t *weights, int64_t count, bool want_mad,
                          double out[4])
{
    double cut[5];
    ds_quantiles(values, weights, count, cut, 4, true);
    out[0] = cut[1];
    out[1] = cut[2];
    out[2] = cut[3];
    out[3] = nan_value;
    if (!want_mad || std::isnan(out[1]))
        return;
    const double median = out[1];
    ds_parallel_for(ds_row_chunks, uint64_t(count), [&](uint64_t, int64_t first, int64_t end) {
        for (int64_t i = first; i < end; ++i)
            values[i] = std::fabs(values[i] - median);
    });
    double half[3];
    ds_quantiles(values, weights, count, half, 2, true);
    out[3] = half[1];
}

int64_t ds_distinct_quantile_cuts(const double *sorted, const int32_t *weights, int64_t count,
                                  int k, double *out)
{
    if (k < 2 || count <= 0)
        return 0;
    std::vector<double> cut(size_t(k) + 1);
    ds_sorted_quantiles(sorted, weights, count, cut.data(), k);
    int64_t written = 0;
    for (int i = 1; i < k; ++i) {
        if (std::isnan(cut[size_t(i)]))
            return 0;
        if (written == 0 || cut[size_t(i)] != out[written - 1])
            out[written++] = cut[size_t(i)];
    }
    return written;
}
