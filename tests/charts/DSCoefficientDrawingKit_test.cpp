// The drawing kit of the density pictures, checked against R
// (fixtures/make_coefficient_pictures.R): the t, normal and odds-ratio
// curves, the chi-square and F curves with their axis ends, the regions
// beyond the null, the standard-error marks, the legends' texts, and the
// step curves of the survival pictures.
#include "../ui/window/window_test_support.h"
#include "coefficient_picture_fixtures.h"

#include "charts/DSCDFDrawing.h"
#include "charts/DSCoefficientErrorPainter.h"
#include "charts/DSCoefficientEstimatePainter.h"
#include "charts/DSCoefficientJointSignificancePainter.h"
#include "charts/DSStyle.h"
#include "charts/ds_default_style.h"
#include "model/DSStatDocument.h"
#include "platform/format/DSPlatformNumberFormatter.h"
#include "platform/graphics/DSRecordingContext.h"
#include "platform/sterna/sterna.h"
#include "tests/varrow/vrw_test_support.h"

#include <QLocale>

#include <cmath>
#include <map>
#include <string>

namespace {

const auto &expected = coefficientPictureFixtures;

void expectRelative(double actual, double wanted, double tolerance, const std::string &what)
{
    EXPECT_NEAR(actual, wanted, tolerance * std::max(std::fabs(wanted), 1e-300)) << what;
}

// The points of the one path a fill recorded, the close left out.
std::vector<DSPoint> filledPoints(const DSRecordingContext &context)
{
    std::vector<DSPoint> points;
    const auto fills = context.primitives(DSRecordedPrimitive::Fill);
    if (fills.size() != 1)
        return points;
    for (const DSPathElement &element : fills.front().path.elements())
        if (element.type != DSPathElement::Close)
            points.push_back(element.points[0]);
    return points;
}

// The boxes of a recorded path's subpaths.
std::vector<DSRect> subpathBoxes(const DSPath &path)
{
    std::vector<DSRect> boxes;
    for (const auto &polygon : path.polygons()) {
        DSPath one;
        one.addLines(polygon);
        boxes.push_back(one.boundingBox());
    }
    return boxes;
}

class CoefficientDrawingKitTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ensureWindowTestApplication();
        style = ds_make_default_style(nullptr);
    }

    std::unique_ptr<DSStyle> style;
};

} // namespace

TEST_F(CoefficientDrawingKitTest, CurvePointsEqualRDensities)
{
    struct Case
    {
        const char *what;
        int64_t code;
        double df;
        const char *heights;
        bool oddsRatios;
    };
    const Case cases[] = {
        {"t, 5 df", 1, 5, "t5/height", false},
        {"t, 30 df", 1, 30, "t30/height", false},
        {"normal", 2, 0, "normal/height", false},
        {"t against exp(β)", 17, 5, "t5/height", true},
        {"normal against exp(β)", 18, 0, "normal/height", true},
    };
    const double c = 0.3, se = 0.2;
    for (const Case &k : cases) {
        DSRecordingContext context;
        DSCoefficientEstimatePainter::addDistributionCurve(k.code, &context, c, se, k.df, ds_beta(0.5, k.df / 2));
        context.fillPath();
        const std::vector<DSPoint> points = filledPoints(context);
        ASSERT_EQ(points.size(), 201u) << k.what;
        EXPECT_EQ(points[0].x, k.oddsRatios ? 0 : c - 10 * se) << k.what;
        EXPECT_EQ(points[0].y, 0) << k.what;
        const std::vector<double> &heights = expected().at(k.heights);
        for (size_t i = 0; i < 200; ++i) {
            const double z = 0.1 * double(i) - 9.95;
            const double x = k.oddsRatios ? expected().at("odds/x")[i] : c + z * se;
            expectRelative(points[i + 1].x, x, 1e-12, std::string(k.what) + " x " + std::to_string(i));
            expectRelative(points[i + 1].y, heights[i], 1e-12, std::string(k.what) + " height " + std::to_string(i));
        }
    }
    DSRecordingContext none;
    DSCoefficientEstimatePainter::addDistributionCurve(3, &none, c, se, 5, ds_beta(0.5, 2.5));
    EXPECT_TRUE(none.isPathEmpty()) << "only the four codes have a curve";
}

