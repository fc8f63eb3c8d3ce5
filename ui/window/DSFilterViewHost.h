#pragma once

#include <QString>

#include <array>
#include <memory>

class DSFilterViewDelegate;
class DSStatDocumentWindow;
class DSTable;
class QObject;

// The document's side of the filter pane: the six filter views, in the
// order they apply. The rows they reject are the active table's own row
// masks (DSTableRowMasks); the host only names the slot a leave-one-out
// button stands for.
//
// Main thread only.
class DSFilterViewHost
{
public:
    static constexpr int maxFilters = 6;

    // The document (not owned) outlives the host.
    explicit DSFilterViewHost(DSStatDocumentWindow *document);
    ~DSFilterViewHost();

    // The slot of the filter view that owns the button, or -1 for none.
    int slotOfButton(const QObject *button) const;

    // Makes the six filter views afresh from the registered filter class;
    // none while no class is registered.
    void rebuildFilterViews();
    void teardownFilterViews();
    DSFilterViewDelegate *filterDelegateAtIndex(int index) const;
    // The filters the pane shows: the active filter set's count, 3 without.
    int numberOfFilters() const;
    // One more filter shown, up to six; false (nothing changed) at six or
    // without an active filter set.
    bool createFilter();
    void refreshFilterButtons();
    void updateFilterSelections();
    // The conditions of the shown filters joined by " and ", empty while
    // the filter pane is hidden.
    QString activeConditionString() const;

private:
    DSTable *activeTable() const;

    DSStatDocumentWindow *m_document;
    std::array<std::unique_ptr<DSFilterViewDelegate>, maxFilters> m_filterDelegates;
};
