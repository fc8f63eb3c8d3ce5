/* The argument lists of the maximum-likelihood kernels: the contract between
** the fits and the kernel programs. Each setter clears the run's list and
** appends the kernel's arguments in declaration order. */
#include "varrow/vrw_fit_internal.h"

static void args(VRWKernelRun_s *run)
{
    vrw_reset_kernel_args(run);
}

static void mem(VRWKernelRun_s *run, cl_mem buffer)
{
    vrw_set_kernel_arg_mem(run, buffer);
}

static void integer(VRWKernelRun_s *run, int64_t value)
{
    vrw_set_kernel_arg_int(run, (int32_t)value);
}

static cl_mem vector_buffer(const VRWVectorBuffer_s *vector)
{
    return vector ? vector->data : NULL;
}

/* data, frequency weights: the start of the kernels that read the rows. */
static void data_args(VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix,
                      const VRWVectorBuffer_s *weights)
{
    args(run);
    mem(run, matrix->data);
    mem(run, weights->data);
}

/* data, frequency weights, columns, blocks, free_columns: the start of every
** kernel that sums regressor values over the rows. */
static void row_sum_args(VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix,
                         const VRWVectorBuffer_s *weights, const VRWMleBuffers_s *b)
{
    data_args(run, matrix, weights);
    mem(run, b->columns);
    integer(run, matrix->blocks);
    mem(run, b->free_columns);
}

void vrw_set_mle_prefix_kernel_args(VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix,
                                    const VRWMleBuffers_s *buffers, int32_t dependent)
{
    args(run);
    mem(run, matrix->data);
    integer(run, dependent);
    mem(run, buffers->fitted);
    mem(run, buffers->scores);
    mem(run, buffers->weights);
}

void vrw_set_mle_jacobian_kernel_args(VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix,
                                      const VRWVectorBuffer_s *weights,
                                      const VRWMleBuffers_s *buffers)
{
    row_sum_args(run, matrix, weights, buffers);
    mem(run, buffers->scores);
    mem(run, buffers->jacobian);
}

void vrw_set_mle_hessian_kernel_args(VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix,
                                     const VRWVectorBuffer_s *weights,
                                     const VRWMleBuffers_s *buffers)
{
    row_sum_args(run, matrix, weights, buffers);
    mem(run, buffers->weights);
    mem(run, buffers->hessian);
    integer(run, buffers->free_count);
}

void vrw_set_mle_robust_kernel_args(VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix,
                                    const VRWVectorBuffer_s *weights,
                                    const VRWMleBuffers_s *buffers)
{
    row_sum_args(run, matrix, weights, buffers);
    integer(run, buffers->free_count);
    mem(run, buffers->scores);
    mem(run, buffers->opg);
}

void vrw_set_mle_cluster_pass1_kernel_args(VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix,
                                           const VRWVectorBuffer_s *weights,
                                           const VRWMleBuffers_s *buffers)
{
    data_args(run, matrix, weights);
    mem(run, buffers->columns);
    integer(run, 4 * (int64_t)matrix->blocks);
    mem(run, buffers->free_columns);
    mem(run, buffers->clusters);
    mem(run, matrix->panel_quad_counts);
    mem(run, matrix->panel_quad_starts);
    mem(run, buffers->scores);
    mem(run, buffers->cluster_scores);
}

void vrw_set_mle_cluster_pass2_kernel_args(VRWKernelRun_s *run, const VRWMleBuffers_s *buffers)
{
    args(run);
    mem(run, buffers->cluster_scores);
    integer(run, buffers->cluster_count);
    mem(run, buffers->opg);
}

void vrw_set_mle_log_likelihood_kernel_args(VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix,
                                            int32_t dependent, const VRWMleBuffers_s *buffers)
{
    args(run);
    mem(run, matrix->data);
    integer(run, dependent);
    mem(run, buffers->fitted);
    mem(run, buffers->scores);
    mem(run, buffers->row_values);
}

void vrw_set_mle_negative_binomial_prefix_kernel_args(VRWKernelRun_s *run,
                                                      const VRWMatrixBuffer_s *matrix,
                                                      int32_t dependent,
                                                      const VRWMleBuffers_s *buffers,
                                                      const VRWNegbin2Buffers_s *negbin2)
{
    vrw_set_mle_prefix_kernel_args(run, matrix, buffers, dependent);
    mem(run, negbin2->nuisance_scores);
    mem(run, negbin2->cross_weights);
    mem(run, negbin2->nuisance_weights);
    mem(run, buffers->estimates);
    integer(run, buffers->variable_count);
    integer(run, matrix->observations);
}

