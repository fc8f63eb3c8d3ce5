#include "platform/graphics/DSGraphicsContext.h"

DSGraphicsContext::~DSGraphicsContext() = default;

void DSGraphicsContext::saveGState()
{
    m_saved.push_back(m_state);
    didSaveState();
}

void DSGraphicsContext::restoreGState()
{
    if (m_saved.empty())
        return;
    m_state = m_saved.back();
    m_saved.pop_back();
    didRestoreState();
}

void DSGraphicsContext::concatCTM(const DSAffineTransform &t)
{
    m_state.ctm = ds_affine_concat(t, m_state.ctm);
}

void DSGraphicsContext::translateCTM(double x, double y)
{
    m_state.ctm = ds_affine_translate(m_state.ctm, x, y);
}

void DSGraphicsContext::scaleCTM(double sx, double sy)
{
    m_state.ctm = ds_affine_scale(m_state.ctm, sx, sy);
}

void DSGraphicsContext::rotateCTM(double angle)
{
    m_state.ctm = ds_affine_rotate(m_state.ctm, angle);
}

void DSGraphicsContext::setLineDash(double phase, const std::vector<double> &lengths)
{
    m_state.dashPhase = phase;
    m_state.dashLengths = lengths;
}

void DSGraphicsContext::setShadow(DSSize offset, double blur)
{
    setShadowWithColor(offset, blur, {0, 0, 0, 1.0 / 3});
}

void DSGraphicsContext::setShadowWithColor(DSSize offset, double blur, const ds_rgba_s &color)
{
    m_state.shadowOffset = offset;
    m_state.shadowBlur = blur;
    m_state.shadowColor = offset.width == 0 && offset.height == 0 && blur == 0 ? ds_rgba_s{0, 0, 0, 0} : color;
}

void DSGraphicsContext::moveToPoint(double x, double y)
{
    m_path.moveTo(toBase(x, y));
}

void DSGraphicsContext::addLineToPoint(double x, double y)
{
    m_path.lineTo(toBase(x, y));
}

void DSGraphicsContext::addCurveToPoint(double c1x, double c1y, double c2x, double c2y, double x, double y)
{
    m_path.curveTo(toBase(c1x, c1y), toBase(c2x, c2y), toBase(x, y));
}

void DSGraphicsContext::addQuadCurveToPoint(double cx, double cy, double x, double y)
{
    m_path.quadCurveTo(toBase(cx, cy), toBase(x, y));
}

void DSGraphicsContext::addRect(const DSRect &rect)
{
    DSPath user;
    user.addRect(rect);
    addPath(user);
}

void DSGraphicsContext::addEllipseInRect(const DSRect &rect)
{
    DSPath user;
    user.addEllipseInRect(rect);
    addPath(user);
}

void DSGraphicsContext::addArc(double x, double y, double radius, double startAngle, double endAngle, bool clockwise)
{
    // The arc is joined to the current point, which lives in base space.
    DSPath user;
    if (!m_path.isEmpty())
        user.moveTo(ds_point_apply(m_path.currentPoint(), ds_affine_invert(m_state.ctm)));
    user.addArc({x, y}, radius, startAngle, endAngle, clockwise);
    DSPath base = user.transformed(m_state.ctm);
    if (!m_path.isEmpty()) {
        // Drop the helper move: the arc continues the current subpath.
        DSPath joined = m_path;
        const auto &elements = base.elements();
        for (size_t i = 1; i < elements.size(); ++i) {
            const DSPathElement &e = elements[i];
            if (e.type == DSPathElement::LineTo)
                joined.lineTo(e.points[0]);
            else
                joined.curveTo(e.points[0], e.points[1], e.points[2]);
        }
        m_path = joined;
    } else {
        m_path = base;
    }
}

void DSGraphicsContext::addLines(const std::vector<DSPoint> &points)
{
    DSPath user;
    user.addLines(points);
    addPath(user);
}

void DSGraphicsContext::addPath(const DSPath &userPath)
{
    m_path.addPath(userPath.transformed(m_state.ctm));
}

