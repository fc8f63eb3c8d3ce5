#pragma once

#include "ColumnsTestSupport.h"
#include "ds_test_time.h"

#include "model/DSTimeDataColumn.h"
#include "model/ds_time_units.h"

#include <vector>

// A column table with stored time columns.
class TimeColumnsFixture : public ColumnsFixture
{
public:
    // A stored time column holding the values with the intervals (one
    // interval for all when a single one is given), imported as an importer
    // does; the table's row count becomes the number of values when it has
    // fewer rows.
    DSTimeDataColumn *addTimeColumn(const std::vector<double> &values, std::vector<double> intervals,
                                    bool timeOfDay = false, const QString &name = QStringLiteral("t"))
    {
        if (table()->num_records() < qint64(values.size()))
            table()->setNum_records(qint64(values.size()));
        auto *column = addColumnOfEntity<DSTimeDataColumn>("DSTimeDataColumn", name);
        column->setRelative_time_unit(timeOfDay ? 1 : 0);
        if (intervals.size() == 1)
            intervals.assign(values.size(), intervals[0]);
        for (size_t i = 0; i < values.size(); ++i)
            column->appendTimeValue(values[i], intervals[i]);
        column->saveAfterImport();
        return column;
    }
};
