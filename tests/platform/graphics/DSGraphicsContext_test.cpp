#include "model/util/ds_text_drawing.h"
#include "platform/graphics/DSBitmapContext.h"
#include "platform/graphics/DSRecordingContext.h"
#include "tests/support/ds_gui_application.h"
#include "tests/support/ds_qt_printers.h"

#include <QBuffer>
#include <QPdfWriter>
#include <gtest/gtest.h>

namespace {

using Kind = DSRecordedPrimitive::Kind;

class GraphicsContext : public testing::Test
{
protected:
    static void SetUpTestSuite() { ds_ensure_gui_application(); }
};

const ds_rgba_s kRed{1, 0, 0, 1};

bool isRed(QRgb p) { return qRed(p) > 200 && qGreen(p) < 60 && qBlue(p) < 60 && qAlpha(p) > 200; }
bool isBlank(QRgb p) { return qAlpha(p) == 0; }

TEST_F(GraphicsContext, RecordsBaseSpaceGeometryAndState)
{
    DSRecordingContext c;
    c.translateCTM(100, 50);
    c.scaleCTM(2, 2);
    c.setFillColor(kRed);
    c.saveGState();
    c.setAlpha(0.5);
    c.fillRect(ds_rect_make(1, 2, 3, 4));
    c.restoreGState();
    c.setLineWidth(3);
    c.setLineDash(0, {4, 2});
    c.strokeLineSegments({{0, 0}, {10, 0}});
    const auto fills = c.primitives(Kind::Fill);
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_EQ(fills[0].bounds, ds_rect_make(102, 54, 6, 8));
    EXPECT_EQ(fills[0].state.alpha, 0.5);
    EXPECT_EQ(fills[0].color.red, 1);
    const auto strokes = c.primitives(Kind::Stroke);
    ASSERT_EQ(strokes.size(), 1u);
    EXPECT_EQ(strokes[0].bounds, ds_rect_make(100, 50, 20, 0));
    EXPECT_EQ(strokes[0].state.alpha, 1);
    EXPECT_EQ(strokes[0].state.lineWidth, 3);
    EXPECT_EQ(strokes[0].state.dashLengths, (std::vector<double>{4, 2}));
}

TEST_F(GraphicsContext, PathSurvivesRestoreAndClipsNarrow)
{
    DSRecordingContext c;
    c.saveGState();
    c.saveGState();
    c.scaleCTM(1, 0.5);
    c.addRect(ds_rect_make(0, 0, 10, 10));
    c.restoreGState();
    EXPECT_EQ(c.pathBoundingBox(), ds_rect_make(0, 0, 10, 5));
    c.clip();
    EXPECT_TRUE(c.isPathEmpty());
    EXPECT_EQ(c.clipBoundingBox(), ds_rect_make(0, 0, 10, 5));
    c.clipToRect(ds_rect_make(5, -5, 10, 20));
    EXPECT_EQ(c.clipBoundingBox(), ds_rect_make(5, 0, 5, 5));
    c.restoreGState();
    EXPECT_EQ(c.clipBoundingBox(), DSRect::infinite());
    EXPECT_EQ(c.primitives(Kind::Clip).size(), 2u);
    c.restoreGState(); // one too many: ignored
}

TEST_F(GraphicsContext, LayersTakeTheAlphaOfTheirStart)
{
    DSRecordingContext c;
    c.setAlpha(0.2);
    c.beginTransparencyLayer();
    EXPECT_EQ(c.state().alpha, 1);
    c.fillRect(ds_rect_make(0, 0, 1, 1));
    c.endTransparencyLayer();
    EXPECT_EQ(c.state().alpha, 0.2);
    const auto &all = c.primitives();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].kind, Kind::BeginLayer);
    EXPECT_EQ(all[0].state.alpha, 0.2);
    EXPECT_EQ(all[1].state.alpha, 1);
    EXPECT_EQ(all[2].kind, Kind::EndLayer);
}

