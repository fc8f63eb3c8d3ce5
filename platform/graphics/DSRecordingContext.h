#pragma once

#include "platform/graphics/DSGraphicsContext.h"

#include <QString>
#include <vector>

// One primitive as a recording context saw it, with its geometry in base
// space (y up), where painters compute.
struct DSRecordedPrimitive
{
    enum Kind { Fill, Stroke, Clip, Image, Text, BeginLayer, EndLayer };

    Kind kind = Fill;
    // Fill, Stroke and Clip: the path; Image: the image's corners; Text: the
    // line's box from the baseline start (descent below, ascent above).
    DSPath path;
    DSRect bounds;
    DSFillRule rule = DSFillRule::NonZero;
    // Fill: the fill colour; Stroke: the stroke colour; Text: the line's.
    ds_rgba_s color;
    // The state in force: transform, line, alpha, blend mode, shadow, clip.
    DSGraphicsState state;
    // Text only: the line, its font and where its baseline starts.
    QString text;
    QString fontName;
    double fontSize = 0;
    double textWidth = 0;
    DSPoint textOrigin;
    // Image only.
    QSize imageSize;
};

// A drawing context that draws nothing and keeps every primitive, for tests
// that check positions rather than pixels ("the third bar's top is at y =
// 120"). Text is measured with the real fonts, so widths match what the
// painter backend draws.
class DSRecordingContext : public DSGraphicsContext
{
public:
    const std::vector<DSRecordedPrimitive> &primitives() const { return m_primitives; }
    // The primitives of one kind, in drawing order.
    std::vector<DSRecordedPrimitive> primitives(DSRecordedPrimitive::Kind kind) const;
    void clear() { m_primitives.clear(); }

protected:
    void paintPath(const DSPath &basePath, PathPaint paint, DSFillRule rule, const DSGraphicsState &s) override;
    void clipToPath(const DSPath &basePath, DSFillRule rule, const DSGraphicsState &s) override;
    void paintImage(const DSRect &userRect, const QImage &image, const DSGraphicsState &s) override;
    void paintTextLine(const DSTextLine &line, DSPoint origin, const DSGraphicsState &s) override;
    void beginLayer(const DSGraphicsState &s) override;
    void endLayer(const DSGraphicsState &s) override;

private:
    std::vector<DSRecordedPrimitive> m_primitives;
};
