#pragma once

#include "platform/graphics/DSFont.h"
#include "platform/graphics/ds_rgba.h"

#include <QString>

// One line of text laid out in one font and one colour, measured once.
// Drawn by a drawing context at its text position, baseline first.
struct DSTextLine
{
    QString text;
    DSFont font;
    ds_rgba_s color{0, 0, 0, 1};
    // Typographic width (the advance of the whole line, trailing spaces
    // included), ascent and descent.
    double width = 0;
    double ascent = 0;
    double descent = 0;

    static DSTextLine make(const QString &text, const DSFont &font, const ds_rgba_s &color)
    {
        return {text, font, color, font.width(text), font.ascent(), font.descent()};
    }
};