TEST_F(CoefficientDrawingKitTest, ChiSquareAndFCurvesEqualR)
{
    for (const int64_t k : {1, 2, 5}) {
        const std::string name = "chisq" + std::to_string(k);
        const double end = ds_critical_value_chi_square(0.005, k);
        expectRelative(end, expected().at(name + "/end")[0], 1e-12, name + " axis end");
        DSRecordingContext context;
        DSCoefficientJointSignificancePainter::addChiSquareDistributionCurveToContext(&context, k,
                                                                                      std::lgamma(double(k) / 2), end);
        context.fillPath();
        std::vector<DSPoint> points = filledPoints(context);
        const size_t lead = k == 2 ? 2 : 1;
        ASSERT_EQ(points.size(), lead + 201) << name;
        if (k == 2) {
            EXPECT_EQ(points[1].y, 0.5);
        }
        EXPECT_EQ(points.back().x, end);
        EXPECT_EQ(points.back().y, 0);
        for (size_t i = 0; i < 200; ++i)
            expectRelative(points[lead + i].y, expected().at(name + "/height")[i], 1e-12, name + std::to_string(i));
    }
    struct F
    {
        int64_t d1, d2;
    };
    for (const F f : {F{1, 10}, F{2, 10}, F{5, 20}}) {
        const std::string name = "f" + std::to_string(f.d1) + "_" + std::to_string(f.d2);
        DSRecordingContext context;
        DSCoefficientJointSignificancePainter::addFDistributionCurveToContext(
            &context, f.d1, f.d2, ds_log_beta(double(f.d1) / 2, double(f.d2) / 2));
        context.fillPath();
        const std::vector<DSPoint> points = filledPoints(context);
        const size_t lead = f.d1 == 2 ? 2 : 1;
        ASSERT_EQ(points.size(), lead + 200) << name;
        for (size_t i = 0; i < 200; ++i)
            expectRelative(points[lead + i].y, expected().at(name + "/height")[i], 1e-12, name + std::to_string(i));
    }
}

// The picture of a statistic: axis ends, heights, and the line and outer
// fill only for a statistic inside the axis.
TEST_F(CoefficientDrawingKitTest, StatisticPicturesEndTheirAxesAndMarkTheStatistic)
{
    struct Case
    {
        const char *what;
        bool chiSquare;
        int64_t d1, d2;
        double statistic;
        double xmax, ymax; // the axis ends
        bool marked;
    };
    const double chi5Mode = std::exp(1.5 * std::log(3.0) - 1.5 - 2.5 * std::log(2.0) - std::lgamma(2.5));
    const double f5Mode = (0.5 - 0.2) / (1.0 / 20 + 0.5);
    const double f5Height = std::exp(2.5 * std::log(0.25) - ds_log_beta(2.5, 10) + 1.5 * std::log(f5Mode)
                                     - 12.5 * std::log(1 + 0.25 * f5Mode));
    const Case cases[] = {
        {"chi-square 1 inside", true, 1, 0, 3.0, expected().at("chisq1/end")[0], 3, true},
        {"chi-square 2 inside", true, 2, 0, 7.5, expected().at("chisq2/end")[0], 1, true},
        {"chi-square 5 beyond the end", true, 5, 0, 17.0, expected().at("chisq5/end")[0], chi5Mode, false},
        {"F(1, 10) inside", false, 1, 10, 2.5, 5, 2, true},
        {"F(2, 10) beyond 5", false, 2, 10, 6.0, 5, 2, false},
        {"F(5, 20) inside", false, 5, 20, 1.2, 5, f5Height, true},
    };
    const DSRect bounds = ds_rect_make(20, 20, 400, 220);
    for (const Case &c : cases) {
        DSRecordingContext context;
        if (c.chiSquare)
            DSCoefficientJointSignificancePainter::drawChiSquareDistribution(c.statistic, c.d1, style.get(), bounds,
                                                                             &context);
        else
            DSCoefficientJointSignificancePainter::drawFDistribution(c.statistic, c.d1, c.d2, style.get(), bounds,
                                                                     &context);
        const auto fills = context.primitives(DSRecordedPrimitive::Fill);
        ASSERT_EQ(fills.size(), c.marked ? 2u : 1u) << c.what;
        const DSAffineTransform &t = fills[0].state.ctm;
        expectRelative(t.a, 400 / c.xmax, 1e-12, std::string(c.what) + " x scale");
        expectRelative(t.d, 220 / c.ymax, 1e-12, std::string(c.what) + " height");
        EXPECT_EQ(t.tx, 20.5);
        size_t dashed = 0;
        for (const auto &stroke : context.primitives(DSRecordedPrimitive::Stroke))
            if (!stroke.state.dashLengths.empty()) {
                ++dashed;
                EXPECT_NEAR(stroke.path.boundingBox().minX(), 20.5 + c.statistic * 400 / c.xmax, 1e-9) << c.what;
            }
        EXPECT_EQ(dashed, c.marked ? 1u : 0u) << c.what;
    }
    DSRecordingContext nothing;
    DSCoefficientJointSignificancePainter::drawChiSquareDistribution(2, 0, style.get(), bounds, &nothing);
    DSCoefficientJointSignificancePainter::drawFDistribution(2, 3, 0, style.get(), bounds, &nothing);
    EXPECT_TRUE(nothing.primitives().empty());
}

