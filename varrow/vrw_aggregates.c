/* Sums, means and counts over the rows of the device data, each one kernel
** run read back with a blocking read. */
#include "varrow/vrw_internal.h"
#include "varrow/vrw_kernel_names.h"

#include <math.h>
#include <stdlib.h>

/* One aggregate call: its run and the result buffer made for it. */
typedef struct {
    VRWKernelRun_s run;
    cl_mem result;
} Aggregate;

/* Looks the kernel up and makes a result buffer of count reals. -46 when the
** kernel is not loaded, before anything is made. */
static VRWStatus begin(VRWContext_s *context, Aggregate *a, cl_kernel kernel, size_t work_items,
                       size_t result_bytes)
{
    *a = (Aggregate){0};
    if (!kernel)
        return VRW_KERNEL_NOT_LOADED;
    int32_t status;
    a->result = vrw_make_buffer(context, CL_MEM_READ_WRITE, result_bytes, NULL, &status);
    if (status != VRW_SUCCESS)
        return status;
    a->run.kernel = kernel;
    vrw_set_kernel_dim1(&a->run, work_items);
    return VRW_SUCCESS;
}

/* Runs the call and reads its count reals (or bytes of ints) into results,
** then releases what the call made. */
static VRWStatus finish(VRWContext_s *context, Aggregate *a, size_t count, double *reals,
                        int32_t *ints)
{
    VRWStatus status = vrw_run_kernels(context, &a->run, 1);
    if (status == VRW_SUCCESS)
        status = reals ? vrw_read_fp_buffer(context, a->result, count, reals)
                       : vrw_read_bytes(context, a->result, 0, count * sizeof(int32_t), ints);
    vrw_release_mem(a->result);
    return status;
}

static double scalar_result(VRWStatus status, double value, int32_t *status_out)
{
    vrw_set_status(status_out, status);
    return status == VRW_SUCCESS ? value : NAN;
}

/* The aggregates without analytic weights: data (absent for the weight sum),
** weights, column, the weight vector's blocks, result. */
static double plain_aggregate(VRWContext_s *context, VRWKernelName name, const cl_mem *data,
                              const VRWVectorBuffer_s *weights, int32_t column, int32_t *status_out)
{
    Aggregate a;
    double value = NAN;
    VRWStatus status = begin(context, &a, vrw_kernel(context, name), 1,
                             (size_t)context->fp_size);
    if (status == VRW_SUCCESS) {
        if (data)
            vrw_set_kernel_arg_mem(&a.run, *data);
        vrw_set_kernel_arg_mem(&a.run, weights->data);
        vrw_set_kernel_arg_int(&a.run, column);
        vrw_set_kernel_arg_int(&a.run, weights->blocks);
        vrw_set_kernel_arg_mem(&a.run, a.result);
        status = finish(context, &a, 1, &value, NULL);
    }
    return scalar_result(status, value, status_out);
}

/* The aggregates under analytic weights; both kernels must be loaded, the
** one for panel matrices being used when the matrix has panels. */
static double analytic_aggregate(VRWContext_s *context, VRWKernelName plain, VRWKernelName panel,
                                 cl_mem data, const VRWMatrixBuffer_s *matrix,
                                 const VRWVectorBuffer_s *weights, int32_t column,
                                 const VRWVectorBuffer_s *analytic, int32_t *status_out)
{
    cl_kernel plain_kernel = vrw_kernel(context, plain);
    cl_kernel panel_kernel = vrw_kernel(context, panel);
    bool panels = matrix->panel_count > 0;
    cl_kernel kernel = plain_kernel && panel_kernel ? (panels ? panel_kernel : plain_kernel) : NULL;
    Aggregate a;
    double value = NAN;
    VRWStatus status = begin(context, &a, kernel, 1, (size_t)context->fp_size);
    if (status == VRW_SUCCESS) {
        vrw_set_kernel_arg_mem(&a.run, data);
        vrw_set_kernel_arg_mem(&a.run, weights->data);
        vrw_set_kernel_arg_int(&a.run, column);
        vrw_set_kernel_arg_int(&a.run, matrix->blocks);
        vrw_set_kernel_arg_mem(&a.run, a.result);
        vrw_set_kernel_arg_mem(&a.run, analytic->data);
        if (panels) {
            vrw_set_kernel_arg_mem(&a.run, matrix->panel_quad_counts);
            vrw_set_kernel_arg_mem(&a.run, matrix->panel_quad_starts);
            vrw_set_kernel_arg_int(&a.run, matrix->panel_count);
            vrw_set_kernel_arg_mem(&a.run, matrix->quad_panels);
        }
        status = finish(context, &a, 1, &value, NULL);
    }
    return scalar_result(status, value, status_out);
}

