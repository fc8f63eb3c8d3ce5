#pragma once

#include "platform/graphics/ds_geometry.h"
#include "platform/graphics/ds_rgba.h"

#include <cstdint>
#include <optional>

class DSGraphicsContext;
class DSStyle;

// Step curves of a survival or cumulative distribution with fill, grid,
// axes and level notches, as the Predict view's survival picture and the
// survival painters draw them. Points are (x, y) pairs: x a time or value,
// y a level between 0 and 1. Each part is drawn only while the style holds
// its entry ("SurvivorshipGridLine", "SurvivorshipStrokeLine",
// "SurvivorshipAxisLine", "SurvivorshipLevelTextStyle"), so a painter
// switches a part off by removing the entry in a pushed copy of the sheet.
class DSCDFDrawing
{
public:
    // Maps (x, y) to (minX + (x - min) width / (max - min), minY + y height)
    // of the bounds, then draws, in this order, the grid lines, the fill
    // (with a colour), the stroke, the axes and the notches. The context's
    // state is as it was afterwards.
    static void drawCDF(const DSPoint *points, int64_t count, double min, double max,
                        const std::optional<ds_rgba_s> &color, DSStyle *style, const DSRect &bounds,
                        DSGraphicsContext *context);
    // The curve in "SurvivorshipStrokeLine", levels clamped to 0..1 (the
    // first point's not), points inside a vertical run skipped.
    static void strokeCDFLine(const DSPoint *points, int64_t count, const DSAffineTransform &transform,
                              DSStyle *style, DSGraphicsContext *context);
    // The area under the curve in the colour, from the top-left corner of
    // the bounds down to their bottom.
    static void fillCDFLine(const DSPoint *points, int64_t count, const DSAffineTransform &transform,
                            const DSRect &bounds, const ds_rgba_s &color, DSGraphicsContext *context);
    // "SurvivorshipGridLineCount" lines across the bounds, the last on the
    // top edge, in "SurvivorshipGridLine"; none for a count below 1.
    static void drawGridLines(DSStyle *style, const DSRect &bounds, DSGraphicsContext *context);
    // The left and bottom axes in "SurvivorshipAxisLine".
    static void drawAxes(DSStyle *style, const DSRect &bounds, DSGraphicsContext *context);
    // "SurvivorshipGridLabelCount" notches on the left axis, top first, each
    // with its level as a percentage right-aligned 8 points left of the
    // axis; a label that would meet one already drawn is left out (0% is
    // never drawn).
    static void drawNotches(DSStyle *style, const DSRect &bounds, DSGraphicsContext *context);
};
