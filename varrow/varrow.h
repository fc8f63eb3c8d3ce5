/*
** libvarrow: fits regression models with OpenCL kernels on one compute
** device and LAPACK on the host.
**
** Conventions of every function below:
**  - Operations that can fail return a VRWStatus (0 success, a positive
**    library code, or a negative OpenCL code passed on unchanged), or write
**    it through a status reference that may be NULL.
**  - Records come in make/free pairs; whatever the library allocates is
**    released by the matching library call, and the library never frees an
**    array that belongs to the caller.
**  - Host matrices are column-major doubles.
**  - The library starts no threads and keeps no writable global state; a
**    context serves one thread at a time.
*/
#ifndef VARROW_VARROW_H
#define VARROW_VARROW_H

#ifndef CL_TARGET_OPENCL_VERSION
#define CL_TARGET_OPENCL_VERSION 120
#endif
#include <CL/cl.h>
#include <stddef.h>
#include <stdint.h>

#if defined(VRW_BUILDING_LIBRARY)
#define VRW_EXPORT __attribute__((visibility("default")))
#else
#define VRW_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ------------------------------------------------------------------ codes */

typedef int32_t VRWStatus;
enum {
    VRW_SUCCESS = 0,
    VRW_NOT_APPLICABLE = 1,          /* setter refused; no code directory */
    VRW_NO_KERNEL_FILES = 2,         /* no matching kernel file */
    VRW_TOO_FEW_OBSERVATIONS = 2,    /* a run: no more observations than free parameters */
    VRW_OUT_OF_HOST_MEMORY = -6,     /* CL_OUT_OF_HOST_MEMORY */
    VRW_NO_PANELS = -38,             /* CL_INVALID_MEM_OBJECT */
    VRW_KERNEL_NOT_LOADED = -46,     /* CL_INVALID_KERNEL_NAME */
    VRW_UNBALANCED_PANELS = -50,     /* CL_INVALID_ARG_VALUE */
    VRW_WRONG_ARGUMENT_COUNT = -52,  /* CL_INVALID_KERNEL_ARGS */
    VRW_HESSIAN_NOT_INVERTIBLE = 1000, /* + LAPACK info */
    VRW_ESTIMATE_NAN = 2000,
    VRW_HESSIAN_NOT_NEGATIVE = 3000,   /* + LAPACK info when the decomposition fails */
    VRW_MULTICOLLINEAR = 4000,
    VRW_TOO_FEW_CATEGORIES = 5000
};

/* Groups of kernel programs; a model needs the common family and its own. */
typedef uint32_t VRWFamilyMask;
enum {
    VRW_FAMILY_BINARY_CHOICE = 0x1,
    VRW_FAMILY_ORDERED_CHOICE = 0x2,
    VRW_FAMILY_MULTINOMIAL_LOGIT = 0x4,
    VRW_FAMILY_LINEAR = 0x8,
    VRW_FAMILY_COUNT = 0x10,
    VRW_FAMILY_NEGATIVE_BINOMIAL = 0x20,
    VRW_FAMILY_COX = 0x40,
    VRW_FAMILY_COMMON = 0x80,
    VRW_FAMILY_GMM = 0x100
};

typedef uint32_t VRWOptions;
enum {
    VRW_OPTION_SMALL_SAMPLE = 1,         /* variance times n / (n - k) */
    VRW_OPTION_CLUSTER_SMALL_SAMPLE = 2, /* with clusters: times G / (G - 1) */
    VRW_OPTION_ROBUST = 4,
    VRW_OPTION_CLUSTER = 8,              /* the non-empty panels are the clusters */
    VRW_OPTION_FIXED_EFFECTS = 16,
    VRW_OPTION_NO_CONSTANT = 32
};

typedef int32_t VRWRegressionModel;
enum {
    VRW_MODEL_LINEAR = 0,
    VRW_MODEL_LOG_LINEAR = 1,
    VRW_MODEL_WEIGHTED_LINEAR = 2,
    VRW_MODEL_WEIGHTED_LOG_LINEAR = 3,
    VRW_MODEL_INSTRUMENTAL_VARIABLES = 4,
    VRW_MODEL_LOGIT = 5,
    VRW_MODEL_PROBIT = 6,
    VRW_MODEL_BINARY_LINEAR = 7,
    VRW_MODEL_POISSON = 8,
    VRW_MODEL_NEGATIVE_BINOMIAL = 9,
    VRW_MODEL_GEOMETRIC = 10,
    VRW_MODEL_COX_PROPORTIONAL_HAZARDS = 11,
    VRW_MODEL_MULTINOMIAL_LOGIT = 12,
    VRW_MODEL_ORDERED_LOGIT = 13,
    VRW_MODEL_ORDERED_PROBIT = 14
};

/* The caller's iteration log: 121 words of 8 bytes. Words 0-39 hold the
** microseconds of iterations 1-40, 40-79 the change of the convergence
** measure, 80-119 the relative step, 120 the number of iterations. */
enum {
    VRW_ITERATION_LOG_MAX_ITERATIONS = 40,
    VRW_ITERATION_LOG_TIMES = 0,
    VRW_ITERATION_LOG_CHANGES = 40,
    VRW_ITERATION_LOG_STEPS = 80,
    VRW_ITERATION_LOG_COUNT = 120,
    VRW_ITERATION_LOG_WORDS = 121
};
typedef union VRWIterationLogWord {
    int64_t count;
    double value;
} VRWIterationLogWord;
typedef VRWIterationLogWord VRWIterationLog[VRW_ITERATION_LOG_WORDS];

/* ------------------------------------------------ context and programs */

enum { VRW_MAX_KERNELS = 256 };

typedef struct VRWContext_s {
    cl_context context;
    int32_t mem_flags;             /* CL_MEM_READ_ONLY | CL_MEM_COPY_HOST_PTR */
    cl_command_queue queue;        /* in order, no properties */
    cl_device_id device;
    int32_t fp_size;               /* bytes of a device real in work buffers */
    int32_t fp_block_size;         /* bytes of 16 device reals */
    uint32_t loaded_family_mask;
    uint32_t kernel_count;
    cl_kernel kernels[VRW_MAX_KERNELS]; /* in creation order */
} VRWContext_s;

typedef struct VRWCode_s {
    uint32_t family_mask;          /* the mask asked for, not the one found */
    uint32_t program_count;
    cl_program *programs;          /* in the order their files were read */
} VRWCode_s;

/*
** Makes the compute context on the first device of the given OpenCL device
** type (the application passes CL_DEVICE_TYPE_CPU). A device without
** double precision (cl_khr_fp64) is refused with CL_DEVICE_NOT_FOUND.
** Returns NULL with the OpenCL status in *status when there is no usable
** device (CL_PLATFORM_NOT_FOUND_KHR when no OpenCL driver is installed), or
** -6 when the record cannot be allocated; *status is not written on success.
*/
VRW_EXPORT VRWContext_s *vrw_context_init(cl_device_type device_type, int32_t *status);

/* Releases every kernel, the queue, the OpenCL context and the record.
** NULL is ignored. */
VRW_EXPORT void vrw_context_free(VRWContext_s *context);

/*
** Builds the kernel programs of the families in family_mask found in the
** directory: files named "<program>.cl" (source) or "<program>.bc" (a device
** binary) after a row of the program table. Returns a code object the caller
** releases with vrw_release_code, or NULL with the status in *status and a
** message (or the build log) copied into message (capacity bytes, its length
** in *message_length; a message that does not fit is dropped and the length
** is 0). Status 1: no directory or it cannot be opened; 2: no matching file,
** or one cannot be read; negative: the OpenCL failure of creating or
** building a program ("Error ... program for <name>" on stderr). Nothing of
** a failed call stays allocated, and the context's kernel table is never
** touched.
*/
VRW_EXPORT VRWCode_s *vrw_compile_code(VRWContext_s *context, const char *directory,
                                       uint32_t family_mask, int32_t *status,
                                       size_t message_capacity, char *message,
                                       int64_t *message_length);

/* Creates every kernel of the code's programs at the end of the kernel table
** and adds the code's family mask to loaded_family_mask. A failure returns
** its OpenCL status at once: kernels of earlier programs stay, the mask is
** unchanged. */
VRW_EXPORT VRWStatus vrw_load_code(VRWContext_s *context, const VRWCode_s *code);

/* Releases the programs and the code object; kernels made from it stay valid. */
VRW_EXPORT void vrw_release_code(VRWCode_s *code);

/* Empties the kernel table and clears loaded_family_mask. */
VRW_EXPORT void vrw_release_kernels(VRWContext_s *context);

/* Copy a message (or first followed by second) with its NUL into buffer when
** it fits (its length is below capacity) and report its length, else copy
** nothing and report 0. length may be NULL. */
VRW_EXPORT void vrw_error_msg1(size_t capacity, char *buffer, int64_t *length,
                               const char *message);
VRW_EXPORT void vrw_error_msg2(size_t capacity, char *buffer, int64_t *length,
                               const char *first, const char *second);

/* ----------------------------------------------------------- kernel runs */

enum { VRW_MAX_KERNEL_ARGS = 32 };

enum {
    VRW_ARG_MEM = 0,
    VRW_ARG_INT = 1,
    VRW_ARG_FLOAT = 2,
    VRW_ARG_DOUBLE = 3
};

typedef struct VRWKernelArg_s {
    int64_t size;                  /* bytes of the value */
    union {
        cl_mem mem;                /* NULL binds no buffer */
        int32_t i;
        float f;
        double d;
        uint64_t bits;
    } value;
    uint32_t kind;                 /* VRW_ARG_* */
} VRWKernelArg_s;

/* Called around a kernel with the context and its data; non-zero stops the
** list with that status. */
typedef VRWStatus (*VRWKernelCallback)(VRWContext_s *context, void *data);

typedef struct VRWKernelRun_s {
    cl_kernel kernel;
    size_t global_size[3];
    uint32_t work_dim;
    int64_t arg_count;
    VRWKernelArg_s args[VRW_MAX_KERNEL_ARGS];
    VRWKernelCallback pre_run;     /* before the arguments are bound */
    void *pre_run_data;
    VRWKernelCallback post_run;    /* after the kernel is enqueued */
    void *post_run_data;
} VRWKernelRun_s;

/* The first kernel of the table named exactly name, or NULL. The kernel
** belongs to the context. */
VRW_EXPORT cl_kernel vrw_find_kernel(const VRWContext_s *context, const char *name);

/* Lookups by naming pattern over a model name ("logit", "count", ...). */
VRW_EXPORT cl_kernel vrw_find_prefix_kernel(const VRWContext_s *context, const char *model);
VRW_EXPORT cl_kernel vrw_find_prefix_fe_kernel(const VRWContext_s *context, const char *model);
VRW_EXPORT cl_kernel vrw_find_predict_kernel(const VRWContext_s *context, const char *model);
VRW_EXPORT cl_kernel vrw_find_predict_fe_kernel(const VRWContext_s *context, const char *model);
VRW_EXPORT cl_kernel vrw_find_log_likelihood_kernel(const VRWContext_s *context, const char *model);
VRW_EXPORT cl_kernel vrw_find_log_likelihood_fe_kernel(const VRWContext_s *context, const char *model);
VRW_EXPORT cl_kernel vrw_find_jacobian_kernel(const VRWContext_s *context, const char *model);
VRW_EXPORT cl_kernel vrw_find_hessian_kernel(const VRWContext_s *context, const char *model);
VRW_EXPORT cl_kernel vrw_find_robust_kernel(const VRWContext_s *context, const char *model);
VRW_EXPORT cl_kernel vrw_find_cluster_pass1_kernel(const VRWContext_s *context, const char *model);
VRW_EXPORT cl_kernel vrw_find_cluster_pass2_kernel(const VRWContext_s *context, const char *model);
VRW_EXPORT cl_kernel vrw_find_jacobian_fe_kernel(const VRWContext_s *context, const char *model);
VRW_EXPORT cl_kernel vrw_find_hessian_fe_kernel(const VRWContext_s *context, const char *model);

