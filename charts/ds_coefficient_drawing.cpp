#include "charts/ds_coefficient_drawing.h"

#include "charts/DSCoefficientEstimatePainter.h"
#include "charts/DSStyle.h"
#include "charts/ds_picture_axes.h"
#include "model/util/ds_text_drawing.h"
#include "regression/DSRegression.h"

#include <algorithm>
#include <cmath>
#include <vector>

double ds_legend_column_width(const QStringList &texts, DSStyle *style)
{
    double width = 56;
    if (const auto text = style->textStyleForKey(QStringLiteral("HypothesisLegendRHSTextStyle")))
        for (const QString &line : texts)
            width = std::max(width, ds_text_width(line, text->font()));
    return width;
}

void ds_draw_axis_label(const QString &text, double x, DSStyle *style, DSGraphicsContext *context)
{
    if (const auto label = style->textStyleForKey(QStringLiteral("HypothesisAxisLabelTextStyle")))
        ds_draw_text_line(text, DSTextAlignCenter, label->font(), &label->color(), context, x, 20,
                          ds_affine_identity());
}

void ds_draw_density_y_axis(int64_t code, double end, double peak, const DSAffineTransform &transform,
                            DSStyle *style, DSGraphicsContext *context)
{
    const auto line = style->lineStyleForKey(QStringLiteral("HypothesisAxisLine"));
    if (!line)
        return;
    const double x = (code & DSCoefficientDistributionOddsRatios) && end <= 20 ? 1 : 0;
    context->saveGState();
    ds_stroke_transformed_segment({x, 0}, {x, peak}, *line, context, transform);
    context->restoreGState();
}

DSPoint ds_click_in_values(DSPoint point, const DSAffineTransform &transform, bool oddsRatios)
{
    DSPoint value = ds_point_apply(point, ds_affine_invert(transform));
    if (oddsRatios)
        value.x = std::log(std::max(value.x, 0.0));
    return value;
}

bool ds_point_under_density(DSPoint value, int64_t code, double df, double coefficient, double standardError)
{
    const double height =
        DSCoefficientEstimatePainter::standardDensity(code, df, (value.x - coefficient) / standardError) / standardError;
    return value.y >= 0 && value.y <= height;
}

DSExplanatoryVariable::EstimateRef ds_estimate_under_click(DSPoint value, DSExplanatoryVariable *variable,
                                                           qint64 set, int64_t code, double df)
{
    struct Candidate
    {
        double coefficient;
        double standardError;
        const DSRegressionEstimate *estimate;
    };
    std::vector<Candidate> candidates;
    for (qint64 i = 0; i < variable->temp_number_of_restrictions(); ++i)
        if (const DSRegressionEstimate *estimate = variable->estimateAtIndex(i, 255))
            candidates.push_back({estimate->coefficientForCoefficientSet(set),
                                  estimate->standardErrorForCoefficientSet(set), estimate});
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate &a, const Candidate &b) { return a.standardError > b.standardError; });
    for (const Candidate &candidate : candidates) {
        if (!ds_point_under_density(value, code, df, candidate.coefficient, candidate.standardError))
            continue;
        for (const DSExplanatoryVariable::EstimateRef &ref : variable->estimates())
            if (ref.get() == candidate.estimate)
                return ref;
    }
    return nullptr;
}
