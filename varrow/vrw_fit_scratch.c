/* The scratch record the Newton fits share. */
#include "varrow/vrw_fit_internal.h"

#include <stdlib.h>
#include <string.h>

void vrw_release_fit_scratch(VRWFitScratch_s *scratch)
{
    free(scratch->constraints);
    free(scratch->guesses);
    free(scratch->estimates);
    free(scratch->sets);
    free(scratch->own_fixed_effects);
    vrw_free_mle_buffers(scratch->buffers);
    /* Only a fit with fixed effects has pre-prefix callbacks, so the freer
    ** of those iterations serves every fit. */
    vrw_iteration_ctx_fe_free(scratch->iteration);
    free(scratch->log_likelihood);
    vrw_inference_ctx_free(scratch->inference);
    free(scratch->variance);
    memset(scratch, 0, sizeof *scratch);
}