double vrw_compute_fweight_sum(VRWContext_s *context, const VRWVectorBuffer_s *weights,
                               int32_t *status)
{
    return plain_aggregate(context, VRWK_COMPUTE_FWEIGHT_SUM, NULL, weights, 0, status);
}

double vrw_compute_vector_integer_sum(VRWContext_s *context, const VRWVectorBuffer_s *vector,
                                      const VRWVectorBuffer_s *weights, int32_t *status)
{
    return plain_aggregate(context, VRWK_COMPUTE_INTEGER_SUM, &vector->data, weights, 0, status);
}

double vrw_compute_vector_mean(VRWContext_s *context, const VRWVectorBuffer_s *vector,
                               const VRWVectorBuffer_s *weights, int32_t *status)
{
    return plain_aggregate(context, VRWK_COMPUTE_MEAN, &vector->data, weights, 0, status);
}

double vrw_compute_buffer_sum_of_squares(VRWContext_s *context, cl_mem buffer,
                                         const VRWVectorBuffer_s *weights, int32_t *status)
{
    return plain_aggregate(context, VRWK_COMPUTE_SUM_OF_SQUARES, &buffer, weights, 0, status);
}

double vrw_compute_column_mean(VRWContext_s *context, const VRWMatrixBuffer_s *matrix,
                               const VRWVectorBuffer_s *weights, int32_t column, int32_t *status)
{
    return plain_aggregate(context, VRWK_COMPUTE_MEAN, &matrix->data, weights, column, status);
}

double vrw_compute_column_log_mean(VRWContext_s *context, const VRWMatrixBuffer_s *matrix,
                                   const VRWVectorBuffer_s *weights, int32_t column,
                                   int32_t *status)
{
    return plain_aggregate(context, VRWK_COMPUTE_LOG_MEAN, &matrix->data, weights, column, status);
}

double vrw_compute_column_uncentered_sum_of_squares(VRWContext_s *context,
                                                    const VRWMatrixBuffer_s *matrix,
                                                    const VRWVectorBuffer_s *weights,
                                                    int32_t column, int32_t *status)
{
    return plain_aggregate(context, VRWK_COMPUTE_SUM_OF_SQUARES, &matrix->data, weights, column,
                           status);
}

double vrw_compute_column_centered_sum_of_squares(VRWContext_s *context,
                                                  const VRWMatrixBuffer_s *matrix,
                                                  const VRWVectorBuffer_s *weights,
                                                  int32_t column, int32_t *status)
{
    return plain_aggregate(context, VRWK_COMPUTE_CENTERED_SUM_OF_SQUARES, &matrix->data, weights,
                           column, status);
}

double vrw_compute_column_log_uncentered_sum_of_squares(VRWContext_s *context,
                                                        const VRWMatrixBuffer_s *matrix,
                                                        const VRWVectorBuffer_s *weights,
                                                        int32_t column, int32_t *status)
{
    return plain_aggregate(context, VRWK_COMPUTE_LOG_SUM_OF_SQUARES, &matrix->data, weights,
                           column, status);
}

double vrw_compute_column_log_centered_sum_of_squares(VRWContext_s *context,
                                                      const VRWMatrixBuffer_s *matrix,
                                                      const VRWVectorBuffer_s *weights,
                                                      int32_t column, int32_t *status)
{
    return plain_aggregate(context, VRWK_COMPUTE_LOG_CENTERED_SUM_OF_SQUARES, &matrix->data,
                           weights, column, status);
}

double vrw_compute_weighted_mean(VRWContext_s *context, const VRWMatrixBuffer_s *matrix,
                                 const VRWVectorBuffer_s *weights, int32_t column,
                                 const VRWVectorBuffer_s *analytic_weights, int32_t *status)
{
    return analytic_aggregate(context, VRWK_COMPUTE_WEIGHTED_MEAN,
                              VRWK_COMPUTE_PANEL_WEIGHTED_MEAN, matrix->data, matrix, weights,
                              column, analytic_weights, status);
}

double vrw_compute_weighted_log_mean(VRWContext_s *context, const VRWMatrixBuffer_s *matrix,
                                     const VRWVectorBuffer_s *weights, int32_t column,
                                     const VRWVectorBuffer_s *analytic_weights, int32_t *status)
{
    return analytic_aggregate(context, VRWK_COMPUTE_WEIGHTED_LOG_MEAN,
                              VRWK_COMPUTE_PANEL_WEIGHTED_LOG_MEAN, matrix->data, matrix, weights,
                              column, analytic_weights, status);
}

