#include "filter/DSTableFilterViewDelegate.h"

#include "filter/DSTableFilter.h"
#include "filter/DSTableFilterSet.h"
#include "model/DSTable.h"
#include "ui/window/DSStatDocumentWindow.h"

void DSTableFilterViewDelegate::registerFilterClass()
{
    registerClass([](int index) { return std::make_unique<DSTableFilterViewDelegate>(index); });
}

DSTableFilter *DSTableFilterViewDelegate::tableFilter() const
{
    DSStatDocumentWindow *window = document();
    DSTable *table = window ? window->active_table() : nullptr;
    DSTableFilterSet *set = table ? table->active_filter_set() : nullptr;
    return set ? set->tableFilterAtIndex(m_index) : nullptr;
}

bool DSTableFilterViewDelegate::willClearBitsWhenExcludingButton(QObject *button, uint32_t flags)
{
    const DSTableFilter *filter = tableFilter();
    return filter && filter->willClearBits(button == &m_button, flags);
}

void DSTableFilterViewDelegate::clearUnmatchingBitsFromMask(uint8_t *mask, int64_t length, QObject *button,
                                                            uint32_t flags)
{
    if (const DSTableFilter *filter = tableFilter())
        filter->clearUnmatchingBitsFromMask(mask, length, button == &m_button, flags);
}

QString DSTableFilterViewDelegate::conditionString() const
{
    const DSTableFilter *filter = tableFilter();
    return filter && filter->is_enabled() ? filter->stringConditionsArray().join(QStringLiteral(", ")) : QString();
}
