#pragma once

#include "platform/graphics/DSPainterContext.h"

#include <QImage>

// The image and painter of a bitmap context, made before the context that
// draws through them and destroyed after it.
struct DSBitmapTarget
{
    DSBitmapTarget(int width, int height, bool withAlpha);
    ~DSBitmapTarget();

    QImage image;
    QPainter painter;
};

// A drawing context that owns its bitmap: width x height pixels of 8-bit
// RGB, with a premultiplied alpha channel unless `withAlpha` is false. It
// starts transparent (white without alpha); one unit of the base space is
// one pixel.
class DSBitmapContext : private DSBitmapTarget, public DSPainterContext
{
public:
    DSBitmapContext(int width, int height, bool withAlpha = true);

    // Makes every pixel transparent again (white without alpha), whatever
    // the graphics state, so one bitmap serves picture after picture.
    void clear();
    // A copy of the pixels drawn so far.
    QImage makeImage() const { return image.copy(); }
};
