#pragma once

#include "ui/window/DSSplitViewDelegate.h"

#include <QPointer>
#include <QSplitter>
#include <QSplitterHandle>

// A split view that follows its delegate's rules: the side that absorbs a
// resize is chosen again at each resize (by stretch factors), a dragged
// divider stops at the delegate's limits, only the side the delegate
// allows collapses, and the delegate hears of every move the user makes.
//
// Main thread only. The delegate is not owned; without one the splitter
// behaves as a plain QSplitter.
class DSSplitter : public QSplitter
{
    Q_OBJECT

public:
    explicit DSSplitter(Qt::Orientation orientation, QWidget *parent = nullptr);

    DSSplitViewDelegate *splitDelegate() const { return m_delegate; }
    void setSplitDelegate(DSSplitViewDelegate *delegate);

    // A divider position the user proposes, limited by the delegate: below
    // the minimum it collapses the first side (when allowed) past half the
    // kept room, else stops at the minimum.
    int constrainedPosition(int proposed, int divider) const;
    // The divider moved to the constrained position, as a drag would.
    void dragDivider(int divider, int proposed);
    // Moves divider 0 without the delegate hearing of it (the window's own
    // showing and hiding of a pane).
    void setFirstSize(int size);

protected:
    QSplitterHandle *createHandle() override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void applyCollapsible();

    QPointer<DSSplitViewDelegate> m_delegate;
};

// The divider of a DSSplitter: its drag goes through the splitter's limits.
class DSSplitterHandle : public QSplitterHandle
{
public:
    DSSplitterHandle(Qt::Orientation orientation, DSSplitter *parent);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    int m_offset = 0;
};
