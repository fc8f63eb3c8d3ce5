/* Loaders of data matrices and vectors into the padded device layouts. */
#include "varrow/vrw_internal.h"

#include <pthread.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

void vrw_unload_matrix(VRWMatrixBuffer_s *matrix)
{
    if (!matrix)
        return;
    vrw_release_mem(matrix->data);
    vrw_release_mem(matrix->panel_sizes);
    vrw_release_mem(matrix->panel_quad_counts);
    vrw_release_mem(matrix->panel_quad_starts);
    vrw_release_mem(matrix->quad_panels);
    vrw_release_mem(matrix->panel_means);
    free(matrix);
}

void vrw_unload_vector(VRWVectorBuffer_s *vector)
{
    if (!vector)
        return;
    vrw_release_mem(vector->data);
    free(vector);
}

/* A matrix record over a new device buffer of bytes, mapped for the caller
** to fill: *host receives the mapping. NULL with the failure in *status. */
static VRWMatrixBuffer_s *begin_matrix(VRWContext_s *context, size_t bytes, int32_t rows,
                                       int32_t blocks, int32_t columns, double **host,
                                       int32_t *status)
{
    VRWMatrixBuffer_s *matrix = calloc(1, sizeof *matrix);
    if (!matrix) {
        vrw_set_status(status, VRW_OUT_OF_HOST_MEMORY);
        return NULL;
    }
    int32_t err = VRW_SUCCESS;
    *host = vrw_map_new_buffer(context, bytes, &matrix->data, &err);
    if (err != VRW_SUCCESS) {
        free(matrix);
        vrw_set_status(status, err);
        return NULL;
    }
    matrix->observations = rows;
    matrix->columns = columns;
    matrix->blocks = blocks;
    return matrix;
}

static size_t matrix_bytes(int32_t blocks, int32_t columns)
{
    return vrw_padded_rows(blocks) * (size_t)(columns > 0 ? columns : 0) * sizeof(double);
}

/* Hands the filled mapping back; a failure unloads the matrix. */
static VRWMatrixBuffer_s *finish_matrix(VRWContext_s *context, VRWMatrixBuffer_s *matrix,
                                        double *host, int32_t *status)
{
    VRWStatus err = vrw_unmap_buffer(context, matrix->data, host);
    if (err != VRW_SUCCESS) {
        vrw_unload_matrix(matrix);
        vrw_set_status(status, err);
        return NULL;
    }
    return matrix;
}

/* A large mapping is first touched by its filler, some 3 ms a MB in 4 KB
** pages: it asks for transparent huge pages before that. */
static void advise_huge_pages(void *host, size_t bytes)
{
    long page = sysconf(_SC_PAGESIZE);
    if (!host || page <= 0 || bytes < ((size_t)32 << 20))
        return;
    uintptr_t start = ((uintptr_t)host + (uintptr_t)page - 1) & ~((uintptr_t)page - 1);
    uintptr_t end = ((uintptr_t)host + bytes) & ~((uintptr_t)page - 1);
    if (end > start)
        madvise((void *)start, end - start, MADV_HUGEPAGE);
}

VRWMatrixBuffer_s *vrw_map_padded_matrix(VRWContext_s *context, int32_t rows, int32_t columns,
                                         double **host, int32_t *status)
{
    *host = NULL;
    if (rows < 0 || columns < 0) {
        vrw_set_status(status, CL_INVALID_VALUE);
        return NULL;
    }
    int32_t blocks = vrw_blocks_for_rows(rows);
    VRWMatrixBuffer_s *matrix = begin_matrix(context, matrix_bytes(blocks, columns), rows, blocks,
                                             columns, host, status);
    if (matrix && !*host && matrix_bytes(blocks, columns) > 0) {
        vrw_unload_matrix(matrix);
        vrw_set_status(status, VRW_OUT_OF_HOST_MEMORY);
        return NULL;
    }
    if (matrix)
        advise_huge_pages(*host, matrix_bytes(blocks, columns));
    return matrix;
}

