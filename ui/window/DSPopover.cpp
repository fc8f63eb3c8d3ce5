#include "ui/window/DSPopover.h"

#include <QKeyEvent>

DSPopover::DSPopover(QWidget *parent) : QFrame(parent, Qt::Popup)
{
    setFrameShape(QFrame::StyledPanel);
}

QPoint DSPopover::originBesideView(const QWidget *view, const QSize &size, int edge)
{
    const QRect anchor(view->mapToGlobal(QPoint(0, 0)), view->size());
    switch (edge) {
    case MinXEdge:
        return {anchor.left() - size.width(), anchor.center().y() - size.height() / 2};
    case MaxXEdge:
        return {anchor.right() + 1, anchor.center().y() - size.height() / 2};
    case MaxYEdge:
        return {anchor.center().x() - size.width() / 2, anchor.top() - size.height()};
    default:
        return {anchor.center().x() - size.width() / 2, anchor.bottom() + 1};
    }
}

void DSPopover::showRelativeToView(const QWidget *view, int edge)
{
    adjustSize();
    setGeometry(QRect(originBesideView(view, size(), edge), size()));
    show();
}

void DSPopover::cancelOperation()
{
    close();
}

void DSPopover::toggleFullScreen()
{
    QWidget *window = parentWidget() ? parentWidget()->window() : nullptr;
    if (window)
        window->setWindowState(window->windowState() ^ Qt::WindowFullScreen);
}

void DSPopover::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        cancelOperation();
        return;
    }
    QFrame::keyPressEvent(event);
}
