#include "ui/window/DSFilterViewHost.h"

#include "filter/DSTableFilterSet.h"
#include "model/DSTable.h"
#include "model/ds_row_mask.h"
#include "regression/DSOutcomeVariable.h"
#include "ui/window/DSFilterViewDelegate.h"
#include "ui/window/DSStatDocumentWindow.h"

#include <QStringList>

#include <new>

DSFilterViewHost::DSFilterViewHost(DSStatDocumentWindow *document) : m_document(document) {}

DSFilterViewHost::~DSFilterViewHost()
{
    teardownFilterViews();
}

DSTable *DSFilterViewHost::activeTable() const
{
    return m_document->active_table();
}

bool DSFilterViewHost::isIncludeMaskNullWhenExcludingButton(QObject *button, uint32_t flags)
{
    DSTable *table = activeTable();
    if (!table || !table->show_filters)
        return true;
    for (const auto &filter : m_filterDelegates)
        if (filter && filter->willClearBitsWhenExcludingButton(button, flags))
            return false;
    return true;
}

bool DSFilterViewHost::buildMask(std::vector<uint8_t> &buffer, int64_t n, QObject *button, uint32_t flags)
{
    const int64_t size = ds_mask_bytes(n);
    try {
        if (int64_t(buffer.size()) < size)
            buffer.resize(size_t(size));
    } catch (const std::bad_alloc &) {
        return false;
    }
    std::fill_n(buffer.begin(), size, uint8_t(0xFF));
    // Bits past the last row are clear, so a count of set bits is a count of rows.
    if (n % 8)
        buffer[size_t(size - 1)] = uint8_t((1u << (n % 8)) - 1);
    for (const auto &filter : m_filterDelegates)
        if (filter)
            filter->clearUnmatchingBitsFromMask(buffer.data(), size, button, flags);
    return true;
}

int64_t DSFilterViewHost::getMask(const uint8_t **mask)
{
    *mask = nullptr;
    if (isIncludeMaskNullWhenExcludingButton(nullptr, ds_filter_exclude_everything))
        return 0;
    const int64_t n = activeTable()->num_records();
    const int64_t size = ds_mask_bytes(n);
    if (size == 0)
        return 0;
    // A row added without a refresh (the records grid's Tab) changes the
    // row count under a fresh cache: handing out the old, shorter mask
    // would let its readers run past its end.
    if (m_tableMaskNeedsUpdate || n != m_tableMaskRows) {
        if (!buildMask(m_tableMask, n, nullptr, ds_filter_exclude_everything))
            return 0;
        m_tableMaskRows = n;
        m_tableMaskNeedsUpdate = false;
        ++m_maskGeneration;
    }
    *mask = m_tableMask.data();
    return size;
}

int64_t DSFilterViewHost::getMask(const uint8_t **mask, QObject *button, uint32_t flags)
{
    *mask = nullptr;
    if (isIncludeMaskNullWhenExcludingButton(button, flags))
        return 0;
    const int64_t n = activeTable()->num_records();
    if (n <= 0 || !buildMask(m_filterMask, n, button, flags))
        return 0;
    *mask = m_filterMask.data();
    return ds_mask_bytes(n);
}

int64_t DSFilterViewHost::getZoomMask(const uint8_t **mask)
{
    *mask = nullptr;
    DSTable *table = activeTable();
    if (!table || !table->boolForKey(QStringLiteral("zoom_to_filtered_values")))
        return 0;
    return getMask(mask);
}

int64_t DSFilterViewHost::getMask(const uint8_t **mask, DSOutcomeVariable *outcome)
{
    const int64_t length = getMask(mask);
    if (!outcome)
        return length;
    const uint8_t *tableMask = *mask;
    return outcome->getModelMask(mask, tableMask, length);
}

void DSFilterViewHost::teardownFilterViews()
{
    for (auto &filter : m_filterDelegates)
        if (auto gone = std::move(filter))
            gone->teardown();
}

void DSFilterViewHost::rebuildFilterViews()
{
    teardownFilterViews();
    const DSFilterViewDelegate::Maker &make = DSFilterViewDelegate::registeredClass();
    if (!make)
        return;
    for (int i = 0; i < maxFilters; ++i) {
        m_filterDelegates[size_t(i)] = make(i);
        if (DSFilterViewDelegate *filter = m_filterDelegates[size_t(i)].get()) {
            filter->setDocument(m_document);
            filter->awakeFromNib();
        }
    }
    m_tableMaskNeedsUpdate = true;
}

DSFilterViewDelegate *DSFilterViewHost::filterDelegateAtIndex(int index) const
{
    return index >= 0 && index < maxFilters ? m_filterDelegates[size_t(index)].get() : nullptr;
}

int DSFilterViewHost::numberOfFilters() const
{
    DSTable *table = activeTable();
    DSTableFilterSet *set = table ? table->active_filter_set() : nullptr;
    return set ? set->filter_count : 3;
}

bool DSFilterViewHost::createFilter()
{
    DSTable *table = activeTable();
    DSTableFilterSet *set = table ? table->active_filter_set() : nullptr;
    if (!set || set->filter_count >= maxFilters)
        return false;
    ++set->filter_count;
    return true;
}

void DSFilterViewHost::refreshFilterButtons()
{
    for (const auto &filter : m_filterDelegates)
        if (filter)
            filter->refreshButton();
}

void DSFilterViewHost::updateFilterSelections()
{
    DSTable *table = activeTable();
    if (!table || !table->show_filters)
        return;
    for (const auto &filter : m_filterDelegates)
        if (filter)
            filter->updateSelection();
}

QString DSFilterViewHost::activeConditionString() const
{
    DSTable *table = activeTable();
    if (!table || !table->show_filters)
        return {};
    QStringList conditions;
    for (int i = 0; i < numberOfFilters() && i < maxFilters; ++i)
        if (const auto &filter = m_filterDelegates[size_t(i)])
            if (const QString condition = filter->conditionString(); !condition.isEmpty())
                conditions << condition;
    return conditions.join(QStringLiteral(" and "));
}
