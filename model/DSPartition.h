#pragma once

#include "platform/store/DSManagedObject.h"

class DSColumn;

// How the values of one column are cut into groups when the column groups
// rows: as a covariate, in a filter or in a pivot. The base of the numeric,
// text and time partitions; it holds what they share. A partition caches
// nothing: every answer is computed from its attributes and its column's
// current data.
class DSPartition : public DSManagedObject
{
public:
    // 0 quantiles, 1 fixed-width intervals, 2 custom cut-offs, 3 common text
    // prefix; each kind honours some of them.
    qint64 partition_type() const { return integerForKey(QStringLiteral("partition_type")); }
    void setPartition_type(qint64 type) { setPrimitiveValue(qlonglong(type), QStringLiteral("partition_type")); }
    qint64 quantile_count() const { return integerForKey(QStringLiteral("quantile_count")); }
    void setQuantile_count(qint64 count) { setPrimitiveValue(qlonglong(count), QStringLiteral("quantile_count")); }
    // The column cut; none for a partition not (or no longer) attached.
    DSColumn *column() const;
    void setColumn(DSColumn *column);
};
