#pragma once

#include "platform/store/DSManagedObject.h"

// One pivot table of a table (its owner), in the owner's pivot order.
class DSPivot : public DSManagedObject
{
public:
    qint64 index() const { return integerForKey(QStringLiteral("index")); }
    void setIndex(qint64 index) { setPrimitiveValue(qlonglong(index), QStringLiteral("index")); }
};
