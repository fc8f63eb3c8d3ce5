#include "platform/graphics/DSPainterContext.h"

#include <QPaintDevice>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <algorithm>
#include <cmath>

QColor ds_qcolor(const ds_rgba_s &c)
{
    return QColor::fromRgbF(float(std::clamp(c.red, 0.0, 1.0)), float(std::clamp(c.green, 0.0, 1.0)),
                            float(std::clamp(c.blue, 0.0, 1.0)), float(std::clamp(c.alpha, 0.0, 1.0)));
}

QTransform ds_qtransform(const DSAffineTransform &t)
{
    return QTransform(t.a, t.b, t.c, t.d, t.tx, t.ty);
}

namespace {

bool hasShadow(const DSGraphicsState &s)
{
    return s.shadowColor.alpha > 0;
}

// Three box blurs in each direction, close to a Gaussian of the radius.
void blur(QImage &image, int radius)
{
    if (radius < 1)
        return;
    const int w = image.width(), h = image.height();
    std::vector<QRgb> line(std::max(w, h));
    auto pass = [&](bool horizontal) {
        const int n = horizontal ? w : h, lines = horizontal ? h : w;
        for (int l = 0; l < lines; ++l) {
            auto at = [&](int i) -> QRgb & {
                return horizontal ? reinterpret_cast<QRgb *>(image.scanLine(l))[i]
                                  : reinterpret_cast<QRgb *>(image.scanLine(i))[l];
            };
            for (int i = 0; i < n; ++i)
                line[i] = at(i);
            long sum[4] = {0, 0, 0, 0};
            const int span = 2 * radius + 1;
            for (int i = -radius - 1; i < n; ++i) {
                const int in = i + radius, out = i - radius - 1;
                if (in >= 0 && in < n) {
                    sum[0] += qAlpha(line[in]), sum[1] += qRed(line[in]);
                    sum[2] += qGreen(line[in]), sum[3] += qBlue(line[in]);
                }
                if (out >= 0) {
                    sum[0] -= qAlpha(line[out]), sum[1] -= qRed(line[out]);
                    sum[2] -= qGreen(line[out]), sum[3] -= qBlue(line[out]);
                }
                if (i >= 0)
                    at(i) = qRgba(int(sum[1] / span), int(sum[2] / span), int(sum[3] / span), int(sum[0] / span));
            }
        }
    };
    for (int k = 0; k < 3; ++k) {
        pass(true);
        pass(false);
    }
}

} // namespace

DSPainterContext::DSPainterContext(QPainter *painter, double baseHeight)
    : m_painter(painter), m_baseHeight(baseHeight), m_initial(painter->transform())
{
    m_painter->save();
    m_painter->setRenderHint(QPainter::Antialiasing, true);
    m_painter->setRenderHint(QPainter::SmoothPixmapTransform, true);
    m_painter->setRenderHint(QPainter::TextAntialiasing, true);
}

DSPainterContext::~DSPainterContext()
{
    while (!m_layers.empty())
        endTransparencyLayer();
    m_painter->restore();
}

void DSPainterContext::prepare(QPainter *p, const DSGraphicsState &s) const
{
    p->setOpacity(s.alpha * m_layerOpacity);
    p->setCompositionMode(s.blendMode == DSBlendMode::Multiply ? QPainter::CompositionMode_Multiply
                                                               : QPainter::CompositionMode_SourceOver);
    p->setRenderHint(QPainter::Antialiasing, s.antialias);
}

QPen DSPainterContext::pen(const DSGraphicsState &s) const
{
    // A width of 0 draws the thinnest line the device can show.
    QPen pen(ds_qcolor(s.strokeColor), s.lineWidth > 0 ? s.lineWidth : 0);
    pen.setCapStyle(s.lineCap == DSLineCap::Round    ? Qt::RoundCap
                    : s.lineCap == DSLineCap::Square ? Qt::SquareCap
                                                     : Qt::FlatCap);
    pen.setJoinStyle(s.lineJoin == DSLineJoin::Round   ? Qt::RoundJoin
                     : s.lineJoin == DSLineJoin::Bevel ? Qt::BevelJoin
                                                       : Qt::SvgMiterJoin);
    pen.setMiterLimit(s.miterLimit);
    const double unit = s.lineWidth > 0 ? s.lineWidth : 1;
    bool dashed = false;
    for (double length : s.dashLengths)
        dashed = dashed || length > 0;
    if (dashed) {
        // Qt counts dashes in line widths; the state counts user units.
        QList<qreal> pattern;
        for (double length : s.dashLengths)
            pattern << std::max(length, 1e-6) / unit;
        if (pattern.size() % 2)
            pattern << pattern;
        pen.setDashPattern(pattern);
        pen.setDashOffset(s.dashPhase / unit);
    }
    return pen;
}

void DSPainterContext::paintShadow(const QPainterPath &devicePath, const DSGraphicsState &s)
{
    QPainter *p = current();
    const int radius = int(std::ceil(s.shadowBlur / 2));
    const QRect bounds = devicePath.boundingRect().toAlignedRect().adjusted(-3 * radius - 1, -3 * radius - 1,
                                                                               3 * radius + 1, 3 * radius + 1);
    if (bounds.isEmpty() || bounds.width() > 8192 || bounds.height() > 8192)
        return;
    QImage shadow(bounds.size(), QImage::Format_ARGB32_Premultiplied);
    shadow.fill(Qt::transparent);
    {
        QPainter sp(&shadow);
        sp.setRenderHint(QPainter::Antialiasing, true);
        sp.translate(-bounds.topLeft());
        sp.fillPath(devicePath, ds_qcolor(s.shadowColor));
    }
    blur(shadow, radius);
    p->save();
    p->resetTransform();
    prepare(p, s);
    // The offset is in base space, whose y runs up.
    p->drawImage(QPointF(bounds.left() + s.shadowOffset.width, bounds.top() - s.shadowOffset.height), shadow);
    p->restore();
}

