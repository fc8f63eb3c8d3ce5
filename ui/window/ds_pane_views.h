#pragma once

#include "ui/window/DSStatDocumentPaneView.h"

#include <QWidget>

// The views that split views divide. They have no behaviour of their own:
// the split-view rules (DSSplitViewDelegate) recognise a side by its exact
// class, so they live together here rather than one empty file pair each.
class DSSidebarPaneView : public QWidget
{
public:
    using QWidget::QWidget;
};

class DSMainPaneView : public QWidget
{
public:
    using QWidget::QWidget;
};

class DSStatPaneView : public DSStatDocumentPaneView
{
public:
    using DSStatDocumentPaneView::DSStatDocumentPaneView;
};

class DSFilterPaneView : public DSStatDocumentPaneView
{
public:
    using DSStatDocumentPaneView::DSStatDocumentPaneView;
};
