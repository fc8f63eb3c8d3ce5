#include "filter/DSTableFilterViewDelegate.h"

#include "filter/DSTableFilter.h"
#include "filter/DSTableFilterSet.h"
#include "model/DSTable.h"
#include "ui/window/DSStatDocumentWindow.h"

void DSTableFilterViewDelegate::registerFilterClass()
{
    registerClass([](int index) { return std::make_unique<DSTableFilterViewDelegate>(index); });
    DSTableFilterSet::registerRowFilters();
}

DSTableFilter *DSTableFilterViewDelegate::tableFilter() const
{
    DSStatDocumentWindow *window = document();
    DSTable *table = window ? window->active_table() : nullptr;
    DSTableFilterSet *set = table ? table->active_filter_set() : nullptr;
    return set ? set->tableFilterAtIndex(m_index) : nullptr;
}

QString DSTableFilterViewDelegate::conditionString() const
{
    const DSTableFilter *filter = tableFilter();
    return filter && filter->is_enabled() ? filter->stringConditionsArray().join(QStringLiteral(", ")) : QString();
}
