#pragma once

#include "platform/graphics/DSGraphicsContext.h"

#include <QPainter>
#include <QTransform>
#include <memory>

// The drawing context on a QPainter: widgets, images and PDF pages. The base
// space is the painter's device flipped once (y up, origin at the bottom
// left, height `baseHeight` device units); glyphs and images are turned
// upright again as they are drawn.
//
// The painter stays the caller's and must outlive the context; the context
// saves and restores the painter around each primitive and leaves its state
// as it found it. A transform already on the painter (a scale for a bitmap
// of twice the size) stays under the base space. Transparency layers are painted into an image of the
// device's size and composited when they end (on a device that is not an
// image or a widget, such as a PDF page, the layer's alpha is applied to
// each primitive instead).
class DSPainterContext : public DSGraphicsContext
{
public:
    DSPainterContext(QPainter *painter, double baseHeight);
    ~DSPainterContext() override;

protected:
    void paintPath(const DSPath &basePath, PathPaint paint, DSFillRule rule, const DSGraphicsState &s) override;
    void clipToPath(const DSPath &basePath, DSFillRule rule, const DSGraphicsState &s) override;
    void paintImage(const DSRect &userRect, const QImage &image, const DSGraphicsState &s) override;
    void paintTextLine(const DSTextLine &line, DSPoint origin, const DSGraphicsState &s) override;
    void beginLayer(const DSGraphicsState &s) override;
    void endLayer(const DSGraphicsState &s) override;
    void didSaveState() override;
    void didRestoreState() override;

private:
    // The painter draws into the image, which therefore lives on the heap,
    // where it stays while the layer list grows.
    struct Layer
    {
        std::unique_ptr<QImage> image;
        std::unique_ptr<QPainter> painter;
        QPainter *outer;
    };

    QPainter *current() const { return m_painter; }
    // Base space to device: the one flip, then whatever transform the
    // painter had when the context was made.
    QTransform flip() const { return QTransform(1, 0, 0, -1, 0, m_baseHeight) * m_initial; }
    void prepare(QPainter *p, const DSGraphicsState &s) const;
    void paintShadow(const QPainterPath &devicePath, const DSGraphicsState &s);
    QPen pen(const DSGraphicsState &s) const;

    QPainter *m_painter;
    double m_baseHeight;
    QTransform m_initial;
    std::vector<Layer> m_layers;
    // Opacity of the enclosing layers on devices without image layers.
    double m_layerOpacity = 1;
    std::vector<double> m_layerOpacities;
};

QColor ds_qcolor(const ds_rgba_s &color);
QTransform ds_qtransform(const DSAffineTransform &t);
