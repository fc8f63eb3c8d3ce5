#include "charts/DSCoefficientPictureView.h"

#include "charts/DSCoefficientErrorPainter.h"
#include "charts/DSCoefficientEstimatePainter.h"
#include "charts/DSCoefficientJointSignificancePainter.h"
#include "charts/DSCoefficientMultipleEstimatePainter.h"
#include "charts/DSCoefficientPictureOwner.h"
#include "charts/DSPictureOwner.h"
#include "charts/DSStyle.h"
#include "model/DSAppServices.h"
#include "model/DSColumnCategory.h"
#include "model/DSError.h"
#include "model/DSStatDocument.h"
#include "model/DSTable.h"
#include "model/util/ds_colors.h"
#include "model/util/ds_text_drawing.h"
#include "platform/graphics/DSGraphicsContext.h"
#include "regression/DSExplanatoryVariable.h"
#include "regression/DSOutcomeVariable.h"
#include "regression/DSRegressionModel.h"

#include <QMouseEvent>

namespace {

template <class Painter>
DSStatDocumentSubview::PainterClass painterClass()
{
    return [] { return std::make_unique<Painter>(); };
}

ds_rgba_s hslColor(double hue, double saturation, double lightness)
{
    ds_rgba_s color;
    ds_hsl_to_rgb(&color, hue, saturation, lightness);
    return color;
}

// The omission titles of one estimate, the first flag that is set deciding.
QString omissionTitle(const DSRegressionEstimate &estimate)
{
    const QString name = estimate.name();
    if (estimate.is_omitted_due_to_lack_of_data)
        return QStringLiteral("%1 omitted. Too much data was missing to estimate the effect.").arg(name);
    if (estimate.is_omitted_constant)
        return QStringLiteral("%1 omitted. The intercept term is constrained to zero.").arg(name);
    if (estimate.is_omitted_category)
        return QStringLiteral("%1 omitted. Other estimates are relative to this category.").arg(name);
    if (estimate.is_omitted_interaction)
        return QStringLiteral("%1 omitted.").arg(name);
    if (estimate.is_omitted_due_to_fixed_effects)
        return QStringLiteral("%1 omitted due to the presence of fixed effects.").arg(name);
    return {};
}

// Whether the active coefficient set is the base outcome of a categorical
// outcome. The lookup holds one value per category of the outcome, while the
// set counts model-wide from the outcome's offset: the active category's
// value is at set - offset, and a set outside the outcome's categories has
// no base.
bool isBaseOutcome(const DSOutcomeVariable &outcome)
{
    if (!outcome.treat_as_categories())
        return false;
    const qint64 i = outcome.active_coefficient_set() - outcome.coefficient_offset();
    const std::vector<double> &lookup = outcome.category_lookup();
    return i >= 0 && size_t(i) < lookup.size() && lookup[size_t(i)] == double(outcome.base_category());
}

} // namespace

DSCoefficientPictureView::DSCoefficientPictureView(QWidget *parent) : DSStatDocumentSubview(parent)
{
}

std::vector<DSStatDocumentSubview::PainterClass> DSCoefficientPictureView::painterClasses() const
{
    return {painterClass<DSCoefficientErrorPainter>(), painterClass<DSCoefficientJointSignificancePainter>(),
            painterClass<DSCoefficientEstimatePainter>(), painterClass<DSCoefficientMultipleEstimatePainter>()};
}

DSCoefficientPictureOwner *DSCoefficientPictureView::coefficientOwner() const
{
    return dynamic_cast<DSCoefficientPictureOwner *>(owner());
}

DSRegressionModel *DSCoefficientPictureView::activeModel() const
{
    DSTable *table = active_table();
    return table ? table->active_model() : nullptr;
}

DSOutcomeVariable *DSCoefficientPictureView::activeOutcome() const
{
    DSRegressionModel *model = activeModel();
    return model ? model->active_outcome() : nullptr;
}

DSExplanatoryVariable *DSCoefficientPictureView::activeVariable() const
{
    DSRegressionModel *model = activeModel();
    return model ? model->active_explanatory_variable() : nullptr;
}

void DSCoefficientPictureView::refreshView()
{
    DSRegressionModel *model = activeModel();
    if (model && model->needs_regression()) {
        DSPictureOwner *pane = owner();
        const DSRowMaskRef mask = pane ? pane->pictureMask() : nullptr;
        const DSAppServices *app = DSStatDocument::app_delegate();
        DSError error;
        if (!model->runRegressionIfNeededForMask(ds_mask_data(mask), ds_mask_length(mask),
                                                 app ? app->varrow_context() : nullptr, &error)
            && pane)
            pane->presentPictureError(error);
    }
    update();
}

