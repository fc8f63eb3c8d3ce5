/* The printers of host matrices for debugging (vrw_log_matrix and its
** kin): a title that names a square symmetric matrix's definiteness from
** its eigenvalues, then the rows. */
#include "varrow/vrw_loaders.h"
#include "varrow/vrw_regression.h"
#include "varrow/vrw_internal.h"

#include <math.h>
#include <stdbool.h>
#include <stdio.h>
#include <stdlib.h>

enum { KIND_DOUBLE, KIND_FLOAT, KIND_INT, KIND_LONG };

static void print_rows(const void *matrix, int kind, int64_t rows, int64_t columns)
{
    for (int64_t i = 0; i < rows; i++) {
        printf("[ ");
        for (int64_t j = 0; j < columns; j++) {
            int64_t at = j * rows + i;
            switch (kind) {
            case KIND_DOUBLE: printf("%f ", ((const double *)matrix)[at]); break;
            case KIND_FLOAT: printf("%f ", ((const float *)matrix)[at]); break;
            case KIND_INT: printf("%d ", ((const int32_t *)matrix)[at]); break;
            default: printf("%ld ", (long)((const int64_t *)matrix)[at]); break;
            }
        }
        printf("]\n");
    }
}

static bool is_symmetric(const double *matrix, int64_t n)
{
    for (int64_t i = 0; i < n; i++)
        for (int64_t j = 0; j < i; j++)
            if (fabs(matrix[j * n + i] - matrix[i * n + j]) > 1e-9)
                return false;
    return true;
}

/* The title of a square symmetric matrix from the signs of its eigenvalues
** (below 1e-6 in magnitude counts as zero); no title when all are zero. */
static void print_definiteness(const char *title, const double *values, int64_t n)
{
    long positive = 0, negative = 0;
    for (int64_t i = 0; i < n; i++) {
        if (values[i] >= 1e-6)
            positive++;
        else if (values[i] <= -1e-6)
            negative++;
    }
    bool semi = positive + negative < n;
    if (positive && negative)
        printf("Matrix %s (%ld x %ld, symmetric; %ld positive, %ld negative eigenvalues):\n", title,
               (long)n, (long)n, positive, negative);
    else if (positive)
        printf("Matrix %s (%ld x %ld, positive %s):\n", title, (long)n, (long)n,
               semi ? "semi-definite" : "definite");
    else if (negative)
        printf("Matrix %s (%ld x %ld, negative %s):\n", title, (long)n, (long)n,
               semi ? "semi-definite" : "definite");
}

static void print_title(const char *title, const double *matrix, int64_t rows, int64_t columns)
{
    if (rows != columns) {
        printf("Matrix %s (%ld x %ld):\n", title, (long)rows, (long)columns);
        return;
    }
    if (!is_symmetric(matrix, rows)) {
        printf("Matrix %s (%ld x %ld, non-symmetric):\n", title, (long)rows, (long)columns);
        return;
    }
    double *values = malloc((size_t)(rows > 0 ? rows : 0) * sizeof(double) + 1);
    if (!values || vrw_matrix_eigenvalues(matrix, (int)rows, values) != 0)
        printf("Matrix %s (%ld x %ld, symmetric):\n", title, (long)rows, (long)columns);
    else if (rows == 1)
        printf("Matrix %s (1 x 1):\n", title);
    else
        print_definiteness(title, values, rows);
    free(values);
}

void vrw_log_matrix(const char *title, const double *matrix, int64_t rows, int64_t columns)
{
    print_title(title, matrix, rows, columns);
    print_rows(matrix, KIND_DOUBLE, rows, columns);
}

void vrw_log_matrixf(const char *title, const float *matrix, int64_t rows, int64_t columns)
{
    printf("Matrix %s:\n", title);
    print_rows(matrix, KIND_FLOAT, rows, columns);
}

void vrw_log_matrixi(const char *title, const int32_t *matrix, int64_t rows, int64_t columns)
{
    printf("Matrix %s:\n", title);
    print_rows(matrix, KIND_INT, rows, columns);
}

void vrw_log_matrixl(const char *title, const int64_t *matrix, int64_t rows, int64_t columns)
{
    printf("Matrix %s:\n", title);
    print_rows(matrix, KIND_LONG, rows, columns);
}