double vrw_compute_buffer_weighted_sum_of_squares(VRWContext_s *context, cl_mem buffer,
                                                  const VRWMatrixBuffer_s *matrix,
                                                  const VRWVectorBuffer_s *weights,
                                                  const VRWVectorBuffer_s *analytic_weights,
                                                  int32_t *status)
{
    return analytic_aggregate(context, VRWK_COMPUTE_WEIGHTED_SUM_OF_SQUARES,
                              VRWK_COMPUTE_PANEL_WEIGHTED_SUM_OF_SQUARES, buffer, matrix, weights,
                              0, analytic_weights, status);
}

double vrw_compute_column_weighted_centered_sum_of_squares(
    VRWContext_s *context, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    int32_t column, const VRWVectorBuffer_s *analytic_weights, int32_t *status)
{
    return analytic_aggregate(context, VRWK_COMPUTE_WEIGHTED_CENTERED_SUM_OF_SQUARES,
                              VRWK_COMPUTE_PANEL_WEIGHTED_CENTERED_SUM_OF_SQUARES, matrix->data,
                              matrix, weights, column, analytic_weights, status);
}

double vrw_compute_column_weighted_uncentered_sum_of_squares(
    VRWContext_s *context, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    int32_t column, const VRWVectorBuffer_s *analytic_weights, int32_t *status)
{
    return analytic_aggregate(context, VRWK_COMPUTE_WEIGHTED_SUM_OF_SQUARES,
                              VRWK_COMPUTE_PANEL_WEIGHTED_SUM_OF_SQUARES, matrix->data, matrix,
                              weights, column, analytic_weights, status);
}

double vrw_compute_column_weighted_log_centered_sum_of_squares(
    VRWContext_s *context, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    int32_t column, const VRWVectorBuffer_s *analytic_weights, int32_t *status)
{
    return analytic_aggregate(context, VRWK_COMPUTE_WEIGHTED_LOG_CENTERED_SUM_OF_SQUARES,
                              VRWK_COMPUTE_PANEL_WEIGHTED_LOG_CENTERED_SUM_OF_SQUARES,
                              matrix->data, matrix, weights, column, analytic_weights, status);
}

double vrw_compute_column_weighted_log_uncentered_sum_of_squares(
    VRWContext_s *context, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    int32_t column, const VRWVectorBuffer_s *analytic_weights, int32_t *status)
{
    return analytic_aggregate(context, VRWK_COMPUTE_WEIGHTED_LOG_SUM_OF_SQUARES,
                              VRWK_COMPUTE_PANEL_WEIGHTED_LOG_SUM_OF_SQUARES, matrix->data,
                              matrix, weights, column, analytic_weights, status);
}

double vrw_compute_buffer_weighted_score_sum_of_squares(VRWContext_s *context, cl_mem buffer,
                                                        const VRWMatrixBuffer_s *matrix,
                                                        const VRWVectorBuffer_s *weights,
                                                        const VRWVectorBuffer_s *analytic_weights,
                                                        int32_t *status)
{
    return analytic_aggregate(context, VRWK_COMPUTE_WEIGHTED_SCORE_SUM_OF_SQUARES,
                              VRWK_COMPUTE_PANEL_WEIGHTED_SCORE_SUM_OF_SQUARES, buffer, matrix,
                              weights, 0, analytic_weights, status);
}

/* One result a panel: data, weights, column, quads of the padded rows, the
** panel quad counts and starts, results. */
static VRWStatus panel_aggregate(VRWContext_s *context, VRWKernelName name, cl_mem data,
                                 const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
                                 int32_t column, double *results)
{
    size_t panels = matrix->panel_count > 0 ? (size_t)matrix->panel_count : 0;
    Aggregate a;
    VRWStatus status = begin(context, &a, vrw_kernel(context, name), panels,
                             panels * (size_t)context->fp_size);
    if (status != VRW_SUCCESS)
        return status;
    vrw_set_kernel_arg_mem(&a.run, data);
    vrw_set_kernel_arg_mem(&a.run, weights->data);
    vrw_set_kernel_arg_int(&a.run, column);
    vrw_set_kernel_arg_int(&a.run, 4 * matrix->blocks);
    vrw_set_kernel_arg_mem(&a.run, matrix->panel_quad_counts);
    vrw_set_kernel_arg_mem(&a.run, matrix->panel_quad_starts);
    vrw_set_kernel_arg_mem(&a.run, a.result);
    return finish(context, &a, panels, results, NULL);
}

VRWStatus vrw_compute_panel_vector_means(VRWContext_s *context, const VRWMatrixBuffer_s *matrix,
                                         const VRWVectorBuffer_s *weights,
                                         const VRWVectorBuffer_s *vector, double *results)
{
    return panel_aggregate(context, VRWK_COMPUTE_PANEL_MEANS, vector->data, matrix, weights, 0,
                           results);
}

