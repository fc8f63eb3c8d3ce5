#pragma once

#include "charts/DSLineStyle.h"

#include "platform/graphics/ds_rgba.h"

#include <QString>

#include <memory>
#include <optional>

// One row of a coefficient picture's legend: a label drawn right-aligned
// against the legend's column boundary ("p ", "SE ", "β "), a value drawn
// left-aligned from it ("= 0.027"), and in front of the row either a filled
// sample square (box_color, which wins) or a sample line (line_style), or
// neither.
struct DSCoefficientPictureLegendEntry
{
    QString left_string;
    QString right_string;
    std::shared_ptr<const DSLineStyle> line_style;
    std::optional<ds_rgba_s> box_color;

    void setBoxColor(const std::optional<ds_rgba_s> &color) { box_color = color; }
};