TEST_F(CoefficientDrawingKitTest, HypothesisRegionsLieBeyondTheNull)
{
    struct Case
    {
        const char *what;
        int hypothesis;
        double coefficient;
        bool oddsRatios;
        std::vector<std::pair<double, double>> spans;
    };
    const double M = 3, e06 = std::exp(0.6);
    const Case cases[] = {
        {"code 1, c > 0: from 0 rightwards", 1, 0.5, false, {{0, M}}},
        {"code -1: left of 0", -1, 0.5, false, {{-M, 0}}},
        {"two-sided, c = 0.3: x <= 0 and x >= 0.6", 0, 0.3, false, {{-M, 0}, {0.6, 0.6 + M}}},
        {"two-sided, c = -0.3", 0, -0.3, false, {{-M, -0.6}, {0, M}}},
        {"odds ratios, code 1: from 1", 1, 0.3, true, {{1, M}}},
        {"odds ratios, code -1: below 1", -1, 0.3, true, {{0, 1}}},
        {"odds ratios, two-sided", 2, 0.3, true, {{0, 1}, {e06, e06 + M - 1}}},
        {"odds ratios, two-sided, c < 0", 2, -0.3, true, {{0, std::exp(-0.6)}, {1, M}}},
    };
    for (const Case &c : cases) {
        DSRecordingContext context;
        if (c.oddsRatios)
            DSCoefficientEstimatePainter::clipToOddsRatioHypothesis(c.hypothesis, M, c.coefficient, &context);
        else
            DSCoefficientEstimatePainter::clipToHypothesis(c.hypothesis, M, c.coefficient, &context);
        const auto clips = context.primitives(DSRecordedPrimitive::Clip);
        ASSERT_EQ(clips.size(), 1u) << c.what;
        const std::vector<DSRect> boxes = subpathBoxes(clips.front().path);
        ASSERT_EQ(boxes.size(), c.spans.size()) << c.what;
        for (size_t i = 0; i < boxes.size(); ++i) {
            EXPECT_NEAR(boxes[i].minX(), c.spans[i].first, 1e-12) << c.what;
            EXPECT_NEAR(boxes[i].maxX(), c.spans[i].second, 1e-12) << c.what;
            EXPECT_EQ(boxes[i].minY(), 0) << c.what;
            EXPECT_EQ(boxes[i].maxY(), 1) << c.what;
        }
    }
}

