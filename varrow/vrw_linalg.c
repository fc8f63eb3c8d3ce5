/* Inversion and symmetric eigen decomposition of small dense matrices. */
#include "varrow/vrw_regression.h"
#include "varrow/vrw_internal.h"

#include <lapack.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>

int vrw_optimal_iwork_dim(int n)
{
    lapack_int order = n, info = 0, length = -1;
    double optimum = 0;
    LAPACK_dgetri(&order, NULL, &order, NULL, &optimum, &length, &info);
    if (info != 0)
        vrw_log_note("Failed to query dgetri: %d\n", (int)info);
    return (int)optimum;
}

int vrw_invert_matrix(double *matrix, int n, int *pivots, double *workspace, int workspace_length)
{
    lapack_int order = n, info = 0, length = workspace_length;
    LAPACK_dgetrf(&order, &order, matrix, &order, pivots, &info);
    if (info != 0)
        return (int)info;
    LAPACK_dgetri(&order, matrix, &order, pivots, workspace, &length, &info);
    return (int)info;
}

int vrw_matrix_eigenvectors(const double *matrix, int n, double *eigenvalues, double *eigenvectors)
{
    char job = eigenvectors ? 'V' : 'N', upper = 'U';
    lapack_int order = n, info = 0, length = -1;
    double optimum = 0;
    LAPACK_dsyev(&job, &upper, &order, NULL, &order, NULL, &optimum, &length, &info);
    if (info != 0)
        return (int)info;
    size_t elements = n > 0 ? (size_t)n * (size_t)n : 0;
    length = (lapack_int)optimum;
    double *workspace = malloc(((size_t)(length > 0 ? length : 0) + 1) * sizeof(double));
    double *scratch = eigenvectors ? NULL : malloc(elements * sizeof(double) + 1);
    double *copy = eigenvectors ? eigenvectors : scratch;
    if (!workspace || !copy) {
        free(workspace);
        free(scratch);
        return VRW_OUT_OF_HOST_MEMORY;
    }
    /* A NaN makes every eigenvalue meaningless: report it before LAPACK runs. */
    for (size_t i = 0; i < elements && info == 0; i++) {
        if (isnan(matrix[i]))
            info = 1;
        copy[i] = matrix[i];
    }
    if (info == 0)
        LAPACK_dsyev(&job, &upper, &order, copy, &order, eigenvalues, workspace, &length, &info);
    free(workspace);
    free(scratch);
    return (int)info;
}

int vrw_matrix_eigenvalues(const double *matrix, int n, double *eigenvalues)
{
    return vrw_matrix_eigenvectors(matrix, n, eigenvalues, NULL);
}

void vrw_rescale(double *matrix, int n, const double *scales)
{
    size_t order = n > 0 ? (size_t)n : 0;
    for (size_t j = 0; j < order; j++)
        for (size_t i = 0; i < order; i++)
            matrix[j * order + i] *= scales[i] * scales[j];
}

void vrw_equilibrate(double *matrix, int n, double *scales)
{
    size_t order = n > 0 ? (size_t)n : 0;
    for (size_t i = 0; i < order; i++) {
        double diagonal = fabs(matrix[i * order + i]);
        int exponent = 0;
        if (diagonal > 0.0 && isfinite(diagonal))
            frexp(diagonal, &exponent);
        /* diagonal x 2^(-2 floor(exponent / 2)) lies in [1/2, 2). */
        scales[i] = ldexp(1.0, -(int)floor(exponent / 2.0));
    }
    vrw_rescale(matrix, n, scales);
}

int vrw_invert_equilibrated(double *matrix, int n, double *scales, int *pivots,
                            double *workspace, int workspace_length)
{
    vrw_equilibrate(matrix, n, scales);
    int info = vrw_invert_matrix(matrix, n, pivots, workspace, workspace_length);
    if (info == 0)
        vrw_rescale(matrix, n, scales);
    return info;
}
