#pragma once

#include "../model/ColumnsTestSupport.h"
#include "../model/TestColumns.h"

#include "model/DSIndicatorColumn.h"
#include "model/DSTable.h"
#include "model/ds_row_mask.h"
#include "pivot/DSColumnAggregation.h"
#include "pivot/DSPivot.h"
#include "pivot/DSPivotInput.h"

#include <cmath>
#include <cstdint>

// A new enabled column aggregation of tag over column (none: rows) at the
// end of the table's aggregations.
inline DSColumnAggregation *ds_add_aggregation(DSTable *table, DSColumn *column, int64_t tag)
{
    auto *aggregation = ds_object_cast<DSColumnAggregation>(table->insertNewObjectOfEntity(QStringLiteral("DSColumnAggregation")));
    aggregation->setColumn(column);
    aggregation->setTag(tag);
    aggregation->setIs_enabled(true);
    aggregation->setValue(QVariant::fromValue<DSManagedObject *>(table), QStringLiteral("table"));
    table->insertAggregation(aggregation, table->sortedAggregations().size() - 1);
    return aggregation;
}

// The table's first pivot, showing slots columns' inputs in slots 0, 1, ...
inline DSPivot *ds_pivot_on(DSTable *table, const QList<DSColumn *> &columns)
{
    auto *pivot = ds_object_cast<DSPivot>(table->pivotAtIndex(0));
    table->setPrimitiveValue(qlonglong(std::max<qsizetype>(columns.size(), 1)), QStringLiteral("pivot_input_count"));
    for (qsizetype k = 0; k < columns.size(); ++k)
        pivot->addInput(k, columns[k]);
    return pivot;
}

// (i x a) mod m, exact as in R's doubles.
inline int64_t ds_hashed(int64_t i, int64_t a, int64_t m)
{
    return int64_t((uint64_t(i) * uint64_t(a)) % uint64_t(m));
}

// k levels from the high bits of a multiplicative hash of i.
inline int64_t ds_hashed_levels(int64_t i, int64_t a, int64_t k)
{
    return int64_t((uint64_t(ds_hashed(i, a, 4294967296)) * uint64_t(k)) >> 32);
}

// A new indicator "f" at the end of the table (TestIndicatorColumn
// registered as "DSIndicatorLocalColumn"): 0 false, NaN missing, any
// other value true.
inline TestIndicatorColumn *ds_add_indicator(ColumnsFixture &tables, const std::vector<double> &values)
{
    if (tables.table()->num_records() < qint64(values.size()))
        tables.table()->setNum_records(qint64(values.size()));
    auto *flag = tables.addColumnOfEntity<TestIndicatorColumn>("DSIndicatorLocalColumn", QStringLiteral("f"));
    flag->bits.assign(size_t(ds_mask_bytes(qint64(values.size()))), 0);
    flag->missing = flag->bits;
    for (size_t i = 0; i < values.size(); ++i) {
        if (std::isnan(values[i]))
            ds_mask_set(flag->missing.data(), int64_t(i));
        else if (values[i] != 0)
            ds_mask_set(flag->bits.data(), int64_t(i));
    }
    return flag;
}
