/* The kernels the library runs by a fixed name, in one table, and the naming
** patterns of the kernels it finds by model name; not exported. A kernel is
** looked up by its row, so a misspelt name fails to compile rather than to
** find its kernel. */
#ifndef VARROW_VRW_KERNEL_NAMES_H
#define VARROW_VRW_KERNEL_NAMES_H

#include "varrow/vrw_context.h"

#define VRW_KERNEL_TABLE(X) \
    X(VRWK_ACCUMULATE_COX_PROPORTIONAL_HAZARDS, "vrw_accumulate_cox_proportional_hazards") \
    X(VRWK_ACCUMULATE_COX_PROPORTIONAL_HAZARDS_PREFIX, "vrw_accumulate_cox_proportional_hazards_prefix") \
    X(VRWK_APPLY_CENSORING_COX_PROPORTIONAL_HAZARDS, "vrw_apply_censoring_cox_proportional_hazards") \
    X(VRWK_COLUMN_HAS_DATA, "vrw_column_has_data") \
    X(VRWK_COLUMN_VALUE_COUNT, "vrw_column_value_count") \
    X(VRWK_COMPUTE_CENTERED_SUM_OF_SQUARES, "vrw_compute_centered_sum_of_squares") \
    X(VRWK_COMPUTE_COVARIANCE, "vrw_compute_covariance") \
    X(VRWK_COMPUTE_COX_PROPORTIONAL_HAZARDS_SCORE_RESIDUALS, "vrw_compute_cox_proportional_hazards_score_residuals") \
    X(VRWK_COMPUTE_COX_PROPORTIONAL_HAZARDS_WORK, "vrw_compute_cox_proportional_hazards_work") \
    X(VRWK_COMPUTE_CROSS_HESSIAN_NEGBIN2, "vrw_compute_cross_hessian_negbin2") \
    X(VRWK_COMPUTE_CROSS_HESSIAN_ORDERED_CHOICE, "vrw_compute_cross_hessian_ordered_choice") \
    X(VRWK_COMPUTE_CROSS_OPG_ROBUST_NEGBIN2, "vrw_compute_cross_opg_robust_negbin2") \
    X(VRWK_COMPUTE_CROSS_OPG_ROBUST_ORDERED_CHOICE, "vrw_compute_cross_opg_robust_ordered_choice") \
    X(VRWK_COMPUTE_DIAGONAL_NUISANCE_HESSIAN_ORDERED_CHOICE, "vrw_compute_diagonal_nuisance_hessian_ordered_choice") \
    X(VRWK_COMPUTE_DIAGONAL_NUISANCE_OPG_ROBUST_ORDERED_CHOICE, "vrw_compute_diagonal_nuisance_opg_robust_ordered_choice") \
    X(VRWK_COMPUTE_FITTED, "vrw_compute_fitted") \
    X(VRWK_COMPUTE_FITTED_FE, "vrw_compute_fitted_fe") \
    X(VRWK_COMPUTE_FITTED_FE_COX_PROPORTIONAL_HAZARDS, "vrw_compute_fitted_fe_cox_proportional_hazards") \
    X(VRWK_COMPUTE_FIXED_EFFECTS, "vrw_compute_fixed_effects") \
    X(VRWK_COMPUTE_FIXED_EFFECTS_CROSS_HESSIAN_COX_PROPORTIONAL_HAZARDS, "vrw_compute_fixed_effects_cross_hessian_cox_proportional_hazards") \
    X(VRWK_COMPUTE_FIXED_EFFECTS_CROSS_HESSIAN_MULTINOMIAL_LOGIT, "vrw_compute_fixed_effects_cross_hessian_multinomial_logit") \
    X(VRWK_COMPUTE_FIXED_EFFECTS_CROSS_OPG_ROBUST_NEGBIN2, "vrw_compute_fixed_effects_cross_opg_robust_negbin2") \
    X(VRWK_COMPUTE_FIXED_EFFECTS_CROSS_OPG_ROBUST_ORDERED_CHOICE, "vrw_compute_fixed_effects_cross_opg_robust_ordered_choice") \
    X(VRWK_COMPUTE_FIXED_EFFECTS_DELTA, "vrw_compute_fixed_effects_delta") \
    X(VRWK_COMPUTE_FIXED_EFFECTS_DELTA_HESSIAN, "vrw_compute_fixed_effects_delta_hessian") \
    X(VRWK_COMPUTE_FIXED_EFFECTS_DELTA_HESSIAN_MULTINOMIAL_LOGIT, "vrw_compute_fixed_effects_delta_hessian_multinomial_logit") \
    X(VRWK_COMPUTE_FIXED_EFFECTS_DELTA_JACOBIAN, "vrw_compute_fixed_effects_delta_jacobian") \
    X(VRWK_COMPUTE_FIXED_EFFECTS_DELTA_JACOBIAN_MULTINOMIAL_LOGIT, "vrw_compute_fixed_effects_delta_jacobian_multinomial_logit") \
    X(VRWK_COMPUTE_FIXED_EFFECTS_DELTA_MULTINOMIAL_LOGIT, "vrw_compute_fixed_effects_delta_multinomial_logit") \
    X(VRWK_COMPUTE_FIXED_EFFECTS_DIAGONAL_HESSIAN_COX_PROPORTIONAL_HAZARDS, "vrw_compute_fixed_effects_diagonal_hessian_cox_proportional_hazards") \
    X(VRWK_COMPUTE_FIXED_EFFECTS_DIAGONAL_HESSIAN_MULTINOMIAL_LOGIT, "vrw_compute_fixed_effects_diagonal_hessian_multinomial_logit") \
    X(VRWK_COMPUTE_FIXED_EFFECTS_DIAGONAL_NUISANCE_OPG_ROBUST_ORDERED_CHOICE, "vrw_compute_fixed_effects_diagonal_nuisance_opg_robust_ordered_choice") \
    X(VRWK_COMPUTE_FIXED_EFFECTS_HESSIAN, "vrw_compute_fixed_effects_hessian") \
    X(VRWK_COMPUTE_FIXED_EFFECTS_JACOBIAN, "vrw_compute_fixed_effects_jacobian") \
    X(VRWK_COMPUTE_FIXED_EFFECTS_JACOBIAN_PREFIX_SUM_MULTINOMIAL_LOGIT, "vrw_compute_fixed_effects_jacobian_prefix_sum_multinomial_logit") \
    X(VRWK_COMPUTE_FIXED_EFFECTS_MEAN, "vrw_compute_fixed_effects_mean") \
    X(VRWK_COMPUTE_FIXED_EFFECTS_MULTIPLY_CROSS_BY_DIAGONAL_MULTINOMIAL_LOGIT, "vrw_compute_fixed_effects_multiply_cross_by_diagonal_multinomial_logit") \
    X(VRWK_COMPUTE_FIXED_EFFECTS_NUISANCE_CROSS_HESSIAN_NEGBIN2, "vrw_compute_fixed_effects_nuisance_cross_hessian_negbin2") \
    X(VRWK_COMPUTE_FIXED_EFFECTS_NUISANCE_CROSS_HESSIAN_ORDERED_CHOICE, "vrw_compute_fixed_effects_nuisance_cross_hessian_ordered_choice") \
    X(VRWK_COMPUTE_FIXED_EFFECTS_NUISANCE_JACOBIAN_COX_PROPORTIONAL_HAZARDS, "vrw_compute_fixed_effects_nuisance_jacobian_cox_proportional_hazards") \
    X(VRWK_COMPUTE_FIXED_EFFECTS_NUISANCE_OPG_ROBUST_NEGBIN2, "vrw_compute_fixed_effects_nuisance_opg_robust_negbin2") \
    X(VRWK_COMPUTE_FIXED_EFFECTS_OFFDIAGONAL_HESSIAN_COX_PROPORTIONAL_HAZARDS, "vrw_compute_fixed_effects_offdiagonal_hessian_cox_proportional_hazards") \
    X(VRWK_COMPUTE_FIXED_EFFECTS_OFFDIAGONAL_NUISANCE_OPG_ROBUST_ORDERED_CHOICE, "vrw_compute_fixed_effects_offdiagonal_nuisance_opg_robust_ordered_choice") \
    X(VRWK_COMPUTE_FIXED_EFFECTS_OPG_ROBUST, "vrw_compute_fixed_effects_opg_robust") \
    X(VRWK_COMPUTE_FIXED_EFFECTS_OPG_ROBUST_MULTINOMIAL_LOGIT, "vrw_compute_fixed_effects_opg_robust_multinomial_logit") \
    X(VRWK_COMPUTE_FIXED_EFFECTS_PREFIX_SUM, "vrw_compute_fixed_effects_prefix_sum") \
    X(VRWK_COMPUTE_FWEIGHT_SUM, "vrw_compute_fweight_sum") \
    X(VRWK_COMPUTE_HESSIAN, "vrw_compute_hessian") \
    X(VRWK_COMPUTE_HESSIAN_COX_PROPORTIONAL_HAZARDS, "vrw_compute_hessian_cox_proportional_hazards") \
    X(VRWK_COMPUTE_HESSIAN_GMM_PREFIX, "vrw_compute_hessian_gmm_prefix") \
    X(VRWK_COMPUTE_INTEGER_SUM, "vrw_compute_integer_sum") \
    X(VRWK_COMPUTE_JACOBIAN, "vrw_compute_jacobian") \
    X(VRWK_COMPUTE_JACOBIAN_COX_PRORTIONAL_HAZARDS, "vrw_compute_jacobian_cox_prortional_hazards") \
    X(VRWK_COMPUTE_LOG_CENTERED_SUM_OF_SQUARES, "vrw_compute_log_centered_sum_of_squares") \
    X(VRWK_COMPUTE_LOG_MEAN, "vrw_compute_log_mean") \
    X(VRWK_COMPUTE_LOG_SUM_OF_SQUARES, "vrw_compute_log_sum_of_squares") \
    X(VRWK_COMPUTE_MEAN, "vrw_compute_mean") \
    X(VRWK_COMPUTE_NUISANCE_HESSIAN_NEGBIN2, "vrw_compute_nuisance_hessian_negbin2") \
    X(VRWK_COMPUTE_NUISANCE_JACOBIAN_NEGBIN2, "vrw_compute_nuisance_jacobian_negbin2") \
    X(VRWK_COMPUTE_NUISANCE_JACOBIAN_ORDERED_CHOICE, "vrw_compute_nuisance_jacobian_ordered_choice") \
    X(VRWK_COMPUTE_NUISANCE_OPG_CLUSTER_PASS1_NEGBIN2, "vrw_compute_nuisance_opg_cluster_pass1_negbin2") \
    X(VRWK_COMPUTE_NUISANCE_OPG_CLUSTER_PASS1_ORDERED_CHOICE, "vrw_compute_nuisance_opg_cluster_pass1_ordered_choice") \
    X(VRWK_COMPUTE_NUISANCE_OPG_ROBUST_NEGBIN2, "vrw_compute_nuisance_opg_robust_negbin2") \
    X(VRWK_COMPUTE_OFFDIAGONAL_NUISANCE_HESSIAN_ORDERED_CHOICE, "vrw_compute_offdiagonal_nuisance_hessian_ordered_choice") \
    X(VRWK_COMPUTE_OFFDIAGONAL_NUISANCE_OPG_ROBUST_ORDERED_CHOICE, "vrw_compute_offdiagonal_nuisance_opg_robust_ordered_choice") \
    X(VRWK_COMPUTE_OPG_CLUSTER_PASS1, "vrw_compute_opg_cluster_pass1") \
    X(VRWK_COMPUTE_OPG_CLUSTER_PASS1_COX_PROPORTIONAL_HAZARDS, "vrw_compute_opg_cluster_pass1_cox_proportional_hazards") \
    X(VRWK_COMPUTE_OPG_CLUSTER_PASS1_GMM, "vrw_compute_opg_cluster_pass1_gmm") \
    X(VRWK_COMPUTE_OPG_CLUSTER_PASS2, "vrw_compute_opg_cluster_pass2") \
    X(VRWK_COMPUTE_OPG_ROBUST, "vrw_compute_opg_robust") \
    X(VRWK_COMPUTE_OPG_ROBUST_COX_PROPORTIONAL_HAZARDS, "vrw_compute_opg_robust_cox_proportional_hazards") \
    X(VRWK_COMPUTE_PANEL_MEANS, "vrw_compute_panel_means") \
    X(VRWK_COMPUTE_PANEL_REAL_SIZES, "vrw_compute_panel_real_sizes") \
    X(VRWK_COMPUTE_PANEL_WEIGHTED_CENTERED_SUM_OF_SQUARES, "vrw_compute_panel_weighted_centered_sum_of_squares") \
    X(VRWK_COMPUTE_PANEL_WEIGHTED_LOG_CENTERED_SUM_OF_SQUARES, "vrw_compute_panel_weighted_log_centered_sum_of_squares") \
    X(VRWK_COMPUTE_PANEL_WEIGHTED_LOG_MEAN, "vrw_compute_panel_weighted_log_mean") \
    X(VRWK_COMPUTE_PANEL_WEIGHTED_LOG_SUM_OF_SQUARES, "vrw_compute_panel_weighted_log_sum_of_squares") \
    X(VRWK_COMPUTE_PANEL_WEIGHTED_MEAN, "vrw_compute_panel_weighted_mean") \
    X(VRWK_COMPUTE_PANEL_WEIGHTED_SCORE_SUM_OF_SQUARES, "vrw_compute_panel_weighted_score_sum_of_squares") \
    X(VRWK_COMPUTE_PANEL_WEIGHTED_SUM_OF_SQUARES, "vrw_compute_panel_weighted_sum_of_squares") \
    X(VRWK_COMPUTE_SUM, "vrw_compute_sum") \
    X(VRWK_COMPUTE_SUM_OF_SQUARES, "vrw_compute_sum_of_squares") \
    X(VRWK_COMPUTE_WEIGHTED_CENTERED_SUM_OF_SQUARES, "vrw_compute_weighted_centered_sum_of_squares") \
    X(VRWK_COMPUTE_WEIGHTED_LOG_CENTERED_SUM_OF_SQUARES, "vrw_compute_weighted_log_centered_sum_of_squares") \
    X(VRWK_COMPUTE_WEIGHTED_LOG_MEAN, "vrw_compute_weighted_log_mean") \
    X(VRWK_COMPUTE_WEIGHTED_LOG_SUM_OF_SQUARES, "vrw_compute_weighted_log_sum_of_squares") \
    X(VRWK_COMPUTE_WEIGHTED_MEAN, "vrw_compute_weighted_mean") \
    X(VRWK_COMPUTE_WEIGHTED_SCORE_SUM_OF_SQUARES, "vrw_compute_weighted_score_sum_of_squares") \
    X(VRWK_COMPUTE_WEIGHTED_SUM_OF_SQUARES, "vrw_compute_weighted_sum_of_squares") \
    X(VRWK_INFORMATION_NEGBIN2, "vrw_information_negbin2") \
    X(VRWK_SUM_LOG_LIKELIHOOD_ORDERED_CHOICE, "vrw_sum_log_likelihood_ordered_choice") \
    X(VRWK_SUM_LOG_LIKELIHOOD_PER_CHOICE, "vrw_sum_log_likelihood_per_choice")