void vrw_set_mle_negative_binomial_jacobian_nuisance_kernel_args(
    VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    const VRWMleBuffers_s *buffers, const VRWNegbin2Buffers_s *negbin2, int32_t nuisance)
{
    data_args(run, matrix, weights);
    integer(run, matrix->blocks);
    integer(run, nuisance);
    mem(run, buffers->jacobian);
    mem(run, negbin2->nuisance_scores);
}

void vrw_set_mle_negative_binomial_hessian_cross_kernel_args(
    VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    const VRWMleBuffers_s *buffers, const VRWNegbin2Buffers_s *negbin2, int32_t nuisance)
{
    row_sum_args(run, matrix, weights, buffers);
    integer(run, buffers->free_count);
    integer(run, nuisance);
    mem(run, buffers->hessian);
    mem(run, negbin2->cross_weights);
}

void vrw_set_mle_negative_binomial_hessian_nuisance_kernel_args(
    VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    const VRWMleBuffers_s *buffers, const VRWNegbin2Buffers_s *negbin2, int32_t nuisance,
    int32_t shaped)
{
    data_args(run, matrix, weights);
    integer(run, matrix->blocks);
    integer(run, buffers->free_count);
    integer(run, nuisance);
    mem(run, buffers->hessian);
    mem(run, negbin2->nuisance_weights);
    mem(run, negbin2->nuisance_scores);
    mem(run, buffers->estimates);
    integer(run, buffers->variable_count);
    integer(run, shaped);
}

void vrw_set_mle_negative_binomial_robust_kernel_args(
    VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    const VRWMleBuffers_s *buffers, const VRWNegbin2Buffers_s *negbin2, int32_t nuisance)
{
    row_sum_args(run, matrix, weights, buffers);
    mem(run, buffers->scores);
    mem(run, negbin2->nuisance_scores);
    mem(run, buffers->opg);
    integer(run, buffers->free_count);
    integer(run, nuisance);
}

void vrw_set_mle_ordered_choice_prefix_kernel_args(VRWKernelRun_s *run,
                                                   const VRWMatrixBuffer_s *matrix,
                                                   int32_t dependent,
                                                   const VRWOrderedChoiceBuffers_s *ordered,
                                                   const VRWMleBuffers_s *buffers)
{
    vrw_set_mle_prefix_kernel_args(run, matrix, buffers, dependent);
    mem(run, buffers->estimates);
    integer(run, buffers->variable_count);
    mem(run, ordered->category_map);
    integer(run, ordered->category_count);
    mem(run, ordered->nuisance_scores_upper);
    mem(run, ordered->nuisance_scores_lower);
    mem(run, ordered->cross_weights_upper);
    mem(run, ordered->cross_weights_lower);
    mem(run, ordered->nuisance_weights_upper);
    mem(run, ordered->nuisance_weights_lower);
    mem(run, ordered->nuisance_weights_cross);
    mem(run, buffers->row_values);
}

/* data, frequency weights, dependent column, category map: the start of the
** ordered-choice kernels over the rows. */
static void ordered_args(VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix,
                         const VRWVectorBuffer_s *weights, int32_t dependent,
                         const VRWOrderedChoiceBuffers_s *ordered)
{
    data_args(run, matrix, weights);
    integer(run, dependent);
    mem(run, ordered->category_map);
}

void vrw_set_mle_ordered_choice_jacobian_nuisance_kernel_args(
    VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    const VRWMleBuffers_s *buffers, int32_t dependent, const VRWOrderedChoiceBuffers_s *ordered,
    int32_t free_regressors)
{
    ordered_args(run, matrix, weights, dependent, ordered);
    integer(run, matrix->blocks);
    integer(run, free_regressors);
    mem(run, buffers->jacobian);
    mem(run, ordered->nuisance_scores_upper);
    mem(run, ordered->nuisance_scores_lower);
}

static void ordered_nuisance_hessian_args(VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix,
                                          const VRWVectorBuffer_s *weights,
                                          const VRWMleBuffers_s *buffers,
                                          const VRWOrderedChoiceBuffers_s *ordered,
                                          int32_t dependent, int32_t free_regressors)
{
    ordered_args(run, matrix, weights, dependent, ordered);
    integer(run, matrix->blocks);
    integer(run, buffers->free_count);
    integer(run, free_regressors);
    mem(run, buffers->hessian);
    mem(run, ordered->nuisance_weights_upper);
    mem(run, ordered->nuisance_weights_lower);
    mem(run, ordered->nuisance_weights_cross);
}

void vrw_set_mle_ordered_choice_hessian_diagonal_nuisance_kernel_args(
    VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    const VRWMleBuffers_s *buffers, const VRWOrderedChoiceBuffers_s *ordered, int32_t dependent,
    int32_t free_regressors)
{
    ordered_nuisance_hessian_args(run, matrix, weights, buffers, ordered, dependent,
                                  free_regressors);
}

