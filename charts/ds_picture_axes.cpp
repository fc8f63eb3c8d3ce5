#include "charts/ds_picture_axes.h"

#include "charts/DSLineStyle.h"
#include "platform/graphics/DSGraphicsContext.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double k_log10_2 = 0.3010299956639812;
constexpr double k_log10_5 = 0.6989700043360189;

// exp(c - 2s) and exp(c + 2s) both strictly between 0.9 and 1.1: the axis
// is centred on 1 and only as wide as the interval needs.
bool isNarrowAroundOne(double lo, double hi)
{
    return lo > 0.9 && lo < 1.1 && hi > 0.9 && hi < 1.1;
}

double narrowHalfWidth(double lo, double hi)
{
    return ds_nice_step_from_log10(std::log10(std::max(std::fabs(lo - 1), std::fabs(hi - 1))));
}

} // namespace

double ds_nice_step_from_log10(double x)
{
    const double p = std::floor(x);
    const double f = x - p;
    if (f > k_log10_5)
        return std::pow(10.0, p + 1);
    if (f > k_log10_2)
        return 5 * std::pow(10.0, p);
    return 2 * std::pow(10.0, p);
}

double ds_coefficient_axis_extent(double coefficient, double standardError)
{
    return ds_nice_step_from_log10(std::log10(std::fabs(coefficient) + 2 * standardError));
}

double ds_odds_ratio_axis_start(double coefficient, double standardError)
{
    const double lo = std::exp(coefficient - 2 * standardError), hi = std::exp(coefficient + 2 * standardError);
    return isNarrowAroundOne(lo, hi) ? 1 - narrowHalfWidth(lo, hi) : 0;
}

double ds_odds_ratio_axis_end(double coefficient, double standardError)
{
    const double lo = std::exp(coefficient - 2 * standardError), hi = std::exp(coefficient + 2 * standardError);
    if (isNarrowAroundOne(lo, hi))
        return 1 + narrowHalfWidth(lo, hi);
    return hi < 2 ? 2 : ds_nice_step_from_log10(std::log10(hi));
}

void ds_stroke_transformed_segment(DSPoint from, DSPoint to, const DSLineStyle &style, DSGraphicsContext *context,
                                   const DSAffineTransform &transform)
{
    style.configureContext(context);
    const DSPoint a = ds_point_apply(from, transform), b = ds_point_apply(to, transform);
    context->strokeLineSegments({a, b});
}