VRWMatrixBuffer_s *vrw_unmap_padded_matrix(VRWContext_s *context, VRWMatrixBuffer_s *matrix,
                                           double *host, int32_t *status)
{
    return finish_matrix(context, matrix, host, status);
}

VRWMatrixBuffer_s *vrw_load_padded_matrix(VRWContext_s *context, const double *host, size_t bytes,
                                          int32_t rows, int32_t blocks, int32_t columns,
                                          int32_t *status)
{
    double *mapped;
    VRWMatrixBuffer_s *matrix = begin_matrix(context, bytes, rows, blocks, columns, &mapped,
                                             status);
    if (!matrix)
        return NULL;
    if (mapped)
        memcpy(mapped, host, bytes);
    return finish_matrix(context, matrix, mapped, status);
}

/* One thread's share of the fill of a padded matrix: the entries [begin,
** end) of the column-major layout, rows n of padded a column. */
typedef struct {
    const double *data, *weights;
    double *host;
    size_t n, padded, begin, end;
} FillShare;

static void fill_share(const FillShare *s)
{
    size_t at = s->begin;
    while (at < s->end) {
        size_t column = at / s->padded, row = at % s->padded;
        size_t stop = s->end - at < s->padded - row ? row + (s->end - at) : s->padded;
        const double *from = s->data + column * s->n;
        double *to = s->host + column * s->padded;
        size_t filled = stop < s->n ? stop : s->n;
        if (row < filled) {
            if (s->weights)
                for (size_t r = row; r < filled; r++)
                    to[r] = from[r] * s->weights[r];
            else
                memcpy(to + row, from + row, (filled - row) * sizeof(double));
        }
        size_t zeros = row > filled ? row : filled;
        if (zeros < stop)
            memset(to + zeros, 0, (stop - zeros) * sizeof(double));
        at += stop - row;
    }
}

static void *fill_share_thread(void *share)
{
    fill_share(share);
    return NULL;
}

/* Entries a thread fills at least, and the most threads of one fill. */
#define FILL_SHARE_ENTRIES ((size_t)1 << 20)
#define FILL_MAX_THREADS 16

/*
** Fills the mapping of a new padded matrix. What a load costs is the first
** touch of the fresh pages, so a large mapping asks for transparent huge
** pages and is filled in contiguous
** shares on threads of this call's own, every one joined before it
** returns; a share whose thread cannot start is filled here.
*/
static void fill_matrix(double *host, const double *data, const double *weights, size_t n,
                        size_t padded, size_t width)
{
    size_t entries = padded * width;
    advise_huge_pages(host, entries * sizeof(double));
    long cpus = sysconf(_SC_NPROCESSORS_ONLN);
    size_t threads = entries / FILL_SHARE_ENTRIES;
    if (threads > (size_t)(cpus > 0 ? cpus : 1))
        threads = (size_t)(cpus > 0 ? cpus : 1);
    if (threads > FILL_MAX_THREADS)
        threads = FILL_MAX_THREADS;
    if (threads < 1)
        threads = 1;
    FillShare shares[FILL_MAX_THREADS];
    pthread_t ids[FILL_MAX_THREADS];
    bool started[FILL_MAX_THREADS] = {false};
    for (size_t t = 0; t < threads; t++) {
        shares[t] = (FillShare){data, weights, host, n, padded, entries * t / threads,
                                entries * (t + 1) / threads};
        if (t > 0)
            started[t] = pthread_create(&ids[t], NULL, fill_share_thread, &shares[t]) == 0;
    }
    fill_share(&shares[0]);
    for (size_t t = 1; t < threads; t++) {
        if (started[t])
            pthread_join(ids[t], NULL);
        else
            fill_share(&shares[t]);
    }
}

