#include "charts/DSCoefficientJointSignificancePainter.h"

#include "charts/DSStyle.h"
#include "charts/ds_coefficient_drawing.h"
#include "charts/ds_picture_axes.h"
#include "model/DSColumnCategory.h"
#include "platform/format/DSPlatformNumberFormatter.h"
#include "platform/graphics/DSGraphicsContext.h"
#include "platform/sterna/sterna.h"
#include "regression/DSExplanatoryVariable.h"
#include "regression/DSOutcomeVariable.h"
#include "regression/DSRegression.h"
#include "regression/DSRegressionModel.h"
#include "regression/DSRegressionPostEstimator.h"

#include <cmath>
#include <functional>
#include <limits>

namespace {

constexpr double k_nan = std::numeric_limits<double>::quiet_NaN();

// The density picture of a statistic on the axis 0 to xmax, height ymax:
// the curve filled, the part beyond the statistic in the outer colour, the
// axes and the statistic's line, all through T = (w/xmax, 0, 0, h/ymax,
// X + 0.5, Y + 0.5).
void drawStatisticPicture(double statistic, double xmax, double ymax, const std::function<void()> &addCurve,
                          DSStyle *style, const DSRect &bounds, DSGraphicsContext *context)
{
    const DSAffineTransform transform{bounds.width() / xmax, 0, 0, bounds.height() / ymax, bounds.minX() + 0.5,
                                      bounds.minY() + 0.5};
    auto fill = [&](const DSRect &clip, const char *colorKey) {
        context->saveGState();
        context->concatCTM(transform);
        context->clipToRect(clip);
        if (const auto color = style->colorForKey(QString::fromLatin1(colorKey)))
            context->setFillColor(*color);
        context->beginPath();
        addCurve();
        context->fillPath();
        context->restoreGState();
    };
    const bool inside = statistic < xmax;
    fill(ds_rect_make(0, 0, xmax, ymax), "HypothesisFillColor");
    if (inside)
        fill(ds_rect_make(statistic, 0, xmax, ymax), "HypothesisOuterFillColor");
    context->saveGState();
    if (const auto axis = style->lineStyleForKey(QStringLiteral("HypothesisAxisLine"))) {
        ds_stroke_transformed_segment({0, 0}, {0, ymax}, *axis, context, transform);
        ds_stroke_transformed_segment({0, 0}, {xmax, 0}, *axis, context, transform);
    }
    if (const auto line = style->lineStyleForKey(QStringLiteral("HypothesisZeroLine")); line && inside)
        ds_stroke_transformed_segment({statistic, 0}, {statistic, ymax}, *line, context, transform);
    context->restoreGState();
}

double chiSquareDensity(double t, double k, double logGamma)
{
    return std::exp((k / 2 - 1) * std::log(t) - t / 2 - (k / 2) * std::log(2.0) - logGamma);
}

double fDensity(double t, double d1, double d2, double logBeta)
{
    return std::exp((d1 / 2) * std::log(d1 / d2) - logBeta + (d1 / 2 - 1) * std::log(t)
                    - ((d1 + d2) / 2) * std::log(1 + d1 * t / d2));
}

} // namespace

QString DSCoefficientJointSignificancePainter::stringForJointStatistic(double statistic, DSStyle *style)
{
    const DSPlatformNumberFormatter *formatter =
        style ? style->numberFormatterForKey(QStringLiteral("ModelFStatisticFormatter")) : nullptr;
    return QStringLiteral("= ") + (formatter ? formatter->stringFromNumber(statistic) : QString::number(statistic));
}

DSSize DSCoefficientJointSignificancePainter::layoutLeftLegendForJointStatistic()
{
    return {37, 40};
}

DSSize DSCoefficientJointSignificancePainter::layoutRightLegendForJointStatistic(double statistic, double p,
                                                                                 DSStyle *style)
{
    return {ds_legend_column_width({stringForPValue(p, style), stringForJointStatistic(statistic, style)}, style), 40};
}

std::shared_ptr<const DSCoefficientPictureLegend>
DSCoefficientJointSignificancePainter::legendForJointStatistic(double statistic, const QString &name, double p,
                                                               DSStyle *style)
{
    auto legend = std::make_shared<DSCoefficientPictureLegend>();
    DSCoefficientPictureLegendEntry pRow{QStringLiteral("p "), stringForPValue(p, style), nullptr, std::nullopt};
    pRow.setBoxColor(style->colorForKey(QStringLiteral("HypothesisOuterFillColor")));
    legend->addEntry(pRow);
    legend->addEntry({name + QLatin1Char(' '), stringForJointStatistic(statistic, style), nullptr, std::nullopt});
    legend->setLeft_size(layoutLeftLegendForJointStatistic());
    legend->setRight_size(layoutRightLegendForJointStatistic(statistic, p, style));
    return legend;
}

