#include "ui/window/DSFilterViewHost.h"

#include "filter/DSTableFilterSet.h"
#include "model/DSTable.h"
#include "regression/DSOutcomeVariable.h"
#include "ui/window/DSFilterViewDelegate.h"
#include "ui/window/DSStatDocumentWindow.h"

#include <QAbstractButton>
#include <QStringList>

DSFilterViewHost::DSFilterViewHost(DSStatDocumentWindow *document) : m_document(document) {}

DSFilterViewHost::~DSFilterViewHost()
{
    teardownFilterViews();
}

DSTable *DSFilterViewHost::activeTable() const
{
    return m_document->active_table();
}

int DSFilterViewHost::slotOfButton(const QObject *button) const
{
    if (!button)
        return -1;
    for (int i = 0; i < maxFilters; ++i)
        if (const auto &filter = m_filterDelegates[size_t(i)]; filter && filter->ownsButton(button))
            return i;
    return -1;
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
    if (DSTable *table = activeTable())
        table->row_masks().invalidate();
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

DSRowMaskRef DSFilterViewHost::tableMask() const
{
    DSTable *table = activeTable();
    return table ? table->row_masks().tableMask() : nullptr;
}

DSRowMaskRef DSFilterViewHost::outcomeMask(QObject *outcome) const
{
    DSRowMaskRef mask = tableMask();
    if (auto *variable = dynamic_cast<DSOutcomeVariable *>(outcome))
        return variable->modelMask(mask);
    return mask;
}

DSRowMaskRef DSFilterViewHost::maskExcluding(const QObject *button, uint32_t flags) const
{
    DSTable *table = activeTable();
    return table ? table->row_masks().maskExcluding(slotOfButton(button), flags) : nullptr;
}

bool DSFilterViewHost::isEveryRowExcluding(const QObject *button, uint32_t flags) const
{
    DSTable *table = activeTable();
    return !table || table->row_masks().isEveryRowExcluding(slotOfButton(button), flags);
}

DSRowMaskRef DSFilterViewHost::zoomMask() const
{
    DSTable *table = activeTable();
    return table ? table->row_masks().zoomMask() : nullptr;
}

bool DSFilterViewHost::tableMaskNeedsUpdate() const
{
    DSTable *table = activeTable();
    return !table || table->row_masks().needsUpdate();
}

QList<QMetaObject::Connection> DSFilterViewHost::connectButtons()
{
    QList<QMetaObject::Connection> connections;
    DSStatDocumentWindow *document = m_document;
    if (auto *add = qobject_cast<QAbstractButton *>(document->outlet(QStringLiteral("filter_add_button"))))
        connections << QObject::connect(add, &QAbstractButton::clicked, document,
                                        [document, add] { document->createFilter(add); });
    if (auto *zoom = qobject_cast<QAbstractButton *>(document->outlet(QStringLiteral("filter_zoom_button")))) {
        zoom->setCheckable(true);
        connections << QObject::connect(zoom, &QAbstractButton::clicked, document,
                                        [this, zoom] { setZoomToFilteredValues(zoom); });
    }
    return connections;
}

void DSFilterViewHost::setZoomToFilteredValues(QObject *button)
{
    auto *check = qobject_cast<QAbstractButton *>(button);
    if (DSTable *table = activeTable())
        table->setValue(check && check->isChecked(), QStringLiteral("zoom_to_filtered_values"));
    m_document->refreshView(button);
}

void DSFilterViewHost::refreshFilterViews(QObject *sender)
{
    DSTable *table = activeTable();
    if (table && table->show_filters)
        for (const auto &filter : m_filterDelegates)
            if (filter)
                filter->refreshView(sender);
    if (auto *add = qobject_cast<QAbstractButton *>(m_document->outlet(QStringLiteral("filter_add_button"))))
        add->setEnabled(numberOfFilters() < maxFilters);
    if (auto *zoom = qobject_cast<QAbstractButton *>(m_document->outlet(QStringLiteral("filter_zoom_button")))) {
        const bool enabled = table && ((table->showTable() && (table->showSummary() || table->showPivot())) ||
                                       (table->showModel() && table->showPredictor()));
        zoom->setEnabled(enabled);
        zoom->setChecked(enabled && table->boolForKey(QStringLiteral("zoom_to_filtered_values")));
    }
}
