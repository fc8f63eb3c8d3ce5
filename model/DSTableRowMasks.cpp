#include "model/DSTableRowMasks.h"

#include "model/DSRowFilter.h"
#include "model/DSTable.h"
#include "model/ds_filter_exclude_flags.h"
#include "model/ds_row_mask.h"

#include <algorithm>
#include <new>

namespace {

DSTableRowMasks::FilterSource &filterSource()
{
    static DSTableRowMasks::FilterSource source;
    return source;
}

} // namespace

void DSTableRowMasks::registerFilterSource(FilterSource source)
{
    filterSource() = std::move(source);
}

const DSTableRowMasks::FilterSource &DSTableRowMasks::registeredFilterSource()
{
    return filterSource();
}

DSTableRowMasks::Filters DSTableRowMasks::filters() const
{
    const FilterSource &source = filterSource();
    return source ? source(m_table) : Filters{};
}

bool DSTableRowMasks::isEveryRowExcluding(int excluded, uint32_t flags) const
{
    if (!m_table.show_filters)
        return true;
    const Filters slots = filters();
    for (int i = 0; i < maxFilters; ++i)
        if (slots[size_t(i)] && slots[size_t(i)]->willClearBits(i == excluded, flags))
            return false;
    return true;
}

DSRowMaskRef DSTableRowMasks::build(int excluded, uint32_t flags) const
{
    const int64_t n = m_table.num_records();
    const int64_t size = ds_mask_bytes(n);
    if (size == 0)
        return nullptr;
    std::vector<uint8_t> bytes;
    try {
        bytes.assign(size_t(size), uint8_t(0xFF));
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
    // Bits past the last row are clear, so a count of set bits is a count of rows.
    if (n % 8)
        bytes.back() = uint8_t((1u << (n % 8)) - 1);
    const Filters slots = filters();
    for (int i = 0; i < maxFilters; ++i)
        if (slots[size_t(i)])
            slots[size_t(i)]->clearUnmatchingBitsFromMask(bytes.data(), size, i == excluded, flags);
    return std::make_shared<const DSRowMask>(std::move(bytes), n);
}

DSRowMaskRef DSTableRowMasks::tableMask()
{
    if (isEveryRowExcluding(-1, ds_filter_exclude_everything))
        return nullptr;
    const int64_t n = m_table.num_records();
    // A row added without a refresh (the records grid's Tab) changes the
    // row count under a fresh cache: the old, shorter mask would not cover it.
    if (m_needsUpdate || !m_tableMask || m_tableMask->rows() != n) {
        m_tableMask = build(-1, ds_filter_exclude_everything);
        m_needsUpdate = false;
    }
    return m_tableMask;
}

DSRowMaskRef DSTableRowMasks::maskExcluding(int excluded, uint32_t flags) const
{
    if (isEveryRowExcluding(excluded, flags))
        return nullptr;
    return build(excluded, flags);
}

DSRowMaskRef DSTableRowMasks::zoomMask()
{
    if (!m_table.boolForKey(QStringLiteral("zoom_to_filtered_values")))
        return nullptr;
    return tableMask();
}
