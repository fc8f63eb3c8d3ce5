#include "charts/DSPredictionCoefficientDistributionView.h"

#include "charts/DSCDFDrawing.h"
#include "charts/DSStyle.h"
#include "model/DSColumn.h"
#include "model/DSColumnCategory.h"
#include "model/DSColumnSummary.h"
#include "model/DSDurationFormatter.h"
#include "model/DSNumericColumn.h"
#include "model/DSTable.h"
#include "model/DSTimeColumn.h"
#include "model/util/ds_labels.h"
#include "model/util/ds_text_drawing.h"
#include "platform/graphics/DSGraphicsContext.h"
#include "regression/DSCoxRegression.h"
#include "regression/DSOutcomeVariable.h"
#include "regression/DSPrediction.h"
#include "regression/DSRegressionModel.h"

#include <algorithm>
#include <cmath>

namespace {

// The colour of a stratified outcome's stratum: the stratification
// column's category of that value; none when no category matches.
std::optional<ds_rgba_s> stratumColor(const DSOutcomeVariable &outcome, double value)
{
    DSColumn *column = outcome.stratification_column();
    const auto summary = column ? column->summaryWithSignificance(NAN) : nullptr;
    if (!summary)
        return std::nullopt;
    for (const auto &category : summary->categories())
        if (double(category->index()) == value)
            return category->color();
    return std::nullopt;
}

// One time label 14 points below the plot, centred at x unless it is too
// wide for the room there: then `fallbackAlignment` at `fallbackX`.
void drawTimeLabel(const QString &label, const DSTextStyle &text, double x, double y, bool tooWide,
                   int fallbackAlignment, double fallbackX, DSGraphicsContext *context)
{
    ds_draw_text_line(label, tooWide ? fallbackAlignment : DSTextAlignCenter, text.font(), &text.color(), context,
                      tooWide ? fallbackX : x, y, ds_affine_identity());
}

} // namespace

DSPredictionCoefficientDistributionView::DSPredictionCoefficientDistributionView(QWidget *parent)
    : DSStatDocumentSubview(parent)
{
}

DSPrediction *DSPredictionCoefficientDistributionView::activePrediction() const
{
    DSTable *table = active_table();
    DSRegressionModel *model = table ? table->active_model() : nullptr;
    return model ? ds_object_cast<DSPrediction>(model->active_prediction()) : nullptr;
}

std::optional<DSPredictionCoefficientDistributionView::PredictedSurvival>
DSPredictionCoefficientDistributionView::predictedSurvival(DSPrediction *prediction, DSStyle *style)
{
    DSOutcomeVariable *outcome = prediction ? prediction->outcome_variable() : nullptr;
    const auto *cox = outcome ? dynamic_cast<const DSCoxRegression *>(outcome->temp_regression()) : nullptr;
    if (!cox)
        return std::nullopt;
    const qint64 set = outcome->hasMultipleCoefficientSets()
        ? outcome->coefficientSetForCategoryIndex(prediction->outcome_category())
        : outcome->coefficient_offset();
    const int64_t stratum = outcome->doStratify() ? prediction->outcome_stratum() : 0;
    const int64_t cause = outcome->doCause() ? prediction->outcome_category() : 0;
    const double *values = nullptr, *times = nullptr, *hazard = nullptr;
    const int32_t strata = cox->getStratumValues(&values);
    const int64_t n = cox->getFailureTimes(&times, stratum, cause);
    cox->getHazardFunction(&hazard, stratum, cause);
    if (n <= 0)
        return std::nullopt;

    PredictedSurvival survival;
    survival.outcome = outcome;
    std::optional<ds_rgba_s> color;
    if (outcome->doStratify() && stratum >= 0 && stratum < strata)
        color = stratumColor(*outcome, values[stratum]);
    survival.color = color ? *color : style->colorForKey(QStringLiteral("SurvivorshipFillColor")).value_or(ds_rgba_s{});

    const double eta = prediction->fittedValueForCoefficientSet(set);
    survival.max = times[n - 1];
    for (int32_t s = 0; s < strata; ++s) {
        const double *other = nullptr;
        if (const int64_t count = cox->getFailureTimes(&other, s, cause); count > 0)
            survival.max = std::max(survival.max, other[count - 1]);
    }
    survival.min = ds_object_cast<DSTimeColumn>(outcome->column()) ? times[0] : 0;
    survival.points.reserve(size_t(2 * n + 1));
    survival.points.push_back({survival.min, 1});
    double level = 1;
    for (int64_t j = 0; j < n; ++j) {
        survival.points.push_back({times[j], level});
        level = std::exp(-hazard[j] * std::exp(eta));
        survival.points.push_back({times[j], level});
    }
    return survival;
}

QString DSPredictionCoefficientDistributionView::suggestedFileName() const
{
    const DSPrediction *prediction = activePrediction();
    const DSOutcomeVariable *outcome = prediction ? prediction->outcome_variable() : nullptr;
    const DSColumn *column = outcome ? outcome->column() : nullptr;
    return column ? QStringLiteral("%1 survival curve").arg(column->name()) : QString();
}

void DSPredictionCoefficientDistributionView::drawRect(const DSRect &, DSStyle *style, bool,
                                                       DSGraphicsContext *context)
{
    if (!style)
        return;
    const auto survival = predictedSurvival(activePrediction(), style);
    if (!survival)
        return;
    const DSRect b = bounds();
    const DSRect plot = ds_rect_make(b.minX() + 44, b.minY() + 24, b.width() - 64, b.height() - 58);
    DSCDFDrawing::drawCDF(survival->points.data(), int64_t(survival->points.size()), survival->min, survival->max,
                          survival->color, style, plot, context);

    DSColumn *column = survival->outcome->column();
    if (!column)
        return;
    if (const auto title = style->textStyleForKey(QStringLiteral("SurvivorshipTitleTextStyle"))) {
        const QString text = QStringLiteral("predicted survival by %1").arg(column->name());
        const bool fits = ds_text_width(text, title->font()) + 20 <= b.width();
        ds_draw_text_line(text, fits ? DSTextAlignCenter : DSTextAlignLeft, title->font(), &title->color(), context,
                          fits ? b.midX() : b.minX() + 10, b.maxY() - 20, ds_affine_identity());
    }
    const auto time = style->textStyleForKey(QStringLiteral("SurvivorshipTimeTextStyle"));
    if (!time)
        return;
    QString minLabel, maxLabel;
    if (auto *times = ds_object_cast<DSTimeColumn>(column)) {
        const auto formatter = times->isTimeOfDay() ? times->timeOfDayFormatter() : times->dateFormatter();
        const double divisor = survival->outcome->temp_time_divisor();
        minLabel = ds_format_time(formatter.get(), survival->min * divisor);
        maxLabel = ds_format_time(formatter.get(), survival->max * divisor);
    } else if (ds_object_cast<DSNumericColumn>(column)) {
        const auto formatter = column->NSNumberFormatter();
        minLabel = ds_format_number(formatter.get(), survival->min);
        maxLabel = ds_format_number(formatter.get(), survival->max);
    }
    const double y = plot.minY() - 14;
    drawTimeLabel(minLabel, *time, plot.minX(), y, ds_text_width(minLabel, time->font()) > 2 * plot.minX() - 10,
                  DSTextAlignLeft, 5, context);
    drawTimeLabel(maxLabel, *time, plot.maxX(), y, ds_text_width(maxLabel, time->font()) > 40, DSTextAlignRight,
                  plot.maxX() + 20, context);
}