DSRect DSGraphicsContext::pathBoundingBox() const
{
    return m_path.transformed(ds_affine_invert(m_state.ctm)).boundingBox();
}

void DSGraphicsContext::paintCurrentPath(PathPaint paint, DSFillRule rule)
{
    if (!m_path.isEmpty())
        paintPath(m_path, paint, rule, m_state);
    m_path = DSPath();
}

void DSGraphicsContext::fillPath()
{
    paintCurrentPath(PathPaint::Fill, DSFillRule::NonZero);
}

void DSGraphicsContext::eoFillPath()
{
    paintCurrentPath(PathPaint::Fill, DSFillRule::EvenOdd);
}

void DSGraphicsContext::strokePath()
{
    paintCurrentPath(PathPaint::Stroke, DSFillRule::NonZero);
}

void DSGraphicsContext::fillAndStrokePath()
{
    if (!m_path.isEmpty())
        paintPath(m_path, PathPaint::Fill, DSFillRule::NonZero, m_state);
    strokePath();
}

void DSGraphicsContext::fillRect(const DSRect &rect)
{
    beginPath();
    addRect(rect);
    fillPath();
}

void DSGraphicsContext::strokeRect(const DSRect &rect)
{
    beginPath();
    addRect(rect);
    strokePath();
}

void DSGraphicsContext::fillEllipseInRect(const DSRect &rect)
{
    beginPath();
    addEllipseInRect(rect);
    fillPath();
}

void DSGraphicsContext::strokeEllipseInRect(const DSRect &rect)
{
    beginPath();
    addEllipseInRect(rect);
    strokePath();
}

void DSGraphicsContext::strokeLineSegments(const std::vector<DSPoint> &points)
{
    beginPath();
    for (size_t i = 0; i + 1 < points.size(); i += 2) {
        moveToPoint(points[i].x, points[i].y);
        addLineToPoint(points[i + 1].x, points[i + 1].y);
    }
    strokePath();
}

void DSGraphicsContext::clipCurrentPath(DSFillRule rule)
{
    const DSRect box = m_path.boundingBox();
    clipToPath(m_path, rule, m_state);
    m_state.clipBox = ds_rect_intersection(m_state.clipBox, box);
    m_path = DSPath();
}

void DSGraphicsContext::clip()
{
    clipCurrentPath(DSFillRule::NonZero);
}

void DSGraphicsContext::eoClip()
{
    clipCurrentPath(DSFillRule::EvenOdd);
}

void DSGraphicsContext::clipToRect(const DSRect &rect)
{
    const DSPath saved = m_path;
    beginPath();
    addRect(rect);
    clip();
    m_path = saved;
}

DSRect DSGraphicsContext::clipBoundingBox() const
{
    if (m_state.clipBox == DSRect::infinite())
        return m_state.clipBox;
    return ds_rect_apply(m_state.clipBox, ds_affine_invert(m_state.ctm));
}

void DSGraphicsContext::drawImage(const DSRect &rect, const QImage &image)
{
    if (!image.isNull() && !rect.isEmpty())
        paintImage(rect.standardized(), image, m_state);
}

void DSGraphicsContext::beginTransparencyLayer()
{
    m_layerStates.push_back(m_state);
    beginLayer(m_state);
    ++m_layers;
    // Inside the layer everything draws fully; the layer as a whole gets the
    // alpha, blend mode and shadow of the state at begin.
    m_state.alpha = 1;
    m_state.blendMode = DSBlendMode::Normal;
    m_state.shadowColor = {0, 0, 0, 0};
    m_state.shadowBlur = 0;
    m_state.shadowOffset = {};
}

void DSGraphicsContext::endTransparencyLayer()
{
    if (m_layerStates.empty())
        return;
    m_state = m_layerStates.back();
    m_layerStates.pop_back();
    --m_layers;
    endLayer(m_state);
}

void DSGraphicsContext::drawTextLine(const DSTextLine &line)
{
    if (m_state.textDrawingMode != DSTextDrawingMode::Invisible && !line.text.isEmpty())
        paintTextLine(line, m_textPosition, m_state);
    m_textPosition.x += line.width;
}