/*
** Binds and enqueues count runs in order on the context's in-order queue;
** does not wait for them. A run whose kernel declares another number of
** arguments than prepared returns -52 before anything of it is enqueued. A
** run with a global size of 0 in a used dimension enqueues nothing (its
** callbacks still run). The first failure stops the list.
*/
VRW_EXPORT VRWStatus vrw_run_kernels(VRWContext_s *context, VRWKernelRun_s *runs, int64_t count);

VRW_EXPORT void vrw_reset_kernel_args(VRWKernelRun_s *run);
VRW_EXPORT void vrw_set_kernel_arg_mem(VRWKernelRun_s *run, cl_mem buffer);
VRW_EXPORT void vrw_set_kernel_arg_int(VRWKernelRun_s *run, int32_t value);
VRW_EXPORT void vrw_set_kernel_arg_float(VRWKernelRun_s *run, float value);
VRW_EXPORT void vrw_set_kernel_arg_double(VRWKernelRun_s *run, double value);
VRW_EXPORT void vrw_set_kernel_dim1(VRWKernelRun_s *run, size_t x);
VRW_EXPORT void vrw_set_kernel_dim2(VRWKernelRun_s *run, size_t x, size_t y);
VRW_EXPORT void vrw_set_kernel_dim3(VRWKernelRun_s *run, size_t x, size_t y, size_t z);

/* ------------------------------------------------- device data layouts */

/*
** A data matrix on the device: column-major doubles, each column padded
** with zero rows to blocks x 16 rows. With panels, the rows are grouped by
** panel and every panel is padded to whole quads of 4 rows.
*/
typedef struct VRWMatrixBuffer_s {
    cl_mem data;
    int32_t observations;          /* rows as given */
    int32_t columns;
    int32_t blocks;                /* padded rows / 16 */
    cl_mem panel_sizes;            /* int per panel */
    cl_mem panel_quad_counts;      /* int per panel: (rows + 3) / 4 */
    cl_mem panel_quad_starts;      /* int per panel: its first quad */
    cl_mem quad_panels;            /* int per quad (blocks x 4): its panel */
    int32_t panel_count;           /* 0 without panels */
    cl_mem panel_means;            /* doubles, column c of panel p at c x panel_count + p */
} VRWMatrixBuffer_s;

/* A device vector of doubles (or 32-bit integers) padded with zeros to a
** multiple of 16 entries. */
typedef struct VRWVectorBuffer_s {
    cl_mem data;
    uint32_t length;               /* entries given */
    int32_t blocks;                /* padded length / 16 */
} VRWVectorBuffer_s;

/* Blocking transfers of n work-buffer reals (fp_size bytes each) from and to
** host doubles. Return the OpenCL status. */
VRW_EXPORT VRWStatus vrw_read_fp_buffer(VRWContext_s *context, cl_mem buffer, size_t n, double *host);
VRW_EXPORT VRWStatus vrw_write_fp_buffer(VRWContext_s *context, cl_mem buffer, size_t n, const double *host);
VRW_EXPORT VRWStatus vrw_initialize_fp_buffer(VRWContext_s *context, cl_mem buffer, size_t n, double value);

/* Readers of per-row results into caller-owned doubles, in the matrix's row
** order with the panel padding removed. A failure leaves host partly
** written. */
VRW_EXPORT VRWStatus vrw_read_data_buffer(VRWContext_s *context, const VRWMatrixBuffer_s *matrix,
                                          cl_mem buffer, int32_t column, double *host);
VRW_EXPORT VRWStatus vrw_copy_data_buffer(VRWContext_s *context, const VRWMatrixBuffer_s *matrix,
                                          double *host, const double *source);
VRW_EXPORT VRWStatus vrw_read_vectorized_data_buffer(VRWContext_s *context,
                                                     const VRWMatrixBuffer_s *matrix,
                                                     cl_mem buffer, int32_t n, double *host);

/*
** Loaders copy the caller's column-major host data (rows values a column)
** to the device. Each returns a new record the caller releases with
** vrw_unload_matrix / vrw_unload_vector, or NULL with the failure in
** *status (which is left alone on success). Panel data lists the rows of
** panel 0, then panel 1, ...; panel sizes are one int a panel. Weights of the
** matrix loaders multiply the values: one a row without panels, one a panel
** with panels. demean subtracts each panel's plain column mean first.
*/
VRW_EXPORT VRWMatrixBuffer_s *vrw_load_padded_matrix(VRWContext_s *context, const double *host,
                                                     size_t bytes, int32_t rows, int32_t blocks,
                                                     int32_t columns, int32_t *status);
VRW_EXPORT VRWMatrixBuffer_s *vrw_load_weighted_matrix(VRWContext_s *context, const double *weights,
                                                       const double *data, int32_t rows,
                                                       int32_t columns, int32_t *status);
VRW_EXPORT VRWMatrixBuffer_s *vrw_load_matrix(VRWContext_s *context, const double *data,
                                              int32_t rows, int32_t columns, int32_t *status);
VRW_EXPORT VRWMatrixBuffer_s *vrw_load_weighted_unbalanced_panel_matrix(
    VRWContext_s *context, const double *panel_weights, const double *data, int32_t rows,
    int32_t columns, const int32_t *panel_sizes, int32_t panel_count, int32_t demean,
    int32_t *status);
VRW_EXPORT VRWMatrixBuffer_s *vrw_load_unbalanced_panel_matrix(
    VRWContext_s *context, const double *data, int32_t rows, int32_t columns,
    const int32_t *panel_sizes, int32_t panel_count, int32_t demean, int32_t *status);
VRW_EXPORT VRWMatrixBuffer_s *vrw_load_weighted_balanced_panel_matrix(
    VRWContext_s *context, const double *panel_weights, const double *data, int32_t rows,
    int32_t columns, int32_t panel_count, int32_t demean, int32_t *status);
VRW_EXPORT VRWMatrixBuffer_s *vrw_load_balanced_panel_matrix(
    VRWContext_s *context, const double *data, int32_t rows, int32_t columns,
    int32_t panel_count, int32_t demean, int32_t *status);

VRW_EXPORT VRWVectorBuffer_s *vrw_load_float_vector(VRWContext_s *context, const double *values,
                                                    uint32_t n, int32_t *status);
VRW_EXPORT VRWVectorBuffer_s *vrw_load_integer_vector(VRWContext_s *context, const int32_t *values,
                                                      uint32_t n, int32_t *status);
VRW_EXPORT VRWVectorBuffer_s *vrw_load_pattern_vector(VRWContext_s *context, const double *pattern,
                                                      uint32_t m, uint32_t n, int32_t *status);
VRW_EXPORT VRWVectorBuffer_s *vrw_load_ones_vector(VRWContext_s *context, uint32_t n,
                                                   int32_t *status);
VRW_EXPORT VRWVectorBuffer_s *vrw_load_unbalanced_panel_float_vector(
    VRWContext_s *context, const double *values, uint32_t n, const int32_t *panel_sizes,
    int32_t panel_count, int32_t *status);
VRW_EXPORT VRWVectorBuffer_s *vrw_load_unbalanced_panel_integer_vector(
    VRWContext_s *context, const int32_t *values, uint32_t n, const int32_t *panel_sizes,
    int32_t panel_count, int32_t *status);
VRW_EXPORT VRWVectorBuffer_s *vrw_load_unbalanced_panel_ones_vector(
    VRWContext_s *context, uint32_t n, const int32_t *panel_sizes, int32_t panel_count,
    int32_t *status);

/* Release every device buffer of the record and the record; NULL is ignored. */
VRW_EXPORT void vrw_unload_matrix(VRWMatrixBuffer_s *matrix);
VRW_EXPORT void vrw_unload_vector(VRWVectorBuffer_s *vector);

/* Debug printers of a column-major rows x columns matrix to stdout. */
VRW_EXPORT void vrw_log_matrix(const char *title, const double *matrix, int64_t rows, int64_t columns);
VRW_EXPORT void vrw_log_matrixf(const char *title, const float *matrix, int64_t rows, int64_t columns);
VRW_EXPORT void vrw_log_matrixi(const char *title, const int32_t *matrix, int64_t rows, int64_t columns);
VRW_EXPORT void vrw_log_matrixl(const char *title, const int64_t *matrix, int64_t rows, int64_t columns);

/* ------------------------------------------------------ device aggregates */

/*
** Scalar aggregates over the rows of positive frequency weight (a row of
** weight 0 takes no part, whatever its value). Each returns NaN on failure,
** -46 in *status when its kernel is not loaded; *status (may be NULL) is set
** to 0 or the failure. Means of no weight are NaN.
*/
VRW_EXPORT double vrw_compute_fweight_sum(VRWContext_s *context, const VRWVectorBuffer_s *weights,
                                          int32_t *status);
VRW_EXPORT double vrw_compute_vector_integer_sum(VRWContext_s *context,
                                                 const VRWVectorBuffer_s *vector,
                                                 const VRWVectorBuffer_s *weights, int32_t *status);
VRW_EXPORT double vrw_compute_vector_mean(VRWContext_s *context, const VRWVectorBuffer_s *vector,
                                          const VRWVectorBuffer_s *weights, int32_t *status);
VRW_EXPORT double vrw_compute_buffer_sum_of_squares(VRWContext_s *context, cl_mem buffer,
                                                    const VRWVectorBuffer_s *weights,
                                                    int32_t *status);
VRW_EXPORT double vrw_compute_column_mean(VRWContext_s *context, const VRWMatrixBuffer_s *matrix,
                                          const VRWVectorBuffer_s *weights, int32_t column,
                                          int32_t *status);
VRW_EXPORT double vrw_compute_column_log_mean(VRWContext_s *context, const VRWMatrixBuffer_s *matrix,
                                              const VRWVectorBuffer_s *weights, int32_t column,
                                              int32_t *status);
VRW_EXPORT double vrw_compute_column_uncentered_sum_of_squares(VRWContext_s *context,
                                                               const VRWMatrixBuffer_s *matrix,
                                                               const VRWVectorBuffer_s *weights,
                                                               int32_t column, int32_t *status);
VRW_EXPORT double vrw_compute_column_centered_sum_of_squares(VRWContext_s *context,
                                                             const VRWMatrixBuffer_s *matrix,
                                                             const VRWVectorBuffer_s *weights,
                                                             int32_t column, int32_t *status);
VRW_EXPORT double vrw_compute_column_log_uncentered_sum_of_squares(VRWContext_s *context,
                                                                   const VRWMatrixBuffer_s *matrix,
                                                                   const VRWVectorBuffer_s *weights,
                                                                   int32_t column, int32_t *status);
VRW_EXPORT double vrw_compute_column_log_centered_sum_of_squares(VRWContext_s *context,
                                                                 const VRWMatrixBuffer_s *matrix,
                                                                 const VRWVectorBuffer_s *weights,
                                                                 int32_t column, int32_t *status);

/* Under frequency and analytic weights together: each row counts with the
** product of its two weights. On a panel matrix the analytic weights are
** one a panel (the caller loads them as a vector of panel_count entries). */
VRW_EXPORT double vrw_compute_weighted_mean(VRWContext_s *context, const VRWMatrixBuffer_s *matrix,
                                            const VRWVectorBuffer_s *weights, int32_t column,
                                            const VRWVectorBuffer_s *analytic_weights,
                                            int32_t *status);
