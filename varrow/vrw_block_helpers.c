/* Host helpers that compact and expand arrays of blocks (coefficient sets,
** choices, causes) and matrices around coefficients that are not estimated. */
#include "varrow/vrw_fit_internal.h"

#include <math.h>
#include <string.h>

void collapse_double_buffer2(double *destination, const double *source, int64_t n, int64_t m,
                             const int32_t *flags)
{
    int64_t next = 0;
    for (int64_t i = 0; i < m; i++)
        if (flags[i])
            memmove(destination + n * next++, source + n * i, (size_t)n * sizeof(double));
}

void collapse_double_buffer(double *buffer, int64_t n, int64_t m, const int32_t *flags)
{
    collapse_double_buffer2(buffer, buffer, n, m, flags);
}

void expand_double_buffer2(double *destination, const double *source, int64_t n, int64_t m,
                           const int32_t *flags, double fill)
{
    int64_t next = 0;
    for (int64_t i = 0; i < m; i++) {
        double *block = destination + n * i;
        if (flags[i]) {
            memmove(block, source + n * next++, (size_t)n * sizeof(double));
        } else {
            for (int64_t j = 0; j < n; j++)
                block[j] = fill;
        }
    }
}

static int64_t kept_count(const int32_t *flags, int64_t m)
{
    int64_t kept = 0;
    for (int64_t i = 0; i < m; i++)
        kept += flags[i] != 0;
    return kept;
}

/* Expands in place from the last block down, so that no kept block is
** overwritten before it has moved; once the next kept block already sits
** at its place, every block before it does too. Elements are 8 bytes. */
static void expand_in_place(void *buffer, int64_t n, int64_t m, const int32_t *flags,
                            const void *fill)
{
    enum { ELEMENT = 8 };
    char *bytes = buffer;
    size_t block_bytes = (size_t)n * ELEMENT;
    int64_t source_block = kept_count(flags, m) - 1;
    for (int64_t i = m - 1; i >= 0; i--) {
        char *block = bytes + block_bytes * (size_t)i;
        if (flags[i]) {
            if (source_block == i)
                break;
            memmove(block, bytes + block_bytes * (size_t)source_block--, block_bytes);
        } else {
            for (int64_t j = 0; j < n; j++)
                memcpy(block + ELEMENT * (size_t)j, fill, ELEMENT);
        }
    }
}

void expand_double_buffer(double *buffer, int64_t n, int64_t m, const int32_t *flags, double fill)
{
    expand_in_place(buffer, n, m, flags, &fill);
}

void expand_long_buffer(int64_t *buffer, int64_t n, int64_t m, const int32_t *flags, int64_t fill)
{
    expand_in_place(buffer, n, m, flags, &fill);
}

void expand_constrained_matrix(double *destination, const double *constraints, int64_t k,
                               const double *source, int64_t f)
{
    if (!constraints || f == k) {
        /* No coefficient leaves no matrix, and maybe no pointer to one. */
        if (k > 0)
            memmove(destination, source, (size_t)(k * k) * sizeof(double));
        return;
    }
    /* Walk the columns and rows of all coefficients with the ranks of the
    ** free ones among them. */
    int64_t free_column = 0;
    for (int64_t j = 0; j < k; j++) {
        bool column_free = isnan(constraints[j]);
        int64_t free_row = 0;
        for (int64_t i = 0; i < k; i++) {
            bool row_free = isnan(constraints[i]);
            destination[j * k + i] = row_free && column_free ? source[free_column * f + free_row] : 0;
            free_row += row_free;
        }
        free_column += column_free;
    }
}

void vrw_write_standard_errors(double *out, const double *constraints, int64_t n,
                               const double *variance, int64_t k)
{
    int64_t free_index = 0;
    for (int64_t i = 0; i < n; i++) {
        if (constraints && !isnan(constraints[i])) {
            out[i] = 0.0;
            continue;
        }
        out[i] = sqrt(variance[free_index * k + free_index]);
        free_index++;
    }
}
