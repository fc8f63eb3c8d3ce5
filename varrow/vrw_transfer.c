/* Device buffers and the blocking transfers between host and device. */
#include "varrow/vrw_internal.h"

#include <stdlib.h>
#include <string.h>

cl_mem vrw_make_buffer(VRWContext_s *context, cl_mem_flags flags, size_t bytes, const void *host,
                       int32_t *status)
{
    vrw_set_status(status, VRW_SUCCESS);
    if (bytes == 0)
        return NULL;
    cl_int err = CL_SUCCESS;
    cl_mem buffer = clCreateBuffer(context->context, flags,
                                   bytes, (flags & CL_MEM_COPY_HOST_PTR) ? (void *)host : NULL,
                                   &err);
    if (err != CL_SUCCESS) {
        vrw_set_status(status, err);
        return NULL;
    }
    return buffer;
}

void *vrw_map_new_buffer(VRWContext_s *context, size_t bytes, cl_mem *buffer, int32_t *status)
{
    *buffer = vrw_make_buffer(context, CL_MEM_READ_ONLY | CL_MEM_ALLOC_HOST_PTR, bytes, NULL,
                              status);
    if (!*buffer)
        return NULL;
    cl_int err = CL_SUCCESS;
    void *host = clEnqueueMapBuffer(context->queue, *buffer, CL_TRUE,
                                    CL_MAP_WRITE_INVALIDATE_REGION, 0, bytes, 0, NULL, NULL, &err);
    if (err != CL_SUCCESS) {
        clReleaseMemObject(*buffer);
        *buffer = NULL;
        vrw_set_status(status, err);
        return NULL;
    }
    return host;
}

VRWStatus vrw_unmap_buffer(VRWContext_s *context, cl_mem buffer, void *host)
{
    if (!buffer)
        return VRW_SUCCESS;
    cl_int err = clEnqueueUnmapMemObject(context->queue, buffer, host, 0, NULL, NULL);
    return err == CL_SUCCESS ? clFinish(context->queue) : err;
}

/* The host doubles as device reals: themselves, or a narrowed copy in
** scratch when the context's reals are floats. */
static const void *as_device_reals(const VRWContext_s *context, size_t n, const double *host,
                                   float **scratch)
{
    *scratch = NULL;
    if (context->fp_size == sizeof(double))
        return host;
    *scratch = malloc(n * sizeof(float));
    if (*scratch)
        for (size_t i = 0; i < n; i++)
            (*scratch)[i] = (float)host[i];
    return *scratch;
}

cl_mem vrw_make_real_buffer(VRWContext_s *context, size_t n, const double *host, int32_t *status)
{
    size_t bytes = n * (size_t)context->fp_size;
    if (!host)
        return vrw_make_buffer(context, CL_MEM_READ_WRITE, bytes, NULL, status);
    float *scratch;
    const void *reals = as_device_reals(context, n, host, &scratch);
    if (!reals && n > 0) {
        vrw_set_status(status, VRW_OUT_OF_HOST_MEMORY);
        return NULL;
    }
    cl_mem buffer = vrw_make_buffer(context, (cl_mem_flags)context->mem_flags, bytes, reals, status);
    free(scratch);
    return buffer;
}

cl_mem vrw_make_filled_real_buffer(VRWContext_s *context, size_t n, double value,
                                   int32_t *status)
{
    cl_mem buffer = vrw_make_buffer(context, CL_MEM_READ_WRITE, n * (size_t)context->fp_size,
                                    NULL, status);
    if (!buffer)
        return NULL;
    int32_t err = vrw_initialize_fp_buffer(context, buffer, n, value);
    if (err != VRW_SUCCESS) {
        clReleaseMemObject(buffer);
        vrw_set_status(status, err);
        return NULL;
    }
    return buffer;
}

cl_mem vrw_make_int_buffer(VRWContext_s *context, size_t n, const int32_t *host, int32_t *status)
{
    return vrw_make_buffer(context, (cl_mem_flags)context->mem_flags, n * sizeof(int32_t), host,
                           status);
}

