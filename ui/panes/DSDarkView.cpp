#include "ui/panes/DSDarkView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

DSDarkView::DSDarkView(QWidget *parent) : QWidget(parent) {}

void DSDarkView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor::fromRgbF(0.3f, 0.3f, 0.3f, 1.0f));
}

void DSDarkView::mousePressEvent(QMouseEvent *event)
{
    // Dragging on the backdrop moves the window, as on a title bar.
    if (event->button() == Qt::LeftButton)
        if (QWindow *handle = window()->windowHandle(); handle && handle->startSystemMove())
            return event->accept();
    QWidget::mousePressEvent(event);
}
