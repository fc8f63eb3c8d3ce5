#include "charts/DSCoefficientMultipleEstimatePainter.h"

#include "charts/DSCoefficientEstimatePainter.h"
#include "charts/DSCoefficientJointSignificancePainter.h"
#include "charts/DSStyle.h"
#include "charts/ds_coefficient_drawing.h"
#include "charts/ds_picture_axes.h"
#include "model/util/ds_colors.h"
#include "platform/graphics/DSGraphicsContext.h"
#include "platform/sterna/sterna.h"
#include "regression/DSExplanatoryVariable.h"
#include "regression/DSOutcomeVariable.h"
#include "regression/DSRegression.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr ds_rgba_s k_white{1, 1, 1, 1};

ds_rgba_s hslColor(double hue, double saturation, double lightness)
{
    ds_rgba_s color;
    ds_hsl_to_rgb(&color, hue, saturation, lightness);
    return color;
}

double regressionDf(const DSOutcomeVariable *outcome)
{
    const DSRegression *regression = outcome->temp_regression();
    return regression ? double(regression->df()) : 0;
}

} // namespace

DSAffineTransform DSCoefficientMultipleEstimatePainter::drawMultipleDistributions(
    int64_t code, const Values &values, double df, int hypothesis, double startTickMark, double endTickMark,
    DSStyle *style, const DSRect &bounds, DSGraphicsContext *context)
{
    const double peak = DSCoefficientEstimatePainter::peakForDistribution(code, df);
    const double m = DSCoefficientEstimatePainter::rangeMargin(startTickMark, endTickMark);
    const double xmin = startTickMark - m, xrange = endTickMark + m - xmin, w = bounds.width();
    const DSAffineTransform transform{w / xrange, 0, 0, bounds.height() / peak, -xmin * w / xrange,
                                      bounds.minY() + 0.5};
    double minSE = std::numeric_limits<double>::infinity();
    for (const DSCoefficientCurveValue &value : values)
        minSE = std::min(minSE, value.std_error);
    // An axis of no width (no values) has no value scale to draw through.
    if (!(xrange > 0) || !std::isfinite(xrange))
        return ds_affine_scale(transform, 1, minSE);

    const DSRect box = ds_rect_make(xmin, 0, xrange, 2 * peak);
    context->saveGState();
    context->clipToRect(ds_rect_apply(box, transform));
    style->push();
    for (const DSCoefficientCurveValue &value : values) {
        if (!(value.std_error > 0))
            continue;
        style->setColor(hslColor(value.hue, kDSPlainSaturation, kDSPlainLightness), QStringLiteral("HypothesisFillColor"));
        style->setColor(hslColor(value.hue, kDSDarkSaturation, kDSDarkLightness),
                        QStringLiteral("HypothesisOuterFillColor"));
        context->saveGState();
        DSCoefficientEstimatePainter::drawDistribution(code, box, ds_affine_scale(transform, 1, minSE / value.std_error),
                                                       value.coefficient, value.std_error, df, hypothesis, style,
                                                       context);
        context->restoreGState();
    }
    style->pop();
    context->restoreGState();
    ds_draw_density_y_axis(code, endTickMark, peak, transform, style, context);
    return ds_affine_scale(transform, 1, minSE);
}

DSAffineTransform DSCoefficientMultipleEstimatePainter::drawMultipleDistributions(int64_t code, const Values &values,
                                                                                 double df, int hypothesis,
                                                                                 DSStyle *style, const DSRect &bounds,
                                                                                 DSGraphicsContext *context)
{
    double e = 0;
    for (const DSCoefficientCurveValue &value : values)
        e = std::max(e, ds_coefficient_axis_extent(value.coefficient, value.std_error));
    const double labels[3] = {-e, 0, e};
    DSCoefficientEstimatePainter::drawAxisLabels(labels, style, bounds, context);
    const DSAffineTransform transform =
        drawMultipleDistributions(code, values, df, hypothesis, -e, e, style, bounds.insetBy(0, 40), context);
    DSCoefficientEstimatePainter::drawXAxisWithBigMiddleTickMark(true, style, bounds, context);
    return transform;
}

