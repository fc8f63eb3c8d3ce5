/* Predicted values of every observation after a fit: the linear predictor
** from the final estimates, turned into the prediction by the model's
** family. */
#include "varrow/vrw_inference.h"
#include "varrow/vrw_internal.h"

#include <stdlib.h>
#include <string.h>

static VRWPredictedCtx_s *fail(VRWPredictedCtx_s *predicted, int32_t *status, VRWStatus value)
{
    free(predicted);
    vrw_set_status(status, value);
    return NULL;
}

/* The two runs with the fitted-value run set up into output; NULL with the
** status when its kernel is missing or memory runs out. */
static VRWPredictedCtx_s *begin(VRWContext_s *context, const VRWMatrixBuffer_s *matrix,
                                const VRWVectorBuffer_s *exposures, VRWMleBuffers_s *buffers,
                                int32_t fixed_effects, cl_mem output, int32_t *status)
{
    VRWPredictedCtx_s *predicted = calloc(1, sizeof *predicted);
    if (!predicted)
        return fail(NULL, status, VRW_OUT_OF_HOST_MEMORY);
    VRWStatus err = fixed_effects ? vrw_fitted_kernel_run_init_fe(&predicted->fitted_run, context,
                                                                  matrix, exposures, buffers,
                                                                  output)
                                  : vrw_fitted_kernel_run_init(&predicted->fitted_run, context,
                                                               matrix, exposures, buffers, output);
    if (err != VRW_SUCCESS)
        return fail(predicted, status, err);
    return predicted;
}

/* The two runs into fitted with the family's predict kernel found
** ("vrw_predict_%s"); its size and arguments are left to the family. */
static VRWPredictedCtx_s *begin_family(VRWContext_s *context, const char *family,
                                       const VRWMatrixBuffer_s *matrix,
                                       const VRWVectorBuffer_s *exposures,
                                       VRWMleBuffers_s *buffers, int32_t fixed_effects,
                                       int32_t *status)
{
    VRWPredictedCtx_s *predicted = begin(context, matrix, exposures, buffers, fixed_effects,
                                         buffers->fitted, status);
    if (!predicted)
        return NULL;
    predicted->predict_run.kernel = vrw_find_predict_kernel(context, family);
    if (!predicted->predict_run.kernel)
        return fail(predicted, status, VRW_KERNEL_NOT_LOADED);
    vrw_set_status(status, VRW_SUCCESS);
    return predicted;
}

/* A family whose predict kernel turns fitted into predicted row by row. */
static VRWPredictedCtx_s *row_family(VRWContext_s *context, const char *family,
                                     const VRWMatrixBuffer_s *matrix,
                                     const VRWVectorBuffer_s *exposures, VRWMleBuffers_s *buffers,
                                     int32_t fixed_effects, int32_t *status)
{
    VRWPredictedCtx_s *predicted = begin_family(context, family, matrix, exposures, buffers,
                                                fixed_effects, status);
    if (!predicted)
        return NULL;
    VRWKernelRun_s *run = &predicted->predict_run;
    vrw_set_kernel_dim1(run, vrw_padded_rows(matrix->blocks));
    vrw_set_kernel_arg_mem(run, buffers->fitted);
    vrw_set_kernel_arg_mem(run, buffers->predicted);
    return predicted;
}

VRWPredictedCtx_s *vrw_predicted_ctx_count_init(VRWContext_s *context,
                                                const VRWMatrixBuffer_s *matrix,
                                                const VRWVectorBuffer_s *exposures,
                                                VRWMleBuffers_s *buffers, int32_t fixed_effects,
                                                int32_t *status)
{
    return row_family(context, "count", matrix, exposures, buffers, fixed_effects, status);
}

VRWPredictedCtx_s *vrw_predicted_ctx_negbin2_init(VRWContext_s *context,
                                                  const VRWMatrixBuffer_s *matrix,
                                                  const VRWVectorBuffer_s *exposures,
                                                  VRWMleBuffers_s *buffers, int32_t fixed_effects,
                                                  int32_t *status)
{
    return row_family(context, "negbin2", matrix, exposures, buffers, fixed_effects, status);
}

VRWPredictedCtx_s *vrw_predicted_ctx_binary_init(VRWContext_s *context, const char *model,
                                                 const VRWMatrixBuffer_s *matrix,
                                                 VRWMleBuffers_s *buffers, int32_t fixed_effects,
                                                 int32_t *status)
{
    return row_family(context, model, matrix, NULL, buffers, fixed_effects, status);
}

VRWPredictedCtx_s *vrw_predicted_ctx_log_linear_init(VRWContext_s *context,
                                                     const VRWMatrixBuffer_s *matrix,
                                                     VRWMleBuffers_s *buffers,
                                                     int32_t fixed_effects, int32_t *status)
{
    return row_family(context, "log_linear", matrix, NULL, buffers, fixed_effects, status);
}

/* The fitted value is the prediction. */
VRWPredictedCtx_s *vrw_predicted_ctx_linear_init(VRWContext_s *context,
                                                 const VRWMatrixBuffer_s *matrix,
                                                 VRWMleBuffers_s *buffers, int32_t fixed_effects,
                                                 int32_t *status)
{
    VRWPredictedCtx_s *predicted = begin(context, matrix, NULL, buffers, fixed_effects,
                                         buffers->predicted, status);
    if (predicted)
        vrw_set_status(status, VRW_SUCCESS);
    return predicted;
}

