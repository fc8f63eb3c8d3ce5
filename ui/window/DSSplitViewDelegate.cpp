#include "ui/window/DSSplitViewDelegate.h"

#include "model/DSTable.h"
#include "ui/window/DSSplitter.h"
#include "ui/window/DSStatDocumentWindow.h"
#include "ui/window/ds_pane_views.h"

#include <typeinfo>

namespace {

template <class T>
bool isExactly(const QWidget *view)
{
    return view && typeid(*view) == typeid(T);
}

// The size along the measured axis of the split view's subview i, or -1
// when it has none.
int extent(const DSSplitter *splitter, int i, bool width)
{
    const QWidget *view = splitter->count() > i ? splitter->widget(i) : nullptr;
    return view ? (width ? view->width() : view->height()) : -1;
}

// Adjusts while the measured side is above the limit (above) or at most it
// (below); without the measured side, the answer the rule gives then.
bool adjusts(int measured, int limit, bool above)
{
    if (measured < 0)
        return !above;
    return above ? measured > limit : measured <= limit;
}

} // namespace

DSStatDocumentWindow *DSSplitViewDelegate::document() const
{
    return m_document;
}

void DSSplitViewDelegate::setDocument(DSStatDocumentWindow *document)
{
    m_document = document;
}

bool DSSplitViewDelegate::shouldAdjustSizeOfSubview(const DSSplitter *splitter, const QWidget *subview) const
{
    if (isExactly<DSMainPaneView>(subview))
        return adjusts(extent(splitter, 1, true), 630, true);
    if (isExactly<DSSidebarPaneView>(subview))
        return adjusts(extent(splitter, 1, true), 630, false);
    if (isExactly<DSStatPaneView>(subview))
        return adjusts(extent(splitter, 1, false), 380, true);
    if (isExactly<DSFilterPaneView>(subview))
        return adjusts(extent(splitter, 1, false), 380, false);
    return false;
}

std::pair<int, int> DSSplitViewDelegate::dividerRoom(const DSSplitter *splitter) const
{
    const QWidget *first = splitter->count() > 0 ? splitter->widget(0) : nullptr;
    const QWidget *second = splitter->count() > 1 ? splitter->widget(1) : nullptr;
    if (isExactly<DSSidebarPaneView>(first) || isExactly<DSMainPaneView>(second))
        return {600, 150};
    if (isExactly<DSFilterPaneView>(first) || isExactly<DSStatPaneView>(second))
        return {350, 98};
    return {0, 0};
}

int DSSplitViewDelegate::constrainMaxCoordinate(const DSSplitter *splitter, int proposed, int divider) const
{
    return divider == 0 ? proposed - dividerRoom(splitter).first : proposed;
}

int DSSplitViewDelegate::constrainMinCoordinate(const DSSplitter *splitter, int proposed, int divider) const
{
    return divider == 0 ? proposed + dividerRoom(splitter).second : proposed;
}

bool DSSplitViewDelegate::canCollapseSubview(const DSSplitter *, const QWidget *subview) const
{
    return isExactly<DSFilterPaneView>(subview);
}

void DSSplitViewDelegate::splitViewDidResizeSubviews(DSSplitter *splitter)
{
    DSTable *table = m_document ? m_document->active_table() : nullptr;
    if (!table || splitter->count() < 1 || !dynamic_cast<DSFilterPaneView *>(splitter->widget(0)))
        return;
    const bool collapsed = splitter->sizes().value(0) <= 0;
    if (table->show_filters == !collapsed)
        return;
    table->show_filters = !collapsed;
    // The rows the models see change with the filters.
    m_document->allModelsNeedRegression(splitter);
}
