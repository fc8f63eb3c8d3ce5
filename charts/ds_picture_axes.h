#pragma once

#include "platform/graphics/ds_geometry.h"

class DSGraphicsContext;
class DSLineStyle;

// Axis ends shared by the coefficient and prediction pictures.

// The nice step of a value whose decimal logarithm is x: the smallest of
// 2·10^p, 5·10^p and 10^(p+1) (p = floor(x)) that is not below 10^x, an
// exact power of ten 10^p giving 2·10^p.
double ds_nice_step_from_log10(double x);

// Half the extent of a coefficient axis (it runs from minus this to plus
// it): the nice step of |c| + 2s for coefficient c and standard error s.
double ds_coefficient_axis_extent(double coefficient, double standardError);

// The ends of an odds-ratio axis for the coefficient c (a log odds ratio)
// and its standard error s. When exp(c ± 2s) both lie strictly between 0.9
// and 1.1 the axis is 1 ∓ the nice step of the larger distance from 1;
// otherwise it runs from 0 to 2, or to the nice step of exp(c + 2s) when
// that is 2 or more.
double ds_odds_ratio_axis_start(double coefficient, double standardError);
double ds_odds_ratio_axis_end(double coefficient, double standardError);

// Strokes the one segment from `from` to `to`, both mapped through
// `transform`, with the line style. Leaves the context configured with the
// style (callers that want their stroke state back save and restore it).
void ds_stroke_transformed_segment(DSPoint from, DSPoint to, const DSLineStyle &style, DSGraphicsContext *context,
                                   const DSAffineTransform &transform);
