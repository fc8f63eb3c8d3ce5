#include "ui/window/DSStatDocumentPaneView.h"

#include "ui/window/DSStatDocumentWindow.h"

void DSStatDocumentPaneView::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_document)
        m_document->closePopovers(nullptr);
    QWidget::mouseReleaseEvent(event);
}

DSStatDocumentWindow *DSStatDocumentPaneView::document() const
{
    return m_document;
}

void DSStatDocumentPaneView::setDocument(DSStatDocumentWindow *document)
{
    m_document = document;
}