DSEstimateList DSCoefficientPictureView::selectedEstimates() const
{
    DSEstimateList estimates;
    const DSCoefficientPictureOwner *pane = coefficientOwner();
    if (!pane)
        return estimates;
    const QList<DSExplanatoryOutlineItem> items = pane->selectedExplanatoryItems();
    for (const DSExplanatoryOutlineItem &item : items)
        if (item.estimate)
            estimates.append(item.estimate);
    for (const DSExplanatoryOutlineItem &item : items) {
        DSExplanatoryVariable *variable = item.variable;
        if (!variable || variable->isIncludedAsFixedEffects())
            continue;
        const qint64 n = variable->numberOfEstimatesExcluding(255);
        if (variable->hasOnlyOneMeaningfulEstimate()) {
            if (const DSRegressionEstimate *estimate = variable->estimateAtIndex(0, DSEstimateExcludeByDesign))
                estimates.append(estimate);
        } else if (variable->hasCategories()) {
            if (n < 1)
                continue;
            bool listed = false;
            for (qint64 i = 0; i < n && !listed; ++i)
                listed = estimates.contains(variable->estimateAtIndex(i, 255));
            if (listed)
                continue;
            for (qint64 i = 0; i < n; ++i)
                estimates.append(variable->estimateAtIndex(i, 255));
        } else if (const DSRegressionEstimate *estimate = variable->estimateAtIndex(0, 255)) {
            estimates.append(estimate);
        }
    }
    return estimates;
}

const DSRegressionEstimate *DSCoefficientPictureView::estimateForVariable(DSExplanatoryVariable *variable) const
{
    if (!variable)
        return nullptr;
    if (const auto &active = variable->active_estimate())
        for (const DSExplanatoryVariable::EstimateRef &estimate : variable->estimates())
            if (estimate->index == active->index)
                return estimate.get();
    if (variable->hasCategories())
        return variable->hasOnlyOneMeaningfulEstimate() ? variable->estimateAtIndex(0, DSEstimateExcludeByDesign)
                                                        : nullptr;
    return variable->estimateAtIndex(0);
}

QString DSCoefficientPictureView::specialTitleForOutcome(DSOutcomeVariable *outcome,
                                                         DSExplanatoryVariable *variable) const
{
    if (outcome->hasMultipleCoefficientSets() && outcome->active_category()) {
        const DSColumnCategory &category = *outcome->active_category();
        QString title;
        if (category.count() == 0)
            title = QStringLiteral("[%1 = %2] omitted. Not enough data to include in the model.")
                        .arg(outcome->name(), category.longValue());
        if (isBaseOutcome(*outcome))
            title = QStringLiteral("[%1 = %2] is the base outcome. All coefficients are zero.")
                        .arg(outcome->name(), category.longValue());
        if (!title.isNull())
            return title;
    }
    if (variable && variable->isIncludedAsFixedEffects())
        return QStringLiteral("%1 included as fixed effects.").arg(variable->name());
    return {};
}

QString DSCoefficientPictureView::specialTitleForEstimates(const DSEstimateList &estimates) const
{
    return estimates.size() == 1 ? omissionTitle(*estimates.first()) : QString();
}

void DSCoefficientPictureView::drawTitle(const QString &title, DSStyle *style, const DSRect &bounds,
                                         DSGraphicsContext *context)
{
    const auto text = style->textStyleForKey(QStringLiteral("HypothesisTitleTextStyle"));
    if (!text)
        return;
    ds_draw_text_in_rect(title, 1, DSTextAlignLeft, text->font(), &text->color(), context,
                         ds_rect_make(bounds.minX() + 10, bounds.minY(), bounds.width() - 24, bounds.height() - 10));
}

