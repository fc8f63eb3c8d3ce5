#include "charts/DSCoefficientEstimatePainter.h"

#include "charts/DSStyle.h"
#include "charts/ds_coefficient_drawing.h"
#include "charts/ds_picture_axes.h"
#include "model/util/ds_text_drawing.h"
#include "platform/format/DSPlatformNumberFormatter.h"
#include "platform/graphics/DSGraphicsContext.h"
#include "platform/sterna/sterna.h"
#include "regression/DSExplanatoryVariable.h"
#include "regression/DSOutcomeVariable.h"
#include "regression/DSRegression.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr double k_infinity = std::numeric_limits<double>::infinity();
// Height of the horizontal axis above the bottom of a picture.
constexpr double k_axis_height = 40.5;

bool isOddsRatioCode(int64_t code)
{
    return (code & DSCoefficientDistributionOddsRatios) != 0;
}

// The curve heights of a code at z = 0.1 i - 9.95, i < 200: the points of
// every curve, in coefficient units or against exp(β).
template <class Height>
void addCurve(DSGraphicsContext *context, double coefficient, double standardError, bool oddsRatios,
              Height height)
{
    if (oddsRatios)
        context->moveToPoint(0, 0);
    else
        context->moveToPoint(coefficient - 10 * standardError, 0);
    for (int i = 0; i < 200; ++i) {
        const double z = 0.1 * i - 9.95;
        const double x = coefficient + z * standardError;
        context->addLineToPoint(oddsRatios ? std::exp(x) : x, height(z));
    }
    context->closePath();
}

double tHeight(double z, double df, double beta)
{
    return 1 / (std::sqrt(df) * beta) * std::pow(1 + z * z / df, -(df + 1) / 2);
}

double normalHeight(double z)
{
    return DSCoefficientEstimatePainter::k_normal_peak * std::exp(-z * z / 2);
}

// The axis ends of one estimate: -e and e, or the odds-ratio ends.
void axisEnds(bool oddsRatios, double coefficient, double standardError, double *start, double *end)
{
    if (oddsRatios) {
        *start = ds_odds_ratio_axis_start(coefficient, standardError);
        *end = ds_odds_ratio_axis_end(coefficient, standardError);
    } else {
        *end = ds_coefficient_axis_extent(coefficient, standardError);
        *start = -*end;
    }
}

QString formatted(double value, DSStyle *style, const char *key)
{
    const DSPlatformNumberFormatter *formatter =
        style ? style->numberFormatterForKey(QString::fromLatin1(key)) : nullptr;
    return formatter ? formatter->stringFromNumber(value) : QString::number(value);
}

// The t peak for any code: the coefficient line's height. Without degrees
// of freedom (a normal fit may have none) the t peak is 0 or infinite, and
// the normal peak stands in.
double coefficientLineHeight(double df)
{
    const double peak = DSCoefficientEstimatePainter::tPeak(df);
    return std::isfinite(peak) && peak > 0 ? peak : DSCoefficientEstimatePainter::k_normal_peak;
}

// The clip of the region beyond the null value on an axis starting at
// `low`: above the null (over `width`) for code 1, below it for code -1,
// and otherwise the two tails lying farther from the estimate than the null,
// `mirror` being the null reflected in the estimate.
void clipBeyondNull(int hypothesis, double low, double null, double mirror, double width, DSGraphicsContext *context)
{
    context->beginPath();
    if (hypothesis == 1) {
        context->addRect(ds_rect_make(null, 0, width, 1));
    } else if (hypothesis == -1) {
        context->addRect(ds_rect_make(low, 0, null - low, 1));
    } else {
        context->addRect(ds_rect_make(low, 0, std::min(mirror, null) - low, 1));
        context->addRect(ds_rect_make(std::max(mirror, null), 0, width, 1));
    }
    context->clip();
}

struct Curve
{
    double coefficient;
    double standardError;
    const DSRegressionEstimate *estimate;
};

} // namespace

double DSCoefficientEstimatePainter::tPeak(double df)
{
    return 1 / (std::sqrt(df) * ds_beta(0.5, df / 2));
}

double DSCoefficientEstimatePainter::peakForDistribution(int64_t code, double df)
{
    if (code & DSCoefficientDistributionT)
        return tPeak(df);
    if (code & DSCoefficientDistributionNormal)
        return k_normal_peak;
    return 0;
}

