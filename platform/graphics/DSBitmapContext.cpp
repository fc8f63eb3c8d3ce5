#include "platform/graphics/DSBitmapContext.h"

DSBitmapTarget::DSBitmapTarget(int width, int height, bool withAlpha)
    : image(width, height, withAlpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32)
{
    image.fill(withAlpha ? Qt::transparent : Qt::white);
    painter.begin(&image);
}

DSBitmapTarget::~DSBitmapTarget()
{
    painter.end();
}

DSBitmapContext::DSBitmapContext(int width, int height, bool withAlpha)
    : DSBitmapTarget(width, height, withAlpha), DSPainterContext(&painter, height)
{
}

void DSBitmapContext::clear()
{
    painter.save();
    painter.resetTransform();
    painter.setClipping(false);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(image.rect(), image.hasAlphaChannel() ? QColor(Qt::transparent) : QColor(Qt::white));
    painter.restore();
}
