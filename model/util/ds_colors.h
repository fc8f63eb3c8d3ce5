#pragma once

#include "platform/graphics/ds_rgba.h"

// Category hues and HSL colours. Pure functions that allocate nothing; the
// colour functions write plain RGBA records that the drawing code turns into
// its own colours.

// Length of the buffer a double key is written into.
inline constexpr int kDSDoubleKeyBytes = 11;

// The stable hue in [0, 1) of a UTF-8 text: five passes of the 33-times hash
// over its bytes, modulo 1024, over 1024. NaN for no text.
double ds_hue_for_text(const char *text);

// The hue of a number: 0.3 for both zeros, else the hue of its double key,
// written into `buffer` (kDSDoubleKeyBytes bytes, owned by the caller).
double ds_hue_for_number(unsigned char *buffer, double value);

// Writes the double key of `value` into `buffer` (kDSDoubleKeyBytes bytes):
// the value's eight bytes, each with one marker bit set, two bytes holding
// the bits the markers covered, and a terminating zero. No byte before the
// terminator is zero and every bit of the value is kept. Returns 10, the
// key's length.
int ds_encode_double_key(unsigned char *buffer, double value);

// RGB (alpha 1) of hue h, saturation s and lightness l, each in [0, 1].
void ds_hsl_to_rgb(ds_rgba_s *out, double h, double s, double l);

// One channel of the HSL conversion for the hue offset t.
double ds_hsl_channel(double p, double q, double t);

// The standard category colour of a hue: saturation 0.7, lightness 0.86.
void ds_category_rgb(ds_rgba_s *out, double hue);

// The saturation and lightness of the three category tints.
inline constexpr double kDSPlainSaturation = 0.7, kDSPlainLightness = 0.86;
inline constexpr double kDSLightSaturation = 0.8, kDSLightLightness = 0.92;
inline constexpr double kDSDarkSaturation = 0.6, kDSDarkLightness = 0.6;