void DSPainterContext::paintPath(const DSPath &basePath, PathPaint paint, DSFillRule rule, const DSGraphicsState &s)
{
    QPainter *p = current();
    p->save();
    prepare(p, s);
    if (paint == PathPaint::Fill) {
        const QPainterPath device = flip().map(basePath.toQPainterPath(rule));
        if (hasShadow(s))
            paintShadow(device, s);
        p->resetTransform();
        p->fillPath(device, ds_qcolor(s.fillColor));
    } else {
        // Strokes are drawn in user space so that the transform shapes the
        // pen as it shapes the path.
        const QTransform toDevice = ds_qtransform(s.ctm) * flip();
        const QPainterPath user = basePath.transformed(ds_affine_invert(s.ctm)).toQPainterPath();
        if (hasShadow(s)) {
            QPainterPathStroker stroker(pen(s));
            paintShadow(toDevice.map(stroker.createStroke(user)), s);
        }
        p->setTransform(toDevice);
        p->strokePath(user, pen(s));
    }
    p->restore();
}

void DSPainterContext::clipToPath(const DSPath &basePath, DSFillRule rule, const DSGraphicsState &)
{
    QPainter *p = current();
    const QTransform saved = p->transform();
    p->resetTransform();
    p->setClipPath(flip().map(basePath.toQPainterPath(rule)), p->hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
    p->setTransform(saved);
}

void DSPainterContext::paintImage(const DSRect &userRect, const QImage &image, const DSGraphicsState &s)
{
    QPainter *p = current();
    p->save();
    prepare(p, s);
    // Image rows run down: the first row goes at the top of the rectangle.
    const QTransform upright = QTransform(1, 0, 0, -1, userRect.minX(), userRect.maxY());
    p->setTransform(upright * ds_qtransform(s.ctm) * flip());
    p->drawImage(QRectF(0, 0, userRect.width(), userRect.height()), image);
    p->restore();
}

void DSPainterContext::paintTextLine(const DSTextLine &line, DSPoint origin, const DSGraphicsState &s)
{
    QPainter *p = current();
    p->save();
    prepare(p, s);
    const QTransform upright = QTransform(1, 0, 0, -1, origin.x, origin.y);
    p->setTransform(upright * ds_qtransform(s.textMatrix) * ds_qtransform(s.ctm) * flip());
    const QFont font = line.font.qfont(p->device() ? p->device()->logicalDpiY() : 72);
    if (s.textDrawingMode == DSTextDrawingMode::Fill) {
        p->setFont(font);
        p->setPen(ds_qcolor(line.color));
        p->drawText(QPointF(0, 0), line.text);
    } else {
        QPainterPath glyphs;
        glyphs.addText(QPointF(0, 0), font, line.text);
        if (s.textDrawingMode == DSTextDrawingMode::FillStroke)
            p->fillPath(glyphs, ds_qcolor(line.color));
        QPen outline(ds_qcolor(s.strokeColor), s.lineWidth);
        p->strokePath(glyphs, outline);
    }
    p->restore();
}

void DSPainterContext::beginLayer(const DSGraphicsState &s)
{
    QPaintDevice *device = m_painter->device();
    const bool raster = device && (device->devType() == QInternal::Image || device->devType() == QInternal::Widget
                                   || device->devType() == QInternal::Pixmap);
    if (!raster) {
        m_layerOpacities.push_back(m_layerOpacity);
        m_layerOpacity *= s.alpha;
        m_layers.push_back({nullptr, nullptr, nullptr});
        return;
    }
    const double ratio = device->devicePixelRatioF();
    auto image = std::make_unique<QImage>(int(std::ceil(device->width() * ratio)),
                                          int(std::ceil(device->height() * ratio)),
                                          QImage::Format_ARGB32_Premultiplied);
    image->setDevicePixelRatio(ratio);
    image->fill(Qt::transparent);
    auto painter = std::make_unique<QPainter>(image.get());
    painter->setRenderHints(m_painter->renderHints());
    painter->setTransform(m_painter->transform());
    if (m_painter->hasClipping()) {
        painter->setClipPath(m_painter->clipPath());
    }
    QPainter *outer = m_painter;
    m_painter = painter.get();
    m_layers.push_back({std::move(image), std::move(painter), outer});
}

void DSPainterContext::endLayer(const DSGraphicsState &s)
{
    if (m_layers.empty())
        return;
    Layer layer = std::move(m_layers.back());
    m_layers.pop_back();
    if (!layer.painter) {
        m_layerOpacity = m_layerOpacities.back();
        m_layerOpacities.pop_back();
        return;
    }
    layer.painter->end();
    m_painter = layer.outer;
    m_painter->save();
    prepare(m_painter, s);
    m_painter->resetTransform();
    m_painter->drawImage(QPointF(0, 0), *layer.image);
    m_painter->restore();
}

void DSPainterContext::didSaveState()
{
    current()->save();
}

void DSPainterContext::didRestoreState()
{
    current()->restore();
}
