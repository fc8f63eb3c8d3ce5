/* Ranking of rows by value and the rank, stratum-group and panel-cell
** buffers of the Cox fit. */
#include "varrow/vrw_internal.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

int vrw_compare_val_ranks_asc(const void *a, const void *b)
{
    double x = ((const VRWRankedValue_s *)a)->value, y = ((const VRWRankedValue_s *)b)->value;
    return x < y ? -1 : x > y ? 1 : 0;
}

int vrw_compare_val_ranks_desc(const void *a, const void *b)
{
    return vrw_compare_val_ranks_asc(b, a);
}

typedef int (*Comparator)(const void *, const void *);

/* Merge sort: a right element passes a left one only when strictly smaller,
** so equal (and unordered) values keep their order. */
static void merge_sort(VRWRankedValue_s *records, VRWRankedValue_s *scratch, int64_t n,
                       Comparator compare)
{
    if (n < 2)
        return;
    int64_t half = n / 2;
    merge_sort(records, scratch, half, compare);
    merge_sort(records + half, scratch, n - half, compare);
    int64_t i = 0, j = half, k = 0;
    while (i < half && j < n)
        scratch[k++] = compare(&records[j], &records[i]) < 0 ? records[j++] : records[i++];
    while (i < half)
        scratch[k++] = records[i++];
    while (j < n)
        scratch[k++] = records[j++];
    memcpy(records, scratch, (size_t)n * sizeof *records);
}

bool vrw_sort_ranked_values(VRWRankedValue_s *records, int64_t count, int32_t direction)
{
    if (count < 2)
        return true;
    VRWRankedValue_s *scratch = malloc((size_t)count * sizeof *scratch);
    if (!scratch)
        return false;
    merge_sort(records, scratch, count,
               direction == 1 ? vrw_compare_val_ranks_asc : vrw_compare_val_ranks_desc);
    free(scratch);
    return true;
}

/* The padded column of doubles read from the device into a new array the
** caller frees. */
static double *read_column(VRWContext_s *context, cl_mem buffer, int32_t column, int32_t blocks,
                           VRWStatus *status)
{
    size_t rows = vrw_padded_rows(blocks);
    double *values = malloc(rows * sizeof(double) + 1);
    if (!values) {
        *status = VRW_OUT_OF_HOST_MEMORY;
        return NULL;
    }
    *status = vrw_read_bytes(context, buffer, (size_t)column * rows * sizeof(double),
                             rows * sizeof(double), values);
    if (*status != VRW_SUCCESS) {
        free(values);
        return NULL;
    }
    return values;
}

VRWStatus vrw_read_ranked_values(VRWContext_s *context, const VRWMatrixBuffer_s *matrix,
                                 const VRWVectorBuffer_s *weights, const double *values,
                                 VRWRankedValue_s **records, int64_t *count, int32_t direction)
{
    *records = NULL;
    *count = 0;
    VRWStatus status;
    double *w = read_column(context, weights->data, 0, weights->blocks, &status);
    if (!w)
        return status;
    size_t padded = vrw_padded_rows(weights->blocks);
    int32_t *positions = vrw_row_positions(context, matrix, NULL, &status);
    VRWRankedValue_s *ranked = NULL;
    int64_t n = 0;
    if (positions) {
        size_t rows = matrix->observations > 0 ? (size_t)matrix->observations : 0;
        ranked = malloc(rows * sizeof *ranked + 1);
        if (!ranked)
            status = VRW_OUT_OF_HOST_MEMORY;
        for (size_t r = 0; ranked && r < rows; r++) {
            size_t at = (size_t)positions[r];
            if (at < padded && w[at] > 0)
                ranked[n++] = (VRWRankedValue_s){values[at], w[at], (int32_t)at};
        }
    }
    if (status == VRW_SUCCESS && !vrw_sort_ranked_values(ranked, n, direction))
        status = VRW_OUT_OF_HOST_MEMORY;
    if (status == VRW_SUCCESS && n > 0) {
        *records = ranked;
        *count = n;
    } else {
        free(ranked);
    }
    free(positions);
    free(w);
    return status;
}

/* Host side of the ranking while it is built. */
typedef struct {
    VRWRankedValue_s *ranks;       /* by stratum group, then time descending */
    int64_t count;
    double *times;                 /* time column by padded position */
    double *strata;                /* stratum by padded position, or NULL */
    int32_t *group_starts;
    int32_t *group_sizes;
    double *group_values;
    int32_t group_count;
} Ranking;

