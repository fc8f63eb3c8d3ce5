/* Multinomial logit: placeholder until its fit comes. */
#include "varrow/vrw_internal.h"

VRWStatus vrw_fit_multinomial_logit(VRWRegression_s *r, VRWIterationLogWord *log)
{
    (void)r;
    (void)log;
    return VRW_KERNEL_NOT_LOADED;
}
