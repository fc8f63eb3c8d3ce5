#include "model/util/ds_contingency.h"

#include <cblas.h>

#include <algorithm>

#include <cmath>
#include <cstdio>
#include <vector>

extern "C" {
void dgetrf_(const int *m, const int *n, double *a, const int *lda, int *ipiv, int *info);
void dgetri_(const int *n, double *a, const int *lda, const int *ipiv, double *work, const int *lwork, int *info);
}

double ds_contingency_chisq(const int64_t *table, int64_t rows, int64_t columns, int64_t *df)
{
    std::vector<int64_t> rowTotals(size_t(rows), 0), columnTotals(size_t(columns), 0);
    int64_t total = 0;
    for (int64_t i = 0; i < rows; ++i)
        for (int64_t j = 0; j < columns; ++j) {
            rowTotals[size_t(i)] += table[i * columns + j];
            columnTotals[size_t(j)] += table[i * columns + j];
            total += table[i * columns + j];
        }
    double chiSquare = 0;
    int64_t usedRows = 0, usedColumns = 0;
    for (int64_t j = 0; j < columns; ++j)
        usedColumns += columnTotals[size_t(j)] > 0;
    for (int64_t i = 0; i < rows; ++i) {
        if (rowTotals[size_t(i)] <= 0)
            continue;
        ++usedRows;
        for (int64_t j = 0; j < columns; ++j) {
            if (columnTotals[size_t(j)] <= 0)
                continue;
            const double expected = double(columnTotals[size_t(j)]) * double(rowTotals[size_t(i)]) / double(total);
            const double d = double(table[i * columns + j]) - expected;
            chiSquare += d * d / expected;
        }
    }
    // A table without counts has no degrees of freedom (not (-1) x (-1)).
    if (df)
        *df = std::max<int64_t>(usedRows - 1, 0) * std::max<int64_t>(usedColumns - 1, 0);
    return chiSquare;
}

int64_t ds_dgetri_workspace_size(int64_t n)
{
    const int order = int(n), lwork = -1;
    int info = 0;
    double optimal = 1;
    dgetri_(&order, nullptr, &order, nullptr, &optimal, &lwork, &info);
    if (info != 0)
        std::printf("Failed to query dgetri: %d\n", info);
    return std::max<int64_t>(int64_t(optimal), 1);
}

int ds_invert_matrix(double *matrix, int64_t n, int64_t lda, int32_t *pivots, double *workspace, int64_t length)
{
    const int order = int(n), leading = int(lda), lwork = int(length);
    int info = 0;
    dgetrf_(&order, &order, matrix, &leading, pivots, &info);
    if (info != 0)
        return info;
    dgetri_(&order, matrix, &leading, pivots, workspace, &lwork, &info);
    return info;
}

double ds_marginal_homogeneity_chisq(const int64_t *table, int64_t K, int64_t *df)
{
    std::vector<int64_t> first(size_t(K), 0), second(size_t(K), 0);
    int64_t total = 0;
    for (int64_t i = 0; i < K; ++i)
        for (int64_t j = 0; j < K; ++j) {
            first[size_t(i)] += table[i * K + j];
            second[size_t(j)] += table[i * K + j];
            total += table[i * K + j];
        }
    std::vector<int64_t> used;
    for (int64_t i = 0; i < K; ++i)
        if (first[size_t(i)] > 0 && second[size_t(i)] > 0)
            used.push_back(i);
    const int64_t m = int64_t(used.size());
    if (m <= 1)
        return NAN;
    const double T = double(total);
    std::vector<double> d(static_cast<size_t>(m)), V(static_cast<size_t>(m * m));
    for (int64_t a = 0; a < m; ++a) {
        const int64_t i = used[size_t(a)];
        d[size_t(a)] = double(first[size_t(i)] - second[size_t(i)]) / T;
        for (int64_t b = 0; b < m; ++b) {
            const int64_t j = used[size_t(b)];
            V[size_t(b * m + a)] = a == b ? double(first[size_t(i)] + second[size_t(i)] - 2 * table[i * K + i]) / T
                                          : -double(table[i * K + j] + table[j * K + i]) / T;
        }
    }
    // The last category in use is dropped: the margins' differences sum to 0.
    const int64_t n = m - 1;
    const int64_t length = ds_dgetri_workspace_size(n);
    std::vector<double> workspace(static_cast<size_t>(length));
    std::vector<int32_t> pivots(static_cast<size_t>(n));
    if (ds_invert_matrix(V.data(), n, m, pivots.data(), workspace.data(), length) != 0) {
        if (df)
            *df = 0;
        return NAN;
    }
    std::vector<double> y(static_cast<size_t>(n));
    cblas_dsymv(CblasColMajor, CblasUpper, int(n), 1.0, V.data(), int(m), d.data(), 1, 0.0, y.data(), 1);
    if (df)
        *df = n;
    return T * cblas_ddot(int(n), y.data(), 1, d.data(), 1);
}