TEST_F(GraphicsContext, PainterFlipsOnceAndKeepsGlyphsUpright)
{
    DSBitmapContext c(100, 100);
    c.setFillColor(kRed);
    c.fillRect(ds_rect_make(10, 10, 20, 20)); // near the bottom left
    // A "T" at the top: its bar above its stem in the image as well.
    const DSFont font = ds_create_font("Lucida Grande", 40);
    const ds_rgba_s black{0, 0, 0, 1};
    ds_draw_text_line("T", DSTextAlignLeft, font, &black, &c, 50, 60, ds_affine_identity());
    const QImage image = c.makeImage();
    EXPECT_TRUE(isRed(image.pixel(20, 80)));
    EXPECT_TRUE(isBlank(image.pixel(20, 20)));
    int barInk = 0, stemInk = 0;
    for (int x = 50; x < 80; ++x) {
        barInk += qAlpha(image.pixel(x, 40 - 1 - 26)) > 128; // near the cap height, above the baseline
        stemInk += qAlpha(image.pixel(x, 40 - 1 - 4)) > 128;  // just above the baseline
    }
    EXPECT_GT(barInk, 2 * stemInk) << "the bar of the T must be drawn above its stem";
    EXPECT_GT(stemInk, 0);
}

TEST_F(GraphicsContext, PainterClipsStrokesAndComposites)
{
    DSBitmapContext c(100, 100);
    c.saveGState();
    c.clipToRect(ds_rect_make(0, 0, 50, 100));
    c.setFillColor(kRed);
    c.fillRect(ds_rect_make(0, 0, 100, 100));
    c.restoreGState();
    c.setStrokeColor({0, 0, 1, 1});
    c.setLineWidth(4);
    c.strokeLineSegments({{60, 10}, {60, 90}});
    c.setAlpha(0.5);
    c.beginTransparencyLayer();
    c.setFillColor({0, 1, 0, 1});
    c.fillRect(ds_rect_make(80, 0, 10, 10));
    c.fillRect(ds_rect_make(85, 0, 10, 10)); // overlapping inside the layer: no darker overlap
    c.endTransparencyLayer();
    const QImage image = c.makeImage();
    EXPECT_TRUE(isRed(image.pixel(25, 50)));
    EXPECT_TRUE(isBlank(image.pixel(75, 50)));
    EXPECT_GT(qBlue(image.pixel(60, 50)), 200);
    EXPECT_TRUE(isBlank(image.pixel(66, 50)));
    EXPECT_NEAR(qAlpha(image.pixel(82, 95)), 128, 2);
    EXPECT_NEAR(qAlpha(image.pixel(87, 95)), 128, 2);
}

TEST_F(GraphicsContext, PainterDrawsShadowsAndUprightImages)
{
    DSBitmapContext c(100, 100);
    c.setShadow({5, -5}, 0);
    c.setFillColor(kRed);
    c.fillRect(ds_rect_make(10, 60, 20, 20));
    c.setShadow({0, 0}, 0);
    QImage picture(2, 2, QImage::Format_ARGB32);
    picture.setPixel(0, 0, qRgb(0, 0, 255)); // top row blue
    picture.setPixel(1, 0, qRgb(0, 0, 255));
    picture.setPixel(0, 1, qRgb(0, 255, 0)); // bottom row green
    picture.setPixel(1, 1, qRgb(0, 255, 0));
    c.setShouldAntialias(false);
    c.drawImage(ds_rect_make(50, 0, 40, 40), picture);
    const QImage image = c.makeImage();
    // Shadow right of and below the square (y up, so -5 is down).
    EXPECT_GT(qAlpha(image.pixel(33, 42)), 50);
    EXPECT_FALSE(isRed(image.pixel(33, 42)));
    EXPECT_TRUE(isBlank(image.pixel(8, 18)));
    EXPECT_GT(qBlue(image.pixel(70, 65)), 200);  // upper half of the image
    EXPECT_GT(qGreen(image.pixel(70, 95)), 200); // lower half
}

TEST_F(GraphicsContext, PdfPagesDrawToo)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(72);
        writer.setPageSize(QPageSize(QSizeF(200, 100), QPageSize::Point));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter painter(&writer);
        DSPainterContext c(&painter, writer.height());
        c.setAlpha(0.5);
        c.beginTransparencyLayer();
        c.fillRect(ds_rect_make(10, 10, 50, 50));
        ds_draw_text_line("PDF", DSTextAlignLeft, ds_create_font("Menlo-Bold", 12), nullptr, &c, 10, 80,
                          ds_affine_identity());
        c.endTransparencyLayer();
    }
    EXPECT_TRUE(buffer.data().startsWith("%PDF"));
    EXPECT_GT(buffer.data().size(), 500);
}

} // namespace