void vrw_set_mle_ordered_choice_hessian_offdiagonal_nuisance_kernel_args(
    VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    const VRWMleBuffers_s *buffers, const VRWOrderedChoiceBuffers_s *ordered, int32_t dependent,
    int32_t free_regressors)
{
    ordered_nuisance_hessian_args(run, matrix, weights, buffers, ordered, dependent,
                                  free_regressors);
}

void vrw_set_mle_ordered_choice_hessian_cross_kernel_args(
    VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    const VRWMleBuffers_s *buffers, const VRWOrderedChoiceBuffers_s *ordered, int32_t dependent,
    int32_t free_regressors)
{
    ordered_args(run, matrix, weights, dependent, ordered);
    mem(run, buffers->columns);
    integer(run, matrix->blocks);
    mem(run, buffers->free_columns);
    integer(run, buffers->free_count);
    integer(run, free_regressors);
    mem(run, buffers->hessian);
    mem(run, ordered->cross_weights_upper);
    mem(run, ordered->cross_weights_lower);
}

void vrw_set_mle_ordered_choice_robust_kernel_args(
    VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    const VRWMleBuffers_s *buffers, const VRWOrderedChoiceBuffers_s *ordered, int32_t dependent,
    int32_t free_regressors)
{
    ordered_args(run, matrix, weights, dependent, ordered);
    mem(run, buffers->columns);
    integer(run, matrix->blocks);
    mem(run, buffers->free_columns);
    mem(run, buffers->scores);
    mem(run, ordered->nuisance_scores_upper);
    mem(run, ordered->nuisance_scores_lower);
    mem(run, buffers->opg);
    integer(run, buffers->free_count);
    integer(run, free_regressors);
}

void vrw_set_mle_multinomial_logit_prefix_kernel_args(VRWKernelRun_s *run,
                                                      const VRWMatrixBuffer_s *matrix,
                                                      const VRWMleBuffers_s *buffers,
                                                      int32_t dependent, int32_t choice_count)
{
    args(run);
    mem(run, matrix->data);
    integer(run, dependent);
    mem(run, buffers->columns);
    integer(run, buffers->variable_count);
    mem(run, buffers->estimates);
    mem(run, buffers->scores);
    mem(run, buffers->weights);
    mem(run, buffers->choice_values);
    integer(run, choice_count);
}

void vrw_set_mle_cox_censoring_kernel_args(VRWKernelRun_s *run, const VRWVectorBuffer_s *causes,
                                           cl_mem censoring, const VRWCoxBuffers_s *cox,
                                           double cause_value)
{
    args(run);
    vrw_set_kernel_arg_double(run, cause_value);
    mem(run, vector_buffer(causes));
    mem(run, censoring);
    mem(run, cox->rank_rows);
    mem(run, cox->events);
}

void vrw_set_mle_cox_log_likelihood_kernel_args(VRWKernelRun_s *run,
                                                const VRWMleBuffers_s *buffers,
                                                const VRWCoxBuffers_s *cox)
{
    args(run);
    mem(run, cox->rank_prefix);
    mem(run, cox->accumulated_prefix);
    mem(run, cox->events);
    mem(run, cox->rank_rows);
    mem(run, buffers->row_values);
}

void vrw_set_mle_cox_prefix_kernel_args(VRWKernelRun_s *run, const VRWMleBuffers_s *buffers,
                                        const VRWCoxBuffers_s *cox)
{
    args(run);
    mem(run, buffers->fitted);
    mem(run, cox->rank_rows);
    mem(run, cox->rank_prefix);
}

void vrw_set_mle_cox_accumulate_prefix_kernel_args(VRWKernelRun_s *run,
                                                   const VRWCoxBuffers_s *cox)
{
    args(run);
    mem(run, cox->rank_weights);
    mem(run, cox->rank_times);
    mem(run, cox->rank_prefix);
    mem(run, cox->events);
    mem(run, cox->rank_rows);
    mem(run, cox->group_starts);
    mem(run, cox->group_sizes);
    mem(run, cox->accumulated_prefix);
}

/* data, rank weights, rank times, columns, blocks, free columns, rank
** prefix: the start of the Cox kernels that walk the free regressors'
** columns over a ranking (the groups' or the cells'). */
static void cox_column_walk_args(VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix,
                                 const VRWMleBuffers_s *buffers, cl_mem rank_weights,
                                 cl_mem rank_times, cl_mem rank_prefix)
{
    args(run);
    mem(run, matrix->data);
    mem(run, rank_weights);
    mem(run, rank_times);
    mem(run, buffers->columns);
    integer(run, matrix->blocks);
    mem(run, buffers->free_columns);
    mem(run, rank_prefix);
}

