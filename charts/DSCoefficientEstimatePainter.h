#pragma once

#include "charts/DSCoefficientPicturePainter.h"

#include <QString>

#include <cstdint>
#include <memory>

// The sampling distribution of one regression coefficient: the t or normal
// density of the estimate, centred on the coefficient and scaled by its
// standard error, filled in two colours (the part beyond the null value in
// the outer colour), with standard-error marks, a line at the coefficient, a
// horizontal axis with three labels and a three-row legend (p, coefficient,
// standard error). A categorical variable's other estimates are drawn
// behind in a neutral colour on the shared axis; a click on one of them
// makes it the variable's active estimate. Under odds ratios the axis is in
// exp(β) and every curve is drawn against exp(β).
//
// Codes: the distribution code is the outcome's coefficientDistribution()
// (1 t with df degrees of freedom, 2 normal, 17 and 18 the same against
// exp(β)); the hypothesis code is the variable's null_hypothesis (1 and -1
// one side, others both sides), as the p-value functions take it.
//
// The class operations are the drawing kit of every density picture (the
// multiple-estimate painter, the Predict view's rows, the histogram's t
// curve). Curves are drawn in value units (x in coefficient or odds-ratio
// units, y the standardised density, peak about 0.4) through a transform
// (a, 0, 0, d, tx, ty) the caller gives.
class DSCoefficientEstimatePainter : public DSCoefficientPicturePainter
{
public:
    // Peak of the standardised normal density, 1/sqrt(2π).
    static constexpr double k_normal_peak = 0.3989422804014327;

    // Peak of the standardised t density with df degrees of freedom,
    // 1 / (sqrt(df) B(1/2, df/2)).
    static double tPeak(double df);
    // The t peak for code bit 1, the normal peak for bit 2, else 0.
    static double peakForDistribution(int64_t code, double df);
    // The standardised density at z: t (bit 1), normal (bit 2), else 0.
    static double standardDensity(int64_t code, double df, double z);
    // The margin each plotted range adds on both sides: a tenth of the span.
    static double rangeMargin(double start, double end);

    // "= " and the value by "ModelCoefficientFormatter" ("ModelStandardErrorFormatter").
    static QString stringForCoefficient(double value, DSStyle *style);
    static QString stringForStandardError(double value, DSStyle *style);
    // Sizes of the legend's columns: (37, 60), and (w, 60) with w the widest
    // of 56 and the three value texts in "HypothesisLegendRHSTextStyle".
    static DSSize layoutLeftLegendForCoefficient();
    static DSSize layoutRightLegendForCoefficient(double coefficient, double standardError, double p,
                                                  DSStyle *style);
    // The three rows: p (box in "HypothesisOuterFillColor"), the coefficient
    // under `name` (with the "HypothesisLegendCoefficientLine" sample when
    // the name is one character), SE (with the "HypothesisStandardErrorLine"
    // sample).
    static std::shared_ptr<const DSCoefficientPictureLegend>
    legendForCoefficient(double coefficient, const QString &name, double standardError, double p, DSStyle *style);

