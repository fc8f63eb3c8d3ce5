#include "platform/graphics/DSRecordingContext.h"

std::vector<DSRecordedPrimitive> DSRecordingContext::primitives(DSRecordedPrimitive::Kind kind) const
{
    std::vector<DSRecordedPrimitive> out;
    for (const DSRecordedPrimitive &p : m_primitives) {
        if (p.kind == kind)
            out.push_back(p);
    }
    return out;
}

void DSRecordingContext::paintPath(const DSPath &basePath, PathPaint paint, DSFillRule rule, const DSGraphicsState &s)
{
    DSRecordedPrimitive p;
    p.kind = paint == PathPaint::Fill ? DSRecordedPrimitive::Fill : DSRecordedPrimitive::Stroke;
    p.path = basePath;
    p.bounds = basePath.boundingBox();
    p.rule = rule;
    p.color = paint == PathPaint::Fill ? s.fillColor : s.strokeColor;
    p.state = s;
    m_primitives.push_back(p);
}

void DSRecordingContext::clipToPath(const DSPath &basePath, DSFillRule rule, const DSGraphicsState &s)
{
    DSRecordedPrimitive p;
    p.kind = DSRecordedPrimitive::Clip;
    p.path = basePath;
    p.bounds = basePath.boundingBox();
    p.rule = rule;
    p.state = s;
    m_primitives.push_back(p);
}

void DSRecordingContext::paintImage(const DSRect &userRect, const QImage &image, const DSGraphicsState &s)
{
    DSRecordedPrimitive p;
    p.kind = DSRecordedPrimitive::Image;
    DSPath corners;
    corners.addRect(userRect);
    p.path = corners.transformed(s.ctm);
    p.bounds = p.path.boundingBox();
    p.state = s;
    p.imageSize = image.size();
    m_primitives.push_back(p);
}

void DSRecordingContext::paintTextLine(const DSTextLine &line, DSPoint origin, const DSGraphicsState &s)
{
    DSRecordedPrimitive p;
    p.kind = DSRecordedPrimitive::Text;
    const DSAffineTransform toBase = ds_affine_concat(s.textMatrix, s.ctm);
    DSPath box;
    box.addRect(ds_rect_make(origin.x, origin.y - line.descent, line.width, line.ascent + line.descent));
    p.path = box.transformed(toBase);
    p.bounds = p.path.boundingBox();
    p.color = line.color;
    p.state = s;
    p.text = line.text;
    p.fontName = line.font.name();
    p.fontSize = line.font.size();
    p.textWidth = line.width;
    p.textOrigin = ds_point_apply(origin, toBase);
    m_primitives.push_back(p);
}

void DSRecordingContext::beginLayer(const DSGraphicsState &s)
{
    DSRecordedPrimitive p;
    p.kind = DSRecordedPrimitive::BeginLayer;
    p.state = s;
    m_primitives.push_back(p);
}

void DSRecordingContext::endLayer(const DSGraphicsState &s)
{
    DSRecordedPrimitive p;
    p.kind = DSRecordedPrimitive::EndLayer;
    p.state = s;
    m_primitives.push_back(p);
}