typedef enum {
#define VRW_KERNEL_ROW(id, name) id,
    VRW_KERNEL_TABLE(VRW_KERNEL_ROW)
#undef VRW_KERNEL_ROW
    VRWK_COUNT
} VRWKernelName;

/* The kernel's name as its program declares it. */
const char *vrw_kernel_name(VRWKernelName kernel);

/* The first kernel of the context's table of that name, or NULL when it is
** not loaded. The kernel belongs to the context. */
cl_kernel vrw_kernel(const VRWContext_s *context, VRWKernelName kernel);

/* Patterns of the kernels of a model, "%s" its name ("logit", "count", ...). */
#define VRW_KERNEL_PATTERN_PREFIX "vrw_prefix_%s"
#define VRW_KERNEL_PATTERN_PREFIX_FE "vrw_prefix_%s_fe"
#define VRW_KERNEL_PATTERN_PREDICT "vrw_predict_%s"
#define VRW_KERNEL_PATTERN_PREDICT_FE "vrw_predict_%s_fe"
#define VRW_KERNEL_PATTERN_LOG_LIKELIHOOD "vrw_log_likelihood_%s"
#define VRW_KERNEL_PATTERN_LOG_LIKELIHOOD_FE "vrw_log_likelihood_%s_fe"
#define VRW_KERNEL_PATTERN_RESIDUALS "vrw_residuals_%s"
#define VRW_KERNEL_PATTERN_INFORMATION "vrw_information_%s"
/* The multinomial logit's own kernel of a shared one, "%s" the shared name. */
#define VRW_KERNEL_PATTERN_MULTINOMIAL_LOGIT "%s_multinomial_logit"

#endif
