#pragma once

#include "ui/DSNibController.h"

class DSStatDocument;

// The column-format inspector's controller, as the application object uses
// it. This build has no inspector window yet: window() is null and there is
// nothing to reload.
class DSColumnFormatDelegate : public DSNibController
{
public:
    // No interface file yet: awakeFromNib() loads nothing.
    QString nibName() const override { return QString(); }
    // Reloads the inspector for the document's active table, or for none.
    virtual void refreshViewForDocument(DSStatDocument * /*document*/) {}
};
