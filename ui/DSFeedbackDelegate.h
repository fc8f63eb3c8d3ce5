#pragma once

#include "ui/DSNibController.h"

class QObject;

// The feedback window's controller, as the application object uses it.
// This build has no feedback window yet: window() is null, so there is
// nothing to show.
class DSFeedbackDelegate : public DSNibController
{
public:
    // No interface file yet: awakeFromNib() loads nothing.
    QString nibName() const override { return QString(); }
    virtual void showFeedbackWindow(QObject * /*sender*/) {}
};
