#include "model/util/ds_colors.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace {

double hueOfBytes(const unsigned char *bytes)
{
    uint64_t h = 5381;
    for (int pass = 0; pass < 5; ++pass) {
        for (const unsigned char *c = bytes; *c; ++c)
            h = h * 33 + *c;
    }
    return double(h % 1024) / 1024.0;
}

} // namespace

double ds_hue_for_text(const char *text)
{
    if (!text)
        return std::numeric_limits<double>::quiet_NaN();
    return hueOfBytes(reinterpret_cast<const unsigned char *>(text));
}

double ds_hue_for_number(unsigned char *buffer, double value)
{
    if (value == 0)
        return 0.3;
    ds_encode_double_key(buffer, value);
    return hueOfBytes(buffer);
}

int ds_encode_double_key(unsigned char *buffer, double value)
{
    static_assert(sizeof(double) == 8);
    memcpy(buffer, &value, 8);
    buffer[8] = 0xF0 | (buffer[0] & 1) | (buffer[1] & 2) | (buffer[2] & 4) | (buffer[3] & 8);
    buffer[9] = 0xF0 | (buffer[4] & 1) | (buffer[5] & 2) | (buffer[6] & 4) | (buffer[7] & 8);
    for (int k = 0; k < 8; ++k)
        buffer[k] |= static_cast<unsigned char>(1u << (k % 4));
    buffer[10] = 0;
    return 10;
}

double ds_hsl_channel(double p, double q, double t)
{
    if (t < 0)
        t += 1;
    if (t > 1)
        t -= 1;
    if (t < 1.0 / 6)
        return p + (q - p) * 6 * t;
    if (t < 0.5)
        return q;
    if (t < 2.0 / 3)
        return p + (q - p) * (2.0 / 3 - t) * 6;
    return p;
}

void ds_hsl_to_rgb(ds_rgba_s *out, double h, double s, double l)
{
    if (s == 0) {
        out->red = out->green = out->blue = l;
    } else {
        const double q = l < 0.5 ? l * (1 + s) : l + s - l * s;
        const double p = 2 * l - q;
        out->red = ds_hsl_channel(p, q, h + 1.0 / 3);
        out->green = ds_hsl_channel(p, q, h);
        out->blue = ds_hsl_channel(p, q, h - 1.0 / 3);
    }
    out->alpha = 1;
}

void ds_category_rgb(ds_rgba_s *out, double hue)
{
    ds_hsl_to_rgb(out, hue, kDSPlainSaturation, kDSPlainLightness);
}
