#include "model/util/ds_corr.h"

#include "platform/sterna/sterna.h"

#include <cmath>

void ds_corr_finish(ds_corr_s *c, double r)
{
    c->correlation = r;
    c->z_score = c->p_value = c->r_squared = NAN;
    if (std::isnan(r))
        return;
    c->z_score = ds_correlation_z_score(r, 0, c->count);
    c->p_value = ds_p_value_normal(c->z_score, 0);
    c->r_squared = r * r;
}
