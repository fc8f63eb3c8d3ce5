/* Linear restrictions R b = r and their Wald statistics. */
#include "varrow/vrw_fit_internal.h"

#include <cblas.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>

VRWTestRestrictions_s *vrw_init_restrictions(int64_t variable_count, int64_t test_count)
{
    VRWTestRestrictions_s *t = calloc(1, sizeof *t);
    size_t n = test_count > 0 ? (size_t)test_count : 0;
    if (!t)
        return NULL;
    t->R = calloc(n + 1, sizeof *t->R);
    t->q = calloc(n + 1, sizeof *t->q);
    t->r = calloc(n + 1, sizeof *t->r);
    if (!t->R || !t->q || !t->r) {
        vrw_free_restrictions(t);
        return NULL;
    }
    t->test_count = (int64_t)n;
    t->variable_count = variable_count;
    return t;
}

void vrw_free_restrictions(VRWTestRestrictions_s *restrictions)
{
    if (!restrictions)
        return;
    free(restrictions->R);
    free(restrictions->q);
    free(restrictions->r);
    free(restrictions);
}

/* Working arrays of one test, grown as tests need more. */
typedef struct {
    double *R;                     /* m x dimension */
    double *b;                     /* dimension */
    double *rhs;                   /* m, then R b - r */
    double *A;                     /* m x dimension: R V */
    double *S;                     /* m x m */
    double *workspace;
    int *pivots;
    size_t rows, columns, workspace_length;
} Work;

static void free_work(Work *w)
{
    free(w->R);
    free(w->b);
    free(w->rhs);
    free(w->A);
    free(w->S);
    free(w->workspace);
    free(w->pivots);
}

static bool grow(void **array, size_t count, size_t element)
{
    void *bigger = realloc(*array, count * element + 1);
    if (!bigger)
        return false;
    *array = bigger;
    return true;
}

static bool reserve(Work *w, size_t rows, size_t columns)
{
    if (rows <= w->rows && columns <= w->columns)
        return true;
    rows = rows > w->rows ? rows : w->rows;
    columns = columns > w->columns ? columns : w->columns;
    int length = vrw_optimal_iwork_dim((int)rows);
    size_t workspace = length > 0 ? (size_t)length : 1;
    if (!grow((void **)&w->R, rows * columns, sizeof(double))
        || !grow((void **)&w->b, columns, sizeof(double))
        || !grow((void **)&w->rhs, rows, sizeof(double))
        || !grow((void **)&w->A, rows * columns, sizeof(double))
        || !grow((void **)&w->S, rows * rows, sizeof(double))
        || !grow((void **)&w->workspace, workspace, sizeof(double))
        || !grow((void **)&w->pivots, rows, sizeof(int)))
        return false;
    w->rows = rows;
    w->columns = columns;
    w->workspace_length = workspace;
    return true;
}

/* The rows and the estimated coefficients' columns of reduce below. */
static int64_t keep_rows(const VRWTestRestrictions_s *t, int64_t test,
                         const double *estimates, const double *constraints, Work *w)
{
    int64_t q = t->q[test], n = t->variable_count;
    const double *R = t->R[test];
    int64_t free = 0;
    for (int64_t i = 0; i < q; i++)
        w->rhs[i] = t->r[test][i];
    for (int64_t j = 0; j < n; j++) {
        bool fixed = constraints && !isnan(constraints[j]);
        for (int64_t i = 0; i < q; i++) {
            if (fixed)
                w->rhs[i] -= R[j * q + i] * constraints[j];
            else
                w->R[free * q + i] = R[j * q + i];
        }
        if (!fixed)
            w->b[free++] = estimates[j];
    }
    if (!constraints)
        return q;
    int64_t kept = 0;
    for (int64_t i = 0; i < q; i++) {
        bool all_zero = true;
        for (int64_t j = 0; j < free && all_zero; j++)
            all_zero = w->R[j * q + i] == 0.0;
        if (all_zero)
            continue;
        for (int64_t j = 0; j < free; j++)
            w->R[j * q + kept] = w->R[j * q + i];
        w->rhs[kept++] = w->rhs[i];
    }
    /* Close the gaps the dropped rows left: leading dimension q to kept. */
    for (int64_t j = 0; j < free; j++)
        memmove(w->R + j * kept, w->R + j * q, (size_t)kept * sizeof(double));
    return kept;
}

