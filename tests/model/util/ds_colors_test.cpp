#include "model/util/ds_colors.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

namespace {

TEST(Colors, HuesOfTexts)
{
    EXPECT_EQ(ds_hue_for_text(""), 261.0 / 1024);
    EXPECT_TRUE(std::isnan(ds_hue_for_text(nullptr)));
    // Five passes of h * 33 + c over "a", by hand: the hash carries over.
    uint64_t h = 5381;
    for (int i = 0; i < 5; ++i)
        h = h * 33 + 'a';
    EXPECT_EQ(ds_hue_for_text("a"), double(h % 1024) / 1024);
    EXPECT_EQ(ds_hue_for_text("Blue"), ds_hue_for_text("Blue"));
    const double hue = ds_hue_for_text("\xC3\xA9t\xC3\xA9"); // bytes above 127 count unsigned
    EXPECT_GE(hue, 0);
    EXPECT_LT(hue, 1);
}

TEST(Colors, HuesOfNumbers)
{
    unsigned char a[kDSDoubleKeyBytes], b[kDSDoubleKeyBytes];
    EXPECT_EQ(ds_hue_for_number(a, 0.0), 0.3);
    EXPECT_EQ(ds_hue_for_number(a, -0.0), 0.3);
    EXPECT_EQ(ds_hue_for_number(a, 2.5), ds_hue_for_number(b, 2.5));
    EXPECT_NE(ds_hue_for_number(a, 1.0), ds_hue_for_number(b, 2.0));
    const double hue = ds_hue_for_number(a, 7.0);
    EXPECT_EQ(hue, ds_hue_for_text(reinterpret_cast<char *>(a)));
}

TEST(Colors, DoubleKeysKeepEveryBitAndHaveNoZeroByte)
{
    const double values[] = {1.0, -1.0, 0.5, 1e-300, 123456.789, std::ldexp(1.0, -1074), INFINITY};
    for (double v : values) {
        unsigned char key[kDSDoubleKeyBytes];
        ASSERT_EQ(ds_encode_double_key(key, v), 10);
        EXPECT_EQ(key[10], 0);
        for (int k = 0; k < 10; ++k)
            EXPECT_NE(key[k], 0) << v << " byte " << k;
        // Undo the marker bits from the two bytes that kept them.
        unsigned char bytes[8];
        for (int k = 0; k < 8; ++k) {
            const unsigned bit = 1u << (k % 4);
            const unsigned kept = key[8 + k / 4] & bit;
            bytes[k] = static_cast<unsigned char>((key[k] & ~bit) | kept);
        }
        double back;
        memcpy(&back, bytes, 8);
        EXPECT_EQ(back, v);
    }
}

TEST(Colors, HslToRgb)
{
    const struct
    {
        double h, s, l, r, g, b;
    } cases[] = {
        {0, 0.7, 0.86, 0.958, 0.762, 0.762},
        {0.5, 0, 0.3, 0.3, 0.3, 0.3},
        {1.0 / 3, 1, 0.5, 0, 1, 0},
        {2.0 / 3, 1, 0.5, 0, 0, 1},
        {0.25, 0.6, 0.25, 0.25, 0.4, 0.1},
    };
    for (const auto &c : cases) {
        ds_rgba_s rgb;
        ds_hsl_to_rgb(&rgb, c.h, c.s, c.l);
        EXPECT_NEAR(rgb.red, c.r, 1e-12) << c.h;
        EXPECT_NEAR(rgb.green, c.g, 1e-12) << c.h;
        EXPECT_NEAR(rgb.blue, c.b, 1e-12) << c.h;
        EXPECT_EQ(rgb.alpha, 1);
    }
    ds_rgba_s plain, direct;
    ds_category_rgb(&plain, 0.4);
    ds_hsl_to_rgb(&direct, 0.4, 0.7, 0.86);
    EXPECT_EQ(plain.red, direct.red);
    EXPECT_EQ(plain.blue, direct.blue);
}

} // namespace