VRWMatrixBuffer_s *vrw_load_weighted_matrix(VRWContext_s *context, const double *weights,
                                            const double *data, int32_t rows, int32_t columns,
                                            int32_t *status)
{
    size_t n = rows > 0 ? (size_t)rows : 0;
    size_t width = columns > 0 ? (size_t)columns : 0;
    int32_t blocks = vrw_blocks_for_rows((int64_t)n);
    size_t padded = vrw_padded_rows(blocks);
    double *host;
    VRWMatrixBuffer_s *matrix = begin_matrix(context, matrix_bytes(blocks, columns), rows, blocks,
                                             columns, &host, status);
    if (!matrix)
        return NULL;
    if (host)
        fill_matrix(host, data, weights, n, padded, width);
    return finish_matrix(context, matrix, host, status);
}

VRWMatrixBuffer_s *vrw_load_matrix(VRWContext_s *context, const double *data, int32_t rows,
                                   int32_t columns, int32_t *status)
{
    return vrw_load_weighted_matrix(context, NULL, data, rows, columns, status);
}

/* The panel layout shared by panel matrices and panel vectors. */
typedef struct {
    int32_t *starts;               /* first quad of each panel */
    int32_t *counts;               /* quads of each panel */
    int32_t *quad_panels;          /* panel of each quad, blocks x 4 */
    int32_t blocks;
} PanelLayout;

static void free_layout(PanelLayout *layout)
{
    free(layout->starts);
    free(layout->counts);
    free(layout->quad_panels);
}

/* Fills the layout; -38 without panels or rows, -50 for a negative panel
** size, -6 without memory. */
static VRWStatus make_layout(const int32_t *panel_sizes, int32_t panel_count, PanelLayout *layout)
{
    memset(layout, 0, sizeof *layout);
    if (panel_count < 1)
        return VRW_NO_PANELS;
    for (int32_t p = 0; p < panel_count; p++)
        if (panel_sizes[p] < 0)
            return VRW_UNBALANCED_PANELS;
    int64_t total = vrw_panel_quads(panel_sizes, panel_count, NULL, NULL);
    if (total == 0)
        return VRW_NO_PANELS;
    layout->blocks = vrw_blocks_for_rows(total * VRW_QUAD_ROWS);
    size_t quads = (size_t)layout->blocks * (VRW_BLOCK_ROWS / VRW_QUAD_ROWS);
    layout->starts = malloc((size_t)panel_count * sizeof(int32_t));
    layout->counts = malloc((size_t)panel_count * sizeof(int32_t));
    layout->quad_panels = malloc(quads * sizeof(int32_t));
    if (!layout->starts || !layout->counts || !layout->quad_panels) {
        free_layout(layout);
        return VRW_OUT_OF_HOST_MEMORY;
    }
    vrw_panel_quads(panel_sizes, panel_count, layout->starts, layout->counts);
    for (int32_t p = 0; p < panel_count; p++)
        for (int32_t q = 0; q < layout->counts[p]; q++)
            layout->quad_panels[layout->starts[p] + q] = p;
    /* The quads after the last panel name the last panel, so that a kernel
    ** reading the panel of a padding row stays inside the panel arrays. */
    for (size_t q = (size_t)total; q < quads; q++)
        layout->quad_panels[q] = panel_count - 1;
    return VRW_SUCCESS;
}

static int64_t panel_row_total(const int32_t *panel_sizes, int32_t panel_count)
{
    int64_t total = 0;
    for (int32_t p = 0; p < panel_count; p++)
        total += panel_sizes[p];
    return total;
}

