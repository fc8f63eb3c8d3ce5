#include "charts/DSPredictionCoefficientHypothesisView.h"

#include "charts/DSCoefficientEstimatePainter.h"
#include "charts/DSCoefficientMultipleEstimatePainter.h"
#include "charts/DSPredictionPictureOwner.h"
#include "charts/DSStyle.h"
#include "charts/ds_picture_axes.h"
#include "model/DSTable.h"
#include "platform/graphics/DSGraphicsContext.h"
#include "regression/DSExplanatoryVariable.h"
#include "regression/DSOutcomeVariable.h"
#include "regression/DSPrediction.h"
#include "regression/DSRegression.h"
#include "regression/DSRegressionModel.h"

#include <QMouseEvent>

#include <algorithm>
#include <cmath>

namespace {

// The axis ends of an estimate under the rule of the picture: the odds-ratio
// ends, or minus and plus the coefficient extent.
std::pair<double, double> axisRange(bool oddsRatios, double c, double se)
{
    if (oddsRatios)
        return {ds_odds_ratio_axis_start(c, se), ds_odds_ratio_axis_end(c, se)};
    const double e = ds_coefficient_axis_extent(c, se);
    return {-e, e};
}

} // namespace

DSPredictionCoefficientHypothesisView::DSPredictionCoefficientHypothesisView(QWidget *parent)
    : DSStatDocumentSubview(parent)
{
}

DSPredictionPictureOwner *DSPredictionCoefficientHypothesisView::predictor_delegate() const
{
    return dynamic_cast<DSPredictionPictureOwner *>(owner());
}

ds_rgba_s DSPredictionCoefficientHypothesisView::backgroundColor() const
{
    return {0, 0, 0, 0};
}

void DSPredictionCoefficientHypothesisView::drawRect(const DSRect &, DSStyle *style, bool,
                                                     DSGraphicsContext *context)
{
    DSTable *table = active_table();
    DSRegressionModel *model = table ? table->active_model() : nullptr;
    auto *prediction = model ? ds_object_cast<DSPrediction>(model->active_prediction()) : nullptr;
    DSOutcomeVariable *outcome = prediction ? prediction->outcome_variable() : nullptr;
    DSPredictionPictureOwner *pane = predictor_delegate();
    if (!style || !outcome || !pane)
        return;
    const qint64 set = outcome->hasMultipleCoefficientSets()
        ? outcome->coefficientSetForCategoryIndex(prediction->outcome_category())
        : outcome->coefficient_offset();
    const bool oddsRatios = outcome->displayOddsRatios();
    const int64_t code = outcome->coefficientDistribution();
    const DSRegression *regression = outcome->temp_regression();
    const double df = regression ? double(regression->df()) : 0;
    const auto separator = style->lineStyleForKey(QStringLiteral("HypothesisAxisLine"));

    context->saveGState();
    context->scaleCTM(0.5, 0.5);
    const DSRect b = bounds();
    DSRect row = ds_rect_make(b.minX(), b.maxY() - 40, b.width(), 40);
    for (DSExplanatoryVariable *variable : model->sortedIncludedExplanatoryVariables()) {
        const DSRegressionEstimate *estimate = pane->estimateForVariable(variable, prediction);
        const DSRect inset = ds_rect_make(row.minX(), row.minY() + 10, row.width(), row.height() - 20);
        const DSRect r = ds_rect_make(2 * inset.minX(), 2 * inset.minY(), 2 * inset.width(), 2 * inset.height());
        const double c = estimate && set != -1 ? estimate->coefficientForCoefficientSet(set) : NAN;
        const double se = estimate && set != -1 ? estimate->standardErrorForCoefficientSet(set) : NAN;
        if (!std::isnan(c)) {
            auto [start, end] = axisRange(oddsRatios, c, se);
            for (qint64 i = 0; i < variable->temp_number_of_restrictions(); ++i)
                if (const DSRegressionEstimate *other = variable->estimateAtIndex(i, 255)) {
                    const auto [s, e] = axisRange(oddsRatios, other->coefficientForCoefficientSet(set),
                                                  other->standardErrorForCoefficientSet(set));
                    start = std::min(start, s);
                    end = std::max(end, e);
                }
            const int hypothesis = int(variable->null_hypothesis());
            if (variable->hasCategories()) {
                DSCoefficientMultipleEstimatePainter::drawMultipleDistributions(
                    code, {{c, se, estimate->hue()}}, df, hypothesis, start, end, style, r, context);
            } else {
                style->push();
                style->setLineStyle(nullptr, QStringLiteral("HypothesisStandardErrorLine"));
                DSCoefficientEstimatePainter::drawDistribution(code, c, se, df, hypothesis, 1, start, end, style, r,
                                                               true, context);
                style->pop();
            }
        }
        if (separator) {
            context->saveGState();
            separator->configureContext(context);
            context->strokeLineSegments({{r.minX(), r.minY() + 0.5}, {r.maxX(), r.minY() + 0.5}});
            context->restoreGState();
        }
        row.origin.y -= 40;
    }
    context->restoreGState();
}

void DSPredictionCoefficientHypothesisView::mousePressEvent(QMouseEvent *event)
{
    if (DSPredictionPictureOwner *pane = predictor_delegate())
        pane->predictionEquationMouseDown(event);
    else
        DSStatDocumentSubview::mousePressEvent(event);
}