VRW_EXPORT double vrw_compute_weighted_log_mean(VRWContext_s *context,
                                                const VRWMatrixBuffer_s *matrix,
                                                const VRWVectorBuffer_s *weights, int32_t column,
                                                const VRWVectorBuffer_s *analytic_weights,
                                                int32_t *status);
VRW_EXPORT double vrw_compute_buffer_weighted_sum_of_squares(VRWContext_s *context, cl_mem buffer,
                                                             const VRWMatrixBuffer_s *matrix,
                                                             const VRWVectorBuffer_s *weights,
                                                             const VRWVectorBuffer_s *analytic_weights,
                                                             int32_t *status);

/* The analytic-weight sums of squares of a column (about the weighted mean
** when centered), of the column or of its logarithm. On a panel matrix the
** analytic weights are one a panel, as above. */
VRW_EXPORT double vrw_compute_column_weighted_centered_sum_of_squares(
    VRWContext_s *context, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    int32_t column, const VRWVectorBuffer_s *analytic_weights, int32_t *status);
VRW_EXPORT double vrw_compute_column_weighted_uncentered_sum_of_squares(
    VRWContext_s *context, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    int32_t column, const VRWVectorBuffer_s *analytic_weights, int32_t *status);
VRW_EXPORT double vrw_compute_column_weighted_log_centered_sum_of_squares(
    VRWContext_s *context, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    int32_t column, const VRWVectorBuffer_s *analytic_weights, int32_t *status);
VRW_EXPORT double vrw_compute_column_weighted_log_uncentered_sum_of_squares(
    VRWContext_s *context, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    int32_t column, const VRWVectorBuffer_s *analytic_weights, int32_t *status);
/* The sum of f x a x (s / a)^2 over rows of positive f x a: the residual sum
** of squares of scores s that carry their row's analytic weight a. */
VRW_EXPORT double vrw_compute_buffer_weighted_score_sum_of_squares(
    VRWContext_s *context, cl_mem buffer, const VRWMatrixBuffer_s *matrix,
    const VRWVectorBuffer_s *weights, const VRWVectorBuffer_s *analytic_weights, int32_t *status);

/* Per-panel aggregates: one double a panel into results (caller-owned). */
VRW_EXPORT VRWStatus vrw_compute_panel_vector_means(VRWContext_s *context,
                                                   const VRWMatrixBuffer_s *matrix,
                                                   const VRWVectorBuffer_s *weights,
                                                   const VRWVectorBuffer_s *vector, double *results);
VRW_EXPORT VRWStatus vrw_compute_panel_column_means(VRWContext_s *context,
                                                   const VRWMatrixBuffer_s *matrix,
                                                   const VRWVectorBuffer_s *weights, int32_t column,
                                                   double *results);
VRW_EXPORT VRWStatus vrw_compute_panel_real_sizes(VRWContext_s *context,
                                                 const VRWMatrixBuffer_s *matrix,
                                                 const VRWVectorBuffer_s *weights, double *results);

struct VRWGmmBuffers_s;

/* One fixed effect a panel of a demeaned panel matrix from its panel means
** and the GMM estimates. */
VRW_EXPORT VRWStatus vrw_compute_fixed_effects(VRWContext_s *context, const VRWMatrixBuffer_s *matrix,
                                              int32_t column, const struct VRWGmmBuffers_s *buffers,
                                              double *results);

/* flags[i] becomes non-zero when column columns[i] holds a value other than
** 0 or NaN in a row of positive frequency weight. */
VRW_EXPORT VRWStatus vrw_which_matrix_columns_have_data(VRWContext_s *context,
                                                       const VRWMatrixBuffer_s *matrix,
                                                       const VRWVectorBuffer_s *weights,
                                                       const int32_t *columns, int32_t count,
                                                       int32_t *flags);

/* results[i]: the frequency weight of the rows whose value in column of
** source (laid out like the matrix's columns) equals values[i]. */
VRW_EXPORT VRWStatus vrw_count_these_values_in_this_column(VRWContext_s *context,
                                                          const VRWMatrixBuffer_s *matrix,
                                                          const VRWVectorBuffer_s *weights,
                                                          cl_mem source, const double *values,
                                                          int32_t count, int32_t column,
                                                          double *results);

/* Host helpers over m blocks of n values, a flag (non-zero = kept) a block. */
VRW_EXPORT void collapse_double_buffer2(double *destination, const double *source, int64_t n,
                                        int64_t m, const int32_t *flags);
VRW_EXPORT void collapse_double_buffer(double *buffer, int64_t n, int64_t m, const int32_t *flags);
VRW_EXPORT void expand_double_buffer2(double *destination, const double *source, int64_t n,
                                      int64_t m, const int32_t *flags, double fill);
VRW_EXPORT void expand_double_buffer(double *buffer, int64_t n, int64_t m, const int32_t *flags,
                                     double fill);
VRW_EXPORT void expand_long_buffer(int64_t *buffer, int64_t n, int64_t m, const int32_t *flags,
                                   int64_t fill);
/* The k x k matrix of all coefficients from the f x f matrix of the free ones
** (constraint NaN = free); rows and columns of fixed coefficients are 0. */
VRW_EXPORT void expand_constrained_matrix(double *destination, const double *constraints,
                                          int64_t k, const double *source, int64_t f);

/* -------------------------------------------------------- dense algebra */

/* Optimal workspace length of dgetri_ for an n x n matrix. */
VRW_EXPORT int vrw_optimal_iwork_dim(int n);
/* Inverts the n x n matrix in place by LU; returns the LAPACK info (the
** factorisation's when it fails, leaving the matrix factorised). */
VRW_EXPORT int vrw_invert_matrix(double *matrix, int n, int *pivots, double *workspace,
                                 int workspace_length);
/* Eigenvalues (ascending) and optionally eigenvectors (column j for value j)
** of the symmetric matrix, upper triangle read, input unchanged. Returns 1
** for a NaN element, -6 when memory runs out, else the LAPACK info. */
VRW_EXPORT int vrw_matrix_eigenvectors(const double *matrix, int n, double *eigenvalues,
                                       double *eigenvectors);
VRW_EXPORT int vrw_matrix_eigenvalues(const double *matrix, int n, double *eigenvalues);

/* --------------------------------------------------- work buffers of fits */

typedef struct VRWRankedValue_s {
    double value;
    double weight;
    int32_t row;                   /* position in the device layout */
} VRWRankedValue_s;

/* Buffers of a Newton fit. R below is blocks x 16. */
typedef struct VRWMleBuffers_s {
    cl_mem row_values;             /* R */
    cl_mem sum;                    /* 1 */
    cl_mem row_choice_values;      /* R x X, X >= 1 */
    cl_mem choice_sums;            /* X */
    cl_mem scores;                 /* R x Q */
    cl_mem weights;                /* R x Q x Q */
    cl_mem fitted;                 /* R */
    cl_mem predicted;              /* R, or R x X */
    cl_mem estimates;              /* n, read-only to kernels */
    cl_mem jacobian;               /* k */
    cl_mem hessian;                /* k x k */
    cl_mem columns;                /* V ints */
    cl_mem opg;                    /* k x k */
    cl_mem cluster_scores;         /* k x G, clustering only: coefficient i of cluster g
                                      at i x G + g */
    cl_mem fixed_effects;          /* Q x P, read-only to kernels */
    cl_mem fe_jacobian;            /* E x G: each cluster's sum of f x scores */
    cl_mem fe_hessian;             /* E x G x E: each cluster's sum of f x weights */
    cl_mem fe_cross_hessian;       /* E x G x k: panel means c / h, coefficient i of
                                      cluster g at i x G + g for one equation */
    cl_mem fe_cross_solved;        /* E x G x k: cross sums c = sum f w x, likewise */
    cl_mem step;                   /* k, read-only to kernels */
    cl_mem fe_delta;               /* E x G, read-only to kernels */
    cl_mem free_columns;           /* k ints: coefficient index mod V */
    cl_mem free_equations;         /* k ints: coefficient index / V */
    cl_mem equation_choices;       /* made by the multinomial-logit fit */
    cl_mem choice_values;          /* Q */
    cl_mem clusters;               /* G ints: panel numbers */
    int64_t free_count;            /* k */
    int64_t variable_count;        /* V */
    int64_t coefficient_count;     /* n */
    int64_t choice_count;          /* Q */
    int64_t equation_count;        /* E */
    int64_t panel_count;           /* P */
    int64_t cluster_count;         /* G */
    double *host_hessian;          /* k x k */
    const double *constraints;     /* the caller's n, NaN free */
    const double *fixed_effect_constraints; /* the caller's */
} VRWMleBuffers_s;

typedef struct VRWGmmBuffers_s {
    cl_mem scores;
    cl_mem weights;
    cl_mem fitted;
    cl_mem estimates;              /* k, read-only to kernels */
    cl_mem cross_products;         /* L x k */
    cl_mem columns;
    cl_mem opg;                    /* L x L */
    cl_mem instrument_columns;     /* L */
    cl_mem moments;                /* L */
    cl_mem coefficient_indices;    /* 0 .. k - 1 */
    cl_mem instrument_indices;     /* 0 .. L - 1 */
    int64_t coefficient_count;
    int64_t column_count;
    int64_t instrument_count;
    int64_t free_count;
    double *host_hessian;          /* k x k */
    double *host_cross_products;   /* L x k */
} VRWGmmBuffers_s;

typedef struct VRWNegbin2Buffers_s {
    cl_mem nuisance_scores;
    cl_mem cross_weights;
    cl_mem nuisance_weights;
} VRWNegbin2Buffers_s;

typedef struct VRWOrderedChoiceBuffers_s {
    cl_mem category_map;           /* ints: M, then the category of whole values 0 .. M - 1 */
    int64_t category_count;
    cl_mem nuisance_scores_upper;
    cl_mem nuisance_scores_lower;
    cl_mem cross_weights_upper;
    cl_mem cross_weights_lower;
    cl_mem nuisance_weights_upper;
    cl_mem nuisance_weights_lower;
    cl_mem nuisance_weights_cross;
} VRWOrderedChoiceBuffers_s;

/* Cox buffers; a rank is a row of positive weight, R' of them. */
typedef struct VRWCoxBuffers_s {
    cl_mem hazards;                /* R' */
    cl_mem events;                 /* R' */
    cl_mem rank_prefix;            /* R' */
    cl_mem accumulated_prefix;     /* R', +infinity */
    cl_mem work_1;                 /* R' x E, zero */
    cl_mem work_2;                 /* R' x E, zero */
    cl_mem rank_rows;              /* R' ints, stratum group order */
    cl_mem rank_times;             /* R' */
    cl_mem rank_weights;           /* R' */
    cl_mem group_starts;           /* ints a stratum group */
    cl_mem group_sizes;
    cl_mem fe_events;              /* with panels */
    cl_mem fe_rank_prefix;
    cl_mem fe_accumulated_prefix;  /* zero */
    cl_mem fe_work_1;              /* zero */
    cl_mem fe_work_2;              /* zero */
    cl_mem cell_rank_rows;
    cl_mem cell_rank_times;
    cl_mem cell_rank_weights;
    cl_mem cell_starts;            /* ints a cell: non-empty panel x group */
    cl_mem cell_sizes;
    int32_t cell_count;
    double *stratum_values;        /* host, a group; NaN without strata */
    int32_t group_count;
    int32_t ranked_count;          /* R' */
    int32_t free_fixed_effect_count; /* non-empty panels - 1 */
} VRWCoxBuffers_s;

