/* Helpers shared by the library's own files over the context and the device
** data; not exported. The fits' own helpers are in vrw_fit_internal.h. */
#ifndef VARROW_VRW_INTERNAL_H
#define VARROW_VRW_INTERNAL_H

#include "varrow/vrw_context.h"
#include "varrow/vrw_loaders.h"

#include <stdbool.h>
#include <sys/time.h>

#define VRW_BLOCK_ROWS 16
#define VRW_QUAD_ROWS 4

/* Wall-clock microseconds, for the iteration logs. */
static inline int64_t vrw_microseconds(void)
{
    struct timeval now;
    gettimeofday(&now, NULL);
    return (int64_t)now.tv_sec * 1000000 + (int64_t)now.tv_usec;
}

/* Every line the library prints goes through these two (vrw_log.c): notes
** of a run's faults to stdout, failures of building programs to stderr. */
void vrw_log_note(const char *format, ...) __attribute__((format(printf, 1, 2)));
void vrw_log_error(const char *format, ...) __attribute__((format(printf, 1, 2)));

/*
** Equilibration of a symmetric n x n matrix (both triangles), so that its
** eigen test and its factorisation see the conditioning of its correlations
** rather than that of the regressors' units (a column x 1e6 puts 1e12 on
** its diagonal). vrw_equilibrate writes scales[i], the power of two nearest
** 1 / sqrt(|a_ii|) (1 for a zero or non-finite diagonal), and replaces a_ij
** by s_i a_ij s_j, leaving a diagonal between 1/2 and 2 in magnitude; powers
** of two scale without rounding, so a well-scaled matrix fares as before. The inverse of the original is then s_i b_ij s_j of the
** inverse b of the equilibrated one: vrw_rescale applies that.
** vrw_invert_equilibrated does all three and returns the LAPACK info of
** vrw_invert_matrix; the matrix then holds the original's inverse.
*/
void vrw_equilibrate(double *matrix, int n, double *scales);
void vrw_rescale(double *matrix, int n, const double *scales);
int vrw_invert_equilibrated(double *matrix, int n, double *scales, int *pivots,
                            double *workspace, int workspace_length);

/* A count as a size, a negative one as none. */
static inline size_t vrw_count_of(int64_t n)
{
    return n > 0 ? (size_t)n : 0;
}

/* Rows of a layout of the given blocks, as a size for byte arithmetic. */
static inline size_t vrw_padded_rows(int32_t blocks)
{
    return blocks > 0 ? (size_t)blocks * VRW_BLOCK_ROWS : 0;
}

/* Blocks of 16 rows that hold n rows. */
static inline int32_t vrw_blocks_for_rows(int64_t n)
{
    return (int32_t)((n + VRW_BLOCK_ROWS - 1) / VRW_BLOCK_ROWS);
}

/*
** Makes a device buffer of the given bytes, copied from host when flags ask
** for it. OpenCL refuses buffers of 0 bytes, so an empty buffer is no buffer:
** NULL with *status 0. On failure NULL with the OpenCL status.
*/
cl_mem vrw_make_buffer(VRWContext_s *context, cl_mem_flags flags, size_t bytes,
                       const void *host, int32_t *status);

/* A buffer of n work-buffer reals (fp_size bytes each) written from host
** doubles with the context's mem_flags (read-only), or left uninitialised
** read-write when host is NULL. */
cl_mem vrw_make_real_buffer(VRWContext_s *context, size_t n, const double *host,
                            int32_t *status);

/* A read-write buffer of n reals, every one set to value. */
cl_mem vrw_make_filled_real_buffer(VRWContext_s *context, size_t n, double value,
                                   int32_t *status);

/* A read-only copy of n ints (the context's mem_flags). */
cl_mem vrw_make_int_buffer(VRWContext_s *context, size_t n, const int32_t *host,
                           int32_t *status);

/* Chained makers: each makes *slot unless a failure is already in *status,
** so a maker of many buffers makes them one after the other and checks once
** at its end. */
static inline void vrw_chain_reals(VRWContext_s *context, cl_mem *slot, size_t n, int32_t *status)
{
    if (*status == VRW_SUCCESS)
        *slot = vrw_make_real_buffer(context, n, NULL, status);
}

/* Reals the host writes and kernels only read. */
static inline void vrw_chain_input_reals(VRWContext_s *context, cl_mem *slot, size_t n,
                                         int32_t *status)
{
    if (*status == VRW_SUCCESS)
        *slot = vrw_make_buffer(context, CL_MEM_READ_ONLY, n * (size_t)context->fp_size, NULL,
                                status);
}

static inline void vrw_chain_copy_reals(VRWContext_s *context, cl_mem *slot, size_t n,
                                        const double *host, int32_t *status)
{
    if (*status == VRW_SUCCESS)
        *slot = vrw_make_real_buffer(context, n, host, status);
}