double DSCoefficientEstimatePainter::standardDensity(int64_t code, double df, double z)
{
    if (code & DSCoefficientDistributionT)
        return tHeight(z, df, ds_beta(0.5, df / 2));
    if (code & DSCoefficientDistributionNormal)
        return normalHeight(z);
    return 0;
}

double DSCoefficientEstimatePainter::rangeMargin(double start, double end)
{
    return (end - start) * 0.5 * 0.19999999999999996;
}

QString DSCoefficientEstimatePainter::stringForCoefficient(double value, DSStyle *style)
{
    return QStringLiteral("= ") + formatted(value, style, "ModelCoefficientFormatter");
}

QString DSCoefficientEstimatePainter::stringForStandardError(double value, DSStyle *style)
{
    return QStringLiteral("= ") + formatted(value, style, "ModelStandardErrorFormatter");
}

DSSize DSCoefficientEstimatePainter::layoutLeftLegendForCoefficient()
{
    return {37, 60};
}

DSSize DSCoefficientEstimatePainter::layoutRightLegendForCoefficient(double coefficient, double standardError,
                                                                     double p, DSStyle *style)
{
    return {ds_legend_column_width({stringForPValue(p, style), stringForCoefficient(coefficient, style),
                                    stringForStandardError(standardError, style)},
                                   style),
            60};
}

std::shared_ptr<const DSCoefficientPictureLegend>
DSCoefficientEstimatePainter::legendForCoefficient(double coefficient, const QString &name, double standardError,
                                                   double p, DSStyle *style)
{
    auto legend = std::make_shared<DSCoefficientPictureLegend>();
    DSCoefficientPictureLegendEntry pRow{QStringLiteral("p "), stringForPValue(p, style), nullptr, std::nullopt};
    pRow.setBoxColor(style->colorForKey(QStringLiteral("HypothesisOuterFillColor")));
    legend->addEntry(pRow);
    DSCoefficientPictureLegendEntry coefficientRow{name + QLatin1Char(' '), stringForCoefficient(coefficient, style),
                                                   nullptr, std::nullopt};
    if (name.length() == 1)
        coefficientRow.line_style = style->lineStyleForKey(QStringLiteral("HypothesisLegendCoefficientLine"));
    legend->addEntry(coefficientRow);
    legend->addEntry({QStringLiteral("SE "), stringForStandardError(standardError, style),
                      style->lineStyleForKey(QStringLiteral("HypothesisStandardErrorLine")), std::nullopt});
    legend->setLeft_size(layoutLeftLegendForCoefficient());
    legend->setRight_size(layoutRightLegendForCoefficient(coefficient, standardError, p, style));
    return legend;
}

double DSCoefficientEstimatePainter::drawXAxisWithBigMiddleTickMark(bool big, DSStyle *style, const DSRect &bounds,
                                                                    DSGraphicsContext *context)
{
    const double x = bounds.minX(), w = bounds.width();
    const auto line = style->lineStyleForKey(QStringLiteral("HypothesisAxisLine"));
    if (!line)
        return w / 2;
    const double major = style->doubleValueForKey(QStringLiteral("HypothesisAxisMajorTickHeight"));
    const double minor = style->doubleValueForKey(QStringLiteral("HypothesisAxisMinorTickHeight"));
    std::vector<DSPoint> segments{{x, bounds.minY() + k_axis_height}, {x + w, bounds.minY() + k_axis_height}};
    auto tick = [&](double at, double half) {
        segments.push_back({at, k_axis_height + half});
        segments.push_back({at, k_axis_height - half});
    };
    for (int k = 1; k <= 11; ++k) {
        const double half = k == 10 ? major : minor;
        tick(w / 2 + k * w / 24, half);
        tick(w / 2 - k * w / 24, half);
    }
    tick(w / 2, big ? major : minor);
    context->saveGState();
    line->configureContext(context);
    context->strokeLineSegments(segments);
    context->restoreGState();
    return w / 2;
}

void DSCoefficientEstimatePainter::drawAxisLabels(const double values[3], DSStyle *style, const DSRect &bounds,
                                                  DSGraphicsContext *context)
{
    const double w = bounds.width();
    const double at[3] = {w / 12, w / 2, 11 * w / 12};
    for (int i = 0; i < 3; ++i)
        ds_draw_axis_label(formatted(values[i], style, "ModelCoefficientFormatter"), at[i], style, context);
}

