#pragma once

#include <QObject>

#include <functional>

class QWidget;

// Runs an action once, at the next activation of a window (the platform's
// "became main"), then deletes itself. The window owns it: a window closed
// before it was activated takes the action with it, unrun.
//
// Main thread only.
class DSOnActivation : public QObject
{
public:
    DSOnActivation(QWidget *window, std::function<void()> action);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::function<void()> m_action;
};
