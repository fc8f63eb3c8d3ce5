#pragma once

#include "regression/DSExplanatoryVariable.h"

#include "platform/graphics/ds_geometry.h"

#include <QString>
#include <QStringList>

#include <cstdint>

class DSGraphicsContext;
class DSStyle;

// Pieces the coefficient painters share.

// The width of a legend's value column: the widest of 56 and the texts in
// the font of "HypothesisLegendRHSTextStyle".
double ds_legend_column_width(const QStringList &texts, DSStyle *style);

// One axis label centred at (x, 20) in "HypothesisAxisLabelTextStyle".
void ds_draw_axis_label(const QString &text, double x, DSStyle *style, DSGraphicsContext *context);

// The vertical axis of a density picture through the value-to-view
// transform, from height 0 to the peak in "HypothesisAxisLine": at 1 for an
// odds-ratio code whose axis ends at 20 or below, else at 0.
void ds_draw_density_y_axis(int64_t code, double end, double peak, const DSAffineTransform &transform,
                            DSStyle *style, DSGraphicsContext *context);

// A click in view coordinates as (value, height) through the inverse of the
// painter's transform; on an odds-ratio axis the value is log(max(x, 0)).
DSPoint ds_click_in_values(DSPoint point, const DSAffineTransform &transform, bool oddsRatios);

// Whether the click (value, height) lies under the curve of (c, se), drawn
// at height g((x - c) / se) / se with g the standardised density of the
// code.
bool ds_point_under_density(DSPoint value, int64_t code, double df, double coefficient, double standardError);

// The variable's estimate whose curve holds the click, the widest curves
// (drawn last, on top) asked first, among its first
// temp_number_of_restrictions estimates that are not omitted; null when no
// curve holds it.
DSExplanatoryVariable::EstimateRef ds_estimate_under_click(DSPoint value, DSExplanatoryVariable *variable,
                                                           qint64 set, int64_t code, double df);
