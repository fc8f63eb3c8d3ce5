#pragma once

#include "platform/graphics/ds_rgba.h"

#include <QString>

// How a label is drawn: a font by name and size (in the drawing context's
// units) and a colour. A plain value, so style sheets hold it without QtGui;
// the drawing side turns the name into a font.
struct DSTextStyle
{
    QString fontName;
    double size = 0;
    ds_rgba_s color{0, 0, 0, 1};
};