static inline void vrw_chain_copy_ints(VRWContext_s *context, cl_mem *slot, size_t n,
                                       const int32_t *host, int32_t *status)
{
    if (*status == VRW_SUCCESS)
        *slot = vrw_make_int_buffer(context, n, host, status);
}

static inline void vrw_chain_filled_reals(VRWContext_s *context, cl_mem *slot, size_t n,
                                          double value, int32_t *status)
{
    if (*status == VRW_SUCCESS)
        *slot = vrw_make_filled_real_buffer(context, n, value, status);
}

/* Blocking transfers that skip an empty range, which OpenCL refuses. */
VRWStatus vrw_read_bytes(VRWContext_s *context, cl_mem buffer, size_t offset, size_t bytes,
                         void *host);
VRWStatus vrw_write_bytes(VRWContext_s *context, cl_mem buffer, size_t offset, size_t bytes,
                          const void *host);

/* A new read-only device buffer of bytes for the host to fill in place, so
** that a large matrix is written once rather than staged in a host copy:
** returns its mapping (write only, contents undefined) and the buffer in
** *buffer, or NULL with the failure in *status (nothing left allocated).
** An empty buffer is no buffer: NULL, *buffer NULL, *status 0. */
void *vrw_map_new_buffer(VRWContext_s *context, size_t bytes, cl_mem *buffer, int32_t *status);
/* Hands a mapping back to the device; the buffer keeps what was written. */
VRWStatus vrw_unmap_buffer(VRWContext_s *context, cl_mem buffer, void *host);

static inline void vrw_release_mem(cl_mem buffer)
{
    if (buffer)
        clReleaseMemObject(buffer);
}

static inline void vrw_set_status(int32_t *status, int32_t value)
{
    if (status)
        *status = value;
}

/* The first quad of every panel and their total, from the panel sizes.
** starts and counts (may be NULL) receive panel_count entries. */
int64_t vrw_panel_quads(const int32_t *panel_sizes, int32_t panel_count, int32_t *starts,
                        int32_t *counts);

/* A vector record over a device copy of a host array already padded to
** blocks x 16 entries. */
VRWVectorBuffer_s *vrw_load_padded_vector(VRWContext_s *context, const void *host, size_t bytes,
                                          uint32_t length, int32_t blocks, int32_t *status);

/* The padded position of every row of the matrix, in row order, as a new
** array the caller frees; with panels given, also the panel of every row
** (0 without panels). NULL with the failure in *status. */
int32_t *vrw_row_positions(VRWContext_s *context, const VRWMatrixBuffer_s *matrix,
                           int32_t **panels, VRWStatus *status);

/* Ranked values by value: -1, 0 or 1 (unordered values compare equal). */
int vrw_compare_val_ranks_asc(const void *a, const void *b);
int vrw_compare_val_ranks_desc(const void *a, const void *b);

/* Stable merge sort of ranked values (direction 1 ascending, else
** descending); returns false when its scratch cannot be allocated. */
bool vrw_sort_ranked_values(VRWRankedValue_s *records, int64_t count, int32_t direction);

/* A new array of n zeroed kernel runs, its length in *count; NULL (count 0)
** when it cannot be allocated. */
VRWKernelRun_s *vrw_new_runs(unsigned long n, unsigned long *count);

/* The five least-squares models among the model names of the fits: their
** variance is scaled by the residual variance and their log likelihood is
** the normal one. */
bool vrw_is_least_squares(const char *model);
/* The two models with analytic weights. */
bool vrw_is_weighted_least_squares(const char *model);
bool vrw_model_is(const char *model, const char *name);
/* The models whose row kernels take the dependent value of interest. */
bool vrw_appends_value_of_interest(const char *model);

/*
** Whether every row of positive frequency weight holds one of the listed
** values whose weighted counts (vrw_count_these_values_in_this_column, count
** of them) are given: the choice and category kernels would fit a row of no
** listed value in a choice it is not counted in. 0 when the counts add up to
** the weight of all those rows; 5000 when they fall short (a row of no listed
** value, NaN included) or exceed it (a value listed twice, its rows counted
** twice); else the failing status of the weight sum.
*/
VRWStatus vrw_values_cover_the_rows(VRWContext_s *context, const VRWVectorBuffer_s *weights,
                                    const double *counts, int64_t count);

/* The free parameters of a fit: its free coefficients and, when it estimates
** one effect a panel (buffers made with panels), the effects of the
** non-empty panels of every equation. */
static inline int64_t vrw_free_parameter_count(const VRWMleBuffers_s *buffers)
{
    int64_t effects = buffers->panel_count > 0 ? buffers->equation_count * buffers->cluster_count
                                               : 0;
    return buffers->free_count + effects;
}

#endif
