#pragma once

#include "ui/DSNibController.h"

class DSStatDocument;

// The tutorial window's controller, as the application object uses it.
// This build has no tutorial window yet: tutorial_window() is null.
class DSTutorialDelegate : public DSNibController
{
public:
    // No interface file yet: awakeFromNib() loads nothing.
    QString nibName() const override { return QString(); }
    // Back to the first step, with the tutorial document's window closed.
    virtual void reset() { m_document = nullptr; }
    QWidget *tutorial_window() const { return window(); }
    DSStatDocument *document() const { return m_document; }
    virtual void setDocument(DSStatDocument *document) { m_document = document; }

private:
    DSStatDocument *m_document = nullptr;
};
