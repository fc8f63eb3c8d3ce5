#pragma once

#include "charts/DSPictureOwner.h"
#include "model/DSRowMask.h"
#include "ui/DSNibController.h"

#include <QColor>
#include <QList>
#include <QPalette>
#include <QPointer>

#include <cstdint>
#include <memory>

class DSColumn;
class DSStatDocumentWindow;
class DSStyle;
class DSTable;
class QObject;
class QWidget;

// The base of every controller that shows part of a document: it knows its
// document (not owned), forwards row-mask requests to it and keeps the
// re-entry guard of its own refresh.
//
// Main thread only.
class DSStatDocumentViewDelegate : public DSNibController, public DSPictureOwner
{
public:
    DSStatDocumentViewDelegate();
    ~DSStatDocumentViewDelegate() override;

    virtual DSStatDocumentWindow *document() const;
    void setDocument(DSStatDocumentWindow *document);

    // Reads the entities back into the controls; empty here. An override
    // returns at once while is_refreshing() is set and sets it for its own
    // duration (QScopedValueRollback), so the selection changes its reload makes
    // are ignored by its data sources.
    virtual void refreshView(QObject *sender);
    bool is_refreshing() const { return m_isRefreshing; }

    // The document's row mask snapshot; null (every row) with no document.
    DSRowMaskRef getMask() const;
    DSRowMaskRef getMask(QObject *outcome) const;

    // The columns the pane's selection names, in the pane's order; none here.
    virtual QList<DSColumn *> selectedColumns() const { return {}; }
    // The columns a context-menu command acts on; selectedColumns() here.
    virtual QList<DSColumn *> clickedOrSelectedColumns() const { return selectedColumns(); }
    // The table's columns changed (some deleted or made): a pane that lays
    // out a view per column rebuilds it; empty here.
    virtual void columnsDidChange() {}
    // Selects the (new) columns in the pane and scrolls to the first; empty
    // here.
    virtual void revealColumns(const QList<DSColumn *> &) {}

    // The pane's default style sheet, made for its document on first use
    // and kept for the controller's life.
    DSStyle *style() override;
    // The pictures' side: the document's active table, and its filter
    // popover closed (nothing without a document).
    DSTable *pictureActiveTable() const override;
    void closeFilterPopover() override;
    DSRowMaskRef pictureMask() override { return getMask(); }
    QString pictureConditionString() const override;
    // Queued: a picture asks while it draws or refreshes, and the alert
    // must not run inside that.
    void presentPictureError(const DSError &error) override;

    // Clears the document, then the base teardown.
    void teardown() override;

    // Greys a view tree for the tutorial's gates: labels grey (their
    // children untouched), other controls disabled, text views read-only
    // and light grey; containers visit their children in order.
    static void disableViewAndSubviews(QWidget *view);
    // The reverse: black text, controls enabled, text views editable.
    static void enableViewAndSubviews(QWidget *view);
    // Enables or disables each view of the list: controls directly (text
    // fields also black or grey), other views through their subviews.
    static void setEnabledForControls(bool enabled, const QList<QWidget *> &views);
    // Colours the view's text (a label's by default) through its palette.
    static void setTextColour(QWidget *view, const QColor &colour, QPalette::ColorRole role = QPalette::WindowText);

protected:
    bool m_isRefreshing = false;

private:
    QPointer<DSStatDocumentWindow> m_document;
    std::unique_ptr<DSStyle> m_style;
};