/*
** The rows of positive weight (values: one a padded row position) as records
** sorted stably by value: ascending for direction 1, else descending. *records
** receives a new array the caller frees with free(), *count its length
** (NULL and 0 when no row qualifies).
*/
VRW_EXPORT VRWStatus vrw_read_ranked_values(VRWContext_s *context, const VRWMatrixBuffer_s *matrix,
                                            const VRWVectorBuffer_s *weights, const double *values,
                                            VRWRankedValue_s **records, int64_t *count,
                                            int32_t direction);

/* Makers return a new record or NULL with the failure in *status; a failed
** maker leaves nothing allocated. Freers release every buffer and host array
** the record made (never the caller's arrays) and accept NULL. */
VRW_EXPORT VRWMleBuffers_s *vrw_create_mle_buffers(
    VRWContext_s *context, const int32_t *columns, int64_t variable_count,
    const double *constraints, int64_t coefficient_count, const double *fixed_effect_constraints,
    int64_t panel_count, const uint32_t *clusters, int64_t cluster_count, int32_t clustering,
    int64_t extra_count, const double *choice_values, int64_t choice_count, int32_t blocks,
    int32_t *status);
VRW_EXPORT void vrw_free_mle_buffers(VRWMleBuffers_s *buffers);

VRW_EXPORT VRWGmmBuffers_s *vrw_create_gmm_buffers(VRWContext_s *context, const int32_t *columns,
                                                   int64_t column_count,
                                                   const int32_t *instrument_columns,
                                                   int64_t instrument_count,
                                                   int64_t coefficient_count, int32_t blocks,
                                                   int32_t *status);
VRW_EXPORT void vrw_free_gmm_buffers(VRWGmmBuffers_s *buffers);

VRW_EXPORT VRWNegbin2Buffers_s *vrw_create_negbin2_buffers(VRWContext_s *context, int32_t blocks,
                                                           int32_t *status);
VRW_EXPORT void vrw_free_negbin2_buffers(VRWNegbin2Buffers_s *buffers);

VRW_EXPORT VRWOrderedChoiceBuffers_s *vrw_create_ordered_choice_buffers(
    VRWContext_s *context, int32_t blocks, const double *category_values, int64_t category_count,
    int32_t *status);
VRW_EXPORT void vrw_free_ordered_choice_buffers(VRWOrderedChoiceBuffers_s *buffers);

/* free_count sizes work_1 and work_2; panel_count > 0 asks for the
** fixed-effect buffers and the panel-major ranking. causes is not used. */
VRW_EXPORT VRWCoxBuffers_s *vrw_create_cox_buffers(VRWContext_s *context,
                                                   const VRWMatrixBuffer_s *matrix,
                                                   const VRWVectorBuffer_s *weights,
                                                   int32_t time_column,
                                                   const VRWVectorBuffer_s *strata,
                                                   const VRWVectorBuffer_s *causes,
                                                   int32_t free_count, int32_t panel_count,
                                                   int32_t *status);
VRW_EXPORT void vrw_free_cox_buffers(VRWCoxBuffers_s *buffers);
VRW_EXPORT VRWStatus vrw_load_cox_rank2row_buffers(VRWContext_s *context,
                                                   const VRWMatrixBuffer_s *matrix,
                                                   const VRWVectorBuffer_s *weights,
                                                   VRWCoxBuffers_s *buffers, int32_t time_column,
                                                   int32_t panel_count,
                                                   const VRWVectorBuffer_s *strata);

/* Fitted-value runs: run must be zeroed. Each returns -46 (kernel left NULL)
** when its kernel is not loaded, else sets blocks work items and the
** arguments. exposures may be NULL. */
VRW_EXPORT VRWStatus vrw_fitted_kernel_run_init(VRWKernelRun_s *run, VRWContext_s *context,
                                                const VRWMatrixBuffer_s *matrix,
                                                const VRWVectorBuffer_s *exposures,
                                                const VRWMleBuffers_s *buffers, cl_mem output);
VRW_EXPORT VRWStatus vrw_fitted_kernel_run_init_fe(VRWKernelRun_s *run, VRWContext_s *context,
                                                   const VRWMatrixBuffer_s *matrix,
                                                   const VRWVectorBuffer_s *exposures,
                                                   const VRWMleBuffers_s *buffers, cl_mem output);
VRW_EXPORT VRWStatus vrw_fitted_kernel_run_init_fe_cox_proportional_hazards(
    VRWKernelRun_s *run, VRWContext_s *context, const VRWMatrixBuffer_s *matrix,
    const VRWMleBuffers_s *buffers, cl_mem output);
VRW_EXPORT VRWStatus vrw_fitted_kernel_run_init_gmm(VRWKernelRun_s *run, VRWContext_s *context,
                                                    const VRWMatrixBuffer_s *matrix,
                                                    const VRWGmmBuffers_s *buffers, cl_mem output);

/* ------------------------------------------------- tests and regressions */

/* Linear restrictions R b = r of test_count Wald tests. The record owns its
** three arrays; the matrices and vectors they point to are the caller's. */
typedef struct VRWTestRestrictions_s {
    double **R;                    /* q[t] x variable_count, column-major */
    int64_t *q;
    double **r;                    /* q[t] */
    int64_t test_count;
    int64_t variable_count;
} VRWTestRestrictions_s;

/* One fit. Every pointer refers to something the caller owns, except
** nonempty_panels and fixed_effect_constraints, which a run fills and
** empties. k is independent_column_count, S the coefficient sets, P the
** panel count. */
typedef struct VRWRegression_s {
    VRWContext_s *context;
    VRWRegressionModel model;
    uint32_t family_mask;
    const VRWMatrixBuffer_s *data;
    const VRWVectorBuffer_s *analytic_weights;
    const VRWVectorBuffer_s *frequency_weights;
    const VRWVectorBuffer_s *exposures;
    const VRWVectorBuffer_s *censoring;
    const VRWVectorBuffer_s *strata;
    const VRWVectorBuffer_s *causes;
    int32_t dependent_column;
    double dependent_value_of_interest;
    const double *dependent_values;
    uint32_t dependent_value_count;
    double omitted_dependent_value;
    const double *cause_values;
    uint32_t cause_value_count;
    int32_t constant_column;
    const int32_t *independent_columns;
    int64_t independent_column_count;
    const int32_t *instrument_columns;
    int64_t instrument_column_count;
    uint32_t *nonempty_panels;
    int64_t nonempty_panel_count;
    const double *weighting_matrix;
    uint32_t options;
    const double *constraints;     /* k, or S x k during a run */
    const double *coefficient_guesses;
    const double *fixed_effect_guesses;
    double *fixed_effect_constraints; /* S x P during a run */
    const VRWTestRestrictions_s *restrictions;
    double *out_coefficients;
    double *out_standard_errors;
    double *out_variance_matrix;
    int64_t *out_free_parameter_count;
    double *out_fixed_effects;
    double *out_nuisance_coefficients;
    double *out_nuisance_standard_errors;
    double *out_residuals;
    double *out_residual_sum_of_squares;
    double *out_total_sum_of_squares;
    int64_t *out_observation_count;
    int64_t *out_per_cause_observation_count;
    int64_t *out_per_choice_observation_count;
    double *out_log_likelihood;
    double *out_per_cause_log_likelihood;
    double *out_per_choice_log_likelihood;
    double *out_predicted_values;
    double *out_objective_function;
    double *out_wald_statistics;
    int64_t *out_wald_degrees_of_freedom;
    int64_t *out_multicollinear_sets;
    double *out_failure_times;
    double *out_hazard_function;
    int32_t *out_failure_time_stratum_counts;
    double *out_stratum_values;
    int32_t *out_stratum_value_count;
    int64_t *out_censored_count;
} VRWRegression_s;

/*
** A new record for one fit of the model on the context: every field zero,
** dependent_column, constant_column and independent_column_count -1,
** dependent_value_of_interest NaN, family_mask the kernel families the model
** needs (the common family alone for an unknown model). NULL when it cannot
** be allocated. Release with vrw_free_regression, which frees the record
** alone: the matrix, vectors, restrictions and arrays it refers to stay the
** caller's.
*/
VRW_EXPORT VRWRegression_s *vrw_init_regression(VRWContext_s *context, VRWRegressionModel model);
VRW_EXPORT void vrw_free_regression(VRWRegression_s *regression);

/*
** Setters store their arguments and return 0, or store nothing and return 1
** when the input does not apply to the record's model, so a caller may set
** every input unconditionally. Arrays and records are referred to, not
** copied: they must outlive the run.
*/
VRW_EXPORT VRWStatus vrw_set_reg_data(VRWRegression_s *r, const VRWMatrixBuffer_s *matrix);
VRW_EXPORT VRWStatus vrw_set_reg_analytic_weights(VRWRegression_s *r,
                                                  const VRWVectorBuffer_s *vector); /* 2, 3 */
VRW_EXPORT VRWStatus vrw_set_reg_frequency_weights(VRWRegression_s *r,
                                                   const VRWVectorBuffer_s *vector);
VRW_EXPORT VRWStatus vrw_set_reg_exposures(VRWRegression_s *r,
                                           const VRWVectorBuffer_s *vector); /* 8, 9 */
VRW_EXPORT VRWStatus vrw_set_reg_censoring(VRWRegression_s *r, const VRWVectorBuffer_s *vector);
VRW_EXPORT VRWStatus vrw_set_reg_strata(VRWRegression_s *r, const VRWVectorBuffer_s *vector);
VRW_EXPORT VRWStatus vrw_set_reg_causes(VRWRegression_s *r, const VRWVectorBuffer_s *vector);
VRW_EXPORT VRWStatus vrw_set_reg_dependent_column(VRWRegression_s *r, int32_t column);
VRW_EXPORT VRWStatus vrw_set_reg_dependent_values(VRWRegression_s *r, const double *values,
                                                  uint32_t count);
VRW_EXPORT VRWStatus vrw_set_reg_dependent_value_of_interest(VRWRegression_s *r,
                                                             double value); /* 5, 6, 7 */
VRW_EXPORT VRWStatus vrw_set_reg_omitted_dependent_value(VRWRegression_s *r, double value);
VRW_EXPORT VRWStatus vrw_set_reg_cause_values(VRWRegression_s *r, const double *values,
                                              uint32_t count); /* 11 */
VRW_EXPORT VRWStatus vrw_set_reg_constant_column(VRWRegression_s *r, int32_t column);
VRW_EXPORT VRWStatus vrw_set_reg_independent_columns(VRWRegression_s *r, const int32_t *columns,
                                                     int64_t count);
VRW_EXPORT VRWStatus vrw_set_reg_instrument_columns(VRWRegression_s *r, const int32_t *columns,
                                                    int64_t count); /* 4 */
VRW_EXPORT VRWStatus vrw_set_reg_weighting_matrix(VRWRegression_s *r,
                                                  const double *matrix); /* 4 */
VRW_EXPORT VRWStatus vrw_set_reg_options(VRWRegression_s *r, uint32_t options);
/* k values: a number fixes that coefficient in every set, NaN leaves it free. */
VRW_EXPORT VRWStatus vrw_set_reg_constraints(VRWRegression_s *r, const double *constraints);
VRW_EXPORT VRWStatus vrw_set_reg_coefficient_guesses(VRWRegression_s *r, const double *guesses);
VRW_EXPORT VRWStatus vrw_set_reg_fixed_effect_guesses(VRWRegression_s *r, const double *guesses);
/* The tests to run after the fit, with one statistic and one degrees of
** freedom a test written into the two arrays (the second may be NULL). The
** restrictions refer to the S x k coefficients of out_coefficients (S = 1
** but for the multinomial logit's choices and the Cox model's causes); a
** record on more of them fails the run (below). */
VRW_EXPORT VRWStatus vrw_set_reg_restrictions(VRWRegression_s *r,
                                              const VRWTestRestrictions_s *restrictions,
                                              double *statistics, int64_t *degrees_of_freedom);