DSAffineTransform DSCoefficientMultipleEstimatePainter::drawMultipleLogDistributions(int64_t code,
                                                                                    const Values &values, double df,
                                                                                    int hypothesis, DSStyle *style,
                                                                                    const DSRect &bounds,
                                                                                    DSGraphicsContext *context)
{
    double start = 1, end = 0;
    for (const DSCoefficientCurveValue &value : values) {
        start = std::min(start, ds_odds_ratio_axis_start(value.coefficient, value.std_error));
        end = std::max(end, ds_odds_ratio_axis_end(value.coefficient, value.std_error));
    }
    const double labels[3] = {start, 1, end};
    DSCoefficientEstimatePainter::drawAxisLabelsForOddsRatios(labels, style, bounds, context);
    const DSAffineTransform transform =
        drawMultipleDistributions(code, values, df, hypothesis, start, end, style, bounds.insetBy(0, 40), context);
    DSCoefficientEstimatePainter::drawXAxisWithBigMiddleTickMark(end == 2, style, bounds, context);
    return transform;
}

bool DSCoefficientMultipleEstimatePainter::wantsToDrawOutcome(DSOutcomeVariable *, DSExplanatoryVariable *variable,
                                                              const DSEstimateList &estimates)
{
    return estimates.size() != 1 && variable && variable->hasCategories();
}

QString DSCoefficientMultipleEstimatePainter::titleForOutcome(DSOutcomeVariable *outcome,
                                                              DSExplanatoryVariable *variable, const DSEstimateList &)
{
    return QStringLiteral("%1 estimated %2s").arg(variable->name(), outcome->coefficientFigureName());
}

std::shared_ptr<const DSCoefficientPictureLegend>
DSCoefficientMultipleEstimatePainter::legendForOutcome(DSOutcomeVariable *outcome, DSExplanatoryVariable *variable,
                                                       const DSEstimateList &, DSStyle *style)
{
    const double w = variable->waldStatisticForCoefficientSet(outcome->active_coefficient_set());
    const int64_t r = variable->temp_number_of_restrictions();
    const DSRegression *regression = outcome->temp_regression();
    const int64_t df = regression ? regression->df() : 0;
    style->push();
    style->setColor(k_white, QStringLiteral("HypothesisOuterFillColor"));
    std::shared_ptr<const DSCoefficientPictureLegend> legend;
    if (outcome->coefficientDistribution() & DSCoefficientDistributionNormal)
        legend = DSCoefficientJointSignificancePainter::legendForJointStatistic(
            w, QStringLiteral("χ²(%1)").arg(r), ds_p_value_chi_square(w, r), style);
    else
        legend = DSCoefficientJointSignificancePainter::legendForJointStatistic(
            w / double(r), QStringLiteral("F(%1, %2)").arg(r).arg(df), ds_p_value_f(w / double(r), r, df), style);
    style->pop();
    return legend;
}

void DSCoefficientMultipleEstimatePainter::drawOutcome(DSOutcomeVariable *outcome, DSExplanatoryVariable *variable,
                                                       const DSEstimateList &, DSStyle *style, const DSRect &bounds,
                                                       DSGraphicsContext *context)
{
    const qint64 set = outcome->active_coefficient_set();
    Values values;
    for (qint64 i = 0; i < variable->temp_number_of_restrictions(); ++i)
        if (const DSRegressionEstimate *estimate = variable->estimateAtIndex(i, 255))
            values.push_back({estimate->coefficientForCoefficientSet(set), estimate->standardErrorForCoefficientSet(set),
                              estimate->hue()});
    std::stable_sort(values.begin(), values.end(), [](const DSCoefficientCurveValue &a, const DSCoefficientCurveValue &b) {
        return a.std_error < b.std_error;
    });
    const int64_t code = outcome->coefficientDistribution();
    const int hypothesis = int(variable->null_hypothesis());
    temp_transform = outcome->displayOddsRatios()
        ? drawMultipleLogDistributions(code, values, regressionDf(outcome), hypothesis, style, bounds, context)
        : drawMultipleDistributions(code, values, regressionDf(outcome), hypothesis, style, bounds, context);
}

void DSCoefficientMultipleEstimatePainter::mouseDownAtPoint(DSPoint point, DSOutcomeVariable *outcome,
                                                            DSExplanatoryVariable *variable, const DSEstimateList &)
{
    if (!outcome || !variable)
        return;
    const DSPoint value = ds_click_in_values(point, temp_transform, outcome->displayOddsRatios());
    if (auto hit = ds_estimate_under_click(value, variable, outcome->active_coefficient_set(),
                                           outcome->coefficientDistribution(), regressionDf(outcome)))
        variable->setActive_estimate(std::move(hit));
}