void DSCoefficientEstimatePainter::drawAxisLabelsForOddsRatios(const double values[3], DSStyle *style,
                                                               const DSRect &bounds, DSGraphicsContext *context)
{
    const double w = bounds.width(), start = values[0], end = values[2];
    ds_draw_axis_label(formatted(start, style, "ModelOddsRatioFormatter"), w / 12, style, context);
    if (end <= 20)
        ds_draw_axis_label(formatted(values[1], style, "ModelOddsRatioFormatter"),
                           w / 12 + (1 - start) / (end - start) * 10 * w / 12, style, context);
    ds_draw_axis_label(formatted(end, style, "ModelOddsRatioFormatter"), 11 * w / 12, style, context);
}

void DSCoefficientEstimatePainter::drawAxesAndDistribution(int64_t code, double coefficient, double standardError,
                                                           double df, int hypothesis, double scale,
                                                           double endTickMark, DSStyle *style, const DSRect &bounds,
                                                           DSGraphicsContext *context)
{
    const double labels[3] = {-endTickMark, 0, endTickMark};
    drawAxisLabels(labels, style, bounds, context);
    drawDistribution(code, coefficient, standardError, df, hypothesis, scale, -endTickMark, endTickMark, style,
                     bounds.insetBy(0, 40), false, context);
    drawXAxisWithBigMiddleTickMark(true, style, bounds, context);
}

void DSCoefficientEstimatePainter::drawAxesAndLogDistribution(int64_t code, double coefficient,
                                                              double standardError, double df, int hypothesis,
                                                              double scale, double startTickMark,
                                                              double endTickMark, DSStyle *style,
                                                              const DSRect &bounds, DSGraphicsContext *context)
{
    const double labels[3] = {startTickMark, 1, endTickMark};
    drawAxisLabelsForOddsRatios(labels, style, bounds, context);
    drawDistribution(code, coefficient, standardError, df, hypothesis, scale, startTickMark, endTickMark, style,
                     bounds.insetBy(0, 40), false, context);
    drawXAxisWithBigMiddleTickMark(endTickMark == 2, style, bounds, context);
}

void DSCoefficientEstimatePainter::drawDistribution(int64_t code, double coefficient, double standardError,
                                                    double df, int hypothesis, double scale, double startTickMark,
                                                    double endTickMark, DSStyle *style, const DSRect &bounds,
                                                    bool yAxis, DSGraphicsContext *context)
{
    const double peak = peakForDistribution(code, df);
    const double m = rangeMargin(startTickMark, endTickMark);
    const double xmin = startTickMark - m, xrange = endTickMark + m - xmin;
    const double a = bounds.width() / xrange;
    const DSAffineTransform transform{a, 0, 0, bounds.height() * scale / peak, -xmin * a, bounds.minY() + 0.5};
    const DSRect box = ds_rect_make(xmin, 0, xrange, peak / scale);
    context->saveGState();
    drawDistribution(code, box, transform, coefficient, standardError, df, hypothesis, style, context);
    context->restoreGState();
    if (style->lineStyleForKey(QStringLiteral("HypothesisStandardErrorLine"))) {
        context->saveGState();
        drawStandardErrorsForDistribution(code, box, transform, coefficient, standardError, df, hypothesis, style,
                                          context);
        context->restoreGState();
    }
    if (yAxis)
        ds_draw_density_y_axis(code, endTickMark, peak, transform, style, context);
}

