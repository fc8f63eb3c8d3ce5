#include "model/ds_covariate_independence.h"

#include "model/DSColumn.h"
#include "model/util/ds_contingency.h"
#include "model/util/ds_row_weight.h"
#include "platform/dispatch/ds_parallel_for.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

bool isMissing(const uint8_t *missing, int64_t length, int64_t row)
{
    return missing && (row >> 3) < length && (missing[row >> 3] >> (row & 7)) & 1;
}

// cells-cell tables, one a chunk, filled by add(table, first, end) and
// summed in chunk order.
template <class Add>
std::vector<int64_t> chunkedTable(int64_t cells, int64_t rows, const Add &add)
{
    std::vector<int64_t> partial(size_t(cells) * ds_row_chunks, 0);
    ds_parallel_for(ds_row_chunks, uint64_t(rows), [&](uint64_t chunk, int64_t first, int64_t end) {
        add(partial.data() + chunk * uint64_t(cells), first, end);
    });
    std::vector<int64_t> table(size_t(cells), 0);
    for (uint64_t chunk = 0; chunk < ds_row_chunks; ++chunk)
        for (int64_t c = 0; c < cells; ++c)
            table[size_t(c)] += partial[chunk * uint64_t(cells) + uint64_t(c)];
    return table;
}

}  // namespace

double ds_covariate_independence_chisq(const int32_t *indexed, int64_t rows, int64_t bins, const uint8_t *missing,
                                       int64_t missing_length, const int32_t *weights, int64_t num_weights,
                                       DSColumn *grouping, const QList<std::shared_ptr<DSColumnCategory>> &categories,
                                       const uint8_t *mask, int64_t length, int64_t *df)
{
    const uint8_t *groupMissing = nullptr;
    const int64_t groupMissingLength = grouping ? grouping->getMissingMask(&groupMissing) : 0;
    const int32_t *groups = nullptr;
    qint64 e = 0;
    const int64_t groupRows = grouping ? grouping->getCovariateIndexedValues(&groups, &e, categories, mask, length) : 0;
    if (e <= 0 || !groups) {
        if (df)
            *df = -1;
        return NAN;
    }
    // Without the column's categories the table is empty: 0 with no df.
    bins = indexed ? std::max<int64_t>(bins, 0) : 0;
    const int64_t n = bins ? std::min(rows, groupRows) : 0;
    const std::vector<int64_t> table = chunkedTable(bins * e, n, [&](int64_t *cells, int64_t first, int64_t end) {
        for (int64_t r = first; r < end; ++r) {
            if (!ds_row_admitted(mask, length, r) || isMissing(missing, missing_length, r)
                || isMissing(groupMissing, groupMissingLength, r))
                continue;
            const int32_t i = indexed[r], j = groups[r];
            if (i >= 0 && i < bins && j >= 0 && j < e)
                cells[i * e + j] += ds_row_weight(r, weights, num_weights);
        }
    });
    return ds_contingency_chisq(table.data(), bins, e, df);
}

void ds_paired_table(int64_t *table, int64_t K, const int32_t *first, const int32_t *second, int64_t rows,
                     const uint8_t *missing1, int64_t missing_length1, const uint8_t *missing2,
                     int64_t missing_length2, const int32_t *weights, int64_t num_weights, const uint8_t *mask,
                     int64_t length)
{
    const std::vector<int64_t> sum = chunkedTable(K * K, rows, [&](int64_t *cells, int64_t begin, int64_t end) {
        for (int64_t r = begin; r < end; ++r) {
            if (!ds_row_admitted(mask, length, r) || isMissing(missing1, missing_length1, r)
                || isMissing(missing2, missing_length2, r))
                continue;
            const int32_t i = first[r], j = second[r];
            if (i >= 0 && i < K && j >= 0 && j < K)
                cells[i * K + j] += ds_row_weight(r, weights, num_weights);
        }
    });
    std::copy(sum.begin(), sum.end(), table);
}

double ds_cochran_q(const int32_t *const *indexed, int64_t k, int64_t rows, const int32_t *weights,
                    int64_t num_weights, const uint8_t *admitted, int64_t admitted_length, int64_t *df)
{
    // One byte a row counts its successes, hence at most 255 columns.
    std::vector<uint8_t> successes(size_t(std::max<int64_t>(rows, 0)), 0);
    std::vector<int64_t> C(size_t(k), 0);
    for (int64_t j = 0; j < k; ++j) {
        int64_t partial[ds_row_chunks] = {};
        const int32_t *column = indexed[j];
        ds_parallel_for_aligned(ds_row_chunks, uint64_t(rows), 64, [&](uint64_t chunk, int64_t first, int64_t end) {
            for (int64_t r = first; r < end; ++r)
                if (ds_row_admitted(admitted, admitted_length, r) && column[r] == 0) {
                    partial[chunk] += ds_row_weight(r, weights, num_weights);
                    ++successes[size_t(r)];
                }
        });
        for (int64_t s : partial)
            C[size_t(j)] += s;
    }
    int64_t N = 0;
    for (int64_t c : C)
        N += c;
    double SS = 0;
    for (int64_t c : C)
        SS += (double(c) - double(N) / double(k)) * (double(c) - double(N) / double(k));
    int64_t partial[ds_row_chunks] = {};
    ds_parallel_for(ds_row_chunks, uint64_t(rows), [&](uint64_t chunk, int64_t first, int64_t end) {
        for (int64_t r = first; r < end; ++r)
            if (ds_row_admitted(admitted, admitted_length, r)) {
                const int64_t t = successes[size_t(r)];
                partial[chunk] += int64_t(ds_row_weight(r, weights, num_weights)) * t * (k - t);
            }
    });
    int64_t D = 0;
    for (int64_t s : partial)
        D += s;
    if (df)
        *df = k - 1;
    return double(k - 1) * double(k) * SS / double(D);
}
