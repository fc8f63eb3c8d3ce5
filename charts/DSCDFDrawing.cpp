#include "charts/DSCDFDrawing.h"

#include "charts/DSStyle.h"
#include "model/util/ds_text_drawing.h"
#include "platform/format/DSPlatformNumberFormatter.h"
#include "platform/graphics/DSGraphicsContext.h"

#include <algorithm>
#include <vector>

namespace {

double clampedLevel(double y)
{
    return std::clamp(y, 0.0, 1.0);
}

// Whether point i shows on the curve: the first, the last, or one whose x
// differs from a neighbour's (a point inside a vertical run does not).
bool isTurningPoint(const DSPoint *points, int64_t count, int64_t i)
{
    if (i == 0 || i == count - 1)
        return true;
    return points[i].x != points[i - 1].x || points[i].x != points[i + 1].x;
}

DSPoint mapped(const DSPoint &point, const DSAffineTransform &transform)
{
    return ds_point_apply({point.x, clampedLevel(point.y)}, transform);
}

} // namespace

void DSCDFDrawing::drawCDF(const DSPoint *points, int64_t count, double min, double max,
                           const std::optional<ds_rgba_s> &color, DSStyle *style, const DSRect &bounds,
                           DSGraphicsContext *context)
{
    const double a = bounds.width() / (max - min);
    const DSAffineTransform transform{a, 0, 0, bounds.height(), bounds.minX() - min * a, bounds.minY()};
    context->saveGState();
    if (style->lineStyleForKey(QStringLiteral("SurvivorshipGridLine")))
        drawGridLines(style, bounds, context);
    if (color)
        fillCDFLine(points, count, transform, bounds, *color, context);
    if (style->lineStyleForKey(QStringLiteral("SurvivorshipStrokeLine")))
        strokeCDFLine(points, count, transform, style, context);
    if (style->lineStyleForKey(QStringLiteral("SurvivorshipAxisLine")))
        drawAxes(style, bounds, context);
    if (style->textStyleForKey(QStringLiteral("SurvivorshipLevelTextStyle")))
        drawNotches(style, bounds, context);
    context->restoreGState();
}

void DSCDFDrawing::strokeCDFLine(const DSPoint *points, int64_t count, const DSAffineTransform &transform,
                                 DSStyle *style, DSGraphicsContext *context)
{
    const auto line = style->lineStyleForKey(QStringLiteral("SurvivorshipStrokeLine"));
    if (count < 1 || !line)
        return;
    context->beginPath();
    const DSPoint first = ds_point_apply(points[0], transform);
    context->moveToPoint(first.x, first.y);
    for (int64_t i = 1; i < count; ++i)
        if (isTurningPoint(points, count, i)) {
            const DSPoint p = mapped(points[i], transform);
            context->addLineToPoint(p.x, p.y);
        }
    line->configureContext(context);
    context->strokePath();
}

void DSCDFDrawing::fillCDFLine(const DSPoint *points, int64_t count, const DSAffineTransform &transform,
                               const DSRect &bounds, const ds_rgba_s &color, DSGraphicsContext *context)
{
    if (count < 1)
        return;
    context->beginPath();
    context->moveToPoint(bounds.minX(), bounds.maxY());
    DSPoint last{bounds.minX(), bounds.maxY()};
    for (int64_t i = 0; i < count; ++i)
        if (isTurningPoint(points, count, i)) {
            last = mapped(points[i], transform);
            context->addLineToPoint(last.x, last.y);
        }
    context->addLineToPoint(last.x, bounds.minY());
    context->addLineToPoint(bounds.minX(), bounds.minY());
    context->addLineToPoint(bounds.minX(), bounds.maxY());
    context->setFillColor(color);
    context->fillPath();
}

void DSCDFDrawing::drawGridLines(DSStyle *style, const DSRect &bounds, DSGraphicsContext *context)
{
    const int64_t k = style->integerValueForKey(QStringLiteral("SurvivorshipGridLineCount"));
    const auto line = style->lineStyleForKey(QStringLiteral("SurvivorshipGridLine"));
    if (k < 1 || !line)
        return;
    std::vector<DSPoint> segments;
    for (int64_t i = 1; i <= k; ++i) {
        const double y = bounds.minY() + bounds.height() * double(i) / double(k);
        segments.push_back({bounds.minX(), y});
        segments.push_back({bounds.maxX(), y});
    }
    line->configureContext(context);
    context->strokeLineSegments(segments);
}

void DSCDFDrawing::drawAxes(DSStyle *style, const DSRect &bounds, DSGraphicsContext *context)
{
    const auto line = style->lineStyleForKey(QStringLiteral("SurvivorshipAxisLine"));
    if (!line)
        return;
    line->configureContext(context);
    context->strokeLineSegments({{bounds.minX(), bounds.maxY()},
                                 {bounds.minX(), bounds.minY()},
                                 {bounds.minX(), bounds.minY()},
                                 {bounds.maxX(), bounds.minY()}});
}

void DSCDFDrawing::drawNotches(DSStyle *style, const DSRect &bounds, DSGraphicsContext *context)
{
    const int64_t k = style->integerValueForKey(QStringLiteral("SurvivorshipGridLabelCount"));
    const auto text = style->textStyleForKey(QStringLiteral("SurvivorshipLevelTextStyle"));
    const auto line = style->lineStyleForKey(QStringLiteral("SurvivorshipAxisLine"));
    if (k < 1 || !text)
        return;
    const DSPlatformNumberFormatter percent(DSPlatformNumberFormatter::PercentStyle);
    std::vector<DSRect> drawn;
    for (int64_t i = k; i >= 1; --i) {
        const double level = double(i) / double(k);
        const double y = bounds.minY() + bounds.height() * level;
        if (line) {
            line->configureContext(context);
            context->strokeLineSegments({{bounds.minX(), y}, {bounds.minX() - 4, y}});
        }
        const QString label = percent.stringFromNumber(level);
        const DSRect rect = ds_text_rect(label, text->font(), DSTextAlignRight, bounds.minX() - 8, y - 4);
        const bool overlaps = std::any_of(drawn.begin(), drawn.end(), [&](const DSRect &other) {
            return !ds_rect_intersection(rect, other).isNull();
        });
        if (overlaps)
            continue;
        ds_draw_text_line(label, DSTextAlignRight, text->font(), &text->color(), context, bounds.minX() - 8, y - 4,
                          ds_affine_identity());
        drawn.push_back(rect);
    }
}
