#pragma once

#include "model/DSRowMask.h"

#include <array>
#include <cstdint>
#include <functional>

class DSRowFilter;
class DSTable;

// The row masks of one table (its owner), built from the filters of its
// active filter set applied in slot order, and handed out as immutable
// snapshots (DSRowMask). Null means every row: filters hidden, no filter
// that rejects a row, or no filter class registered.
//
// The table mask is cached until invalidate() (the window calls it at each
// refresh; whoever changes the filters outside a refresh calls it too) or
// until the table's row count differs from the cached mask's. A rebuild
// makes a new snapshot; readers of the old one keep reading the old rows.
// Leave-one-out masks are never cached.
//
// Built on the main thread only; the snapshots may be read anywhere.
class DSTableRowMasks
{
public:
    static constexpr int maxFilters = 6;
    // The filters of a table's active filter set by slot (null for an empty
    // slot); they are read only during the build that asked for them.
    using Filters = std::array<const DSRowFilter *, maxFilters>;
    using FilterSource = std::function<Filters(const DSTable &)>;

    // The filter layer registers where a table's filters come from; until
    // it does (or after registerFilterSource(nullptr)) every mask is every row.
    static void registerFilterSource(FilterSource source);
    static const FilterSource &registeredFilterSource();

    // The table (the owner) outlives its masks.
    explicit DSTableRowMasks(const DSTable &table) : m_table(table) {}

    // The rows under every filter; cached as described above.
    DSRowMaskRef tableMask();
    // The rows under every filter, the filter of slot excluded (or none, -1)
    // leaving out the parts the flags (ds_filter_exclude_flags) name.
    DSRowMaskRef maskExcluding(int excluded, uint32_t flags) const;
    // Whether maskExcluding(excluded, flags) would keep every row.
    bool isEveryRowExcluding(int excluded, uint32_t flags) const;
    // The table mask while the table zooms to its filtered values, else none.
    DSRowMaskRef zoomMask();

    // The next tableMask() builds a new snapshot.
    void invalidate() { m_needsUpdate = true; }
    bool needsUpdate() const { return m_needsUpdate; }

private:
    Filters filters() const;
    // The rows the filters keep, or null when the bytes cannot be had.
    DSRowMaskRef build(int excluded, uint32_t flags) const;

    const DSTable &m_table;
    DSRowMaskRef m_tableMask;
    bool m_needsUpdate = true;
};
