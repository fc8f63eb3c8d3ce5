#pragma once

#include "platform/graphics/DSPath.h"
#include "platform/graphics/DSTextLine.h"
#include "platform/graphics/ds_geometry.h"
#include "platform/graphics/ds_rgba.h"

#include <QImage>
#include <vector>

enum class DSLineCap { Butt, Round, Square };
enum class DSLineJoin { Miter, Round, Bevel };
enum class DSBlendMode { Normal, Multiply };
enum class DSTextDrawingMode { Fill, Stroke, FillStroke, Invisible };

// The drawing state that saveGState and restoreGState keep.
struct DSGraphicsState
{
    // User space to the context's base space (y up, origin at the bottom
    // left, units of the device).
    DSAffineTransform ctm;
    ds_rgba_s fillColor{0, 0, 0, 1};
    ds_rgba_s strokeColor{0, 0, 0, 1};
    double lineWidth = 1;
    DSLineCap lineCap = DSLineCap::Butt;
    DSLineJoin lineJoin = DSLineJoin::Miter;
    double miterLimit = 10;
    double dashPhase = 0;
    std::vector<double> dashLengths; // user-space lengths; empty is solid
    double alpha = 1;
    DSBlendMode blendMode = DSBlendMode::Normal;
    // A shadow under every filled or stroked path: offset in base space,
    // blur radius; no shadow while the colour is transparent.
    DSSize shadowOffset;
    double shadowBlur = 0;
    ds_rgba_s shadowColor{0, 0, 0, 0};
    bool antialias = true;
    DSAffineTransform textMatrix;
    DSTextDrawingMode textDrawingMode = DSTextDrawingMode::Fill;
    // Bounding box of the clip in base space; DSRect::infinite() for none.
    DSRect clipBox = DSRect::infinite();
};

// The drawing context every painter draws through, shaped like a
// CoreGraphics context: a y-up user space mapped by the current transform
// onto the base space, a graphics state saved and restored as a stack, one
// current path built in user space (and kept, as points of the base space,
// across transform changes and state restores), fills, strokes, clips,
// images, transparency layers and text lines at a text position.
//
// This class keeps the state and the path; a backend draws. Backends: a
// QPainter (DSPainterContext, DSBitmapContext) and a recorder of primitives
// for tests (DSRecordingContext). Not for use from two threads at once.
class DSGraphicsContext
{
public:
    virtual ~DSGraphicsContext();

    void saveGState();
    // Restores the state of the matching save; does nothing without one.
    void restoreGState();
    const DSGraphicsState &state() const { return m_state; }

    DSAffineTransform ctm() const { return m_state.ctm; }
    // Applies t before the current transform.
    void concatCTM(const DSAffineTransform &t);
    void translateCTM(double x, double y);
    void scaleCTM(double sx, double sy);
    void rotateCTM(double angle);

    void setFillColor(const ds_rgba_s &color) { m_state.fillColor = color; }
    void setStrokeColor(const ds_rgba_s &color) { m_state.strokeColor = color; }
    void setLineWidth(double width) { m_state.lineWidth = width; }
    void setLineCap(DSLineCap cap) { m_state.lineCap = cap; }
    void setLineJoin(DSLineJoin join) { m_state.lineJoin = join; }
    void setMiterLimit(double limit) { m_state.miterLimit = limit; }
    void setLineDash(double phase, const std::vector<double> &lengths);
    void setAlpha(double alpha) { m_state.alpha = alpha; }
    void setBlendMode(DSBlendMode mode) { m_state.blendMode = mode; }
    // A shadow of a third of black's opacity, as offset (in base space) and
    // blur radius; offset (0, 0) and blur 0 turn it off.
    void setShadow(DSSize offset, double blur);
    void setShadowWithColor(DSSize offset, double blur, const ds_rgba_s &color);
    void setShouldAntialias(bool antialias) { m_state.antialias = antialias; }

