#pragma once

#include "platform/graphics/ds_rgba.h"

#include <vector>

class DSGraphicsContext;

// How a line is stroked: a colour, a width in points and a dash pattern
// (lengths in points from phase 0; empty is solid). Immutable, so style
// sheets share one instance between their levels.
class DSLineStyle
{
public:
    DSLineStyle(const ds_rgba_s &color, double width, std::vector<double> pattern = {});

    const ds_rgba_s &color() const { return m_color; }
    double width() const { return m_width; }
    const std::vector<double> &pattern() const { return m_pattern; }

    // Makes the context stroke with this style: colour, width and dash (a
    // solid style clears a dash the context had). Changes the context's
    // state in place; callers that want it back save and restore around it.
    void configureContext(DSGraphicsContext *context) const;

private:
    ds_rgba_s m_color;
    double m_width;
    std::vector<double> m_pattern;
};