/* J columns a padded row: the chance of each category. */
VRWPredictedCtx_s *vrw_predicted_ctx_ordered_choice_init(VRWContext_s *context, const char *model,
                                                         const VRWMatrixBuffer_s *matrix,
                                                         VRWMleBuffers_s *buffers,
                                                         int32_t columns, int32_t fixed_effects,
                                                         int32_t *status)
{
    VRWPredictedCtx_s *predicted = begin_family(context, model, matrix, NULL, buffers,
                                                fixed_effects, status);
    if (!predicted)
        return NULL;
    VRWKernelRun_s *run = &predicted->predict_run;
    vrw_set_kernel_dim2(run, (size_t)(columns > 0 ? columns : 0),
                        vrw_padded_rows(matrix->blocks));
    vrw_set_kernel_arg_int(run, (int32_t)buffers->variable_count);
    vrw_set_kernel_arg_mem(run, buffers->estimates);
    vrw_set_kernel_arg_mem(run, buffers->fitted);
    vrw_set_kernel_arg_mem(run, buffers->predicted);
    return predicted;
}

/* The choice probabilities come from the data and estimates directly, one
** work item a block. */
VRWPredictedCtx_s *vrw_predicted_ctx_multinomial_logit_init(VRWContext_s *context,
                                                            const VRWMatrixBuffer_s *matrix,
                                                            VRWMleBuffers_s *buffers,
                                                            int32_t columns,
                                                            int32_t fixed_effects,
                                                            int32_t *status)
{
    VRWPredictedCtx_s *predicted = calloc(1, sizeof *predicted);
    if (!predicted)
        return fail(NULL, status, VRW_OUT_OF_HOST_MEMORY);
    VRWKernelRun_s *run = &predicted->predict_run;
    run->kernel = fixed_effects ? vrw_find_predict_fe_kernel(context, "multinomial_logit")
                                : vrw_find_predict_kernel(context, "multinomial_logit");
    if (!run->kernel)
        return fail(predicted, status, VRW_KERNEL_NOT_LOADED);
    vrw_set_kernel_dim1(run, (size_t)(matrix->blocks > 0 ? matrix->blocks : 0));
    vrw_set_kernel_arg_mem(run, matrix->data);
    vrw_set_kernel_arg_mem(run, buffers->columns);
    vrw_set_kernel_arg_int(run, (int32_t)buffers->variable_count);
    vrw_set_kernel_arg_mem(run, buffers->estimates);
    vrw_set_kernel_arg_mem(run, buffers->predicted);
    vrw_set_kernel_arg_int(run, columns);
    if (fixed_effects) {
        vrw_set_kernel_arg_mem(run, buffers->fixed_effects);
        vrw_set_kernel_arg_mem(run, matrix->quad_panels);
        vrw_set_kernel_arg_int(run, matrix->panel_count);
    }
    vrw_set_status(status, VRW_SUCCESS);
    return predicted;
}

VRWPredictedCtx_s *vrw_predicted_ctx_init(VRWContext_s *context, const char *model,
                                          const VRWMatrixBuffer_s *matrix,
                                          const VRWVectorBuffer_s *exposures,
                                          VRWMleBuffers_s *buffers, int32_t columns,
                                          int32_t fixed_effects, int32_t *status)
{
    if (vrw_model_is(model, "poisson") || vrw_model_is(model, "geometric"))
        return vrw_predicted_ctx_count_init(context, matrix, exposures, buffers, fixed_effects,
                                            status);
    if (vrw_model_is(model, "negbin2"))
        return vrw_predicted_ctx_negbin2_init(context, matrix, exposures, buffers,
                                              fixed_effects, status);
    if (vrw_model_is(model, "log_linear") || vrw_model_is(model, "weighted_log_linear"))
        return vrw_predicted_ctx_log_linear_init(context, matrix, buffers, fixed_effects,
                                                 status);
    if (vrw_model_is(model, "linear") || vrw_model_is(model, "binary_linear")
        || vrw_model_is(model, "weighted_linear"))
        return vrw_predicted_ctx_linear_init(context, matrix, buffers, fixed_effects, status);
    if (vrw_model_is(model, "logit") || vrw_model_is(model, "probit"))
        return vrw_predicted_ctx_binary_init(context, model, matrix, buffers, fixed_effects,
                                             status);
    if (model && strncmp(model, "ordered_", 8) == 0)
        return vrw_predicted_ctx_ordered_choice_init(context, model, matrix, buffers, columns,
                                                     fixed_effects, status);
    if (vrw_model_is(model, "multinomial_logit"))
        return vrw_predicted_ctx_multinomial_logit_init(context, matrix, buffers, columns,
                                                        fixed_effects, status);
    return NULL;
}

VRWStatus vrw_compute_predicted(VRWContext_s *context, const char *model,
                                const VRWMatrixBuffer_s *matrix,
                                const VRWVectorBuffer_s *exposures, VRWMleBuffers_s *buffers,
                                int32_t columns, int32_t fixed_effects, double *output)
{
    int32_t status = VRW_NOT_APPLICABLE;
    VRWPredictedCtx_s *predicted = vrw_predicted_ctx_init(context, model, matrix, exposures,
                                                          buffers, columns, fixed_effects,
                                                          &status);
    if (!predicted)
        return status;
    status = VRW_SUCCESS;
    if (predicted->fitted_run.kernel)
        status = vrw_run_kernels(context, &predicted->fitted_run, 1);
    if (status == VRW_SUCCESS && predicted->predict_run.kernel)
        status = vrw_run_kernels(context, &predicted->predict_run, 1);
    if (status == VRW_SUCCESS && columns == 0)
        status = vrw_read_data_buffer(context, matrix, buffers->predicted, 0, output);
    size_t observations = (size_t)(matrix->observations > 0 ? matrix->observations : 0);
    for (int32_t c = 0; status == VRW_SUCCESS && c < columns; c++)
        status = vrw_read_data_buffer(context, matrix, buffers->predicted, c,
                                      output + (size_t)c * observations);
    free(predicted);
    return status;
}
