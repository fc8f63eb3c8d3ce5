#include "../window/window_test_support.h"

#include "ui/panes/DSSelectingTextField.h"
#include "ui/panes/ds_button_text_color.h"
#include "ui/panes/ds_italic_font.h"

#include <QApplication>
#include <QButtonGroup>
#include <QDir>
#include <QFocusEvent>
#include <QImage>
#include <QLocale>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>

#include <cmath>

namespace {

// The leftmost inked column of the top and of the bottom third of an image.
std::pair<int, int> leftInk(const QImage &image)
{
    auto leftmost = [&](int fromRow, int toRow) {
        for (int x = 0; x < image.width(); ++x)
            for (int y = fromRow; y < toRow; ++y)
                if (qGray(image.pixel(x, y)) < 128)
                    return x;
        return image.width();
    };
    return {leftmost(0, image.height() / 3), leftmost(2 * image.height() / 3, image.height())};
}

QImage drawn(const ds_italic_font_s &font)
{
    QImage image(60, 60, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(Qt::black);
    ds_draw_italic_text(painter, QPointF(10, 50), QStringLiteral("l"), font);
    return image;
}

} // namespace

TEST(ViewExtensions, AFamilyWithoutAnItalicFaceIsSlantedThroughTheShear)
{
    ensureWindowTestApplication();
    const QTransform shear = ds_synthetic_italic_transform();
    const QPointF top = shear.map(QPointF(0, -10));
    EXPECT_NEAR(top.x(), 10 * std::tan(14 * M_PI / 180), 1e-6) << "10 above the baseline moves 2.49 right";
    EXPECT_EQ(shear.map(QPointF(5, 0)), QPointF(5, 0)) << "the baseline stays";

    QFont serif(QStringLiteral("DejaVu Serif"), 40);
    const ds_italic_font_s face = ds_italicize(serif);
    EXPECT_FALSE(face.synthetic);
    EXPECT_TRUE(QFontInfo(face.font).italic());

    QFont math(QStringLiteral("DejaVu Math TeX Gyre"), 40);
    ASSERT_EQ(QFontInfo(math).family(), QStringLiteral("DejaVu Math TeX Gyre")) << "the test's family without italics";
    const ds_italic_font_s slanted = ds_italicize(math);
    EXPECT_TRUE(slanted.synthetic);
    EXPECT_EQ(slanted.font.pointSizeF(), 40);

    const QImage upright = drawn({math, false}), sheared = drawn(slanted);
    sheared.save(QDir(QStringLiteral(OSTREL_TEST_BINARY_DIR)).filePath(QStringLiteral("synthetic_italic.png")));
    const auto [uprightTop, uprightBottom] = leftInk(upright);
    const auto [shearedTop, shearedBottom] = leftInk(sheared);
    EXPECT_GT(shearedTop - shearedBottom, uprightTop - uprightBottom + 3) << "the top of the stroke leans right";
}

TEST(ViewExtensions, ButtonTitleColoursAndTheSelectingField)
{
    ensureWindowTestApplication();
    QPushButton empty;
    EXPECT_EQ(ds_button_text_color(&empty), QApplication::palette(&empty).color(QPalette::ButtonText));
    QPushButton button(QStringLiteral("Go"));
    ds_set_button_text_color(&button, Qt::red);
    EXPECT_EQ(ds_button_text_color(&button), QColor(Qt::red));

    QWidget window;
    QButtonGroup group;
    auto *other = new QRadioButton(&window), *own = new QRadioButton(&window);
    group.addButton(other, 1);
    group.addButton(own, 2);
    own->setProperty("tag", -1);
    other->setChecked(true);
    auto *field = new DSSelectingTextField(&window);
    field->setMatrix(&group);
    window.show();
    QFocusEvent focus(QEvent::FocusIn, Qt::TabFocusReason);
    QApplication::sendEvent(field, &focus);
    EXPECT_TRUE(own->isChecked()) << "the field's own choice";
}
