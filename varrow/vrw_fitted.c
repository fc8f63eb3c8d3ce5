/* Set-ups of the fitted-value (linear predictor) runs over a fit's buffers. */
#include "varrow/vrw_internal.h"
#include "varrow/vrw_kernel_names.h"

/* Finds the kernel and sets one work item a block of the matrix, followed
** by the arguments every variant starts with. -46 leaves the run untouched. */
static VRWStatus begin_fitted(VRWKernelRun_s *run, VRWContext_s *context, VRWKernelName name,
                              const VRWMatrixBuffer_s *matrix, cl_mem columns,
                              int64_t variable_count, cl_mem estimates, cl_mem output)
{
    cl_kernel kernel = vrw_kernel(context, name);
    if (!kernel)
        return VRW_KERNEL_NOT_LOADED;
    run->kernel = kernel;
    vrw_set_kernel_dim1(run, (size_t)(matrix->blocks > 0 ? matrix->blocks : 0));
    vrw_set_kernel_arg_mem(run, matrix->data);
    vrw_set_kernel_arg_mem(run, columns);
    vrw_set_kernel_arg_int(run, (int32_t)variable_count);
    vrw_set_kernel_arg_mem(run, estimates);
    vrw_set_kernel_arg_mem(run, output);
    return VRW_SUCCESS;
}

static cl_mem exposure_buffer(const VRWVectorBuffer_s *exposures)
{
    return exposures ? exposures->data : NULL;
}

VRWStatus vrw_fitted_kernel_run_init(VRWKernelRun_s *run, VRWContext_s *context,
                                     const VRWMatrixBuffer_s *matrix,
                                     const VRWVectorBuffer_s *exposures,
                                     const VRWMleBuffers_s *buffers, cl_mem output)
{
    VRWStatus status = begin_fitted(run, context, VRWK_COMPUTE_FITTED, matrix, buffers->columns,
                                    buffers->variable_count, buffers->estimates, output);
    if (status == VRW_SUCCESS)
        vrw_set_kernel_arg_mem(run, exposure_buffer(exposures));
    return status;
}

VRWStatus vrw_fitted_kernel_run_init_fe(VRWKernelRun_s *run, VRWContext_s *context,
                                        const VRWMatrixBuffer_s *matrix,
                                        const VRWVectorBuffer_s *exposures,
                                        const VRWMleBuffers_s *buffers, cl_mem output)
{
    VRWStatus status = begin_fitted(run, context, VRWK_COMPUTE_FITTED_FE, matrix,
                                    buffers->columns, buffers->variable_count, buffers->estimates,
                                    output);
    if (status == VRW_SUCCESS) {
        vrw_set_kernel_arg_mem(run, buffers->fixed_effects);
        vrw_set_kernel_arg_mem(run, matrix->quad_panels);
        vrw_set_kernel_arg_mem(run, exposure_buffer(exposures));
    }
    return status;
}

VRWStatus vrw_fitted_kernel_run_init_fe_cox_proportional_hazards(VRWKernelRun_s *run,
                                                                 VRWContext_s *context,
                                                                 const VRWMatrixBuffer_s *matrix,
                                                                 const VRWMleBuffers_s *buffers,
                                                                 cl_mem output)
{
    VRWStatus status = begin_fitted(run, context, VRWK_COMPUTE_FITTED_FE_COX_PROPORTIONAL_HAZARDS,
                                    matrix, buffers->columns, buffers->variable_count,
                                    buffers->estimates, output);
    if (status == VRW_SUCCESS)
        vrw_set_kernel_arg_mem(run, matrix->quad_panels);
    return status;
}

VRWStatus vrw_fitted_kernel_run_init_gmm(VRWKernelRun_s *run, VRWContext_s *context,
                                         const VRWMatrixBuffer_s *matrix,
                                         const VRWGmmBuffers_s *buffers, cl_mem output)
{
    VRWStatus status = begin_fitted(run, context, VRWK_COMPUTE_FITTED, matrix, buffers->columns,
                                    buffers->column_count, buffers->estimates, output);
    if (status == VRW_SUCCESS)
        vrw_set_kernel_arg_mem(run, NULL);
    return status;
}