void DSCoefficientEstimatePainter::drawDistribution(int64_t code, const DSRect &box,
                                                    const DSAffineTransform &transform, double coefficient,
                                                    double standardError, double df, int hypothesis, DSStyle *style,
                                                    DSGraphicsContext *context)
{
    if (!std::isfinite(coefficient) || !std::isfinite(standardError))
        return;
    const double beta = ds_beta(0.5, df / 2);
    const bool oddsRatios = isOddsRatioCode(code);
    auto fillCurve = [&](const char *colorKey) {
        if (const auto color = style->colorForKey(QString::fromLatin1(colorKey)))
            context->setFillColor(*color);
        addDistributionCurve(code, context, coefficient, standardError, df, beta);
        if (!context->isPathEmpty())
            context->fillPath();
    };

    context->saveGState();
    context->concatCTM(transform);
    context->setShadow({-2, -3}, 6);
    context->clipToRect(ds_rect_make(box.minX(), 0, box.width(), box.maxY()));
    fillCurve("HypothesisFillColor");
    context->restoreGState();

    context->saveGState();
    context->concatCTM(transform);
    if (oddsRatios)
        clipToOddsRatioHypothesis(hypothesis, box.maxX(), coefficient, context);
    else
        clipToHypothesis(hypothesis, box.maxX(), coefficient, context);
    fillCurve("HypothesisOuterFillColor");
    context->restoreGState();

    if (const auto line = style->lineStyleForKey(QStringLiteral("HypothesisCoefficientLine"))) {
        const double at = oddsRatios ? std::exp(coefficient) : coefficient;
        context->saveGState();
        ds_stroke_transformed_segment({at, 0}, {at, coefficientLineHeight(df)}, *line, context, transform);
        context->restoreGState();
    }
}

void DSCoefficientEstimatePainter::drawStandardErrorsForDistribution(int64_t code, const DSRect &box,
                                                                     const DSAffineTransform &transform,
                                                                     double coefficient, double standardError,
                                                                     double df, int, DSStyle *style,
                                                                     DSGraphicsContext *context)
{
    const auto line = style->lineStyleForKey(QStringLiteral("HypothesisStandardErrorLine"));
    if (!line || !std::isfinite(coefficient) || !std::isfinite(standardError))
        return;
    const bool oddsRatios = isOddsRatioCode(code);
    const double centre = oddsRatios ? std::exp(coefficient) : coefficient;
    const double step = oddsRatios ? standardError * std::exp(coefficient) : standardError;
    context->saveGState();
    context->saveGState();
    context->concatCTM(transform);
    addDistributionCurve(code, context, coefficient, standardError, df, ds_beta(0.5, df / 2));
    context->restoreGState();
    if (context->isPathEmpty()) {
        context->restoreGState();
        return;
    }
    context->clip();
    std::vector<DSPoint> segments;
    for (int i = 1; i <= 10; ++i)
        for (const double x : {centre + i * step, centre - i * step}) {
            segments.push_back(ds_point_apply({x, 0}, transform));
            segments.push_back(ds_point_apply({x, box.maxY()}, transform));
        }
    line->configureContext(context);
    context->strokeLineSegments(segments);
    context->restoreGState();
}

void DSCoefficientEstimatePainter::addDistributionCurve(int64_t code, DSGraphicsContext *context,
                                                        double coefficient, double standardError, double df,
                                                        double beta)
{
    switch (code) {
    case DSCoefficientDistributionT:
        addTDistributionCurveToContext(context, coefficient, standardError, df, beta);
        break;
    case DSCoefficientDistributionNormal:
        addNormalDistributionCurveToContext(context, coefficient, standardError);
        break;
    case DSCoefficientDistributionT | DSCoefficientDistributionOddsRatios:
        addLogTDistributionCurveToContext(context, coefficient, standardError, df, beta);
        break;
    case DSCoefficientDistributionNormal | DSCoefficientDistributionOddsRatios:
        addLogNormalDistributionCurveToContext(context, coefficient, standardError);
        break;
    default:
        break;
    }
}

void DSCoefficientEstimatePainter::addTDistributionCurveToContext(DSGraphicsContext *context, double coefficient,
                                                                  double standardError, double df, double beta)
{
    addCurve(context, coefficient, standardError, false, [&](double z) { return tHeight(z, df, beta); });
}

void DSCoefficientEstimatePainter::addNormalDistributionCurveToContext(DSGraphicsContext *context,
                                                                       double coefficient, double standardError)
{
    addCurve(context, coefficient, standardError, false, normalHeight);
}

void DSCoefficientEstimatePainter::addLogTDistributionCurveToContext(DSGraphicsContext *context, double coefficient,
                                                                     double standardError, double df, double beta)
{
    addCurve(context, coefficient, standardError, true, [&](double z) { return tHeight(z, df, beta); });
}

void DSCoefficientEstimatePainter::addLogNormalDistributionCurveToContext(DSGraphicsContext *context,
                                                                          double coefficient, double standardError)
{
    addCurve(context, coefficient, standardError, true, normalHeight);
}

void DSCoefficientEstimatePainter::clipToHypothesis(int hypothesis, double max, double coefficient,
                                                    DSGraphicsContext *context)
{
    clipBeyondNull(hypothesis, -max, 0, 2 * coefficient, max, context);
}

