#include "charts/DSLineStyle.h"

#include "platform/graphics/DSGraphicsContext.h"

DSLineStyle::DSLineStyle(const ds_rgba_s &color, double width, std::vector<double> pattern)
    : m_color(color), m_width(width), m_pattern(std::move(pattern))
{
}

void DSLineStyle::configureContext(DSGraphicsContext *context) const
{
    context->setStrokeColor(m_color);
    context->setLineWidth(m_width);
    context->setLineDash(0, m_pattern);
}
