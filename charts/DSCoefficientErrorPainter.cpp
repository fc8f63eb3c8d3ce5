#include "charts/DSCoefficientErrorPainter.h"

#include "charts/DSStyle.h"
#include "model/util/ds_text_drawing.h"
#include "regression/DSOutcomeVariable.h"
#include "regression/DSRegression.h"

namespace {

int64_t errorCodeOf(const DSOutcomeVariable *outcome)
{
    const DSRegression *regression = outcome ? outcome->temp_regression() : nullptr;
    return regression ? regression->error_code() : 0;
}

} // namespace

QString DSCoefficientErrorPainter::messageForErrorCode(int64_t code)
{
    switch (code) {
    case 0:
        return {};
    case 1:
        return QStringLiteral("Not enough columns. Try including more.");
    case 2:
        return QStringLiteral("Not enough observations. Try a simpler model.");
    case 3:
        return QStringLiteral("Not enough data. Try fewer filters.");
    case 4:
        return QStringLiteral("Not enough instruments. Try including more.");
    case 5:
        return QStringLiteral("Some columns are redundant. Try a simpler model.");
    case 7:
        return QStringLiteral("The regression failed to converge.");
    default:
        return QStringLiteral("An error occurred while running the regression.");
    }
}

bool DSCoefficientErrorPainter::wantsToDrawOutcome(DSOutcomeVariable *outcome, DSExplanatoryVariable *,
                                                   const DSEstimateList &)
{
    return errorCodeOf(outcome) != 0;
}

void DSCoefficientErrorPainter::drawOutcome(DSOutcomeVariable *outcome, DSExplanatoryVariable *,
                                            const DSEstimateList &, DSStyle *style, const DSRect &bounds,
                                            DSGraphicsContext *context)
{
    const auto text = style->textStyleForKey(QStringLiteral("ModelErrorTextStyle"));
    if (!text)
        return;
    ds_draw_text_line(messageForErrorCode(errorCodeOf(outcome)), DSTextAlignCenter, text->font(), &text->color(),
                      context, bounds.midX(), bounds.midY(), ds_affine_identity());
}