TEST_F(CoefficientDrawingKitTest, StandardErrorMarksStandAtEachStandardError)
{
    const DSAffineTransform t{100, 0, 0, 200, 250, 40.5};
    const double c = 0.3, se = 0.2;
    const DSRect box = ds_rect_make(-2, 0, 4, 0.4);
    for (const int64_t code : {int64_t(2), int64_t(18)}) {
        DSRecordingContext context;
        DSCoefficientEstimatePainter::drawStandardErrorsForDistribution(code, box, t, c, se, 0, 0, style.get(),
                                                                        &context);
        const auto strokes = context.primitives(DSRecordedPrimitive::Stroke);
        ASSERT_EQ(strokes.size(), 1u);
        const auto &elements = strokes.front().path.elements();
        ASSERT_EQ(elements.size(), 40u);
        const double centre = code == 18 ? std::exp(c) : c, step = code == 18 ? se * std::exp(c) : se;
        for (int i = 1; i <= 10; ++i) {
            const size_t at = size_t(i - 1) * 4;
            EXPECT_NEAR(elements[at].points[0].x, 250 + 100 * (centre + i * step), 1e-9) << code << " +" << i;
            EXPECT_NEAR(elements[at + 2].points[0].x, 250 + 100 * (centre - i * step), 1e-9) << code << " -" << i;
            EXPECT_EQ(elements[at].points[0].y, 40.5);
            EXPECT_NEAR(elements[at + 1].points[0].y, 40.5 + 200 * 0.4, 1e-12);
        }
        EXPECT_FALSE(context.primitives(DSRecordedPrimitive::Clip).empty()) << "the marks stay inside the curve";
    }
    DSRecordingContext none;
    DSCoefficientEstimatePainter::drawStandardErrorsForDistribution(2, box, t, NAN, se, 0, 0, style.get(), &none);
    DSCoefficientEstimatePainter::drawStandardErrorsForDistribution(2, box, t, c, INFINITY, 0, 0, style.get(), &none);
    EXPECT_TRUE(none.primitives().empty());
}

// Legend rows print the p-values R gives, to the formatter's digits.
TEST_F(CoefficientDrawingKitTest, LegendTextsPrintRValues)
{
    const DSPlatformNumberFormatter *p = style->numberFormatterForKey(QStringLiteral("ModelPValueFormatter"));
    ASSERT_TRUE(p);
    struct Case
    {
        const char *what;
        double ours;
        const char *oracle;
    };
    const Case cases[] = {
        {"t, two-sided", ds_p_value_t(1.5, 96, 0), "legend/pt"},
        {"t, code 1", ds_p_value_t(1.5, 96, 1), "legend/pt_lower"},
        {"normal", ds_p_value_normal(1.5, 0), "legend/pnorm"},
        {"chi-square", ds_p_value_chi_square(7.5, 2), "legend/pchisq"},
        {"F", ds_p_value_f(2.5, 3, 96), "legend/pf"},
    };
    for (const Case &c : cases) {
        EXPECT_NEAR(c.ours, expected().at(c.oracle)[0], 1e-12) << c.what;
        EXPECT_EQ(DSCoefficientPicturePainter::stringForPValue(c.ours, style.get()),
                  QStringLiteral("= ") + p->stringFromNumber(expected().at(c.oracle)[0]))
            << c.what;
    }
    const auto legend = DSCoefficientEstimatePainter::legendForCoefficient(0.3, QStringLiteral("β"), 0.2,
                                                                           ds_p_value_t(1.5, 96, 0), style.get());
    ASSERT_EQ(legend->entries().size(), 3u);
    EXPECT_EQ(legend->entries()[0].left_string, QStringLiteral("p "));
    EXPECT_TRUE(legend->entries()[0].box_color.has_value());
    EXPECT_EQ(legend->entries()[1].left_string, QStringLiteral("β "));
    EXPECT_TRUE(legend->entries()[1].line_style) << "a one-character name shows the coefficient line";
    EXPECT_EQ(legend->entries()[2].left_string, QStringLiteral("SE "));
    EXPECT_EQ(legend->left_size(), (DSSize{37, 60}));
    EXPECT_EQ(legend->right_size().height, 60);
    EXPECT_GE(legend->right_size().width, 56);
    const auto odds = DSCoefficientEstimatePainter::legendForCoefficient(std::exp(0.3), QStringLiteral("exp(β)"), 0.2,
                                                                         0.5, style.get());
    EXPECT_FALSE(odds->entries()[1].line_style);
    const auto joint = DSCoefficientJointSignificancePainter::legendForJointStatistic(
        2.5, QStringLiteral("F(3, 96)"), ds_p_value_f(2.5, 3, 96), style.get());
    ASSERT_EQ(joint->entries().size(), 2u);
    EXPECT_EQ(joint->entries()[1].left_string, QStringLiteral("F(3, 96) "));
    EXPECT_EQ(joint->left_size(), (DSSize{37, 40}));
}