void DSCoefficientEstimatePainter::clipToOddsRatioHypothesis(int hypothesis, double max, double coefficient,
                                                             DSGraphicsContext *context)
{
    clipBeyondNull(hypothesis, 0, 1, std::exp(2 * coefficient), max - 1, context);
}

bool DSCoefficientEstimatePainter::wantsToDrawOutcome(DSOutcomeVariable *, DSExplanatoryVariable *variable,
                                                      const DSEstimateList &estimates)
{
    if (estimates.size() != 1)
        return false;
    const DSRegressionEstimate *estimate = estimates.first();
    return (estimate->is_constant && !estimate->is_omitted()) || (variable && variable->is_included());
}

QString DSCoefficientEstimatePainter::titleForOutcome(DSOutcomeVariable *outcome, DSExplanatoryVariable *,
                                                      const DSEstimateList &estimates)
{
    const DSRegressionEstimate *estimate = estimates.value(0);
    if (!estimate || estimate->is_omitted())
        return {};
    if (estimate->is_constant)
        return QStringLiteral("Estimated constant (intercept term)");
    return QStringLiteral("%1 estimated %2").arg(estimate->name(), outcome->coefficientFigureName());
}

std::shared_ptr<const DSCoefficientPictureLegend>
DSCoefficientEstimatePainter::legendForOutcome(DSOutcomeVariable *outcome, DSExplanatoryVariable *variable,
                                               const DSEstimateList &estimates, DSStyle *style)
{
    const DSRegressionEstimate *estimate = estimates.value(0);
    if (!estimate || estimate->is_omitted())
        return nullptr;
    const qint64 set = outcome->active_coefficient_set();
    const double c = estimate->coefficientForCoefficientSet(set);
    const double se = estimate->standardErrorForCoefficientSet(set);
    const double z = c / se;
    const DSRegression *regression = outcome->temp_regression();
    const int64_t df = regression ? regression->df() : 0;
    const int hypothesis = variable ? int(variable->null_hypothesis()) : 0;
    const int64_t code = outcome->coefficientDistribution();
    const bool oddsRatios = outcome->displayOddsRatios();
    const bool t = code == (oddsRatios ? DSCoefficientDistributionT | DSCoefficientDistributionOddsRatios
                                       : DSCoefficientDistributionT);
    const double p = t ? ds_p_value_t(z, df, hypothesis) : ds_p_value_normal(z, hypothesis);
    style->push();
    if (oddsRatios)
        style->setNumberFormatter(style->numberFormatterForKey(QStringLiteral("ModelOddsRatioFormatter")),
                                  QStringLiteral("ModelCoefficientFormatter"));
    auto legend = oddsRatios ? legendForCoefficient(std::exp(c), QStringLiteral("exp(β)"), se, p, style)
                             : legendForCoefficient(c, QStringLiteral("β"), se, p, style);
    style->pop();
    return legend;
}