static void free_ranking(Ranking *r)
{
    free(r->ranks);
    free(r->times);
    free(r->strata);
    free(r->group_starts);
    free(r->group_sizes);
    free(r->group_values);
}

static double stratum_of(const Ranking *r, int32_t row)
{
    return r->strata ? r->strata[row] : NAN;
}

/* Groups runs of equal strata (unordered neighbours always differ); one
** group of every rank, stratum NaN, without strata. */
static VRWStatus group_by_stratum(Ranking *r)
{
    size_t most = (size_t)(r->count > 0 ? r->count : 1);
    r->group_starts = malloc(most * sizeof(int32_t));
    r->group_sizes = malloc(most * sizeof(int32_t));
    r->group_values = malloc(most * sizeof(double));
    if (!r->group_starts || !r->group_sizes || !r->group_values)
        return VRW_OUT_OF_HOST_MEMORY;
    if (!r->strata) {
        r->group_count = 1;
        r->group_starts[0] = 0;
        r->group_sizes[0] = (int32_t)r->count;
        r->group_values[0] = NAN;
        return VRW_SUCCESS;
    }
    r->group_count = 0;
    for (int64_t i = 0; i < r->count; i++) {
        double value = r->ranks[i].value;
        if (i == 0 || !(value == r->ranks[i - 1].value)) {
            r->group_starts[r->group_count] = (int32_t)i;
            r->group_sizes[r->group_count] = 0;
            r->group_values[r->group_count++] = value;
        }
        r->group_sizes[r->group_count - 1]++;
    }
    return VRW_SUCCESS;
}

/* Ranks the rows of positive weight by time, descending, then stably by
** stratum, ascending, and groups them. */
static VRWStatus rank_by_time_and_stratum(VRWContext_s *context, const VRWMatrixBuffer_s *matrix,
                           const VRWVectorBuffer_s *weights, int32_t time_column,
                           const VRWVectorBuffer_s *strata, Ranking *r)
{
    VRWStatus status;
    r->times = read_column(context, matrix->data, time_column, matrix->blocks, &status);
    if (!r->times)
        return status;
    status = vrw_read_ranked_values(context, matrix, weights, r->times, &r->ranks, &r->count, 0);
    if (status != VRW_SUCCESS)
        return status;
    if (strata) {
        r->strata = read_column(context, strata->data, 0, strata->blocks, &status);
        if (!r->strata)
            return status;
        size_t padded = vrw_padded_rows(strata->blocks);
        for (int64_t i = 0; i < r->count; i++)
            r->ranks[i].value = (size_t)r->ranks[i].row < padded ? r->strata[r->ranks[i].row] : NAN;
        if (!vrw_sort_ranked_values(r->ranks, r->count, 1))
            return VRW_OUT_OF_HOST_MEMORY;
    }
    return group_by_stratum(r);
}

/* Read-only device copies of the rows, times and weights of ranks. */
static VRWStatus load_rank_buffers(VRWContext_s *context, const Ranking *r,
                                   const VRWRankedValue_s *ranks, cl_mem *rows, cl_mem *times,
                                   cl_mem *weights)
{
    size_t n = (size_t)r->count;
    int32_t *row_list = malloc(n * sizeof(int32_t) + 1);
    double *time_list = malloc(n * sizeof(double) + 1);
    double *weight_list = malloc(n * sizeof(double) + 1);
    int32_t status = VRW_OUT_OF_HOST_MEMORY;
    if (row_list && time_list && weight_list) {
        for (size_t i = 0; i < n; i++) {
            row_list[i] = ranks[i].row;
            time_list[i] = r->times[ranks[i].row];
            weight_list[i] = ranks[i].weight;
        }
        *rows = vrw_make_int_buffer(context, n, row_list, &status);
        if (status == VRW_SUCCESS)
            *times = vrw_make_real_buffer(context, n, time_list, &status);
        if (status == VRW_SUCCESS)
            *weights = vrw_make_real_buffer(context, n, weight_list, &status);
    }
    free(row_list);
    free(time_list);
    free(weight_list);
    return status;
}

static VRWStatus load_groups(VRWContext_s *context, VRWCoxBuffers_s *b, Ranking *r)
{
    VRWStatus status = load_rank_buffers(context, r, r->ranks, &b->rank_rows, &b->rank_times,
                                         &b->rank_weights);
    size_t groups = (size_t)r->group_count;
    if (status == VRW_SUCCESS)
        b->group_starts = vrw_make_int_buffer(context, groups, r->group_starts, &status);
    if (status == VRW_SUCCESS)
        b->group_sizes = vrw_make_int_buffer(context, groups, r->group_sizes, &status);
    if (status != VRW_SUCCESS)
        return status;
    b->group_count = r->group_count;
    b->ranked_count = (int32_t)r->count;
    return VRW_SUCCESS;
}