VRWStatus vrw_read_bytes(VRWContext_s *context, cl_mem buffer, size_t offset, size_t bytes,
                         void *host)
{
    if (bytes == 0)
        return VRW_SUCCESS;
    return clEnqueueReadBuffer(context->queue, buffer, CL_TRUE, offset, bytes, host, 0, NULL,
                               NULL);
}

VRWStatus vrw_write_bytes(VRWContext_s *context, cl_mem buffer, size_t offset, size_t bytes,
                          const void *host)
{
    if (bytes == 0)
        return VRW_SUCCESS;
    return clEnqueueWriteBuffer(context->queue, buffer, CL_TRUE, offset, bytes, host, 0, NULL,
                                NULL);
}

VRWStatus vrw_read_fp_buffer(VRWContext_s *context, cl_mem buffer, size_t n, double *host)
{
    if (context->fp_size == sizeof(double))
        return vrw_read_bytes(context, buffer, 0, n * sizeof(double), host);
    float *floats = malloc(n * sizeof(float) + 1);
    if (!floats)
        return VRW_OUT_OF_HOST_MEMORY;
    VRWStatus status = vrw_read_bytes(context, buffer, 0, n * sizeof(float), floats);
    if (status == VRW_SUCCESS)
        for (size_t i = 0; i < n; i++)
            host[i] = floats[i];
    free(floats);
    return status;
}

VRWStatus vrw_write_fp_buffer(VRWContext_s *context, cl_mem buffer, size_t n, const double *host)
{
    float *scratch;
    const void *reals = as_device_reals(context, n, host, &scratch);
    if (!reals && n > 0)
        return VRW_OUT_OF_HOST_MEMORY;
    VRWStatus status = vrw_write_bytes(context, buffer, 0, n * (size_t)context->fp_size, reals);
    free(scratch);
    return status;
}

VRWStatus vrw_initialize_fp_buffer(VRWContext_s *context, cl_mem buffer, size_t n, double value)
{
    double *values = malloc(n * sizeof(double) + 1);
    if (!values)
        return VRW_OUT_OF_HOST_MEMORY;
    for (size_t i = 0; i < n; i++)
        values[i] = value;
    VRWStatus status = vrw_write_fp_buffer(context, buffer, n, values);
    free(values);
    return status;
}

int64_t vrw_panel_quads(const int32_t *panel_sizes, int32_t panel_count, int32_t *starts,
                        int32_t *counts)
{
    int64_t total = 0;
    for (int32_t p = 0; p < panel_count; p++) {
        int32_t size = panel_sizes[p] > 0 ? panel_sizes[p] : 0;
        int32_t quads = (size + VRW_QUAD_ROWS - 1) / VRW_QUAD_ROWS;
        if (starts)
            starts[p] = (int32_t)total;
        if (counts)
            counts[p] = quads;
        total += quads;
    }
    return total;
}

/* The panel sizes of a panel matrix, read from the device into a new array
** the caller frees, or NULL with the failure in *status. */
static int32_t *read_panel_sizes(VRWContext_s *context, const VRWMatrixBuffer_s *matrix,
                                 VRWStatus *status)
{
    int32_t *sizes = malloc((size_t)matrix->panel_count * sizeof(int32_t) + 1);
    if (!sizes) {
        *status = VRW_OUT_OF_HOST_MEMORY;
        return NULL;
    }
    *status = vrw_read_bytes(context, matrix->panel_sizes, 0,
                             (size_t)matrix->panel_count * sizeof(int32_t), sizes);
    if (*status != VRW_SUCCESS) {
        free(sizes);
        return NULL;
    }
    return sizes;
}

VRWStatus vrw_copy_data_buffer(VRWContext_s *context, const VRWMatrixBuffer_s *matrix,
                               double *host, const double *source)
{
    if (matrix->panel_count <= 0) {
        memcpy(host, source, (size_t)(matrix->observations > 0 ? matrix->observations : 0)
                                 * sizeof(double));
        return VRW_SUCCESS;
    }
    VRWStatus status;
    int32_t *sizes = read_panel_sizes(context, matrix, &status);
    if (!sizes)
        return status;
    size_t position = 0, next = 0;
    for (int32_t p = 0; p < matrix->panel_count; p++) {
        size_t size = sizes[p] > 0 ? (size_t)sizes[p] : 0;
        memcpy(host + next, source + position, size * sizeof(double));
        next += size;
        position += (size + VRW_QUAD_ROWS - 1) / VRW_QUAD_ROWS * VRW_QUAD_ROWS;
    }
    free(sizes);
    return VRW_SUCCESS;
}

