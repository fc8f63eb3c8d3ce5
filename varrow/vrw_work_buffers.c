/* The device work buffers each fit makes for one run. */
#include "varrow/vrw_internal.h"

#include <math.h>
#include <stdlib.h>

static void *host_array(size_t n, size_t element, int32_t *status)
{
    if (*status != VRW_SUCCESS || n == 0)
        return NULL;
    void *array = malloc(n * element);
    if (!array)
        *status = VRW_OUT_OF_HOST_MEMORY;
    return array;
}

void vrw_free_mle_buffers(VRWMleBuffers_s *b)
{
    if (!b)
        return;
    cl_mem buffers[] = {b->row_values, b->sum, b->row_choice_values, b->choice_sums, b->scores,
                        b->weights, b->fitted, b->predicted, b->estimates, b->jacobian,
                        b->hessian, b->columns, b->opg, b->cluster_scores, b->fixed_effects,
                        b->fe_jacobian, b->fe_hessian, b->fe_cross_hessian, b->fe_cross_solved,
                        b->step, b->fe_delta, b->free_columns, b->free_equations,
                        b->equation_choices, b->choice_values, b->clusters};
    for (size_t i = 0; i < sizeof buffers / sizeof buffers[0]; i++)
        vrw_release_mem(buffers[i]);
    free(b->host_hessian);
    free(b);
}

/* For each free coefficient (constraint NaN, or no constraints), its column
** (index mod V) and equation (index / V). */
static void list_free_coefficients(const double *constraints, int64_t n, int64_t variables,
                                   int32_t *columns, int32_t *equations)
{
    int64_t f = 0;
    for (int64_t i = 0; i < n; i++) {
        if (constraints && !isnan(constraints[i]))
            continue;
        columns[f] = variables > 0 ? (int32_t)(i % variables) : 0;
        equations[f] = variables > 0 ? (int32_t)(i / variables) : 0;
        f++;
    }
}

static int64_t free_coefficient_count(const double *constraints, int64_t n)
{
    int64_t k = 0;
    for (int64_t i = 0; i < n; i++)
        k += !constraints || isnan(constraints[i]);
    return k;
}

static void make_free_lists(VRWContext_s *context, VRWMleBuffers_s *b, int32_t *status)
{
    size_t k = vrw_count_of(b->free_count);
    int32_t *columns = host_array(k, sizeof(int32_t), status);
    int32_t *equations = host_array(k, sizeof(int32_t), status);
    if (*status == VRW_SUCCESS && k > 0) {
        list_free_coefficients(b->constraints, b->coefficient_count, b->variable_count, columns,
                               equations);
        vrw_chain_copy_ints(context, &b->free_columns, k, columns, status);
        vrw_chain_copy_ints(context, &b->free_equations, k, equations, status);
    }
    free(columns);
    free(equations);
}

