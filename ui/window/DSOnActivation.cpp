#include "ui/window/DSOnActivation.h"

#include <QEvent>
#include <QWidget>

#include <utility>

DSOnActivation::DSOnActivation(QWidget *window, std::function<void()> action)
    : QObject(window), m_action(std::move(action))
{
    window->installEventFilter(this);
}

bool DSOnActivation::eventFilter(QObject *, QEvent *event)
{
    if (event->type() == QEvent::WindowActivate) {
        deleteLater();
        // Taken first: the action may start an event loop that activates
        // the window again.
        if (m_action)
            std::exchange(m_action, nullptr)();
    }
    return false;
}
