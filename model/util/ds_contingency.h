#pragma once
// Contingency tables and the LAPACK inversion shared by the marginal-
// homogeneity and log-rank statistics. Tables are row-major arrays of
// weighted counts owned by the caller.

#include <cstdint>

// Pearson's chi-square of a rows x columns table against independence.
// Rows and columns whose totals are 0 take no part: *df (when given) is
// (non-empty rows - 1) x (non-empty columns - 1), and 0 for a table
// without counts.
double ds_contingency_chisq(const int64_t *table, int64_t rows, int64_t columns, int64_t *df);

// The optimal LAPACK dgetri workspace length for an n x n matrix (a
// workspace query). A failed query prints "Failed to query dgetri: %d\n"
// with its info and answers what the query left (at least 1).
int64_t ds_dgetri_workspace_size(int64_t n);

// Inverts the leading n x n block of a column-major matrix with leading
// dimension lda in place (LU with partial pivoting, then dgetri). pivots
// holds n integers and workspace length doubles, both the caller's.
// Answers LAPACK's info: 0 on success; non-zero leaves the block
// unspecified (a singular matrix among others).
int ds_invert_matrix(double *matrix, int64_t n, int64_t lda, int32_t *pivots, double *workspace, int64_t length);

// Stuart-Maxwell's statistic of a K x K table of paired categories (row:
// first measurement, column: second), over the categories present in both
// margins: (A - B)' W^-1 (A - B) with the last such category dropped, where
// W is the variance of the margin differences. *df (when given) gets the
// categories used minus 1. NaN (df untouched) when fewer than two
// categories are used; NaN with df 0 when W is singular. With two
// categories it is McNemar's statistic without continuity correction.
double ds_marginal_homogeneity_chisq(const int64_t *table, int64_t K, int64_t *df);