VRWMleBuffers_s *vrw_create_mle_buffers(VRWContext_s *context, const int32_t *columns,
                                        int64_t variable_count, const double *constraints,
                                        int64_t coefficient_count,
                                        const double *fixed_effect_constraints,
                                        int64_t panel_count, const uint32_t *clusters,
                                        int64_t cluster_count, int32_t clustering,
                                        int64_t extra_count, const double *choice_values,
                                        int64_t choice_count, int32_t blocks, int32_t *status)
{
    VRWMleBuffers_s *b = calloc(1, sizeof *b);
    if (!b) {
        vrw_set_status(status, VRW_OUT_OF_HOST_MEMORY);
        return NULL;
    }
    int64_t q = choice_values && choice_count > 0 ? choice_count : 1;
    b->choice_count = q;
    b->equation_count = q > 1 ? q - 1 : 1;
    b->variable_count = variable_count;
    b->coefficient_count = coefficient_count;
    b->free_count = free_coefficient_count(constraints, coefficient_count);
    b->panel_count = panel_count;
    b->cluster_count = cluster_count;
    b->constraints = constraints;
    b->fixed_effect_constraints = fixed_effect_constraints;

    size_t R = vrw_padded_rows(blocks), Q = (size_t)q, E = (size_t)b->equation_count;
    size_t X = vrw_count_of(extra_count), k = vrw_count_of(b->free_count);
    size_t V = vrw_count_of(variable_count);
    size_t P = vrw_count_of(panel_count), G = vrw_count_of(cluster_count);
    int32_t err = VRW_SUCCESS;
    vrw_chain_reals(context, &b->row_values, R, &err);
    vrw_chain_reals(context, &b->sum, 1, &err);
    vrw_chain_reals(context, &b->row_choice_values, R * X, &err);
    vrw_chain_reals(context, &b->choice_sums, X, &err);
    vrw_chain_reals(context, &b->scores, R * Q, &err);
    vrw_chain_reals(context, &b->weights, R * Q * Q, &err);
    vrw_chain_reals(context, &b->fitted, R, &err);
    vrw_chain_reals(context, &b->predicted, X ? R * X : R, &err);
    vrw_chain_input_reals(context, &b->estimates, vrw_count_of(coefficient_count), &err);
    vrw_chain_reals(context, &b->jacobian, k, &err);
    vrw_chain_reals(context, &b->hessian, k * k, &err);
    vrw_chain_copy_ints(context, &b->columns, V, columns, &err);
    vrw_chain_reals(context, &b->opg, k * k, &err);
    if (clustering)
        vrw_chain_reals(context, &b->cluster_scores, k * G, &err);
    vrw_chain_input_reals(context, &b->fixed_effects, Q * P, &err);
    vrw_chain_reals(context, &b->fe_jacobian, E * G, &err);
    vrw_chain_reals(context, &b->fe_hessian, E * G * E, &err);
    vrw_chain_reals(context, &b->fe_cross_hessian, E * G * k, &err);
    vrw_chain_reals(context, &b->fe_cross_solved, E * G * k, &err);
    vrw_chain_input_reals(context, &b->step, k, &err);
    vrw_chain_input_reals(context, &b->fe_delta, E * G, &err);
    make_free_lists(context, b, &err);
    if (choice_values)
        vrw_chain_copy_reals(context, &b->choice_values, Q, choice_values, &err);
    vrw_chain_copy_ints(context, &b->clusters, G, (const int32_t *)clusters, &err);
    b->host_hessian = host_array(k * k, sizeof(double), &err);
    if (err != VRW_SUCCESS) {
        vrw_free_mle_buffers(b);
        vrw_set_status(status, err);
        return NULL;
    }
    return b;
}

void vrw_free_gmm_buffers(VRWGmmBuffers_s *b)
{
    if (!b)
        return;
    cl_mem buffers[] = {b->scores, b->weights, b->fitted, b->estimates, b->cross_products,
                        b->columns, b->opg, b->instrument_columns, b->moments,
                        b->coefficient_indices, b->instrument_indices};
    for (size_t i = 0; i < sizeof buffers / sizeof buffers[0]; i++)
        vrw_release_mem(buffers[i]);
    free(b->host_hessian);
    free(b->host_cross_products);
    free(b);
}

/* A read-only buffer of the indices 0 .. n - 1. */
static void make_indices(VRWContext_s *context, cl_mem *slot, size_t n, int32_t *status)
{
    int32_t *indices = host_array(n, sizeof(int32_t), status);
    if (indices) {
        for (size_t i = 0; i < n; i++)
            indices[i] = (int32_t)i;
        vrw_chain_copy_ints(context, slot, n, indices, status);
    }
    free(indices);
}

VRWGmmBuffers_s *vrw_create_gmm_buffers(VRWContext_s *context, const int32_t *columns,
                                        int64_t column_count, const int32_t *instrument_columns,
                                        int64_t instrument_count, int64_t coefficient_count,
                                        int32_t blocks, int32_t *status)
{
    VRWGmmBuffers_s *b = calloc(1, sizeof *b);
    if (!b) {
        vrw_set_status(status, VRW_OUT_OF_HOST_MEMORY);
        return NULL;
    }
    b->coefficient_count = coefficient_count;
    b->column_count = column_count;
    b->instrument_count = instrument_count;
    b->free_count = coefficient_count;
    size_t R = vrw_padded_rows(blocks), k = vrw_count_of(coefficient_count);
    size_t L = vrw_count_of(instrument_count);
    int32_t err = VRW_SUCCESS;
    vrw_chain_reals(context, &b->scores, R, &err);
    vrw_chain_reals(context, &b->weights, R, &err);
    vrw_chain_reals(context, &b->fitted, R, &err);
    vrw_chain_input_reals(context, &b->estimates, k, &err);
    vrw_chain_reals(context, &b->cross_products, L * k, &err);
    vrw_chain_copy_ints(context, &b->columns, vrw_count_of(column_count), columns, &err);
    vrw_chain_reals(context, &b->opg, L * L, &err);
    vrw_chain_copy_ints(context, &b->instrument_columns, L, instrument_columns, &err);
    vrw_chain_reals(context, &b->moments, L, &err);
    make_indices(context, &b->coefficient_indices, k, &err);
    make_indices(context, &b->instrument_indices, L, &err);
    b->host_hessian = host_array(k * k, sizeof(double), &err);
    b->host_cross_products = host_array(L * k, sizeof(double), &err);
    if (err != VRW_SUCCESS) {
        vrw_free_gmm_buffers(b);
        vrw_set_status(status, err);
        return NULL;
    }
    return b;
}

