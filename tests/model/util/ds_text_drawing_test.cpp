#include "model/util/ds_text_drawing.h"
#include "platform/graphics/DSBitmapContext.h"
#include "platform/graphics/DSRecordingContext.h"
#include "tests/support/ds_gui_application.h"
#include "tests/support/ds_qt_printers.h"

#include <QFontInfo>
#include <gtest/gtest.h>

namespace {

using Kind = DSRecordedPrimitive::Kind;

class TextDrawing : public testing::Test
{
protected:
    static void SetUpTestSuite() { ds_ensure_gui_application(); }
};

TEST_F(TextDrawing, FontsMapToInstalledFamilies)
{
    const struct
    {
        const char *name;
        const char *family;
        bool bold, italic;
    } cases[] = {
        {"Lucida Grande", "DejaVu Sans", false, false},
        {"LucidaGrande-Bold", "DejaVu Sans", true, false},
        {"TimesNewRomanPS-ItalicMT", "Liberation Serif", false, true},
        {"Menlo-Bold", "DejaVu Sans Mono", true, false},
        {"Chalkduster", "Comic Neue", false, false},
        {"DejaVu Serif-Bold", "DejaVu Serif", true, false},
    };
    for (const auto &c : cases) {
        const QFontInfo info(ds_create_font(c.name, 12).qfont());
        EXPECT_EQ(info.family(), c.family) << c.name;
        EXPECT_EQ(info.bold(), c.bold) << c.name;
        EXPECT_EQ(info.italic(), c.italic) << c.name;
    }
}

TEST_F(TextDrawing, MeasuresInContextUnits)
{
    const DSFont font = ds_create_font("Lucida Grande", 12);
    const double w = ds_text_width("Hello", font);
    EXPECT_GT(w, 20);
    EXPECT_LT(w, 40);
    EXPECT_NEAR(ds_text_width("Hello", ds_create_font("Lucida Grande", 24)), 2 * w, 0.05 * w);
    EXPECT_EQ(ds_text_width(QString(), font), 0);
    EXPECT_NEAR(font.ascent() + font.descent(), 12 * 1.164, 0.5); // DejaVu Sans: 0.928 + 0.236 em
    const struct
    {
        int alignment;
        double x;
    } cases[] = {{DSTextAlignLeft, 100}, {DSTextAlignRight, 100 - w}, {DSTextAlignCenter, 100 - w / 2}};
    for (const auto &c : cases) {
        const DSRect r = ds_text_rect("Hello", font, c.alignment, 100, 50);
        EXPECT_DOUBLE_EQ(r.origin.x, c.x);
        EXPECT_EQ(r.origin.y, 50);
        EXPECT_DOUBLE_EQ(r.width(), w);
        EXPECT_DOUBLE_EQ(r.height(), font.ascent() + font.descent());
    }
    EXPECT_TRUE(ds_text_rect(QString(), font, 0, 1, 2).isNull());
}

TEST_F(TextDrawing, LinesAlignAndMapThroughTheInverseTransform)
{
    const DSFont font = ds_create_font("Lucida Grande", 10);
    const ds_rgba_s blue{0, 0, 1, 1};
    DSRecordingContext c;
    const double w = ds_draw_text_line("Total", DSTextAlignRight, font, &blue, &c, 200, 30, ds_affine_identity());
    // With a transform that doubles x, the point is halved before drawing.
    ds_draw_text_line("Mean", DSTextAlignCenter, font, nullptr, &c, 100, 40, {2, 0, 0, 1, 0, 0});
    EXPECT_EQ(ds_draw_text_line(QString(), 0, font, nullptr, &c, 0, 0, ds_affine_identity()), 0);
    const auto texts = c.primitives(Kind::Text);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].text, "Total");
    EXPECT_DOUBLE_EQ(texts[0].textOrigin.x, 200 - w);
    EXPECT_EQ(texts[0].textOrigin.y, 30);
    EXPECT_EQ(texts[0].color.blue, 1);
    EXPECT_EQ(texts[0].fontName, "Lucida Grande");
    EXPECT_DOUBLE_EQ(texts[1].textOrigin.x, (100 - ds_text_width("Mean", font) / 2) / 2);
    EXPECT_EQ(texts[1].color.red, 0);
    EXPECT_EQ(texts[1].color.alpha, 1);
    EXPECT_TRUE(c.state().textMatrix.isIdentity());
    EXPECT_EQ(c.primitives().size(), 2u);
}

