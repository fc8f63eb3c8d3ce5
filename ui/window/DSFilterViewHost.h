#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class DSFilterViewDelegate;
class DSOutcomeVariable;
class DSStatDocumentWindow;
class DSTable;
class QObject;

// The document's side of the filter pane: the six filter views, in the
// order they apply, and the row masks they make of the active table.
//
// Masks handed out point into the host's buffers: the caller reads them and
// neither keeps nor frees them. The table mask stays valid until the next
// refresh marks it stale (or the table's row count changes); a leave-one-out
// mask until the next leave-one-out request. "No mask" (null, length 0)
// means every row.
//
// Main thread only.
class DSFilterViewHost
{
public:
    static constexpr int maxFilters = 6;

    // The document (not owned) outlives the host.
    explicit DSFilterViewHost(DSStatDocumentWindow *document);
    ~DSFilterViewHost();

    // The active table's rows under all filters; cached until markStale()
    // or until the table's row count differs from the cached mask's.
    int64_t getMask(const uint8_t **mask);
    // The rows under all filters, the filter of the button (or none)
    // leaving out the parts the flags name; never cached.
    int64_t getMask(const uint8_t **mask, QObject *button, uint32_t flags);
    // Whether such a mask would include every row.
    bool isIncludeMaskNullWhenExcludingButton(QObject *button, uint32_t flags);
    // The table mask when the table zooms to its filtered values, else none.
    int64_t getZoomMask(const uint8_t **mask);
    // The table mask narrowed by the outcome (or none) to the rows its model
    // uses; the outcome then owns the mask handed out.
    int64_t getMask(const uint8_t **mask, DSOutcomeVariable *outcome);

    void markStale() { m_tableMaskNeedsUpdate = true; }
    // Moves each time the table mask is built again.
    uint64_t maskGeneration() const { return m_maskGeneration; }
    bool tableMaskNeedsUpdate() const { return m_tableMaskNeedsUpdate; }

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
    // Fills the buffer (grown to size bytes) with every row of n, then lets
    // each filter clear its rejected rows; false when it cannot grow.
    bool buildMask(std::vector<uint8_t> &buffer, int64_t n, QObject *button, uint32_t flags);

    DSStatDocumentWindow *m_document;
    std::array<std::unique_ptr<DSFilterViewDelegate>, maxFilters> m_filterDelegates;
    std::vector<uint8_t> m_tableMask;
    std::vector<uint8_t> m_filterMask;
    int64_t m_tableMaskRows = -1;
    bool m_tableMaskNeedsUpdate = true;
    uint64_t m_maskGeneration = 0;
};
