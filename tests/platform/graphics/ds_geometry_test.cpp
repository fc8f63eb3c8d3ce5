#include "platform/graphics/DSPath.h"
#include "platform/graphics/ds_geometry.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

void expectNear(DSPoint a, DSPoint b, const char *what)
{
    EXPECT_NEAR(a.x, b.x, 1e-9) << what;
    EXPECT_NEAR(a.y, b.y, 1e-9) << what;
}

TEST(Geometry, TransformsComposeInDrawingOrder)
{
    // Translating the transform first moves points before t acts on them.
    const DSAffineTransform scale{2, 0, 0, 3, 0, 0};
    expectNear(ds_point_apply({1, 1}, ds_affine_translate(scale, 10, 0)), {22, 3}, "translate then scale");
    expectNear(ds_point_apply({1, 1}, ds_affine_concat(scale, {1, 0, 0, 1, 10, 0})), {12, 3}, "scale then shift");
    expectNear(ds_point_apply({1, 0}, ds_affine_rotate(ds_affine_identity(), M_PI / 2)), {0, 1}, "rotate");
    const DSAffineTransform t = ds_affine_rotate(ds_affine_translate(scale, 5, -7), 0.3);
    const DSPoint p{3.5, -1.25};
    expectNear(ds_point_apply(ds_point_apply(p, t), ds_affine_invert(t)), p, "inverse");
    const DSAffineTransform singular{0, 0, 0, 0, 1, 1};
    EXPECT_EQ(ds_affine_invert(singular), singular);
}

TEST(Geometry, Rectangles)
{
    const DSRect r = ds_rect_make(10, 20, -4, 6);
    EXPECT_EQ(r.minX(), 6);
    EXPECT_EQ(r.maxX(), 10);
    EXPECT_EQ(r.standardized(), ds_rect_make(6, 20, 4, 6));
    EXPECT_TRUE(ds_rect_intersection(ds_rect_make(0, 0, 1, 1), ds_rect_make(2, 2, 1, 1)).isNull());
    EXPECT_EQ(ds_rect_intersection(ds_rect_make(0, 0, 4, 4), ds_rect_make(2, 1, 4, 4)), ds_rect_make(2, 1, 2, 3));
    EXPECT_EQ(ds_rect_union(DSRect::null(), r), r);
    EXPECT_EQ(ds_rect_apply(ds_rect_make(0, 0, 1, 2), {0, 1, -1, 0, 0, 0}), ds_rect_make(-2, 0, 2, 1));
}

TEST(Geometry, PathsOfArcsAndEllipses)
{
    DSPath circle;
    circle.addEllipseInRect(ds_rect_make(-1, -1, 2, 2));
    for (const auto &polygon : circle.polygons(1e-4)) {
        for (DSPoint p : polygon)
            EXPECT_NEAR(std::hypot(p.x, p.y), 1, 3e-4);
    }
    EXPECT_EQ(circle.boundingBox(), ds_rect_make(-1, -1, 2, 2));

    DSPath arc;
    arc.moveTo({0, 0});
    arc.addArc({0, 0}, 10, 0, M_PI / 2, false);
    expectNear(arc.currentPoint(), {0, 10}, "counter-clockwise quarter");
    EXPECT_EQ(arc.elements()[1].type, DSPathElement::LineTo);
    const auto points = arc.polygons(1e-3)[0];
    for (size_t i = 1; i < points.size(); ++i) {
        EXPECT_GE(points[i].x, -1e-9); // stays in the first quadrant
        EXPECT_GE(points[i].y, -1e-9);
    }
    DSPath clockwise;
    clockwise.addArc({0, 0}, 10, 0, M_PI / 2, true);
    const auto around = clockwise.polygons(1e-3)[0];
    bool wentBelow = false;
    for (DSPoint p : around)
        wentBelow = wentBelow || p.y < -5;
    EXPECT_TRUE(wentBelow) << "a clockwise arc from 0 to 90 degrees goes the long way";
    expectNear(clockwise.currentPoint(), {0, 10}, "clockwise end");
}

} // namespace