void DSCoefficientEstimatePainter::drawOutcome(DSOutcomeVariable *outcome, DSExplanatoryVariable *variable,
                                               const DSEstimateList &estimates, DSStyle *style, const DSRect &bounds,
                                               DSGraphicsContext *context)
{
    const DSRegressionEstimate *selected = estimates.value(0);
    if (!selected || !outcome)
        return;
    const qint64 set = outcome->active_coefficient_set();
    const DSRegression *regression = outcome->temp_regression();
    const double df = regression ? double(regression->df()) : 0;
    const int64_t code = outcome->coefficientDistribution();
    const bool oddsRatios = outcome->displayOddsRatios();
    const int hypothesis = variable ? int(variable->null_hypothesis()) : 0;

    double xmin = k_infinity, xmax = -k_infinity, smallestStart = k_infinity, largestEnd = -k_infinity;
    double minSE = k_infinity;
    std::vector<Curve> others;
    auto take = [&](const DSRegressionEstimate *estimate) {
        const double c = estimate->coefficientForCoefficientSet(set);
        const double se = estimate->standardErrorForCoefficientSet(set);
        double start = 0, end = 0;
        axisEnds(oddsRatios, c, se, &start, &end);
        const double m = rangeMargin(start, end);
        xmin = std::min(xmin, start - m);
        xmax = std::max(xmax, end + m);
        smallestStart = std::min(smallestStart, start);
        largestEnd = std::max(largestEnd, end);
        if (se > 0)
            minSE = std::min(minSE, se);
        if (estimate != selected)
            others.push_back({c, se, estimate});
    };
    if (variable && variable->hasCategories()) {
        for (qint64 i = 0, n = variable->number_of_estimates(); i < n; ++i)
            if (const DSRegressionEstimate *estimate = variable->estimateAtIndex(i); estimate && !estimate->is_omitted())
                take(estimate);
    } else {
        take(selected);
        minSE = selected->standardErrorForCoefficientSet(set);
    }
    if (!std::isfinite(minSE))
        return;
    std::stable_sort(others.begin(), others.end(),
                     [](const Curve &a, const Curve &b) { return a.standardError < b.standardError; });

    const double peak = (code & DSCoefficientDistributionT) ? tPeak(df) : k_normal_peak;
    const double xrange = xmax - xmin, w = bounds.width();
    // A range of no width (an omitted estimate alone) has no value scale:
    // only the axis and its labels are drawn.
    const bool scaled = xrange > 0 && std::isfinite(xrange);
    const DSAffineTransform transform{w / xrange, 0, 0, (bounds.height() - 80) / peak, -xmin * w / xrange,
                                      k_axis_height};
    if (scaled) {
        context->saveGState();
        if (const auto color = style->colorForKey(QStringLiteral("HypothesisNonSelectedCategoryColor")))
            context->setFillColor(*color);
        context->setShadow({-2, -3}, 6);
        context->concatCTM(transform);
        context->clipToRect(ds_rect_make(xmin, 0, xrange, peak));
        const double beta = ds_beta(0.5, df / 2);
        for (const Curve &curve : others) {
            if (!(curve.standardError > 0))
                continue;
            context->saveGState();
            context->scaleCTM(1, minSE / curve.standardError);
            addDistributionCurve(code, context, curve.coefficient, curve.standardError, df, beta);
            if (!context->isPathEmpty())
                context->fillPath();
            context->restoreGState();
        }
        context->restoreGState();
    }

    const double c = selected->coefficientForCoefficientSet(set);
    const double se = selected->standardErrorForCoefficientSet(set);
    if (selected->is_omitted() || !scaled) {
        const double labels[3] = {smallestStart, oddsRatios ? 1.0 : 0.0, largestEnd};
        if (oddsRatios) {
            drawXAxisWithBigMiddleTickMark(largestEnd == 2, style, bounds, context);
            drawAxisLabelsForOddsRatios(labels, style, bounds, context);
        } else {
            drawXAxisWithBigMiddleTickMark(true, style, bounds, context);
            drawAxisLabels(labels, style, bounds, context);
        }
    } else if (oddsRatios) {
        drawAxesAndLogDistribution(code, c, se, df, hypothesis, minSE / se, smallestStart, largestEnd, style, bounds,
                                   context);
    } else {
        drawAxesAndDistribution(code, c, se, df, hypothesis, minSE / se, largestEnd, style, bounds, context);
    }
    if (!scaled)
        return;
    ds_draw_density_y_axis(code, largestEnd, peak, transform, style, context);
    temp_transform = ds_affine_scale(transform, 1, minSE);
}

void DSCoefficientEstimatePainter::mouseDownAtPoint(DSPoint point, DSOutcomeVariable *outcome,
                                                    DSExplanatoryVariable *variable, const DSEstimateList &estimates)
{
    if (!outcome || !variable || !variable->is_included() || outcome->active_coefficient_set() == -1
        || !variable->hasCategories())
        return;
    const bool oddsRatios = outcome->displayOddsRatios();
    const DSPoint v = ds_click_in_values(point, temp_transform, oddsRatios);
    const qint64 set = outcome->active_coefficient_set();
    const DSRegression *regression = outcome->temp_regression();
    const double df = regression ? double(regression->df()) : 0;
    const int64_t code = outcome->coefficientDistribution();
    const DSRegressionEstimate *selected = estimates.value(0);
    if (selected && !selected->is_omitted()
        && ds_point_under_density(v, code, df, selected->coefficientForCoefficientSet(set),
                                  selected->standardErrorForCoefficientSet(set)))
        return;
    variable->setActive_estimate(ds_estimate_under_click(v, variable, set, code, df));
}