VRW_EXPORT VRWStatus vrw_set_reg_out_coefficients(VRWRegression_s *r, double *out);
VRW_EXPORT VRWStatus vrw_set_reg_out_standard_errors(VRWRegression_s *r, double *out);
VRW_EXPORT VRWStatus vrw_set_reg_out_variance_matrix(VRWRegression_s *r, double *out);
VRW_EXPORT VRWStatus vrw_set_reg_out_free_parameter_count(VRWRegression_s *r, int64_t *out);
VRW_EXPORT VRWStatus vrw_set_reg_out_fixed_effects(VRWRegression_s *r, double *out);
VRW_EXPORT VRWStatus vrw_set_reg_out_nuisance_coefficients(VRWRegression_s *r, double *out);
VRW_EXPORT VRWStatus vrw_set_reg_out_nuisance_standard_errors(VRWRegression_s *r, double *out);
VRW_EXPORT VRWStatus vrw_set_reg_out_residuals(VRWRegression_s *r, double *out);
VRW_EXPORT VRWStatus vrw_set_reg_out_residual_sum_of_squares(VRWRegression_s *r, double *out);
VRW_EXPORT VRWStatus vrw_set_reg_out_total_sum_of_squares(VRWRegression_s *r, double *out);
VRW_EXPORT VRWStatus vrw_set_reg_out_observation_count(VRWRegression_s *r, int64_t *out);
VRW_EXPORT VRWStatus vrw_set_reg_out_per_cause_observation_count(VRWRegression_s *r,
                                                                 int64_t *out); /* 11 */
/* 5, 6, 7, 12, 13, 14 */
VRW_EXPORT VRWStatus vrw_set_reg_out_per_choice_observation_count(VRWRegression_s *r, int64_t *out);
VRW_EXPORT VRWStatus vrw_set_reg_out_log_likelihood(VRWRegression_s *r, double *out);
VRW_EXPORT VRWStatus vrw_set_reg_out_per_cause_log_likelihood(VRWRegression_s *r,
                                                              double *out); /* 11 */
/* 5, 6, 12, 13, 14 */
VRW_EXPORT VRWStatus vrw_set_reg_out_per_choice_log_likelihood(VRWRegression_s *r, double *out);
VRW_EXPORT VRWStatus vrw_set_reg_out_predicted_values(VRWRegression_s *r, double *out);
VRW_EXPORT VRWStatus vrw_set_reg_out_objective_function(VRWRegression_s *r, double *out);
VRW_EXPORT VRWStatus vrw_set_reg_out_multicollinear_sets(VRWRegression_s *r, int64_t *out);
/* 11 */
VRW_EXPORT VRWStatus vrw_set_reg_out_hazard_function(VRWRegression_s *r, double *failure_times,
                                                     double *hazards);
VRW_EXPORT VRWStatus vrw_set_reg_out_failure_time_stratum_counts(VRWRegression_s *r,
                                                                 int32_t *out);
VRW_EXPORT VRWStatus vrw_set_reg_out_stratum_values(VRWRegression_s *r, double *values,
                                                    int32_t *count);
VRW_EXPORT VRWStatus vrw_set_reg_out_censored_count(VRWRegression_s *r, int64_t *out);

/*
** Runs the fit once on the calling thread and returns its status; log (121
** words, may be NULL) receives the iteration log. Regressors without data in
** rows of positive frequency weight are fixed at 0, and come back NaN in
** out_coefficients and out_standard_errors whatever the status; so do the
** fixed effects of panels without weight. A run with no more observations
** (total frequency weight) than free parameters returns
** VRW_TOO_FEW_OBSERVATIONS and writes nothing; so does, with
** CL_INVALID_VALUE, a run whose Wald tests (restrictions with tests and
** their statistics registered) refer to more than the S x k coefficients.
** The record is left as found.
*/
VRW_EXPORT VRWStatus vrw_run_regression(VRWRegression_s *regression, VRWIterationLogWord *log);

/* The fits, each (record, log or NULL), as vrw_run_regression calls them by
** model code. */
VRW_EXPORT VRWStatus vrw_fit_linear(VRWRegression_s *r, VRWIterationLogWord *log);
VRW_EXPORT VRWStatus vrw_fit_log_linear(VRWRegression_s *r, VRWIterationLogWord *log);
VRW_EXPORT VRWStatus vrw_fit_weighted_linear(VRWRegression_s *r, VRWIterationLogWord *log);
VRW_EXPORT VRWStatus vrw_fit_weighted_log_linear(VRWRegression_s *r,
                                                 VRWIterationLogWord *log);
VRW_EXPORT VRWStatus vrw_fit_logit(VRWRegression_s *r, VRWIterationLogWord *log);
VRW_EXPORT VRWStatus vrw_fit_probit(VRWRegression_s *r, VRWIterationLogWord *log);
VRW_EXPORT VRWStatus vrw_fit_binary_linear(VRWRegression_s *r, VRWIterationLogWord *log);
VRW_EXPORT VRWStatus vrw_fit_poisson(VRWRegression_s *r, VRWIterationLogWord *log);
VRW_EXPORT VRWStatus vrw_fit_geometric(VRWRegression_s *r, VRWIterationLogWord *log);
/* Negative binomial (variance mu + mu^2 / theta): out_nuisance_coefficients
** receives 1 / theta and out_nuisance_standard_errors its standard error,
** se(theta) / theta^2; out_variance_matrix is (k + 1) x (k + 1) with theta's
** own scale in its last row and column. The variance is the inverse of the
** expected information of the coefficients beside theta's observed one, as
** glm.nb reports it. */
VRW_EXPORT VRWStatus vrw_fit_negative_binomial(VRWRegression_s *r, VRWIterationLogWord *log);
/*
** Ordered logit and probit over the categories dependent_values (0 .. J - 1
** when none), whole numbers from 0; those without rows of positive weight
** are left out (fewer than two with rows: 5000). With J' categories present
** the cut points are c_0 = -infinity, c_1 = 0 (the constant, a regressor like
** any other, takes the first cut's place), c_2 .. c_J'-1 free and
** c_J' = +infinity, so a fit without the constant's cut at 0 has its cuts at
** c_u - b_0. out_nuisance_coefficients (J + 1) holds c_0 and then each
** category's upper cut point, a category without rows repeating the one
** before; out_nuisance_standard_errors likewise (0 for fixed cuts);
** out_predicted_values holds J columns of chances (NaN for a category
** without rows), out_per_choice_log_likelihood and
** out_per_choice_observation_count one entry a category.
*/
VRW_EXPORT VRWStatus vrw_fit_ordered_logit(VRWRegression_s *r, VRWIterationLogWord *log);
VRW_EXPORT VRWStatus vrw_fit_ordered_probit(VRWRegression_s *r, VRWIterationLogWord *log);
/*
** Cox proportional hazards on the failure times of the dependent column
** (ties after Breslow), the constant never estimated. censoring (integers,
** non-zero = censored), strata (reals: one baseline hazard a stratum) and
** causes with cause_values (one fit a cause value, rows of other causes
** censored) are optional; sets, per-cause outputs and hazard lists are one
** a cause, E = cause_value_count with causes, else 1. With option 16 each
** non-empty panel but the last gets a fixed effect in the linear predictor
** (out_fixed_effects, E x P). Outputs beside the common ones:
**  - out_failure_times / out_hazard_function: each cause's, each stratum's
**    distinct times ascending with the cumulative baseline hazard (at a
**    linear predictor of 0) there; out_failure_time_stratum_counts (E x G)
**    their numbers, out_stratum_values (G; NaN without strata) the strata;
**  - out_residuals: martingale residuals; out_predicted_values: the median
**    failure time, the first time whose hazard exceeds ln 2 / exp(eta), or
**    the last one when none does (NaN when the row's stratum has no times);
**    without the hazard arrays the target ln 2 / exp(eta) itself;
**  - robust and cluster variances from each row's score residuals, with
**    fixed effects the regressors' block of the sandwich of all parameters
**    (as a fit with one indicator a panel gives it); option 1 scales by
**    N / (N - free parameters, the effects' included).
*/
VRW_EXPORT VRWStatus vrw_fit_cox_proportional_hazards(VRWRegression_s *r,
                                                      VRWIterationLogWord *log);
/*
** Multinomial logit over the J choices dependent_values (0 .. J - 1 when
** none), the base the choice equal to omitted_dependent_value (the first
** choice with rows when none is): one set of k coefficients a choice, the
** base's held at 0. Choices without rows of positive weight are left out
** (fewer than two with rows: 5000) and come back in every J-row output
** with fill values: coefficients NaN (0 with fixed effects or without the
** constant) and the constant minus infinity, standard errors 0 (NaN without
** the constant), fixed effects NaN (minus infinity without the constant),
** predicted chances, residuals and per-choice log likelihoods NaN, counts 0.
** With option 16 each choice but the base gets one effect a panel.
*/
VRW_EXPORT VRWStatus vrw_fit_multinomial_logit(VRWRegression_s *r, VRWIterationLogWord *log);
/* The weighted least-squares fits of a record whose data may have panels:
** with fixed effects each panel carries the mean of its rows' analytic
** weights for the fit; the caller's vector is the record's again after it. */
VRW_EXPORT VRWStatus vrw_fit_weighted_linear_model(VRWRegression_s *r, const char *model,
                                                   VRWIterationLogWord *log);

/* ----------------------------------------------- restrictions and tests */

/* A record of test_count tests on variable_count coefficients, every test
** empty (q 0, no matrix); NULL when it cannot be allocated. The caller sets
** R[t], q[t] and r[t] of each test; the matrices stay the caller's. */
VRW_EXPORT VRWTestRestrictions_s *vrw_init_restrictions(int64_t variable_count,
                                                        int64_t test_count);
VRW_EXPORT void vrw_free_restrictions(VRWTestRestrictions_s *restrictions);

/*
** Wald statistics of R b = r for every test into statistics (and their
** degrees of freedom, when given). variance is dimension x dimension, upper
** triangle read; with constraints (variable_count values, NaN = estimated) it
** is the variance of the estimated coefficients only, and restrictions on
** fixed coefficients alone are dropped. A test without rows left, or whose
** R V R' cannot be inverted, gets NaN and 0. Returns 0, or -6 when memory
** runs out (later tests then stay unwritten). The caller's r is not changed.
*/
VRW_EXPORT VRWStatus vrw_wald_test(const double *variance, int64_t dimension,
                                   const double *estimates, const double *constraints,
                                   const VRWTestRestrictions_s *restrictions, double *statistics,
                                   int64_t *degrees_of_freedom);

/* ------------------------------------------------------ Newton iteration */

/* A host step of the iteration; non-zero stops it with that status. */
typedef VRWStatus (*VRWIterationCallback)(VRWContext_s *context, VRWMleBuffers_s *buffers,
                                          void *data);
typedef struct VRWIterationCallback_s {
    VRWIterationCallback callback;
    void *data;
} VRWIterationCallback_s;