/* Cells are the non-empty panels crossed with the stratum groups, in
** panel-major order, over the ranks re-sorted by panel (stably, so each
** panel keeps the stratum-and-time order). */
typedef struct {
    VRWRankedValue_s *ranks;       /* panel order */
    int32_t *starts;
    int32_t *sizes;
    int32_t count;
    int32_t nonempty;
} Cells;

/* Starts of panel p's cells: for each group, the first of the panel's ranks
** from the previous cell's start on whose stratum is not below the group's,
** or the panel's end. */
static void place_panel_cells(const Ranking *r, Cells *cells, int64_t begin, int64_t end,
                              int32_t *previous_start)
{
    for (int32_t g = 0; g < r->group_count; g++) {
        int64_t i = *previous_start > begin ? *previous_start : begin;
        while (i < end && stratum_of(r, cells->ranks[i].row) < r->group_values[g])
            i++;
        cells->starts[cells->count++] = (int32_t)i;
        *previous_start = (int32_t)i;
    }
}

static VRWStatus make_cells(VRWContext_s *context, const VRWMatrixBuffer_s *matrix,
                            const VRWVectorBuffer_s *weights, const Ranking *r, Cells *cells)
{
    size_t panels = (size_t)matrix->panel_count, n = (size_t)r->count;
    size_t padded = vrw_padded_rows(matrix->blocks);
    VRWStatus status;
    int32_t *panel_of_row = NULL;
    int32_t *positions = vrw_row_positions(context, matrix, &panel_of_row, &status);
    double *real_sizes = malloc(panels * sizeof(double) + 1);
    int32_t *panel_at = malloc(padded * sizeof(int32_t) + 1);
    cells->ranks = malloc(n * sizeof *cells->ranks + 1);
    size_t most = panels * (size_t)(r->group_count > 0 ? r->group_count : 1) + 1;
    cells->starts = malloc(most * sizeof(int32_t));
    cells->sizes = malloc(most * sizeof(int32_t));
    if (positions && (!real_sizes || !panel_at || !cells->ranks || !cells->starts || !cells->sizes))
        status = VRW_OUT_OF_HOST_MEMORY;
    if (status == VRW_SUCCESS)
        status = vrw_compute_panel_real_sizes(context, matrix, weights, real_sizes);
    if (status == VRW_SUCCESS) {
        for (size_t i = 0; i < padded; i++)
            panel_at[i] = 0;
        for (int32_t row = 0; row < matrix->observations; row++)
            panel_at[positions[row]] = panel_of_row[row];
        for (size_t i = 0; i < n; i++) {
            cells->ranks[i] = r->ranks[i];
            cells->ranks[i].value = panel_at[r->ranks[i].row];
        }
        if (!vrw_sort_ranked_values(cells->ranks, (int64_t)n, 1))
            status = VRW_OUT_OF_HOST_MEMORY;
    }
    if (status == VRW_SUCCESS) {
        int64_t begin = 0;
        int32_t previous_start = 0;
        for (size_t p = 0; p < panels; p++) {
            if (!(real_sizes[p] > 0))
                continue;
            int64_t end = begin;
            while (end < (int64_t)n && cells->ranks[end].value == (double)p)
                end++;
            place_panel_cells(r, cells, begin, end, &previous_start);
            cells->nonempty++;
            begin = end;
        }
        for (int32_t c = 0; c < cells->count; c++)
            cells->sizes[c] = (c + 1 < cells->count ? cells->starts[c + 1] : (int32_t)n)
                              - cells->starts[c];
    }
    free(positions);
    free(panel_of_row);
    free(real_sizes);
    free(panel_at);
    return status;
}