void vrw_set_mle_cox_work_kernel_args(VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix,
                                      const VRWMleBuffers_s *buffers, const VRWCoxBuffers_s *cox)
{
    cox_column_walk_args(run, matrix, buffers, cox->rank_weights, cox->rank_times,
                         cox->rank_prefix);
    mem(run, cox->rank_rows);
    mem(run, cox->group_starts);
    mem(run, cox->group_sizes);
    integer(run, cox->ranked_count);
    mem(run, cox->work_1);
    mem(run, cox->work_2);
}

void vrw_set_mle_cox_jacobian_kernel_args(VRWKernelRun_s *run, const VRWMleBuffers_s *buffers,
                                          const VRWCoxBuffers_s *cox)
{
    args(run);
    mem(run, cox->rank_weights);
    mem(run, cox->rank_prefix);
    mem(run, cox->accumulated_prefix);
    mem(run, cox->events);
    integer(run, cox->ranked_count);
    mem(run, cox->work_1);
    mem(run, cox->work_2);
    mem(run, buffers->jacobian);
}

void vrw_set_mle_cox_hessian_kernel_args(VRWKernelRun_s *run, const VRWMleBuffers_s *buffers,
                                         const VRWCoxBuffers_s *cox)
{
    args(run);
    mem(run, cox->rank_weights);
    mem(run, cox->rank_times);
    mem(run, cox->rank_prefix);
    mem(run, cox->accumulated_prefix);
    mem(run, cox->group_starts);
    mem(run, cox->group_sizes);
    integer(run, cox->group_count);
    integer(run, cox->ranked_count);
    mem(run, cox->work_1);
    mem(run, cox->work_2);
    mem(run, buffers->hessian);
    integer(run, buffers->free_count);
}

void vrw_set_mle_cox_accumulate_hazards_kernel_args(VRWKernelRun_s *run,
                                                    const VRWMleBuffers_s *buffers,
                                                    const VRWCoxBuffers_s *cox)
{
    args(run);
    mem(run, cox->rank_weights);
    mem(run, cox->rank_times);
    mem(run, cox->rank_prefix);
    mem(run, cox->accumulated_prefix);
    mem(run, cox->rank_rows);
    mem(run, cox->group_starts);
    mem(run, cox->group_sizes);
    mem(run, cox->hazards);
    mem(run, buffers->scores);
}

/* The Cox fit's robust and cluster variances read each row's score
** residuals, which its own kernel writes into a buffer of padded rows x r. */
void vrw_set_mle_cox_score_residuals_kernel_args(VRWKernelRun_s *run,
                                                 const VRWMatrixBuffer_s *matrix,
                                                 const VRWMleBuffers_s *buffers,
                                                 const VRWCoxBuffers_s *cox, cl_mem shifts,
                                                 cl_mem residuals)
{
    cox_column_walk_args(run, matrix, buffers, cox->rank_weights, cox->rank_times,
                         cox->rank_prefix);
    mem(run, cox->accumulated_prefix);
    mem(run, cox->rank_rows);
    mem(run, cox->group_starts);
    mem(run, cox->group_sizes);
    mem(run, matrix->quad_panels);
    mem(run, shifts);
    integer(run, matrix->panel_count);
    mem(run, residuals);
}

void vrw_set_mle_cox_robust_kernel_args(VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix,
                                        const VRWVectorBuffer_s *weights,
                                        const VRWMleBuffers_s *buffers, cl_mem residuals)
{
    args(run);
    mem(run, weights->data);
    integer(run, matrix->blocks);
    mem(run, residuals);
    mem(run, buffers->opg);
}

void vrw_set_mle_cox_cluster_pass1_kernel_args(VRWKernelRun_s *run,
                                               const VRWMatrixBuffer_s *matrix,
                                               const VRWVectorBuffer_s *weights,
                                               const VRWMleBuffers_s *buffers, cl_mem residuals)
{
    args(run);
    mem(run, weights->data);
    mem(run, buffers->clusters);
    mem(run, matrix->panel_quad_counts);
    mem(run, matrix->panel_quad_starts);
    mem(run, residuals);
    integer(run, 4 * (int64_t)matrix->blocks);
    mem(run, buffers->cluster_scores);
}

/* The fixed-effects kernels. Their per-panel walks take the matrix's quads
** (4 x blocks) as row count, the clusters and the panel layout. */
static void panel_walk_args(VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix,
                            const VRWMleBuffers_s *buffers)
{
    mem(run, buffers->clusters);
    mem(run, matrix->panel_quad_counts);
    mem(run, matrix->panel_quad_starts);
}

