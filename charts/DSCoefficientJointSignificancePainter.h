#pragma once

#include "charts/DSCoefficientPicturePainter.h"

#include <QString>

#include <cstdint>
#include <memory>

// A joint (Wald) test of several coefficients: the chi-square or F density
// of the statistic with the area beyond it in the outer colour, a line at
// the statistic and a two-row legend (p and the statistic). It draws when the
// outcome has several coefficient sets and none is active (the variable's
// coefficients tested across the sets), or when several estimates are
// selected without an active variable.
//
// The vector hypothesis code is the model's null_hypothesis when estimates
// are selected, 2 otherwise: 2 all zero ("Combined significance test for"),
// 3 all equal ("Equality test for"), 4 sum zero, 5 sum one.
class DSCoefficientJointSignificancePainter : public DSCoefficientPicturePainter
{
public:
    // "= " and the statistic by "ModelFStatisticFormatter".
    static QString stringForJointStatistic(double statistic, DSStyle *style);
    // (37, 40), and (w, 40) with w the widest of 56 and the two value texts.
    static DSSize layoutLeftLegendForJointStatistic();
    static DSSize layoutRightLegendForJointStatistic(double statistic, double p, DSStyle *style);
    // Two rows: p (box in "HypothesisOuterFillColor"), then the test's
    // name ("χ²(2)", "F(3, 96)") and the statistic.
    static std::shared_ptr<const DSCoefficientPictureLegend>
    legendForJointStatistic(double statistic, const QString &name, double p, DSStyle *style);

    // The closed chi-square density path with k degrees of freedom from 0 to
    // max (lg = lgamma(k/2)), and the F(d1, d2) density path from 0 to 5
    // (lB = log B(d1/2, d2/2)): 200 points at t = (i + 0.5) max / 201
    // (t = 0.025 i + 0.0125 for F) beside the ends.
    static void addChiSquareDistributionCurveToContext(DSGraphicsContext *context, int64_t k, double logGamma,
                                                       double max);
    static void addFDistributionCurveToContext(DSGraphicsContext *context, int64_t d1, int64_t d2, double logBeta);
    // The picture of a statistic in `bounds`: the chi-square axis ends at
    // its 0.005 critical value, the F axis at 5; a statistic at or beyond
    // the end has no line and no outer fill. Nothing without degrees of
    // freedom.
    static void drawChiSquareDistribution(double statistic, int64_t k, DSStyle *style, const DSRect &bounds,
                                          DSGraphicsContext *context);
    static void drawFDistribution(double statistic, int64_t d1, int64_t d2, DSStyle *style, const DSRect &bounds,
                                  DSGraphicsContext *context);

    // The Wald statistic of the selected estimates' coefficients (in the
    // active set, or in every set but a multinomial's base outcome when none
    // is active) under the code; its restrictions into *q. NaN without a
    // fit.
    double postEstimatedTestStatisticForNullHypothesis(int code, DSOutcomeVariable *outcome,
                                                       const DSEstimateList &estimates, int64_t *q);
    // The statistic to show, chi-square W (distribution bit 2) or F = W / q,
    // from the selected estimates, else from the variable across the
    // outcome's sets; NaN with q = 0 when there are neither.
    double testStatisticForNullHypothesis(int code, DSOutcomeVariable *outcome, DSExplanatoryVariable *variable,
                                          const DSEstimateList &estimates, int64_t *q);
    // The number of coefficients tested, for the title.
    int64_t numberOfCoefficientsForOutcome(DSOutcomeVariable *outcome, DSExplanatoryVariable *variable,
                                           const DSEstimateList &estimates);

    bool wantsToDrawOutcome(DSOutcomeVariable *outcome, DSExplanatoryVariable *variable,
                            const DSEstimateList &estimates) override;
    QString titleForOutcome(DSOutcomeVariable *outcome, DSExplanatoryVariable *variable,
                            const DSEstimateList &estimates) override;
    std::shared_ptr<const DSCoefficientPictureLegend> legendForOutcome(DSOutcomeVariable *outcome,
                                                                       DSExplanatoryVariable *variable,
                                                                       const DSEstimateList &estimates,
                                                                       DSStyle *style) override;
    void drawOutcome(DSOutcomeVariable *outcome, DSExplanatoryVariable *variable, const DSEstimateList &estimates,
                     DSStyle *style, const DSRect &bounds, DSGraphicsContext *context) override;

private:
    // The model's code with selected estimates, else 2.
    static int vectorHypothesisCode(DSOutcomeVariable *outcome, const DSEstimateList &estimates);
};
