#pragma once

#include "ui/window/DSStatDocumentViewDelegate.h"

#include <QPointer>

class QWidget;

// A controller whose view shows in a popover (a Qt::Popup window) anchored
// to the control that opened it; it works on its own document, or on its
// owner's when it has none.
//
// Main thread only.
class DSStatDocumentPopoverViewDelegate : public DSStatDocumentViewDelegate
{
public:
    // The edges of the anchoring view, y up as the drawing context counts:
    // 3 (the maximum-y edge) shows the popover above the view.
    enum Edge { MinXEdge = 0, MinYEdge = 1, MaxXEdge = 2, MaxYEdge = 3 };  // as DSPopover's

    DSStatDocumentWindow *document() const override;

    // Remembers the view as calling_view, closes the popover when it is
    // shown and otherwise shows it at that edge of the view; then
    // refreshView(view).
    void showPopoverRelativeToView(QWidget *view, int edge);
    // Closes the popover when it is shown.
    void closePopover(QObject *sender);
    bool popoverShouldClose() const { return true; }
    // The popover is closing: a calling view that is a button goes off, and
    // calling_view is forgotten.
    void popoverWillClose();
    void refreshView(QObject *) override {}

    QWidget *popover() const { return m_popover; }
    // The popover (not owned); the controller watches it close.
    void setPopover(QWidget *popover);
    DSStatDocumentViewDelegate *owner() const { return m_owner; }
    void setOwner(DSStatDocumentViewDelegate *owner) { m_owner = owner; }
    QWidget *calling_view() const { return m_callingView; }
    void setCalling_view(QWidget *view) { m_callingView = view; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<QWidget> m_popover;
    QPointer<DSStatDocumentViewDelegate> m_owner;
    QPointer<QWidget> m_callingView;
};
