#pragma once

#include "ui/DSNibController.h"

class DSStatDocument;

// The estimation-command window's controller, as the application object
// and the panes use it. This build has no such window yet: window() is
// null, so it is never visible.
class DSEstimationCommandDelegate : public DSNibController
{
public:
    // No interface file yet: awakeFromNib() loads nothing.
    QString nibName() const override { return QString(); }
    // Shows the commands of the document's current result, or none.
    virtual void refreshViewForDocument(DSStatDocument * /*document*/) {}
};