/* data, frequency weights, columns, quads, free_columns: the start of the
** fixed-effects kernels that sum regressor values over the panels. */
static void panel_sum_args(VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix,
                           const VRWVectorBuffer_s *weights, const VRWMleBuffers_s *b)
{
    data_args(run, matrix, weights);
    mem(run, b->columns);
    integer(run, 4 * (int64_t)matrix->blocks);
    mem(run, b->free_columns);
}

void vrw_set_mle_fe_sum_kernel_args(VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix,
                                    const VRWVectorBuffer_s *weights,
                                    const VRWMleBuffers_s *buffers, cl_mem input, cl_mem output)
{
    args(run);
    mem(run, input);
    mem(run, weights->data);
    panel_walk_args(run, matrix, buffers);
    mem(run, output);
}

void vrw_set_mle_fe_mean_kernel_args(VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix,
                                     const VRWVectorBuffer_s *weights,
                                     const VRWMleBuffers_s *buffers)
{
    panel_sum_args(run, matrix, weights, buffers);
    mem(run, buffers->weights);
    panel_walk_args(run, matrix, buffers);
    mem(run, buffers->fe_hessian);
    mem(run, buffers->fe_cross_solved);
    mem(run, buffers->fe_cross_hessian);
}

void vrw_set_mle_fe_jacobian_kernel_args(VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix,
                                         const VRWVectorBuffer_s *weights,
                                         const VRWMleBuffers_s *buffers)
{
    panel_sum_args(run, matrix, weights, buffers);
    mem(run, buffers->scores);
    mem(run, buffers->jacobian);
    mem(run, buffers->clusters);
    integer(run, buffers->cluster_count);
    mem(run, matrix->panel_quad_counts);
    mem(run, matrix->panel_quad_starts);
    mem(run, buffers->fe_cross_hessian);
}

void vrw_set_mle_fe_hessian_kernel_args(VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix,
                                        const VRWVectorBuffer_s *weights,
                                        const VRWMleBuffers_s *buffers)
{
    panel_sum_args(run, matrix, weights, buffers);
    mem(run, buffers->weights);
    mem(run, buffers->hessian);
    integer(run, buffers->free_count);
    mem(run, buffers->clusters);
    integer(run, buffers->cluster_count);
    mem(run, matrix->panel_quad_counts);
    mem(run, matrix->panel_quad_starts);
    mem(run, buffers->fe_cross_hessian);
}

void vrw_set_mle_fe_robust_kernel_args(VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix,
                                       const VRWVectorBuffer_s *weights,
                                       const VRWMleBuffers_s *buffers)
{
    panel_sum_args(run, matrix, weights, buffers);
    integer(run, buffers->free_count);
    mem(run, buffers->scores);
    mem(run, buffers->opg);
    mem(run, buffers->clusters);
    integer(run, buffers->cluster_count);
    mem(run, matrix->panel_quad_counts);
    mem(run, matrix->panel_quad_starts);
    mem(run, buffers->fe_cross_hessian);
}

void vrw_set_mle_fe_delta_kernel_args(VRWKernelRun_s *run, const VRWMleBuffers_s *buffers)
{
    args(run);
    mem(run, buffers->fe_jacobian);
    mem(run, buffers->fe_hessian);
    mem(run, buffers->fe_cross_hessian);
    mem(run, buffers->step);
    integer(run, buffers->free_count);
    mem(run, buffers->fe_delta);
}

void vrw_set_mle_fe_delta_jacobian_kernel_args(VRWKernelRun_s *run,
                                               const VRWMleBuffers_s *buffers)
{
    args(run);
    integer(run, buffers->cluster_count);
    mem(run, buffers->fe_cross_hessian);
    mem(run, buffers->fe_jacobian);
    mem(run, buffers->jacobian);
}

void vrw_set_mle_fe_delta_hessian_kernel_args(VRWKernelRun_s *run, const VRWMleBuffers_s *buffers)
{
    args(run);
    integer(run, buffers->cluster_count);
    mem(run, buffers->fe_cross_solved);
    mem(run, buffers->fe_cross_hessian);
    mem(run, buffers->hessian);
    integer(run, buffers->free_count);
}

void vrw_set_mle_fe_log_likelihood_kernel_args(VRWKernelRun_s *run,
                                               const VRWMatrixBuffer_s *matrix, int32_t dependent,
                                               const VRWMleBuffers_s *buffers)
{
    args(run);
    mem(run, matrix->data);
    integer(run, dependent);
    mem(run, buffers->columns);
    integer(run, buffers->variable_count);
    mem(run, buffers->estimates);
    mem(run, buffers->scores);
    mem(run, buffers->row_values);
    mem(run, buffers->fixed_effects);
    mem(run, matrix->quad_panels);
}

