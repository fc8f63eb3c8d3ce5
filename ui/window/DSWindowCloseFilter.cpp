#include "ui/window/DSWindowCloseFilter.h"

#include <QEvent>

DSWindowCloseFilter::DSWindowCloseFilter(QObject *parent, std::function<bool()> mayClose)
    : QObject(parent), m_mayClose(std::move(mayClose))
{
}

bool DSWindowCloseFilter::eventFilter(QObject *, QEvent *event)
{
    if (event->type() != QEvent::Close || m_mayClose())
        return false;
    event->ignore();
    return true;
}
