// The axis ends of the coefficient and prediction pictures.
#include "charts/DSLineStyle.h"
#include "charts/ds_picture_axes.h"
#include "platform/graphics/DSRecordingContext.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Results are products of powers of ten: equal to a few units in the last
// place.
constexpr double k_tolerance = 1e-12;

TEST(PictureAxesTest, NiceStepsAreTheSmallestOfTwoFiveAndTenTimesAPowerNotBelowTheValue)
{
    struct Case
    {
        double value, step;
    };
    const Case cases[] = {
        {1, 2}, {1.5, 2}, {2, 2}, {2.0001, 5}, {5, 5}, {5.0001, 10}, {10, 20}, {0.03, 0.05}, {0.0101, 0.02}, {700, 1000},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_NEAR(ds_nice_step_from_log10(std::log10(c.value)), c.step, c.step * k_tolerance);
    }
}

TEST(PictureAxesTest, CoefficientAndOddsRatioAxesEnd)
{
    struct Extent
    {
        double coefficient, standardError, extent;
    };
    const Extent extents[] = {{0.5, 0.25, 2}, {2.5, 1, 5}, {3, 1, 5}, {0.03, 0.01, 0.05}, {-3, 1, 5}};
    for (const Extent &c : extents) {
        SCOPED_TRACE(testing::Message() << c.coefficient << " ± " << c.standardError);
        EXPECT_NEAR(ds_coefficient_axis_extent(c.coefficient, c.standardError), c.extent, c.extent * k_tolerance);
    }

    struct OddsRatio
    {
        double coefficient, standardError, start, end;
    };
    const OddsRatio odds[] = {{0, 0.01, 0.95, 1.05}, {0.1, 0.2, 0, 2}, {2, 0.5, 0, 50}};
    for (const OddsRatio &c : odds) {
        SCOPED_TRACE(testing::Message() << c.coefficient << " ± " << c.standardError);
        EXPECT_NEAR(ds_odds_ratio_axis_start(c.coefficient, c.standardError), c.start, k_tolerance);
        EXPECT_NEAR(ds_odds_ratio_axis_end(c.coefficient, c.standardError), c.end, c.end * k_tolerance);
    }
}

TEST(PictureAxesTest, ATransformedSegmentIsStrokedWhereTheTransformPutsIt)
{
    DSRecordingContext context;
    const DSLineStyle dashed(ds_rgba_s{0, 0, 0, 0.4}, 2, {4, 4});
    // Values to view: x' = 2x + 10, y' = 3y + 20.
    const DSAffineTransform toView{2, 0, 0, 3, 10, 20};
    ds_stroke_transformed_segment({1, 1}, {4, 2}, dashed, &context, toView);
    const auto strokes = context.primitives(DSRecordedPrimitive::Stroke);
    ASSERT_EQ(strokes.size(), 1u);
    EXPECT_EQ(strokes[0].bounds, ds_rect_make(12, 23, 6, 3));
    EXPECT_EQ(strokes[0].state.lineWidth, 2) << "the pen is not transformed";
    EXPECT_EQ(strokes[0].state.dashLengths, (std::vector<double>{4, 4}));
    EXPECT_EQ(strokes[0].color.alpha, 0.4);
}

} // namespace