/* Makes the panel buffers of the matrix from the layout. */
static VRWStatus load_panel_buffers(VRWContext_s *context, VRWMatrixBuffer_s *matrix,
                                    const PanelLayout *layout, const int32_t *panel_sizes,
                                    int32_t panel_count)
{
    size_t n = (size_t)panel_count;
    int32_t err;
    matrix->panel_quad_counts = vrw_make_int_buffer(context, n, layout->counts, &err);
    if (err == VRW_SUCCESS)
        matrix->panel_quad_starts = vrw_make_int_buffer(context, n, layout->starts, &err);
    if (err == VRW_SUCCESS)
        matrix->quad_panels = vrw_make_int_buffer(
            context, (size_t)layout->blocks * (VRW_BLOCK_ROWS / VRW_QUAD_ROWS), layout->quad_panels,
            &err);
    if (err == VRW_SUCCESS)
        matrix->panel_sizes = vrw_make_int_buffer(context, n, panel_sizes, &err);
    matrix->panel_count = panel_count;
    return err;
}

/* Writes one column's panels into the padded column `to`, each panel's
** values less its mean (kept in means[p] when demeaning), times its weight,
** and zeros in every padding row. */
static void lay_out_column(const double *from, double *to, size_t padded,
                           const int32_t *panel_sizes, const PanelLayout *layout,
                           int32_t panel_count, const double *weights, bool demean, double *means)
{
    size_t next = 0, end = 0;
    for (int32_t p = 0; p < panel_count; p++) {
        size_t size = panel_sizes[p] > 0 ? (size_t)panel_sizes[p] : 0;
        const double *values = from + next;
        double mean = 0;
        if (demean) {
            /* Two passes: the correction term keeps the mean exact to the
            ** last bits even when the values sit far from zero. */
            double sum = 0;
            for (size_t i = 0; i < size; i++)
                sum += values[i];
            mean = sum / (double)size;
            double correction = 0;
            for (size_t i = 0; i < size; i++)
                correction += values[i] - mean;
            mean += correction / (double)size;
            means[p] = mean;
        }
        double w = weights ? weights[p] : 1.0;
        size_t start = (size_t)layout->starts[p] * VRW_QUAD_ROWS;
        end = start + (size_t)layout->counts[p] * VRW_QUAD_ROWS;
        for (size_t i = 0; i < size; i++)
            to[start + i] = (values[i] - mean) * w;
        memset(to + start + size, 0, (end - start - size) * sizeof(double));
        next += size;
    }
    memset(to + end, 0, (padded - end) * sizeof(double));
}

VRWMatrixBuffer_s *vrw_load_weighted_unbalanced_panel_matrix(
    VRWContext_s *context, const double *panel_weights, const double *data, int32_t rows,
    int32_t columns, const int32_t *panel_sizes, int32_t panel_count, int32_t demean,
    int32_t *status)
{
    PanelLayout layout;
    VRWStatus err = make_layout(panel_sizes, panel_count, &layout);
    /* Panels that do not hold exactly the given rows would read past the
    ** caller's columns. */
    if (err == VRW_SUCCESS && panel_row_total(panel_sizes, panel_count) != rows) {
        free_layout(&layout);
        err = VRW_UNBALANCED_PANELS;
    }
    if (err != VRW_SUCCESS) {
        vrw_set_status(status, err);
        return NULL;
    }
    size_t padded = vrw_padded_rows(layout.blocks);
    size_t width = columns > 0 ? (size_t)columns : 0;
    size_t n = rows > 0 ? (size_t)rows : 0;
    double *means = demean ? malloc(width * (size_t)panel_count * sizeof(double) + 1) : NULL;
    double *host = NULL;
    VRWMatrixBuffer_s *matrix = NULL;
    if (demean && !means) {
        err = VRW_OUT_OF_HOST_MEMORY;
        goto done;
    }
    matrix = begin_matrix(context, matrix_bytes(layout.blocks, columns), rows, layout.blocks,
                          columns, &host, &err);
    if (!matrix)
        goto done;
    for (size_t c = 0; host && c < width; c++)
        lay_out_column(data + c * n, host + c * padded, padded, panel_sizes, &layout,
                       panel_count, panel_weights, demean != 0,
                       means ? means + c * (size_t)panel_count : NULL);
    matrix = finish_matrix(context, matrix, host, &err);
    if (!matrix)
        goto done;
    err = load_panel_buffers(context, matrix, &layout, panel_sizes, panel_count);
    if (err == VRW_SUCCESS && demean)
        matrix->panel_means = vrw_make_buffer(context, (cl_mem_flags)context->mem_flags,
                                              width * (size_t)panel_count * sizeof(double), means,
                                              &err);
    if (err != VRW_SUCCESS) {
        vrw_unload_matrix(matrix);
        matrix = NULL;
    }
done:
    if (err != VRW_SUCCESS)
        vrw_set_status(status, err);
    free(means);
    free_layout(&layout);
    return matrix;
}

