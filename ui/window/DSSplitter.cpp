#include "ui/window/DSSplitter.h"

#include "ui/window/DSSplitViewDelegate.h"

#include <QMouseEvent>

namespace {

int pick(Qt::Orientation orientation, const QPoint &point)
{
    return orientation == Qt::Horizontal ? point.x() : point.y();
}

} // namespace

DSSplitter::DSSplitter(Qt::Orientation orientation, QWidget *parent) : QSplitter(orientation, parent)
{
    connect(this, &QSplitter::splitterMoved, this, [this] {
        if (m_delegate)
            m_delegate->splitViewDidResizeSubviews(this);
    });
}

void DSSplitter::setSplitDelegate(DSSplitViewDelegate *delegate)
{
    m_delegate = delegate;
    applyCollapsible();
}

void DSSplitter::applyCollapsible()
{
    if (!m_delegate)
        return;
    for (int i = 0; i < count(); ++i)
        setCollapsible(i, m_delegate->canCollapseSubview(this, widget(i)));
}

int DSSplitter::constrainedPosition(int proposed, int divider) const
{
    if (!m_delegate)
        return proposed;
    const int extent = orientation() == Qt::Horizontal ? width() : height();
    const int minimum = m_delegate->constrainMinCoordinate(this, 0, divider);
    const int maximum = m_delegate->constrainMaxCoordinate(this, extent - handleWidth(), divider);
    if (proposed < minimum) {
        // Past half the kept room a collapsible first side gives way.
        const bool collapses = m_delegate->canCollapseSubview(this, widget(divider)) && proposed < minimum / 2;
        return collapses ? 0 : minimum;
    }
    return std::max(minimum, std::min(proposed, maximum));
}

void DSSplitter::dragDivider(int divider, int proposed)
{
    moveSplitter(constrainedPosition(proposed, divider), divider + 1);
}

void DSSplitter::setFirstSize(int size)
{
    int total = 0;
    for (int each : sizes())
        total += each;
    if (total <= 0)
        total = orientation() == Qt::Horizontal ? width() : height();
    setSizes({size, std::max(1, total - size)});
}

QSplitterHandle *DSSplitter::createHandle()
{
    return new DSSplitterHandle(orientation(), this);
}

void DSSplitter::resizeEvent(QResizeEvent *event)
{
    // The side that absorbs the change is decided by the sizes before it.
    if (m_delegate) {
        for (int i = 0; i < count(); ++i)
            setStretchFactor(i, m_delegate->shouldAdjustSizeOfSubview(this, widget(i)) ? 1 : 0);
        applyCollapsible();
    }
    QSplitter::resizeEvent(event);
}

DSSplitterHandle::DSSplitterHandle(Qt::Orientation orientation, DSSplitter *parent)
    : QSplitterHandle(orientation, parent)
{
}

void DSSplitterHandle::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_offset = pick(orientation(), event->position().toPoint());
    QSplitterHandle::mousePressEvent(event);
}

void DSSplitterHandle::mouseMoveEvent(QMouseEvent *event)
{
    auto *owner = static_cast<DSSplitter *>(splitter());
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const int position = pick(orientation(), owner->mapFromGlobal(event->globalPosition().toPoint())) - m_offset;
    owner->dragDivider(owner->indexOf(this) - 1, position);
}
