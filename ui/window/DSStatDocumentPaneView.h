#pragma once

#include <QPointer>
#include <QWidget>

class DSStatDocumentWindow;

// The view class of the document window's panes (the stat pane, the filter
// pane): a click in one closes the filter-set popover.
class DSStatDocumentPaneView : public QWidget
{
public:
    explicit DSStatDocumentPaneView(QWidget *parent = nullptr) : QWidget(parent) {}

    DSStatDocumentWindow *document() const;
    void setDocument(DSStatDocumentWindow *document);

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QPointer<DSStatDocumentWindow> m_document;
};
