#include "ui/window/DSPopover.h"

#include <QKeyEvent>
#include <QScreen>

#include <algorithm>

DSPopover::DSPopover(QWidget *parent) : QFrame(parent, Qt::Popup)
{
    setFrameShape(QFrame::StyledPanel);
}

namespace {

QPoint originAtEdge(const QRect &anchor, const QSize &size, int edge)
{
    switch (edge) {
    case DSPopover::MinXEdge:
        return {anchor.left() - size.width(), anchor.center().y() - size.height() / 2};
    case DSPopover::MaxXEdge:
        return {anchor.right() + 1, anchor.center().y() - size.height() / 2};
    case DSPopover::MaxYEdge:
        return {anchor.center().x() - size.width() / 2, anchor.top() - size.height()};
    default:
        return {anchor.center().x() - size.width() / 2, anchor.bottom() + 1};
    }
}

// The edge across the view from this one.
int oppositeEdge(int edge)
{
    return (edge + 2) % 4;
}

} // namespace

QPoint DSPopover::originBesideView(const QWidget *view, const QSize &size, int edge)
{
    const QRect anchor(view->mapToGlobal(QPoint(0, 0)), view->size());
    const QPoint origin = originAtEdge(anchor, size, edge);
    const QScreen *screen = view->screen();
    if (!screen)
        return origin;
    const QRect available = screen->availableGeometry();
    if (available.contains(QRect(origin, size)))
        return origin;
    const QPoint flipped = originAtEdge(anchor, size, oppositeEdge(edge));
    QRect placed(available.contains(QRect(flipped, size)) ? flipped : origin, size);
    // Still out along the edge (a popover wider than the room beside a view
    // at the screen's side, say): moved in, its top-left corner kept on
    // screen when it is larger than the screen.
    placed.moveRight(std::min(placed.right(), available.right()));
    placed.moveBottom(std::min(placed.bottom(), available.bottom()));
    placed.moveLeft(std::max(placed.left(), available.left()));
    placed.moveTop(std::max(placed.top(), available.top()));
    return placed.topLeft();
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