/*
** The runs and callbacks a fit hands to vrw_iterate_mle, in the order they
** run: initial runs once; every upload of estimates the pre-prefix
** callbacks, the prefix runs and the post-prefix callbacks; every iteration
** the Jacobian runs (they leave the gradient in jacobian), the Hessian runs
** (they add into the zeroed hessian; the eigen test reads its upper triangle
** and the inversion all of it), then after the step is on the device the
** step runs and the post-step callbacks; final runs once at the end. Arrays
** are malloc'ed and freed by vrw_iteration_ctx_free.
*/
typedef struct VRWIterationCtx_s {
    VRWKernelRun_s *initial_runs;
    unsigned long initial_run_count;
    VRWIterationCallback_s *pre_prefix_callbacks;
    unsigned long pre_prefix_callback_count;
    VRWKernelRun_s *prefix_runs;
    unsigned long prefix_run_count;
    VRWIterationCallback_s *post_prefix_callbacks;
    unsigned long post_prefix_callback_count;
    VRWKernelRun_s *jacobian_runs;
    unsigned long jacobian_run_count;
    VRWKernelRun_s *hessian_runs;
    unsigned long hessian_run_count;
    VRWKernelRun_s *step_runs;
    unsigned long step_run_count;
    VRWIterationCallback_s *post_step_callbacks;
    unsigned long post_step_callback_count;
    VRWKernelRun_s *final_runs;
    unsigned long final_run_count;
} VRWIterationCtx_s;

/* The fixed effects riding along a fit's iteration: the data of its
** callbacks. estimates is the host fixed-effect array (owned only when
** owns_estimates is set). */
typedef struct VRWFixedEffectsCtx_s {
    double *steps;
    double *estimates;
    int32_t owns_estimates;
} VRWFixedEffectsCtx_s;

/* A zeroed record with steps of step_count doubles, or NULL. */
VRW_EXPORT VRWFixedEffectsCtx_s *vrw_fixed_effects_ctx_init(void *ignored, int64_t step_count);
VRW_EXPORT void vrw_fixed_effects_ctx_free(VRWFixedEffectsCtx_s *context);

/*
** Newton-Raphson on the free coefficients of buffers (constraints NaN =
** free). Starts at the constraint, else the guess (guesses may be NULL, a
** NaN guess is none), else 0. Each iteration: upload, prefix, gradient g and
** Hessian H (with reuse_hessian only in the first iteration: the five least-
** squares models), eigen test (an eigenvalue below 1e-6 in magnitude marks a
** multicollinear set and ends with 4000, a positive one with 3000), LU
** inverse (1000 + info), step b -= H^-1 g. Stops after 40 iterations or when
** g'H^-1 g changes by at most 1e-6 or the step is at most 1e-6 of the
** coefficients; 2000 when either measure is NaN. On success the final
** estimates are uploaded and the prefix and final runs run once more, and
** buffers->host_hessian holds H^-1. estimates (may be NULL) receives the
** coefficients in every case, multicollinear_sets (may be NULL) the set of
** each coefficient, log (may be NULL) the iteration log.
*/
VRW_EXPORT VRWStatus vrw_iterate_mle(VRWContext_s *context, VRWIterationCtx_s *iteration,
                                     VRWMleBuffers_s *buffers, const double *guesses,
                                     double *estimates, int reuse_hessian,
                                     int64_t *multicollinear_sets, VRWIterationLogWord *log);
VRW_EXPORT VRWStatus vrw_upload_estimates_and_run_prefix_kernels(VRWContext_s *context,
                                                                 VRWIterationCtx_s *iteration,
                                                                 VRWMleBuffers_s *buffers,
                                                                 const double *estimates);
/* Free the nine arrays and the record; the second first frees the fixed-
** effects context that is the data of the first pre-prefix callback. NULL is
** ignored. */
VRW_EXPORT void vrw_iteration_ctx_free(VRWIterationCtx_s *iteration);
VRW_EXPORT void vrw_iteration_ctx_fe_free(VRWIterationCtx_s *iteration);

/* ------------------------------------------------------ fixed effects */

/*
** Fixed effects ride along a fit's iteration: the host array of the
** fixed effects (choice_count x P, choice after choice) is the authority. The
** pre-prefix callback writes it to the device's fixed_effects before every
** prefix stage; the post-step callback reads equation_count x G steps of
** fe_delta into the context's steps and subtracts them, in order, from the
** entries whose fixed-effect constraint is NaN (the non-empty panels), so
** exactly G steps a equation are applied each iteration. Both return the
** status of their transfer; data is the VRWFixedEffectsCtx_s.
*/
VRW_EXPORT VRWStatus vrw_pre_iteration_fixed_effects_callback(VRWContext_s *context,
                                                              VRWMleBuffers_s *buffers,
                                                              void *data);
VRW_EXPORT VRWStatus vrw_post_iteration_fixed_effects_callback(VRWContext_s *context,
                                                               VRWMleBuffers_s *buffers,
                                                               void *data);

/* The workspace of the multinomial logit's inversion of its per-panel
** E x E blocks of the fixed-effect Hessian. */
typedef struct VRWFixedEffectsMlogitCtx_s {
    VRWMleBuffers_s *buffers;      /* not owned */
    double *blocks;                /* G x E x E */
    int *pivots;                   /* E x E */
    double *workspace;             /* dgetri_ workspace */
    int workspace_length;
} VRWFixedEffectsMlogitCtx_s;

/* NULL when an allocation fails (nothing then stays allocated). */
VRW_EXPORT VRWFixedEffectsMlogitCtx_s *vrw_fixed_effects_mlogit_ctx_init(VRWContext_s *context,
                                                                         VRWMleBuffers_s *buffers);
VRW_EXPORT void vrw_fixed_effects_mlogit_ctx_free(VRWFixedEffectsMlogitCtx_s *workspace);

/*
** The iteration of a single-equation fit with one effect a panel (the
** buffers made with P panels and G clusters): the fitted values with the
** panel effects, the model's prefix ("vrw_prefix_<model>_fe", else
** "vrw_prefix_<model>"), the per-panel sums of scores and weights, the panel
** means, the gradient and Hessian of the coefficients with the effects
** absorbed, the effects' steps and the two callbacks. fixed_effects (P
** doubles, the caller's) receives the start values: the constraint where it
** is a number, else the guess (guesses may be NULL; a NaN guess is used as
** it stands), else 0; it holds the estimates after vrw_iterate_mle. NULL
** with -46 when a kernel is missing, -6 when memory runs out, or the status
** of the fitted-value run. Free with vrw_iteration_ctx_fe_free.
*/
VRW_EXPORT VRWIterationCtx_s *vrw_iteration_ctx_init_fe(
    VRWContext_s *context, const char *model, const VRWMatrixBuffer_s *matrix,
    const VRWVectorBuffer_s *frequency_weights, const VRWVectorBuffer_s *analytic_weights,
    const VRWVectorBuffer_s *exposures, VRWMleBuffers_s *buffers, const double *guesses,
    double *fixed_effects, int32_t dependent, int32_t *status, double value);

/* ------------------------------------------- instrumental variables */

/*
** The linear model with instruments by the generalised method of moments:
** with W the caller's weighting_matrix (L x L) or the inverse of the
** instruments' second moments (two-stage least squares), the coefficients
** minimise m' W m, m = sum f z (y - x b). out_coefficients and
** out_standard_errors must be registered. out_objective_function receives
** m' W m / N^2 (N the total frequency weight); the standard errors are the
** variance's (plain RSS (Q W Q')^-1, robust or clustered by panel sandwich)
** times N / (N - k) with option 1. Returns 1000 + info when the instruments'
** moments or the normal matrix cannot be inverted.
*/
VRW_EXPORT VRWStatus vrw_instrument_linear(VRWRegression_s *r, VRWIterationLogWord *log);

/* Newton steps on m' W m from the guesses (NULL or NaN: 0) into estimates
** (k); stops as vrw_iterate_mle does, without its eigen and NaN tests. With
** reuse the cross products and the normal matrix are computed once. The
** objective (may be NULL) is taken at the last iteration's moments, and
** host_hessian holds (Q W Q')^-1 afterwards. */
VRW_EXPORT VRWStatus vrw_iterate_gmm(VRWContext_s *context, VRWIterationCtx_s *iteration,
                                     VRWGmmBuffers_s *buffers, const double *guesses,
                                     double *estimates, double *objective, int reuse,
                                     const double *weighting_matrix, VRWIterationLogWord *log);

/* The k x k variance after vrw_iterate_gmm as a new array the caller frees,
** or NULL with -6: clustered by every panel of the matrix (option 8; times
** G / (G - 1) with option 2), robust (option 4), else RSS (Q W Q')^-1 for
** the least-squares model names. The residual sum of squares (NaN unless
** plain) and the observation count are written where asked for. */
VRW_EXPORT double *vrw_estimate_asymptotic_variance_gmm(
    VRWContext_s *context, const char *model, const VRWMatrixBuffer_s *matrix,
    const VRWVectorBuffer_s *weights, VRWGmmBuffers_s *buffers, uint32_t options,
    double *residual_sum_of_squares, int64_t *observation_count, int32_t *status);

/* ------------------------------------------- kernel-argument setters */

/* Each clears the run's arguments and appends the kernel's arguments in the
** order its kernel declares them; the caller sets kernel and size and
** appends any model extras. */
VRW_EXPORT void vrw_set_mle_prefix_kernel_args(VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix,
                                               const VRWMleBuffers_s *buffers, int32_t dependent);
VRW_EXPORT void vrw_set_mle_jacobian_kernel_args(VRWKernelRun_s *run,
                                                 const VRWMatrixBuffer_s *matrix,
                                                 const VRWVectorBuffer_s *weights,
                                                 const VRWMleBuffers_s *buffers);
VRW_EXPORT void vrw_set_mle_hessian_kernel_args(VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix,
                                                const VRWVectorBuffer_s *weights,
                                                const VRWMleBuffers_s *buffers);
VRW_EXPORT void vrw_set_mle_robust_kernel_args(VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix,
                                               const VRWVectorBuffer_s *weights,
                                               const VRWMleBuffers_s *buffers);
VRW_EXPORT void vrw_set_mle_cluster_pass1_kernel_args(VRWKernelRun_s *run,
                                                      const VRWMatrixBuffer_s *matrix,
                                                      const VRWVectorBuffer_s *weights,
                                                      const VRWMleBuffers_s *buffers);
VRW_EXPORT void vrw_set_mle_cluster_pass2_kernel_args(VRWKernelRun_s *run,
                                                      const VRWMleBuffers_s *buffers);
VRW_EXPORT void vrw_set_mle_log_likelihood_kernel_args(VRWKernelRun_s *run,
                                                       const VRWMatrixBuffer_s *matrix,
                                                       int32_t dependent,
                                                       const VRWMleBuffers_s *buffers);
VRW_EXPORT void vrw_set_mle_negative_binomial_prefix_kernel_args(
    VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix, int32_t dependent,
    const VRWMleBuffers_s *buffers, const VRWNegbin2Buffers_s *negbin2);
VRW_EXPORT void vrw_set_mle_negative_binomial_jacobian_nuisance_kernel_args(
    VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    const VRWMleBuffers_s *buffers, const VRWNegbin2Buffers_s *negbin2, int32_t nuisance);
VRW_EXPORT void vrw_set_mle_negative_binomial_hessian_cross_kernel_args(
    VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    const VRWMleBuffers_s *buffers, const VRWNegbin2Buffers_s *negbin2, int32_t nuisance);
VRW_EXPORT void vrw_set_mle_negative_binomial_hessian_nuisance_kernel_args(
    VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    const VRWMleBuffers_s *buffers, const VRWNegbin2Buffers_s *negbin2, int32_t nuisance);
