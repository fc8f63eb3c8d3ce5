#pragma once

#include <QFrame>

// The application's popover: a framed Qt::Popup window shown beside an edge
// of the view that anchors it. Escape closes it, as does a click outside
// (the platform's popup rule).
//
// Main thread only.
class DSPopover : public QFrame
{
    Q_OBJECT

public:
    // The edges of the anchoring view, y up as the drawing context counts:
    // MaxYEdge shows the popover above the view.
    enum Edge { MinXEdge = 0, MinYEdge = 1, MaxXEdge = 2, MaxYEdge = 3 };

    explicit DSPopover(QWidget *parent = nullptr);

    // The top-left corner, in global coordinates, of a popover of that size
    // beside the edge of the view, centred along it; beside the opposite
    // edge when only there it lies wholly on the view's screen, and moved
    // onto the screen when it fits beside neither.
    static QPoint originBesideView(const QWidget *view, const QSize &size, int edge);
    // Shows the popover at its size hint beside the edge of the view.
    void showRelativeToView(const QWidget *view, int edge);

    // Escape: closes the popover.
    void cancelOperation();
    // The window the popover belongs to goes to or leaves full screen.
    void toggleFullScreen();

protected:
    void keyPressEvent(QKeyEvent *event) override;
};
