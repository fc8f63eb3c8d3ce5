#pragma once

#include "model/DSRowMask.h"

#include <QList>
#include <QObject>
#include <QString>

#include <array>
#include <cstdint>
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

    // The active table's row masks (DSTableRowMasks), null for every row.
    DSRowMaskRef tableMask() const;
    // The table mask narrowed by the outcome (a DSOutcomeVariable, or none).
    DSRowMaskRef outcomeMask(QObject *outcome) const;
    // The leave-one-out mask of the slot whose view owns the button.
    DSRowMaskRef maskExcluding(const QObject *button, uint32_t flags) const;
    bool isEveryRowExcluding(const QObject *button, uint32_t flags) const;
    DSRowMaskRef zoomMask() const;
    // Whether the active table's next mask is built afresh (true without one).
    bool tableMaskNeedsUpdate() const;

    // Connects the pane's add and zoom buttons; the caller keeps the
    // connections to cut them at close.
    QList<QMetaObject::Connection> connectButtons();
    // The table's zoom flag follows the button's check state; then the
    // document refreshes.
    void setZoomToFilteredValues(QObject *button);
    // Refreshes the shown filter views and the add and zoom buttons.
    void refreshFilterViews(QObject *sender);

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
