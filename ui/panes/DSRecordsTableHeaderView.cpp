#include "ui/panes/DSRecordsTableHeaderView.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>

DSRecordsTableHeaderView::DSRecordsTableHeaderView(QWidget *parent) : QHeaderView(Qt::Horizontal, parent)
{
    setSectionsClickable(true);
    setSectionsMovable(true);
    setSortIndicatorShown(true);
    setHighlightSections(true);
    setSectionResizeMode(QHeaderView::Interactive);
    setStretchLastSection(false);
}

void DSRecordsTableHeaderView::mousePressEvent(QMouseEvent *event)
{
    // The view selects a column on every press; only a press with Shift or
    // Ctrl may, so that a plain click only sorts.
    const bool selects = event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier);
    QSignalBlocker block(selects ? nullptr : this);
    QHeaderView::mousePressEvent(event);
}

void DSRecordsTableHeaderView::contextMenuEvent(QContextMenuEvent *event)
{
    m_clickedColumn = logicalIndexAt(event->pos());
    if (QMenu *menu = findChild<QMenu *>(QStringLiteral("column_menu")))
        menu->popup(event->globalPos());
}
