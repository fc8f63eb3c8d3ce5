#include "charts/DSTextStyle.h"

#include "model/util/ds_text_drawing.h"

DSTextStyle::DSTextStyle(const QString &fontName, double size, const ds_rgba_s &color)
    : m_font(ds_create_font(fontName, size)), m_color(color)
{
}