void vrw_set_mle_fe_mlogit_hessian_diagonal_kernel_args(VRWKernelRun_s *run,
                                                        const VRWMatrixBuffer_s *matrix,
                                                        const VRWVectorBuffer_s *weights,
                                                        const VRWMleBuffers_s *buffers)
{
    args(run);
    mem(run, buffers->weights);
    mem(run, weights->data);
    panel_walk_args(run, matrix, buffers);
    mem(run, buffers->fe_hessian);
    integer(run, buffers->choice_count);
    mem(run, buffers->equation_choices);
}

void vrw_set_mle_fe_mlogit_hessian_cross_kernel_args(VRWKernelRun_s *run,
                                                     const VRWMatrixBuffer_s *matrix,
                                                     const VRWVectorBuffer_s *weights,
                                                     const VRWMleBuffers_s *buffers)
{
    data_args(run, matrix, weights);
    mem(run, buffers->columns);
    integer(run, buffers->variable_count);
    integer(run, 4 * (int64_t)matrix->blocks);
    mem(run, buffers->free_columns);
    panel_walk_args(run, matrix, buffers);
    mem(run, buffers->weights);
    mem(run, buffers->fe_cross_hessian);
    mem(run, buffers->free_equations);
    integer(run, buffers->choice_count);
    mem(run, buffers->equation_choices);
}

void vrw_set_mle_fe_mlogit_hessian_multiply_cross_by_diagonal_kernel_args(
    VRWKernelRun_s *run, const VRWMleBuffers_s *buffers)
{
    args(run);
    integer(run, buffers->equation_count);
    mem(run, buffers->fe_cross_hessian);
    mem(run, buffers->fe_hessian);
    mem(run, buffers->fe_cross_solved);
}

void vrw_set_mle_fe_mlogit_delta_hessian_kernel_args(VRWKernelRun_s *run,
                                                     const VRWMleBuffers_s *buffers)
{
    args(run);
    integer(run, buffers->equation_count * buffers->cluster_count);
    mem(run, buffers->fe_cross_hessian);
    mem(run, buffers->fe_cross_solved);
    mem(run, buffers->hessian);
}

void vrw_set_mle_fe_mlogit_delta_jacobian_kernel_args(VRWKernelRun_s *run,
                                                      const VRWMleBuffers_s *buffers)
{
    args(run);
    integer(run, buffers->equation_count * buffers->cluster_count);
    mem(run, buffers->fe_cross_solved);
    mem(run, buffers->fe_jacobian);
    mem(run, buffers->jacobian);
}

void vrw_set_mle_fe_mlogit_delta_kernel_args(VRWKernelRun_s *run, const VRWMleBuffers_s *buffers)
{
    args(run);
    integer(run, buffers->equation_count);
    integer(run, buffers->free_count);
    integer(run, buffers->equation_count * buffers->cluster_count);
    mem(run, buffers->fe_jacobian);
    mem(run, buffers->fe_hessian);
    mem(run, buffers->fe_cross_solved);
    mem(run, buffers->step);
    mem(run, buffers->fe_delta);
}

void vrw_set_mle_fe_mlogit_robust_kernel_args(VRWKernelRun_s *run,
                                              const VRWMatrixBuffer_s *matrix,
                                              const VRWVectorBuffer_s *weights,
                                              const VRWMleBuffers_s *buffers)
{
    panel_sum_args(run, matrix, weights, buffers);
    mem(run, buffers->scores);
    mem(run, buffers->opg);
    mem(run, buffers->free_equations);
    integer(run, buffers->choice_count);
    mem(run, buffers->clusters);
    integer(run, buffers->cluster_count);
    mem(run, matrix->panel_quad_counts);
    mem(run, matrix->panel_quad_starts);
    mem(run, buffers->fe_cross_solved);
    mem(run, buffers->equation_choices);
}

void vrw_set_mle_fe_negative_binomial_hessian_cross_kernel_args(
    VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    const VRWMleBuffers_s *buffers, const VRWNegbin2Buffers_s *negbin2, int32_t nuisance)
{
    data_args(run, matrix, weights);
    integer(run, 4 * (int64_t)matrix->blocks);
    panel_walk_args(run, matrix, buffers);
    mem(run, buffers->fe_hessian);
    mem(run, negbin2->cross_weights);
    integer(run, nuisance);
    mem(run, buffers->fe_cross_solved);
    mem(run, buffers->fe_cross_hessian);
}

void vrw_set_mle_fe_ordered_choice_hessian_cross_kernel_args(
    VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    const VRWMleBuffers_s *buffers, const VRWOrderedChoiceBuffers_s *ordered, int32_t dependent,
    int32_t free_regressors)
{
    ordered_args(run, matrix, weights, dependent, ordered);
    integer(run, 4 * (int64_t)matrix->blocks);
    panel_walk_args(run, matrix, buffers);
    mem(run, buffers->fe_hessian);
    mem(run, ordered->cross_weights_upper);
    mem(run, ordered->cross_weights_lower);
    integer(run, free_regressors);
    mem(run, buffers->fe_cross_solved);
    mem(run, buffers->fe_cross_hessian);
}

