#pragma once

#include "platform/store/DSManagedObject.h"

class DSColumn;
class DSTable;
class DSTableFilter;

// One filter set of a table (its owner): the filters that build the row
// mask while the set is active, each filling the slot of its index.
class DSTableFilterSet : public DSManagedObject
{
public:
    qint64 index() const { return integerForKey(QStringLiteral("index")); }
    void setIndex(qint64 index) { setPrimitiveValue(qlonglong(index), QStringLiteral("index")); }
    DSTable *owner() const;

    // The stored name, else suggestedName(); storing "" stores nil.
    QString name() const;
    void setName(const QString &name);
    // The column names of the enabled filters with a column, in slot
    // order, joined by ", "; "(Empty Filter Set)" when there is none.
    QString suggestedName() const;
    // The conditions of the enabled filters with a column, in slot order,
    // joined by ", "; "" when there is none.
    QString conditionString() const;

    // The filter of slot index, or null.
    DSTableFilter *tableFilterAtIndex(qint64 index) const;
    DSColumn *tableFilterColumnAtIndex(qint64 index) const;
    // Deletes the filter of the slot (if any) and puts a new one there on
    // column (or none), with no selections and enabled; the set owns it.
    DSTableFilter *replaceTableFilterAtIndex(qint64 index, DSColumn *column);
    // The filter of the slot gets -1 and those above move down one slot.
    void removeTableFilterFromIndex(qint64 index);
    // The filters by slot, ascending.
    QList<DSTableFilter *> sortedFilters() const;

    // Makes the tables' row masks (DSTableRowMasks) read the filters of
    // their active filter set; until then every mask is every row.
    static void registerRowFilters();

    // The set and its filters.
    DSObjectList managedObjectDependencies() override
    {
        return DSManagedObject::managedObjectDependencies() + objectsForKey(QStringLiteral("filters"));
    }
    // Leaves its table's ordering; when it was the active set, the set now
    // at its index becomes active, else the one before (none without).
    void prepareForDeletion() override;

    // How many filters the filter pane shows for this set (3 to 6); kept in
    // memory only.
    int filter_count = 3;
};
