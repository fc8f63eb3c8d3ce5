#pragma once
// Cross-tables of columns' categories under a row mask, weighted by the
// frequency weights, built in the 24 parallel chunks of the row loops with
// one partial table a chunk, summed in chunk order.

#include <QList>

#include <cstdint>
#include <memory>

class DSColumn;
class DSColumnCategory;

// Pearson's chi-square of a column's categories (index per row, rows rows,
// bins categories, missing mask of missing_length bytes) against the
// groups of a grouping column (its getCovariateIndexedValues with the
// categories under the include mask). A row counts when the include mask
// admits it and it is missing in neither column; indexes outside their
// ranges count nowhere. NaN with *df = -1 when the grouping column has no
// groups.
double ds_covariate_independence_chisq(const int32_t *indexed, int64_t rows, int64_t bins, const uint8_t *missing,
                                       int64_t missing_length, const int32_t *weights, int64_t num_weights,
                                       DSColumn *grouping, const QList<std::shared_ptr<DSColumnCategory>> &categories,
                                       const uint8_t *mask, int64_t length, int64_t *df);

// The K x K table of two index arrays (first's index the row, second's the
// column) over rows rows, of the rows admitted by the include mask and
// missing in neither missing mask (null: none).
void ds_paired_table(int64_t *table, int64_t K, const int32_t *first, const int32_t *second, int64_t rows,
                     const uint8_t *missing1, int64_t missing_length1, const uint8_t *missing2,
                     int64_t missing_length2, const int32_t *weights, int64_t num_weights, const uint8_t *mask,
                     int64_t length);

// Cochran's Q of k binary columns (index 0 a "success"), each an index
// array of at least rows entries, over the rows admitted by the mask
// (rows bits; null admits every row). k at most 255. *df = k - 1.
double ds_cochran_q(const int32_t *const *indexed, int64_t k, int64_t rows, const int32_t *weights,
                    int64_t num_weights, const uint8_t *admitted, int64_t admitted_length, int64_t *df);