VRW_EXPORT void vrw_set_mle_negative_binomial_robust_kernel_args(
    VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    const VRWMleBuffers_s *buffers, const VRWNegbin2Buffers_s *negbin2, int32_t nuisance);
VRW_EXPORT void vrw_set_mle_ordered_choice_prefix_kernel_args(
    VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix, int32_t dependent,
    const VRWOrderedChoiceBuffers_s *ordered, const VRWMleBuffers_s *buffers);
VRW_EXPORT void vrw_set_mle_ordered_choice_jacobian_nuisance_kernel_args(
    VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    const VRWMleBuffers_s *buffers, int32_t dependent, const VRWOrderedChoiceBuffers_s *ordered,
    int32_t free_regressors);
VRW_EXPORT void vrw_set_mle_ordered_choice_hessian_diagonal_nuisance_kernel_args(
    VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    const VRWMleBuffers_s *buffers, const VRWOrderedChoiceBuffers_s *ordered, int32_t dependent,
    int32_t free_regressors);
VRW_EXPORT void vrw_set_mle_ordered_choice_hessian_offdiagonal_nuisance_kernel_args(
    VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    const VRWMleBuffers_s *buffers, const VRWOrderedChoiceBuffers_s *ordered, int32_t dependent,
    int32_t free_regressors);
VRW_EXPORT void vrw_set_mle_ordered_choice_hessian_cross_kernel_args(
    VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    const VRWMleBuffers_s *buffers, const VRWOrderedChoiceBuffers_s *ordered, int32_t dependent,
    int32_t free_regressors);
VRW_EXPORT void vrw_set_mle_ordered_choice_robust_kernel_args(
    VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    const VRWMleBuffers_s *buffers, const VRWOrderedChoiceBuffers_s *ordered, int32_t dependent,
    int32_t free_regressors);
VRW_EXPORT void vrw_set_mle_multinomial_logit_prefix_kernel_args(VRWKernelRun_s *run,
                                                                 const VRWMatrixBuffer_s *matrix,
                                                                 const VRWMleBuffers_s *buffers,
                                                                 int32_t dependent,
                                                                 int32_t choice_count);
VRW_EXPORT void vrw_set_mle_cox_censoring_kernel_args(VRWKernelRun_s *run,
                                                      const VRWVectorBuffer_s *causes,
                                                      cl_mem censoring,
                                                      const VRWCoxBuffers_s *cox,
                                                      double cause_value);
VRW_EXPORT void vrw_set_mle_cox_log_likelihood_kernel_args(VRWKernelRun_s *run,
                                                           const VRWMleBuffers_s *buffers,
                                                           const VRWCoxBuffers_s *cox);
VRW_EXPORT void vrw_set_mle_cox_prefix_kernel_args(VRWKernelRun_s *run,
                                                   const VRWMleBuffers_s *buffers,
                                                   const VRWCoxBuffers_s *cox);
VRW_EXPORT void vrw_set_mle_cox_accumulate_prefix_kernel_args(VRWKernelRun_s *run,
                                                              const VRWCoxBuffers_s *cox);
VRW_EXPORT void vrw_set_mle_cox_work_kernel_args(VRWKernelRun_s *run,
                                                 const VRWMatrixBuffer_s *matrix,
                                                 const VRWMleBuffers_s *buffers,
                                                 const VRWCoxBuffers_s *cox);
VRW_EXPORT void vrw_set_mle_cox_jacobian_kernel_args(VRWKernelRun_s *run,
                                                     const VRWMleBuffers_s *buffers,
                                                     const VRWCoxBuffers_s *cox);
VRW_EXPORT void vrw_set_mle_cox_hessian_kernel_args(VRWKernelRun_s *run,
                                                    const VRWMleBuffers_s *buffers,
                                                    const VRWCoxBuffers_s *cox);
VRW_EXPORT void vrw_set_mle_cox_accumulate_hazards_kernel_args(VRWKernelRun_s *run,
                                                               const VRWMleBuffers_s *buffers,
                                                               const VRWCoxBuffers_s *cox);

/*
** The fixed-effects kernels. Per-panel arrays of the coefficients
** (fe_cross_solved, fe_cross_hessian) hold coefficient i of cluster g at
** i x G + g. Each setter clears the run's list; the callers set kernel and
** size.
*/
/* "vrw_compute_fixed_effects_prefix_sum" (G): the per-cluster sum of f x input. */
VRW_EXPORT void vrw_set_mle_fe_sum_kernel_args(VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix,
                                               const VRWVectorBuffer_s *weights,
                                               const VRWMleBuffers_s *buffers, cl_mem input,
                                               cl_mem output);
/* "vrw_compute_fixed_effects_mean" (k x G). */
VRW_EXPORT void vrw_set_mle_fe_mean_kernel_args(VRWKernelRun_s *run,
                                                const VRWMatrixBuffer_s *matrix,
                                                const VRWVectorBuffer_s *weights,
                                                const VRWMleBuffers_s *buffers);
/* "vrw_compute_fixed_effects_jacobian" (k). */
VRW_EXPORT void vrw_set_mle_fe_jacobian_kernel_args(VRWKernelRun_s *run,
                                                    const VRWMatrixBuffer_s *matrix,
                                                    const VRWVectorBuffer_s *weights,
                                                    const VRWMleBuffers_s *buffers);
/* "vrw_compute_fixed_effects_hessian" (k x k). */
VRW_EXPORT void vrw_set_mle_fe_hessian_kernel_args(VRWKernelRun_s *run,
                                                   const VRWMatrixBuffer_s *matrix,
                                                   const VRWVectorBuffer_s *weights,
                                                   const VRWMleBuffers_s *buffers);
/* "vrw_compute_fixed_effects_opg_robust" (k x k): the robust outer product
** of a single-equation fit with the effects absorbed. */
VRW_EXPORT void vrw_set_mle_fe_robust_kernel_args(VRWKernelRun_s *run,
                                                  const VRWMatrixBuffer_s *matrix,
                                                  const VRWVectorBuffer_s *weights,
                                                  const VRWMleBuffers_s *buffers);
/* "vrw_compute_fixed_effects_delta" (G). */
VRW_EXPORT void vrw_set_mle_fe_delta_kernel_args(VRWKernelRun_s *run,
                                                 const VRWMleBuffers_s *buffers);
/* "vrw_compute_fixed_effects_delta_jacobian" (n) and
** "vrw_compute_fixed_effects_delta_hessian" (n x n): the absorbed part taken
** out of a gradient and Hessian summed without the effects. */
VRW_EXPORT void vrw_set_mle_fe_delta_jacobian_kernel_args(VRWKernelRun_s *run,
                                                          const VRWMleBuffers_s *buffers);
VRW_EXPORT void vrw_set_mle_fe_delta_hessian_kernel_args(VRWKernelRun_s *run,
                                                         const VRWMleBuffers_s *buffers);
VRW_EXPORT void vrw_set_mle_fe_log_likelihood_kernel_args(VRWKernelRun_s *run,
                                                          const VRWMatrixBuffer_s *matrix,
                                                          int32_t dependent,
                                                          const VRWMleBuffers_s *buffers);
VRW_EXPORT void vrw_set_mle_fe_mlogit_hessian_diagonal_kernel_args(
    VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    const VRWMleBuffers_s *buffers);
VRW_EXPORT void vrw_set_mle_fe_mlogit_hessian_cross_kernel_args(
    VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    const VRWMleBuffers_s *buffers);
VRW_EXPORT void vrw_set_mle_fe_mlogit_hessian_multiply_cross_by_diagonal_kernel_args(
    VRWKernelRun_s *run, const VRWMleBuffers_s *buffers);
VRW_EXPORT void vrw_set_mle_fe_mlogit_delta_hessian_kernel_args(VRWKernelRun_s *run,
                                                                const VRWMleBuffers_s *buffers);
VRW_EXPORT void vrw_set_mle_fe_mlogit_delta_jacobian_kernel_args(VRWKernelRun_s *run,
                                                                 const VRWMleBuffers_s *buffers);
VRW_EXPORT void vrw_set_mle_fe_mlogit_delta_kernel_args(VRWKernelRun_s *run,
                                                        const VRWMleBuffers_s *buffers);
/* "vrw_compute_fixed_effects_nuisance_cross_hessian_negbin2" (G): the
** nuisance parameter's entries (index nuisance) of the per-panel arrays. */
VRW_EXPORT void vrw_set_mle_fe_negative_binomial_hessian_cross_kernel_args(
    VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    const VRWMleBuffers_s *buffers, const VRWNegbin2Buffers_s *negbin2, int32_t nuisance);
/* "vrw_compute_fixed_effects_nuisance_cross_hessian_ordered_choice" (m x G):
** the free cut points' entries, from index free_regressors on. */
VRW_EXPORT void vrw_set_mle_fe_ordered_choice_hessian_cross_kernel_args(
    VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    const VRWMleBuffers_s *buffers, const VRWOrderedChoiceBuffers_s *ordered, int32_t dependent,
    int32_t free_regressors);
/* The robust outer products of the nuisance parameters with one effect a
** panel, each row's scores with the effects' part taken out:
** "vrw_compute_fixed_effects_cross_opg_robust_negbin2" (free regressors) and
** "vrw_compute_fixed_effects_nuisance_opg_robust_negbin2" (1); the ordered
** fits' "vrw_compute_fixed_effects_cross_opg_robust_ordered_choice"
** ((n - m) x m), "..._diagonal_nuisance_..." (m) and
** "..._offdiagonal_nuisance_..." (m - 1). */
VRW_EXPORT void vrw_set_mle_fe_negative_binomial_robust_kernel_args(
    VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    const VRWMleBuffers_s *buffers, const VRWNegbin2Buffers_s *negbin2, int32_t nuisance);
VRW_EXPORT void vrw_set_mle_fe_ordered_choice_robust_kernel_args(
    VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    const VRWMleBuffers_s *buffers, const VRWOrderedChoiceBuffers_s *ordered, int32_t dependent,
    int32_t free_regressors);
VRW_EXPORT void vrw_set_mle_fe_cox_censoring_kernel_args(VRWKernelRun_s *run,
                                                         const VRWVectorBuffer_s *causes,
                                                         cl_mem censoring,
                                                         const VRWCoxBuffers_s *cox,
                                                         double cause_value);
VRW_EXPORT void vrw_set_mle_fe_cox_prefix_kernel_args(VRWKernelRun_s *run,
                                                      const VRWMleBuffers_s *buffers,
                                                      const VRWCoxBuffers_s *cox);
VRW_EXPORT void vrw_set_mle_fe_cox_accumulate_prefix_kernel_args(VRWKernelRun_s *run,
                                                                 const VRWCoxBuffers_s *cox);
VRW_EXPORT void vrw_set_mle_fe_cox_work_kernel_args(VRWKernelRun_s *run,
                                                    const VRWMatrixBuffer_s *matrix,
                                                    const VRWMleBuffers_s *buffers,
                                                    const VRWCoxBuffers_s *cox);
VRW_EXPORT void vrw_set_mle_fe_cox_jacobian_nuisance_kernel_args(VRWKernelRun_s *run,
                                                                 const VRWMleBuffers_s *buffers,
                                                                 const VRWCoxBuffers_s *cox);
VRW_EXPORT void vrw_set_mle_fe_cox_hessian_cross_kernel_args(VRWKernelRun_s *run,
                                                             const VRWMleBuffers_s *buffers,
                                                             const VRWCoxBuffers_s *cox);
