#include "../window/window_test_support.h"

#include "charts/DSMiniChartBuilder.h"
#include "charts/DSStyle.h"
#include "charts/ds_default_style.h"
#include "model/DSDataTable.h"
#include "model/DSStatDocument.h"
#include "model/DSTextDataColumn.h"
#include "ui/panes/DSLevelIndicatorCell.h"
#include "ui/panes/ImageAndTextCell.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QLineEdit>
#include <QPainter>
#include <QStandardItemModel>
#include <QToolTip>
#include <QTreeView>

#include <cmath>

namespace {

// A 64 x 17-point image of twice as many pixels, filled with one colour.
QImage chartSizedImage(const QColor &colour)
{
    QImage image(128, 34, QImage::Format_ARGB32_Premultiplied);
    image.fill(colour);
    image.setDevicePixelRatio(2);
    return image;
}

class CellTest : public ::testing::Test
{
protected:
    void SetUp() override { ensureWindowTestApplication(); }

    // Paints the first cell of the model with the delegate into a white
    // image of the rectangle's size.
    QImage paintCell(QAbstractItemDelegate &delegate, const QRect &rect)
    {
        QImage image(rect.size(), QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        QStyleOptionViewItem option;
        option.rect = rect;
        option.state = QStyle::State_Enabled;
        delegate.paint(&painter, option, model.index(0, 0));
        return image;
    }

    QStandardItemModel model;
};

TEST_F(CellTest, TheTitleFollowsTheImageSlice)
{
    const QRect bounds(10, 4, 200, 20);
    const QImage chart = chartSizedImage(Qt::red);
    struct Case
    {
        QImage image;
        int slice;
        QRect title;
    };
    const Case cases[] = {
        {QImage(), 3, QRect(15, 4, 193, 20)},
        {chart, 67, QRect(79, 4, 129, 20)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.slice);
        EXPECT_EQ(ImageAndTextCell::imageSliceWidth(c.image), c.slice);
        EXPECT_EQ(ImageAndTextCell::titleRectForBounds(bounds, c.image), c.title);
    }

    struct GroupCase
    {
        bool image;
        const char *title;
        bool group;
    };
    for (const GroupCase &c : {GroupCase{false, "Columns", true}, GroupCase{false, "", false},
                               GroupCase{true, "Columns", false}}) {
        SCOPED_TRACE(c.title);
        EXPECT_EQ(ImageAndTextCell::isGroupCell(c.image ? chart : QImage(), QString::fromLatin1(c.title)), c.group);
    }
}

TEST_F(CellTest, AnImageIsDrawnAtItsOwnSizeOnePointDownBeforeItsText)
{
    auto *item = new QStandardItem(QStringLiteral("height"));
    item->setData(chartSizedImage(Qt::red), Qt::DecorationRole);
    model.appendRow(item);
    ImageAndTextCell cell;
    EXPECT_EQ(cell.font().pointSizeF(), 11);

    const QImage painted = paintCell(cell, QRect(0, 0, 220, 22));
    EXPECT_EQ(painted.pixelColor(0, 0), QColor(Qt::white)) << "the image starts one point down";
    EXPECT_EQ(painted.pixelColor(0, 1), QColor(Qt::red));
    EXPECT_EQ(painted.pixelColor(63, 17), QColor(Qt::red)) << "64 x 17 points, not scaled to the row";
    EXPECT_EQ(painted.pixelColor(64, 10), QColor(Qt::white));
    EXPECT_EQ(painted.pixelColor(10, 18), QColor(Qt::white));
    int firstText = -1;
    for (int x = 64; x < painted.width() && firstText < 0; ++x)
        for (int y = 0; y < painted.height(); ++y)
            if (painted.pixelColor(x, y) != QColor(Qt::white)) {
                firstText = x;
                break;
            }
    EXPECT_GE(firstText, 69) << "the text starts in the title rectangle";
    EXPECT_LT(firstText, 80);

    QStyleOptionViewItem option;
    option.rect = QRect(0, 0, 220, 22);
    model.appendRow(new QStandardItem(QStringLiteral("height")));
    const QSize withImage = cell.sizeHint(option, model.index(0, 0));
    const QSize without = cell.sizeHint(option, model.index(1, 0));
    EXPECT_EQ(withImage.width() - without.width(), 64) << "a slice of 64 + 3 points instead of 3";
    EXPECT_GE(withImage.height(), 18);
    QLineEdit editor;
    cell.updateEditorGeometry(&editor, option, model.index(0, 0));
    EXPECT_EQ(editor.geometry(), QRect(69, 0, 220 - 67 - 4, 22));
}

// The rows of ink in the columns from x on, as (first, last); (-1, -1)
// for none.
std::pair<int, int> inkRows(const QImage &image, int x)
{
    int first = -1, last = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int column = x; column < image.width(); ++column)
            if (image.pixelColor(column, y) != QColor(Qt::white)) {
                first = first < 0 ? y : first;
                last = y;
                break;
            }
    return {first, last};
}

TEST_F(CellTest, AGroupRowCentresItsTitleWhateverTheAlignment)
{
    // Top-aligned text shows where the cell puts its title rectangle.
    auto *group = new QStandardItem(QStringLiteral("Columns"));
    group->setData(int(Qt::AlignLeft | Qt::AlignTop), Qt::TextAlignmentRole);
    model.appendRow(group);
    ImageAndTextCell cell;
    const QRect tall(0, 0, 200, 60);
    const auto [top, bottom] = inkRows(paintCell(cell, tall), 0);
    ASSERT_GE(top, 0);
    EXPECT_NEAR((top + bottom) / 2.0, 30, 6) << "centred: " << top << ".." << bottom;

    // With an image the row is no group: the title stays at the top.
    group->setData(chartSizedImage(Qt::red), Qt::DecorationRole);
    const auto [imageTop, imageBottom] = inkRows(paintCell(cell, tall), 70);
    EXPECT_LT(imageBottom, 25) << imageTop << ".." << imageBottom;

    // An empty title is no group either, and draws nothing.
    group->setData(QVariant(), Qt::DecorationRole);
    group->setText(QString());
    EXPECT_EQ(inkRows(paintCell(cell, tall), 0), std::make_pair(-1, -1));
}

TEST_F(CellTest, TruncatedTextShowsWholeAsAToolTip)
{
    model.appendRow(new QStandardItem(QStringLiteral("a description far too long for its narrow cell")));
    model.appendRow(new QStandardItem(QStringLiteral("short")));
    QTreeView view;
    view.setModel(&model);
    ImageAndTextCell cell;
    view.setItemDelegate(&cell);
    view.resize(200, 100);
    view.show();
    QStyleOptionViewItem option;
    option.rect = QRect(0, 0, 120, 20);
    option.widget = &view;
    const QPoint inside = view.viewport()->mapToGlobal(QPoint(10, 10));
    QHelpEvent event(QEvent::ToolTip, QPoint(10, 10), inside);
    EXPECT_TRUE(cell.helpEvent(&event, &view, option, model.index(0, 0)));
    EXPECT_EQ(QToolTip::text(), model.item(0)->text());
    EXPECT_FALSE(cell.helpEvent(&event, &view, option, model.index(1, 0))) << "text that fits needs none";
}

TEST_F(CellTest, TheLevelIndicatorKeepsItsNaturalWidthCentred)
{
    DSLevelIndicatorCell cell;
    ASSERT_EQ(cell.cellSize().width(), 60);
    struct Case
    {
        QRect frame;
        QRect drawn;
    };
    const Case cases[] = {
        {QRect(0, 0, 100, 16), QRect(20, 0, 60, 16)},
        {QRect(5, 3, 61, 16), QRect(5, 3, 60, 16)},
        {QRect(5, 3, 60, 16), QRect(5, 3, 60, 16)},
        {QRect(5, 3, 40, 16), QRect(5, 3, 40, 16)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.frame.width());
        EXPECT_EQ(cell.indicatorFrame(c.frame), c.drawn);
    }
    cell.setMaxValue(4);
    struct Level
    {
        QVariant value;
        double fraction;
    };
    for (const Level &l : {Level{1, 0.25}, Level{4, 1}, Level{9, 1}, Level{-1, 0}, Level{NAN, 0},
                           Level{QStringLiteral("many"), 0}}) {
        SCOPED_TRACE(l.value.toString().toStdString());
        EXPECT_DOUBLE_EQ(cell.fraction(l.value), l.fraction);
    }
    cell.setMaxValue(0);
    EXPECT_EQ(cell.fraction(0.5), 0) << "an empty range fills nothing";

    model.appendRow(new QStandardItem);
    model.item(0)->setData(1.0, Qt::DisplayRole);
    cell.setMaxValue(1);
    const QImage painted = paintCell(cell, QRect(0, 0, 200, 20));
    EXPECT_EQ(painted.pixelColor(10, 10), QColor(Qt::white)) << "nothing left of the centred indicator";
    EXPECT_EQ(painted.pixelColor(190, 10), QColor(Qt::white));
    EXPECT_NE(painted.pixelColor(100, 10), QColor(Qt::white));
}

TEST_F(CellTest, AListOfChartsAndLevelsRendersToAPicture)
{
    DSStatDocument document;
    ASSERT_TRUE(document.initWithType(DSStatDocument::nativeType));
    auto *table = ds_object_cast<DSDataTable>(addTestTable(document, QStringLiteral("T")));
    table->setNum_records(5);
    DSColumn *colours = addTextColumn(table, QStringLiteral("colour"), {"red", "green", "blue", "red", "green"});
    DSColumn *sizes = addTextColumn(table, QStringLiteral("size"), {"S", "M", "L", "XL", "XXL"});
    for (DSColumn *column : {colours, sizes})
        column->setTreat_as_categories(false);
    const std::unique_ptr<DSStyle> style = ds_make_default_style(&document);
    DSMiniChartBuilder builder([&style] {
        DSMiniChartInputs inputs;
        inputs.style = style.get();
        return inputs;
    });

    model.setHorizontalHeaderLabels({QStringLiteral("Picture"), QStringLiteral("Level")});
    model.appendRow({new QStandardItem(QStringLiteral("Columns")), new QStandardItem});
    double level = 0.3;
    for (DSColumn *column : {colours, sizes}) {
        builder.refreshImageForColumn(column, nullptr, {});
        auto *name = new QStandardItem(column->name());
        name->setData(*column->temp_image(), Qt::DecorationRole);
        auto *value = new QStandardItem;
        value->setData(level, Qt::DisplayRole);
        level += 0.5;
        model.appendRow({name, value});
    }

    QTreeView view;
    view.setModel(&model);
    view.setRootIsDecorated(false);
    view.setUniformRowHeights(true);
    ImageAndTextCell picture;
    DSLevelIndicatorCell indicator;
    view.setItemDelegateForColumn(0, &picture);
    view.setItemDelegateForColumn(1, &indicator);
    // A grey list shows where the charts' white bands end.
    QPalette grey = view.palette();
    grey.setColor(QPalette::Base, QColor(225, 225, 225));
    view.setPalette(grey);
    view.resize(360, 120);
    view.header()->resizeSection(0, 200);
    view.show();
    EXPECT_GE(view.visualRect(model.index(1, 0)).height(), 18) << "rows fit the charts";
    keepPicture(&view, QStringLiteral("image_and_level_cells.png"));
}

} // namespace