void vrw_free_negbin2_buffers(VRWNegbin2Buffers_s *b)
{
    if (!b)
        return;
    vrw_release_mem(b->nuisance_scores);
    vrw_release_mem(b->cross_weights);
    vrw_release_mem(b->nuisance_weights);
    free(b);
}

VRWNegbin2Buffers_s *vrw_create_negbin2_buffers(VRWContext_s *context, int32_t blocks,
                                                int32_t *status)
{
    VRWNegbin2Buffers_s *b = calloc(1, sizeof *b);
    if (!b) {
        vrw_set_status(status, VRW_OUT_OF_HOST_MEMORY);
        return NULL;
    }
    size_t R = vrw_padded_rows(blocks);
    int32_t err = VRW_SUCCESS;
    vrw_chain_reals(context, &b->nuisance_scores, R, &err);
    vrw_chain_reals(context, &b->cross_weights, R, &err);
    vrw_chain_reals(context, &b->nuisance_weights, R, &err);
    if (err != VRW_SUCCESS) {
        vrw_free_negbin2_buffers(b);
        vrw_set_status(status, err);
        return NULL;
    }
    return b;
}

void vrw_free_ordered_choice_buffers(VRWOrderedChoiceBuffers_s *b)
{
    if (!b)
        return;
    cl_mem buffers[] = {b->category_map, b->nuisance_scores_upper, b->nuisance_scores_lower,
                        b->cross_weights_upper, b->cross_weights_lower,
                        b->nuisance_weights_upper, b->nuisance_weights_lower,
                        b->nuisance_weights_cross};
    for (size_t i = 0; i < sizeof buffers / sizeof buffers[0]; i++)
        vrw_release_mem(buffers[i]);
    free(b);
}

/* Category index by whole value 0 .. the largest value (the later category
** wins a tie), after one entry holding the number of values the map has:
** a row of any value (a row left out may hold NaN or a value of no
** category) is looked up only when it is a whole number the map covers, so
** no kernel reads outside it. A value that is negative or not a number has
** no entry. */
static void make_category_map(VRWContext_s *context, cl_mem *slot, const double *values,
                              int64_t count, int32_t *status)
{
    double largest = 0;
    for (int64_t i = 0; i < count; i++)
        if (values[i] > largest)
            largest = values[i];
    if (largest >= INT32_MAX - 1) {
        *status = VRW_OUT_OF_HOST_MEMORY;
        return;
    }
    size_t entries = (size_t)largest + 1;
    int32_t *map = calloc(entries + 1, sizeof(int32_t));
    if (!map) {
        *status = VRW_OUT_OF_HOST_MEMORY;
        return;
    }
    map[0] = (int32_t)entries;
    for (int64_t i = 0; i < count; i++)
        if (values[i] >= 0)
            map[1 + (size_t)values[i]] = (int32_t)i;
    vrw_chain_copy_ints(context, slot, entries + 1, map, status);
    free(map);
}

VRWOrderedChoiceBuffers_s *vrw_create_ordered_choice_buffers(VRWContext_s *context,
                                                             int32_t blocks,
                                                             const double *category_values,
                                                             int64_t category_count,
                                                             int32_t *status)
{
    VRWOrderedChoiceBuffers_s *b = calloc(1, sizeof *b);
    if (!b) {
        vrw_set_status(status, VRW_OUT_OF_HOST_MEMORY);
        return NULL;
    }
    b->category_count = category_count;
    size_t R = vrw_padded_rows(blocks);
    int32_t err = VRW_SUCCESS;
    make_category_map(context, &b->category_map, category_values, category_count, &err);
    cl_mem *rows[] = {&b->nuisance_scores_upper, &b->nuisance_scores_lower,
                      &b->cross_weights_upper,   &b->cross_weights_lower,
                      &b->nuisance_weights_upper, &b->nuisance_weights_lower,
                      &b->nuisance_weights_cross};
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; i++)
        vrw_chain_reals(context, rows[i], R, &err);
    if (err != VRW_SUCCESS) {
        vrw_free_ordered_choice_buffers(b);
        vrw_set_status(status, err);
        return NULL;
    }
    return b;
}
