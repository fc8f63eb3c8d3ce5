#include "ui/window/DSStatDocumentPopoverViewDelegate.h"

#include "ui/window/DSPopover.h"

#include <QAbstractButton>
#include <QEvent>
#include <QWidget>

DSStatDocumentWindow *DSStatDocumentPopoverViewDelegate::document() const
{
    if (DSStatDocumentWindow *own = DSStatDocumentViewDelegate::document())
        return own;
    return m_owner ? m_owner->document() : nullptr;
}

void DSStatDocumentPopoverViewDelegate::setPopover(QWidget *popover)
{
    if (m_popover)
        m_popover->removeEventFilter(this);
    m_popover = popover;
    if (m_popover) {
        m_popover->setWindowFlag(Qt::Popup);
        m_popover->installEventFilter(this);
    }
}

void DSStatDocumentPopoverViewDelegate::showPopoverRelativeToView(QWidget *view, int edge)
{
    m_callingView = view;
    if (m_popover) {
        if (m_popover->isVisible()) {
            if (popoverShouldClose())
                m_popover->close();
        } else if (view) {
            m_popover->adjustSize();
            m_popover->setGeometry(QRect(DSPopover::originBesideView(view, m_popover->size(), edge), m_popover->size()));
            m_popover->show();
        }
    }
    refreshView(view);
}

void DSStatDocumentPopoverViewDelegate::closePopover(QObject *)
{
    if (m_popover && m_popover->isVisible())
        m_popover->close();
}

void DSStatDocumentPopoverViewDelegate::popoverWillClose()
{
    if (auto *button = qobject_cast<QAbstractButton *>(m_callingView.data()))
        button->setChecked(false);
    m_callingView = nullptr;
}

bool DSStatDocumentPopoverViewDelegate::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_popover && event->type() == QEvent::Hide)
        popoverWillClose();
    return DSStatDocumentViewDelegate::eventFilter(watched, event);
}
