#include "stats/ds_rank_tests.h"

#include "model/util/ds_row_weight.h"
#include "model/util/ds_sort.h"
#include "platform/dispatch/ds_parallel_for.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

namespace {

constexpr uint64_t chunk_count = 24;
constexpr double not_a_number = std::numeric_limits<double>::quiet_NaN();

// Each sorted entry's weighted mid-rank (ranks from 0), stored at the
// entry's original position; returns the total weight.
int64_t weighted_mid_ranks(const double *sorted, const int32_t *order, const int32_t *weights, int64_t count,
                           double *ranks)
{
    int64_t passed = 0;
    for (int64_t start = 0; start < count;) {
        int64_t end = start;
        int64_t run = 0;
        // NaN never equals, so a NaN would form a run of its own.
        do
            run += weights ? weights[order[end]] : 1;
        while (++end < count && sorted[end] == sorted[start]);
        const double rank = double(passed) + double(run - 1) / 2;
        for (int64_t i = start; i < end; ++i)
            ranks[order[i]] = rank;
        passed += run;
        start = end;
    }
    return passed;
}

struct GroupSums
{
    std::vector<int64_t> counts;
    std::vector<double> rank_sums;
    double squares = 0;
};

}  // namespace

double ds_kruskal_wallis(const double *values, const int32_t *groups, const int32_t *weights, int64_t count,
                         int64_t group_count, int64_t *df)
{
    if (count <= 0 || group_count <= 0)
        return not_a_number;
    std::vector<double> sorted(values, values + count);
    std::vector<int32_t> order(static_cast<size_t>(count));
    std::iota(order.begin(), order.end(), 0);
    ds_sort(sorted.data(), order.data(), count);
    std::vector<double> ranks(static_cast<size_t>(count));
    const int64_t total = weighted_mid_ranks(sorted.data(), order.data(), weights, count, ranks.data());
    sorted = {};
    order = {};
    const double mean_rank = double(total - 1) / 2;

    std::vector<GroupSums> chunks(chunk_count);
    ds_parallel_for(chunk_count, uint64_t(count), [&](uint64_t c, int64_t first, int64_t end) {
        GroupSums &sums = chunks[c];
        sums.counts.assign(size_t(group_count), 0);
        sums.rank_sums.assign(size_t(group_count), 0);
        for (int64_t i = first; i < end; ++i) {
            const int32_t w = weights ? weights[i] : 1;
            const double rank = ranks[size_t(i)];
            sums.counts[size_t(groups[i])] += w;
            sums.rank_sums[size_t(groups[i])] += w * rank;
            sums.squares += w * (rank - mean_rank) * (rank - mean_rank);
        }
    });
    double between = 0;
    double squares = 0;
    int64_t used = 0;
    for (int64_t g = 0; g < group_count; ++g) {
        int64_t n = 0;
        double r = 0;
        for (const GroupSums &sums : chunks)
            if (!sums.counts.empty()) {
                n += sums.counts[size_t(g)];
                r += sums.rank_sums[size_t(g)];
            }
        if (n == 0)
            continue;
        ++used;
        between += double(n) * (r / double(n) - mean_rank) * (r / double(n) - mean_rank);
    }
    for (const GroupSums &sums : chunks)
        squares += sums.squares;
    if (df)
        *df = used - 1;
    return double(total - 1) * between / squares;
}

double ds_friedman(const double *const *columns, int64_t k, int64_t rows, const uint8_t *mask,
                   int64_t mask_length, const int32_t *weights, int64_t num_weights, int64_t *df1, int64_t *df2)
{
    if (k < 2)
        return not_a_number;
    struct Sums
    {
        std::vector<double> ranks;
        double squares = 0;
        int64_t weight = 0;
    };
    std::vector<Sums> chunks(chunk_count);
    ds_parallel_for(chunk_count, uint64_t(rows), [&](uint64_t c, int64_t first, int64_t end) {
        Sums &sums = chunks[c];
        sums.ranks.assign(size_t(k), 0);
        std::vector<double> row(static_cast<size_t>(k));
        std::vector<int32_t> column(static_cast<size_t>(k));
        for (int64_t r = first; r < end; ++r) {
            if (!ds_row_admitted(mask, mask_length, r))
                continue;
            const int32_t w = ds_row_weight(r, weights, num_weights);
            for (int64_t j = 0; j < k; ++j) {
                row[size_t(j)] = columns[j][r];
                column[size_t(j)] = int32_t(j);
            }
            ds_quicksort_range(row.data(), column.data(), k);
            for (int64_t p = 0; p < k;) {
                int64_t q = p + 1;
                while (q < k && row[size_t(q)] == row[size_t(p)])
                    ++q;
                const double rank = double(p + 1) + double(q - p - 1) / 2;
                for (int64_t i = p; i < q; ++i) {
                    sums.ranks[size_t(column[size_t(i)])] += w * rank;
                    sums.squares += w * rank * rank;
                }
                p = q;
            }
            sums.weight += w;
        }
    });
    double a = 0;
    double n = 0;
    std::vector<double> rank_sums(size_t(k), 0);
    for (const Sums &sums : chunks) {
        a += sums.squares;
        n += double(sums.weight);
        for (int64_t j = 0; j < int64_t(sums.ranks.size()); ++j)
            rank_sums[size_t(j)] += sums.ranks[size_t(j)];
    }
    double b = 0;
    for (double r : rank_sums)
        b += r * r;
    b /= n;
    const double kd = double(k);
    if (df1)
        *df1 = k - 1;
    if (df2)
        *df2 = (k - 1) * (int64_t(n) - 1);
    return (n - 1) * (b - n * kd * (kd + 1) * (kd + 1) / 4) / (a - b);
}
