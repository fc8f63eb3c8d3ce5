#include "ui/panes/DSLevelIndicatorCell.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionProgressBar>

#include <algorithm>
#include <cmath>

namespace {

// The steps the bar is drawn in.
constexpr int k_bar_steps = 1000;

} // namespace

DSLevelIndicatorCell::DSLevelIndicatorCell(QObject *parent) : QStyledItemDelegate(parent) {}

QRect DSLevelIndicatorCell::indicatorFrame(const QRect &frame) const
{
    const int natural = m_cellSize.width();
    if (frame.width() <= natural)
        return frame;
    return QRect(frame.left() + (frame.width() - natural) / 2, frame.top(), natural, frame.height());
}

double DSLevelIndicatorCell::fraction(const QVariant &value) const
{
    bool ok = false;
    const double x = value.toDouble(&ok);
    const double range = m_maxValue - m_minValue;
    if (!ok || std::isnan(x) || !(range > 0))
        return 0;
    return std::clamp((x - m_minValue) / range, 0.0, 1.0);
}

void DSLevelIndicatorCell::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                 const QModelIndex &index) const
{
    QStyleOptionViewItem cell(option);
    initStyleOption(&cell, index);
    QStyle *style = cell.widget ? cell.widget->style() : QApplication::style();
    cell.text.clear();
    style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, cell.widget);

    QStyleOptionProgressBar bar;
    bar.state = cell.state | QStyle::State_Horizontal;
    bar.direction = cell.direction;
    bar.palette = cell.palette;
    bar.fontMetrics = cell.fontMetrics;
    bar.rect = indicatorFrame(cell.rect);
    bar.minimum = 0;
    bar.maximum = k_bar_steps;
    bar.progress = int(std::lround(fraction(index.data(Qt::DisplayRole)) * k_bar_steps));
    bar.textVisible = false;
    style->drawControl(QStyle::CE_ProgressBar, &bar, painter, cell.widget);
}

QSize DSLevelIndicatorCell::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    return m_cellSize;
}