TEST_F(TextDrawing, RectangleWrapsFromTheTopAndCentres)
{
    const DSFont font = ds_create_font("Lucida Grande", 10);
    const double lineHeight = font.ascent() + font.descent() + font.leading();
    DSRecordingContext c;
    const DSRect rect = ds_rect_make(20, 100, 200, 100);
    ds_draw_text_in_rect("alpha beta\ngamma", 0, DSTextAlignCenter, font, nullptr, &c, rect);
    const auto texts = c.primitives(Kind::Text);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].text, "alpha beta");
    EXPECT_EQ(texts[1].text, "gamma");
    EXPECT_NEAR(texts[0].textOrigin.y, 200 - font.ascent(), 1e-9);
    EXPECT_NEAR(texts[1].textOrigin.y, 200 - font.ascent() - lineHeight, 1e-9);
    EXPECT_NEAR(texts[1].textOrigin.x, 20 + (200 - texts[1].textWidth) / 2, 1e-9);
}

// A title too wide for its narrow rectangle, drawn centred on one line.
const QString kTitle = "Distribution of household income";
const DSRect kNarrow = ds_rect_make(10, 0, 60, 100);

DSFont titleFont()
{
    return ds_create_font("Lucida Grande", 12);
}

void drawTitle(DSGraphicsContext *context, int maxLines)
{
    ds_draw_text_in_rect(kTitle, maxLines, DSTextAlignCenter, titleFont(), nullptr, context, kNarrow);
}

// A one-line limit into a narrow rectangle: the first line, left-aligned
// although centring was asked, then "…" right after it.
TEST_F(TextDrawing, OneLineLimitEndsInAnEllipsis)
{
    const DSFont font = titleFont();
    const QString &text = kTitle;
    DSRecordingContext c;
    drawTitle(&c, 1);
    const auto texts = c.primitives(Kind::Text);
    ASSERT_EQ(texts.size(), 2u);
    const DSRecordedPrimitive &first = texts[0], &ellipsis = texts[1];
    EXPECT_TRUE(text.startsWith(first.text.trimmed()));
    EXPECT_LT(first.text.size(), text.size());
    EXPECT_EQ(first.textOrigin.x, 10);
    EXPECT_NEAR(first.textOrigin.y, 100 - font.ascent(), 1e-9);
    EXPECT_EQ(ellipsis.text, QString(QChar(0x2026)));
    EXPECT_DOUBLE_EQ(ellipsis.textOrigin.x, 10 + first.textWidth);
    EXPECT_EQ(ellipsis.textOrigin.y, first.textOrigin.y);

    // Without a limit the same text takes several lines and no ellipsis.
    DSRecordingContext all;
    drawTitle(&all, 0);
    const auto lines = all.primitives(Kind::Text);
    EXPECT_GT(lines.size(), 2u);
    for (const auto &line : lines)
        EXPECT_NE(line.text, QString(QChar(0x2026)));
    // A limit the frame does not reach cuts nothing.
    DSRecordingContext roomy;
    ds_draw_text_in_rect("short", 3, DSTextAlignLeft, font, nullptr, &roomy, kNarrow);
    EXPECT_EQ(roomy.primitives(Kind::Text).size(), 1u);
}

// The same on pixels: ink of the ellipsis sits just after the first line, on
// its baseline, and nothing of the second line is drawn.
TEST_F(TextDrawing, OneLineLimitOnAnImage)
{
    DSRecordingContext recorder;
    drawTitle(&recorder, 1);
    const auto texts = recorder.primitives(Kind::Text);
    ASSERT_EQ(texts.size(), 2u);
    const double ellipsisLeft = texts[1].textOrigin.x, baseline = texts[1].textOrigin.y;
    const double ellipsisRight = ellipsisLeft + texts[1].textWidth;

    DSBitmapContext c(120, 100);
    drawTitle(&c, 1);
    const QImage image = c.makeImage();
    const int row = 100 - int(baseline) - 2; // just above the baseline: the dots
    int dots = 0, beyond = 0, below = 0;
    for (int x = 0; x < image.width(); ++x) {
        const bool ink = qAlpha(image.pixel(x, row)) > 100;
        if (x >= int(ellipsisLeft) && x <= int(ellipsisRight) + 1)
            dots += ink;
        else if (x > int(ellipsisRight) + 2)
            beyond += ink;
    }
    for (int y = 100 - int(baseline) + 6; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            below += qAlpha(image.pixel(x, y)) > 0;
    }
    EXPECT_GE(dots, 3) << "three dots of the ellipsis";
    EXPECT_EQ(beyond, 0);
    EXPECT_EQ(below, 0) << "no second line";
}

} // namespace