VRWStatus vrw_compute_panel_column_means(VRWContext_s *context, const VRWMatrixBuffer_s *matrix,
                                         const VRWVectorBuffer_s *weights, int32_t column,
                                         double *results)
{
    return panel_aggregate(context, VRWK_COMPUTE_PANEL_MEANS, matrix->data, matrix, weights,
                           column, results);
}

VRWStatus vrw_compute_panel_real_sizes(VRWContext_s *context, const VRWMatrixBuffer_s *matrix,
                                       const VRWVectorBuffer_s *weights, double *results)
{
    return panel_aggregate(context, VRWK_COMPUTE_PANEL_REAL_SIZES, matrix->data, matrix, weights,
                           0, results);
}

VRWStatus vrw_compute_fixed_effects(VRWContext_s *context, const VRWMatrixBuffer_s *matrix,
                                    int32_t column, const VRWGmmBuffers_s *buffers,
                                    double *results)
{
    size_t panels = matrix->panel_count > 0 ? (size_t)matrix->panel_count : 0;
    Aggregate a;
    VRWStatus status = begin(context, &a, vrw_kernel(context, VRWK_COMPUTE_FIXED_EFFECTS),
                             panels, panels * (size_t)context->fp_size);
    if (status != VRW_SUCCESS)
        return status;
    vrw_set_kernel_arg_mem(&a.run, matrix->panel_means);
    vrw_set_kernel_arg_int(&a.run, column);
    vrw_set_kernel_arg_mem(&a.run, buffers->columns);
    vrw_set_kernel_arg_int(&a.run, (int32_t)buffers->column_count);
    vrw_set_kernel_arg_mem(&a.run, buffers->estimates);
    vrw_set_kernel_arg_mem(&a.run, a.result);
    return finish(context, &a, panels, results, NULL);
}

VRWStatus vrw_which_matrix_columns_have_data(VRWContext_s *context,
                                            const VRWMatrixBuffer_s *matrix,
                                            const VRWVectorBuffer_s *weights,
                                            const int32_t *columns, int32_t count, int32_t *flags)
{
    size_t n = count > 0 ? (size_t)count : 0;
    Aggregate a;
    VRWStatus status = begin(context, &a, vrw_kernel(context, VRWK_COLUMN_HAS_DATA), n,
                             n * sizeof(int32_t));
    if (status != VRW_SUCCESS)
        return status;
    cl_mem column_list = vrw_make_int_buffer(context, n, columns, &status);
    if (status != VRW_SUCCESS) {
        vrw_release_mem(a.result);
        return status;
    }
    vrw_set_kernel_arg_mem(&a.run, matrix->data);
    vrw_set_kernel_arg_mem(&a.run, weights->data);
    vrw_set_kernel_arg_int(&a.run, matrix->blocks);
    vrw_set_kernel_arg_mem(&a.run, column_list);
    vrw_set_kernel_arg_mem(&a.run, a.result);
    status = finish(context, &a, n, NULL, flags);
    vrw_release_mem(column_list);
    return status;
}

VRWStatus vrw_count_these_values_in_this_column(VRWContext_s *context,
                                               const VRWMatrixBuffer_s *matrix,
                                               const VRWVectorBuffer_s *weights, cl_mem source,
                                               const double *values, int32_t count, int32_t column,
                                               double *results)
{
    size_t n = count > 0 ? (size_t)count : 0;
    Aggregate a;
    VRWStatus status = begin(context, &a, vrw_kernel(context, VRWK_COLUMN_VALUE_COUNT), n,
                             n * (size_t)context->fp_size);
    if (status != VRW_SUCCESS)
        return status;
    cl_mem value_list = vrw_make_real_buffer(context, n, values, &status);
    if (status != VRW_SUCCESS) {
        vrw_release_mem(a.result);
        return status;
    }
    vrw_set_kernel_arg_mem(&a.run, source);
    vrw_set_kernel_arg_mem(&a.run, weights->data);
    vrw_set_kernel_arg_int(&a.run, column);
    vrw_set_kernel_arg_int(&a.run, matrix->blocks);
    vrw_set_kernel_arg_mem(&a.run, value_list);
    vrw_set_kernel_arg_mem(&a.run, a.result);
    status = finish(context, &a, n, results, NULL);
    vrw_release_mem(value_list);
    return status;
}

VRWStatus vrw_values_cover_the_rows(VRWContext_s *context, const VRWVectorBuffer_s *weights,
                                    const double *counts, int64_t count)
{
    double counted = 0.0;
    for (int64_t v = 0; v < count; v++)
        counted += counts[v];
    int32_t status = VRW_SUCCESS;
    double total = vrw_compute_fweight_sum(context, weights, &status);
    if (status != VRW_SUCCESS)
        return status;
    /* The two sums add the same weights in different orders. */
    return fabs(total - counted) <= 1e-9 * total ? VRW_SUCCESS : VRW_TOO_FEW_CATEGORIES;
}
