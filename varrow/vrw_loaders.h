/*
** Device data: the matrix and vector layouts and their loaders, the
** transfers, the aggregates over them, and the work buffers of the fits.
*/
#ifndef VARROW_VRW_LOADERS_H
#define VARROW_VRW_LOADERS_H

#include "varrow/vrw_context.h"

#ifdef __cplusplus
extern "C" {
#endif

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
/*
** A matrix the caller writes in place: a new device buffer of rows x columns
** in the padded layout (column c at c x blocks x 16 doubles, blocks the
** record's), mapped into host memory for the caller to fill completely,
** padding rows as zeros, with no copy in between. vrw_unmap_padded_matrix
** hands the filled mapping to the device and returns the record, or unloads
** it and returns NULL with the failure in *status. On a failure of the map,
** NULL and *host NULL.
*/
VRW_EXPORT VRWMatrixBuffer_s *vrw_map_padded_matrix(VRWContext_s *context, int32_t rows,
                                                    int32_t columns, double **host,
                                                    int32_t *status);
VRW_EXPORT VRWMatrixBuffer_s *vrw_unmap_padded_matrix(VRWContext_s *context,
                                                      VRWMatrixBuffer_s *matrix, double *host,
                                                      int32_t *status);
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

#ifdef __cplusplus
}
#endif

#endif