    // The current path: points are given in user space.
    void beginPath() { m_path = DSPath(); }
    void moveToPoint(double x, double y);
    void addLineToPoint(double x, double y);
    void addCurveToPoint(double c1x, double c1y, double c2x, double c2y, double x, double y);
    void addQuadCurveToPoint(double cx, double cy, double x, double y);
    void closePath() { m_path.closeSubpath(); }
    void addRect(const DSRect &rect);
    void addEllipseInRect(const DSRect &rect);
    void addArc(double x, double y, double radius, double startAngle, double endAngle, bool clockwise);
    void addLines(const std::vector<DSPoint> &points);
    void addPath(const DSPath &userPath);
    bool isPathEmpty() const { return m_path.isEmpty(); }
    // The box of the current path in user space; null when it is empty.
    DSRect pathBoundingBox() const;

    // Painting uses up the current path.
    void fillPath();
    void eoFillPath();
    void strokePath();
    // Fill then stroke the same path.
    void fillAndStrokePath();
    void fillRect(const DSRect &rect);
    void strokeRect(const DSRect &rect);
    void fillEllipseInRect(const DSRect &rect);
    void strokeEllipseInRect(const DSRect &rect);
    // Strokes the segments (points[0], points[1]), (points[2], points[3]), ...
    void strokeLineSegments(const std::vector<DSPoint> &points);

    // Intersects the clip with the current path (which it uses up) or with a
    // rectangle; clips cannot grow again but through restoreGState.
    void clip();
    void eoClip();
    void clipToRect(const DSRect &rect);
    // The clip's bounding box in user space.
    DSRect clipBoundingBox() const;

    // Draws `image` upright, stretched over `rect` (user space).
    void drawImage(const DSRect &rect, const QImage &image);

    // Until the matching end, drawing goes into an empty layer that is then
    // composited with the alpha, blend mode and clip of the state at begin.
    void beginTransparencyLayer();
    void endTransparencyLayer();
    int layerDepth() const { return m_layers; }

    void setTextMatrix(const DSAffineTransform &t) { m_state.textMatrix = t; }
    DSAffineTransform textMatrix() const { return m_state.textMatrix; }
    void setTextPosition(double x, double y) { m_textPosition = {x, y}; }
    DSPoint textPosition() const { return m_textPosition; }
    void setTextDrawingMode(DSTextDrawingMode mode) { m_state.textDrawingMode = mode; }
    // Draws the line with its baseline starting at the text position (in
    // text space, mapped by the text matrix and the transform), glyphs
    // upright, and moves the text position to its end.
    void drawTextLine(const DSTextLine &line);

protected:
    enum class PathPaint { Fill, Stroke };

    // Backend work, given the state in force. Paths arrive in base space.
    virtual void paintPath(const DSPath &basePath, PathPaint paint, DSFillRule rule, const DSGraphicsState &s) = 0;
    virtual void clipToPath(const DSPath &basePath, DSFillRule rule, const DSGraphicsState &s) = 0;
    virtual void paintImage(const DSRect &userRect, const QImage &image, const DSGraphicsState &s) = 0;
    // `origin` is the baseline start in text space (before the text matrix).
    virtual void paintTextLine(const DSTextLine &line, DSPoint origin, const DSGraphicsState &s) = 0;
    virtual void beginLayer(const DSGraphicsState &s) = 0;
    virtual void endLayer(const DSGraphicsState &s) = 0;
    virtual void didSaveState() {}
    virtual void didRestoreState() {}

private:
    DSPoint toBase(double x, double y) const { return ds_point_apply({x, y}, m_state.ctm); }
    void paintCurrentPath(PathPaint paint, DSFillRule rule);
    void clipCurrentPath(DSFillRule rule);

    DSGraphicsState m_state;
    std::vector<DSGraphicsState> m_saved;
    std::vector<DSGraphicsState> m_layerStates;
    DSPath m_path; // base space
    DSPoint m_textPosition;
    int m_layers = 0;
};
