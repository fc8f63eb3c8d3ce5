#include "ui/panes/ImageAndTextCell.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QToolTip>

#include <cmath>

namespace {

// The system's small font size, in points.
constexpr qreal k_small_system_font_size = 11;
// The image slice's margin, and the title's inset from the slice.
constexpr int k_image_margin = 3;
constexpr int k_title_offset = 2;
constexpr int k_title_shortening = 4;

QStyle *styleOf(const QStyleOptionViewItem &option)
{
    return option.widget ? option.widget->style() : QApplication::style();
}

} // namespace

ImageAndTextCell::ImageAndTextCell(QObject *parent) : QStyledItemDelegate(parent), m_font(QApplication::font())
{
    m_font.setPointSizeF(k_small_system_font_size);
}

QImage ImageAndTextCell::imageForIndex(const QModelIndex &index)
{
    const QVariant decoration = index.data(Qt::DecorationRole);
    switch (decoration.typeId()) {
    case QMetaType::QImage:
        return decoration.value<QImage>();
    case QMetaType::QPixmap:
        return decoration.value<QPixmap>().toImage();
    case QMetaType::QIcon: {
        const QIcon icon = decoration.value<QIcon>();
        const QList<QSize> sizes = icon.availableSizes();
        return sizes.isEmpty() ? QImage() : icon.pixmap(sizes.first()).toImage();
    }
    default:
        return {};
    }
}

bool ImageAndTextCell::isGroupCell(const QImage &image, const QString &title)
{
    return image.isNull() && !title.isEmpty();
}

int ImageAndTextCell::imageSliceWidth(const QImage &image)
{
    const int width = image.isNull() ? 0 : int(std::ceil(image.deviceIndependentSize().width()));
    return width + k_image_margin;
}

QRect ImageAndTextCell::titleRectForBounds(const QRect &bounds, const QImage &image)
{
    QRect title = bounds.adjusted(imageSliceWidth(image), 0, 0, 0);
    title.translate(k_title_offset, 0);
    title.setWidth(title.width() - k_title_shortening);
    return title;
}

void ImageAndTextCell::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    option->font = m_font;
    QStyledItemDelegate::initStyleOption(option, index);
    // The image is drawn by the cell, at its own size, not as an icon.
    option->features &= ~QStyleOptionViewItem::HasDecoration;
    option->icon = QIcon();
    option->decorationSize = QSize();
}

void ImageAndTextCell::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    QStyle *style = styleOf(opt);
    const QImage image = imageForIndex(index);

    // The row's background and selection span the whole cell.
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, painter, opt.widget);
    QStyleOptionViewItem text(opt);
    text.rect = titleRectForBounds(opt.rect, image);
    if (!image.isNull()) {
        const QRect slice(opt.rect.topLeft(), QSize(imageSliceWidth(image), opt.rect.height()));
        if (opt.backgroundBrush.style() != Qt::NoBrush)
            painter->fillRect(slice, opt.backgroundBrush);
        painter->drawImage(QPointF(slice.left(), slice.top() + 1), image);
    } else if (isGroupCell(image, opt.text)) {
        const int offset = int(std::floor((text.rect.height() - QFontMetrics(opt.font).height()) / 2.0));
        if (offset > 0)
            text.rect.adjust(0, offset, 0, -offset);
    }
    text.backgroundBrush = Qt::NoBrush;
    style->drawControl(QStyle::CE_ItemViewItem, &text, painter, text.widget);
}

QSize ImageAndTextCell::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    const QImage image = imageForIndex(index);
    size.rwidth() += imageSliceWidth(image);
    if (!image.isNull())
        size.setHeight(std::max(size.height(), int(std::ceil(image.deviceIndependentSize().height())) + 1));
    return size;
}

void ImageAndTextCell::updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                                            const QModelIndex &index) const
{
    editor->setGeometry(titleRectForBounds(option.rect, imageForIndex(index)));
}

bool ImageAndTextCell::helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                                 const QModelIndex &index)
{
    if (!event || !view || event->type() != QEvent::ToolTip || !index.data(Qt::ToolTipRole).isNull())
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    const QRect title = titleRectForBounds(opt.rect, imageForIndex(index));
    // Truncated text shows whole, in the cell's font alone.
    if (!opt.text.isEmpty() && QFontMetrics(opt.font).horizontalAdvance(opt.text) > title.width()) {
        QToolTip::showText(event->globalPos(), opt.text.toHtmlEscaped(), view, title);
        return true;
    }
    QToolTip::hideText();
    return false;
}
