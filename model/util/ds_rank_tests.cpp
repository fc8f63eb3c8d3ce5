#include "model/util/ds_rank_tests.h"

#include "model/util/ds_row_weight.h"
#include "model/util/ds_sort.h"
#include "platform/dispatch/ds_parallel_for.h"
#include "platform/sterna/sterna.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

namespace {

constexpr uint64_t chunk_count = 24;
constexpr double not_a_number = std::numeric_limits<double>::quiet_NaN();

// Each sorted entry's weighted mid-rank (ranks from 0), stored at the
// entry's original position order[i] (order NULL: the entries are in their
// own order); returns the total weight.
int64_t weighted_mid_ranks(const double *sorted, const int32_t *order, const int32_t *weights, int64_t count,
                           double *ranks)
{
    const auto at = [order](int64_t i) { return order ? int64_t(order[i]) : i; };
    int64_t passed = 0;
    for (int64_t start = 0; start < count;) {
        int64_t end = start;
        int64_t run = 0;
        // NaN never equals, so a NaN would form a run of its own.
        do
            run += weights ? weights[at(end)] : 1;
        while (++end < count && sorted[end] == sorted[start]);
        const double rank = double(passed) + double(run - 1) / 2;
        for (int64_t i = start; i < end; ++i)
            ranks[at(i)] = rank;
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

// H of ranked entries (total weight total): the weighted rank sums of the
// groups in 24 chunks, summed in chunk order.
double kruskal_wallis_of_ranks(const std::vector<double> &ranks, const int32_t *groups, const int32_t *weights,
                               int64_t total, int64_t group_count, int64_t *df)
{
    const int64_t count = int64_t(ranks.size());
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
    return kruskal_wallis_of_ranks(ranks, groups, weights, total, group_count, df);
}

double ds_kruskal_wallis_sorted(const double *sorted, const int32_t *groups, const int32_t *weights, int64_t count,
                                int64_t group_count, int64_t *df)
{
    if (count <= 0 || group_count <= 0)
        return not_a_number;
    std::vector<double> ranks(static_cast<size_t>(count));
    const int64_t total = weighted_mid_ranks(sorted, nullptr, weights, count, ranks.data());
    return kruskal_wallis_of_ranks(ranks, groups, weights, total, group_count, df);
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

namespace {

// The largest number of groups a 4-bit code holds.
constexpr int64_t packed_group_limit = 16;

// Two rows to a byte, the even row in the low half; a row that takes no
// part is marked in `used` as 0.
void pack_groups(const int32_t *groups, int64_t rows, int64_t group_count, const uint8_t *mask, int64_t mask_length,
                 const uint8_t *missing, int64_t missing_length, std::vector<uint8_t> &packed,
                 std::vector<uint8_t> &used)
{
    packed.assign(size_t((rows + 1) / 2), 0);
    used.assign(size_t(rows), 0);
    // Chunks of even length never share a packed byte.
    ds_parallel_for_aligned(chunk_count, uint64_t(rows), 64, [&](uint64_t, int64_t first, int64_t end) {
        for (int64_t r = first; r < end; ++r) {
            const int32_t g = groups[r];
            const bool valid = g >= 0 && g < group_count;
            used[size_t(r)] = valid && ds_row_admitted(mask, mask_length, r) &&
                              !(missing && ds_row_admitted(missing, missing_length, r));
            if (valid)
                packed[size_t(r / 2)] |= uint8_t(g << (4 * (r & 1)));
        }
    });
}

// The group of every sorted position, one byte each; 0xff for a position
// whose row takes no part.
void ds_unpack_groups_chunk(const int32_t *rows, int64_t first, int64_t end, int64_t num_group_rows,
                            const std::vector<uint8_t> &packed, const std::vector<uint8_t> &used, uint8_t *out)
{
    for (int64_t i = first; i < end; ++i) {
        const int32_t r = rows[i];
        out[i] = r >= 0 && r < num_group_rows && used[size_t(r)] ? uint8_t((packed[size_t(r / 2)] >> (4 * (r & 1))) & 15)
                                                                   : uint8_t(0xff);
    }
}

}  // namespace

double ds_kolmogorov_smirnov_groups(const double *sorted, const int32_t *rows, int64_t count,
                                    const int32_t *groups, int64_t num_group_rows, int64_t group_count,
                                    const uint8_t *mask, int64_t mask_length, const uint8_t *missing,
                                    int64_t missing_length, const int32_t *weights, int64_t num_weights,
                                    int64_t *df)
{
    if (group_count < 2 || group_count > packed_group_limit || count <= 0 || num_group_rows <= 0)
        return not_a_number;
    std::vector<uint8_t> packed;
    std::vector<uint8_t> used;
    pack_groups(groups, num_group_rows, group_count, mask, mask_length, missing, missing_length, packed, used);
    std::vector<uint8_t> position_group(static_cast<size_t>(count));
    ds_parallel_for_aligned(chunk_count, uint64_t(count), 64, [&](uint64_t, int64_t first, int64_t end) {
        ds_unpack_groups_chunk(rows, first, end, num_group_rows, packed, used, position_group.data());
    });
    packed = {};
    used = {};

    // One entry per run of tied values within a group, with the run's weight.
    std::vector<double> last(size_t(group_count), not_a_number);
    std::vector<int64_t> run_weight(size_t(group_count), 0);
    std::vector<double> values;
    std::vector<int32_t> entry_groups;
    std::vector<int32_t> entry_weights;
    // A run heavier than an int32 weight passes as several entries of the
    // same value and group, which the statistic counts as one.
    const auto emit = [&](int64_t g) {
        int64_t weight = run_weight[size_t(g)];
        do {
            const int64_t part = std::min<int64_t>(weight, std::numeric_limits<int32_t>::max());
            values.push_back(last[size_t(g)]);
            entry_groups.push_back(int32_t(g));
            entry_weights.push_back(int32_t(part));
            weight -= part;
        } while (weight > 0);
        run_weight[size_t(g)] = 0;
    };
    for (int64_t i = 0; i < count; ++i) {
        const uint8_t g = position_group[size_t(i)];
        if (g == 0xff)
            continue;
        if (!std::isnan(last[g]) && sorted[i] != last[g])
            emit(g);
        last[g] = sorted[i];
        run_weight[g] += ds_row_weight(rows[i], weights, num_weights);
    }
    for (int64_t g = 0; g < group_count; ++g)
        if (run_weight[size_t(g)] != 0)
            emit(g);
    if (values.empty())
        return not_a_number;
    if (df)
        *df = group_count - 1;
    return ds_kolmogorov_smirnov_k_sample(values.data(), entry_groups.data(), entry_weights.data(),
                                          int64_t(values.size()), group_count);
}