static VRWStatus load_cells(VRWContext_s *context, const VRWMatrixBuffer_s *matrix,
                            const VRWVectorBuffer_s *weights, VRWCoxBuffers_s *b,
                            const Ranking *r)
{
    Cells cells = {0};
    VRWStatus status = make_cells(context, matrix, weights, r, &cells);
    if (status == VRW_SUCCESS)
        status = load_rank_buffers(context, r, cells.ranks, &b->cell_rank_rows,
                                   &b->cell_rank_times, &b->cell_rank_weights);
    if (status == VRW_SUCCESS)
        b->cell_starts = vrw_make_int_buffer(context, (size_t)cells.count, cells.starts, &status);
    if (status == VRW_SUCCESS)
        b->cell_sizes = vrw_make_int_buffer(context, (size_t)cells.count, cells.sizes, &status);
    if (status == VRW_SUCCESS) {
        b->cell_count = cells.count;
        /* No free effect at all (rather than -1) when no panel has rows. */
        b->free_fixed_effect_count = cells.nonempty > 0 ? cells.nonempty - 1 : 0;
    }
    free(cells.ranks);
    free(cells.starts);
    free(cells.sizes);
    return status;
}

VRWStatus vrw_load_cox_rank2row_buffers(VRWContext_s *context, const VRWMatrixBuffer_s *matrix,
                                        const VRWVectorBuffer_s *weights, VRWCoxBuffers_s *buffers,
                                        int32_t time_column, int32_t panel_count,
                                        const VRWVectorBuffer_s *strata)
{
    Ranking r = {0};
    VRWStatus status = rank_by_time_and_stratum(context, matrix, weights, time_column, strata, &r);
    if (status == VRW_SUCCESS)
        status = load_groups(context, buffers, &r);
    if (status == VRW_SUCCESS && panel_count > 0 && matrix->panel_count > 0)
        status = load_cells(context, matrix, weights, buffers, &r);
    if (status == VRW_SUCCESS) {
        buffers->stratum_values = r.group_values;
        r.group_values = NULL;
    }
    free_ranking(&r);
    return status;
}

void vrw_free_cox_buffers(VRWCoxBuffers_s *b)
{
    if (!b)
        return;
    cl_mem buffers[] = {b->hazards, b->events, b->rank_prefix, b->accumulated_prefix,
                        b->work_1, b->work_2, b->rank_rows, b->rank_times, b->rank_weights,
                        b->group_starts, b->group_sizes, b->fe_events, b->fe_rank_prefix,
                        b->fe_accumulated_prefix, b->fe_work_1, b->fe_work_2,
                        b->cell_rank_rows, b->cell_rank_times, b->cell_rank_weights,
                        b->cell_starts, b->cell_sizes};
    for (size_t i = 0; i < sizeof buffers / sizeof buffers[0]; i++)
        vrw_release_mem(buffers[i]);
    free(b->stratum_values);
    free(b);
}

VRWCoxBuffers_s *vrw_create_cox_buffers(VRWContext_s *context, const VRWMatrixBuffer_s *matrix,
                                        const VRWVectorBuffer_s *weights, int32_t time_column,
                                        const VRWVectorBuffer_s *strata,
                                        const VRWVectorBuffer_s *causes, int32_t free_count,
                                        int32_t panel_count, int32_t *status)
{
    (void)causes;
    VRWCoxBuffers_s *b = calloc(1, sizeof *b);
    if (!b) {
        vrw_set_status(status, VRW_OUT_OF_HOST_MEMORY);
        return NULL;
    }
    int32_t err = vrw_load_cox_rank2row_buffers(context, matrix, weights, b, time_column,
                                                panel_count, strata);
    size_t ranks = (size_t)b->ranked_count;
    size_t work = free_count >= 1 ? ranks * (size_t)free_count : 0;
    vrw_chain_reals(context, &b->hazards, ranks, &err);
    vrw_chain_reals(context, &b->events, ranks, &err);
    vrw_chain_reals(context, &b->rank_prefix, ranks, &err);
    vrw_chain_filled_reals(context, &b->accumulated_prefix, ranks, INFINITY, &err);
    vrw_chain_filled_reals(context, &b->work_1, work, 0.0, &err);
    vrw_chain_filled_reals(context, &b->work_2, work, 0.0, &err);
    if (panel_count > 0) {
        vrw_chain_reals(context, &b->fe_events, ranks, &err);
        vrw_chain_reals(context, &b->fe_rank_prefix, ranks, &err);
        vrw_chain_filled_reals(context, &b->fe_accumulated_prefix, ranks, 0.0, &err);
        vrw_chain_filled_reals(context, &b->fe_work_1, work, 0.0, &err);
        vrw_chain_filled_reals(context, &b->fe_work_2, work, 0.0, &err);
    }
    if (err != VRW_SUCCESS) {
        vrw_free_cox_buffers(b);
        vrw_set_status(status, err);
        return NULL;
    }
    return b;
}
