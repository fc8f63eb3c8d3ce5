#pragma once

#include <QObject>
#include <QPointer>

class DSSplitter;
class DSStatDocumentWindow;
class QWidget;

// The rules of the document window's split views: the sidebar against the
// main pane, and the filter pane against the statistics pane. It says which
// side absorbs a resize, where a divider may go, which side may collapse,
// and keeps the active table's show_filters in step when the user drags the
// filter pane shut or open. The panes' own split views subclass it with
// their rules.
//
// Main thread only. The document is not owned.
class DSSplitViewDelegate : public QObject
{
    Q_OBJECT

public:
    explicit DSSplitViewDelegate(QObject *parent = nullptr) : QObject(parent) {}

    DSStatDocumentWindow *document() const;
    void setDocument(DSStatDocumentWindow *document);

    // Whether the subview takes the split view's change of size.
    virtual bool shouldAdjustSizeOfSubview(const DSSplitter *splitter, const QWidget *subview) const;
    // The divider's extreme positions given the proposed ones (the split
    // view's own ends): only divider 0 of a known pair of sides is limited.
    virtual int constrainMaxCoordinate(const DSSplitter *splitter, int proposed, int divider) const;
    virtual int constrainMinCoordinate(const DSSplitter *splitter, int proposed, int divider) const;
    virtual bool canCollapseSubview(const DSSplitter *splitter, const QWidget *subview) const;
    // After the user moved a divider: the flag of the collapsible side
    // follows it, and a change asks for a new regression run.
    virtual void splitViewDidResizeSubviews(DSSplitter *splitter);

private:
    // The room kept for the second side and for the first, or {0, 0}.
    std::pair<int, int> dividerRoom(const DSSplitter *splitter) const;

    QPointer<DSStatDocumentWindow> m_document;
};
