#include "filter/DSTableFilterSet.h"

#include "filter/DSTableFilter.h"
#include "model/DSTable.h"
#include "platform/store/DSManagedObjectContext.h"

#include <algorithm>

DSTable *DSTableFilterSet::owner() const
{
    return ds_object_cast<DSTable>(objectForKey(QStringLiteral("owner")));
}

QString DSTableFilterSet::name() const
{
    const QString stored = stringForKey(QStringLiteral("name"));
    return stored.isEmpty() ? suggestedName() : stored;
}

void DSTableFilterSet::setName(const QString &name)
{
    setPrimitiveValue(name.isEmpty() ? QVariant() : QVariant(name), QStringLiteral("name"));
}

QString DSTableFilterSet::suggestedName() const
{
    QStringList names;
    for (DSTableFilter *filter : sortedFilters())
        if (filter->is_enabled() && filter->column())
            names << filter->column()->name();
    return names.isEmpty() ? QStringLiteral("(Empty Filter Set)") : names.join(QStringLiteral(", "));
}

QString DSTableFilterSet::conditionString() const
{
    QStringList conditions;
    for (DSTableFilter *filter : sortedFilters())
        if (filter->is_enabled() && filter->column())
            conditions << filter->stringConditionsArray();
    return conditions.join(QStringLiteral(", "));
}

DSTableFilter *DSTableFilterSet::tableFilterAtIndex(qint64 index) const
{
    return ds_object_cast<DSTableFilter>(DSTable::indexedObjectInSet(objectsForKey(QStringLiteral("filters")), index));
}

DSColumn *DSTableFilterSet::tableFilterColumnAtIndex(qint64 index) const
{
    DSTableFilter *filter = tableFilterAtIndex(index);
    return filter ? filter->column() : nullptr;
}

DSTableFilter *DSTableFilterSet::replaceTableFilterAtIndex(qint64 index, DSColumn *column)
{
    if (DSTableFilter *old = tableFilterAtIndex(index)) {
        removeObject(old, QStringLiteral("filters"));
        if (DSManagedObjectContext *context = old->managedObjectContext())
            context->deleteObject(old);
    }
    auto *filter = ds_object_cast<DSTableFilter>(insertNewObjectOfEntity(QStringLiteral("DSTableFilter")));
    if (!filter)
        return nullptr;
    filter->setColumn(column);
    filter->setIndex(index);
    addObject(filter, QStringLiteral("filters"));
    return filter;
}

void DSTableFilterSet::removeTableFilterFromIndex(qint64 index)
{
    DSTable::removeIndexedObjectInSet(objectsForKey(QStringLiteral("filters")), index);
}

QList<DSTableFilter *> DSTableFilterSet::sortedFilters() const
{
    QList<DSTableFilter *> filters;
    for (DSManagedObject *object : DSTable::sortedByIndex(objectsForKey(QStringLiteral("filters"))))
        if (auto *filter = ds_object_cast<DSTableFilter>(object))
            filters << filter;
    return filters;
}

void DSTableFilterSet::prepareForDeletion()
{
    if (DSTable *table = owner()) {
        const qint64 at = index();
        const bool wasActive = table->active_filter_set() == this;
        if (table->filterSetAtIndex(at) == this)
            table->removeFilterSetFromIndex(at);
        table->removeObject(this, QStringLiteral("filter_sets"));
        if (wasActive) {
            DSManagedObject *next = table->filterSetAtIndex(at);
            if (!next)
                next = table->filterSetAtIndex(at - 1);
            table->setActive_filter_set(ds_object_cast<DSTableFilterSet>(next));
        }
    }
    DSManagedObject::prepareForDeletion();
}

void DSTableFilterSet::registerRowFilters()
{
    DSTableRowMasks::registerFilterSource([](const DSTable &table) {
        DSTableRowMasks::Filters filters{};
        if (const DSTableFilterSet *set = table.active_filter_set())
            for (int i = 0; i < DSTableRowMasks::maxFilters; ++i)
                filters[size_t(i)] = set->tableFilterAtIndex(i);
        return filters;
    });
}