void DSCoefficientJointSignificancePainter::addChiSquareDistributionCurveToContext(DSGraphicsContext *context,
                                                                                   int64_t k, double logGamma,
                                                                                   double max)
{
    context->moveToPoint(0, 0);
    if (k == 2)
        context->addLineToPoint(0, 0.5);
    for (int i = 0; i < 200; ++i) {
        const double t = (i + 0.5) * max / 201;
        context->addLineToPoint(t, chiSquareDensity(t, double(k), logGamma));
    }
    context->addLineToPoint(max, 0);
    context->closePath();
}

void DSCoefficientJointSignificancePainter::addFDistributionCurveToContext(DSGraphicsContext *context, int64_t d1,
                                                                           int64_t d2, double logBeta)
{
    context->moveToPoint(0, 0);
    if (d1 == 2)
        context->addLineToPoint(0, 1);
    for (int i = 0; i < 200; ++i) {
        const double t = 0.025 * i + 0.0125;
        context->addLineToPoint(t, fDensity(t, double(d1), double(d2), logBeta));
    }
    context->closePath();
}

void DSCoefficientJointSignificancePainter::drawChiSquareDistribution(double statistic, int64_t k, DSStyle *style,
                                                                      const DSRect &bounds,
                                                                      DSGraphicsContext *context)
{
    if (k <= 0)
        return;
    const double lg = std::lgamma(double(k) / 2);
    const double xmax = ds_critical_value_chi_square(0.005, k);
    const double ymax = k == 1 ? 3 : k == 2 ? 1 : chiSquareDensity(double(k - 2), double(k), lg);
    drawStatisticPicture(statistic, xmax, ymax, [&] { addChiSquareDistributionCurveToContext(context, k, lg, xmax); },
                         style, bounds, context);
}

void DSCoefficientJointSignificancePainter::drawFDistribution(double statistic, int64_t d1, int64_t d2,
                                                              DSStyle *style, const DSRect &bounds,
                                                              DSGraphicsContext *context)
{
    if (d1 <= 0 || d2 <= 0)
        return;
    const double lB = ds_log_beta(double(d1) / 2, double(d2) / 2);
    const double mode = (0.5 - 1.0 / double(d1)) / (1.0 / double(d2) + 0.5);
    const double ymax = mode <= 0 ? 2 : fDensity(mode, double(d1), double(d2), lB);
    drawStatisticPicture(statistic, 5, ymax, [&] { addFDistributionCurveToContext(context, d1, d2, lB); }, style,
                         bounds, context);
}

int DSCoefficientJointSignificancePainter::vectorHypothesisCode(DSOutcomeVariable *outcome,
                                                                const DSEstimateList &estimates)
{
    const DSRegressionModel *model = outcome ? outcome->model() : nullptr;
    return !estimates.isEmpty() && model ? int(model->null_hypothesis()) : DSVectorNullHypothesisZero;
}

double DSCoefficientJointSignificancePainter::postEstimatedTestStatisticForNullHypothesis(
    int code, DSOutcomeVariable *outcome, const DSEstimateList &estimates, int64_t *q)
{
    const DSRegression *regression = outcome->temp_regression();
    const DSRegressionModel *model = outcome->model();
    if (!regression || !model || !regression->post_estimator())
        return k_nan;
    const qint64 k = model->numberOfIncludedRegressors();
    const qint64 active = outcome->active_coefficient_set();
    QList<int64_t> positions;
    auto addSet = [&](qint64 set) {
        for (const DSRegressionEstimate *estimate : estimates)
            if (!estimate->is_omitted())
                positions.append(estimate->coefficient_index + set * k);
    };
    if (active == -1) {
        const std::vector<double> &lookup = outcome->category_lookup();
        for (int64_t s = 0, sets = regression->numberOfCoefficientSetsForOutcome(outcome); s < sets; ++s) {
            const bool base = outcome->treat_as_categories() && size_t(s) < lookup.size()
                && lookup[size_t(s)] == double(outcome->base_category());
            if (!base)
                addSet(s);
        }
    } else {
        // The post-estimator numbers the outcome's own sets from 0, while
        // the active set counts model-wide from the outcome's offset.
        addSet(active - outcome->coefficient_offset());
    }
    return regression->post_estimator()->waldStatisticForNullHypothesis(code, positions, q);
}

