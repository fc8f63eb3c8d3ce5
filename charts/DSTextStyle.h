#pragma once

#include "platform/graphics/DSFont.h"
#include "platform/graphics/ds_rgba.h"

#include <QString>

// How a label is drawn: a font made from a name and a size (in the drawing
// context's units; the name is mapped to an installed font) and a colour.
// Immutable, so style sheets share one instance between their levels.
class DSTextStyle
{
public:
    DSTextStyle(const QString &fontName, double size, const ds_rgba_s &color = {0, 0, 0, 1});

    const DSFont &font() const { return m_font; }
    const ds_rgba_s &color() const { return m_color; }

private:
    DSFont m_font;
    ds_rgba_s m_color;
};
