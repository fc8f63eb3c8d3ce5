#pragma once

// One colour: four channels in [0, 1]. A plain record, so the core's colour
// functions (model/util/ds_colors.h) write it without QtGui and the drawing
// context turns it into its own colours.
struct ds_rgba_s
{
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;
};