VRW_EXPORT void vrw_set_mle_fe_cox_hessian_nuisance_kernel_args(VRWKernelRun_s *run,
                                                                const VRWMleBuffers_s *buffers,
                                                                const VRWCoxBuffers_s *cox);

/* The instrumental-variables (GMM) kernels; each setter clears the run's
** list. Moments "vrw_compute_jacobian" (L), cross products
** "vrw_compute_hessian_gmm_prefix" (k x L; the fit appends
** instrument_columns), the instruments' second moments
** "vrw_compute_covariance" (L x L), outer products "vrw_compute_opg_robust"
** (L x L) and the per-panel instrument scores
** "vrw_compute_opg_cluster_pass1_gmm" (L) with "vrw_compute_opg_cluster_pass2"
** (L x L). */
VRW_EXPORT void vrw_set_gmm_prefix_kernel_args(VRWKernelRun_s *run,
                                               const VRWMatrixBuffer_s *matrix,
                                               const VRWGmmBuffers_s *buffers, int32_t dependent);
VRW_EXPORT void vrw_set_gmm_moment_kernel_args(VRWKernelRun_s *run,
                                               const VRWMatrixBuffer_s *matrix,
                                               const VRWVectorBuffer_s *weights,
                                               const VRWGmmBuffers_s *buffers);
VRW_EXPORT void vrw_set_gmm_hessian_kernel_args(VRWKernelRun_s *run,
                                                const VRWMatrixBuffer_s *matrix,
                                                const VRWVectorBuffer_s *weights,
                                                const VRWGmmBuffers_s *buffers);
VRW_EXPORT void vrw_set_gmm_covariance_kernel_args(VRWKernelRun_s *run,
                                                   const VRWMatrixBuffer_s *matrix,
                                                   const VRWVectorBuffer_s *weights,
                                                   const VRWGmmBuffers_s *buffers, cl_mem output);
VRW_EXPORT void vrw_set_gmm_robust_kernel_args(VRWKernelRun_s *run,
                                               const VRWMatrixBuffer_s *matrix,
                                               const VRWVectorBuffer_s *weights,
                                               const VRWGmmBuffers_s *buffers);
VRW_EXPORT void vrw_set_gmm_cluster_pass1_kernel_args(VRWKernelRun_s *run,
                                                      const VRWMatrixBuffer_s *matrix,
                                                      const VRWVectorBuffer_s *weights,
                                                      const VRWGmmBuffers_s *buffers,
                                                      cl_mem output);
VRW_EXPORT void vrw_set_gmm_cluster_pass2_kernel_args(VRWKernelRun_s *run,
                                                      const VRWGmmBuffers_s *buffers,
                                                      cl_mem input, int32_t cluster_count);

/* ------------------------- log likelihood, variances, sums of squares */

/* The runs that give the log likelihood: the model's per-row terms (kernel
** NULL when the model has none), their sum, and a per-choice sum that a fit
** may fill. Freed with free(). */
typedef struct VRWLogLikelihoodCtx_s {
    VRWKernelRun_s model_run;
    VRWKernelRun_s sum_run;
    VRWKernelRun_s per_choice_run;
} VRWLogLikelihoodCtx_s;

/* The outer-product runs of the robust (1 run) and cluster (2 runs)
** variances, and the records they read (not owned). */
typedef struct VRWInferenceCtx_s {
    VRWKernelRun_s *robust_runs;
    unsigned long robust_run_count;
    VRWKernelRun_s *cluster_runs;
    unsigned long cluster_run_count;
    VRWMleBuffers_s *buffers;
    const VRWMatrixBuffer_s *matrix;
    const VRWVectorBuffer_s *frequency_weights;
    const VRWVectorBuffer_s *analytic_weights;
} VRWInferenceCtx_s;

/*
** The log-likelihood runs of the model, or NULL: for the least-squares models
** (whose log likelihood is the normal one of their residual sum of squares)
** with *status untouched; without "vrw_compute_sum" likewise; -6 when the
** record cannot be allocated. A missing per-row kernel leaves model_run
** empty. value is the dependent value of interest of logit and probit.
*/
VRW_EXPORT VRWLogLikelihoodCtx_s *vrw_log_likelihood_ctx_init(VRWContext_s *context,
                                                              const char *model,
                                                              const VRWMatrixBuffer_s *matrix,
                                                              const VRWVectorBuffer_s *weights,
                                                              VRWMleBuffers_s *buffers,
                                                              int32_t dependent, int32_t *status,
                                                              double value);
/* The log likelihood at the estimates of the last prefix stage (NaN without
** a context); per_choice (may be NULL) receives count per-choice sums when
** the context has a per-choice run. */
VRW_EXPORT double vrw_compute_log_likelihood(VRWContext_s *context,
                                             VRWLogLikelihoodCtx_s *log_likelihood,
                                             VRWMleBuffers_s *buffers, double *per_choice,
                                             int32_t count, int32_t *status);

/* NULL with -46 when a robust or cluster kernel is missing, -6 when memory
** runs out. Free with vrw_inference_ctx_free (NULL ignored). */
VRW_EXPORT VRWInferenceCtx_s *vrw_inference_ctx_init(VRWContext_s *context, const char *model,
                                                     const VRWMatrixBuffer_s *matrix,
                                                     const VRWVectorBuffer_s *weights,
                                                     const VRWVectorBuffer_s *analytic_weights,
                                                     VRWMleBuffers_s *buffers, int32_t *status);
VRW_EXPORT void vrw_inference_ctx_free(VRWInferenceCtx_s *inference);

/*
** The k x k variance of the free coefficients after vrw_iterate_mle, as a
** new array the caller frees: -H^-1 (times RSS / N for the least-squares
** models), the sandwich H^-1 M H^-1 with the outer products of the scores
** (options 4) or of the cluster sums (options 8; times G / (G - 1) with
** option 2), times N / (N - p) with option 1, p counting the free
** coefficients and, with fixed effects, the effects of the non-empty panels
** (as a fit with one indicator a panel counts them). The sums of squares and the
** observation count are written where asked for (NULL = not wanted). NULL
** with -6 when the matrix cannot be allocated, with -38 without an inference
** context (it holds the buffers); any other failure is in *status while the
** partly written matrix is still returned.
*/
VRW_EXPORT double *vrw_estimate_asymptotic_variance_mle(VRWContext_s *context, const char *model,
                                                       VRWInferenceCtx_s *inference,
                                                       int32_t dependent, uint32_t options,
                                                       double *residual_sum_of_squares,
                                                       double *total_sum_of_squares,
                                                       int64_t *observation_count,
                                                       int32_t *status);

/* Frequency-weighted sum of squares of the dependent column about its mean
** (or about 0 when uncentered), of its logarithm for the log-linear models. */
VRW_EXPORT double vrw_total_sum_of_squares(VRWContext_s *context, const char *model,
                                           const VRWMatrixBuffer_s *matrix,
                                           const VRWVectorBuffer_s *weights, int32_t dependent,
                                           int32_t uncentered, int32_t *status);
/* The same under frequency and analytic weights together (a row counts f x a
** times), about the weighted mean: the total of a weighted least-squares fit. */
VRW_EXPORT double vrw_total_weighted_sum_of_squares(VRWContext_s *context, const char *model,
                                                    const VRWMatrixBuffer_s *matrix,
                                                    const VRWVectorBuffer_s *weights,
                                                    const VRWVectorBuffer_s *analytic_weights,
                                                    int32_t dependent, int32_t uncentered,
                                                    int32_t *status);
/* The residual sum of squares of the buffers' scores after a least-squares
** fit: with analytic weights a, whose scores carry a, the sum of f a r^2. */
VRW_EXPORT double vrw_residual_sum_of_squares(VRWContext_s *context, const VRWMatrixBuffer_s *matrix,
                                              const VRWVectorBuffer_s *weights,
                                              const VRWVectorBuffer_s *analytic_weights,
                                              VRWMleBuffers_s *buffers, int32_t *status);

/* ------------------------------------------------------ predicted values */

/* The fitted-value run and the model's predict run (kernel NULL = skipped).
** Freed with free(). */
typedef struct VRWPredictedCtx_s {
    VRWKernelRun_s fitted_run;
    VRWKernelRun_s predict_run;
} VRWPredictedCtx_s;

/* The runs of the model's family, or NULL: -46 when a kernel is missing, -6
** when memory runs out, the status untouched for a model without a family.
** columns is J, the categories or choices of the multi-column families. */
VRW_EXPORT VRWPredictedCtx_s *vrw_predicted_ctx_init(VRWContext_s *context, const char *model,
                                                     const VRWMatrixBuffer_s *matrix,
                                                     const VRWVectorBuffer_s *exposures,
                                                     VRWMleBuffers_s *buffers, int32_t columns,
                                                     int32_t fixed_effects, int32_t *status);
VRW_EXPORT VRWPredictedCtx_s *vrw_predicted_ctx_count_init(VRWContext_s *context,
                                                           const VRWMatrixBuffer_s *matrix,
                                                           const VRWVectorBuffer_s *exposures,
                                                           VRWMleBuffers_s *buffers,
                                                           int32_t fixed_effects, int32_t *status);
VRW_EXPORT VRWPredictedCtx_s *vrw_predicted_ctx_negbin2_init(VRWContext_s *context,
                                                             const VRWMatrixBuffer_s *matrix,
                                                             const VRWVectorBuffer_s *exposures,
                                                             VRWMleBuffers_s *buffers,
                                                             int32_t fixed_effects,
                                                             int32_t *status);
VRW_EXPORT VRWPredictedCtx_s *vrw_predicted_ctx_binary_init(VRWContext_s *context, const char *model,
                                                            const VRWMatrixBuffer_s *matrix,
                                                            VRWMleBuffers_s *buffers,
                                                            int32_t fixed_effects, int32_t *status);
VRW_EXPORT VRWPredictedCtx_s *vrw_predicted_ctx_linear_init(VRWContext_s *context,
                                                            const VRWMatrixBuffer_s *matrix,
                                                            VRWMleBuffers_s *buffers,
                                                            int32_t fixed_effects, int32_t *status);
VRW_EXPORT VRWPredictedCtx_s *vrw_predicted_ctx_log_linear_init(VRWContext_s *context,
                                                                const VRWMatrixBuffer_s *matrix,
                                                                VRWMleBuffers_s *buffers,
                                                                int32_t fixed_effects,
                                                                int32_t *status);
VRW_EXPORT VRWPredictedCtx_s *vrw_predicted_ctx_ordered_choice_init(
    VRWContext_s *context, const char *model, const VRWMatrixBuffer_s *matrix,
    VRWMleBuffers_s *buffers, int32_t columns, int32_t fixed_effects, int32_t *status);
VRW_EXPORT VRWPredictedCtx_s *vrw_predicted_ctx_multinomial_logit_init(
    VRWContext_s *context, const VRWMatrixBuffer_s *matrix, VRWMleBuffers_s *buffers,
    int32_t columns, int32_t fixed_effects, int32_t *status);

/*
** Predicted values of every observation at the buffers' estimates into
** output (caller-owned): observations values in row order when columns is 0,
** column after column when it is positive. A model without a family gives
** VRW_NOT_APPLICABLE and writes nothing.
*/
VRW_EXPORT VRWStatus vrw_compute_predicted(VRWContext_s *context, const char *model,
                                           const VRWMatrixBuffer_s *matrix,
                                           const VRWVectorBuffer_s *exposures,
                                           VRWMleBuffers_s *buffers, int32_t columns,
                                           int32_t fixed_effects, double *output);

#ifdef __cplusplus
}
#endif

#endif
