#pragma once

#include <QFont>
#include <QImage>
#include <QStyledItemDelegate>

// The cell of table and outline columns that shows an image before its
// text: the index's decoration (a QImage, QPixmap or QIcon; the mini charts
// of the summary list) drawn at its own size at the cell's left edge, the
// text after it. A row with text and no image is a group row, its text
// centred vertically. Text is drawn and edited in the title rectangle.
//
// The image slice is the image's width + 3 points (3 without an image); the
// title rectangle is the rest of the cell moved 2 points right and 4 points
// narrower. Text whose width does not fit there shows whole as a tool tip.
//
// Main thread only; the delegate holds no per-row state.
class ImageAndTextCell : public QStyledItemDelegate
{
public:
    // The font is the system font at the small system font size; the
    // model's font role overrides it.
    explicit ImageAndTextCell(QObject *parent = nullptr);

    const QFont &font() const { return m_font; }

    // The index's image, or a null image for none.
    static QImage imageForIndex(const QModelIndex &index);
    // Whether a cell with this image and text is a group cell: no image and
    // a non-empty title.
    static bool isGroupCell(const QImage &image, const QString &title);
    // The width of the image slice: the image's width in points + 3.
    static int imageSliceWidth(const QImage &image);
    // Where text is drawn and edited inside bounds.
    static QRect titleRectForBounds(const QRect &bounds, const QImage &image);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const override;
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;

private:
    QFont m_font;
};
