// Kernels of the instrumental-variables (GMM) fit.
#pragma OPENCL EXTENSION cl_khr_fp64 : enable

// The fixed effect of panel p (one work item a panel) of a matrix loaded
// demeaned: the panel's mean of the dependent column less the panel's means
// of the regressors times their estimates. Means are stored column after
// column, panel_count of them each.
kernel void vrw_compute_fixed_effects(global const double *panel_means, int column,
                                      global const int *columns, int column_count,
                                      global const double *estimates, global double *results)
{
    int p = get_global_id(0);
    size_t panels = get_global_size(0);
    double effect = panel_means[(size_t)column * panels + p];
    for (int j = 0; j < column_count; j++)
        effect -= panel_means[(size_t)columns[j] * panels + p] * estimates[j];
    results[p] = effect;
}