void DSCoefficientPictureView::drawLegend(const DSCoefficientPictureLegend &legend, const DSRect &bounds,
                                          DSStyle *style, DSGraphicsContext *context)
{
    const auto &entries = legend.entries();
    if (entries.empty())
        return;
    const auto left = style->textStyleForKey(QStringLiteral("HypothesisLegendLHSTextStyle"));
    const auto right = style->textStyleForKey(QStringLiteral("HypothesisLegendRHSTextStyle"));
    const double L = legend.left_size().width;
    const double X = bounds.maxX() - 4 - legend.right_size().width;
    double y = bounds.maxY() - 4 - legend.right_size().height + 20 * double(entries.size() - 1);
    for (const DSCoefficientPictureLegendEntry &entry : entries) {
        context->saveGState();
        if (entry.box_color) {
            context->setFillColor(*entry.box_color);
            context->fillRect(ds_rect_make(X - L, y, 10, 10));
        } else if (entry.line_style) {
            entry.line_style->configureContext(context);
            context->strokeLineSegments({{X - L - 4, y + 4.5}, {X - L + 14, y + 4.5}});
        }
        context->restoreGState();
        if (left)
            ds_draw_text_line(entry.left_string, DSTextAlignRight, left->font(), &left->color(), context, X, y,
                              ds_affine_identity());
        if (right)
            ds_draw_text_line(entry.right_string, DSTextAlignLeft, right->font(), &right->color(), context, X, y,
                              ds_affine_identity());
        y -= 20;
    }
}

QString DSCoefficientPictureView::suggestedFileName() const
{
    if (const DSExplanatoryVariable *variable = activeVariable())
        return variable->name();
    const DSRegressionModel *model = activeModel();
    return model ? model->name() : QString();
}

DSCoefficientPicturePainter *DSCoefficientPictureView::painterFor(DSOutcomeVariable *outcome,
                                                                 DSExplanatoryVariable *variable,
                                                                 const DSEstimateList &estimates)
{
    for (const auto &made : painters())
        if (auto *painter = dynamic_cast<DSCoefficientPicturePainter *>(made.get());
            painter && painter->wantsToDrawOutcome(outcome, variable, estimates))
            return painter;
    return nullptr;
}

void DSCoefficientPictureView::drawRect(const DSRect &, DSStyle *style, bool, DSGraphicsContext *context)
{
    DSRegressionModel *model = activeModel();
    DSOutcomeVariable *outcome = activeOutcome();
    if (!style || !outcome || model->needs_regression())
        return;
    DSExplanatoryVariable *variable = activeVariable();
    const DSEstimateList estimates = selectedEstimates();
    DSCoefficientPicturePainter *painter = painterFor(outcome, variable, estimates);
    const DSRect b = bounds();
    if (const QString special = specialTitleForOutcome(outcome, variable); !special.isNull()) {
        drawTitle(special, style, b, context);
        return;
    }
    if (variable && !variable->is_included())
        return;

    style->push();
    if (estimates.size() == 1 && variable && variable->hasCategories()) {
        const double hue = estimates.first()->hue();
        style->setColor(hslColor(hue, kDSPlainSaturation, kDSPlainLightness), QStringLiteral("HypothesisFillColor"));
        style->setColor(hslColor(hue, kDSDarkSaturation, kDSDarkLightness),
                        QStringLiteral("HypothesisOuterFillColor"));
    }
    DSRect titleRect = b;
    if (painter) {
        const auto legend = painter->legendForOutcome(outcome, variable, estimates, style);
        painter->drawOutcome(outcome, variable, estimates, style, b, context);
        if (legend) {
            drawLegend(*legend, b, style, context);
            titleRect.size.width -= legend->width() + 4;
        }
    }
    style->pop();

    QString title = specialTitleForEstimates(estimates);
    if (title.isNull() && painter) {
        title = painter->titleForOutcome(outcome, variable, estimates);
        const QString condition = owner() ? owner()->pictureConditionString() : QString();
        if (!title.isNull() && !condition.isEmpty())
            title = QStringLiteral("%1 [%2]").arg(title, condition);
    }
    if (!title.isNull())
        drawTitle(title, style, titleRect, context);
}

void DSCoefficientPictureView::mouseDownAtPoint(DSPoint point)
{
    DSOutcomeVariable *outcome = activeOutcome();
    if (!outcome)
        return;
    DSExplanatoryVariable *variable = activeVariable();
    const DSEstimateList estimates = selectedEstimates();
    if (DSCoefficientPicturePainter *painter = painterFor(outcome, variable, estimates))
        painter->mouseDownAtPoint(point, outcome, variable, estimates);
    if (DSCoefficientPictureOwner *pane = coefficientOwner())
        pane->refreshExplanatoryView(this);
}

void DSCoefficientPictureView::mousePressEvent(QMouseEvent *event)
{
    const QPointF at = event->position();
    mouseDownAtPoint({at.x(), bounds().height() - at.y()});
    DSStatDocumentSubview::mousePressEvent(event);
}
