#pragma once

#include "ui/DSNibController.h"

class QObject;

// The preferences window's controller, as the application object uses it.
// This build has no preferences window yet: window() is null, so the
// application cannot show one, and there are no controls to refresh.
class DSPreferencesDelegate : public DSNibController
{
public:
    // No interface file yet: awakeFromNib() loads nothing.
    QString nibName() const override { return QString(); }
    // Reloads the window's controls from the user defaults.
    virtual void refreshView(QObject * /*sender*/) {}
};
