#pragma once

#include <QSize>
#include <QStyledItemDelegate>

// A level indicator for table and outline columns: the index's display
// value (a number between minValue and maxValue) as a bar filled in
// proportion. The indicator keeps its natural width: in a wider cell it is
// centred, in a narrower one it takes the cell as it is.
//
// Main thread only.
class DSLevelIndicatorCell : public QStyledItemDelegate
{
public:
    explicit DSLevelIndicatorCell(QObject *parent = nullptr);

    double minValue() const { return m_minValue; }
    double maxValue() const { return m_maxValue; }
    void setMinValue(double value) { m_minValue = value; }
    void setMaxValue(double value) { m_maxValue = value; }
    // The indicator's natural size (60 x 14 points unless set).
    QSize cellSize() const { return m_cellSize; }
    void setCellSize(const QSize &size) { m_cellSize = size; }

    // The frame the indicator is drawn in: a frame wider than the natural
    // width narrowed to it and moved right by half the difference (floored);
    // any other frame unchanged.
    QRect indicatorFrame(const QRect &frame) const;
    // The filled part of the range, in [0, 1]; 0 for a value that is not a
    // number or an empty range.
    double fraction(const QVariant &value) const;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    double m_minValue = 0;
    double m_maxValue = 1;
    QSize m_cellSize{60, 14};
};