VRWMatrixBuffer_s *vrw_load_unbalanced_panel_matrix(VRWContext_s *context, const double *data,
                                                    int32_t rows, int32_t columns,
                                                    const int32_t *panel_sizes,
                                                    int32_t panel_count, int32_t demean,
                                                    int32_t *status)
{
    return vrw_load_weighted_unbalanced_panel_matrix(context, NULL, data, rows, columns,
                                                     panel_sizes, panel_count, demean, status);
}

VRWMatrixBuffer_s *vrw_load_weighted_balanced_panel_matrix(
    VRWContext_s *context, const double *panel_weights, const double *data, int32_t rows,
    int32_t columns, int32_t panel_count, int32_t demean, int32_t *status)
{
    if (panel_count < 1) {
        vrw_set_status(status, VRW_NO_PANELS);
        return NULL;
    }
    if (rows % panel_count != 0) {
        vrw_set_status(status, VRW_UNBALANCED_PANELS);
        return NULL;
    }
    int32_t *sizes = malloc((size_t)panel_count * sizeof(int32_t));
    if (!sizes) {
        vrw_set_status(status, VRW_OUT_OF_HOST_MEMORY);
        return NULL;
    }
    for (int32_t p = 0; p < panel_count; p++)
        sizes[p] = rows / panel_count;
    VRWMatrixBuffer_s *matrix = vrw_load_weighted_unbalanced_panel_matrix(
        context, panel_weights, data, rows, columns, sizes, panel_count, demean, status);
    free(sizes);
    return matrix;
}

VRWMatrixBuffer_s *vrw_load_balanced_panel_matrix(VRWContext_s *context, const double *data,
                                                  int32_t rows, int32_t columns,
                                                  int32_t panel_count, int32_t demean,
                                                  int32_t *status)
{
    return vrw_load_weighted_balanced_panel_matrix(context, NULL, data, rows, columns, panel_count,
                                                   demean, status);
}

VRWVectorBuffer_s *vrw_load_padded_vector(VRWContext_s *context, const void *host, size_t bytes,
                                          uint32_t length, int32_t blocks, int32_t *status)
{
    VRWVectorBuffer_s *vector = calloc(1, sizeof *vector);
    if (!vector) {
        vrw_set_status(status, VRW_OUT_OF_HOST_MEMORY);
        return NULL;
    }
    int32_t err;
    vector->data = vrw_make_buffer(context, (cl_mem_flags)context->mem_flags, bytes, host, &err);
    if (err != VRW_SUCCESS) {
        free(vector);
        vrw_set_status(status, err);
        return NULL;
    }
    vector->length = length;
    vector->blocks = blocks;
    return vector;
}

/* Source of a vector's values: an array of doubles or ints, a repeated
** pattern, or ones. */
typedef struct {
    const double *reals;
    const int32_t *ints;
    uint32_t pattern_length;       /* reals repeat with this period when not 0 */
} VectorSource;

static void write_entry(void *host, size_t position, const VectorSource *source, size_t i)
{
    if (source->ints)
        ((int32_t *)host)[position] = source->ints[i];
    else if (!source->reals)
        ((double *)host)[position] = 1.0;
    else if (source->pattern_length)
        ((double *)host)[position] = source->reals[i % source->pattern_length];
    else
        ((double *)host)[position] = source->reals[i];
}