void vrw_set_mle_fe_cox_censoring_kernel_args(VRWKernelRun_s *run,
                                              const VRWVectorBuffer_s *causes, cl_mem censoring,
                                              const VRWCoxBuffers_s *cox, double cause_value)
{
    args(run);
    vrw_set_kernel_arg_double(run, cause_value);
    mem(run, vector_buffer(causes));
    mem(run, censoring);
    mem(run, cox->cell_rank_rows);
    mem(run, cox->fe_events);
}

void vrw_set_mle_fe_cox_prefix_kernel_args(VRWKernelRun_s *run, const VRWMleBuffers_s *buffers,
                                           const VRWCoxBuffers_s *cox)
{
    args(run);
    mem(run, buffers->fitted);
    mem(run, cox->cell_rank_rows);
    mem(run, cox->fe_rank_prefix);
}

void vrw_set_mle_fe_cox_accumulate_prefix_kernel_args(VRWKernelRun_s *run,
                                                      const VRWCoxBuffers_s *cox)
{
    args(run);
    mem(run, cox->cell_rank_weights);
    mem(run, cox->cell_rank_times);
    mem(run, cox->fe_rank_prefix);
    mem(run, NULL);
    mem(run, cox->cell_rank_rows);
    mem(run, cox->cell_starts);
    mem(run, cox->cell_sizes);
    mem(run, cox->fe_accumulated_prefix);
}

void vrw_set_mle_fe_cox_work_kernel_args(VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix,
                                         const VRWMleBuffers_s *buffers,
                                         const VRWCoxBuffers_s *cox)
{
    cox_column_walk_args(run, matrix, buffers, cox->cell_rank_weights, cox->cell_rank_times,
                         cox->fe_rank_prefix);
    mem(run, cox->cell_rank_rows);
    mem(run, cox->cell_starts);
    mem(run, cox->cell_sizes);
    integer(run, cox->ranked_count);
    mem(run, cox->fe_work_1);
    mem(run, cox->fe_work_2);
}

/* rank_weights, rank_times, accumulated_prefix, group_starts, group_sizes,
** group_count: the start of the Cox kernels that combine the stratum
** groups with the fixed-effect cells. */
static void cox_group_args(VRWKernelRun_s *run, const VRWCoxBuffers_s *cox)
{
    args(run);
    mem(run, cox->rank_weights);
    mem(run, cox->rank_times);
    mem(run, cox->accumulated_prefix);
    mem(run, cox->group_starts);
    mem(run, cox->group_sizes);
    integer(run, cox->group_count);
}

void vrw_set_mle_fe_cox_jacobian_nuisance_kernel_args(VRWKernelRun_s *run,
                                                      const VRWMleBuffers_s *buffers,
                                                      const VRWCoxBuffers_s *cox)
{
    cox_group_args(run, cox);
    mem(run, cox->cell_rank_weights);
    mem(run, cox->cell_rank_times);
    mem(run, cox->fe_accumulated_prefix);
    mem(run, cox->cell_starts);
    mem(run, cox->cell_sizes);
    mem(run, cox->fe_events);
    integer(run, buffers->free_count);
    mem(run, buffers->jacobian);
}

/* The groups, then the cells' times, accumulated prefix, starts and sizes. */
static void cox_cell_args(VRWKernelRun_s *run, const VRWCoxBuffers_s *cox)
{
    cox_group_args(run, cox);
    mem(run, cox->cell_rank_times);
    mem(run, cox->fe_accumulated_prefix);
    mem(run, cox->cell_starts);
    mem(run, cox->cell_sizes);
}

void vrw_set_mle_fe_cox_hessian_cross_kernel_args(VRWKernelRun_s *run,
                                                  const VRWMleBuffers_s *buffers,
                                                  const VRWCoxBuffers_s *cox)
{
    cox_cell_args(run, cox);
    integer(run, cox->ranked_count);
    mem(run, cox->work_2);
    mem(run, cox->fe_work_2);
    mem(run, buffers->hessian);
}

void vrw_set_mle_fe_cox_hessian_nuisance_kernel_args(VRWKernelRun_s *run,
                                                     const VRWMleBuffers_s *buffers,
                                                     const VRWCoxBuffers_s *cox)
{
    cox_cell_args(run, cox);
    integer(run, buffers->free_count);
    mem(run, buffers->hessian);
}