TEST_F(CoefficientDrawingKitTest, ErrorCodesHaveTheirMessages)
{
    const std::pair<int64_t, const char *> cases[] = {
        {1, "Not enough columns. Try including more."},
        {2, "Not enough observations. Try a simpler model."},
        {3, "Not enough data. Try fewer filters."},
        {4, "Not enough instruments. Try including more."},
        {5, "Some columns are redundant. Try a simpler model."},
        {6, "An error occurred while running the regression."},
        {7, "The regression failed to converge."},
        {8, "An error occurred while running the regression."},
        {9, "An error occurred while running the regression."},
    };
    for (const auto &[code, message] : cases)
        EXPECT_EQ(DSCoefficientErrorPainter::messageForErrorCode(code), QString::fromUtf8(message)) << code;
    EXPECT_TRUE(DSCoefficientErrorPainter::messageForErrorCode(0).isNull());
}

// Times 1, 1, 1, 2: the vertical run at 1 is one segment; the fill runs
// from the top-left corner along the same turning points to the bottom.
TEST_F(CoefficientDrawingKitTest, StepCurvesSkipPointsInsideAVerticalRun)
{
    const std::vector<DSPoint> points = {{0, 1},   {1, 1},   {1, 0.9}, {1, 0.9}, {1, 0.8},
                                         {1, 0.8}, {1, 0.7}, {2, 0.7}, {2, 0.4}};
    const DSRect bounds = ds_rect_make(44, 24, 200, 100);
    const DSAffineTransform t{100, 0, 0, 100, 44, 24};
    DSRecordingContext context;
    DSCDFDrawing::strokeCDFLine(points.data(), int64_t(points.size()), t, style.get(), &context);
    DSCDFDrawing::fillCDFLine(points.data(), int64_t(points.size()), t, bounds, {0, 0, 1, 1}, &context);
    const auto strokes = context.primitives(DSRecordedPrimitive::Stroke);
    ASSERT_EQ(strokes.size(), 1u);
    std::vector<DSPoint> stroked;
    for (const DSPathElement &e : strokes.front().path.elements())
        stroked.push_back(e.points[0]);
    const std::vector<DSPoint> wanted = {{44, 124}, {144, 124}, {144, 94}, {244, 94}, {244, 64}};
    EXPECT_EQ(stroked, wanted);
    const std::vector<DSPoint> filled = filledPoints(context);
    const std::vector<DSPoint> wantedFill = {{44, 124}, {44, 124}, {144, 124}, {144, 94}, {244, 94},
                                             {244, 64}, {244, 24},  {44, 24},   {44, 124}};
    EXPECT_EQ(filled, wantedFill);
}

TEST_F(CoefficientDrawingKitTest, NotchesReadHundredAndFiftyPercent)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    DSRecordingContext context;
    const std::vector<DSPoint> points = {{0, 1}, {1, 1}, {1, 0.5}};
    DSCDFDrawing::drawCDF(points.data(), 3, 0, 2, std::nullopt, style.get(), ds_rect_make(44, 24, 200, 100),
                          &context);
    std::vector<QString> labels;
    for (const auto &text : context.primitives(DSRecordedPrimitive::Text))
        labels.push_back(text.text);
    EXPECT_EQ(labels, (std::vector<QString>{QStringLiteral("100%"), QStringLiteral("50%")}));
    const auto texts = context.primitives(DSRecordedPrimitive::Text);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_NEAR(texts[0].textOrigin.y, 124 - 4, 1e-9);
    EXPECT_NEAR(texts[1].textOrigin.y, 74 - 4, 1e-9);
    EXPECT_NEAR(texts[0].textOrigin.x + texts[0].textWidth, 36, 1e-9) << "right-aligned 8 points left of the axis";
}
