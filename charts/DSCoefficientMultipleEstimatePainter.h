#pragma once

#include "charts/DSCoefficientPicturePainter.h"

#include <cstdint>
#include <vector>

// One curve of a multiple-estimate picture: an estimate's coefficient and
// standard error in the set shown, and its category's hue (0 to 1).
struct DSCoefficientCurveValue
{
    double coefficient;
    double std_error;
    double hue;
};

// The sampling distributions of all of a categorical variable's estimates
// in the outcome's active coefficient set at once: one curve per category in
// the category's colours, each with its own region beyond the null, on one
// axis, with the joint Wald test of the variable as legend. A click on a
// curve makes its estimate the variable's active one; a click beside every
// curve changes nothing. Single curves are drawn by the estimate painter's
// kit; value lists are drawn in their order (the painter sorts by
// increasing standard error, so the tallest curve is drawn first).
class DSCoefficientMultipleEstimatePainter : public DSCoefficientPicturePainter
{
public:
    using Values = std::vector<DSCoefficientCurveValue>;

    // The curves between two axis ends (each widened by the margin) in
    // `bounds`, each tinted by its hue and scaled in height by the smallest
    // standard error over its own, and the vertical axis. Returns the
    // value-to-view transform scaled vertically by the smallest standard
    // error, for clicks.
    static DSAffineTransform drawMultipleDistributions(int64_t code, const Values &values, double df, int hypothesis,
                                                       double startTickMark, double endTickMark, DSStyle *style,
                                                       const DSRect &bounds, DSGraphicsContext *context);
    // On a coefficient axis from -e to e (e the widest extent of the values,
    // 0 for none): labels, curves in the bounds inset by 40 above and below,
    // axis with a big middle tick.
    static DSAffineTransform drawMultipleDistributions(int64_t code, const Values &values, double df, int hypothesis,
                                                       DSStyle *style, const DSRect &bounds,
                                                       DSGraphicsContext *context);
    // On an odds-ratio axis from the smallest start (at most 1) to the
    // largest end (at least 0): labels, curves, axis (big middle tick only
    // for an end of 2).
    static DSAffineTransform drawMultipleLogDistributions(int64_t code, const Values &values, double df,
                                                          int hypothesis, DSStyle *style, const DSRect &bounds,
                                                          DSGraphicsContext *context);

    // Yes for a variable with categories and any number of selected
    // estimates but one.
    bool wantsToDrawOutcome(DSOutcomeVariable *outcome, DSExplanatoryVariable *variable,
                            const DSEstimateList &estimates) override;
    // "%1 estimated %2s" (variable name, the outcome's figure name).
    QString titleForOutcome(DSOutcomeVariable *outcome, DSExplanatoryVariable *variable,
                            const DSEstimateList &estimates) override;
    std::shared_ptr<const DSCoefficientPictureLegend> legendForOutcome(DSOutcomeVariable *outcome,
                                                                       DSExplanatoryVariable *variable,
                                                                       const DSEstimateList &estimates,
                                                                       DSStyle *style) override;
    void drawOutcome(DSOutcomeVariable *outcome, DSExplanatoryVariable *variable, const DSEstimateList &estimates,
                     DSStyle *style, const DSRect &bounds, DSGraphicsContext *context) override;
    void mouseDownAtPoint(DSPoint point, DSOutcomeVariable *outcome, DSExplanatoryVariable *variable,
                          const DSEstimateList &estimates) override;
};