double DSCoefficientJointSignificancePainter::testStatisticForNullHypothesis(int code, DSOutcomeVariable *outcome,
                                                                             DSExplanatoryVariable *variable,
                                                                             const DSEstimateList &estimates,
                                                                             int64_t *q)
{
    double w = k_nan;
    int64_t restrictions = 0;
    if (!estimates.isEmpty()) {
        w = postEstimatedTestStatisticForNullHypothesis(code, outcome, estimates, &restrictions);
    } else if (variable) {
        w = variable->multipleWaldStatisticsForOutcomeIndex(outcome->index());
        restrictions = variable->temp_number_of_restrictions() * outcome->temp_number_of_restrictions();
    }
    if (q)
        *q = restrictions;
    return outcome->coefficientDistribution() & DSCoefficientDistributionNormal ? w : w / double(restrictions);
}

int64_t DSCoefficientJointSignificancePainter::numberOfCoefficientsForOutcome(DSOutcomeVariable *outcome,
                                                                              DSExplanatoryVariable *variable,
                                                                              const DSEstimateList &estimates)
{
    if (estimates.isEmpty())
        return variable ? variable->temp_number_of_restrictions() * outcome->temp_number_of_restrictions() : 0;
    int64_t n = 0;
    for (const DSRegressionEstimate *estimate : estimates)
        n += estimate->is_omitted() ? 0 : 1;
    return outcome->active_coefficient_set() == -1 ? n * outcome->temp_number_of_restrictions() : n;
}

bool DSCoefficientJointSignificancePainter::wantsToDrawOutcome(DSOutcomeVariable *outcome,
                                                               DSExplanatoryVariable *variable,
                                                               const DSEstimateList &estimates)
{
    if (outcome && outcome->hasMultipleCoefficientSets() && !outcome->active_category())
        return true;
    return estimates.size() > 1 && !variable;
}

QString DSCoefficientJointSignificancePainter::titleForOutcome(DSOutcomeVariable *outcome,
                                                               DSExplanatoryVariable *variable,
                                                               const DSEstimateList &estimates)
{
    const int64_t n = numberOfCoefficientsForOutcome(outcome, variable, estimates);
    QString subject;
    if (estimates.size() == 1)
        subject = QStringLiteral("%1 (%2 coefficients)").arg(estimates.first()->name()).arg(n);
    else if (variable)
        subject = QStringLiteral("%1 (%2 coefficients)").arg(variable->name()).arg(n);
    else if (estimates.size() > 1)
        subject = QStringLiteral("%1 selected coefficients").arg(n);
    else
        return {};
    switch (vectorHypothesisCode(outcome, estimates)) {
    case DSVectorNullHypothesisZero:
        return QStringLiteral("Combined significance test for %1").arg(subject);
    case DSVectorNullHypothesisEqual:
        return QStringLiteral("Equality test for %1").arg(subject);
    case DSVectorNullHypothesisSumToZero:
        return QStringLiteral("Sum-to-zero test for %1").arg(subject);
    case DSVectorNullHypothesisSumToOne:
        return QStringLiteral("Sum-to-one test for %1").arg(subject);
    default:
        return {};
    }
}

std::shared_ptr<const DSCoefficientPictureLegend>
DSCoefficientJointSignificancePainter::legendForOutcome(DSOutcomeVariable *outcome, DSExplanatoryVariable *variable,
                                                        const DSEstimateList &estimates, DSStyle *style)
{
    int64_t q = 0;
    const double w = testStatisticForNullHypothesis(vectorHypothesisCode(outcome, estimates), outcome, variable,
                                                    estimates, &q);
    if (std::isnan(w) || q == 0)
        return nullptr;
    if (outcome->coefficientDistribution() & DSCoefficientDistributionNormal)
        return legendForJointStatistic(w, QStringLiteral("χ²(%1)").arg(q), ds_p_value_chi_square(w, q), style);
    const DSRegression *regression = outcome->temp_regression();
    const int64_t df = regression ? regression->df() : 0;
    return legendForJointStatistic(w, QStringLiteral("F(%1, %2)").arg(q).arg(df), ds_p_value_f(w, q, df), style);
}

void DSCoefficientJointSignificancePainter::drawOutcome(DSOutcomeVariable *outcome, DSExplanatoryVariable *variable,
                                                        const DSEstimateList &estimates, DSStyle *style,
                                                        const DSRect &bounds, DSGraphicsContext *context)
{
    int64_t q = 0;
    const double w = testStatisticForNullHypothesis(vectorHypothesisCode(outcome, estimates), outcome, variable,
                                                    estimates, &q);
    const DSRect inner = ds_rect_make(20, 20, bounds.width() - 40, bounds.height() - 80);
    if (outcome->coefficientDistribution() & DSCoefficientDistributionNormal) {
        drawChiSquareDistribution(w, q, style, inner, context);
    } else {
        const DSRegression *regression = outcome->temp_regression();
        drawFDistribution(w, q, regression ? regression->df() : 0, style, inner, context);
    }
}
