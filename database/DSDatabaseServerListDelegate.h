#pragma once

#include "ui/DSNibController.h"

// The saved-servers window's controller. The application object creates it,
// loads it once and tears it down; this build has no window for it yet.
class DSDatabaseServerListDelegate : public DSNibController
{
public:
    // No interface file yet: awakeFromNib() loads nothing.
    QString nibName() const override { return QString(); }
};