/* The instrumental-variables (GMM) kernels: the instruments stand where the
** free coefficients' columns stand in the maximum-likelihood kernels. */
void vrw_set_gmm_prefix_kernel_args(VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix,
                                    const VRWGmmBuffers_s *buffers, int32_t dependent)
{
    args(run);
    mem(run, matrix->data);
    integer(run, dependent);
    mem(run, buffers->fitted);
    mem(run, buffers->scores);
    mem(run, buffers->weights);
}

/* data, frequency weights, instrument columns, blocks, instrument indices. */
static void instrument_args(VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix,
                            const VRWVectorBuffer_s *weights, const VRWGmmBuffers_s *buffers,
                            int64_t rows)
{
    data_args(run, matrix, weights);
    mem(run, buffers->instrument_columns);
    integer(run, rows);
    mem(run, buffers->instrument_indices);
}

void vrw_set_gmm_moment_kernel_args(VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix,
                                    const VRWVectorBuffer_s *weights,
                                    const VRWGmmBuffers_s *buffers)
{
    instrument_args(run, matrix, weights, buffers, matrix->blocks);
    mem(run, buffers->scores);
    mem(run, buffers->moments);
}

void vrw_set_gmm_hessian_kernel_args(VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix,
                                     const VRWVectorBuffer_s *weights,
                                     const VRWGmmBuffers_s *buffers)
{
    data_args(run, matrix, weights);
    mem(run, buffers->columns);
    integer(run, matrix->blocks);
    mem(run, buffers->coefficient_indices);
    mem(run, buffers->instrument_indices);
    mem(run, buffers->weights);
    mem(run, buffers->cross_products);
}

void vrw_set_gmm_covariance_kernel_args(VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix,
                                        const VRWVectorBuffer_s *weights,
                                        const VRWGmmBuffers_s *buffers, cl_mem output)
{
    instrument_args(run, matrix, weights, buffers, matrix->blocks);
    mem(run, output);
}

void vrw_set_gmm_robust_kernel_args(VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix,
                                    const VRWVectorBuffer_s *weights,
                                    const VRWGmmBuffers_s *buffers)
{
    instrument_args(run, matrix, weights, buffers, matrix->blocks);
    integer(run, buffers->instrument_count);
    mem(run, buffers->scores);
    mem(run, buffers->opg);
}

void vrw_set_gmm_cluster_pass1_kernel_args(VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix,
                                           const VRWVectorBuffer_s *weights,
                                           const VRWGmmBuffers_s *buffers, cl_mem output)
{
    instrument_args(run, matrix, weights, buffers, vrw_padded_rows(matrix->blocks));
    mem(run, matrix->panel_sizes);
    mem(run, matrix->panel_quad_starts);
    integer(run, matrix->panel_count);
    mem(run, buffers->scores);
    mem(run, output);
}

void vrw_set_gmm_cluster_pass2_kernel_args(VRWKernelRun_s *run, const VRWGmmBuffers_s *buffers,
                                           cl_mem input, int32_t cluster_count)
{
    args(run);
    mem(run, input);
    integer(run, cluster_count);
    mem(run, buffers->opg);
}

/* clusters, G, the panel layout and fe_cross_hessian: the end of the robust
** kernels that take the panel effects' part out of each row's scores. */
static void panel_means_args(VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix,
                             const VRWMleBuffers_s *buffers)
{
    mem(run, buffers->clusters);
    integer(run, buffers->cluster_count);
    mem(run, matrix->panel_quad_counts);
    mem(run, matrix->panel_quad_starts);
    mem(run, buffers->fe_cross_hessian);
}

void vrw_set_mle_fe_negative_binomial_robust_kernel_args(
    VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    const VRWMleBuffers_s *buffers, const VRWNegbin2Buffers_s *negbin2, int32_t nuisance)
{
    panel_sum_args(run, matrix, weights, buffers);
    mem(run, buffers->scores);
    mem(run, negbin2->nuisance_scores);
    mem(run, buffers->opg);
    integer(run, buffers->free_count);
    integer(run, nuisance);
    panel_means_args(run, matrix, buffers);
}

void vrw_set_mle_fe_ordered_choice_robust_kernel_args(
    VRWKernelRun_s *run, const VRWMatrixBuffer_s *matrix, const VRWVectorBuffer_s *weights,
    const VRWMleBuffers_s *buffers, const VRWOrderedChoiceBuffers_s *ordered, int32_t dependent,
    int32_t free_regressors)
{
    ordered_args(run, matrix, weights, dependent, ordered);
    mem(run, buffers->columns);
    integer(run, 4 * (int64_t)matrix->blocks);
    mem(run, buffers->free_columns);
    mem(run, buffers->scores);
    mem(run, ordered->nuisance_scores_upper);
    mem(run, ordered->nuisance_scores_lower);
    mem(run, buffers->opg);
    integer(run, buffers->free_count);
    integer(run, free_regressors);
    panel_means_args(run, matrix, buffers);
}
