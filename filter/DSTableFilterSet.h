#pragma once

#include "platform/store/DSManagedObject.h"

// One filter set of a table (its owner): the filters that build the row
// mask while the set is active.
class DSTableFilterSet : public DSManagedObject
{
public:
    qint64 index() const { return integerForKey(QStringLiteral("index")); }
    void setIndex(qint64 index) { setPrimitiveValue(qlonglong(index), QStringLiteral("index")); }

    // The set and its filters.
    DSObjectList managedObjectDependencies() override
    {
        return DSManagedObject::managedObjectDependencies() + objectsForKey(QStringLiteral("filters"));
    }

    // How many filters the filter pane shows for this set (1 to 6); kept in
    // memory only.
    int filter_count = 3;
};