VRWStatus vrw_read_data_buffer(VRWContext_s *context, const VRWMatrixBuffer_s *matrix,
                               cl_mem buffer, int32_t column, double *host)
{
    size_t rows = vrw_padded_rows(matrix->blocks);
    size_t offset = (size_t)column * rows * sizeof(double);
    if (matrix->panel_count <= 0)
        return vrw_read_bytes(context, buffer, offset,
                              (size_t)(matrix->observations > 0 ? matrix->observations : 0)
                                  * sizeof(double),
                              host);
    double *column_values = malloc(rows * sizeof(double) + 1);
    if (!column_values)
        return VRW_OUT_OF_HOST_MEMORY;
    VRWStatus status = vrw_read_bytes(context, buffer, offset, rows * sizeof(double),
                                      column_values);
    if (status == VRW_SUCCESS)
        status = vrw_copy_data_buffer(context, matrix, host, column_values);
    free(column_values);
    return status;
}

int32_t *vrw_row_positions(VRWContext_s *context, const VRWMatrixBuffer_s *matrix,
                           int32_t **panels, VRWStatus *status)
{
    size_t rows = matrix->observations > 0 ? (size_t)matrix->observations : 0;
    int32_t *positions = calloc(rows + 1, sizeof(int32_t));
    int32_t *panel_of = panels ? calloc(rows + 1, sizeof(int32_t)) : NULL;
    int32_t *sizes = NULL;
    *status = positions && (!panels || panel_of) ? VRW_SUCCESS : VRW_OUT_OF_HOST_MEMORY;
    if (*status == VRW_SUCCESS && matrix->panel_count > 0)
        sizes = read_panel_sizes(context, matrix, status);
    if (*status != VRW_SUCCESS) {
        free(positions);
        free(panel_of);
        return NULL;
    }
    size_t r = 0;
    if (!sizes) {
        for (; r < rows; r++) {
            positions[r] = (int32_t)r;
            if (panel_of)
                panel_of[r] = 0;
        }
    } else {
        size_t start = 0;
        for (int32_t p = 0; p < matrix->panel_count && r < rows; p++) {
            int32_t size = sizes[p] > 0 ? sizes[p] : 0;
            for (int32_t i = 0; i < size && r < rows; i++, r++) {
                positions[r] = (int32_t)(start + (size_t)i);
                if (panel_of)
                    panel_of[r] = p;
            }
            start += (size_t)(size + VRW_QUAD_ROWS - 1) / VRW_QUAD_ROWS * VRW_QUAD_ROWS;
        }
    }
    free(sizes);
    if (panels)
        *panels = panel_of;
    return positions;
}

VRWStatus vrw_read_vectorized_data_buffer(VRWContext_s *context, const VRWMatrixBuffer_s *matrix,
                                          cl_mem buffer, int32_t n, double *host)
{
    size_t rows = vrw_padded_rows(matrix->blocks);
    size_t observations = matrix->observations > 0 ? (size_t)matrix->observations : 0;
    size_t columns = n > 0 ? (size_t)n : 0;
    double *values = malloc(rows * columns * sizeof(double) + 1);
    if (!values)
        return VRW_OUT_OF_HOST_MEMORY;
    VRWStatus status = vrw_read_bytes(context, buffer, 0, rows * columns * sizeof(double), values);
    int32_t *positions = NULL;
    if (status == VRW_SUCCESS)
        positions = vrw_row_positions(context, matrix, NULL, &status);
    if (status == VRW_SUCCESS) {
        for (size_t r = 0; r < observations; r++) {
            size_t quad = (size_t)positions[r] / VRW_QUAD_ROWS;
            size_t lane = (size_t)positions[r] % VRW_QUAD_ROWS;
            for (size_t c = 0; c < columns; c++)
                host[c * observations + r] = values[quad * VRW_QUAD_ROWS * columns
                                                    + VRW_QUAD_ROWS * c + lane];
        }
    }
    free(positions);
    free(values);
    return status;
}
