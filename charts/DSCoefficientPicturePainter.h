#pragma once

#include "charts/DSCoefficientPictureLegend.h"
#include "charts/DSPicturePainter.h"

#include "platform/graphics/ds_geometry.h"

#include <QList>
#include <QString>

#include <memory>

class DSExplanatoryVariable;
class DSGraphicsContext;
class DSOutcomeVariable;
class DSRegressionEstimate;
class DSStyle;

// The estimates a coefficient picture is about, in selection order. The
// variables (or, for the constant, the regression) own them.
using DSEstimateList = QList<const DSRegressionEstimate *>;

// The base of the coefficient painters, which the hypothesis picture asks in
// its list order for the active outcome, the active explanatory variable
// (may be null) and the selected estimates: the first that wants to draw
// titles, legends, draws and hit-tests the picture. The base wants nothing
// and draws nothing.
//
// A drawing painter leaves its value-to-view transform in temp_transform,
// where its next click finds it. Main thread only.
class DSCoefficientPicturePainter : public DSPicturePainter
{
public:
    virtual bool wantsToDrawOutcome(DSOutcomeVariable *outcome, DSExplanatoryVariable *variable,
                                    const DSEstimateList &estimates);
    // The painter's title; a null string for none.
    virtual QString titleForOutcome(DSOutcomeVariable *outcome, DSExplanatoryVariable *variable,
                                    const DSEstimateList &estimates);
    // The legend; null for none.
    virtual std::shared_ptr<const DSCoefficientPictureLegend> legendForOutcome(DSOutcomeVariable *outcome,
                                                                               DSExplanatoryVariable *variable,
                                                                               const DSEstimateList &estimates,
                                                                               DSStyle *style);
    virtual void drawOutcome(DSOutcomeVariable *outcome, DSExplanatoryVariable *variable,
                             const DSEstimateList &estimates, DSStyle *style, const DSRect &bounds,
                             DSGraphicsContext *context);
    // A click at the point (view coordinates), which may change the
    // variable's active estimate.
    virtual void mouseDownAtPoint(DSPoint point, DSOutcomeVariable *outcome, DSExplanatoryVariable *variable,
                                  const DSEstimateList &estimates);

    // "= " and the p-value by the style's "ModelPValueFormatter" (the bare
    // number text without one).
    static QString stringForPValue(double p, DSStyle *style);

    DSAffineTransform temp_transform;
};