    // The horizontal axis of the picture in `bounds` at height 40.5, 23
    // ticks (major at w/12 and 11w/12, and in the middle when asked); returns
    // half the width.
    static double drawXAxisWithBigMiddleTickMark(bool big, DSStyle *style, const DSRect &bounds,
                                                 DSGraphicsContext *context);
    // Labels of a coefficient axis (three values at w/12, w/2, 11w/12) and
    // of an odds-ratio axis (start, 1, end; the 1 where it falls, left out
    // for an end above 20), centred at height 20.
    static void drawAxisLabels(const double values[3], DSStyle *style, const DSRect &bounds,
                               DSGraphicsContext *context);
    static void drawAxisLabelsForOddsRatios(const double values[3], DSStyle *style, const DSRect &bounds,
                                            DSGraphicsContext *context);
    // Labels -e, 0, e, the distribution between -e and e in the bounds inset
    // by 40 above and below, and the axis with a big middle tick.
    static void drawAxesAndDistribution(int64_t code, double coefficient, double standardError, double df,
                                        int hypothesis, double scale, double endTickMark, DSStyle *style,
                                        const DSRect &bounds, DSGraphicsContext *context);
    // Labels start, 1, end, the distribution between them in the inset
    // bounds, and the axis (big middle tick only when end is 2).
    static void drawAxesAndLogDistribution(int64_t code, double coefficient, double standardError, double df,
                                           int hypothesis, double scale, double startTickMark, double endTickMark,
                                           DSStyle *style, const DSRect &bounds, DSGraphicsContext *context);
    // One distribution in `bounds` between start and end (each widened by
    // the margin), scaled in height by `scale`; with the standard-error marks
    // when the style has "HypothesisStandardErrorLine", and a vertical axis
    // when asked (at 1 for odds ratios when end <= 20, else at 0).
    static void drawDistribution(int64_t code, double coefficient, double standardError, double df, int hypothesis,
                                 double scale, double startTickMark, double endTickMark, DSStyle *style,
                                 const DSRect &bounds, bool yAxis, DSGraphicsContext *context);
    // The filled density clipped to the box, the region beyond the null in
    // the outer colour, and the coefficient line, through the transform.
    // Nothing for a NaN or infinite coefficient or standard error.
    static void drawDistribution(int64_t code, const DSRect &box, const DSAffineTransform &transform,
                                 double coefficient, double standardError, double df, int hypothesis,
                                 DSStyle *style, DSGraphicsContext *context);
    // Dashed marks at every standard error (1 to 10 on each side) inside
    // the curve. Nothing for a NaN or infinite coefficient or standard error.
    static void drawStandardErrorsForDistribution(int64_t code, const DSRect &box, const DSAffineTransform &transform,
                                                  double coefficient, double standardError, double df,
                                                  int hypothesis, DSStyle *style, DSGraphicsContext *context);

    // Adds the closed curve of the code to the context's path: 201 points,
    // z = 0.1 i - 9.95 for i < 200 at x = c + z se (exp(c + z se) for
    // odds ratios), from (c - 10 se, 0) (from (0, 0) for odds ratios). Any
    // other code adds nothing. `beta` is B(1/2, df/2).
    static void addDistributionCurve(int64_t code, DSGraphicsContext *context, double coefficient,
                                     double standardError, double df, double beta);
    static void addTDistributionCurveToContext(DSGraphicsContext *context, double coefficient, double standardError,
                                               double df, double beta);
    static void addNormalDistributionCurveToContext(DSGraphicsContext *context, double coefficient,
                                                    double standardError);
    static void addLogTDistributionCurveToContext(DSGraphicsContext *context, double coefficient,
                                                  double standardError, double df, double beta);
    static void addLogNormalDistributionCurveToContext(DSGraphicsContext *context, double coefficient,
                                                       double standardError);

    // Clips to the region beyond the null value, up to M (height 0 to 1):
    // 1 from 0 (1) on, -1 below 0 (1), else the tails farther from the
    // estimate than the null, on a coefficient or an odds-ratio axis.
    static void clipToHypothesis(int hypothesis, double max, double coefficient, DSGraphicsContext *context);
    static void clipToOddsRatioHypothesis(int hypothesis, double max, double coefficient, DSGraphicsContext *context);

    // Yes for exactly one estimate that is the constant (not omitted) or
    // belongs to an included variable.
    bool wantsToDrawOutcome(DSOutcomeVariable *outcome, DSExplanatoryVariable *variable,
                            const DSEstimateList &estimates) override;
    // None for an omitted estimate; "Estimated constant (intercept term)";
    // else "%1 estimated %2" (estimate name, the outcome's figure name).
    QString titleForOutcome(DSOutcomeVariable *outcome, DSExplanatoryVariable *variable,
                            const DSEstimateList &estimates) override;
    std::shared_ptr<const DSCoefficientPictureLegend> legendForOutcome(DSOutcomeVariable *outcome,
                                                                       DSExplanatoryVariable *variable,
                                                                       const DSEstimateList &estimates,
                                                                       DSStyle *style) override;
    void drawOutcome(DSOutcomeVariable *outcome, DSExplanatoryVariable *variable, const DSEstimateList &estimates,
                     DSStyle *style, const DSRect &bounds, DSGraphicsContext *context) override;
    // Keeps the selected estimate when the click is inside its curve, else
    // makes the narrowest-drawn-last curve under the click the variable's
    // active estimate, clearing it when no curve holds the point.
    void mouseDownAtPoint(DSPoint point, DSOutcomeVariable *outcome, DSExplanatoryVariable *variable,
                          const DSEstimateList &estimates) override;
};
