#pragma once

#include <QObject>

#include <functional>

class QEvent;

// Routes a window's close requests to its document, which may ask first: a
// close goes ahead only when mayClose() answers true, else it is ignored.
// Installed as an event filter on the window, which (as parent) owns it.
class DSWindowCloseFilter : public QObject
{
public:
    DSWindowCloseFilter(QObject *parent, std::function<bool()> mayClose);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::function<bool()> m_mayClose;
};