/* Copies the restriction on the estimated coefficients into the working
** arrays (leading dimension q), moving the fixed coefficients' part to the
** right-hand side; with constraints, drops the rows that restrict fixed
** coefficients only (a NaN entry counts as not zero). The estimated
** parameters past the restricted coefficients (a fit's nuisance parameters,
** last in its variance) get zero columns up to dimension. Returns the rows
** kept. */
static int64_t reduce(const VRWTestRestrictions_s *t, int64_t test, const double *estimates,
                      const double *constraints, int64_t dimension, Work *w)
{
    int64_t kept = keep_rows(t, test, estimates, constraints, w);
    int64_t free = 0;
    for (int64_t j = 0; j < t->variable_count; j++)
        free += !constraints || isnan(constraints[j]);
    for (int64_t j = free; j < dimension; j++) {
        for (int64_t i = 0; i < kept; i++)
            w->R[j * kept + i] = 0.0;
        w->b[j] = 0.0;
    }
    return kept;
}

/* d' (R V R')^-1 d with d = R b - r, for m rows over dimension estimates;
** false when R V R' cannot be inverted. */
static bool statistic(const double *variance, int64_t dimension, Work *w, int64_t m,
                      double *value)
{
    int n = (int)dimension, rows = (int)m;
    cblas_dgemv(CblasColMajor, CblasNoTrans, rows, n, 1.0, w->R, rows, w->b, 1, -1.0, w->rhs, 1);
    cblas_dsymm(CblasColMajor, CblasRight, CblasUpper, rows, n, 1.0, variance, n, w->R, rows, 0.0,
                w->A, rows);
    cblas_dgemm(CblasColMajor, CblasNoTrans, CblasTrans, rows, rows, n, 1.0, w->A, rows, w->R,
                rows, 0.0, w->S, rows);
    if (vrw_invert_matrix(w->S, rows, w->pivots, w->workspace, (int)w->workspace_length) != 0)
        return false;
    double total = 0.0;
    for (int i = 0; i < rows; i++)
        for (int j = 0; j < rows; j++)
            total += w->rhs[i] * w->S[j * rows + i] * w->rhs[j];
    *value = total;
    return true;
}

VRWStatus vrw_wald_test(const double *variance, int64_t dimension, const double *estimates,
                        const double *constraints, const VRWTestRestrictions_s *restrictions,
                        double *statistics, int64_t *degrees_of_freedom)
{
    Work w = {0};
    VRWStatus status = VRW_SUCCESS;
    int64_t n = restrictions->variable_count;
    for (int64_t t = 0; t < restrictions->test_count; t++) {
        int64_t q = restrictions->q[t], m = 0;
        if (q > 0 && restrictions->R[t]) {
            int64_t columns = n > dimension ? n : dimension;
            if (!reserve(&w, (size_t)q, (size_t)(columns > 0 ? columns : 0))) {
                status = VRW_OUT_OF_HOST_MEMORY;
                break;
            }
            m = reduce(restrictions, t, estimates, constraints, dimension, &w);
        }
        double value = NAN;
        bool tested = m > 0 && statistic(variance, dimension, &w, m, &value);
        statistics[t] = value;
        if (degrees_of_freedom)
            degrees_of_freedom[t] = tested ? m : 0;
    }
    free_work(&w);
    return status;
}

VRWStatus vrw_write_wald_tests(const VRWRegression_s *r, const double *variance,
                               int64_t dimension, const double *estimates,
                               const double *constraints)
{
    if (!r->restrictions || r->restrictions->test_count <= 0 || !r->out_wald_statistics
        || !estimates)
        return VRW_SUCCESS;
    return vrw_wald_test(variance, dimension, estimates, constraints, r->restrictions,
                         r->out_wald_statistics, r->out_wald_degrees_of_freedom);
}