/* A vector of n entries from source, in the plain layout or, with panel
** sizes, in the panel layout. */
static VRWVectorBuffer_s *load_vector(VRWContext_s *context, const VectorSource *source, uint32_t n,
                                      const int32_t *panel_sizes, int32_t panel_count,
                                      int32_t *status)
{
    PanelLayout layout = {0};
    int32_t blocks = vrw_blocks_for_rows(n);
    if (panel_sizes) {
        VRWStatus err = make_layout(panel_sizes, panel_count, &layout);
        if (err != VRW_SUCCESS) {
            vrw_set_status(status, err);
            return NULL;
        }
        blocks = layout.blocks;
    }
    size_t element = source->ints ? sizeof(int32_t) : sizeof(double);
    size_t padded = vrw_padded_rows(blocks);
    void *host = calloc(padded + 1, element);
    if (!host) {
        free_layout(&layout);
        vrw_set_status(status, VRW_OUT_OF_HOST_MEMORY);
        return NULL;
    }
    if (!panel_sizes) {
        for (size_t i = 0; i < n; i++)
            write_entry(host, i, source, i);
    } else {
        size_t next = 0;
        for (int32_t p = 0; p < panel_count; p++) {
            size_t at = (size_t)layout.starts[p] * VRW_QUAD_ROWS;
            for (int32_t i = 0; i < panel_sizes[p] && next < n; i++)
                write_entry(host, at + (size_t)i, source, next++);
        }
    }
    VRWVectorBuffer_s *vector = vrw_load_padded_vector(context, host, padded * element, n, blocks,
                                                       status);
    free(host);
    free_layout(&layout);
    return vector;
}

VRWVectorBuffer_s *vrw_load_float_vector(VRWContext_s *context, const double *values, uint32_t n,
                                         int32_t *status)
{
    VectorSource source = {values, NULL, 0};
    return load_vector(context, &source, n, NULL, 0, status);
}

VRWVectorBuffer_s *vrw_load_integer_vector(VRWContext_s *context, const int32_t *values,
                                           uint32_t n, int32_t *status)
{
    VectorSource source = {NULL, values, 0};
    return load_vector(context, &source, n, NULL, 0, status);
}

VRWVectorBuffer_s *vrw_load_pattern_vector(VRWContext_s *context, const double *pattern,
                                           uint32_t m, uint32_t n, int32_t *status)
{
    if (m == 0 && n > 0) {
        vrw_set_status(status, CL_INVALID_VALUE);
        return NULL;
    }
    VectorSource source = {pattern, NULL, m};
    return load_vector(context, &source, n, NULL, 0, status);
}

VRWVectorBuffer_s *vrw_load_ones_vector(VRWContext_s *context, uint32_t n, int32_t *status)
{
    VectorSource source = {NULL, NULL, 0};
    return load_vector(context, &source, n, NULL, 0, status);
}

VRWVectorBuffer_s *vrw_load_unbalanced_panel_float_vector(VRWContext_s *context,
                                                          const double *values, uint32_t n,
                                                          const int32_t *panel_sizes,
                                                          int32_t panel_count, int32_t *status)
{
    VectorSource source = {values, NULL, 0};
    return load_vector(context, &source, n, panel_sizes, panel_count, status);
}

VRWVectorBuffer_s *vrw_load_unbalanced_panel_integer_vector(VRWContext_s *context,
                                                            const int32_t *values, uint32_t n,
                                                            const int32_t *panel_sizes,
                                                            int32_t panel_count, int32_t *status)
{
    VectorSource source = {NULL, values, 0};
    return load_vector(context, &source, n, panel_sizes, panel_count, status);
}

VRWVectorBuffer_s *vrw_load_unbalanced_panel_ones_vector(VRWContext_s *context, uint32_t n,
                                                         const int32_t *panel_sizes,
                                                         int32_t panel_count, int32_t *status)
{
    VectorSource source = {NULL, NULL, 0};
    return load_vector(context, &source, n, panel_sizes, panel_count, status);
}
