#include "charts/DSCoefficientPicturePainter.h"

#include "charts/DSStyle.h"
#include "platform/format/DSPlatformNumberFormatter.h"

bool DSCoefficientPicturePainter::wantsToDrawOutcome(DSOutcomeVariable *, DSExplanatoryVariable *,
                                                     const DSEstimateList &)
{
    return false;
}

QString DSCoefficientPicturePainter::titleForOutcome(DSOutcomeVariable *, DSExplanatoryVariable *,
                                                     const DSEstimateList &)
{
    return {};
}

std::shared_ptr<const DSCoefficientPictureLegend>
DSCoefficientPicturePainter::legendForOutcome(DSOutcomeVariable *, DSExplanatoryVariable *, const DSEstimateList &,
                                              DSStyle *)
{
    return nullptr;
}

void DSCoefficientPicturePainter::drawOutcome(DSOutcomeVariable *, DSExplanatoryVariable *, const DSEstimateList &,
                                              DSStyle *, const DSRect &, DSGraphicsContext *)
{
}

void DSCoefficientPicturePainter::mouseDownAtPoint(DSPoint, DSOutcomeVariable *, DSExplanatoryVariable *,
                                                   const DSEstimateList &)
{
}

QString DSCoefficientPicturePainter::stringForPValue(double p, DSStyle *style)
{
    const DSPlatformNumberFormatter *formatter =
        style ? style->numberFormatterForKey(QStringLiteral("ModelPValueFormatter")) : nullptr;
    return QStringLiteral("= ") + (formatter ? formatter->stringFromNumber(p) : QString::number(p));
}
